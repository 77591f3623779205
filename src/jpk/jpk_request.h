#pragma once
// The request file "Wykon.to!" of the sibling programs: `Int` builds the
// month's JPK file, `Ren` puts a new file in the place of an earlier one,
// `Run` starts the requesting program again.

#include "jpk/jpk_input.h"

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vel {
class Program;
}

namespace vel::jpk {

inline constexpr const char* kRequestFile = "Wykon.to!";
inline constexpr const char* kScratchFile = "Vel.SZ";
// How long a locked output (`Int`) or an undeletable target (`Ren`) is
// retried before the command is given up.
inline constexpr std::int64_t kBusyRetryLimitMs = 10000;
inline constexpr int kWaitMs = 99;

// Runs the request file "Wykon.to!" when there is one. True when the request
// ended at its Run command (the tick then dispatches no job).
bool RunRequestFile(Program& program);
// The same for a request file of any name in the current folder.
bool RunRequest(Program& program, const std::string& requestFile);

// The commands, each on the request lines from line 1 on. `Int` and `Ren`
// return false when they gave up (an output that stays locked, a target that
// cannot be deleted, a failed write): the request then ends there, so that
// the requesting program is not started to read results that are not there.
// `notice`, when given, receives the status text on rows of the built file
// that the user must see to before filing it (none: left as it is).
bool BuildJpkFile(Program& program, RequestLines& request, std::string& missingLetters,
                  std::string* notice = nullptr);
bool ReplaceJpkFile(Program& program, RequestLines& request);
void RunProgramCommand(Program& program, const RequestLines& request, const std::string& missingLetters);

// Whether `Run` may start the program named in a request: a bare file name
// (no folder in it) of a sibling program's executable (WQA, WQB, WQC, WQD,
// WQE, WQm, WQn, WQp, with or without ".exe", case ignored), or one of the
// names in `allowed` (separated by ';', the administrator's list from the
// environment variable VEL_RUN_ALLOW), but never a shell or interpreter.
bool MayRunProgram(const std::string& name, std::string_view allowed);
inline constexpr const char* kRunAllowVariable = "VEL_RUN_ALLOW";

// Why a request may not name a file for `Int` or `Ren` to write, replace or
// rename (empty when it may): a ".." in it, a link on the way or in its
// place, anything but a regular file in its place, or a full name outside
// `folders`. Names without a folder are the work folder's. With `folderStays`
// a folder in the name's place is let be: a rename onto it fails.
std::string RefusedRequestName(const std::string& name, const std::vector<std::filesystem::path>& folders,
                               bool folderStays = false);
// The administrator's further folders for full names in requests (';'-separated).
inline constexpr const char* kRequestDirsVariable = "VEL_REQUEST_DIRS";

// The new file name of `Ren` with the letters of the requesting program's
// code page turned into code page 1250 and spaces into '-'.
std::string ConvertLetters(std::string name);

// `vel-job request [DIR|REQUESTFILE] [--now YYYY-MM-DDTHH:MM:SS]`. Returns the exit code.
int RunJpkCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vel::jpk
