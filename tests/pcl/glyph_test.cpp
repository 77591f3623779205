#include "pcl_test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace vel::pcl::test {
namespace {

using Segment = std::pair<Point, Point>;

std::vector<Segment> Segments(Renderer& r) {
    std::vector<Segment> out;
    for (const auto& op : r.lines()) out.emplace_back(op.points[0], op.points[1]);
    return out;
}

TEST(Glyphs, SegmentsFollowTheCellGrid) {
    Renderer r;  // cell 35428, line 87
    const int x0 = r.s.OffsetX, y0 = r.s.OffsetY + r.s.Vmi;
    r.render("\xc9");  // double top left corner
    const std::vector<Segment> want = {
        {{x0 + 14, y0}, {x0 + 14, y0 - 52}},
        {{x0 + 14, y0 - 52}, {x0 + 35, y0 - 52}},
        {{x0 + 21, y0}, {x0 + 21, y0 - 34}},
        {{x0 + 21, y0 - 34}, {x0 + 35, y0 - 34}},
    };
    EXPECT_EQ(Segments(r), want);
    for (const auto& op : r.lines()) EXPECT_EQ(op.pen.width, 5);  // 600 / 150 + 1
}

TEST(Glyphs, FrameCornersJoinAtSharedEndPoints) {
    Renderer r;
    r.render("\xda\xc4\xbf\r\n\xc0\xc4\xd9");  // a small frame of single lines
    const auto segs = Segments(r);
    ASSERT_EQ(segs.size(), 10u);
    std::map<std::pair<int, int>, int> ends;
    for (const auto& [a, b] : segs) {
        ++ends[{a.x, a.y}];
        ++ends[{b.x, b.y}];
    }
    // Closed outline: every end point is shared by at least two segments.
    for (const auto& [point, count] : ends) {
        SCOPED_TRACE(testing::Message() << point.first << "," << point.second);
        EXPECT_GE(count, 2);
    }
    // The sides of the top corners meet those of the bottom corners.
    EXPECT_EQ(segs[0].first, segs[5].first);
    EXPECT_EQ(segs[4].second, segs[9].second);
}

TEST(Glyphs, ARowOfHorizontalsIsOneLine) {
    Renderer r;
    r.render(std::string(40, '\xc4'));
    const auto segs = Segments(r);
    ASSERT_EQ(segs.size(), 40u);
    for (std::size_t i = 1; i < segs.size(); ++i) {
        EXPECT_EQ(segs[i].first.y, segs[0].first.y);
        // Cells meet within one pixel, well inside the 5-pixel pen.
        EXPECT_LE(std::abs(segs[i].first.x - segs[i - 1].second.x), 1);
    }
}

TEST(Glyphs, ScaleWithTheCellAndTheLine) {
    Renderer r;
    r.render("\x1b(s10H\x1b&l6C\xc5");  // 10 cpi, 6 lpi, a crossing
    const auto segs = Segments(r);
    ASSERT_EQ(segs.size(), 2u);
    EXPECT_EQ(segs[1].second.x - segs[1].first.x, 60);  // one 60-pixel cell
    EXPECT_EQ(segs[0].first.y - segs[0].second.y, r.s.Vmi);  // one line
    EXPECT_EQ(r.s.PenX, 1 + 60000);  // the glyph's one cell at 10 cpi
}

TEST(Glyphs, TakeOneCellLikeACharacter) {
    Renderer r;
    r.render("A\xb3" "B");
    auto texts = r.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(r.s.PenX, 1 + 3 * r.s.Hmi);
    EXPECT_EQ(r.s.SpaceRun, 0);
}

TEST(PageMark, StandsAtTheTopLeftOfTheTextArea) {
    Renderer r;
    StartPage(r.s);
    auto polygons = r.ofKind(CanvasOp::Polygon);
    auto polylines = r.ofKind(CanvasOp::Polyline);
    ASSERT_EQ(polygons.size(), 1u);
    ASSERT_EQ(polylines.size(), 1u);
    const int x = r.s.OffsetX + 1, y = r.s.OffsetY + 1;
    const std::vector<Point> outline = {{x, y},          {x + 13, y},      {x + 13, y + 6}, {x + 10, y + 6},
                                        {x + 10, y + 12}, {x + 3, y + 12}, {x + 3, y + 6},  {x, y + 6}};
    EXPECT_EQ(polygons[0].points, outline);
    EXPECT_EQ(polygons[0].pen.width, 5);
    ASSERT_EQ(polylines[0].points.size(), 9u);
    EXPECT_EQ(polylines[0].points.front(), (Point{x + 15, y + 3}));
    EXPECT_EQ(polylines[0].points.back(), (Point{x + 11, y + 14}));
}

}  // namespace
}  // namespace vel::pcl::test
