#include "charts/rate_file_builder.h"
#include "shell/qt/qt_chart_window.h"
#include "rates/charts.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QListWidget>
#include <QPixmap>
#include <QWidget>

#include <map>

namespace vel::test {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_charts";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

const QRgb kMaroonPixel = qRgb(128, 0, 0);
const QRgb kWhitePixel = qRgb(255, 255, 255);

// A whole year's window on Qt, offscreen, under a main window at (600, 10).
struct QtCharts : ::testing::Test {
    ScopedTempDir dir;
    TestProgram tp;
    std::unique_ptr<platform::QtChartWindow> window;
    const std::vector<ArchiveColumn>& columns = Sample2024().columns;
    QtCharts() {
        App();
        window = std::make_unique<platform::QtChartWindow>([] { return rates::WindowRect{600, 10, 290, 92}; });
        tp.clock.set({2024, 12, 31, 12, 0, 0, 0, 2});
        tp.program.sys.chartView = window.get();
        rates::AttachChartWindow(tp.program);
        WriteAll(dir.file("Kurs2024"), Sample2024().rateFile);
    }
    const ArchiveColumn& column(const std::string& code) {
        for (const auto& c : columns) {
            if (c.code == code) return c;
        }
        throw std::runtime_error(code);
    }
};

// Row of the topmost pixel of the unbroken maroon run that ends at the
// bottom row; 100 when the bottom pixel is not maroon.
int BarTop(const QImage& image, int x) {
    int y = image.height();
    while (y > 0 && image.pixel(x, y - 1) == kMaroonPixel) --y;
    return y;
}

TEST_F(QtCharts, RenderedBarsStandOnePixelColumnPerDayAtTheirRates) {
    WriteAll(dir.file("Wal.{-}"), "USD dolar ameryka\xf1ski\r\nEUR euro\r\n");
    rates::KurShow(tp.program);
    EXPECT_EQ(tp.program.sys.chartView->caption(), "Wykresy kurs\xf3w:  USD  EUR  EUR  EUR");

    for (const std::string code : {"USD", "EUR"}) {
        SCOPED_TRACE(code);
        const int slot = code == "USD" ? 0 : 1;
        const QImage image = window->imageWidget(slot)->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(image.width(), 370);
        ASSERT_EQ(image.height(), 100);

        const ArchiveColumn& c = column(code);
        double highest = 0, lowest = 100;
        for (const auto& r : c.rates) {
            const double v = Decimal(RateLine(code, r.date, r.perUnit, "").substr(24, 6));
            highest = std::max(highest, v);
            lowest = std::min(lowest, v);
        }
        std::map<int, int> expectedTop;  // column -> bar top
        for (const auto& r : c.rates) {
            const double v = Decimal(RateLine(code, r.date, r.perUnit, "").substr(24, 6));
            const int x = DayNumber(r.date) - DayNumber(c.rates.front().date) + 2;
            expectedTop[x] = static_cast<int>(std::nearbyint((highest - v) * 36 / (highest - lowest)));
        }
        // Columns clear of the texts (left) and of the ellipse's outline.
        int compared = 0;
        for (int x = 50; x < 370; ++x) {
            if (x >= 145 && x <= 190) continue;
            auto it = expectedTop.find(x);
            if (it == expectedTop.end()) {
                EXPECT_EQ(BarTop(image, x), 100) << "column " << x << " should be empty";
                for (int y = 0; y < 100; ++y) {
                    if (image.pixel(x, y) != kWhitePixel) {
                        ADD_FAILURE() << "column " << x << " row " << y;
                        break;
                    }
                }
            } else {
                EXPECT_EQ(BarTop(image, x), it->second) << "column " << x;
                if (it->second > 0) {
                    EXPECT_EQ(image.pixel(x, it->second - 1), kWhitePixel) << "column " << x;
                }
                ++compared;
            }
        }
        EXPECT_GT(compared, 150);
        // The spread and place texts are written in black on the left.
        int dark = 0;
        for (int y = 56; y < 90; ++y) {
            for (int x = 15; x < 50; ++x) dark += qGray(image.pixel(x, y)) < 100 && image.pixel(x, y) != kMaroonPixel;
        }
        EXPECT_GT(dark, 10);
    }

    // The window grew to the left until the year fits the first panel; the
    // right edge stayed under the main window's.
    const rates::WindowRect rect = window->windowRect();
    EXPECT_LT(rect.left, 600);
    // (The window's client area is placed at the main window's left edge
    // before the frame is known, so its right edge is the one that stays.)
    const QRect client = window->widget()->geometry();
    EXPECT_EQ(client.x() + client.width(), 600 + 290);
    EXPECT_GE(window->panelWidth(0), 364 + 9);
    EXPECT_LE(window->panelWidth(0), 400);
}

TEST_F(QtCharts, ListClickRedrawsTheSlotWithoutTheOldBars) {
    WriteAll(dir.file("Wal.{-}"), "USD dolar ameryka\xf1ski\r\n");
    rates::KurShow(tp.program);
    QListWidget* list = static_cast<QListWidget*>(window->listWidget(0));
    ASSERT_EQ(list->count(), static_cast<int>(columns.size()));
    EXPECT_EQ(list->currentItem()->text().toStdString(), "USD dolar amerykański");
    // A user's choice goes through the list's own signal.
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().startsWith("JPY")) list->setCurrentRow(i);
    }
    EXPECT_EQ(window->codes[0], "JPY");
    EXPECT_EQ(window->labelText(0, rates::RateLabel::Max).substr(0, 7), " Max 0.");
    const QImage image = window->imageWidget(0)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // A column without a yen rate (Saturday 6 January) is white all the way down.
    EXPECT_EQ(BarTop(image, 6), 100);
    // Column = day of the year when the year starts on 2 January.
    EXPECT_EQ(BarTop(image, 202), 100);  // Saturday 20 July
    EXPECT_EQ(BarTop(image, 203), 100);  // Sunday 21 July
    EXPECT_LT(BarTop(image, 204), 100);  // Monday 22 July has a rate
}

