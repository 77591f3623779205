#include "shell/qt/qt_ksef_window.h"

#include "common/codepage.h"
#include "ksef/ksef.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace vel::ksef {
namespace {

using test::ReadAll;
using test::ScopedTempDir;
using test::TestProgram;

const std::string kNumber = "1234567890-20260105-ABCDEF012345-FF";

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_ksef";
    static char* argv[] = {name, nullptr};
    // The offscreen platform unless the run asks for another one.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Never destroyed: Qt's own globals may already be gone at exit.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Pixels clearly darker than the panel's background inside its bevel: the
// text, with the columns it spans.
struct Ink {
    int pixels = 0;
    int left = -1, right = -1;
};
Ink DarkPixels(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    Ink ink;
    for (int y = 2; y < image.height() - 2; ++y) {
        for (int x = 2; x < image.width() - 2; ++x) {
            if (qGray(image.pixel(x, y)) >= 80) continue;
            ++ink.pixels;
            if (ink.left < 0 || x < ink.left) ink.left = x;
            if (x > ink.right) ink.right = x;
        }
    }
    return ink;
}

struct KsefWindowFixture : ::testing::Test {
    KsefWindowFixture() {
        App();
        view = platform::MakeQtKsefWindow([this](const std::string& text) { errors.push_back(text); });
        widget = platform::KsefWindowWidget(*view);
        panel = widget ? widget->findChild<QLabel*>("P") : nullptr;
        tp.program.sys.ksefView = view.get();
        ConnectKsefWindow(tp.program);
    }
    void click() {
        const QPointF at(panel->width() / 2.0, panel->height() / 2.0);
        const QPointF global = panel->mapToGlobal(at);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &press);
        QApplication::sendEvent(panel, &release);
    }
    void activate() {
        QEvent activation(QEvent::WindowActivate);
        QApplication::sendEvent(widget, &activation);
    }

    ScopedTempDir dir;
    TestProgram tp;
    std::vector<std::string> errors;
    std::unique_ptr<KsefView> view;
    QWidget* widget = nullptr;
    QLabel* panel = nullptr;
};

TEST_F(KsefWindowFixture, StartsHiddenAtDesignSizeInBoldPanelFont) {
    ASSERT_NE(widget, nullptr);
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(view->visible());
    EXPECT_EQ(widget->size(), QSize(290, 90));
    EXPECT_TRUE(widget->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(widget->windowTitle().toStdString(), "   NrKSeF   ( NIP - data - cośtam - xx )");
    EXPECT_EQ(panel->font().pixelSize(), 17);
    EXPECT_TRUE(panel->font().bold());
    EXPECT_EQ(panel->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(KsefWindowFixture, CaptureShowsTheSpacedNumberAtTheTopLeft) {
    ASSERT_NE(panel, nullptr);
    CaptureKsefNumber(tp.program, kNumber);

    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(widget->pos(), QPoint(0, 0));
    EXPECT_EQ(widget->size(), QSize(470, 35));
    EXPECT_EQ(panel->geometry(), widget->rect());  // the panel fills the window
    EXPECT_EQ(panel->text().toStdString(), "123 456 78 90 - 2026 01 05 - ABCD EF01 2345 - FF");
    EXPECT_EQ(view->panelText(), "123 456 78 90 - 2026 01 05 - ABCD EF01 2345 - FF");
    EXPECT_EQ(ReadAll(dir.file("KSeF.txt")), kNumber);

    // What is drawn is the text: dark pixels that an empty panel lacks, over
    // most of the window's width, and the whole number (not cut at the edges)
    // even when a wider font stands in for Comic Sans MS.
    const Ink withText = DarkPixels(widget);
    EXPECT_GT(withText.pixels, 300);
    EXPECT_GT(withText.right - withText.left, 300);
    EXPECT_GT(withText.left, 3);
    EXPECT_LT(withText.right, 470 - 4);
    view->setPanelText("");
    EXPECT_EQ(DarkPixels(widget).pixels, 0);
}

TEST_F(KsefWindowFixture, ActivationCapturesTheClipboardInCodePage1250) {
    ASSERT_NE(panel, nullptr);
    tp.clipboard.setText("Za\xbf\xf3\xb3\xe6");  // "Zażółć"
    activate();
    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(ReadAll(dir.file("KSeF.txt")), "Za\xbf\xf3\xb3\xe6");
    EXPECT_EQ(panel->text(), QString::fromUtf8("Za\xc5\xbc \xc3\xb3\xc5\x82\xc4\x87"));  // "Zaż ółć"
}

TEST_F(KsefWindowFixture, ClickOnThePanelHides) {
    ASSERT_NE(panel, nullptr);
    CaptureKsefNumber(tp.program, kNumber);
    ASSERT_TRUE(widget->isVisible());
    click();
    EXPECT_FALSE(widget->isVisible());
    EXPECT_TRUE(std::filesystem::exists(dir.file("KSeF.txt")));
}

TEST_F(KsefWindowFixture, FailedWriteInActivationIsReportedAndTheWindowStaysHidden) {
    std::filesystem::create_directory(dir.file("KSeF.txt"));
    tp.clipboard.setText(kNumber);
    activate();
    EXPECT_FALSE(widget->isVisible());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("KSeF.txt"), std::string::npos) << errors[0];
}

}  // namespace
}  // namespace vel::ksef
