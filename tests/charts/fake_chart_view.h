#pragma once
// A charts window in memory: records what the logic asked of it. Labels are
// 8 pixels a character and 16 high, as a monospaced 10-point font.

#include "rates/chart_view.h"

#include <string>
#include <vector>

namespace vel::test {

struct ChartOp {
    enum Kind { Clear, Ellipse, Line, Text } kind = Clear;
    platform::Point a, b;
    std::string text;
    bool bold = false;
};

class FakeChartCanvas : public rates::ChartCanvas {
public:
    void clear() override { ops.push_back({ChartOp::Clear, {}, {}, {}, false}); }
    void drawEllipse(platform::Point topLeft, platform::Point bottomRight, platform::Color) override {
        ops.push_back({ChartOp::Ellipse, topLeft, bottomRight, {}, false});
    }
    void drawLine(platform::Point from, platform::Point to, platform::Color) override {
        ops.push_back({ChartOp::Line, from, to, {}, false});
    }
    void drawText(platform::Point at, const std::string& text, bool bold) override {
        ops.push_back({ChartOp::Text, at, {}, text, bold});
    }
    std::vector<ChartOp> ops;
    int count(ChartOp::Kind kind) const {
        int n = 0;
        for (const ChartOp& op : ops) n += op.kind == kind;
        return n;
    }
};

class FakeChartView : public rates::ChartView {
public:
    static constexpr int kCharWidth = 8;
    static constexpr int kLabelHeight = 16;

    FakeChartView() {
        for (auto& slotLabels : labels) {
            for (auto& label : slotLabels) label.text = " Max 0.0000";
        }
    }

    rates::WindowRect mainWindowRect() override { return main; }
    rates::WindowRect windowRect() override { return window; }
    void placeWindow(int left, int top, int width, int fontSizePt) override {
        window.left = left;
        window.top = top;
        window.width = width;
        fontSize = fontSizePt;
    }
    void setClientHeight(int height) override { window.height = height; }
    void growLeft(int pixels) override {
        window.left -= pixels;
        window.width += pixels;
        ++growSteps;
    }
    void setCaption(const std::string& text) override { caption_ = text; }
    std::string caption() override { return caption_; }

    rates::LabelSize labelSize(int slot, rates::RateLabel label) override {
        return {kCharWidth * static_cast<int>(at(slot, label).text.size()), kLabelHeight};
    }
    std::string labelText(int slot, rates::RateLabel label) override { return at(slot, label).text; }
    void setLabelText(int slot, rates::RateLabel label, const std::string& text) override {
        at(slot, label).text = text;
    }
    void setLabelTop(int slot, rates::RateLabel label, int top) override { at(slot, label).top = top; }

    void showList(int slot, int scrollTo) override {
        shownLists[slot] = lists[slot];
        if (scrollTo >= 0) scrolledTo[slot] = scrollTo;
    }
    void setListBounds(int slot, int top, int width, int height) override { listBounds[slot] = {0, top, width, height}; }
    void setPanelBounds(int slot, int left, int top, int height) override { panelBounds[slot] = {left, top, 0, height}; }
    int panelWidth(int slot) override {
        const int w = window.width - panelBounds[slot].left;
        return w < rates::kChartPanelMaxWidth ? w : rates::kChartPanelMaxWidth;
    }
    rates::ChartCanvas& canvas(int slot) override { return canvases[slot]; }
    void setEscTop(int top) override { escTop = top; }

    void show() override {
        visible_ = true;
        ++shows;
    }
    bool visible() override { return visible_; }
    void close() override {
        if (handlers.closing) handlers.closing();
        visible_ = false;
    }
    void setHandlers(rates::ChartHandlers h) override { handlers = std::move(h); }

    struct Label {
        std::string text;
        int top = -1;
    };
    Label labels[rates::kChartSlots][3];
    Label& at(int slot, rates::RateLabel label) { return labels[slot][static_cast<int>(label)]; }

    rates::WindowRect main{1000, 0, 290, 92};
    rates::WindowRect window;
    int fontSize = 0;
    int growSteps = 0;
    int escTop = -1;
    int shows = 0;
    rates::ChartList shownLists[rates::kChartSlots];
    int scrolledTo[rates::kChartSlots] = {-1, -1, -1, -1, -1, -1, -1, -1};
    rates::WindowRect listBounds[rates::kChartSlots];
    rates::WindowRect panelBounds[rates::kChartSlots];
    FakeChartCanvas canvases[rates::kChartSlots];
    rates::ChartHandlers handlers;

private:
    std::string caption_;
    bool visible_ = false;
};

}  // namespace vel::test
