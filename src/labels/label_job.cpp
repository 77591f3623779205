#include "labels/label_job.h"

#include "common/format.h"
#include "common/io.h"
#include "common/job_files.h"
#include "common/program.h"
#include "common/status.h"
#include "labels/label_file.h"
#include "labels/label_layout.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/printer.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>

namespace vel::labels {

namespace {

constexpr int kOpenRetryPauseMs = 100;

// Makes current the installed printer whose name equals `name` ignoring case.
bool SelectPrinter(platform::Printer& printer, const std::string& name) {
    if (name.empty()) return false;
    for (const std::string& installed : printer.printerNames()) {
        if (EqualsIgnoreCase(installed, name)) return printer.setCurrent(installed);
    }
    return false;
}

// The job file's bytes, or nothing when it cannot be opened within the
// timeout: a sibling program may still be writing it. The wait lets window
// messages run so the clock keeps going. A read that fails once the file is
// open raises.
std::optional<std::string> OpenJobFile(Program& program, const std::string& path) {
    platform::Clock& clock = program.sys.clock;
    const std::int64_t start = clock.steadyMs();
    for (;;) {
        if (std::FILE* in = OpenFile(path, "rb")) {
            std::fclose(in);
            return ReadFile(path, kJobFileLimit);
        }
        if (clock.steadyMs() - start >= kLabelOpenTimeoutMs) return std::nullopt;
        clock.sleepMs(kOpenRetryPauseMs);
        program.sys.events.processPending();
    }
}

// Brackets a document call with the current directory kept, since printer
// drivers may change it.
template <typename Call>
void DocumentCall(Call call) {
    RememberDir();
    call();
    RestoreDir();
}

void BackToPagePrinter(Program& program) {
    platform::Printer& printer = program.sys.printer;
    if (!SelectPrinter(printer, program.state.pagePrinters.selectedText())) {
        const std::string fallback = printer.defaultPrinterName();
        if (!fallback.empty()) printer.setCurrent(fallback);
    }
}

// Shows why a job did not print. The dispatcher puts its saved status text
// back once the job returns; the message takes that place so that it stays.
void Report(Program& program, const std::string& message) {
    ShowStatus(program, message);
    program.state.savedStatus = message;
}

LabelJobResult PrintJob(Program& program, const std::string& path, bool deleteAfter, LabelLayout layout,
                        const std::string& bytes) {
    LabelJobResult result;
    platform::Printer& printer = program.sys.printer;
    LineReader lines(bytes);
    std::string line;
    lines.next(line);
    const LabelHeader header = ReadLabelHeader(line);
    result.title = header.title;

    const std::string labelPrinter = program.state.labelPrinters.selectedText();
    if (!SelectPrinter(printer, labelPrinter)) {
        result.outcome = LabelOutcome::NoLabelPrinter;
        return result;
    }
    printer.setOrientation(platform::Orientation::Portrait);
    const double ppm = PrinterDpi(printer) / 25.4;

    if (layout == LabelLayout::ByPrinter) {
        layout = labelPrinter.find(" CLP-6") != std::string::npos ? LabelLayout::Clp6 : LabelLayout::General;
    }
    std::optional<StickerFrame> frame;
    if (layout == LabelLayout::Clp6) {
        frame = Clp6Frame(header, ppm, printer.pageHeight());
    } else {
        frame = GeneralFrame(header, ppm, printer.pageWidth());
    }

    if (frame) KeepOnPage(*frame, printer.pageWidth(), printer.pageHeight());
    if (!frame) {
        result.outcome = LabelOutcome::TooNarrow;
    } else {
        DocumentCall([&] { printer.beginDoc(header.title); });
        result.pages = 1;
        platform::Canvas& canvas = printer.canvas();
        if (layout == LabelLayout::General) DrawLabelOutline(canvas, *frame, ppm);
        // A new page comes before every sticker but the first, so the last
        // sticker printed is followed by none, even when the records after
        // it ask for no copies.
        bool pageUsed = false;
        long long printed = 0;
        bool capped = false;
        while (lines.next(line)) {
            const LabelRecord record = ReadLabelRecord(line);
            long long copies = record.copies;
            if (copies > kMaxLabelCopies - printed) {
                copies = kMaxLabelCopies - printed;
                capped = true;
            }
            printed += std::max(copies, 0LL);
            for (long long copy = 1; copy <= copies; ++copy) {
                if (pageUsed) {
                    DocumentCall([&] { printer.newPage(); });
                    ++result.pages;
                }
                DrawSticker(printer.canvas(), *frame, record.field[1], record.field[2], record.field[3]);
                pageUsed = true;
            }
        }
        DocumentCall([&] { printer.endDoc(); });
        if (capped) {
            // "Ponad N etykiet, reszta pominięta": the job asked for more.
            Report(program, "Ponad " + std::to_string(kMaxLabelCopies) + " etykiet, reszta pomini\xeata");
        }
    }
    BackToPagePrinter(program);
    if (deleteAfter) RemoveFinishedJobFile(program, path);
    return result;
}

}  // namespace

LabelJobResult RunLabelJob(Program& program, const std::string& name, bool deleteAfter, LabelLayout layout) {
    ProgramState& state = program.state;
    platform::Printer& printer = program.sys.printer;
    const std::string path = program.workPath(name);
    state.printBusy = true;
    try {
        const std::optional<std::string> bytes = OpenJobFile(program, path);
        if (!bytes) {
            // "Nie można otworzyć " + name: the file stays for a later tick.
            Report(program, "Nie mo\xbf" "na otworzy\xe6 " + name);
            state.printBusy = false;
            return {LabelOutcome::CannotOpen, {}, 0};
        }
        LabelJobResult result = PrintJob(program, path, deleteAfter, layout, *bytes);
        if (result.outcome == LabelOutcome::NoLabelPrinter) {
            // "Nie ma  " + the label printer's entry, as for a page printer that is gone.
            Report(program, "Nie ma  " + state.labelPrinters.selectedText());
        }
        state.printBusy = false;
        return result;
    } catch (...) {
        // A printer or file error ends the job, but must not leave the program
        // believing a job still runs: drop the document, go back to the page
        // printer, and let the error go on to be reported. The file stays.
        if (printer.printing()) printer.abortDoc();
        BackToPagePrinter(program);
        state.printBusy = false;
        throw;
    }
}

void PrintLabelJob(Program& program, const std::string& name, bool deleteAfter) {
    RunLabelJob(program, name, deleteAfter);
}

std::string_view OutcomeText(LabelOutcome outcome) {
    switch (outcome) {
        case LabelOutcome::Printed: return "printed";
        case LabelOutcome::TooNarrow: return "the label is narrower than 100 pixels: nothing printed";
        case LabelOutcome::CannotOpen: return "cannot open the job file";
        case LabelOutcome::NoLabelPrinter: return "no label printer";
    }
    return "unknown outcome";
}

namespace {

int Usage(std::ostream& err, const std::string& reason) {
    err << "vel-job label: " << reason
        << "\nusage: vel-job label JOBFILE [--printer NAME | --pdf OUT.pdf] [--layout clp6|general]\n";
    return 2;
}

// Installed names sorted as the label printer list shows them.
std::vector<std::string> SortedNames(platform::Printer& printer) {
    std::vector<std::string> names = printer.printerNames();
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return LowerAscii(a) < LowerAscii(b); });
    return names;
}

