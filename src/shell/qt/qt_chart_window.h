#pragma once
// The charts window `TKu` on Qt: eight slots of three labels, a list and a
// framed 370 x 100 chart image each, and a hidden Esc button. It renders
// without a display too (QT_QPA_PLATFORM=offscreen), so its images can be
// grabbed for a picture.

#include "rates/chart_view.h"

#include <functional>
#include <memory>

class QWidget;

namespace vel::platform {

class QtChartWindow final : public rates::ChartView {
public:
    // `mainWindowRect` gives the main window's frame on the screen; the charts
    // window opens right under it.
    explicit QtChartWindow(std::function<rates::WindowRect()> mainWindowRect);
    ~QtChartWindow() override;

    QWidget* widget();                // the window itself
    QWidget* imageWidget(int slot);  // `I1`..`I8`
    QWidget* listWidget(int slot);   // `Lis1`..`Lis8`
    // The whole window as a picture file (PNG, or as the name's extension
    // says), also without a display. False when it cannot be written.
    bool savePicture(const std::string& path);

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

// The charts window for the program entry, placed under `mainWindow`
// (nullptr: at the top left corner of the screen).
std::unique_ptr<QtChartWindow> MakeQtChartWindow(QWidget* mainWindow);

}  // namespace vel::platform
