#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vel {
class Program;
}

namespace vel::rates {

// `vel-job rates ARCHIVE.csv [--year YEAR]`: the archive into "Kurs" + year.
int RunRatesCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vel::rates
