// Converting archives on disk into rate files: a whole year line by line (a
// made-up one in the bank's layout, and the bank's real 2024 archive when the
// published test data are there), the carry-over from the previous year's
// file, and damaged archives that must leave the existing rate file exactly
// as it was.
#include "rates/rates.h"

#include "app/job_command.h"
#include "common/codepage.h"
#include "support/locale.h"
#include "support/nbp_archive.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace vel::rates {
namespace {

using test::ArchiveFileName;
using test::GeneratedArchive;
using test::MakeArchive;
using test::ReadAll;
using test::SampleYear;
using test::ScopedTempDir;
using test::TestProgram;
using test::WriteAll;

const char* const kRealArchive = "testdata/nbp/archiwum_tab_a_2024.csv";

const GeneratedArchive& Year(int year) {
    static const GeneratedArchive y2024 = MakeArchive(SampleYear(2024));
    static const GeneratedArchive y2025 = MakeArchive(SampleYear(2025));
    return year == 2024 ? y2024 : y2025;
}

std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> SplitCells(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, ';')) cells.push_back(cell);
    return cells;
}

// What a rate file line must say, worked out here from the CSV on its own:
// the bank writes every rate with four decimals, so the rate in units of
// 1/10000 is an integer; dividing by the unit count and rounding half up is
// integer arithmetic.
std::string ExpectedRate(const std::string& cell, long long unitCount) {
    const std::size_t comma = cell.find(',');
    const long long tenThousandths = std::stoll(cell.substr(0, comma)) * 10000 + std::stoll(cell.substr(comma + 1));
    const long long perUnit = (tenThousandths + unitCount / 2) / unitCount;
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%04lld", perUnit / 10000, perUnit % 10000);
    return text;
}

std::string ExpectedDayAndDate(const std::string& cell) {
    using namespace std::chrono;
    const year_month_day ymd{year{std::stoi(cell.substr(0, 4))}, month{unsigned(std::stoi(cell.substr(4, 2)))},
                             day{unsigned(std::stoi(cell.substr(6, 2)))}};
    const long long days = (sys_days{ymd} - sys_days{year{1920} / January / 1}).count();
    return std::to_string(days) + "  " + cell.substr(6, 2) + "-" + cell.substr(4, 2) + "-" + cell.substr(0, 4);
}

// Checks a rate file against the archive it was made from, worked out here
// from the CSV alone: per currency column, one line per day with a rate, the
// last one with the name and the header. Returns the number of lines.
std::size_t ExpectRateFileFollows(const std::string& csvBytes, const std::string& bytes) {
    const std::vector<std::string> csv = SplitLines(csvBytes);
    const std::vector<std::string> header = SplitCells(csv[0]), names = SplitCells(csv[1]);
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : csv) {
        if (line.rfind("20", 0) == 0) rows.push_back(SplitCells(line));
    }
    const std::size_t currencies = SplitCells(csv.back()).size() - 1;

    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    std::size_t crlf = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) ++crlf;
    const std::vector<std::string> lines = SplitLines(bytes);
    EXPECT_EQ(crlf, lines.size());  // every line ends in CR LF, no bare LF

    std::size_t at = 0;
    for (std::size_t column = 1; column <= currencies; ++column) {
        const std::string& head = header[column];
        std::size_t zeros = 0;
        while (head[1 + zeros] == '0') ++zeros;
        const std::string code = head.substr(1 + zeros);
        long long unit = 1;
        for (std::size_t i = 0; i < zeros; ++i) unit *= 10;
        std::vector<std::size_t> quoted;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (!rows[r][column].empty()) quoted.push_back(r);
        }
        for (std::size_t q = 0; q < quoted.size(); ++q, ++at) {
            if (at >= lines.size()) {
                ADD_FAILURE() << "the file ends in the block of " << code;
                return lines.size();
            }
            const std::vector<std::string>& row = rows[quoted[q]];
            const std::string& line = lines[at];
            SCOPED_TRACE(line);
            EXPECT_EQ(line.substr(0, 3), code);
            EXPECT_EQ(line.substr(3, 2), "  ");
            EXPECT_EQ(line.substr(5, 17), ExpectedDayAndDate(row[0]));
            EXPECT_EQ(line.substr(22, 2), "  ");
            EXPECT_EQ(line.substr(24, 6), ExpectedRate(row[column], unit));
            EXPECT_EQ(line.substr(30, 2), "  ");
            EXPECT_EQ(line.substr(32, 14), row[currencies + 2]);
            if (q + 1 < quoted.size()) {
                EXPECT_EQ(line.size(), 46u);
            } else {
                std::string name = names[column];
                for (std::size_t d; (d = name.find("  ")) != std::string::npos;) name.erase(d, 1);
                EXPECT_EQ(line.substr(46), CurrencyNameToMazovia(name) + " " + head);
            }
        }
    }
    EXPECT_EQ(at, lines.size());
    return lines.size();
}

