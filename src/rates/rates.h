#pragma once
// Turning the central bank's yearly archive into the rate file "Kurs" + year
// on disk: the archive and the previous year's rate file are read, the new
// file is written beside it under a temporary name and renamed into place only
// when the whole conversion succeeded, so a damaged archive never damages the
// rate file the sibling programs read.

#include "rates/rate_archive.h"

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vel {
class Program;
}

namespace vel::rates {

// "archiwum_tab_a_" + year + ".csv": the name on the bank's server and of the local copy.
std::string ArchiveName(std::string_view year);

// The years the program works with, from the system date: the current one and
// the one before it.
std::string CurrentYear(Program& program);
std::string PreviousYear(Program& program);

enum class ConvertOutcome { Converted, ArchiveMissing, ArchiveDamaged, CannotWrite };

struct ConvertRequest {
    std::string archive;       // the archive; a relative name lies in `folder`
    std::string folder;        // where the rate files are; empty: the current directory
    std::string year;          // the year named in the status text; empty: the year of the data
};

struct ConvertResult {
    ConvertOutcome outcome = ConvertOutcome::ArchiveMissing;
    ArchiveError error;          // ArchiveDamaged: what and where
    std::string archiveName;     // as requested
    std::string rateFileName;    // "Kurs2024", once known
    std::string rateFilePath;    // the file written (folder joined)
    std::string year;            // the year for the status text
    std::string previousYear;    // of the carry-over file: the year before the archive's
    int blocks = 0;
    int dataRows = 0;
    std::size_t carryOverFound = 0;  // block-end lines in the previous year's file
    std::size_t carryOverKept = 0;   // of them carried over (at most 50)

    bool ok() const { return outcome == ConvertOutcome::Converted; }
};

ConvertResult ConvertArchiveFile(const ConvertRequest& request);

// The texts for the status line (code page 1250), the only place with them.
std::string ConvertStatusText(const ConvertResult& result);
// Empty unless carry-over lines had to be left out.
std::string CarryOverNoteText(const ConvertResult& result);

// The archive of `year` in the current directory into its rate file, with the
// previous year's rate file of the current directory as carry-over; the
// outcome goes to the status line. True when the rate file was written.
bool ConvertRateArchive(Program& program, std::string_view year);

// `vel-job rates ARCHIVE.csv [--dir DIR]`: the same conversion without the
// window, in DIR (default: the current directory; a relative ARCHIVE lies in
// DIR). Prints the rate file written; on failure the status text and exit 1.
int RunRatesCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vel::rates
