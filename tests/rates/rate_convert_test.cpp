// Converting archives on disk into rate files: the bank's real 2024 archive
// line by line, the carry-over from the previous year's file, and damaged
// archives that must leave the existing rate file exactly as it was.
#include "rates/rates.h"

#include "app/job_command.h"
#include "common/codepage.h"
#include "support/locale.h"
#include "support/temp_dir.h"
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

using test::ReadAll;
using test::ScopedTempDir;
using test::TestProgram;
using test::WriteAll;

const std::filesystem::path kRealArchive =
    std::filesystem::path(VEL_SHARED_DIR) / "testdata" / "nbp" / "archiwum_tab_a_2024.csv";

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

class RateConvert : public ::testing::Test {
protected:
    void SetUp() override { tp.clock.set({2025, 3, 10, 12, 0, 0, 0, 1}); }

    ConvertResult convertReal() {
        WriteAll(dir.file("archiwum_tab_a_2024.csv"), ReadAll(kRealArchive));
        ConvertRequest r;
        r.archive = "archiwum_tab_a_2024.csv";
        r.previousYear = PreviousYear(tp.program);
        return ConvertArchiveFile(r);
    }

    ScopedTempDir dir;
    TestProgram tp;
};

TEST_F(RateConvert, RealArchiveLineByLine) {
    const ConvertResult result = convertReal();
    ASSERT_TRUE(result.ok()) << ConvertStatusText(result);
    EXPECT_EQ(result.rateFileName, "Kurs2024");

    const std::vector<std::string> csv = SplitLines(ReadAll(kRealArchive));
    const std::vector<std::string> header = SplitCells(csv[0]), names = SplitCells(csv[1]);
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : csv) {
        if (line.rfind("20", 0) == 0) rows.push_back(SplitCells(line));
    }
    ASSERT_EQ(rows.size(), 252u);
    const std::size_t currencies = SplitCells(csv.back()).size() - 1;
    ASSERT_EQ(currencies, 33u);

    const std::string bytes = ReadAll(dir.path() / "Kurs2024");
    ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    std::size_t crlf = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) ++crlf;
    const std::vector<std::string> lines = SplitLines(bytes);
    ASSERT_EQ(crlf, lines.size());  // every line ends in CR LF, no bare LF
    ASSERT_EQ(lines.size(), currencies * rows.size());
    EXPECT_EQ(result.blocks, 33);

    std::size_t at = 0;
    for (std::size_t column = 1; column <= currencies; ++column) {
        const std::string& head = header[column];
        std::size_t zeros = 0;
        while (head[1 + zeros] == '0') ++zeros;
        const std::string code = head.substr(1 + zeros);
        long long unit = 1;
        for (std::size_t i = 0; i < zeros; ++i) unit *= 10;
        for (std::size_t r = 0; r < rows.size(); ++r, ++at) {
            const std::string& line = lines[at];
            SCOPED_TRACE(line);
            EXPECT_EQ(line.substr(0, 3), code);
            EXPECT_EQ(line.substr(3, 2), "  ");
            EXPECT_EQ(line.substr(5, 17), ExpectedDayAndDate(rows[r][0]));
            EXPECT_EQ(line.substr(22, 2), "  ");
            EXPECT_EQ(line.substr(24, 6), ExpectedRate(rows[r][column], unit));
            EXPECT_EQ(line.substr(30, 2), "  ");
            EXPECT_EQ(line.substr(32, 14), rows[r][currencies + 2]);
            if (r + 1 < rows.size()) {
                EXPECT_EQ(line.size(), 46u);
            } else {
                std::string name = names[column];
                for (std::size_t d; (d = name.find("  ")) != std::string::npos;) name.erase(d, 1);
                EXPECT_EQ(line.substr(46), CurrencyNameToMazovia(name) + " " + head);
            }
        }
    }
}

TEST_F(RateConvert, RealArchiveUnitsAndSuffixes) {
    ASSERT_TRUE(convertReal().ok());
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
        r.previousYear = "1999";
        EXPECT_TRUE(ConvertArchiveFile(r).ok());
        return ReadAll(dir.path() / "Kurs2024");
    };
    const std::string crlf = ReadAll(kRealArchive);
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

