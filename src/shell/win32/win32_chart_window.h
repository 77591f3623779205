#pragma once
// The charts window `TKu` on Windows: eight slots of three labels, a list box
// and a framed 370 x 100 chart each, and an Esc button behind the first list,
// drawn with GDI. Each chart is drawn into an off-screen bitmap of its own,
// which the panel shows whenever it repaints.

#include "shell/win32/win32_handler_guard.h"
#include "rates/chart_view.h"

#include <functional>
#include <memory>

namespace vel::platform {

class Win32ChartWindow final : public rates::ChartView {
public:
    // `mainWindowRect` gives the main window's frame on the screen; the charts
    // window opens right under it. The window's handlers run through `guard`.
    Win32ChartWindow(std::function<rates::WindowRect()> mainWindowRect, HandlerGuard guard);
    ~Win32ChartWindow() override;

    // False when the window could not be created (no desktop).
    bool created() const;

    rates::WindowRect mainWindowRect() override;
    rates::WindowRect windowRect() override;
    void placeWindow(int left, int top, int width, int fontSizePt) override;
    void setClientHeight(int height) override;
    void growLeft(int pixels) override;
    void setCaption(const std::string& text) override;
    std::string caption() override;
    rates::LabelSize labelSize(int slot, rates::RateLabel label) override;
    std::string labelText(int slot, rates::RateLabel label) override;
    void setLabelText(int slot, rates::RateLabel label, const std::string& text) override;
    void setLabelTop(int slot, rates::RateLabel label, int top) override;
    void showList(int slot, int scrollTo) override;
    void setListBounds(int slot, int top, int width, int height) override;
    void setPanelBounds(int slot, int left, int top, int height) override;
    int panelWidth(int slot) override;
    rates::ChartCanvas& canvas(int slot) override;
    void setEscTop(int top) override;
    void show() override;
    bool visible() override;
    void close() override;
    void setHandlers(rates::ChartHandlers handlers) override;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace vel::platform
