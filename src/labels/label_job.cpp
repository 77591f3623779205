#include "labels/label_job.h"

#include "common/program.h"

namespace vel::labels {

// Not built yet: the job file stays in place.
void PrintLabelJob(Program&, const std::string&, bool) {}

int RunLabelCommand(Program&, const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "vel-job label: label jobs are not built yet\n";
    return 2;
}

}  // namespace vel::labels
