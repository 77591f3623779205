#include "labels/label_file.h"

#include <gtest/gtest.h>

#include <vector>

namespace vel::labels {
namespace {

TEST(NextNumber, TakesDigitRunsSkippingAnythingElse) {
    std::string h = "12;x34--5";
    EXPECT_EQ(NextNumber(h), 12);
    EXPECT_EQ(NextNumber(h), 34);
    EXPECT_EQ(NextNumber(h), 5);
    EXPECT_EQ(NextNumber(h), 0);  // run out: the appended " 0 " answers
    EXPECT_EQ(NextNumber(h), 0);
}

TEST(NextNumber, KeepsSixteenBits) {
    std::string h = "70000 65535 0065536";
    EXPECT_EQ(NextNumber(h), 70000 - 65536);
    EXPECT_EQ(NextNumber(h), 65535);
    EXPECT_EQ(NextNumber(h), 0);
}

TEST(LabelHeader, SeventeenNumbersAndATitle) {
    const LabelHeader h = ReadLabelHeader("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17;Etykiety z magazynu");
    for (int i = 1; i <= 17; ++i) EXPECT_EQ(h.n[i], i) << "N" << i;
    EXPECT_EQ(h.title, "Etykiety");
}

TEST(LabelHeader, OnlyFiveNumbersAndATitleWord) {
    // The title's letters are skipped while the missing numbers are sought.
    const LabelHeader h = ReadLabelHeader("10 20 30 40 50 Towary");
    EXPECT_EQ(h.n[1], 10);
    EXPECT_EQ(h.n[5], 50);
    for (int i = 6; i <= 17; ++i) EXPECT_EQ(h.n[i], 0) << "N" << i;
    EXPECT_EQ(h.title, "0");
}

TEST(LabelHeader, EmptyOrShortHeadersReadZeros) {
    const LabelHeader empty = ReadLabelHeader("");
    for (int i = 1; i <= 17; ++i) EXPECT_EQ(empty.n[i], 0);
    EXPECT_EQ(empty.title, "");
    // Seventeen numbers and nothing after them.
    EXPECT_EQ(ReadLabelHeader("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17").title, "0");
    // A title after more than one separator.
    EXPECT_EQ(ReadLabelHeader("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 ; Kody").title, ";");
}

TEST(NextTabField, TrimsSpacesAndNeedsNoTabAfterTheLast) {
    std::string line = "  ab c \t\t x\tlast ";
    EXPECT_EQ(NextTabField(line), "ab c");
    EXPECT_EQ(NextTabField(line), "");
    EXPECT_EQ(NextTabField(line), "x");
    EXPECT_EQ(NextTabField(line), "last");
    EXPECT_EQ(NextTabField(line), "");
    EXPECT_EQ(line, "");
}

TEST(NextTabField, LongFieldsStayWhole) {
    const std::string longText(600, 'K');
    std::string line = longText + "\tnext";
    EXPECT_EQ(NextTabField(line), longText);
    EXPECT_EQ(NextTabField(line), "next");
}

TEST(LabelRecord, FieldsAndCopies) {
    struct Case {
        const char* name;
        const char* line;
        long long copies;
    };
    const Case cases[] = {
        {"three copies", "A1\tx\ty\tz\t3", 3},
        {"spaces around the count", "A1\tx\ty\tz\t 3 ", 3},
        {"no copies", "A1\tx\ty\tz\t0", 0},
        {"negative", "A1\tx\ty\tz\t-2", -2},
        {"letters", "A1\tx\ty\tz\tdwa", 1},
        {"decimal", "A1\tx\ty\tz\t2.5", 1},
        {"digits then letters", "A1\tx\ty\tz\t3szt", 1},
        {"missing field", "A1\tx\ty", 1},
        {"empty field", "A1\tx\ty\tz\t", 1},
        {"too large", "A1\tx\ty\tz\t99999999999", 1},
        {"sign only", "A1\tx\ty\tz\t-", 1},
        {"sixth field ignored", "A1\tx\ty\tz\t2\t7", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadLabelRecord(c.line).copies, c.copies);
    }
    const LabelRecord r = ReadLabelRecord(" abc12 \t 12.50 PLN\tWidget blue \tunused\t2");
    EXPECT_EQ(r.field[1], "abc12");
    EXPECT_EQ(r.field[2], "12.50 PLN");
    EXPECT_EQ(r.field[3], "Widget blue");
    EXPECT_EQ(r.field[4], "unused");
    EXPECT_EQ(r.copies, 2);
}

std::vector<std::string> Lines(std::string_view bytes) {
    LineReader reader(bytes);
    std::vector<std::string> out;
    std::string line;
    while (reader.next(line)) out.push_back(line);
    return out;
}

TEST(LineReader, SplitsCrLfAndLfLines) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Lines("h\r\na\r\nb\r\n"), (V{"h", "a", "b"}));
    EXPECT_EQ(Lines("h\na\nb"), (V{"h", "a", "b"}));
    EXPECT_EQ(Lines("h\r\n\r\nb\r\n"), (V{"h", "", "b"}));
    EXPECT_EQ(Lines("h\r\na\rb\r\n"), (V{"h", "a\rb"}));
    EXPECT_EQ(Lines(""), V{});
    EXPECT_EQ(Lines("\n"), (V{""}));
}

}  // namespace
}  // namespace vel::labels
