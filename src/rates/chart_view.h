#pragma once
// What the charts window's logic asks of the window on screen. The Qt widget
// implements it; tests use a fake. The window's own data (lists, the codes of
// the slots, the chart error text) lives here, beside the screen calls, as it
// lives in the form.

#include "platform/canvas.h"

#include <functional>
#include <string>
#include <vector>

namespace vel::rates {

inline constexpr int kChartSlots = 8;
inline constexpr int kChartImageWidth = 370;
inline constexpr int kChartImageHeight = 100;
inline constexpr int kChartPanelMaxWidth = 400;
inline constexpr platform::Color kMaroon = 0x000080;  // 0x00BBGGRR

enum class RateLabel { Max, Akt, Min };

// A list box `Lis1`..`Lis8`: entries kept sorted, the selection (-1 none).
struct ChartList {
    std::vector<std::string> items;
    int selected = -1;
    std::string selectedText() const {
        return selected >= 0 && selected < static_cast<int>(items.size()) ? items[selected] : std::string();
    }
};

struct WindowRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A panel `Pan1`..`Pan8` reaches from its left edge to the window's right
// edge (client width), at most 400 wide.
inline int ChartPanelWidth(int clientWidth, int panelLeft) {
    const int width = clientWidth - panelLeft;
    return width < 0 ? 0 : width > kChartPanelMaxWidth ? kChartPanelMaxWidth : width;
}

struct LabelSize {
    int width = 0;
    int height = 0;
};

// The image `I1`..`I8`, 370 x 100 pixels, white where nothing is drawn.
class ChartCanvas {
public:
    virtual ~ChartCanvas() = default;
    virtual void clear() = 0;
    // Filled white, outlined with the pen colour; the box may reach outside.
    virtual void drawEllipse(platform::Point topLeft, platform::Point bottomRight, platform::Color pen) = 0;
    // Both end points included.
    virtual void drawLine(platform::Point from, platform::Point to, platform::Color pen) = 0;
    // Code page 1250 text, black on an opaque white box, top left at `at`.
    virtual void drawText(platform::Point at, const std::string& text, bool bold) = 0;
};

// Events of the window, connected by AttachChartWindow.
struct ChartHandlers {
    std::function<void(int slot, int index)> listClicked;  // Li1Klik .. Li8Klik, slot 0..7
    std::function<void()> escClicked;                      // EscKlik (button or Esc key)
    std::function<void()> closing;                         // KurClos
};

class ChartView {
public:
    virtual ~ChartView() = default;

    // The form's data.
    ChartList lists[kChartSlots];
    std::string codes[kChartSlots];  // code of each slot's chosen currency
    std::string chartError;           // once set, no more workbook updates this run

    // Geometry of the main window, screen pixels.
    virtual WindowRect mainWindowRect() = 0;
    virtual WindowRect windowRect() = 0;
    // Left, top and width of the window (frame included) and its font size.
    virtual void placeWindow(int left, int top, int width, int fontSizePt) = 0;
    virtual void setClientHeight(int height) = 0;
    // Moves the left edge `pixels` to the left and widens the window as much,
    // so the right edge stays.
    virtual void growLeft(int pixels) = 0;
    virtual void setCaption(const std::string& text) = 0;  // code page 1250
    virtual std::string caption() = 0;

    // `Max1`..`Min8`: the label's size for its current text.
    virtual LabelSize labelSize(int slot, RateLabel label) = 0;
    virtual std::string labelText(int slot, RateLabel label) = 0;
    virtual void setLabelText(int slot, RateLabel label, const std::string& text) = 0;
    virtual void setLabelTop(int slot, RateLabel label, int top) = 0;

    // `Lis1`..`Lis8`: shows `lists[slot]` (entries and selection); the entry
    // `scrollTo` is brought into view when it is not -1.
    virtual void showList(int slot, int scrollTo) = 0;
    virtual void setListBounds(int slot, int top, int width, int height) = 0;

    // `Pan1`..`Pan8`: from `left` to the window's right edge, at most 400 wide.
    virtual void setPanelBounds(int slot, int left, int top, int height) = 0;
    virtual int panelWidth(int slot) = 0;

    virtual ChartCanvas& canvas(int slot) = 0;
    virtual void setEscTop(int top) = 0;

    virtual void show() = 0;
    virtual bool visible() = 0;
    // Closes the window; the closing handler runs.
    virtual void close() = 0;

    virtual void setHandlers(ChartHandlers handlers) = 0;
};

}  // namespace vel::rates
