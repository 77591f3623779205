#include "spool/dispatch.h"

#include "common/io.h"
#include "common/job_files.h"
#include "common/program.h"
#include "common/status.h"
#include "common/trace.h"
#include "ksef/ksef.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/status_line.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace vel::spool {

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

// Runs a job's handler. A file the handler leaves behind (its job failed
// and is to be tried again) is marked, so that after a while the jobs behind
// it go first.
template <typename Handler>
void RunJob(Program& program, const std::string& path, Handler handler) {
    struct Left {
        Program& program;
        const std::string& path;
        ~Left() {
            auto seen = program.state.seenJobs.find(path);
            if (seen == program.state.seenJobs.end() || !FileExists(path)) return;
            if (seen->second.failedSinceMs < 0) seen->second.failedSinceMs = program.sys.clock.steadyMs();
        }
    } left{program, path};
    handler();
}

// Notes, once per file, that the queue goes round it.
void PassOver(Program& program, SeenJobFile& seen, const std::string& path, const std::string& name,
              std::string& first) {
    if (first.empty()) first = name;
    if (seen.passedOver) return;
    seen.passedOver = true;
    try {
        AppendFile("Vel.err", " Zablokowany " + path + "\r\n");
    } catch (const IoError&) {
        // The status line still says it.
    }
}

// Shows that a job file holds the queue up or is passed over, once.
void ShowWaiting(Program& program, const std::string& message) {
    const std::string shown = program.sys.status.text();
    if (shown == message) return;
    if (program.state.waitingShown.empty() || shown != program.state.waitingShown) {
        program.state.beforeWaiting = shown;
    }
    ShowStatus(program, message);
    program.state.waitingShown = program.sys.status.text();
}

}  // namespace

void DispatchJobs(Program& program) {
    if (program.state.dispatchBusy) return;
    DispatchGuard guard(program.state);
    Jobs& jobs = program.jobs;

    // The text the user saw before any job was announced, never the
    // dispatcher's own waiting message of an earlier tick.
    const std::string shown = program.sys.status.text();
    const bool waiting = !program.state.waitingShown.empty() && shown == program.state.waitingShown;
    program.state.savedStatus = waiting ? program.state.beforeWaiting : shown;

    const std::string clip = program.sys.clipboard.text();
    if (clip != program.state.rememberedClipboard) {
        program.state.rememberedClipboard = clip;
        if (ksef::HasKsefShape(clip) && jobs.captureKsefNumber) jobs.captureKsefNumber(program, clip);
    }
    if (jobs.checkKsefFile) jobs.checkKsefFile(program);

    ForgetMissingJobFiles(program);
    // Every job file is looked at on every tick, so that files dropped
    // together settle together. The first complete one in table and name
    // order runs. One not yet complete holds up those behind it, until it
    // has done so for kJobStuckMs; one whose job keeps failing runs, after
    // that time, only when no other can.
    enum Kind { Pcl, Label, Receipt };
    static constexpr const char* kPatterns[] = {"##-???.*", "!!-???.*", "Par*.xml"};
    struct Candidate {
        Kind kind;
        std::string name;
    };
    std::optional<Candidate> chosen, fallback;
    std::string passedOver;
    bool holding = false;
    const std::int64_t now = program.sys.clock.steadyMs();
    for (Kind kind : {Pcl, Label, Receipt}) {
        std::vector<std::string> names = FindFiles(program.workPath(kPatterns[kind]));
        // Plain byte order, no case folding: ##-A10 before ##-A9, ##-Z00 before ##-a00.
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string path = program.workPath(name);
            const JobFileState state = CheckJobFile(program, path);
            if (chosen || holding || state == JobFileState::Done || state == JobFileState::Gone) continue;
            SeenJobFile& seen = program.state.seenJobs[path];
            if (state == JobFileState::Ready && JobFileFree(path)) {
                seen.waitingSinceMs = -1;
                if (seen.failedSinceMs >= 0 && now - seen.failedSinceMs >= kJobStuckMs) {
                    if (!fallback) fallback = Candidate{kind, name};
                    PassOver(program, seen, path, name, passedOver);
                } else {
                    chosen = Candidate{kind, name};
                }
                continue;
            }
            if (seen.waitingSinceMs < 0) seen.waitingSinceMs = now;
            if (now - seen.waitingSinceMs >= kJobStuckMs) {
                PassOver(program, seen, path, name, passedOver);
                continue;
            }
            holding = true;
            if (state != JobFileState::New) {
                // Still being written, or locked by its writer: it waits, as
                // a locked print job always has.
                TraceNote(path, -1);
                ShowWaiting(program, name + " czekam");
            }
        }
    }
    if (!chosen && !holding) chosen = fallback;
    // "Zablokowany " + the name: the user sees which file the queue goes round.
    std::string stuckMessage;
    if (!passedOver.empty() && !(chosen && chosen->name == passedOver)) stuckMessage = "Zablokowany " + passedOver;
    if (!chosen) {
        if (!stuckMessage.empty()) ShowWaiting(program, stuckMessage);
        return;
    }

    const std::string& name = chosen->name;
    ShowStatus(program, "Druk " + name);
    RunJob(program, program.workPath(name), [&] {
        switch (chosen->kind) {
            case Pcl:
                if (jobs.printPclJob) jobs.printPclJob(program, name, true);
                break;
            case Label:
                if (jobs.printLabelJob) jobs.printLabelJob(program, name, true);
                break;
            case Receipt:
                if (jobs.processReceipt) jobs.processReceipt(program, name);
                break;
        }
    });
    // A job that could not remove its file says so in the saved text; that
    // message goes first.
    const bool kept = program.state.keptJobs.count(program.workPath(name)) != 0;
    if (stuckMessage.empty() || kept) {
        ShowStatus(program, program.state.savedStatus);
        return;
    }
    // Still a waiting message: the next job puts back the saved text instead.
    program.state.beforeWaiting = program.state.savedStatus;
    ShowStatus(program, stuckMessage);
    program.state.waitingShown = program.sys.status.text();
}

}  // namespace vel::spool
