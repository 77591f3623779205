#pragma once
// What the main window's logic asks of the window on screen. The Qt widget
// implements it; tests use a fake. Positions are screen pixels.

#include "platform/status_line.h"

#include <string>
#include <vector>

namespace vel::app {

enum class PrinterList { Page, Label, Fiscal };  // DruLas, DruKK, DruFis

class MainView : public platform::StatusLine {
public:
    // Clock panel `Pa`.
    virtual std::string clockText() = 0;
    virtual void setClockText(const std::string& text) = 0;

    virtual void setCaption(const std::string& text) = 0;

    virtual int left() = 0;
    virtual int top() = 0;
    virtual int width() = 0;
    virtual int height() = 0;
    virtual void move(int left, int top) = 0;
    virtual int screenWidth() = 0;
    virtual int screenHeight() = 0;

    // The top panel `PG` gets `panelHeight`, the client area `clientHeight`,
    // and the window keeps that size; the lower list row shows or hides.
    virtual void applyLayout(int panelHeight, int clientHeight, bool showLowerLists) = 0;

    virtual bool visible() = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    // Ends the message loop: the program ends after the running handler.
    virtual void close() = 0;

    virtual void setList(PrinterList list, const std::vector<std::string>& items, int selected) = 0;
    virtual void focusPageList() = 0;
    virtual void raiseCoverPanel() = 0;  // `SBO` to the top, in front of everything

    // The framework's error box for an error that ended an event handler;
    // without a display a line on stderr.
    virtual void showError(const std::string& text) = 0;

    virtual void addTrayIcon(const std::string& tip) = 0;
    virtual void removeTrayIcon() = 0;
    virtual void popupMenuAtCursor() = 0;
};

// Layout of the main window at design size, in client pixels.
struct Rect {
    int left, top, width, height;
    int bottom() const { return top + height; }
};
inline constexpr Rect kPagePrinterList{4, 40, 280, 22};   // DruLas
inline constexpr Rect kFiscalList{4, 65, 97, 22};         // DruFis
inline constexpr Rect kLabelPrinterList{104, 65, 180, 22};  // DruKK
inline constexpr Rect kDescriptionPanel{0, 95, 290, 247};   // PM
inline constexpr int kDesignWidth = 290;

// Lines of the description memo `Me` in panel `PM`, code page 1250.
std::vector<std::string> DescriptionLines();

}  // namespace vel::app
