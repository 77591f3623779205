#include "common/format.h"

#include "platform/printer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace vel {

namespace {

// Fixed notation with '.' whatever locale the process runs under (the window
// system applies the desktop's, where the decimal separator is ','). Room for
// every digit of the largest double.
std::string Fixed(double x, int decimals) {
    char buf[400];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buf, end) : std::string();
}

}  // namespace

std::string FormatFixed2(double x) {
    std::string s = Fixed(x, 2);
    if (s == "-0.00") s = "0.00";
    return s;
}

std::string FormatFixed0(double x) {
    double r = std::round(x);
    if (r == 0) r = 0;  // no "-0"
    return Fixed(r, 0);
}

char FirstCharOrSpace(std::string_view s) { return s.empty() ? ' ' : s.front(); }

std::string TwoDigits(int n) {
    n = ((n % 100) + 100) % 100;
    return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

long long RoundHalfEven(double x) { return static_cast<long long>(std::nearbyint(x)); }

std::uint16_t RoundUpDpi(std::uint16_t n) {
    static constexpr std::array<std::uint16_t, 10> kTable = {72, 96, 144, 200, 300, 600, 1200, 2400, 4800, 65535};
    for (std::uint16_t v : kTable) {
        if (v >= n) return v;
    }
    return 65535;
}

std::uint16_t PrinterDpi(platform::Printer& printer) {
    const std::string name = printer.currentName();
    const int width = name.find("Foxit") != std::string::npos ? 4980 : printer.pageWidth();
    const long long dots = RoundHalfEven(width / 8.3);
    return RoundUpDpi(static_cast<std::uint16_t>(std::clamp<long long>(dots, 0, 65535)));
}

std::optional<int> ParseWholeNumber(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return std::nullopt;
    return static_cast<int>(value);
}

std::string UpperAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

std::string LowerAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    // ASCII letters only: the C library's tolower follows the process locale,
    // and under a single-byte one it would fold code page 1250 bytes as well.
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace vel
