#include "spool/dispatch.h"

#include "common/io.h"
#include "common/program.h"
#include "common/status.h"
#include "ksef/ksef.h"
#include "platform/clipboard.h"
#include "platform/status_line.h"

#include <algorithm>

namespace vel::spool {

std::optional<std::string> PickJob(Program& program, const std::string& pattern) {
    const std::vector<std::string> names = FindFiles(program.workPath(pattern));
    if (names.empty()) return std::nullopt;
    // Plain byte order, no case folding: ##-A10 before ##-A9, ##-Z00 before ##-a00.
    const std::string name = *std::min_element(names.begin(), names.end());
    ShowStatus(program, "Druk " + name);
    return name;
}

namespace {

// Marks a dispatched job as running from its pick to its end, so that a
// nested tick (ShowStatus lets messages run) does not pick the same file.
class DispatchGuard {
public:
    explicit DispatchGuard(ProgramState& state) : state_(state) { state_.dispatchBusy = true; }
    ~DispatchGuard() { state_.dispatchBusy = false; }

private:
    ProgramState& state_;
};

}  // namespace

void DispatchJobs(Program& program) {
    if (program.state.dispatchBusy) return;
    DispatchGuard guard(program.state);
    Jobs& jobs = program.jobs;

    program.state.savedStatus = program.sys.status.text();

    const std::string clip = program.sys.clipboard.text();
    if (clip != program.state.rememberedClipboard) {
        program.state.rememberedClipboard = clip;
        if (ksef::HasKsefShape(clip) && jobs.captureKsefNumber) jobs.captureKsefNumber(program, clip);
    }
    if (jobs.checkKsefFile) jobs.checkKsefFile(program);

    if (auto name = PickJob(program, "##-???.*")) {
        if (jobs.printPclJob) jobs.printPclJob(program, *name, true);
    } else if (auto label = PickJob(program, "!!-???.*")) {
        if (jobs.printLabelJob) jobs.printLabelJob(program, *label, true);
    } else if (auto receipt = PickJob(program, "Par*.xml")) {
        if (jobs.processReceipt) jobs.processReceipt(program, *receipt);
    } else {
        return;
    }
    ShowStatus(program, program.state.savedStatus);
}

}  // namespace vel::spool
