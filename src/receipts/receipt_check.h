#pragma once
// The receipt scanner: a purpose-built reader for the small receipt XML files
// of the sibling programs (not a general XML parser), the checks of every row,
// the hand-off file "PAR.PAS" for the fiscal driver and the numbered error
// messages. Its lenient and strict corners are the contract with the programs
// that write the receipts, so they are kept as they are.

#include <array>
#include <string>
#include <string_view>

namespace vel::receipts {

inline constexpr const char* kHandOffFile = "PAR.PAS";
inline constexpr std::size_t kMaxReceiptErrors = 7;
inline constexpr const char* kMoreErrors = "...i kilka innych bledow...";

// Up to seven messages; an eighth error replaces the seventh by kMoreErrors.
struct ReceiptErrors {
    std::array<std::string, kMaxReceiptErrors> messages;
    std::size_t count = 0;

    void clear() { *this = ReceiptErrors{}; }
    bool empty() const { return count == 0; }
};

// Stores message + " w wierszu nr " + rows (the rows finished so far).
void AddReceiptError(ReceiptErrors& errors, std::string_view message, int rows);

// "12.50" -> "12.5", "100.00" -> "100.", "100" -> "1".
std::string StripTrailingZeros(std::string text);

// What a scan leaves behind.
struct ScanResult {
    std::string handOff;  // the bytes of "PAR.PAS"
    std::string nr;       // NR of the receipt header
    int rows = 0;         // rows finished
};

// Scans the bytes of a receipt file. Pure: touches no file, never reads
// outside the text whatever it holds.
ScanResult ScanReceipt(std::string_view fileBytes, ReceiptErrors& errors);

struct ValidateResult {
    std::string nr;
    int rows = 0;
};

// Reads the receipt file, writes "PAR.PAS" in the current directory and fills
// the error list. Raises IoError when the receipt cannot be read or the
// hand-off file cannot be written.
ValidateResult ValidateReceipt(const std::string& receiptFile, ReceiptErrors& errors);

// Building blocks, exposed for the tests.
namespace scan {

// Reads the receipt lines and joins them, each followed by one space, then
// puts a space in front of every '>' but a leading one.
std::string PrepareText(std::string_view fileBytes);

// Decimal number with '.', optional sign, fraction and exponent, leading
// spaces allowed; false for anything else, the empty text and values that
// do not fit a double.
bool ParseNumber(std::string_view text, double& value);

// 1-based position of needle in haystack, 0 when absent or needle is empty.
std::size_t Pos(std::string_view needle, std::string_view haystack);

}  // namespace scan

}  // namespace vel::receipts
