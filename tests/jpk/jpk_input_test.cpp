#include "jpk/jpk_input.h"

#include <gtest/gtest.h>

namespace vel::jpk {
namespace {

TEST(JpkPeriod, VariantFollowsThePeriodWithExclusiveThresholds) {
    struct Case {
        const char* period;
        Variant variant;
    };
    const Case cases[] = {
        {"2020-09", Variant::A}, {"2019-12", Variant::A}, {"2020-10", Variant::B}, {"2021-06", Variant::B},
        {"2021-07", Variant::C}, {"2021-12", Variant::C}, {"2022-01", Variant::D}, {"2024-05", Variant::D},
        {"2026-01", Variant::D}, {"2026-02", Variant::E}, {"2026-11", Variant::E},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.period);
        EXPECT_EQ(VariantOf(c.period), c.variant);
    }
}

TEST(JpkPeriod, QuarterDigitAndLastDay) {
    EXPECT_EQ(QuarterDigit("2021-05"), '0');
    EXPECT_EQ(QuarterDigit("2021-03"), '1');
    EXPECT_EQ(QuarterDigit("2021-06"), '2');
    EXPECT_EQ(QuarterDigit("2021-09"), '3');
    EXPECT_EQ(QuarterDigit("2021-12"), '4');
    EXPECT_EQ(QuarterDigit("2021-01"), '0');
    EXPECT_EQ(LastDayText("2024-02"), "2024-02-28");  // February is always 28 days
    EXPECT_EQ(LastDayText("2021-11"), "2021-11-30");
    EXPECT_EQ(LastDayText("2021-06"), "2021-06-30");
    EXPECT_EQ(LastDayText("2021-12"), "2021-12-31");
    EXPECT_EQ(FirstDayText("2021-12"), "2021-12-01");
}

TEST(JpkPeriod, PeriodSitsAfterTheJpkVatMark) {
    EXPECT_EQ(PeriodOf("C:\\WQ\\JPK\\JPK_VAT_2021-06_WQA-001"), "2021-06");
    EXPECT_EQ(PeriodOf("D:\\JPK_VAT-2022-01-0000001"), "2022-01");
    // Without the mark the period is cut from character 9.
    EXPECT_EQ(PeriodOf("ABCDEFGH2020-09xxxxxxxx"), "2020-09");
}

TEST(JpkPeriod, MonthBasesOfAQuarterlyJune) {
    const std::string base = "JPK\\JPK_VAT_2021-06_WQA-001";
    const auto bases = MonthBases(base, true, QuarterDigit("2021-06"));
    ASSERT_EQ(bases.size(), 3u);
    EXPECT_EQ(bases[0], "JPK\\JPK_VAT_2021-04_WQA-001");
    EXPECT_EQ(bases[1], "JPK\\JPK_VAT_2021-05_WQA-001");
    EXPECT_EQ(bases[2], base);
    EXPECT_EQ(MonthBases("JPK\\JPK_VAT_2021-12_WQA-001", true, '4')[0], "JPK\\JPK_VAT_2021-10_WQA-001");
    EXPECT_EQ(MonthBases("JPK\\JPK_VAT_2021-12_WQA-001", true, '4')[1], "JPK\\JPK_VAT_2021-11_WQA-001");
    // Monthly, or quarterly outside a quarter's last month: the base alone.
    EXPECT_EQ(MonthBases(base, false, '2'), std::vector<std::string>{base});
    EXPECT_EQ(MonthBases("JPK\\JPK_VAT_2021-05_WQA-001", true, '0').size(), 1u);
    EXPECT_EQ(RegisterFileName("JPK\\X", 'B'), "JPK\\X_B.xml");
}

TEST(JpkRequestLines, LookupKeyTakesTheLastMatchingLine) {
    RequestLines lines;
    lines.Load("Int\r\nbase\r\nK66 T\r\nK660N\r\nNIP 123\r\nNIP 456\r\nShort\r\nEma\r\n");
    EXPECT_EQ(lines.LookupKey("K66"), "N");  // K66 also matches the K660 line
    EXPECT_EQ(lines.LookupKey("K660"), "N");
    EXPECT_EQ(lines.LookupKey("NIP"), "456");
    EXPECT_EQ(lines.LookupKey("Ema"), "");
    EXPECT_EQ(lines.LookupKey("Tel"), "BRAK");
    EXPECT_EQ(lines.LookupKey("Int"), "");
}

TEST(JpkRequestLines, ValueIsTakenAsItStandsUpTo250Characters) {
    RequestLines lines;
    lines.Load("PNa  Kowalski , Jan \nInn " + std::string(300, 'x') + "\n");
    EXPECT_EQ(lines.LookupKey("PNa"), " Kowalski , Jan ");
    EXPECT_EQ(lines.LookupKey("Inn").size(), 250u);
}

TEST(JpkRequestLines, KeepsTheFirst199LinesAndRunsOut) {
    std::string text;
    for (int i = 1; i <= 205; ++i) text += "L" + std::to_string(i) + "\r\n";
    RequestLines lines;
    EXPECT_FALSE(lines.Load(text));
    EXPECT_EQ(lines.Line(199), "L199");
    EXPECT_EQ(lines.Line(200), "");
    lines.DropFront(3);
    EXPECT_EQ(lines.Line(1), "L4");
    EXPECT_EQ(lines.Line(196), "L199");
    EXPECT_EQ(lines.Line(197), "");  // the freed lines are empty, not copies of the last
    lines.DropFront(196);
    EXPECT_TRUE(lines.FirstThreeEmpty());
    RequestLines shortOne;
    EXPECT_TRUE(shortOne.Load("a\nb\rc\r\n"));
    EXPECT_EQ(shortOne.Line(2), "b");
    EXPECT_EQ(shortOne.Line(3), "c");
    EXPECT_EQ(shortOne.Line(4), "");
}

TEST(JpkAmounts, ParseWholeTextsOnly) {
    EXPECT_DOUBLE_EQ(ParseAmount("1234.50"), 1234.5);
    EXPECT_DOUBLE_EQ(ParseAmount("-12.5"), -12.5);
    EXPECT_DOUBLE_EQ(ParseAmount("+7"), 7);
    EXPECT_DOUBLE_EQ(ParseAmount("BRAK"), 0);
    EXPECT_DOUBLE_EQ(ParseAmount(""), 0);
    EXPECT_DOUBLE_EQ(ParseAmount("12,50"), 0);
    EXPECT_DOUBLE_EQ(ParseAmount("12.50 "), 0);
    EXPECT_DOUBLE_EQ(ParseAmount("inf"), 0);
    EXPECT_DOUBLE_EQ(ElementAmount("<K_19>1234.50</K_19>"), 1234.5);
    EXPECT_DOUBLE_EQ(ElementAmount("<K_19>abc</K_19>"), 0);
    EXPECT_DOUBLE_EQ(ElementAmount("<K_19>"), 0);
}

TEST(JpkAmounts, NameFieldsAreTrimmed) {
    EXPECT_EQ(NameField(" Kowalski , Jan ,1970-05-17", 1), "Kowalski");
    EXPECT_EQ(NameField(" Kowalski , Jan ,1970-05-17", 2), "Jan");
    EXPECT_EQ(NameField(" Kowalski , Jan ,1970-05-17", 3), "1970-05-17");
    EXPECT_EQ(NameField("Firma", 1), "Firma");
    EXPECT_EQ(NameField("Firma", 2), "");
}

TEST(JpkMissingLetters, EachLetterOnceAtMostSix) {
    std::string list;
    for (char c : std::string("ABACDEFGH")) AddMissingLetter(list, c);
    EXPECT_EQ(list, "ABCDEF");
}

TEST(JpkNextElement, PrefixedRowsWithTypG) {
    RegisterBuffer buffer;
    buffer.Assign("   <tns:SprzedazWiersz typ=\"G\">\r\n      <tns:K_19 typ=\"G\">100.00</tns:K_19>\r\n"
                  "    </tns:SprzedazWiersz>");
    EXPECT_EQ(buffer.NextElement(), "<SprzedazWiersz typ=\"G\">");
    EXPECT_EQ(buffer.NextElement(), "<K_19>100.00</K_19>");
    EXPECT_EQ(buffer.NextElement(), "</SprzedazWiersz>");
    EXPECT_TRUE(buffer.Empty());
    EXPECT_EQ(buffer.NextElement(), "");
}

TEST(JpkNextElement, ContainersCommentsAndBrokenInput) {
    struct Case {
        const char* name;
        const char* text;
        std::vector<std::string> elements;
    };
    const Case cases[] = {
        {"prolog and container", "<?xml version=\"1.0\"?>\n<JPK a=\"1\">\n<A>1</A></JPK>",
         {"<?xml version=\"1.0\"?>", "<JPK a=\"1\">", "<A>1</A>", "</JPK>", ""}},
        {"comment before a row", "<!-- x --><Row><B>2</B></Row>", {"<!-- x -->", "<Row>", "<B>2</B>", "</Row>"}},
        {"empty file", "", {""}},
        {"no closing bracket", "text <A", {""}},
        {"leaf without its end", "<A>1", {"<A>"}},
        {"text with a stray bracket", "<A>1 > 2</A><B>", {""}},
        {"leaf cut before its end tag closes", "<A>1</A", {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RegisterBuffer buffer;
        buffer.Assign(c.text);
        for (const auto& expected : c.elements) EXPECT_EQ(buffer.NextElement(), expected);
    }
}

TEST(JpkNextElement, StripTnsRemovesEveryPrefix) {
    std::string s = "<tns:A><tns:B>tns:</tns:B>";
    StripTns(s);
    EXPECT_EQ(s, "<A><B></B>");
}

}  // namespace
}  // namespace vel::jpk
