#include "jpk/jpk_request.h"

#include "common/program.h"

namespace vel::jpk {

// Not built yet: a request file stays in place.
bool RunRequestFile(Program&) { return false; }

int RunJpkCommand(Program&, const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "vel-job jpk: JPK files are not built yet\n";
    return 2;
}

}  // namespace vel::jpk
