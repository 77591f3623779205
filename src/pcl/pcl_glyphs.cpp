#include "pcl/pcl_render.h"

#include "common/program.h"
#include "platform/canvas.h"
#include "platform/printer.h"

#include <array>
#include <initializer_list>

namespace vel::pcl {

namespace {

// A cell is a 6 x 6 grid: gx 0 its left edge .. 5 its right edge, gy 0 the
// bottom of the line .. 5 one line height above. Single lines run along
// gx 2 / gy 3, double lines along gx 2 and 3 / gy 2 and 3, so neighbouring
// cells meet at shared end points and frames close.
struct Segment {
    std::uint8_t x1, y1, x2, y2;
};

struct Glyph {
    std::array<Segment, 8> segments{};
    std::uint8_t count = 0;
    Glyph() = default;
    Glyph(std::initializer_list<Segment> list) {
        for (const Segment& seg : list) segments[count++] = seg;
    }
};

struct GlyphRow {
    unsigned char byte;
    Glyph glyph;
};

// The box-drawing set of code page 437, also for the bytes where code page
// 852 has a letter instead, plus the diamond and the filled square.
const GlyphRow kGlyphRows[] = {
        {0x04, {{0, 3, 2, 2}, {2, 2, 4, 3}, {0, 3, 2, 4}, {2, 4, 4, 3}}},  // diamond
        {0xB3, {{2, 0, 2, 5}}},  // │
        {0xB4, {{0, 3, 2, 3}, {2, 0, 2, 5}}},  // ┤
        {0xB5, {{0, 2, 2, 2}, {0, 3, 2, 3}, {2, 0, 2, 5}}},  // ╡
        {0xB6, {{2, 0, 2, 5}, {3, 0, 3, 5}, {0, 3, 2, 3}}},  // ╢
        {0xB7, {{0, 3, 3, 3}, {3, 3, 3, 0}, {2, 0, 2, 3}}},  // ╖
        {0xB8, {{0, 3, 2, 3}, {2, 3, 2, 0}, {0, 2, 2, 2}}},  // ╕
        {0xB9, {{0, 2, 2, 2}, {2, 2, 2, 0}, {0, 3, 2, 3}, {2, 3, 2, 5}, {3, 0, 3, 5}}},  // ╣
        {0xBA, {{2, 0, 2, 5}, {3, 0, 3, 5}}},  // ║
        {0xBB, {{0, 2, 2, 2}, {2, 2, 2, 0}, {0, 3, 3, 3}, {3, 3, 3, 0}}},  // ╗
        {0xBC, {{0, 2, 3, 2}, {3, 2, 3, 5}, {0, 3, 2, 3}, {2, 3, 2, 5}}},  // ╝
        {0xBF, {{0, 3, 2, 3}, {2, 3, 2, 0}}},  // ┐
        {0xC0, {{2, 5, 2, 3}, {2, 3, 5, 3}}},  // └
        {0xC1, {{0, 3, 5, 3}, {2, 3, 2, 5}}},  // ┴
        {0xC2, {{0, 3, 5, 3}, {2, 0, 2, 3}}},  // ┬
        {0xC3, {{2, 0, 2, 5}, {2, 3, 5, 3}}},  // ├
        {0xC4, {{0, 3, 5, 3}}},  // ─
        {0xC5, {{2, 0, 2, 5}, {0, 3, 5, 3}}},  // ┼
        {0xC6, {{2, 0, 2, 5}, {2, 2, 5, 2}, {2, 3, 5, 3}}},  // ╞
        {0xC7, {{2, 0, 2, 5}, {3, 0, 3, 5}, {3, 3, 5, 3}}},  // ╟
        {0xC8, {{2, 5, 2, 2}, {2, 2, 5, 2}, {3, 5, 3, 3}, {3, 3, 5, 3}}},  // ╚
        {0xC9, {{2, 0, 2, 3}, {2, 3, 5, 3}, {3, 0, 3, 2}, {3, 2, 5, 2}}},  // ╔
        {0xCA, {{0, 2, 5, 2}, {0, 3, 2, 3}, {2, 3, 2, 5}, {3, 5, 3, 3}, {3, 3, 5, 3}}},  // ╩
        {0xCB, {{0, 3, 5, 3}, {0, 2, 2, 2}, {2, 2, 2, 0}, {3, 0, 3, 2}, {3, 2, 5, 2}}},  // ╦
        {0xCC, {{2, 0, 2, 5}, {3, 0, 3, 2}, {3, 2, 5, 2}, {3, 5, 3, 3}, {3, 3, 5, 3}}},  // ╠
        {0xCD, {{0, 2, 5, 2}, {0, 3, 5, 3}}},  // ═
        {0xCE, {{0, 2, 2, 2}, {2, 2, 2, 0}, {3, 0, 3, 2}, {3, 2, 5, 2}, {0, 3, 2, 3}, {2, 3, 2, 5}, {3, 5, 3, 3}, {3, 3, 5, 3}}},  // ╬
        {0xCF, {{0, 2, 5, 2}, {0, 3, 5, 3}, {2, 3, 2, 5}}},  // ╧
        {0xD0, {{2, 3, 2, 5}, {3, 3, 3, 5}, {0, 3, 5, 3}}},  // ╨
        {0xD1, {{0, 3, 5, 3}, {0, 2, 5, 2}, {2, 0, 2, 2}}},  // ╤
        {0xD2, {{0, 3, 5, 3}, {2, 0, 2, 3}, {3, 0, 3, 3}}},  // ╥
        {0xD3, {{2, 5, 2, 3}, {2, 3, 5, 3}, {3, 5, 3, 3}}},  // ╙
        {0xD4, {{2, 5, 2, 2}, {2, 2, 5, 2}, {2, 3, 5, 3}}},  // ╘
        {0xD5, {{2, 0, 2, 3}, {2, 3, 5, 3}, {2, 2, 5, 2}}},  // ╒
        {0xD6, {{2, 0, 2, 3}, {2, 3, 5, 3}, {3, 0, 3, 3}}},  // ╓
        {0xD7, {{2, 0, 2, 5}, {3, 0, 3, 5}, {0, 3, 5, 3}}},  // ╫
        {0xD8, {{2, 0, 2, 5}, {0, 2, 5, 2}, {0, 3, 5, 3}}},  // ╪
        {0xD9, {{0, 3, 2, 3}, {2, 3, 2, 5}}},  // ┘
        {0xDA, {{2, 0, 2, 3}, {2, 3, 5, 3}}},  // ┌
        {0xFE, {{1, 1, 1, 4}, {1, 4, 4, 4}, {4, 4, 4, 1}, {4, 1, 1, 1}, {2, 2, 2, 3}, {2, 3, 3, 3}, {3, 3, 3, 2}, {3, 2, 2, 2}}},  // ■
};

struct GlyphTable {
    std::array<const Glyph*, 256> byByte{};
    GlyphTable() {
        for (const GlyphRow& row : kGlyphRows) byByte[row.byte] = &row.glyph;
    }
};

const GlyphTable& Glyphs() {
    static const GlyphTable table;
    return table;
}

platform::Pen LinePen(const PclJobState& s) {
    platform::Pen pen;
    pen.width = s.Density / 150 + 1;
    pen.color = platform::kBlack;
    return pen;
}

platform::Point MapGridPoint(const PclJobState& s, int gx, int gy) {
    const std::int64_t x = s.PenX / 1000 + static_cast<std::int64_t>(s.OffsetX) + gx * static_cast<std::int64_t>(s.Hmi) / 5000;
    const std::int64_t y = static_cast<std::int64_t>(s.OffsetY) + s.PenY - gy * static_cast<std::int64_t>(s.Vmi) / 5;
    return {Wrap16(x), Wrap16(y)};
}

}  // namespace

bool DrawGlyph(PclJobState& s, unsigned char byte) {
    const Glyph* glyph = Glyphs().byByte[byte];
    if (!glyph) return false;
    platform::Canvas& canvas = s.program.sys.printer.canvas();
    const platform::Pen pen = LinePen(s);
    for (std::uint8_t i = 0; i < glyph->count; ++i) {
        const Segment& seg = glyph->segments[i];
        canvas.drawLine(MapGridPoint(s, seg.x1, seg.y1), MapGridPoint(s, seg.x2, seg.y2), pen);
    }
    s.PenX = Wrap32(static_cast<std::int64_t>(s.PenX) + s.Hmi);
    return true;
}

void DrawPageMark(PclJobState& s) {
    platform::Canvas& canvas = s.program.sys.printer.canvas();
    const platform::Pen pen = LinePen(s);
    const int ox = s.OffsetX + 1;
    const int oy = s.OffsetY + 1;
    auto at = [&](std::initializer_list<platform::Point> points) {
        std::vector<platform::Point> out;
        for (const platform::Point& p : points) out.push_back({Wrap16(static_cast<std::int64_t>(ox) + p.x), Wrap16(static_cast<std::int64_t>(oy) + p.y)});
        return out;
    };
    canvas.drawPolygon(at({{0, 0}, {13, 0}, {13, 6}, {10, 6}, {10, 12}, {3, 12}, {3, 6}, {0, 6}}), platform::kWhite, pen);
    canvas.drawPolyline(at({{15, 3}, {15, 9}, {13, 9}, {14, 8}, {12, 8}, {12, 15}, {5, 15}, {5, 14}, {11, 14}}), pen);
}

}  // namespace vel::pcl
