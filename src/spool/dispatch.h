#pragma once

#include <optional>
#include <string>

namespace vel {
class Program;
}

namespace vel::spool {

// One call per tick: watches the clipboard for a KSeF number, then starts at
// most one job from the work folder.
void DispatchJobs(Program& program);

// The job file of one pattern with the smallest name in byte order, announced
// on the status line; nothing when there is none.
std::optional<std::string> PickJob(Program& program, const std::string& pattern);

}  // namespace vel::spool