class RateConvert : public ::testing::Test {
protected:
    void SetUp() override { tp.clock.set({2025, 3, 10, 12, 0, 0, 0, 1}); }

    ConvertResult convert(const std::string& csv, int year = 2024) {
        WriteAll(dir.file(ArchiveFileName(year)), csv);
        ConvertRequest r;
        r.archive = ArchiveFileName(year);
        return ConvertArchiveFile(r);
    }
    ConvertResult convert2024() { return convert(Year(2024).csv); }

    ScopedTempDir dir;
    TestProgram tp;
};

TEST_F(RateConvert, WholeYearLineByLine) {
    // 2024: a leap year, weekends and holidays without tables, the won added
    // on 1 July and the rouble last quoted on 29 February.
    const ConvertResult result = convert2024();
    ASSERT_TRUE(result.ok()) << ConvertStatusText(result);
    EXPECT_EQ(result.rateFileName, "Kurs2024");
    EXPECT_EQ(result.blocks, 11);
    const GeneratedArchive& year = Year(2024);
    ASSERT_EQ(year.days.size(), 252u);
    std::size_t quotes = 0;
    for (const auto& column : year.cells) quotes += std::count_if(column.begin(), column.end(), [](auto& c) { return !c.empty(); });
    ASSERT_LT(quotes, 11u * 252u);
    const std::string bytes = ReadAll(dir.path() / "Kurs2024");
    EXPECT_EQ(ExpectRateFileFollows(year.csv, bytes), quotes);
    // Days without a quote get no line: no rate of 0 anywhere.
    EXPECT_EQ(bytes.find("  0.0000  "), std::string::npos);
    const std::size_t leapDay = std::find(year.days.begin(), year.days.end(), "20240229") - year.days.begin();
    ASSERT_LT(leapDay, year.days.size());
    EXPECT_NE(bytes.find("RUB  " + ExpectedDayAndDate("20240229") + "  0." + year.cells[8][leapDay].substr(2) + "  " +
                         year.tables[leapDay] + "  rubel rosyjski 1RUB\r\nIDR  "),
              std::string::npos);
    EXPECT_EQ(bytes.find("RUB  " + ExpectedDayAndDate("20240301")), std::string::npos);
    EXPECT_EQ(bytes.find("KRW  " + ExpectedDayAndDate("20240628")), std::string::npos);
    EXPECT_NE(bytes.find("\r\nKRW  " + ExpectedDayAndDate("20240701")), std::string::npos);
}

TEST(PublishedArchive, Real2024ArchiveLineByLine) {
    VEL_REQUIRE_TESTDATA(archive, kRealArchive);
    ScopedTempDir dir;
    WriteAll(dir.file("archiwum_tab_a_2024.csv"), ReadAll(archive));
    ConvertRequest r;
    r.archive = "archiwum_tab_a_2024.csv";
    const ConvertResult result = ConvertArchiveFile(r);
    ASSERT_TRUE(result.ok()) << ConvertStatusText(result);
    EXPECT_EQ(result.blocks, 33);
    EXPECT_EQ(ExpectRateFileFollows(ReadAll(archive), ReadAll(dir.path() / "Kurs2024")), 33u * 252u);
}

// The made-up year against the bank's own file of the same year: the same
// tables on the same days under the same numbers, the same labels and lines.
TEST(PublishedArchive, MadeUpYearHasTheBanksLayout) {
    VEL_REQUIRE_TESTDATA(archive, kRealArchive);
    const std::string realBytes = ReadAll(archive);
    const std::vector<std::string> real = SplitLines(realBytes), made = SplitLines(Year(2024).csv);
    // Cells without the currency columns: the label or date first, the table numbers last.
    auto frame = [](const std::vector<std::string>& lines) {
        std::vector<std::string> out;
        for (const std::string& line : lines) {
            const std::vector<std::string> cells = SplitCells(line);
            std::string text = cells.empty() ? "" : cells[0];
            if (line.rfind("20", 0) == 0 || line.rfind("data;", 0) == 0) text += "|" + cells[cells.size() - 2] + "|" + cells.back();
            out.push_back(text + (line.empty() || line.back() == ';' ? ";" : ""));
        }
        return out;
    };
    EXPECT_EQ(frame(made), frame(real));
    for (const std::string* bytes : {&realBytes, &Year(2024).csv}) {  // CR LF, nothing else
        EXPECT_EQ(std::count(bytes->begin(), bytes->end(), '\n'), std::count(bytes->begin(), bytes->end(), '\r'));
    }
}

