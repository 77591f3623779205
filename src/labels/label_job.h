#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vel {
class Program;
}

namespace vel::labels {

// Prints one label job file from the work folder on the label printer.
void PrintLabelJob(Program& program, const std::string& name, bool deleteAfter);

// `vel-job label JOBFILE [--printer NAME | --pdf OUT.pdf]`. Returns the exit code.
int RunLabelCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Which of the two sticker layouts a job uses.
enum class LabelLayout {
    ByPrinter,  // the fixed CLP-6 sticker when the label printer's entry names one, else the general one
    Clp6,
    General,
};

enum class LabelOutcome {
    Printed,
    TooNarrow,       // the general label is narrower than 100 pixels: nothing printed, the file is gone
    CannotOpen,      // the file stayed locked or missing for the whole retry: it is left for a later tick
    NoLabelPrinter,  // no label printer is selected or it is no longer installed: the file is left
};

struct LabelJobResult {
    LabelOutcome outcome = LabelOutcome::Printed;
    std::string title;
    int pages = 0;
};

// How long the job waits for a file its writer still holds, milliseconds.
inline constexpr int kLabelOpenTimeoutMs = 10000;
// The most stickers one job prints: a roll holds a few thousand, and a copy
// count of billions must not keep the program printing for days. The rest of
// the job is skipped and the status line says so.
inline constexpr long long kMaxLabelCopies = 5000;

// PrintLabelJob with its outcome, for the command line.
LabelJobResult RunLabelJob(Program& program, const std::string& name, bool deleteAfter,
                           LabelLayout layout = LabelLayout::ByPrinter);

// A few words on the outcome for the command line's error stream.
std::string_view OutcomeText(LabelOutcome outcome);

}  // namespace vel::labels
