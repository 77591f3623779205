#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vel {
class Program;
}

namespace vel::app {

// `vel-job KIND ARGS...`: runs one job without the timer, with the same code
// the timer runs. Returns the process exit code.
int RunJobCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vel::app
