#include "pcl_test_support.h"

#include "common/io.h"

#include <gtest/gtest.h>

namespace vel::pcl::test {
namespace {

TEST(PageGeometry, A4At600DpiWithDefaultMargins) {
    Renderer r(600, 4960, 7015);
    EXPECT_EQ(r.s.Hmi, 35428);  // 4960 * 1000 / 140
    EXPECT_EQ(r.s.Vmi, 87);     // 7015 / 80
    EXPECT_EQ(r.s.OffsetX, 283);
    EXPECT_EQ(r.s.TextAreaWidth, 4440);
    EXPECT_EQ(r.s.TextAreaHeight, 6543);
    EXPECT_EQ(r.s.OffsetY, 236);
    EXPECT_EQ(r.s.FontSize, 9);
    EXPECT_EQ(r.s.LeftColumns, 0);
    EXPECT_EQ(r.s.PenX, 1);
    EXPECT_EQ(r.s.PenY, 87);
}

TEST(PageGeometry, NarrowPrintableWidthAndUnequalMargins) {
    Renderer r(600, 4800, 7015);
    r.s.TextAreaWidth = 4800;
    r.s.TopMarginMm = 20;
    ComputePageGeometry(r.s);
    EXPECT_EQ(r.s.OffsetX, 283 - 80);  // half of 4960 - 4800 is the unprintable left edge
    EXPECT_EQ(r.s.TextAreaHeight, 6307);
    EXPECT_EQ(r.s.OffsetY, 472);  // (236 + 7015 - 6307) / 2
}

TEST(PageSettings, ReadsClampsAndIgnoresBadLines) {
    struct Case {
        const char* name;
        const char* file;  // nullptr: no file
        int left, margin, top;
    };
    const Case cases[] = {
        {"no file", nullptr, 12, 10, 10},
        {"top raised to the margin", "GORA=5\r\nMARG=20\r\n", 12, 20, 20},
        {"top lowered to 50", "GORA=60\r\n", 12, 10, 50},
        {"left raised to 7", "LEWY=3\r\n", 7, 10, 10},
        {"left lowered to 30", "LEWY=40", 30, 10, 10},
        {"spaces and case", "lewy = 15\r\n", 15, 10, 10},
        {"unreadable number", "LEWY=abc\r\n", 12, 10, 10},
        {"value longer than four characters read as four", "LEWY=15mm\r\n", 12, 10, 10},
        {"key not at the start", "XLEWY=15\r\n", 12, 10, 10},
        {"font keys change nothing", "FONT=20\r\nFoNa=Arial\r\n", 12, 10, 10},
        {"margin raised to 7", "MARG=3\r\n", 12, 7, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Renderer r;
        if (c.file) WriteFile("Set.{-}", c.file);
        LoadPageSettings(r.s);
        EXPECT_EQ(r.s.LeftMarginMm, c.left);
        EXPECT_EQ(r.s.MarginMm, c.margin);
        EXPECT_EQ(r.s.TopMarginMm, c.top);
    }
}

TEST(PrintCell, CentresTheCharacterInItsCell) {
    Renderer r;
    r.render("A");
    auto texts = r.texts();
    ASSERT_EQ(texts.size(), 1u);
    // Width 45 and height 75 at 9 pt in the fake: (2 + 35428 - 45000) / 2000 + 283.
    EXPECT_EQ(texts[0].points[0], (Point{279, 248}));
    EXPECT_EQ(texts[0].font.name, "Courier New");
    EXPECT_EQ(texts[0].font.sizePt, 9);
    EXPECT_EQ(r.s.PenX, 1 + 35428);
}

TEST(PrintCell, StyleFollowsBoldAndItalic) {
    Renderer r;
    r.render("\x1b(s3B\x1b(s1Sx");
    ASSERT_EQ(r.texts().size(), 1u);
    EXPECT_TRUE(r.texts()[0].font.bold);
    EXPECT_TRUE(r.texts()[0].font.italic);
}

TEST(PrintCell, FourSpacesDrawThreeAndAdvanceFour) {
    Renderer r;
    r.render("    X");
    EXPECT_EQ(r.printed(), "   X");
    EXPECT_EQ(r.s.PenX, 1 + 5 * r.s.Hmi);
    Renderer again;
    again.render("   \r  ");  // CR ends the run
    EXPECT_EQ(again.texts().size(), 5u);
}

TEST(PrintCell, OverlongLineContinuesNearTheLeftEdge) {
    Renderer r;
    r.render(std::string(200, 'X'));
    auto texts = r.texts();
    ASSERT_EQ(texts.size(), 200u);
    std::size_t back = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_LE(texts[i].points[0].x, r.s.RightLimit);
        if (i > 0 && back == 0 && texts[i].points[0].x < texts[i - 1].points[0].x) back = i;
    }
    ASSERT_GT(back, 100u);
    EXPECT_LT(texts[back].points[0].x, 300);
}

TEST(PrintCell, ACellWiderThanThePageStillEnds) {
    Renderer r;
    r.s.Hmi = 2000000000;
    r.render("AB");
    EXPECT_EQ(r.texts().size(), 2u);
    Renderer narrow;
    narrow.s.RightLimit = 0;
    narrow.render("AB");
    EXPECT_EQ(narrow.texts().size(), 2u);
}

TEST(PrintCell, TracesIntoAnExistingReportFileOnly) {
    Renderer r;
    r.s.TraceOn = true;
    r.render("A");
    EXPECT_FALSE(r.s.TraceOn);
    EXPECT_FALSE(FileExists("Raport-T.{-}"));
    WriteFile("Raport-T.{-}", "");
    r.s.TraceOn = true;
    r.render("B");
    EXPECT_TRUE(r.s.TraceOn);
    EXPECT_EQ(ReadFile("Raport-T.{-}"), "   B(313,248)");
}

TEST(SelectPitch, StretchesOnlyWhenTheLongestLineNearlyFills) {
    struct Case {
        const char* name;
        double pitch;
        int longest;
        int hmi;
        int size;  // smallest size whose "M" (5 px a point in the fake) fills the cell
    };
    const Case cases[] = {
        {"10 cpi, 78 columns: no stretch", 10, 78, 60000, 12},
        {"17 cpi, 120 columns: stretched to fill", 17, 120, 37000, 8},
        {"17 cpi, 78 columns: stretch too large", 17, 78, 35294, 8},
        {"10 cpi, 140 columns: twice the fill width", 10, 140, 63428, 13},
        {"16.67 cpi rounds the cell", 16.67, 300, 35993, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Renderer r;
        r.s.MaxLineLength = c.longest;
        SelectPitch(r.s, c.pitch);
        EXPECT_EQ(r.s.Hmi, c.hmi);
        EXPECT_EQ(r.s.FontSize, c.size);
    }
}

TEST(SelectPitch, EdgesEndAndIgnorePitchZero) {
    Renderer r;
    const int hmi = r.s.Hmi;
    r.render("\x1b(s0H");
    EXPECT_EQ(r.s.Hmi, hmi);
    EXPECT_EQ(r.s.FontSize, 9);
    SelectPitch(r.s, 100000);  // a cell of 6 thousandths: no size is small enough
    EXPECT_EQ(r.s.Hmi, 6);
    EXPECT_EQ(r.s.FontSize, 1);
    SelectPitch(r.s, 0.000001);  // a cell wider than any font
    EXPECT_EQ(r.s.Hmi, 2147483647);
    EXPECT_GT(r.s.FontSize, 9);
}

TEST(SetLineHeight, DividesBy47) {
    Renderer r(300, 2480, 3507);
    SetLineHeight(r.s, 8);
    EXPECT_EQ(r.s.Vmi, 51);
    EXPECT_EQ(r.s.PenY, 102);
    SetLineHeight(r.s, 6);
    EXPECT_EQ(r.s.Vmi, 38);  // round(38.297)
}

TEST(ShowRenderState, PutsTheGridIntoTheHint) {
    Renderer r(300, 2480, 3507);
    r.s.Bold = true;
    r.s.Italic = true;
    SetLineHeight(r.s, 8);
    EXPECT_EQ(r.tp.status.hint, " X=1;2220;17, Y=102;3271;51, Zn=17 Bold+Italic");
    r.s.Bold = false;
    ShowRenderState(r.s);
    EXPECT_EQ(r.tp.status.hint, " X=1;2220;17, Y=102;3271;51, Zn=17 Italic");
    r.s.Italic = false;
    ShowRenderState(r.s);
    EXPECT_EQ(r.tp.status.hint, " X=1;2220;17, Y=102;3271;51, Zn=17 ");
}

TEST(CharacterMap, ConvertsTheListedBytesOnly) {
    EXPECT_EQ(MapCp852('A'), 'A');
    EXPECT_EQ(MapCp852(0x86), 0xE6);  // ć
    EXPECT_EQ(MapCp852(0x8D), 0x8F);  // Ź
    EXPECT_EQ(MapCp852(0xAB), 0x9F);  // ź
    EXPECT_EQ(MapCp852(0x97), 0x8C);  // Ś
    EXPECT_EQ(MapCp852(0x85), 0);     // ů is not printed as a letter
    EXPECT_EQ(MapCp852(0xB5), 0);     // Á is drawn as a box glyph
    EXPECT_EQ(MapCp852(0x09), 0);
}

}  // namespace
}  // namespace vel::pcl::test
