#pragma once
// The program state shared by every job, and the handlers the timer tick calls.

#include "platform/services.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vel {

// A drop-down list of the main window as the program sees it: the entries in
// the order shown and the selected one (-1 none).
struct ListState {
    std::vector<std::string> items;
    int selected = -1;
    std::string selectedText() const {
        return selected >= 0 && selected < static_cast<int>(items.size()) ? items[selected] : std::string();
    }
};

// Size and modification time of a file: a job file whose signature has not
// changed over a tick is taken as complete.
struct FileSignature {
    std::int64_t size = -1;
    std::int64_t modified = 0;  // file system ticks
    bool operator==(const FileSignature&) const = default;
};

// What the job scan knows of one job file between ticks.
struct SeenJobFile {
    FileSignature signature;
    std::int64_t sinceMs = 0;          // steady time the signature was first seen
    std::int64_t waitingSinceMs = -1;  // steady time it began to hold the queue up, not complete; -1 not
    std::int64_t failedSinceMs = -1;   // steady time its job first ended with the file still there; -1 not
    bool passedOver = false;           // the trace already says that the queue goes round it
};

struct ProgramState {
    // Command line.
    std::string oneShotFile;  // argument 1 upper-cased; "X" or empty: none
    std::string workPrefix;   // argument 2 with a trailing backslash, or empty
    std::string driverPath;   // argument 3 + "WQG.exe"

    bool lockFailed = false;
    bool firstTick = true;
    bool printBusy = false;
    bool requestBusy = false;
    bool scanBusy = false;
    bool dispatchBusy = false;  // a dispatched job is between its pick and its end

    std::uint16_t statusTimeout = 0;
    std::uint16_t closeCountdown = 0;
    std::uint16_t downloadCountdown = 0;
    std::uint16_t downloadKind = 0;  // 0 update, 1 Wox.exe, 2 previous-year rates, 3 current-year rates, 4 Wzkl.exe
    std::string downloadFolder;
    std::uint16_t printTitleCounter = 100;
    std::string dateLine;

    std::string rememberedClipboard;  // last clipboard text the dispatcher looked at
    std::string savedStatus;          // status text the dispatcher puts back after a job
    // The dispatcher's own waiting message as last shown, and the text it
    // replaced: a job that waited puts back what the user saw before it.
    std::string waitingShown;
    std::string beforeWaiting;

    // Job files (work path) seen by the scans of earlier ticks, and job files
    // that were done in this run but could not be removed: the latter are
    // never taken again while they stay as they were.
    std::map<std::string, SeenJobFile> seenJobs;
    std::map<std::string, FileSignature> keptJobs;

    // Printer lists of the main window.
    ListState pagePrinters;   // DruLas
    ListState labelPrinters;  // DruKK
    ListState fiscalPrinter;  // DruFis
};

class Program;

// The work a tick hands out. The program entry wires the real handlers; tests
// put in their own. An empty handler does nothing.
struct Jobs {
    std::function<bool(Program&)> runRequestFile;  // true: the request ended at its Run command
    std::function<void(Program&)> dispatchJobs;
    std::function<void(Program&, const std::string& name, bool deleteAfter)> printPclJob;
    std::function<void(Program&, const std::string& name, bool deleteAfter)> printLabelJob;
    std::function<void(Program&, const std::string& name)> processReceipt;
    std::function<void(Program&, const std::string& number)> captureKsefNumber;
    std::function<void(Program&)> checkKsefFile;
    std::function<void(Program&)> downloadStart;
    std::function<void(Program&)> downloadComplete;
    // Closes the main window: the program ends after the running handler
    // (after a program update has started the new version).
    std::function<void(Program&)> closeMainWindow;
    // Shows the rate charts window (after the current year's rates arrived).
    std::function<void(Program&)> showRateCharts;
};

// One instance for the whole program: its state, the operating system's
// services and the handlers.
class Program {
public:
    Program(Services services, Jobs jobs) : sys(services), jobs(std::move(jobs)) {}

    ProgramState state;
    Services sys;
    Jobs jobs;

    // Work prefix + name (still with the prefix's own separators).
    std::string workPath(const std::string& name) const { return state.workPrefix + name; }
};

}  // namespace vel
