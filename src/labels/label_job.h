#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vel {
class Program;
}

namespace vel::labels {

// Prints one label job file from the work folder on the label printer.
void PrintLabelJob(Program& program, const std::string& name, bool deleteAfter);

// `vel-job label JOBFILE [--printer NAME | --pdf OUT.pdf]`. Returns the exit code.
int RunLabelCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vel::labels