TEST(PublishedArchive, Real2024UnitsAndSuffixes) {
    VEL_REQUIRE_TESTDATA(archive, kRealArchive);
    ScopedTempDir dir;
    ConvertRequest r;
    r.archive = archive.string();
    r.folder = dir.path().string();
    ASSERT_TRUE(ConvertArchiveFile(r).ok());
    const std::vector<std::string> lines = SplitLines(ReadAll(dir.path() / "Kurs2024"));
    std::map<std::string, std::string> first, last;
    for (const std::string& line : lines) {
        const std::string code = line.substr(0, 3);
        if (!first.count(code)) first[code] = line;
        last[code] = line;
    }
    EXPECT_EQ(first.size(), 33u);
    // 2 January 2024: 100JPY 2,7855, 10000IDR 2,5489, 100HUF 1,1365, 1USD 3,9432.
    EXPECT_EQ(first["JPY"], "JPY  37987  02-01-2024  0.0279  001/A/NBP/2024");
    EXPECT_EQ(first["IDR"], "IDR  37987  02-01-2024  0.0003  001/A/NBP/2024");
    EXPECT_EQ(first["HUF"], "HUF  37987  02-01-2024  0.0114  001/A/NBP/2024");
    EXPECT_EQ(first["USD"], "USD  37987  02-01-2024  3.9432  001/A/NBP/2024");
    // "dolar amerykański" with ń in Mazovia, "rand (Republika Południowej Afryki)" with ł.
    EXPECT_EQ(last["USD"], "USD  38351  31-12-2024  4.1012  252/A/NBP/2024  dolar ameryka\xa4ski 1USD");
    EXPECT_EQ(last["JPY"], "JPY  38351  31-12-2024  0.0262  252/A/NBP/2024  jen (Japonia) 100JPY");
    EXPECT_EQ(last["IDR"], "IDR  38351  31-12-2024  0.0003  252/A/NBP/2024  rupia indonezyjska 10000IDR");
    EXPECT_EQ(last["ZAR"].substr(46), "  rand (Republika Po\x92udniowej Afryki) 1ZAR");
}

// Neither the archive's line ends nor the users' pl_PL locale (decimal
// comma) change a byte of the rate file: the rates are worked out digit by
// digit, never through the C library's number conversions.
TEST_F(RateConvert, LfLineEndsOrThePolishLocaleGiveTheSameFile) {
    auto convert = [&](const std::string& archive) {
        WriteAll(dir.file("archiwum_tab_a_2024.csv"), archive);
        ConvertRequest r;
        r.archive = "archiwum_tab_a_2024.csv";
        EXPECT_TRUE(ConvertArchiveFile(r).ok());
        return ReadAll(dir.path() / "Kurs2024");
    };
    const std::string crlf = Year(2024).csv;
    std::string lf = crlf;
    for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
    std::string plain;
    {
        test::ScopedLocale c(test::kPlainLocale);
        plain = convert(crlf);
        EXPECT_EQ(convert(lf), plain);
    }
    test::ScopedLocale polish(test::kPolishLocale);
    ASSERT_TRUE(polish.active()) << "scripts/install-deps.sh generates it";
    EXPECT_EQ(convert(crlf), plain);
}

std::size_t Quotes(const GeneratedArchive& year, std::size_t column) {
    const auto& cells = year.cells[column];
    return static_cast<std::size_t>(std::count_if(cells.begin(), cells.end(), [](auto& c) { return !c.empty(); }));
}

TEST_F(RateConvert, NextYearStartsEachBlockWithLastYearsFinalRate) {
    ASSERT_TRUE(convert2024().ok());
    const std::vector<std::string> year2024 = SplitLines(ReadAll(dir.path() / "Kurs2024"));

    const ConvertResult result = convert(Year(2025).csv, 2025);  // the clock says 2025: Kurs2024 is carried
    ASSERT_TRUE(result.ok()) << ConvertStatusText(result);
    EXPECT_EQ(result.carryOverKept, 11u);

    const std::vector<std::string> year2025 = SplitLines(ReadAll(dir.path() / "Kurs2025"));
    std::size_t at = 0;
    std::size_t column = 0;
    for (const std::string& line : year2024) {
        if (line.size() <= 46) continue;
        SCOPED_TRACE(line);
        ASSERT_LT(at + 1, year2025.size());
        // The carried line, then the block's first day of 2025 (the won's is 1 July).
        EXPECT_EQ(year2025[at], line.substr(0, 46));
        const std::string code = line.substr(0, 3);
        EXPECT_EQ(year2025[at + 1].substr(0, 22), code + "  " + ExpectedDayAndDate(code == "KRW" ? "20250701" : "20250102"));
        at += 1 + Quotes(Year(2025), column++);
    }
    EXPECT_EQ(column, 11u);
    EXPECT_EQ(at, year2025.size());
}

