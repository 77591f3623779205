#pragma once
// The main window on screen: a small frameless tool window with the top panel
// (status line, clock, push panels, printer lists), the description memo, the
// cover panel and the tray icon. Every user event goes to the window logic
// through its Guard, so an error ends only that handler.

#include "app/main_view.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace vel::app {
class MainWindow;
}

namespace vel::platform {

class QtMainView final : public QWidget, public app::MainView {
public:
    QtMainView();
    ~QtMainView() override;

    // The logic the events go to; set once, before the loop runs.
    void setWindow(app::MainWindow* window);
    // Hint of the maker's panel `Tur` (code page 1250).
    void setMakerHint(const std::string& text);

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

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// True when the program runs without a display (Qt's offscreen platform).
bool Headless();

}  // namespace vel::platform
