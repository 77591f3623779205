#pragma once

namespace vel {
class Program;
}

namespace vel::app {

enum DownloadKind : int {
    kProgramUpdate = 0,
    kWox = 1,
    kPreviousYearRates = 2,
    kCurrentYearRates = 3,
    kWzkl = 4,
};

// Asks for a file through the default browser; the tick does the rest.
void RequestDownload(Program& program, int kind);
// The tick's start step (countdown 45) and completion step (countdown 40).
void DownloadStart(Program& program);
void DownloadComplete(Program& program);

}  // namespace vel::app
