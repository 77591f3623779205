#pragma once
// Number and text formatting independent of the desktop locale.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vel {

namespace platform {
class Printer;
}

std::string FormatFixed2(double x);  // "1234.50", "-0.07"
std::string FormatFixed0(double x);  // "15", "-3"; halves away from zero
char FirstCharOrSpace(std::string_view s);
std::string TwoDigits(int n);  // 0..99 -> "00".."99"

// Round half to even, as the program rounds real values in computations.
long long RoundHalfEven(double x);

// First value of the resolution table 72, 96, 144, 200, 300, 600, 1200, 2400,
// 4800, 65535 that is at least n.
std::uint16_t RoundUpDpi(std::uint16_t n);
// Resolution class of the current printer from its page width over an A4 width.
std::uint16_t PrinterDpi(platform::Printer& printer);

// A whole decimal number, optionally signed, and nothing else around it;
// nothing for any other text or a value beyond 32 bits.
std::optional<int> ParseWholeNumber(std::string_view text);

std::string UpperAscii(std::string s);
std::string LowerAscii(std::string s);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace vel