// The next year's archive: the real one with its dates moved a year on.
std::string NextYearArchive() {
    std::string bytes = ReadAll(kRealArchive);
    std::string out;
    for (const std::string& line : SplitLines(bytes)) {
        std::string l = line;
        if (l.rfind("2024", 0) == 0 && l.substr(4, 4) != "0229") l.replace(0, 4, "2025");
        for (std::size_t at; (at = l.find("/NBP/2024")) != std::string::npos;) l.replace(at, 9, "/NBP/2025");
        if (l.rfind("20240229", 0) == 0) continue;  // no such day in 2025
        out += l + "\r\n";
    }
    return out;
}

TEST_F(RateConvert, NextYearStartsEachBlockWithLastYearsFinalRate) {
    ASSERT_TRUE(convertReal().ok());
    const std::vector<std::string> year2024 = SplitLines(ReadAll(dir.path() / "Kurs2024"));

    WriteAll(dir.file("archiwum_tab_a_2025.csv"), NextYearArchive());
    ConvertRequest r;
    r.archive = "archiwum_tab_a_2025.csv";
    r.previousYear = "2024";
    const ConvertResult result = ConvertArchiveFile(r);
    ASSERT_TRUE(result.ok()) << ConvertStatusText(result);
    EXPECT_EQ(result.carryOverKept, 33u);

    const std::vector<std::string> year2025 = SplitLines(ReadAll(dir.path() / "Kurs2025"));
    ASSERT_EQ(year2025.size(), 33u * 252u);  // 251 days and the carried line per currency
    std::size_t at = 0;
    std::size_t blocks = 0;
    for (const std::string& line : year2024) {
        if (line.size() <= 46) continue;
        ++blocks;
        SCOPED_TRACE(line);
        EXPECT_EQ(year2025[at], line.substr(0, 46));
        EXPECT_EQ(year2025[at + 1].substr(0, 22), line.substr(0, 3) + "  38353  02-01-2025");
        at += 252;
    }
    EXPECT_EQ(blocks, 33u);
}

TEST_F(RateConvert, ConvertingTheSameYearAgainCarriesItsOwnBlockEnds) {
    ASSERT_TRUE(convertReal().ok());  // the clock says 2025: the carry-over file is Kurs2024 itself
    const std::string once = ReadAll(dir.path() / "Kurs2024");
    const ConvertResult again = convertReal();
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.carryOverFound, 33u);
    const std::vector<std::string> lines = SplitLines(ReadAll(dir.path() / "Kurs2024"));
    ASSERT_EQ(lines.size(), 33u * 253u);
    EXPECT_EQ(lines[0], "THB  38351  31-12-2024  0.1199  252/A/NBP/2024");
    EXPECT_EQ(lines[1], SplitLines(once)[0]);
}

TEST_F(RateConvert, TimerPathReportsInTheStatusLine) {
    tp.clock.set({2025, 6, 1, 8, 0, 0, 0, 0});
    WriteAll(dir.file("archiwum_tab_a_2024.csv"), ReadAll(kRealArchive));
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
    WriteAll(dir.file("archiwum_tab_a_2025.csv"), NextYearArchive());
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
    WriteAll(dir.file("archiwum_tab_a_2024.csv"), ReadAll(kRealArchive));
    std::ostringstream out, err;
    EXPECT_EQ(RunRatesCommand(tp.program, {"archiwum_tab_a_2024.csv", "--dir", dir.path().string()}, out, err), 0)
        << err.str();
    EXPECT_EQ(out.str(), (dir.path() / "Kurs2024").string() + "\n");
    EXPECT_EQ(SplitLines(ReadAll(dir.path() / "Kurs2024")).size(), 33u * 252u);
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
    std::ostringstream out, err;
    EXPECT_EQ(app::RunJobCommand(tp.program, {"rates", kRealArchive.string()}, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "Kurs2024\n");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "Kurs2024"));
}

}  // namespace
}  // namespace vel::rates
