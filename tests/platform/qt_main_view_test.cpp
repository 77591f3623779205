// The main window on the offscreen platform with the real window logic:
// layout, colours, the status line measured by the label's font, dragging,
// the push panels and the tray menu.

#include "shell/qt/qt_main_view.h"

#include "app/main_window.h"
#include "common/codepage.h"
#include "common/status.h"
#include "support/fake_platform.h"
#include "shell/qt/qt_printer.h"
#include "shell/qt/qt_services.h"
#include "qt_test_support.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <utility>
#include <vector>

namespace vel::platform {
namespace {

namespace fs = std::filesystem;

class MainViewTest : public ::testing::Test {
protected:
    MainViewTest() {
        InstallFontSubstitutes();
        view.setWindow(&window);
    }
    void start() {
        window.ZeCreat(app::Arguments{});
        window.TiTimer();
    }
    QWidget* child(const char* name) {
        auto* w = view.findChild<QWidget*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    static void Click(QWidget* w, Qt::MouseButton button = Qt::LeftButton) {
        Mouse(w, QEvent::MouseButtonPress, QPoint(3, 3), button);
        Mouse(w, QEvent::MouseButtonRelease, QPoint(3, 3), button);
    }
    QColor pixel(int x, int y) { return view.grab().toImage().pixelColor(x, y); }

    QApplication& app = test::QtApp();
    test::ScopedTempDir dir;
    FakePrinter printer{{{"Brother HL"}, {"Zebra ZD420"}}, "Brother HL"};
    FakeClipboard clipboard;
    FakeShell shell;
    QtClock clock;
    FakeEventPump events;
    FakeSpreadsheet spreadsheet;
    QtMainView view;
    Program program{Services{printer, clipboard, shell, clock, events, view, spreadsheet}, Jobs{}};
    app::MainWindow window{program, view};
};

// With VEL_SHOT_DIR set, each view mode is also saved as a picture to look at.
void SaveShot(QWidget& view, int mode) {
    const char* dir = std::getenv("VEL_SHOT_DIR");
    if (dir && *dir) view.grab().scaled(view.size() * 2).save(QString("%1/mode%2.png").arg(dir).arg(mode));
}

TEST_F(MainViewTest, ViewModesGiveTheDesignHeights) {
    start();
    EXPECT_EQ(view.width(), 290);
    EXPECT_EQ(view.height(), 67);  // mode 1: page printer list only
    SaveShot(view, 1);
    EXPECT_FALSE(child("DruKK")->isVisibleTo(&view));
    Click(child("Dn"));
    EXPECT_EQ(view.height(), 92);
    EXPECT_TRUE(child("DruKK")->isVisibleTo(&view));
    EXPECT_TRUE(child("DruFis")->isVisibleTo(&view));
    EXPECT_EQ(child("PG")->height(), 92);
    SaveShot(view, 2);
    Click(child("Dn"));
    EXPECT_EQ(view.height(), 342);  // the description below the top panel
    SaveShot(view, 3);
    EXPECT_EQ(child("PG")->height(), 92);
    Click(child("Dn"));
    EXPECT_EQ(view.height(), 67);
    // Placed at the top right corner by the first tick.
    EXPECT_EQ(view.top(), 0);
    EXPECT_EQ(view.left(), view.screenWidth() - 290);
}

TEST_F(MainViewTest, ComponentsSitAtTheirDesignPlaces) {
    struct Case {
        const char* name;
        QRect geometry;
    };
    const Case cases[] = {
        {"Dn", {5, 4, 14, 14}},     {"Upd", {5, 20, 48, 19}},    {"Tur", {55, 20, 38, 19}},
        {"Wox", {95, 20, 23, 19}},  {"NBP", {120, 20, 33, 19}},  {"KSeF", {155, 20, 38, 19}},
        {"Pa", {195, 20, 90, 19}},  {"DruLas", {4, 40, 280, 22}}, {"DruFis", {4, 65, 97, 22}},
        {"DruKK", {104, 65, 180, 22}}, {"PM", {0, 95, 290, 247}}, {"SBO", {0, 635, 290, 66}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(child(c.name)->geometry(), c.geometry);
    }
    EXPECT_EQ(child("Inf")->pos(), QPoint(22, 4));
    EXPECT_EQ(child("Pa")->font().pixelSize(), 17);
    EXPECT_EQ(QFontInfo(child("Pa")->font()).family(), "Liberation Mono");
    EXPECT_TRUE(view.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(view.windowFlags() & Qt::Tool, Qt::Tool);
}

TEST_F(MainViewTest, ColoursOfPanelListsAndMemo) {
    start();
    Click(child("Dn"));
    Click(child("Dn"));  // mode 3: everything shows
    EXPECT_EQ(pixel(286, 10), QColor(0x00, 0x80, 0xC0));  // PG, 0xC08000 as BBGGRR
    EXPECT_EQ(pixel(220, 45), QColor(0x00, 0x00, 0x60));  // DruLas, 0x600000
    EXPECT_EQ(pixel(60, 80), QColor(0x00, 0x00, 0x60));   // DruFis
    EXPECT_EQ(pixel(280, 330), QColor(0xC0, 0xC0, 0xC0));  // memo, silver
    EXPECT_EQ(pixel(100, 24), QColor(0xC0, 0xC0, 0xC0));  // Sarno panel, silver
}

TEST_F(MainViewTest, StatusLineIsCutByTheLabelsRealWidth) {
    start();
    auto* inf = static_cast<QLabel*>(child("Inf"));
    const std::string longText(200, 'W');
    ShowStatus(program, longText);
    const std::string shown = view.text();
    ASSERT_FALSE(shown.empty());
    EXPECT_LT(shown.size(), longText.size());
    EXPECT_EQ(longText.rfind(shown, 0), 0u);
    EXPECT_LT(inf->x() + inf->width(), 290 - 5);
    // One character more would have reached the edge.
    EXPECT_FALSE(view.fits(shown + "W"));

    // "Nie ma  Zażółć": fits whole, Polish letters and all.
    const std::string shortText = "Nie ma  Za\xbf\xf3\xb3\xe6";
    ShowStatus(program, shortText);
    EXPECT_EQ(view.text(), shortText);
    EXPECT_EQ(inf->text().toStdString(), Cp1250ToUtf8(shortText));
}

TEST_F(MainViewTest, DraggingThePanelOrTheLabelMovesTheWindow) {
    start();
    const int left = view.left(), top = view.top();
    QWidget* pg = child("PG");
    Mouse(pg, QEvent::MouseButtonPress, {250, 8}, Qt::LeftButton);
    Mouse(pg, QEvent::MouseMove, {230, 20}, Qt::LeftButton);
    Mouse(pg, QEvent::MouseButtonRelease, {230, 20}, Qt::LeftButton);
    EXPECT_EQ(view.left(), left - 20);
    EXPECT_EQ(view.top(), top + 12);
    // After the button is up, moving does nothing.
    Mouse(pg, QEvent::MouseMove, {100, 40}, Qt::NoButton);
    EXPECT_EQ(view.left(), left - 20);

    QWidget* inf = child("Inf");
    Mouse(inf, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
    Mouse(inf, QEvent::MouseMove, {2, 9}, Qt::LeftButton);
    Mouse(inf, QEvent::MouseButtonRelease, {2, 9}, Qt::LeftButton);
    EXPECT_EQ(view.left(), left - 23);
    EXPECT_EQ(view.top(), top + 16);
}

TEST_F(MainViewTest, PushPanelsShowAPressEffect) {
    start();
    QWidget* nbp = child("NBP");
    auto corner = [&] { return nbp->grab().toImage().pixelColor(0, 0); };
    EXPECT_EQ(corner(), QColor(Qt::white));  // raised
    Mouse(nbp, QEvent::MouseButtonPress, {5, 5}, Qt::RightButton);
    EXPECT_EQ(corner(), QColor(128, 128, 128));  // lowered while held
    Mouse(nbp, QEvent::MouseButtonRelease, {5, 5}, Qt::RightButton);
    EXPECT_EQ(corner(), QColor(Qt::white));
}

TEST_F(MainViewTest, ClickOnTheClockQuitsAndRemovesTheLock) {
    start();
    ASSERT_TRUE(fs::exists(dir.path() / "Wrk.{-}"));
    Click(child("Pa"));
    EXPECT_TRUE(window.ended());
    EXPECT_FALSE(fs::exists(dir.path() / "Wrk.{-}"));
}

TEST_F(MainViewTest, RightClickOnTheClockSavesThePosition) {
    start();
    view.move(100, 200);
    Click(child("Pa"), Qt::RightButton);
    EXPECT_TRUE(window.ended());
    EXPECT_EQ(test::ReadAll(dir.path() / "Pos.{-}"), "100  200");
}

TEST_F(MainViewTest, UserChoiceInThePageListChangesThePrinter) {
    start();
    auto* las = static_cast<QComboBox*>(child("DruLas"));
    ASSERT_EQ(las->count(), 2);
    EXPECT_EQ(las->currentText(), "Brother HL");
    EXPECT_EQ(printer.currentName(), "Brother HL");
    las->setCurrentIndex(1);  // the program's own change: no event
    EXPECT_EQ(printer.currentName(), "Brother HL");
    emit las->activated(1);  // the user's choice
    EXPECT_EQ(printer.currentName(), "Zebra ZD420");
    EXPECT_EQ(view.text(), "Zebra ZD420 - 600 dpi");
}

TEST_F(MainViewTest, RightClickOnTheFiscalListRaisesTheCoverPanel) {
    start();
    QWidget* fis = child("DruFis");
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), fis->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(fis, &e);
    QWidget* sbo = child("SBO");
    EXPECT_EQ(sbo->y(), 0);
    EXPECT_EQ(view.children().last(), sbo);  // in front of everything
    EXPECT_EQ(view.left(), view.screenWidth() - view.width());
}

TEST_F(MainViewTest, TrayMenuItems) {
    start();
    auto* menu = view.findChild<QMenu*>("Menu");
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* a : menu->actions()) texts << a->text();
    EXPECT_EQ(texts, QStringList({"Parkuj", "Koniec", "Pokaz", "Ukryj"}));
    menu->actions()[3]->trigger();
    EXPECT_FALSE(view.visible());
    menu->actions()[2]->trigger();
    EXPECT_TRUE(view.visible());
    view.move(5, 300);
    test::WriteAll(dir.path() / "Pos.{-}", "5  300");
    menu->actions()[0]->trigger();  // park
    EXPECT_EQ(view.top(), 0);
    EXPECT_EQ(view.left(), view.screenWidth() - view.width());
    EXPECT_FALSE(fs::exists(dir.path() / "Pos.{-}"));
    menu->actions()[1]->trigger();
    EXPECT_TRUE(window.ended());
}

TEST_F(MainViewTest, ErrorWithoutADisplayIsALineOnStderr) {
    std::ostringstream captured;
    std::streambuf* old = std::cerr.rdbuf(captured.rdbuf());
    view.showError("Nie mo\xbfna zapisa\xe6 Pos.{-}");  // "Nie można zapisać"
    std::cerr.rdbuf(old);
    EXPECT_EQ(captured.str(), "vel: Nie mo\xc5\xbcna zapisa\xc4\x87 Pos.{-}\n");
}

// Every text the window shows of its own, as the users know it, byte for byte.
TEST_F(MainViewTest, EveryTextOfTheWindowAsWritten) {
    const std::pair<const char*, const char*> captions[] = {
        {"PG", "."},   {"Dn", "."},      {"Upd", "Update"}, {"Tur", "Sarno"}, {"Wox", "Wox"},
        {"NBP", "NBP"}, {"KSeF", "KSeF"}, {"Pa", "~~~~~"},   {"SBO", "SBO"},
    };
    for (const auto& [name, caption] : captions) EXPECT_EQ(child(name)->accessibleName().toStdString(), caption) << name;

    const std::string dashes(57, '-');
    const std::vector<std::string> description = {
        " Vel  pod Windows  wykonuje  cztery  zadania:",
        " 1. wyświetla datę i godzinę większą czcionką,",
        " 2. drukuje  z:  WQA,  WQB,  WQD,  WQE  oraz  WQC",
        "     na drukarkach przyłączonych po USB i LAN,",
        " 3. odświeża tabelę kursów walut w WQA i WQB,",
        " 4. drukuje naklejki z kodami kreskowymi.",
        dashes,
        " Koniec pracy po kliknięciu myszką na godzinie.",
        " Prawym zapisujemy wielkość i położenie okna.",
        dashes,
        " Standard:  'one.exe',  'no.dll', 'no.reg', 'no.lib'",
        " oznacza, że pracuje w każdej wersji Windows",
        " i nie zanieczyszcza rejestru swoimi śmieciami.",
        dashes,
        " Inne programy mogą używać Vel o ile drukują",
        " do katalogu, gdzie znajduje się Vel.exe, zbiory",
        " ##-???.??? sformatowane jako wydruk PCL5.",
    };
    auto* me = static_cast<QPlainTextEdit*>(child("Me"));
    std::vector<std::string> shown;
    for (const QString& line : me->toPlainText().split('\n')) shown.push_back(line.toStdString());
    EXPECT_EQ(shown, description);
    EXPECT_TRUE(me->isReadOnly());

    start();
    EXPECT_EQ(view.windowTitle().toStdString(), "Vel.8.61 Mirva-Soft Lenno ");
}

}  // namespace
}  // namespace vel::platform
