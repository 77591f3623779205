#pragma once
// The main window on Windows: a frameless tool window drawn with GDI, with the
// top panel (status line, clock, push panels, printer lists), the description
// panel, the cover panel and the tray icon with its menu. Every user event
// goes to the window logic through its Guard, so an error ends only that
// handler. The window's timer drives the one-second tick.

#include "app/main_view.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vel::app {
class MainWindow;
}

namespace vel::platform {

class Win32MainView final : public app::MainView {
public:
    Win32MainView();
    ~Win32MainView() override;

    // False when the window could not be created (no desktop to show it on).
    bool created() const;

    // The logic the events go to; set once, before the loop runs.
    void setWindow(app::MainWindow* window);
    // Hint of the maker's panel `Tur` (code page 1250).
    void setMakerHint(const std::string& text);

    // Calls `tick` from the window's timer: first after `firstDelayMs`, then
    // a second after the previous one started. The timer is re-armed before
    // the tick runs, so a tick that lets messages run gets its nested tick a
    // second later.
    void startTicks(std::function<void()> tick, int firstDelayMs);
    void stopTicks();

    // Runs the message loop until the window logic ended the program.
    void runLoop();

    // StatusLine
    std::string text() override;
    void setText(const std::string& text) override;
    bool fits(const std::string& text) override;
    void setHint(const std::string& text) override;

    // MainView
    std::string clockText() override;
    void setClockText(const std::string& text) override;
    void setCaption(const std::string& text) override;
    int left() override;
    int top() override;
    int width() override;
    int height() override;
    void move(int left, int top) override;
    int screenWidth() override;
    int screenHeight() override;
    void applyLayout(int panelHeight, int clientHeight, bool showLowerLists) override;
    bool visible() override;
    void show() override;
    void hide() override;
    void close() override;
    void setList(app::PrinterList list, const std::vector<std::string>& items, int selected) override;
    void focusPageList() override;
    void raiseCoverPanel() override;
    void showError(const std::string& text) override;
    void addTrayIcon(const std::string& tip) override;
    void removeTrayIcon() override;
    void popupMenuAtCursor() override;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace vel::platform
