#include "rates/rates.h"

#include "common/codepage.h"
#include "common/io.h"
#include "common/program.h"
#include "common/status.h"
#include "platform/clock.h"
#include "platform/file_system.h"

#include <charconv>
#include <filesystem>
#include <system_error>

namespace vel::rates {

namespace {

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder.empty() || IsFullName(name)) return name;
    const char last = folder.back();
    return last == '/' || last == '\\' ? folder + name : folder + platform::kPathSeparator + name;
}

// Replaces `target` by `temp` in one step; on failure the target is untouched
// and the temporary file is removed.
bool RenameOver(const std::string& temp, const std::string& target) {
    std::error_code ec;
    std::filesystem::rename(NativePath(temp), NativePath(target), ec);
    if (ec) DeleteFileQuietly(temp);
    return !ec;
}

// "2025" -> "2024"; empty unless the text is a year of four digits.
std::string YearBefore(std::string_view year) {
    if (year.size() != 4 || year.find_first_not_of("0123456789") != std::string_view::npos) return {};
    int value = 0;
    std::from_chars(year.data(), year.data() + year.size(), value);
    return std::to_string(value - 1);
}

}  // namespace

std::string ArchiveName(std::string_view year) { return "archiwum_tab_a_" + std::string(year) + ".csv"; }

std::string CurrentYear(Program& program) { return std::to_string(program.sys.clock.now().year); }
std::string PreviousYear(Program& program) { return std::to_string(program.sys.clock.now().year - 1); }

ConvertResult ConvertArchiveFile(const ConvertRequest& request) {
    ConvertResult result;
    result.archiveName = request.archive;
    result.year = request.year;

    auto archive = TryReadFile(InFolder(request.folder, request.archive));
    if (!archive) {
        result.outcome = ConvertOutcome::ArchiveMissing;
        return result;
    }
    ArchiveTable table;
    result.error = table.load(*archive);
    if (result.error.problem != ArchiveProblem::None) {
        result.outcome = ConvertOutcome::ArchiveDamaged;
        return result;
    }
    // The carry-over comes from the rate file of the year before the
    // archive's own, never from the file this run rewrites: converting a year
    // again would put that year's own year end at the head of every block.
    result.previousYear = YearBefore(table.cell(0, 2).substr(0, 4));
    CarryOver carry;
    if (!result.previousYear.empty()) {
        if (auto previous = TryReadFile(InFolder(request.folder, "Kurs" + result.previousYear))) {
            carry = ReadCarryOver(*previous);
        }
    }
    result.carryOverFound = carry.found;
    result.carryOverKept = carry.lines.size();

    RateFileBuild build = BuildRateFile(table, carry.lines);
    result.error = build.error;
    if (build.error.problem != ArchiveProblem::None) {
        result.outcome = ConvertOutcome::ArchiveDamaged;
        return result;
    }
    result.blocks = build.file.blocks;
    result.dataRows = build.file.dataRows;
    if (result.year.empty()) result.year = build.file.year;
    result.rateFileName = "Kurs" + build.file.year;
    result.rateFilePath = InFolder(request.folder, result.rateFileName);

    const std::string temp = result.rateFilePath + ".{-}";
    if (!TryWriteFile(temp, build.file.bytes)) {
        DeleteFileQuietly(temp);
        result.outcome = ConvertOutcome::CannotWrite;
        return result;
    }
    result.outcome = RenameOver(temp, result.rateFilePath) ? ConvertOutcome::Converted : ConvertOutcome::CannotWrite;
    return result;
}

std::string ConvertStatusText(const ConvertResult& result) {
    switch (result.outcome) {
        case ConvertOutcome::Converted:
            return "Tabela NBP wczytana  i zapisana  ( " + result.year + " )";
        case ConvertOutcome::ArchiveMissing:
            return "Nie ma pliku " + result.archiveName;
        case ConvertOutcome::CannotWrite:
            return "Nie mog\xea zapisa\xe6 " + result.rateFileName;  // "Nie mogę zapisać "
        case ConvertOutcome::ArchiveDamaged:
            break;
    }
    const std::string line = std::to_string(result.error.line);
    switch (result.error.problem) {
        case ArchiveProblem::TooManyLines:
            return "Tabela NBP: za du\xbfo wierszy (" + line + ")";  // "za dużo wierszy"
        case ArchiveProblem::TooManyCells:
            return "Tabela NBP, wiersz " + line + ": za du\xbfo kolumn";
        case ArchiveProblem::NoDataRow:
            return "Tabela NBP: brak wierszy z kursami";
        case ArchiveProblem::BadDate:
            return "Tabela NBP, wiersz " + line + ": z\xb3" "a data";  // "zła data"
        case ArchiveProblem::NoCurrency:
            return "Tabela NBP: brak kolumn walut";
        case ArchiveProblem::None:
            break;
    }
    return "Tabela NBP: b\xb3\xb9" "d";  // "błąd"
}

std::string CarryOverNoteText(const ConvertResult& result) {
    if (result.carryOverFound <= result.carryOverKept) return {};
    // "Z Kurs2025 wzięto tylko 50 z 57 linii"
    return "Z Kurs" + result.previousYear + " wzi\xeato tylko " + std::to_string(result.carryOverKept) + " z " +
           std::to_string(result.carryOverFound) + " linii";
}

bool ConvertRateArchive(Program& program, std::string_view year) {
    ConvertRequest request;
    request.archive = ArchiveName(year);
    request.year = std::string(year);
    const ConvertResult result = ConvertArchiveFile(request);
    ShowStatus(program, ConvertStatusText(result));
    if (result.ok()) {
        const std::string note = CarryOverNoteText(result);
        if (!note.empty()) ShowStatus(program, note);
    }
    return result.ok();
}

int RunRatesCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ConvertRequest request;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--dir" && i + 1 < args.size()) {
            request.folder = args[++i];
        } else if (request.archive.empty() && !args[i].empty() && args[i].rfind("--", 0) != 0) {
            request.archive = args[i];
        } else {
            request.archive.clear();
            break;
        }
    }
    if (request.archive.empty()) {
        err << "usage: vel-job rates ARCHIVE.csv [--dir DIR]\n";
        return 2;
    }
    const ConvertResult result = ConvertArchiveFile(request);
    if (!result.ok()) {
        err << Cp1250ToUtf8(ConvertStatusText(result)) << "\n";
        return 1;
    }
    const std::string note = CarryOverNoteText(result);
    if (!note.empty()) err << Cp1250ToUtf8(note) << "\n";
    out << result.rateFilePath << "\n";
    return 0;
}

}  // namespace vel::rates
