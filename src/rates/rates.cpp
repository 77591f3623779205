#include "rates/rates.h"

#include "common/program.h"

namespace vel::rates {

int RunRatesCommand(Program&, const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "vel-job rates: the rate table is not built yet\n";
    return 2;
}

}  // namespace vel::rates
