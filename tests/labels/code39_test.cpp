#include "labels/code39.h"

#include "support/fake_platform.h"
#include "published_code39.h"

#include <gtest/gtest.h>

#include <set>

namespace vel::labels {
namespace {

using test::PublishedCode39;
using test::PublishedSymbol;

TEST(Code39, EveryCharacterMatchesThePublishedModules) {
    for (const auto& [ch, bits] : PublishedCode39()) {
        if (ch == '*') continue;
        SCOPED_TRACE(std::string("character '") + ch + "'");
        EXPECT_EQ(Code39Modules(std::string(1, ch)), PublishedSymbol(std::string(1, ch)));
    }
}

TEST(Code39, ShortTextModuleByModule) {
    const std::string got = Code39Modules("AB-12");
    const std::string want = PublishedSymbol("AB-12");
    ASSERT_EQ(got.size(), want.size());
    EXPECT_EQ(got.size(), 13u * 5 + 25);
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i], want[i]) << "module " << i;
    }
}

TEST(Code39, EmptyTextIsStartAndStopOnly) {
    EXPECT_EQ(Code39Modules(""), PublishedSymbol(""));
    EXPECT_EQ(Code39Modules("").size(), 25u);
}

TEST(Code39, LowerCaseEncodesAsUpperCaseAndUnknownAsSpace) {
    EXPECT_EQ(Code39Modules("ab#1"), PublishedSymbol("AB 1"));
    // Code page 1250 letters and the start character itself have no place in a text.
    EXPECT_EQ(Code39Modules("\xb9" "z"), PublishedSymbol(" Z"));  // "ąz"
    EXPECT_EQ(Code39Index('a'), Code39Index('A'));
    EXPECT_EQ(Code39Index('#'), -1);
    EXPECT_EQ(Code39Index('\xb9'), -1);
    EXPECT_EQ(Code39Index('\0'), -1);
}

TEST(Code39, TableHoldsEveryCharacterOnceWithItsCheckValue) {
    const auto& table = Code39Table();
    ASSERT_EQ(table.size(), 44u);
    std::set<char> seen;
    // Check sum values in the published order of the 43 data characters.
    const std::string order = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
    for (const auto& e : table) {
        SCOPED_TRACE(std::string("entry '") + e.ch + "'");
        EXPECT_TRUE(seen.insert(e.ch).second);
        EXPECT_EQ(Code39Index(e.ch), static_cast<int>(&e - table.data()));
        if (e.ch != '*') {
            EXPECT_EQ(e.check, static_cast<int>(order.find(e.ch)));
        }
        // Nine elements, bars and spaces alternating from a bar, three of them wide.
        const std::string el = e.elements;
        ASSERT_EQ(el.size(), 9u);
        int wide = 0;
        for (std::size_t i = 0; i < el.size(); ++i) {
            if (i % 2 == 0) {
                EXPECT_TRUE(el[i] == '5' || el[i] == '6');
            } else {
                EXPECT_TRUE(el[i] == '0' || el[i] == '1');
            }
            wide += el[i] == '6' || el[i] == '1';
        }
        EXPECT_EQ(wide, 3);
    }
    EXPECT_EQ(seen.size(), 44u);
}

TEST(Code39, DrawModuleFillsOnlyBars) {
    platform::FakeCanvas canvas(600);
    platform::FakePage page;
    canvas.setPage(&page);
    DrawModule(canvas, 10, 13, 100, '.', 200);
    DrawModule(canvas, 13, 16, 100, '|', 200);
    DrawModule(canvas, 16, 16, 100, '|', 200);  // a module without width still goes to the canvas
    ASSERT_EQ(page.ops.size(), 2u);
    EXPECT_EQ(page.ops[0].kind, platform::CanvasOp::Rect);
    EXPECT_EQ(page.ops[0].points, (std::vector<platform::Point>{{13, 100}, {16, 200}}));
    EXPECT_EQ(page.ops[0].fill, platform::kBlack);
    EXPECT_EQ(page.ops[1].points, (std::vector<platform::Point>{{16, 100}, {16, 200}}));
}

}  // namespace
}  // namespace vel::labels
