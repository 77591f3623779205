// libFuzzer target over the margins file "Set.{-}": the input is the file,
// read before a fixed report job is printed, so that every margin it can
// give reaches the page geometry and the print pass.

#include "common/io.h"
#include "common/program.h"
#include "counting_printer.h"
#include "pcl/pcl_job.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace vel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::EnterScratchFolder("vel-settings-fuzz");
    WriteFile("Set.{-}", std::string_view(reinterpret_cast<const char*>(data), size));
    const char* kJob = "##-S00.PCL";
    WriteFile(kJob,
              "  Raport\r\n  za luty\r\n\x1b&l8C\x1b(s16.67H\r\n"
              "    \xc9\xcd\xcd\xbb linia pierwsza 123.45\r\n    \xba tekst \xba\r\n\f    druga strona\r\n");

    fuzz::CountingProgram fake;
    if (pcl::PrintJob(fake.program, kJob, true, nullptr) != pcl::JobOutcome::Printed) std::abort();
    if (fake.printer.printing() || FileExists(kJob) || fake.printer.page.ops == 0) std::abort();
    return 0;
}