int IndexIgnoringCase(const std::vector<std::string>& names, const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (EqualsIgnoreCase(names[i], name)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

int RunLabelCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string job, printerName, pdf;
    LabelLayout layout = LabelLayout::ByPrinter;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--printer" && hasValue) {
            printerName = args[++i];
        } else if (a == "--pdf" && hasValue) {
            pdf = args[++i];
        } else if (a == "--layout" && hasValue) {
            const std::string& v = args[++i];
            if (v == "clp6") {
                layout = LabelLayout::Clp6;
            } else if (v == "general") {
                layout = LabelLayout::General;
            } else {
                return Usage(err, "unknown layout " + v);
            }
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            return Usage(err, "unknown or incomplete option " + a);
        } else if (job.empty()) {
            job = a;
        } else {
            return Usage(err, "more than one job file");
        }
    }
    if (job.empty()) return Usage(err, "no job file");
    if (!printerName.empty() && !pdf.empty()) return Usage(err, "--printer and --pdf exclude each other");

    platform::Printer& printer = program.sys.printer;
    ProgramState& state = program.state;
    const std::vector<std::string> names = SortedNames(printer);

    // The page printer to return to: the one the caller selected, else the current one.
    if (state.pagePrinters.selected < 0) {
        state.pagePrinters.items = names;
        state.pagePrinters.selected = IndexIgnoringCase(names, printer.currentName());
    }

    state.labelPrinters.items = names;
    if (!pdf.empty()) {
        state.labelPrinters.selected = IndexIgnoringCase(names, platform::kPdfPrinterName);
        printer.setPdfOutputFile(NameFromPath(NativePath(pdf)));
    } else if (!printerName.empty()) {
        state.labelPrinters.selected = IndexIgnoringCase(names, printerName);
        if (state.labelPrinters.selected < 0) {
            err << "vel-job label: no printer named " << printerName << "\n";
            return 2;
        }
    } else {
        // As at start-up: the last label printer in sorted order.
        state.labelPrinters.selected = -1;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i].find("Zebra") != std::string::npos || names[i].find("CLP-6") != std::string::npos) {
                state.labelPrinters.selected = static_cast<int>(i);
            }
        }
    }
    if (state.labelPrinters.selected < 0) {
        err << "vel-job label: no label printer installed; name one with --printer NAME or use --pdf OUT.pdf\n";
        return 2;
    }

    // The job file is named as the shell sees it, not within the work folder.
    if (!FileExists(job)) {
        err << "vel-job label: cannot open " << job << "\n";
        return 1;
    }
    state.workPrefix.clear();

    LabelJobResult result;
    try {
        result = RunLabelJob(program, job, false, layout);
    } catch (const IoError& e) {
        err << "vel-job label: " << e.what() << "\n";
        return 1;
    }
    if (result.outcome != LabelOutcome::Printed) {
        err << "vel-job label: " << job << ": " << OutcomeText(result.outcome) << "\n";
        return 1;
    }
    out << result.title << "\n";
    return 0;
}

}  // namespace vel::labels