TEST_F(QtCharts, EscWritesTheChoiceAndTheNextShowRestoresIt) {
    WriteAll(dir.file("Wal.{-}"), "GBP funt szterling\r\n");
    rates::KurShow(tp.program);
    EXPECT_TRUE(window->visible());
    QListWidget* second = static_cast<QListWidget*>(window->listWidget(1));
    for (int i = 0; i < second->count(); ++i) {
        if (second->item(i)->text().startsWith("CHF")) second->setCurrentRow(i);
    }
    window->close();
    EXPECT_FALSE(window->visible());
    EXPECT_EQ(ReadAll(dir.file("Wal.{-}")).substr(0, 43), "GBP funt szterling\r\nCHF frank szwajcarski\r\n");
    rates::KurShow(tp.program);
    EXPECT_EQ(window->lists[1].selectedText(), "CHF frank szwajcarski");
    EXPECT_EQ(static_cast<QListWidget*>(window->listWidget(1))->currentRow(), window->lists[1].selected);
}

TEST_F(QtCharts, EscKeyInAListClosesTheWindowAndKeepsTheChoice) {
    WriteAll(dir.file("Wal.{-}"), "EUR euro\r\nUSD dolar ameryka\xf1ski\r\n");
    rates::KurShow(tp.program);
    std::filesystem::remove(dir.file("Wal.{-}"));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window->listWidget(3), &press);
    EXPECT_FALSE(window->visible());
    EXPECT_EQ(ReadAll(dir.file("Wal.{-}")).substr(0, 41), "EUR euro\r\nUSD dolar ameryka\xf1ski\r\nEUR euro");
}

TEST_F(QtCharts, WindowPictureHoldsTheCharts) {
    WriteAll(dir.file("Wal.{-}"), "EUR euro\r\n");
    rates::KurShow(tp.program);
    ASSERT_TRUE(window->savePicture(dir.file("charts.png")));
    QImage picture(QString::fromStdString(dir.file("charts.png")));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.width(), window->widget()->width());
    // The first slot's chart is in it: the panel's image shows maroon bars.
    const QPoint image = window->imageWidget(0)->mapTo(window->widget(), QPoint(0, 0));
    int maroon = 0;
    for (int x = 0; x < 370 && image.x() + x < picture.width(); ++x) {
        maroon += picture.pixel(image.x() + x, image.y() + 60) == kMaroonPixel;
    }
    EXPECT_GT(maroon, 200);
    EXPECT_FALSE(window->savePicture(dir.file("no-such-folder/charts.png")));
}

TEST_F(QtCharts, MissingRateFileShowsOnlyTheCaption) {
    std::filesystem::remove(dir.file("Kurs2024"));
    rates::KurShow(tp.program);
    EXPECT_EQ(window->widget()->windowTitle().toStdString(), "Nie ma tabeli");
    EXPECT_EQ(static_cast<QListWidget*>(window->listWidget(0))->count(), 0);
}

}  // namespace
}  // namespace vel::test
