#pragma once
// A canvas that measures like the fake one (a character 0.6 of its height
// wide at 600 dpi) and draws nothing, so that benchmarks time only our code.

#include "platform/canvas.h"

namespace vel::bench {

class NullCanvas : public platform::Canvas {
public:
    int textWidth(const platform::Font& font, std::string_view text) override {
        return static_cast<int>(text.size()) * (font.sizePt * 600 * 6 / 720);
    }
    int textHeight(const platform::Font& font, std::string_view) override { return font.sizePt * 600 / 72; }
    void drawText(platform::Point, std::string_view, const platform::Font&) override {}
    void drawLine(platform::Point, platform::Point, const platform::Pen&) override {}
    void drawPolyline(const std::vector<platform::Point>&, const platform::Pen&) override {}
    void drawPolygon(const std::vector<platform::Point>&, platform::Color, const platform::Pen&) override {}
    void fillRect(platform::Point, platform::Point, platform::Color) override { ++fills; }
    long long fills = 0;  // so the compiler keeps the drawing code
};

}  // namespace vel::bench