TEST_F(RateConvert, ConvertingTheSameYearAgainCarriesTheYearBefore) {
    // The previous-year run read its carry-over from the very file it
    // rewrites: run twice, every block began with its own 31-12 line ahead of
    // 02-01, and the year before's year-end rate was lost.
    const std::string yearEnd = "AUD  37983  29-12-2023  2.4898  250/A/NBP/2023";
    WriteAll(dir.file("Kurs2023"), yearEnd + "  dolar australijski 1AUD\r\n");
    ASSERT_TRUE(convert2024().ok());  // the clock says 2025: the previous year's run
    const std::string once = ReadAll(dir.path() / "Kurs2024");
    const ConvertResult again = convert2024();
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.previousYear, "2023");
    EXPECT_EQ(again.carryOverFound, 1u);
    EXPECT_EQ(ReadAll(dir.path() / "Kurs2024"), once);
    const std::vector<std::string> lines = SplitLines(once);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], yearEnd);
    EXPECT_EQ(lines[1].substr(0, 22), "AUD  " + ExpectedDayAndDate("20240102"));
}

TEST_F(RateConvert, TimerPathReportsInTheStatusLine) {
    tp.clock.set({2025, 6, 1, 8, 0, 0, 0, 0});
    WriteAll(dir.file("archiwum_tab_a_2024.csv"), Year(2024).csv);
    EXPECT_TRUE(ConvertRateArchive(tp.program, "2024"));
    ASSERT_FALSE(tp.status.history.empty());
    // The label cuts what does not fit; the text is whole before that.
    EXPECT_EQ(std::string("Tabela NBP wczytana  i zapisana  ( 2024 )").rfind(tp.status.history.back(), 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "Kurs2024"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Kurs2024.{-}"));
}

TEST_F(RateConvert, MoreThanFiftyCarryOverLinesKeepsFiftyAndSaysSo) {
    std::string previous;
    for (int i = 0; i < 57; ++i) previous += "USD  38351  31-12-2024  4.1012  252/A/NBP/2024  dolar " + std::to_string(i) + "\r\n";
    WriteAll(dir.file("Kurs2024"), previous);
    tp.clock.set({2025, 6, 1, 8, 0, 0, 0, 0});
    WriteAll(dir.file("archiwum_tab_a_2025.csv"), Year(2025).csv);
    ASSERT_TRUE(ConvertRateArchive(tp.program, "2025"));
    EXPECT_EQ(tp.status.history.back(), "Z Kurs2024 wzi\xeato tylko 50 z 57 linii");
    const std::vector<std::string> lines = SplitLines(ReadAll(dir.path() / "Kurs2025"));
    const std::size_t carried =
        std::count(lines.begin(), lines.end(), "USD  38351  31-12-2024  4.1012  252/A/NBP/2024");
    EXPECT_EQ(carried, 50u);
}

TEST_F(RateConvert, DamagedArchivesLeaveTheRateFileAsItWas) {
    const std::string good = "data;1USD;nr;numer;\r\n;dolar;\r\n20260102;4,1012;1;001/A/NBP/2026;\r\nl;1;\r\n";
    std::string tooLong = good;
    for (int i = 0; i < 360; ++i) tooLong += "20260105;4,0;2;002/A/NBP/2026;\r\n";
    std::string tooWide = "data;1USD;nr;numer;\r\n;dolar;\r\n20260102;4,1012";
    for (int i = 0; i < 55; ++i) tooWide += ";1";
    tooWide += "\r\nl;1;\r\n";
    struct Case {
        const char* name;
        std::optional<std::string> archive;  // none: the file is missing
        std::string status;
    };
    const Case cases[] = {
        {"missing archive", std::nullopt, "Nie ma pliku archiwum_tab_a_2026.csv"},
        {"date is not a date", "data;1USD;nr;numer;\r\n;d;\r\n20261301;4,1;1;x;\r\nl;1;\r\n",
         "Tabela NBP, wiersz 3: z\xb3" "a data"},
        {"more than 352 lines", tooLong, "Tabela NBP: za du\xbfo wierszy (353)"},
        {"more than 51 cells", tooWide, "Tabela NBP, wiersz 3: za du\xbfo kolumn"},
        {"no data row", "data;1USD;\r\n;dolar;\r\nl;1;\r\n", "Tabela NBP: brak wierszy z kursami"},
        {"extra line break at the end", good + "\r\n", "Tabela NBP: brak kolumn walut"},
        {"empty file", "", "Tabela NBP: brak wierszy z kursami"},
    };
    const std::string before = "USD  38716  31-12-2025  3.6000  252/A/NBP/2025\r\nkeep me\r\n";
    tp.clock.set({2026, 1, 5, 8, 0, 0, 0, 1});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(dir.file("Kurs2026"), before);
        std::filesystem::remove(dir.path() / "archiwum_tab_a_2026.csv");
        if (c.archive) WriteAll(dir.file("archiwum_tab_a_2026.csv"), *c.archive);
        EXPECT_FALSE(ConvertRateArchive(tp.program, "2026"));
        EXPECT_EQ(tp.status.history.back(), c.status.substr(0, 37));
        EXPECT_EQ(ReadAll(dir.path() / "Kurs2026"), before);
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "Kurs2026.{-}"));
    }
    // The same good archive does replace it.
    WriteAll(dir.file("archiwum_tab_a_2026.csv"), good);
    EXPECT_TRUE(ConvertRateArchive(tp.program, "2026"));
    EXPECT_EQ(ReadAll(dir.path() / "Kurs2026"),
              "USD  38718  02-01-2026  4.1012  001/A/NBP/2026  dolar 1USD\r\n");
}

