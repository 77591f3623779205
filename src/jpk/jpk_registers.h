#pragma once
// The register section of a JPK file and the line writers for the whole file.

#include "jpk/jpk_input.h"

#include <array>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vel {
class Program;
}

namespace vel::jpk {

// Amounts by field number 5..660. Besides the K fields and the declaration
// positions: [5] purchase tax, [6] purchase net, [7] sales tax, [8] sales net
// of the current month; [9] sales and [70] purchase margin-scheme amounts;
// [68] and [69] net and tax of corrected rows.
using KTable = std::array<double, 661>;

// Everything one `Int` command works on.
struct JpkRun {
    JpkRun(Program& program, const RequestLines& request) : program(program), request(request) {}

    Program& program;
    const RequestLines& request;
    std::string missingLetters;  // register letters whose files could not be opened

    std::string base;    // path of the JPK file without extension
    std::string period;  // "yyyy-mm"
    Variant variant = Variant::D;
    char quarterDigit = '0';
    char rounding = 'N';  // N, T, J or another character
    bool quarterly = false;

    KTable k{};
    bool countFlag = false;       // amounts of the current row enter the K table
    bool correctionFlag = false;  // the current row corrects the taxable base
    int salesRows = 0;
    int purchaseRows = 0;
    std::string sizeText;  // " z " + size of the register file read last
    RegisterBuffer buffer;
    bool marginMarks = true;  // the register file may hold margin-scheme amounts

    // Current-month rows of the third generation that the file cannot be filed
    // with as they stand, each as register file and document number: rows
    // with no KSeF marker (or more than one), rows whose KSeF number fails its
    // checksum. The file is still written; the user is told.
    std::vector<std::string> unmarkedRows;
    std::vector<std::string> badKsefRows;

    std::string refundField;  // "K57" and the like, empty without a refund
    std::string innText;      // kind of liability a refund is set against

    bool Prefixed() const { return variant == Variant::B || variant == Variant::C; }
    // The third generation: rows carry KSeF markers, field numbers may have
    // three digits (K_360).
    bool Third() const { return variant == Variant::E; }
    std::string Key(std::string_view key) const { return request.LookupKey(key); }
    double KeyAmount(std::string_view key) const { return ParseAmount(request.LookupKey(key)); }
};

// One element per line, two spaces of indentation per level, CR LF line
// ends, no escaping: texts go out as the request and the registers hold them.
class LineWriter {
public:
    LineWriter(std::ostream& out, Variant variant) : out_(out), variant_(variant) {}

    bool Prefixed() const { return variant_ == Variant::B || variant_ == Variant::C; }

    // "<" + text + ">"; no line end after "/JPK", so the file ends without one.
    void WriteTag(int level, std::string_view text);
    void WriteLeaf(int level, std::string_view name, std::string_view text);
    void WriteLeafAttr(int level, std::string_view name, std::string_view text, std::string_view attributes);
    void WriteComment(int level, std::string_view text);
    // The text as one line; an empty text writes nothing.
    void WriteRaw(std::string_view text);
    // A copied register line: nothing in skip mode; the prefix added in B and
    // C; indented by 2 (A) or 4 (B to D) spaces.
    void WriteRegisterLine(std::string_view line, bool skip);

private:
    void Indent(int level);
    void AppendName(std::string_view name);
    void Flush();

    std::ostream& out_;
    Variant variant_;
    std::string line_;  // the line being built, written in one piece
};

// The output line of one copied leaf element; adds its amount to the K table.
std::string MapRegisterElement(JpkRun& run, std::string_view element, bool skip);
// The same into a caller's buffer, which keeps its capacity from row to row.
void MapRegisterElement(JpkRun& run, std::string_view element, bool skip, std::string& line);
// Field number of an element's amount, 0 when it carries none. Without
// `margins` the element is known to hold no "zVAT_" or "pVAT_". With
// `allDigits` (the third generation) the number is every digit after "K_", so
// that K_360 is field 360; otherwise the two digits after it.
int ElementField(std::string_view element, bool margins = true, bool allDigits = false);

// Merge the register files of the month (and of the earlier months of a
// quarter, in skip mode) into `out`, renumbered, with the request's own rows
// and the control totals.
void WriteSalesRegister(JpkRun& run, LineWriter& out);
void WritePurchaseRegister(JpkRun& run, LineWriter& out);

// Reads a register file into the run's buffer; a file that cannot be opened
// enters the missing-letters list.
bool ReadWholeFile(JpkRun& run, const std::string& file, char letter);

// Tells the user of the rows in `unmarkedRows` and `badKsefRows`: their counts
// on the status line, each row in "Vel.err". Returns the status text, empty
// (and nothing told) when there are none.
std::string ReportKsefRows(JpkRun& run);
// "1 wiersz", "3 wiersze", "5 wierszy".
std::string RowCountText(std::size_t n);

}  // namespace vel::jpk
