#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vel {
class Program;
}

namespace vel::pcl {

// Prints one PCL job file from the current directory on the current printer.
void PrintPclJob(Program& program, const std::string& name, bool deleteAfter);

// How one job ended.
enum class JobOutcome {
    Printed,    // every page went to the printer
    Postponed,  // the file could not be opened yet; it stays for a later tick
    Refused,    // no plain text line after line 2 ("zły max")
    Stopped,    // the close countdown ran out while printing
};

// PrintPclJob with its outcome and the final job title (the suggested PDF
// file name). Raises IoError after cleaning up: document aborted, "Min.{-}"
// removed, print_busy cleared; the job file stays.
JobOutcome PrintJob(Program& program, const std::string& name, bool deleteAfter, std::string* title);

// `vel-job print JOBFILE [--printer NAME | --pdf OUT.pdf]`: one job, headless.
// Returns the exit code.
int RunPclCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vel::pcl
