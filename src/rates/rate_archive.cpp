#include "rates/rate_archive.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vel::rates {

namespace {

constexpr std::size_t kCells = static_cast<std::size_t>(kArchiveColumns) * kArchiveRows;

std::size_t CellIndex(int column, int row) {
    // Column first: all rows of column 0, then column 1, ...
    return static_cast<std::size_t>(column) * kArchiveRows + static_cast<std::size_t>(row);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153LL * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[static_cast<std::size_t>(m - 1)];
}

std::string Pad(int value, std::size_t width) {
    std::string s = std::to_string(value);
    if (s.size() < width) s.insert(0, width - s.size(), '0');
    return s;
}

// Adds one to a string of decimal digits.
void Increment(std::string& digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

}  // namespace

ArchiveTable::ArchiveTable()
    : text_(new char[kCells * kCellChars]), lengths_(new std::uint8_t[kCells]) {
    clear();
}

void ArchiveTable::clear() {
    std::memset(lengths_.get(), 0, kCells);
    lines_ = 0;
    lastCell_ = 0;
}

std::string_view ArchiveTable::cell(int column, int row) const {
    if (column < 0 || column >= kArchiveColumns || row < 0 || row >= kArchiveRows) return {};
    const std::size_t at = CellIndex(column, row);
    return {text_.get() + at * kCellChars, lengths_[at]};
}

ArchiveError ArchiveTable::load(std::string_view bytes) {
    clear();
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        std::string_view line = bytes.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? bytes.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        if (lines_ == kArchiveRows) return {ArchiveProblem::TooManyLines, lines_ + 1};
        const int row = lines_++;
        // Every ";" ends a cell; a last cell without its ";" ends at the line end.
        int column = 0;
        std::size_t start = 0;
        while (true) {
            std::size_t semi = line.find(';', start);
            if (semi == std::string_view::npos && start == line.size() && column > 0) break;
            if (column == kArchiveColumns) return {ArchiveProblem::TooManyCells, row + 1};
            std::string_view cellText =
                line.substr(start, semi == std::string_view::npos ? std::string_view::npos : semi - start);
            cellText = cellText.substr(0, kCellChars);
            const std::size_t at = CellIndex(column, row);
            std::memcpy(text_.get() + at * kCellChars, cellText.data(), cellText.size());
            lengths_[at] = static_cast<std::uint8_t>(cellText.size());
            ++column;
            if (semi == std::string_view::npos) break;
            start = semi + 1;
        }
        lastCell_ = column - 1;
    }
    return {};
}

CarryOver ReadCarryOver(std::string_view bytes) {
    CarryOver carry;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        std::string_view line = bytes.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? bytes.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() <= kRateLineChars) continue;
        ++carry.found;
        if (carry.lines.size() < kCarryOverMax) carry.lines.emplace_back(line.substr(0, kRateLineChars));
    }
    return carry;
}

std::optional<CurrencyHeader> ParseCurrencyHeader(std::string_view header) {
    // Byte-wise: "1USD" and "100JPY" sort before "2", "data" and "nr tabeli" after.
    if (header.empty() || static_cast<unsigned char>(header[0]) >= static_cast<unsigned char>('2')) return std::nullopt;
    CurrencyHeader result;
    std::string_view rest = header.substr(1);
    while (!rest.empty() && rest.front() == '0') {
        rest.remove_prefix(1);
        ++result.unitZeros;
    }
    result.code = std::string(rest);
    return result;
}

