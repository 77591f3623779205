#pragma once
// Drawing surface of one printed page. Every call carries its own font or pen,
// so callers never save and restore canvas state. Coordinates are device pixels
// with the origin at the top left corner of the printable area. Text is code
// page 1250 bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vel::platform {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// 0x00BBGGRR, as the window system writes colours.
using Color = std::uint32_t;
inline constexpr Color kBlack = 0x000000;
inline constexpr Color kWhite = 0xFFFFFF;

struct Font {
    std::string name = "Courier New";
    int sizePt = 9;  // points; the canvas scales them by its resolution
    bool bold = false;
    bool italic = false;
    Color color = kBlack;
    friend bool operator==(const Font&, const Font&) = default;
};

struct Pen {
    int width = 1;  // pixels
    Color color = kBlack;
    friend bool operator==(const Pen&, const Pen&) = default;
};

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual int textWidth(const Font& font, std::string_view text) = 0;
    virtual int textHeight(const Font& font, std::string_view text) = 0;
    // Text with its top left corner at `at`, painted on an opaque white box.
    virtual void drawText(Point at, std::string_view text, const Font& font) = 0;
    virtual void drawLine(Point from, Point to, const Pen& pen) = 0;
    virtual void drawPolyline(const std::vector<Point>& points, const Pen& pen) = 0;
    // Filled with `fill` and outlined with `pen`.
    virtual void drawPolygon(const std::vector<Point>& points, Color fill, const Pen& pen) = 0;
    // Fills the rectangle from `topLeft` up to but excluding `bottomRight`.
    virtual void fillRect(Point topLeft, Point bottomRight, Color fill) = 0;
};

}  // namespace vel::platform
