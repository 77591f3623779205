#pragma once
// The central bank's yearly table-A archive (a ";"-separated CSV in code page
// 1250) and the fixed-column rate file "Kurs" + year made from it, which the
// sibling programs and the charts window read by character positions:
// code 1-3, day number 6-10, date 13-22, rate 25-30, table number 33-46.
// Everything here works on bytes in memory; rates.h does the files.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vel::rates {

inline constexpr int kArchiveColumns = 51;
inline constexpr int kArchiveRows = 352;
inline constexpr std::size_t kCellChars = 40;  // longer cells are cut
inline constexpr std::size_t kRateLineChars = 46;
inline constexpr std::size_t kCarryOverMax = 50;

// Where a load or a conversion stopped. The wording for the user is in
// rates.cpp (ConvertStatusText), the only place with it.
enum class ArchiveProblem {
    None,
    TooManyLines,   // line: the first line beyond the grid
    TooManyCells,   // line: the line with more cells than the grid has columns
    NoDataRow,      // no line whose first cell begins with "20" after the two header lines
    BadDate,        // line: a data row whose first cell is not a date YYYYMMDD
    NoCurrency,     // no column with a currency header: nothing to write
};

struct ArchiveError {
    ArchiveProblem problem = ArchiveProblem::None;
    int line = 0;  // 1-based line of the archive, 0 when none applies
};

// The whole archive as a grid of 51 columns by 352 rows of cells of at most
// 40 bytes, held in one block (no allocation per cell). Row r is line r+1.
class ArchiveTable {
public:
    ArchiveTable();
    ArchiveTable(const ArchiveTable&) = delete;
    ArchiveTable& operator=(const ArchiveTable&) = delete;

    void clear();
    // Clears the grid and loads the archive. Lines end in CR LF or LF; each is
    // split at ";" after a final ";" is added when missing, so "a;b" and
    // "a;b;" give the same two cells and an empty line one empty cell.
    ArchiveError load(std::string_view bytes);

    std::string_view cell(int column, int row) const;
    int lineCount() const { return lines_; }
    // Index of the last cell of the last line: the currency columns are 1..N
    // and the table number is in column N+2. 0 when nothing was loaded.
    int lastCellIndex() const { return lastCell_; }

private:
    std::unique_ptr<char[]> text_;             // kArchiveColumns * kArchiveRows * kCellChars
    std::unique_ptr<std::uint8_t[]> lengths_;  // one per cell
    int lines_ = 0;
    int lastCell_ = 0;
};

// The lines of the previous year's rate file that are longer than 46
// characters (in a file written here, the last line of each currency block),
// cut to 46 characters. Only the first 50 are kept; `found` counts them all.
struct CarryOver {
    std::vector<std::string> lines;
    std::size_t found = 0;
};
CarryOver ReadCarryOver(std::string_view rateFileBytes);

// A currency column's header such as "100JPY": the code JPY and the unit
// count 10^unitZeros (here 100, so 2). Headers that are empty or do not sort
// before "2" (labels such as "data" or "nr tabeli") are no currency.
struct CurrencyHeader {
    std::string code;
    int unitZeros = 0;
};
std::optional<CurrencyHeader> ParseCurrencyHeader(std::string_view header);

// "20260102" -> "38718  02-01-2026": the days since 1 January 1920, two
// spaces, the date. Nothing when the cell is not eight digits of a real date.
std::optional<std::string> RateDateText(std::string_view dateCell);

// The rate for one unit with four decimals: "4,1012" per 1 -> "4.1012",
// "2,6543" per 10^4 -> "0.0003". Computed exactly in decimal and rounded half
// up, as a person dividing the bank's figure would ("1,3550" per 100 ->
// "0.0136"). The cell is read up to the first character that cannot continue
// a number; a cell with no digits at all (an empty cell) counts as 0.
// (The rate file leaves such a day out: see BuildRateFile.)
std::string RatePerUnitText(std::string_view rateCell, int unitZeros);

// The currency name in the Mazovia code page for the sibling programs, runs
// of spaces cut to one, behind two spaces: "  dolar ameryka\xa4ski".
std::string CurrencyNameToMazovia(std::string_view name);

// The rate file made from a loaded archive and the carry-over lines. A day
// whose cell holds no digit (the currency was not quoted that day) gets no
// line in that currency's block; the block ends on its last quoted day.
struct RateFileText {
    std::string year;   // first four characters of the first data row's date
    std::string bytes;  // CR LF lines
    int blocks = 0;     // currency blocks written
    int dataRows = 0;   // data rows of the archive (a block has fewer when days are not quoted)
};
struct RateFileBuild {
    ArchiveError error;
    RateFileText file;
};
RateFileBuild BuildRateFile(const ArchiveTable& table, const std::vector<std::string>& carryOver);

}  // namespace vel::rates
