// The archive grid, the field conversions and the rate file built in memory.
#include "rates/rate_archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vel::rates {
namespace {

std::string Lines(const std::vector<std::string>& lines, const char* end = "\r\n") {
    std::string s;
    for (const auto& l : lines) s += l + end;
    return s;
}

// A small archive in the bank's layout: three currencies, two data rows, the
// empty line and the three footer lines.
std::vector<std::string> SmallArchive() {
    return {
        "data;1USD;100JPY;10000IDR;nr tabeli;pe\xb3ny numer tabeli;",
        ";dolar ameryka\xf1ski;jen (Japonia);rupia  indonezyjska;",
        "20260102;4,1012;2,6543;2,6543;1;001/A/NBP/2026;",
        "20260105;4,0000;2,5000;2,5000;2;002/A/NBP/2026;",
        "",
        "kod ISO;USD;JPY;IDR;",
        "nazwa waluty;dolar ameryka\xf1ski;jen (Japonia);rupia indonezyjska;",
        "liczba jednostek;1;100;10000;",
    };
}

TEST(ArchiveTable, SplitsCellsWithOrWithoutFinalSemicolon) {
    ArchiveTable a, b;
    ASSERT_EQ(a.load("x;1,5;2,5;\r\n").problem, ArchiveProblem::None);
    ASSERT_EQ(b.load("x;1,5;2,5").problem, ArchiveProblem::None);
    for (const ArchiveTable* t : {&a, &b}) {
        EXPECT_EQ(t->lastCellIndex(), 2);
        EXPECT_EQ(t->cell(1, 0), "1,5");
        EXPECT_EQ(t->cell(2, 0), "2,5");
        EXPECT_EQ(t->cell(3, 0), "");
    }
}

TEST(ArchiveTable, ReadsCrLfAndLfAlikeAndCutsLongCells) {
    ArchiveTable crlf, lf;
    const std::string longCell(60, 'x');
    crlf.load(Lines({"a;b;", "c;" + longCell + ";"}, "\r\n"));
    lf.load(Lines({"a;b;", "c;" + longCell + ";"}, "\n"));
    for (const ArchiveTable* t : {&crlf, &lf}) {
        EXPECT_EQ(t->lineCount(), 2);
        EXPECT_EQ(t->cell(1, 0), "b");
        EXPECT_EQ(t->cell(1, 1), std::string(40, 'x'));
    }
}

TEST(ArchiveTable, EmptyLineIsOneEmptyCellAndFixesNWhenLast) {
    ArchiveTable t;
    t.load("a;b;c;\r\n\r\n");
    EXPECT_EQ(t.lineCount(), 2);
    EXPECT_EQ(t.lastCellIndex(), 0);
}

TEST(ArchiveTable, RefusesWhatDoesNotFitTheGrid) {
    ArchiveTable t;
    std::vector<std::string> lines(352, "20240102;1;");
    EXPECT_EQ(t.load(Lines(lines)).problem, ArchiveProblem::None);
    lines.push_back("x;");
    const ArchiveError tooLong = t.load(Lines(lines));
    EXPECT_EQ(tooLong.problem, ArchiveProblem::TooManyLines);
    EXPECT_EQ(tooLong.line, 353);

    std::string wide = "d";
    for (int i = 0; i < 50; ++i) wide += ";1";
    EXPECT_EQ(t.load("a;\r\n" + wide + ";\r\n").problem, ArchiveProblem::None);  // 51 cells
    const ArchiveError tooWide = t.load("a;\r\n" + wide + ";1;\r\n");           // 52 cells
    EXPECT_EQ(tooWide.problem, ArchiveProblem::TooManyCells);
    EXPECT_EQ(tooWide.line, 2);
}

TEST(ArchiveTable, LoadClearsTheEarlierContent) {
    ArchiveTable t;
    t.load("a;b;c;\r\nd;e;\r\n");
    t.load("x;\r\n");
    EXPECT_EQ(t.cell(1, 0), "");
    EXPECT_EQ(t.cell(0, 1), "");
    EXPECT_EQ(t.cell(0, 0), "x");
}

TEST(CurrencyHeader, CodeAndUnitCount) {
    struct Case {
        const char* header;
        bool currency;
        const char* code;
        int zeros;
    };
    const Case cases[] = {
        {"1USD", true, "USD", 0},         {"100JPY", true, "JPY", 2},  {"10000IDR", true, "IDR", 4},
        {"1000000XYZ", true, "XYZ", 6},  {"", false, "", 0},          {"data", false, "", 0},
        {"nr tabeli", false, "", 0},     {"2USD", false, "", 0},      {"9USD", false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        const auto h = ParseCurrencyHeader(c.header);
        ASSERT_EQ(h.has_value(), c.currency);
        if (h) {
            EXPECT_EQ(h->code, c.code);
            EXPECT_EQ(h->unitZeros, c.zeros);
        }
    }
}

TEST(RateDate, DayNumberSince1920AndDate) {
    EXPECT_EQ(RateDateText("20260102"), "38718  02-01-2026");
    EXPECT_EQ(RateDateText("19200101"), "0  01-01-1920");
    EXPECT_EQ(RateDateText("20240229"), "38045  29-02-2024");
    EXPECT_EQ(RateDateText("20241231"), "38351  31-12-2024");
}

TEST(RateDate, RefusesWhatIsNotADate) {
    for (const char* bad : {"", "2024010", "202401021", "20240230", "20231301", "20240100", "2024-1-2",
                            "kod ISO", "20250229"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(RateDateText(bad).has_value());
    }
}

TEST(RatePerUnit, ExactDecimalRoundedHalfUp) {
    struct Case {
        const char* cell;
        int zeros;
        const char* text;
    };
    const Case cases[] = {
        {"4,1012", 0, "4.1012"},   {"2,6543", 4, "0.0003"},   {"1,3550", 2, "0.0136"},
        {"3,1250", 2, "0.0313"},   {"2,5000", 4, "0.0003"},   {"2,4999", 4, "0.0002"},
        {"2,6543", 2, "0.0265"},   {"0,0708", 0, "0.0708"},   {"12,5", 0, "12.5000"},
        {"4", 0, "4.0000"},        {"", 0, "0.0000"},         {"abc", 2, "0.0000"},
        {"4,10xy", 0, "4.1000"},   {"9,99995", 0, "10.0000"}, {"0,00004", 0, "0.0000"},
        {"0,00005", 0, "0.0001"},  {"-1,23456", 0, "-1.2346"}, {"-0,00001", 0, "0.0000"},
        {"5", 10, "0.0000"},       {"4,1012", 1, "0.4101"},   {"4.1012", 0, "4.1012"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cell) + " / 10^" + std::to_string(c.zeros));
        EXPECT_EQ(RatePerUnitText(c.cell, c.zeros), c.text);
    }
}

TEST(CurrencyName, MazoviaLettersAndSingleSpaces) {
    // Every Polish letter of code page 1250 in table order, then their Mazovia bytes.
    const std::string cp1250 = "\xa5\xc6\xca\xa3\xd1\xd3\x8c\xaf\x8f\xb9\xe6\xea\xb3\xf1\xf3\x9c\xbf\x9f";
    const std::string mazovia = "\x8f\x95\x90\x9c\xa5\xa3\x98\xa1\xa0\x86\x8d\x91\x92\xa4\xa2\x9e\xa7\xa6";
    EXPECT_EQ(CurrencyNameToMazovia(cp1250), "  " + mazovia);
    EXPECT_EQ(CurrencyNameToMazovia("rand (Republika  Po\xb3udniowej   Afryki)"),
              "  rand (Republika Po\x92udniowej Afryki)");
    EXPECT_EQ(CurrencyNameToMazovia(""), "  ");
    EXPECT_EQ(CurrencyNameToMazovia("  euro"), "   euro");
}

TEST(RateFile, SmallArchiveByteForByte) {
    ArchiveTable t;
    ASSERT_EQ(t.load(Lines(SmallArchive())).problem, ArchiveProblem::None);
    const RateFileBuild b = BuildRateFile(t, {});
    ASSERT_EQ(b.error.problem, ArchiveProblem::None);
    EXPECT_EQ(b.file.year, "2026");
    EXPECT_EQ(b.file.blocks, 3);
    EXPECT_EQ(b.file.bytes,
              "USD  38718  02-01-2026  4.1012  001/A/NBP/2026\r\n"
              "USD  38721  05-01-2026  4.0000  002/A/NBP/2026  dolar ameryka\xa4ski 1USD\r\n"
              "JPY  38718  02-01-2026  0.0265  001/A/NBP/2026\r\n"
              "JPY  38721  05-01-2026  0.0250  002/A/NBP/2026  jen (Japonia) 100JPY\r\n"
              "IDR  38718  02-01-2026  0.0003  001/A/NBP/2026\r\n"
              "IDR  38721  05-01-2026  0.0003  002/A/NBP/2026  rupia indonezyjska 10000IDR\r\n");
}

TEST(RateFile, CarryOverLinesHeadTheirCurrencyBlocks) {
    ArchiveTable t;
    t.load(Lines(SmallArchive()));
    const std::vector<std::string> carry = {
        "USD  38716  31-12-2025  3.6000  252/A/NBP/2025",
        "JPY  38716  31-12-2025  0.0230  252/A/NBP/2025",
        "USD  38715  30-12-2025  3.5900  251/A/NBP/2025",
    };
    const RateFileBuild b = BuildRateFile(t, carry);
    EXPECT_EQ(b.file.bytes.substr(0, 2 * 48),
              "USD  38716  31-12-2025  3.6000  252/A/NBP/2025\r\n"
              "USD  38715  30-12-2025  3.5900  251/A/NBP/2025\r\n");
    const std::size_t jpy = b.file.bytes.find("JPY");
    EXPECT_EQ(b.file.bytes.substr(jpy, 48), "JPY  38716  31-12-2025  0.0230  252/A/NBP/2025\r\n");
    EXPECT_EQ(b.file.bytes.find("IDR  38716"), std::string::npos);
}

TEST(RateFile, ColumnsThatAreNoCurrencyAreSkippedAndRepeatsKept) {
    ArchiveTable t;
    t.load(Lines({
        "data;1USD;;EUR;5GBP;1USD;nr;numer;",
        ";a;b;c;d;e;",
        "20260102;1,0;2,0;3,0;4,0;5,0;1;001/A/NBP/2026;",
        "x;1;1;1;1;1;",
    }));
    const RateFileBuild b = BuildRateFile(t, {});
    ASSERT_EQ(b.error.problem, ArchiveProblem::None);
    EXPECT_EQ(b.file.blocks, 2);
    EXPECT_EQ(b.file.bytes,
              "USD  38718  02-01-2026  1.0000  001/A/NBP/2026  a 1USD\r\n"
              "USD  38718  02-01-2026  5.0000  001/A/NBP/2026  e 1USD\r\n");
}

TEST(RateFile, DaysWithoutAQuoteGetNoLineAndNeverQuotedColumnsNoBlock) {
    // The rouble dropped after the leap day, the won added on 1 March, gold
    // never quoted.
    ArchiveTable t;
    t.load(Lines({
        "data;1USD;1RUB;1KRW;1XAU;nr;numer;",
        ";dolar;rubel;won;zloto;",
        "20240228;4,0000;0,0437;;;1;001/A/NBP/2024;",
        "20240229;4,1000;0,0440;;;2;002/A/NBP/2024;",
        "20240301;4,2000;;0,0030;;3;003/A/NBP/2024;",
        "l;1;1;1;1;",
    }));
    const RateFileBuild b = BuildRateFile(t, {});
    ASSERT_EQ(b.error.problem, ArchiveProblem::None);
    EXPECT_EQ(b.file.blocks, 3);
    EXPECT_EQ(b.file.bytes,
              "USD  38044  28-02-2024  4.0000  001/A/NBP/2024\r\n"
              "USD  38045  29-02-2024  4.1000  002/A/NBP/2024\r\n"
              "USD  38046  01-03-2024  4.2000  003/A/NBP/2024  dolar 1USD\r\n"
              "RUB  38044  28-02-2024  0.0437  001/A/NBP/2024\r\n"
              "RUB  38045  29-02-2024  0.0440  002/A/NBP/2024  rubel 1RUB\r\n"
              "KRW  38046  01-03-2024  0.0030  003/A/NBP/2024  won 1KRW\r\n");
}

TEST(RateFile, LastDataRowFoundFromTheBottom) {
    // Footer lines after the data, and a date-like label in the header rows,
    // do not count; every row between the first and the last date does.
    ArchiveTable t;
    t.load(Lines({"20;1USD;x;numer;", "2099;dolar;", "20260102;1,0;1;A;", "20260105;2,0;2;B;", "kod;USD;",
                  "liczba;1;"}));
    const RateFileBuild b = BuildRateFile(t, {});
    ASSERT_EQ(b.error.problem, ArchiveProblem::None);
    EXPECT_EQ(b.file.dataRows, 2);
}

TEST(RateFile, ReportsWhatCannotBeConverted) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        ArchiveProblem problem;
        int line;
    };
    const Case cases[] = {
        {"no data row", {"data;1USD;", ";dolar;", "kod;USD;", "liczba;1;"}, ArchiveProblem::NoDataRow, 0},
        {"empty file", {}, ArchiveProblem::NoDataRow, 0},
        {"date is not a date", {"data;1USD;", ";dolar;", "20260102;1,0;", "2026013x;1,0;", "20260105;1,0;", "l;1;"},
         ArchiveProblem::BadDate, 4},
        {"empty line among the data", {"data;1USD;", ";dolar;", "20260102;1,0;", "", "20260105;1,0;", "l;1;"},
         ArchiveProblem::BadDate, 4},
        {"extra line break at the end",
         {"data;1USD;", ";dolar;", "20260102;1,0;", "l;1;", ""}, ArchiveProblem::NoCurrency, 0},
        {"no currency header", {"data;USD;", ";dolar;", "20260102;1,0;", "l;1;"}, ArchiveProblem::NoCurrency, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable t;
        ASSERT_EQ(t.load(Lines(c.lines)).problem, ArchiveProblem::None);
        const RateFileBuild b = BuildRateFile(t, {});
        EXPECT_EQ(b.error.problem, c.problem);
        EXPECT_EQ(b.error.line, c.line);
    }
}

TEST(CarryOverReader, KeepsLongLinesCutAndAtMostFifty) {
    std::string file;
    for (int i = 0; i < 57; ++i) {
        file += "USD  38716  31-12-2025  3.6000  252/A/NBP/2025  dolar " + std::to_string(i) + "\r\n";
        file += "USD  38715  30-12-2025  3.5900  251/A/NBP/2025\r\n";  // exactly 46: not carried
    }
    const CarryOver c = ReadCarryOver(file);
    EXPECT_EQ(c.found, 57u);
    ASSERT_EQ(c.lines.size(), 50u);
    EXPECT_EQ(c.lines[0], "USD  38716  31-12-2025  3.6000  252/A/NBP/2025");

    const CarryOver lf = ReadCarryOver("EUR  38716  31-12-2025  4.2000  252/A/NBP/2025  euro 1EUR\n");
    ASSERT_EQ(lf.lines.size(), 1u);
    EXPECT_EQ(lf.lines[0].size(), 46u);
    EXPECT_EQ(ReadCarryOver("").found, 0u);
}

}  // namespace
}  // namespace vel::rates
