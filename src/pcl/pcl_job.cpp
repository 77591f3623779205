#include "pcl/pcl_job.h"

#include "common/program.h"

namespace vel::pcl {

// Not built yet: the job file stays in place.
void PrintPclJob(Program&, const std::string&, bool) {}

int RunPclCommand(Program&, const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "vel-job pcl: printing PCL jobs is not built yet\n";
    return 2;
}

}  // namespace vel::pcl
