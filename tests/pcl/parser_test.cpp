#include "pcl_test_support.h"

#include <gtest/gtest.h>

namespace vel::pcl::test {
namespace {

TEST(ReadJobLine, SplitsAtCrLfOnlyAndDropsTrailingSpaces) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"two lines", "ab\r\ncd", {"ab", "cd"}},
        {"trailing space", "ab \r\n", {"ab"}},
        {"lone CR stays", "a\rb\r\n", {"a\rb"}},
        {"lone LF stays", "a\nb", {"a\nb"}},
        {"last line without end keeps its bytes", "x\r\nyz\r", {"x", "yz\r"}},
        {"spaces before CR LF of the last line", "  q  \r\n", {"  q"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Renderer r;
        r.load(c.bytes);
        std::vector<std::string> got;
        while (!AtJobEnd(r.s)) {
            ReadJobLine(r.s);
            got.push_back(r.s.JobLine);
        }
        EXPECT_EQ(got, c.lines);
    }
}

TEST(ReadJobByte, YieldsSpacesPastTheEnd) {
    Renderer r;
    r.load("A");
    ReadJobByte(r.s);
    EXPECT_EQ(r.s.CurrentByte, 'A');
    EXPECT_TRUE(AtJobEnd(r.s));
    ReadJobByte(r.s);
    ReadJobByte(r.s);
    EXPECT_EQ(r.s.CurrentByte, ' ');
    EXPECT_EQ(r.s.BytesLeft, 0);
}

TEST(ReadParameter, ConvertsUpToTheLetter) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string prefix;
        double value;
        char terminator;
    };
    const Case cases[] = {
        {"integer", "12H", "", 12, 'H'},
        {"with prefix digit", "0U", "1", 10, 'U'},
        {"fraction", "16.67H", "", 16.67, 'H'},
        {"sign", "-3B", "", -3, 'B'},
        {"lower-case letter ends it too", "0p", "", 0, 'p'},
        {"empty text", "B", "", 0, 'B'},
        {"two signs", "+-3B", "", 0, 'B'},
        {"stray punctuation", "1,5H", "", 0, 'H'},
        {"leading spaces", "  7C", "", 7, 'C'},
        {"stream ends: last byte dropped", "12", "", 1, '2'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Renderer r;
        r.load(c.bytes);
        EXPECT_EQ(ReadParameter(r.s, c.prefix), static_cast<unsigned char>(c.terminator));
        EXPECT_DOUBLE_EQ(r.s.ParamValue, c.value);
    }
}

TEST(ReadParameter, HugeNumbersStayFinite) {
    Renderer r;
    r.load(std::string(400, '9') + "H");
    ReadParameter(r.s, "");
    EXPECT_EQ(r.s.ParamValue, 0);  // beyond any real number: not a number
    EXPECT_EQ(RoundToInt32(1e300), 2147483647);
    EXPECT_EQ(RoundToInt32(-1e300), -2147483647 - 1);
    EXPECT_EQ(RoundToInt32(2.5), 2);
    EXPECT_EQ(RoundToInt32(3.5), 4);
}

TEST(EscapeSequences, SetTheStateTheyName) {
    Renderer r(300, 2480, 3507);
    r.render("\x1b(s3B");
    EXPECT_TRUE(r.s.Bold);
    r.render("\x1b(s0B");
    EXPECT_FALSE(r.s.Bold);
    r.render("\x1b(s1S");
    EXPECT_TRUE(r.s.Italic);
    r.render("\x1b(s2S");
    EXPECT_FALSE(r.s.Italic);
    r.render("\x1b&a5L\r");
    EXPECT_EQ(r.s.LeftColumns, 5);
    EXPECT_EQ(r.s.PenX, 5 * r.s.Hmi + 1);
    r.render("\x1b&l8C");
    EXPECT_EQ(r.s.Vmi, 51);  // round(300 * 8 / 47)
    EXPECT_EQ(r.s.PenY, 102);
    r.render("\x1b" "E\x1b&l6E\x1b(s4099T");
    EXPECT_EQ(r.s.Vmi, 51);
    EXPECT_TRUE(r.texts().empty());
    EXPECT_EQ(r.s.DocumentTitle, "Mirva-Vel");
}