TEST_F(RateConvert, UnwritableFolderKeepsTheOldFile) {
    WriteAll(dir.file("Kurs2026"), "old\r\n");
    WriteAll(dir.file("archiwum_tab_a_2026.csv"),
             "data;1USD;nr;numer;\r\n;dolar;\r\n20260102;4,1012;1;001/A/NBP/2026;\r\nl;1;\r\n");
    // A folder where the temporary file should go makes the write fail.
    std::filesystem::create_directory(dir.path() / "Kurs2026.{-}");
    tp.clock.set({2026, 1, 5, 8, 0, 0, 0, 1});
    EXPECT_FALSE(ConvertRateArchive(tp.program, "2026"));
    EXPECT_EQ(tp.status.history.back(), "Nie mog\xea zapisa\xe6 Kurs2026");
    EXPECT_EQ(ReadAll(dir.path() / "Kurs2026"), "old\r\n");
}

TEST_F(RateConvert, CommandConvertsInAFolderAndReportsFailures) {
    ScopedTempDir other;  // now the current directory; the work goes to `dir`
    WriteAll(dir.file("archiwum_tab_a_2024.csv"), Year(2024).csv);
    std::ostringstream out, err;
    EXPECT_EQ(RunRatesCommand(tp.program, {"archiwum_tab_a_2024.csv", "--dir", dir.path().string()}, out, err), 0)
        << err.str();
    EXPECT_EQ(out.str(), (dir.path() / "Kurs2024").string() + "\n");
    EXPECT_EQ(SplitLines(ReadAll(dir.path() / "Kurs2024")).front().substr(0, 22), "AUD  " + ExpectedDayAndDate("20240102"));
    EXPECT_FALSE(std::filesystem::exists(other.path() / "Kurs2024"));

    std::ostringstream out2, err2;
    EXPECT_EQ(RunRatesCommand(tp.program, {"archiwum_tab_a_2030.csv", "--dir", dir.path().string()}, out2, err2), 1);
    EXPECT_EQ(err2.str(), "Nie ma pliku archiwum_tab_a_2030.csv\n");
    EXPECT_TRUE(out2.str().empty());

    std::ostringstream out3, err3;
    EXPECT_EQ(RunRatesCommand(tp.program, {}, out3, err3), 2);
    EXPECT_EQ(RunRatesCommand(tp.program, {"a.csv", "b.csv"}, out3, err3), 2);
}

TEST_F(RateConvert, JobCommandWritesIntoTheCurrentDirectoryByDefault) {
    ScopedTempDir source;  // the archive lies elsewhere; the rate file goes to `dir`
    WriteAll(source.file("archiwum_tab_a_2024.csv"), Year(2024).csv);
    std::filesystem::current_path(dir.path());
    std::ostringstream out, err;
    EXPECT_EQ(app::RunJobCommand(tp.program, {"rates", source.file("archiwum_tab_a_2024.csv")}, out, err), 0)
        << err.str();
    EXPECT_EQ(out.str(), "Kurs2024\n");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "Kurs2024"));
}

}  // namespace
}  // namespace vel::rates
