#include "charts/fake_chart_view.h"
#include "charts/rate_file_builder.h"
#include "rates/charts.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace vel::test {
namespace {

using rates::RateLabel;

const std::string kArchive = std::string(VEL_SHARED_DIR) + "/testdata/nbp/archiwum_tab_a_2024.csv";

struct Archive2024 {
    std::vector<ArchiveColumn> columns;
    std::vector<std::string> tables;
    std::string rateFile;
    Archive2024() {
        columns = ReadArchive(ReadAll(kArchive), &tables);
        rateFile = BuildRateFile(columns, tables);
    }
    const ArchiveColumn& column(const std::string& code) const {
        for (const auto& c : columns) {
            if (c.code == code) return c;
        }
        throw std::runtime_error("no column " + code);
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::size_t start = 0;
        while (start < rateFile.size()) {
            std::size_t end = rateFile.find("\r\n", start);
            out.push_back(rateFile.substr(start, end - start));
            start = end + 2;
        }
        return out;
    }
};

const Archive2024& Data() {
    static const Archive2024 data;
    return data;
}

// Rates as the file holds them: four decimals.
double Rounded(double rate) { return Decimal(RateLine("XXX", "20240102", rate, "").substr(24, 6)); }

// --- Chart arithmetic on the real 2024 archive -------------------------------

TEST(ChartArithmetic, MaxAktMinOfEveryCurrencyMatchTheArchive) {
    const auto lines = Data().lines();
    ASSERT_EQ(Data().columns.size(), 33u);
    for (const ArchiveColumn& column : Data().columns) {
        SCOPED_TRACE(column.code);
        double highest = 0, lowest = 1e9;
        for (const auto& r : column.rates) {
            highest = std::max(highest, Rounded(r.perUnit));
            lowest = std::min(lowest, Rounded(r.perUnit));
        }
        const rates::RateChart chart = rates::ComputeRateChart(lines, column.code);
        EXPECT_DOUBLE_EQ(chart.highest, highest);
        EXPECT_DOUBLE_EQ(chart.lowest, lowest);
        EXPECT_DOUBLE_EQ(chart.latest, Rounded(column.rates.back().perUnit));
        EXPECT_EQ(chart.bars.size(), column.rates.size());
    }
    // Two spot checks read off the archive by hand: the euro's last rate and
    // the yen's per-unit rate of 2 January (2,7855 for 100 JPY).
    EXPECT_DOUBLE_EQ(rates::ComputeRateChart(lines, "EUR").latest, 4.2730);
    EXPECT_EQ(lines[0].substr(0, 3), "THB");
    const rates::RateChart yen = rates::ComputeRateChart(lines, "JPY");
    EXPECT_GT(yen.highest, 0.0);
    EXPECT_LT(yen.highest, 0.03);
}

TEST(ChartArithmetic, OneColumnPerCalendarDayWithWeekendsLeftEmpty) {
    const rates::RateChart chart = rates::ComputeRateChart(Data().lines(), "USD");
    ASSERT_FALSE(chart.bars.empty());
    EXPECT_EQ(chart.bars.front().x, 2);  // 2 January
    EXPECT_EQ(chart.bars.back().x, 366);  // 31 December of a leap year, 364 days later
    EXPECT_EQ(chart.lastDay - chart.firstDay, 364);
    std::map<int, int> tops;
    for (const auto& bar : chart.bars) tops[bar.x] = bar.top;
    EXPECT_TRUE(tops.count(3));   // Wed 3 January
    EXPECT_TRUE(tops.count(5));   // Fri 5 January
    EXPECT_FALSE(tops.count(6));  // Sat 6 January
    EXPECT_FALSE(tops.count(7));  // Sun 7 January
    EXPECT_TRUE(tops.count(8));   // Mon 8 January
    // Every bar stands where its date falls, counted from 2 January.
    const ArchiveColumn& usd = Data().column("USD");
    for (std::size_t i = 0; i < usd.rates.size(); ++i) {
        EXPECT_EQ(chart.bars[i].x, DayNumber(usd.rates[i].date) - DayNumber("20240102") + 2) << usd.rates[i].date;
    }
    // The highest rate reaches the top row, the lowest row 36, all in between.
    int highestTop = 100, lowestTop = -1;
    for (const auto& bar : chart.bars) {
        highestTop = std::min(highestTop, bar.top);
        lowestTop = std::max(lowestTop, bar.top);
    }
    EXPECT_EQ(highestTop, 0);
    EXPECT_EQ(lowestTop, 36);
    for (std::size_t i = 0; i < usd.rates.size(); ++i) {
        const double r = Rounded(usd.rates[i].perUnit);
        const double expected = (chart.highest - r) * 36 / (chart.highest - chart.lowest);
        EXPECT_NEAR(chart.bars[i].top, expected, 0.5) << usd.rates[i].date;
    }
}

TEST(ChartArithmetic, SingleLineCurrencyHasMinAThousandthBelowMax) {
    const std::vector<std::string> lines = {RateLine("EUR", "20240102", 4.3434, "001/A/NBP/2024"),
                                            RateLine("XAU", "20240102", 4.1012, "001/A/NBP/2024") + "  zloto 1XAU"};
    const rates::RateChart chart = rates::ComputeRateChart(lines, "XAU");
    EXPECT_DOUBLE_EQ(chart.highest, 4.1012);
    EXPECT_DOUBLE_EQ(chart.latest, 4.1012);
    EXPECT_DOUBLE_EQ(chart.lowest, 0.999 * 4.1012);
    ASSERT_EQ(chart.bars.size(), 1u);
    EXPECT_EQ(chart.bars[0].x, 2);
    EXPECT_EQ(chart.bars[0].top, 0);
    EXPECT_EQ(rates::SpreadText(chart), "0.1%");
    EXPECT_EQ(rates::PlaceText(chart), ".100");
}

TEST(ChartArithmetic, CodeWithoutLinesKeepsTheStartingValues) {
    const rates::RateChart chart = rates::ComputeRateChart(Data().lines(), "XYZ");
    EXPECT_EQ(chart.highest, 0);
    EXPECT_EQ(chart.latest, 100);
    EXPECT_EQ(chart.lowest, 10);
    EXPECT_TRUE(chart.bars.empty());
}

TEST(ChartArithmetic, FieldsAreReadFromTheirColumnsAndBadFieldsGiveZero) {
    const std::string line = RateLine("EUR", "20260102", 4.1012, "001/A/NBP/2026");
    EXPECT_EQ(line.size(), 46u);
    EXPECT_EQ(rates::RateLineDay(line), 38718);
    EXPECT_DOUBLE_EQ(rates::RateLineRate(line), 4.1012);
    EXPECT_EQ(rates::RateLineDay("EUR  3x718  02-01-2026  4.1012"), 0);
    EXPECT_EQ(rates::RateLineRate("EUR  38718  02-01-2026  4,1012"), 0);
    EXPECT_EQ(rates::RateLineRate("EUR"), 0);
}

TEST(ChartArithmetic, RatesAboveTenStillFindTheirLowest) {
    const std::vector<std::string> lines = {RateLine("KWD", "20240102", 12.5, "001/A/NBP/2024").substr(0, 24) + "12.500",
                                            RateLine("KWD", "20240103", 13.0, "002/A/NBP/2024").substr(0, 24) + "13.000"};
    const rates::RateChart chart = rates::ComputeRateChart(lines, "KWD");
    EXPECT_DOUBLE_EQ(chart.lowest, 12.5);
    EXPECT_DOUBLE_EQ(chart.highest, 13.0);
    EXPECT_EQ(chart.bars[0].top, 36);
}

TEST(ChartTexts, NumbersSpreadAndPlace) {
    EXPECT_EQ(rates::GeneralNumber(0), "0");
    EXPECT_EQ(rates::GeneralNumber(100), "100");
    EXPECT_EQ(rates::GeneralNumber(4.3434), "4.3434");
    EXPECT_EQ(rates::GeneralNumber(0.999 * 4.1012), "4.0970988");
    EXPECT_EQ(rates::GeneralNumber(0.0263), "0.0263");

    rates::RateChart chart;
    chart.highest = 100;
    chart.lowest = 96.76;  // spread 3.24
    chart.latest = 99.19;  // three quarters up
    EXPECT_EQ(rates::SpreadText(chart), "3.0%");
    EXPECT_EQ(rates::PlaceText(chart), ".75");
    chart.lowest = 99.5;  // 0.5: half rounds to even
    EXPECT_EQ(rates::SpreadText(chart), "0.5%");
    chart.lowest = 87.7;  // 12.3 percent: exponent form
    EXPECT_EQ(rates::SpreadText(chart), "1E+01%");
    chart.lowest = 99.97;
    EXPECT_EQ(rates::SpreadText(chart), "0.0%");
}

TEST(ChartTexts, MazoviaLettersOfTheNamesBecomeCodePage1250) {
    EXPECT_EQ(rates::MazoviaNameToCp1250("HUF  forint (W\x91gry) \x92\xa4 \xa2"), "HUF  forint (W\xeagry) \xb3\xf1 \xa2");
    // A block-end line as the rate file holds it gives the list entry.
    const std::string line = RateLine("HUF", "20241231", 0.010421, "252/A/NBP/2024") + "  forint (W\x91gry) 100HUF";
    rates::ChartList list;
    rates::AddCurrencyToList(list, rates::MazoviaNameToCp1250(line));
    rates::AddCurrencyToList(list, "EUR  38718  02-01-2026  4.1012  001/A/NBP/2026  euro 1EUR");
    rates::AddCurrencyToList(list, "AUD  38718  02-01-2026  2.5504  001/A/NBP/2026  dolar australijski 1AUD");
    EXPECT_EQ(list.items, (std::vector<std::string>{"AUD dolar australijski", "EUR euro", "HUF forint (W\xeagry)"}));
}

}  // namespace
}  // namespace vel::test