TEST(EscapeSequences, SymbolSetIsStoredButNeverChangesTheMapping) {
    struct Case {
        const char* bytes;
        int set;
    };
    for (const Case& c : {Case{"\x1b(10U", 10}, Case{"\x1b(8U", 8}, Case{"\x1b(17U", 17}}) {
        SCOPED_TRACE(c.bytes);
        Renderer r;
        r.s.SymbolSet = 0;
        r.render(std::string(c.bytes) + "\xa5");  // code page 852 "ą"
        EXPECT_EQ(r.s.SymbolSet, c.set);
        EXPECT_EQ(r.printed(), "\xb9");
        EXPECT_NE(r.tp.status.hint.find("Zn=" + std::to_string(c.set)), std::string::npos);
    }
}

TEST(EscapeSequences, UnrecognisedOnesNameTheDocumentAndTheRestPrints) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string title;
        std::string printed;
    };
    const Case cases[] = {
        {"unknown parameter byte", "\x1b&k2G", "<Esc>&k", "2G"},
        {"combined parameters end at the lower-case letter", "\x1b(s0p12h", "<Esc>(s0p", "12h"},
        {"lower-case terminator swallows the parameter", "\x1b(s3b", "<Esc>(s3b", ""},
        {"unknown group", "\x1b*c5A", "<Esc>*", "c5A"},
        {"wrong terminator after a digit", "\x1b(8X", "<Esc>(8X", ""},
        {"file ends inside a sequence", "\x1b(s12", "<Esc>(s12", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Renderer r;
        r.render(c.bytes);
        EXPECT_EQ(r.s.DocumentTitle, c.title);
        EXPECT_EQ(r.printed(), c.printed);
        EXPECT_FALSE(r.s.Bold);
    }
}

TEST(EscapeSequences, FileEndingInsideASequenceTakesTheDigitAsTerminator) {
    Renderer r;
    const int hmi = r.s.Hmi;
    r.render("\x1b(s12");
    EXPECT_DOUBLE_EQ(r.s.ParamValue, 1);
    EXPECT_EQ(r.s.CurrentByte, '2');
    EXPECT_EQ(r.s.Hmi, hmi);  // no pitch change
}

TEST(HiddenSection, PrintsNothingOfItself) {
    Renderer r;
    r.render("\xff" "Tytu\x88\xff" "A");
    EXPECT_EQ(r.printed(), "A");
}

TEST(HiddenSection, AThirdFfTakesTheFallback) {
    Renderer r;
    r.render("\xff" "x\xff\xff");
    EXPECT_EQ(r.printed(), "@255");
}

TEST(ByteTable, MapsCodePage852AndControls) {
    Renderer r;
    r.render("\x07\x15\x7f\x9d\xa4\xbd\xbe\xe3\xe0\xf0\xf9\xfa");
    // bullet, section, space, Ł Ą Ż ż Ń Ó, em dash, bullet, middle dot
    EXPECT_EQ(r.printed(), "\x95\xa7 \xa3\xa5\xaf\xbf\xd1\xd3\x97\x95\xb7");
}

TEST(ByteTable, ControlsMoveThePenWithoutPrinting) {
    Renderer r;
    const int hmi = r.s.Hmi, vmi = r.s.Vmi;
    r.render("AB\x08");
    EXPECT_EQ(r.s.PenX, 1 + hmi);
    r.render("\n\x14");
    EXPECT_EQ(r.s.PenY, 2 * vmi);
    r.render("\r");
    EXPECT_EQ(r.s.PenX, 1);
    r.render("\x08");  // at the left edge backspace does nothing
    EXPECT_EQ(r.s.PenX, 1);
    EXPECT_EQ(r.printed(), "AB");
}

