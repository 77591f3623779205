#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vel {
class Program;
}

namespace vel::receipts {

// Validates one receipt file and hands it to the fiscal driver.
void ProcessReceipt(Program& program, const std::string& name);

// `vel-job receipt PARFILE [--driver-dir DIR]`. Returns the exit code.
int RunReceiptCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vel::receipts
