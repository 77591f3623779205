#include "receipts/receipt_job.h"

#include "common/program.h"

namespace vel::receipts {

// Not built yet: the receipt file stays in place.
void ProcessReceipt(Program&, const std::string&) {}

int RunReceiptCommand(Program&, const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "vel-job receipt: receipts are not built yet\n";
    return 2;
}

}  // namespace vel::receipts