TEST(ByteTable, FallbackPrintsAtSignAndTheValueAtTheLeftEdge) {
    Renderer r;
    const int hmi = r.s.Hmi;
    r.render("X\t");
    auto texts = r.texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[1].text, "@");
    EXPECT_EQ(texts[2].text, "9");
    // Height of "O" at 9 pt, 600 dpi is 75 in the fake.
    EXPECT_EQ(texts[2].points[0], (Point{0, r.s.OffsetY + r.s.PenY - 75}));
    EXPECT_EQ(texts[1].points[0].y, texts[2].points[0].y);
    EXPECT_EQ(r.s.PenX, 1 + 2 * hmi);  // the number does not move the pen
}

TEST(ByteTable, EveryUnmappedByteTakesTheFallback) {
    for (int b : {0x00, 0x03, 0x05, 0x0b, 0x1a, 0x1c, 0x80, 0x82, 0x9b, 0xb0, 0xb2, 0xdb, 0xdf, 0xfd}) {
        SCOPED_TRACE(b);
        Renderer r;
        r.render(std::string(1, static_cast<char>(b)));
        EXPECT_EQ(r.printed(), "@" + std::to_string(b));
        EXPECT_TRUE(r.lines().empty());
    }
}

TEST(ByteTable, BoxBytesAreDrawnNotPrinted) {
    for (int b = 0; b < 256; ++b) {
        const bool glyph = b == 0x04 || (b >= 0xb3 && b <= 0xbc) || (b >= 0xbf && b <= 0xda) || b == 0xfe;
        if (!glyph) continue;
        SCOPED_TRACE(b);
        Renderer r;
        const int hmi = r.s.Hmi;
        r.render(std::string(1, static_cast<char>(b)));
        EXPECT_TRUE(r.texts().empty());
        EXPECT_FALSE(r.lines().empty());
        EXPECT_EQ(r.s.PenX, 1 + hmi);
    }
}

TEST(FormFeed, BreaksThePageUnlessTheStreamEnds) {
    Renderer r;
    r.render("A\fB\f");
    const auto& doc = r.tp.printer.documents.back();
    ASSERT_EQ(doc.pages.size(), 2u);
    EXPECT_EQ(r.s.PageNumber, 2);
    EXPECT_EQ(r.tp.status.history.back(), "Druk 2 strony");
    EXPECT_EQ(r.printed(), "B");  // page 2 holds B and its page mark
    EXPECT_EQ(r.ofKind(CanvasOp::Polygon).size(), 1u);
    EXPECT_EQ(r.s.PenY, r.s.Vmi);
}

TEST(RenderJobStream, StopsWhenTheCloseCountdownRunsOut) {
    Renderer r;
    r.tp.events.onPending = [&] { r.tp.program.state.closeCountdown = 0; };
    r.render("A\fB\fC");
    EXPECT_EQ(r.printed(), "");  // the loop left before B
    EXPECT_FALSE(AtJobEnd(r.s));
}

TEST(Orientation, AChangeRestartsTheDocumentInTheNewOrientation) {
    Renderer r;
    r.s.DocumentTitle = "Tytul";
    r.render("lost\x1b&l1Okept");
    auto& docs = r.tp.printer.documents;
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_TRUE(docs[0].aborted);
    EXPECT_EQ(docs[1].title, "Tytul");
    EXPECT_EQ(docs[1].orientations[0], platform::Orientation::Landscape);
    EXPECT_EQ(r.printed(), "kept");
    EXPECT_EQ(r.ofKind(CanvasOp::Polygon).size(), 1u);  // the new page has its mark
}

TEST(Orientation, TheSameOrientationChangesNothing) {
    Renderer r;
    r.render("a\x1b&l0Ob");
    EXPECT_EQ(r.tp.printer.documents.size(), 1u);
    EXPECT_EQ(r.printed(), "ab");
}

}  // namespace
}  // namespace vel::pcl::test
