// Fuzz target: the archive loader, the rate file builder and the carry-over
// reader on arbitrary bytes. The input is split at its first NUL byte: before
// it the archive, after it the previous year's rate file.
#include "rates/rate_archive.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace vel::rates;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string_view archive = input.substr(0, nul);
    const std::string_view previous = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);

    const CarryOver carry = ReadCarryOver(previous);
    Check(carry.lines.size() <= kCarryOverMax && carry.lines.size() <= carry.found);
    for (const auto& line : carry.lines) Check(line.size() == kRateLineChars);

    static ArchiveTable table;  // one grid for every run, as the program holds one per conversion
    const ArchiveError error = table.load(archive);
    Check(table.lineCount() <= kArchiveRows);
    Check(table.lastCellIndex() >= 0 && table.lastCellIndex() < kArchiveColumns);
    for (int row = 0; row < table.lineCount(); ++row) {
        for (int column = 0; column < kArchiveColumns; ++column) Check(table.cell(column, row).size() <= kCellChars);
    }
    if (error.problem != ArchiveProblem::None) return 0;

    const RateFileBuild build = BuildRateFile(table, carry.lines);
    if (build.error.problem == ArchiveProblem::None) {
        Check(build.file.blocks > 0 && build.file.dataRows > 0);
        Check(build.file.bytes.size() >= 2 && build.file.bytes.substr(build.file.bytes.size() - 2) == "\r\n");
        Check(build.file.year.size() == 4);
    } else {
        Check(build.file.bytes.empty() || build.error.problem == ArchiveProblem::NoCurrency);
    }
    // The field conversions on every cell of the first data row.
    for (int column = 0; column < kArchiveColumns; ++column) {
        const std::string_view cell = table.cell(column, 2);
        const std::string rate = RatePerUnitText(cell, column % 6);
        Check(rate.size() >= 6 && rate[rate.size() - 5] == '.');
        if (auto date = RateDateText(cell)) Check(date->size() >= 15);
        CurrencyNameToMazovia(cell);
    }
    return 0;
}
