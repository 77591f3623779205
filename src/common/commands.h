#pragma once

#include <string>

namespace vel {

class Program;

// Starts a command line as a new process with a normal window; the outcome is
// not looked at.
void RunCommand(Program& program, const std::string& commandLine);

// Whether the program file at `path` may be started: only from a place the
// work folder's writers cannot change (platform::UntrustedProgramReason).
// A refusal puts "Odmowa startu  " and the path in the status line, and the
// reason beside them in "Vel.err". Nothing at the path is no refusal: the
// start then fails as the system reports it.
bool MayStart(Program& program, const std::string& path);
// The two halves of MayStart, for a caller that must look from another
// current folder than the one "Vel.err" lies in: why the program may not be
// started (empty when it may), and the refusal's report.
std::string StartRefusal(const std::string& path);
void ReportStartRefusal(Program& program, const std::string& shown, const std::string& reason);
// Any refusal of what the work folder's writers asked for: `message` in the
// status line, and beside it in "Vel.err" the reason.
void ReportRefusal(Program& program, const std::string& message, const std::string& reason);

}  // namespace vel
