#pragma once

#include <string>

namespace vel {
class Program;
}

namespace vel::spool {

// One call per tick: watches the clipboard for a KSeF number, then starts at
// most one job from the work folder: the first complete job file in the order
// print jobs, label jobs, receipts, each kind by name in byte order.
void DispatchJobs(Program& program);

}  // namespace vel::spool
