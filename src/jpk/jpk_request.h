#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vel {
class Program;
}

namespace vel::jpk {

// Runs the request file "Wykon.to!" when there is one. True when the request
// ended at its Run command (the tick then dispatches no job).
bool RunRequestFile(Program& program);

// `vel-job jpk [REQUESTFILE]`. Returns the exit code.
int RunJpkCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vel::jpk
