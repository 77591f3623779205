#pragma once

#include "app/main_view.h"
#include "app/main_window.h"
#include "common/program.h"
#include "support/fake_platform.h"

#include <functional>
#include <string>
#include <vector>

namespace vel::test {

// The main window in memory: a 1920 x 1080 screen, 7 pixels a status character.
class FakeMainView : public app::MainView {
public:
    std::string text() override { return status.text(); }
    void setText(const std::string& t) override { status.setText(t); }
    bool fits(const std::string& t) override { return status.fits(t); }
    void setHint(const std::string& t) override { status.setHint(t); }

    std::string clockText() override { return clock; }
    void setClockText(const std::string& t) override { clock = t; }
    void setCaption(const std::string& t) override { caption = t; }
    int left() override { return x; }
    int top() override { return y; }
    int width() override { return w; }
    int height() override { return h; }
    void move(int l, int t) override {
        x = l;
        y = t;
    }
    int screenWidth() override { return 1920; }
    int screenHeight() override { return 1080; }
    void applyLayout(int panelHeight, int clientHeight, bool lowerLists) override {
        panel = panelHeight;
        h = clientHeight;
        lowerListsShown = lowerLists;
    }
    bool visible() override { return shown; }
    void show() override { shown = true; }
    void hide() override { shown = false; }
    void close() override { ++closes; }
    void setList(app::PrinterList list, const std::vector<std::string>& items, int selected) override {
        lists[static_cast<int>(list)] = {items, selected};
    }
    void focusPageList() override {}
    void raiseCoverPanel() override { coverRaised = true; }
    void showError(const std::string& t) override {
        errors.push_back(t);
        if (whileErrorShown) whileErrorShown();
    }
    void addTrayIcon(const std::string& tip) override { trayTip = tip; }
    void removeTrayIcon() override { trayTip.clear(); }
    void popupMenuAtCursor() override { ++menus; }

    platform::FakeStatusLine status;
    std::string clock = "~~~~~";
    std::string caption;
    int x = 815, y = 493, w = 290, h = 20, panel = 93;
    bool lowerListsShown = true;
    bool shown = true;
    int closes = 0;
    bool coverRaised = false;
    std::vector<std::string> errors;
    std::function<void()> whileErrorShown;  // what runs under the open error box
    std::string trayTip;
    int menus = 0;
    struct List {
        std::vector<std::string> items;
        int selected = -1;
    };
    List lists[3];
};

// The program with a fake window whose status line is the window's label.
struct MainWindowHarness {
    platform::FakePrinter printer;
    platform::FakeClipboard clipboard;
    platform::FakeShell shell;
    platform::FakeClock clock;
    platform::FakeEventPump events;
    FakeMainView view;
    platform::FakeSpreadsheet spreadsheet;
    Program program{Services{printer, clipboard, shell, clock, events, view, spreadsheet}, Jobs{}};
    app::MainWindow window{program, view};

    void start(app::Arguments args = {}) { window.ZeCreat(args); }
    // One second later, one tick.
    void tick() {
        clock.advanceSeconds(1);
        window.TiTimer();
    }
};

}  // namespace vel::test