std::optional<std::string> RateDateText(std::string_view cell) {
    if (cell.size() != 8 || !std::all_of(cell.begin(), cell.end(), IsDigit)) return std::nullopt;
    auto number = [&](std::size_t at, std::size_t n) {
        int v = 0;
        for (std::size_t i = at; i < at + n; ++i) v = v * 10 + (cell[i] - '0');
        return v;
    };
    const int year = number(0, 4), month = number(4, 2), day = number(6, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
    const long long dayNumber = DaysFromCivil(year, month, day) - DaysFromCivil(1920, 1, 1);
    return std::to_string(dayNumber) + "  " + Pad(day, 2) + "-" + Pad(month, 2) + "-" + Pad(year, 4);
}

std::string RatePerUnitText(std::string_view cell, int unitZeros) {
    // The longest prefix that reads as a number: spaces, a sign, digits, one
    // decimal separator (the bank writes a comma), digits.
    std::size_t i = 0;
    while (i < cell.size() && cell[i] == ' ') ++i;
    bool negative = false;
    if (i < cell.size() && (cell[i] == '-' || cell[i] == '+')) negative = cell[i++] == '-';
    std::string digits;  // every digit read, integer and fraction part together
    int fractionDigits = 0;
    bool separatorSeen = false;
    for (; i < cell.size(); ++i) {
        const char c = cell[i];
        if (IsDigit(c)) {
            digits += c;
            if (separatorSeen) ++fractionDigits;
        } else if ((c == ',' || c == '.') && !separatorSeen) {
            separatorSeen = true;
        } else {
            break;
        }
    }
    // value = digits / 10^scale; keep four decimals, rounding half up.
    const long long scale = static_cast<long long>(fractionDigits) + std::max(unitZeros, 0);
    std::string kept = digits;
    if (scale <= 4) {
        kept.append(static_cast<std::size_t>(4 - scale), '0');
    } else {
        const auto drop = static_cast<std::size_t>(scale - 4);
        bool roundUp = false;
        if (drop <= kept.size()) {
            roundUp = kept[kept.size() - drop] >= '5';
            kept.erase(kept.size() - drop);
        } else {
            kept.clear();
        }
        if (roundUp) Increment(kept);
    }
    const std::size_t firstNonZero = kept.find_first_not_of('0');
    kept = firstNonZero == std::string::npos ? std::string() : kept.substr(firstNonZero);
    const bool zero = kept.empty();
    if (kept.size() < 5) kept.insert(0, 5 - kept.size(), '0');
    kept.insert(kept.size() - 4, ".");
    return (negative && !zero ? "-" : "") + kept;
}

std::string CurrencyNameToMazovia(std::string_view name) {
    static constexpr std::array<std::pair<unsigned char, unsigned char>, 18> kMap = {{
        {0xA5, 0x8F}, {0xC6, 0x95}, {0xCA, 0x90}, {0xA3, 0x9C}, {0xD1, 0xA5}, {0xD3, 0xA3},
        {0x8C, 0x98}, {0xAF, 0xA1}, {0x8F, 0xA0}, {0xB9, 0x86}, {0xE6, 0x8D}, {0xEA, 0x91},
        {0xB3, 0x92}, {0xF1, 0xA4}, {0xF3, 0xA2}, {0x9C, 0x9E}, {0xBF, 0xA7}, {0x9F, 0xA6},
    }};
    std::string out = "  ";
    for (char c : name) {
        if (c == ' ' && out.size() > 2 && out.back() == ' ') continue;
        // Each byte is mapped once, so a Mazovia byte that is also a code
        // page 1250 letter (8F, A5) is not mapped a second time.
        const auto byte = static_cast<unsigned char>(c);
        for (const auto& [from, to] : kMap) {
            if (byte == from) {
                c = static_cast<char>(to);
                break;
            }
        }
        out += c;
    }
    return out;
}

RateFileBuild BuildRateFile(const ArchiveTable& table, const std::vector<std::string>& carryOver) {
    RateFileBuild build;
    int last = -1;
    for (int row = kArchiveRows - 1; row >= 0; --row) {
        if (table.cell(0, row).substr(0, 2) == "20") {
            last = row;
            break;
        }
    }
    if (last < 2) {
        build.error = {ArchiveProblem::NoDataRow, 0};
        return build;
    }
    // Every date first, so that a bad row is reported before anything is written.
    std::vector<std::string> dates;
    dates.reserve(static_cast<std::size_t>(last - 1));
    for (int row = 2; row <= last; ++row) {
        auto date = RateDateText(table.cell(0, row));
        if (!date) {
            build.error = {ArchiveProblem::BadDate, row + 1};
            return build;
        }
        dates.push_back(std::move(*date));
    }

    const int n = table.lastCellIndex();
    RateFileText& file = build.file;
    file.year = std::string(table.cell(0, 2).substr(0, 4));
    file.dataRows = last - 1;
    std::string& out = file.bytes;
    for (int column = 1; column <= n; ++column) {
        const std::string_view header = table.cell(column, 0);
        const auto currency = ParseCurrencyHeader(header);
        if (!currency) continue;
        // A currency the bank added or dropped during the year has empty
        // cells on the days it was not quoted: those days get no line (a
        // rate of 0 would be taken for a real one), and the block ends on
        // its last quoted day. A column never quoted gets no block.
        auto quoted = [&](int row) {
            const std::string_view cell = table.cell(column, row);
            return std::any_of(cell.begin(), cell.end(), IsDigit);
        };
        int lastQuoted = last;
        while (lastQuoted >= 2 && !quoted(lastQuoted)) --lastQuoted;
        if (lastQuoted < 2) continue;
        ++file.blocks;
        for (const std::string& line : carryOver) {
            if (line.compare(0, currency->code.size(), currency->code) == 0) {
                out += line;
                out += "\r\n";
            }
        }
        for (int row = 2; row <= lastQuoted; ++row) {
            if (!quoted(row)) continue;
            out += currency->code;
            out += "  ";
            out += dates[static_cast<std::size_t>(row - 2)];
            out += "  ";
            out += RatePerUnitText(table.cell(column, row), currency->unitZeros);
            out += "  ";
            out += table.cell(n + 2, row);
            if (row == lastQuoted) {
                out += CurrencyNameToMazovia(table.cell(column, 1));
                out += ' ';
                out += header;
            }
            out += "\r\n";
        }
    }
    if (file.blocks == 0) build.error = {ArchiveProblem::NoCurrency, 0};
    return build;
}

}  // namespace vel::rates
