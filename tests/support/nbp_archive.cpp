#include "support/nbp_archive.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace vel::test {

namespace {

using namespace std::chrono;

std::string DayText(const year_month_day& d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                  static_cast<unsigned>(d.day()));
    return text;
}

// Easter Sunday of the Gregorian calendar (the anonymous algorithm).
year_month_day Easter(int y) {
    const int a = y % 19, b = y / 100, c = y % 100, d = b / 4, e = b % 4, f = (b + 8) / 25, g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30, i = c / 4, k = c % 4, l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int month = (h + l - 7 * m + 114) / 31, day = (h + l - 7 * m + 114) % 31 + 1;
    return year{y} / month / day;
}

std::string Cell(long long tenThousandths) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld,%04lld", tenThousandths / 10000, tenThousandths % 10000);
    return text;
}

std::string CodeOf(const std::string& header) {
    std::size_t at = 1;
    while (at < header.size() && header[at] == '0') ++at;
    return header.substr(at);
}

}  // namespace

std::vector<std::string> BankHolidays(int y) {
    const sys_days easter{Easter(y)};
    std::vector<std::string> closed = {
        DayText(year{y} / 1 / 1),  DayText(year{y} / 1 / 6),   DayText(year_month_day{easter + days{1}}),
        DayText(year{y} / 5 / 1),  DayText(year{y} / 5 / 3),   DayText(year_month_day{easter + days{60}}),
        DayText(year{y} / 8 / 15), DayText(year{y} / 11 / 1),  DayText(year{y} / 11 / 11),
        DayText(year{y} / 12 / 25), DayText(year{y} / 12 / 26)};
    if (y >= 2025) closed.push_back(DayText(year{y} / 12 / 24));
    std::sort(closed.begin(), closed.end());
    return closed;
}

GeneratedArchive MakeArchive(const ArchiveYear& spec) {
    GeneratedArchive out;
    const std::vector<std::string> holidays = BankHolidays(spec.year);
    for (sys_days d{year{spec.year} / 1 / 1}; d <= sys_days{year{spec.year} / 12 / 31}; d += days{1}) {
        const weekday w{d};
        const std::string text = DayText(year_month_day{d});
        if (w == Saturday || w == Sunday || std::binary_search(holidays.begin(), holidays.end(), text)) continue;
        out.days.push_back(text);
        char full[32];
        std::snprintf(full, sizeof full, "%03zu/A/NBP/%04d", out.days.size(), spec.year);
        out.tables.push_back(full);
    }

    // Each rate moves from the day before by at most 0.6 percent, the same
    // walk on every run.
    unsigned long long seed = 20240229ULL + static_cast<unsigned long long>(spec.year);
    out.cells.resize(spec.currencies.size());
    for (std::size_t c = 0; c < spec.currencies.size(); ++c) {
        const ArchiveCurrency& currency = spec.currencies[c];
        long long value = currency.start;
        for (const std::string& day : out.days) {
            if (&day != &out.days.front()) {
                seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
                const long long step = static_cast<long long>((seed >> 33) % 121) - 60;
                value = std::max(1LL, value + value * step / 10000);
            }
            const bool quoted = (currency.from.empty() || day >= currency.from) &&
                                (currency.until.empty() || day <= currency.until);
            out.cells[c].push_back(quoted ? Cell(value) : std::string());
        }
    }

    const std::string crlf = "\r\n";
    std::string& csv = out.csv;
    csv = "data;";
    for (const auto& currency : spec.currencies) csv += currency.header + ";";
    csv += "nr tabeli;pe\xb3ny numer tabeli;" + crlf;
    csv += ";";
    for (const auto& currency : spec.currencies) csv += currency.name + ";";
    csv += crlf;
    for (std::size_t d = 0; d < out.days.size(); ++d) {
        csv += out.days[d] + ";";
        for (const auto& column : out.cells) csv += column[d] + ";";
        csv += std::to_string(d + 1) + ";" + out.tables[d] + ";" + crlf;
    }
    csv += crlf;
    csv += "kod ISO;";
    for (const auto& currency : spec.currencies) csv += CodeOf(currency.header) + ";";
    csv += crlf + "nazwa waluty;";
    for (const auto& currency : spec.currencies) csv += currency.name + ";";
    csv += crlf + "liczba jednostek;";
    for (const auto& currency : spec.currencies) csv += currency.header.substr(0, currency.header.size() - 3) + ";";
    csv += crlf;
    return out;
}

ArchiveYear SampleYear(int y) {
    const std::string year = std::to_string(y);
    ArchiveYear spec;
    spec.year = y;
    spec.currencies = {
        {"1AUD", "dolar australijski", 26897, "", ""},
        {"1USD", "dolar ameryka\xf1ski", 39432, "", ""},
        {"1EUR", "euro", 43434, "", ""},
        {"100HUF", "forint (W\xeagry)", 11365, "", ""},
        {"1CHF", "frank szwajcarski", 46596, "", ""},
        {"1GBP", "funt szterling", 50152, "", ""},
        {"100JPY", "jen (Japonia)", 27855, "", ""},
        {"1ZAR", "rand (Republika Po\xb3udniowej Afryki)", 2153, "", ""},
        {"1RUB", "rubel rosyjski", 437, "", year + "0229"},
        {"10000IDR", "rupia indonezyjska", 25489, "", ""},
        {"100KRW", "won po\xb3udniowokorea\xf1ski", 3032, year + "0701", ""},
    };
    return spec;
}

std::string ArchiveFileName(int year) { return "archiwum_tab_a_" + std::to_string(year) + ".csv"; }

}  // namespace vel::test
