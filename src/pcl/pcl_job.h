#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vel {
class Program;
}

namespace vel::pcl {

// Prints one PCL job file from the current directory on the current printer.
void PrintPclJob(Program& program, const std::string& name, bool deleteAfter);

// `vel-job pcl JOBFILE ...`: one job, headless. Returns the exit code.
int RunPclCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vel::pcl
