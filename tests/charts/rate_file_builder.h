#pragma once
// Builds a rate file of the sibling programs' fixed-column layout from a
// table-A archive, independently of the program's own converter, so the
// charts can be tested on a real year of rates.

#include <charconv>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace vel::test {

struct ArchiveColumn {
    std::string header;  // "100JPY"
    std::string code;    // "JPY"
    int units = 1;
    std::string name;  // code page 1250
    struct Rate {
        std::string date;  // YYYYMMDD
        double perUnit;
    };
    std::vector<Rate> rates;
};

inline std::vector<std::string> SplitCells(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.back() != ';') line += ';';
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t at = line.find(';'); at != std::string::npos; at = line.find(';', start)) {
        cells.push_back(line.substr(start, at - start));
        start = at + 1;
    }
    return cells;
}

// Days since 1 January 1920 counted from 1 as the sibling programs do
// (2 January 2026 is 38718).
inline int DayNumber(const std::string& yyyymmdd) {
    using namespace std::chrono;
    const year_month_day date{year{std::stoi(yyyymmdd.substr(0, 4))},
                              month{static_cast<unsigned>(std::stoi(yyyymmdd.substr(4, 2)))},
                              day{static_cast<unsigned>(std::stoi(yyyymmdd.substr(6, 2)))}};
    const year_month_day epoch{year{1899}, December, day{30}};
    return (sys_days{date} - sys_days{epoch}).count() - 7306;
}

inline std::string ToMazovia(std::string name) {
    static const std::map<unsigned char, unsigned char> kMap = {
        {0xA5, 0x8F}, {0xC6, 0x95}, {0xCA, 0x90}, {0xA3, 0x9C}, {0xD1, 0xA5}, {0xD3, 0xA3},
        {0x8C, 0x98}, {0xAF, 0xA1}, {0x8F, 0xA0}, {0xB9, 0x86}, {0xE6, 0x8D}, {0xEA, 0x91},
        {0xB3, 0x92}, {0xF1, 0xA4}, {0xF3, 0xA2}, {0x9C, 0x9E}, {0xBF, 0xA7}, {0x9F, 0xA6}};
    for (char& c : name) {
        auto it = kMap.find(static_cast<unsigned char>(c));
        if (it != kMap.end()) c = static_cast<char>(it->second);
    }
    return name;
}

// The currency columns of an archive: data rows are the lines whose first
// cell is a date.
// A decimal number with '.', read the same under any locale.
inline double Decimal(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

inline std::vector<ArchiveColumn> ReadArchive(const std::string& csv, std::vector<std::string>* tables) {
    std::vector<std::vector<std::string>> rows;
    std::size_t start = 0;
    while (start < csv.size()) {
        std::size_t end = csv.find('\n', start);
        if (end == std::string::npos) end = csv.size();
        rows.push_back(SplitCells(csv.substr(start, end - start)));
        start = end + 1;
    }
    std::vector<ArchiveColumn> columns;
    const auto& header = rows.at(0);
    for (std::size_t k = 1; k < header.size(); ++k) {
        if (header[k].empty() || header[k][0] != '1') continue;
        ArchiveColumn column;
        column.header = header[k];
        std::string rest = header[k].substr(1);
        while (!rest.empty() && rest[0] == '0') {
            rest.erase(0, 1);
            column.units *= 10;
        }
        column.code = rest;
        column.name = rows.at(1).at(k);
        for (const auto& row : rows) {
            if (row.empty() || row[0].size() != 8 || row[0].compare(0, 2, "20") != 0) continue;
            std::string cell = row.at(k);
            if (auto comma = cell.find(','); comma != std::string::npos) cell[comma] = '.';
            column.rates.push_back({row[0], Decimal(cell) / column.units});
        }
        columns.push_back(column);
    }
    if (tables) {
        const std::size_t identifier = header.size() - 1;  // the full table number
        for (const auto& row : rows) {
            if (row.size() > identifier && row[0].size() == 8 && row[0].compare(0, 2, "20") == 0) {
                tables->push_back(row[identifier]);
            }
        }
    }
    return columns;
}

inline std::string RateLine(const std::string& code, const std::string& yyyymmdd, double rate,
                            const std::string& table) {
    char number[64];  // "%.4f" with '.' under any locale
    const auto [end, ec] = std::to_chars(number, number + sizeof number, rate, std::chars_format::fixed, 4);
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s  %05d  %s-%s-%s  %s  %s", code.c_str(), DayNumber(yyyymmdd),
                  yyyymmdd.substr(6, 2).c_str(), yyyymmdd.substr(4, 2).c_str(), yyyymmdd.substr(0, 4).c_str(),
                  std::string(number, ec == std::errc() ? end : number).c_str(), table.c_str());
    return buf;
}

// The whole rate file: per column every data row, the last one with the
// currency's name (Mazovia, single spaces) and the column header.
inline std::string BuildRateFile(const std::vector<ArchiveColumn>& columns, const std::vector<std::string>& tables) {
    std::string out;
    for (const ArchiveColumn& column : columns) {
        for (std::size_t i = 0; i < column.rates.size(); ++i) {
            out += RateLine(column.code, column.rates[i].date, column.rates[i].perUnit, tables.at(i));
            if (i + 1 == column.rates.size()) {
                std::string name = column.name;
                for (std::size_t at = name.find("  "); at != std::string::npos; at = name.find("  ")) name.erase(at, 1);
                out += "  " + ToMazovia(name) + " " + column.header;
            }
            out += "\r\n";
        }
    }
    return out;
}

}  // namespace vel::test
