// libFuzzer target over the whole PCL job path: the input is a job file that
// goes through the title rules, the pre-scan, the reindent and the print pass
// onto a canvas that only counts what it is asked to draw.

#include "common/io.h"
#include "common/program.h"
#include "counting_printer.h"
#include "pcl/pcl_job.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace vel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::EnterScratchFolder("vel-pcl-fuzz");
    const char* kJob = "##-F00.PCL";
    WriteFile(kJob, std::string_view(reinterpret_cast<const char*>(data), size));

    fuzz::CountingProgram fake;
    fuzz::CountingPrinter& printer = fake.printer;
    Program& program = fake.program;
    // A few resolutions, chosen by the input so that runs stay reproducible.
    static const int kDpi[] = {600, 300, 72, 1200};
    printer.page.dpi = kDpi[size % 4];
    printer.width = printer.page.dpi * 8;
    printer.height = printer.page.dpi * 11;

    pcl::JobOutcome outcome = pcl::PrintJob(program, kJob, true, nullptr);
    if (outcome == pcl::JobOutcome::Postponed || outcome == pcl::JobOutcome::Stopped) std::abort();
    if (program.state.printBusy || printer.printing() || FileExists(kJob) || FileExists("Min.{-}")) std::abort();

    DeleteFileQuietly("Vel.err");
    DeleteFileQuietly("Vel.Log");
    return 0;
}
