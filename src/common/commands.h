#pragma once

#include <string>

namespace vel {

class Program;

// Starts a command line as a new process with a normal window; the outcome is
// not looked at.
void RunCommand(Program& program, const std::string& commandLine);

}  // namespace vel
