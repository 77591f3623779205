#include "pcl/pcl_job.h"

#include "common/codepage.h"
#include "common/format.h"
#include "common/io.h"
#include "common/job_files.h"
#include "common/program.h"
#include "common/status.h"
#include "common/trace.h"
#include "pcl/pcl_render.h"
#include "pcl/pcl_title.h"
#include "platform/printer.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace vel::pcl {

namespace {

std::int16_t TraceValue(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, std::numeric_limits<std::int16_t>::min(),
                                                              std::numeric_limits<std::int16_t>::max()));
}

// "Min.{-}", written line by line; raises on any failure.
class MinFileWriter {
public:
    MinFileWriter() {
        file_ = OpenFile(kMinFile, "wb");
        if (!file_) throw IoError(kMinFile, "cannot create");
    }
    ~MinFileWriter() {
        if (file_) std::fclose(file_);
    }
    void write(std::string_view bytes) {
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
            throw IoError(kMinFile, "cannot write");
    }
    void close() {
        std::FILE* f = file_;
        file_ = nullptr;
        if (std::fclose(f) != 0) throw IoError(kMinFile, "cannot write");
    }

private:
    std::FILE* file_ = nullptr;
};

void OpenRaising(PclJobState& s, const std::string& name) {
    if (!s.input.open(name)) throw IoError(name, "cannot open");
    s.BytesLeft = s.input.size();
}

// Printer drivers may change the current directory; the document calls are
// bracketed so that the program's relative file names keep working.
template <typename Call>
void InOwnDir(Call call) {
    RememberDir();
    try {
        call();
    } catch (...) {
        try {
            RestoreDir();
        } catch (...) {
        }
        throw;  // the printer's error is the one to report
    }
    RestoreDir();
}

// A full path (the one-shot file named on the command line) is not put
// under the work prefix; a bare name from the dispatcher is.
bool IsAbsoluteName(const std::string& name) {
    if (!name.empty() && (name[0] == '\\' || name[0] == '/')) return true;
    return name.size() >= 3 && name[1] == ':' && (name[2] == '\\' || name[2] == '/');
}

void LogPageMetrics(PclJobState& s) {
    platform::Printer& printer = s.program.sys.printer;
    int width = 0, height = 0;
    if (printer.currentName().find("Foxit") != std::string::npos) {
        width = 4960;  // A4 at 600 dpi, whatever the driver reports
        height = 7015;
    } else {
        width = printer.pageWidth();
        height = printer.pageHeight();
    }
    s.DevicePageWidth = static_cast<std::uint16_t>(width);
    s.DevicePageHeight = static_cast<std::uint16_t>(height);
    WriteFile(kLogFile, "\r\n  PageWidth = " + std::to_string(s.DevicePageWidth) +
                            "\r\n PageHeight = " + std::to_string(s.DevicePageHeight) +
                            "\r\n    Density = " + std::to_string(PrinterDpi(printer)) + "\r\n");
}

// Lines 3 onward: the common indentation of the counted lines and the longest
// plain line (no control bytes), which the pitch selection stretches to.
void PreScan(PclJobState& s) {
    while (!AtJobEnd(s)) {
        ReadJobLine(s);
        // Only to cut out a leading hidden section; the title is settled.
        const std::string title = s.JobTitle;
        DeriveJobTitle(s);
        s.JobTitle = title;
        const std::string& line = s.JobLine;
        if (line.empty()) continue;
        const bool plain = std::none_of(line.begin(), line.end(),
                                        [](char c) { return static_cast<unsigned char>(c) < 0x20; });
        const std::size_t spaces = line.find_first_not_of(' ');
        const auto n = static_cast<std::int32_t>(std::min<std::size_t>(
            spaces == std::string::npos ? line.size() : spaces, std::numeric_limits<std::int32_t>::max()));
        if (n > 1 || plain) {
            s.MinIndent = std::min(s.MinIndent, n);
            const auto length =
                static_cast<std::int32_t>(std::min<std::size_t>(line.size(), std::numeric_limits<std::int32_t>::max()));
            if (plain && length > s.MaxLineLength) s.MaxLineLength = length;
        }
    }
}

// The end of an escape sequence that the print pass acts on (ESC E, ESC & a,
// ESC & l, ESC ( digit, ESC ( s, through their terminating letter), or `at`
// itself when the sequence there is not one of them.
std::size_t KnownEscapeEnd(const std::string& line, std::size_t at) {
    if (at + 1 < line.size() && line[at + 1] == 'E') return at + 2;
    if (at + 2 >= line.size()) return at;
    const char group = line[at + 1], kind = line[at + 2];
    const bool known = (group == '&' && (kind == 'a' || kind == 'l')) ||
                       (group == '(' && (kind == 's' || (kind >= '0' && kind <= '9')));
    if (!known) return at;
    for (std::size_t i = at + 3; i < line.size(); ++i) {
        const char c = line[i];
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return i + 1;
    }
    return at;
}

// Where the printed text of a line begins: after the form feeds of a page
// break, a hidden title section and the escape sequences in front of it,
// none of which takes a cell on the page.
std::size_t TextStart(const std::string& line) {
    std::size_t at = 0;
    while (at < line.size()) {
        const auto c = static_cast<unsigned char>(line[at]);
        std::size_t next = at;
        if (c == '\f') {
            next = at + 1;
        } else if (c == 0xFF) {
            const std::size_t close = line.find('\xff', at + 1);
            if (close != std::string::npos) next = close + 1;
        } else if (c == 0x1B) {
            next = KnownEscapeEnd(line, at);
        }
        if (next == at) break;
        at = next;
    }
    return at;
}

// Rewrites the job into "Min.{-}" without the common indentation, trailing
// spaces gone and no line end after the last line. The indentation goes only
// where a line's printed text begins with it: titles and headings are
// indented less, and removing a run of spaces further in would glue their
// words together.
void Reindent(PclJobState& s) {
    s.MaxLineLength -= s.MinIndent;
    const std::string indent(static_cast<std::size_t>(s.MinIndent), ' ');
    OpenRaising(s, s.JobFile);
    s.MinFileUsed = true;
    MinFileWriter out;
    do {
        ReadJobLine(s);
        if (!indent.empty()) {
            const std::size_t at = TextStart(s.JobLine);
            if (s.JobLine.compare(at, indent.size(), indent) == 0) s.JobLine.erase(at, indent.size());
        }
        out.write(s.JobLine);
        if (!AtJobEnd(s)) out.write("\r\n");
    } while (!AtJobEnd(s));
    s.input.close();
    out.close();
}

void PrintPass(PclJobState& s, JobOutcome& outcome) {
    Program& program = s.program;
    platform::Printer& printer = program.sys.printer;
    TraceStage(1);
    OpenRaising(s, s.MinFileUsed ? std::string(kMinFile) : s.JobFile);
    s.CommandEcho.clear();
    InOwnDir([&] { printer.beginDoc(s.DocumentTitle); });
    s.FontName = kPrinterFontName;
    s.Density = PrinterDpi(printer);
    ComputePageGeometry(s);
    program.state.savedStatus = program.state.dateLine;
    s.PageNumber = 1;
    s.SpaceRun = 0;
    TraceNote(s.FontName, TraceValue(s.FontSize));
    program.state.closeCountdown = 15;
    TraceStage(2);
    RenderJobStream(s);
    outcome = AtJobEnd(s) ? JobOutcome::Printed : JobOutcome::Stopped;
    program.state.closeCountdown = 0;
    ShowStatus(program, "End: " + s.JobFile);
    s.input.close();
    InOwnDir([&] { printer.endDoc(); });
}

JobOutcome RunJob(PclJobState& s, const std::string& name, bool deleteAfter) {
    Program& program = s.program;
    platform::Printer& printer = program.sys.printer;
    LoadPageSettings(s);
    s.JobTitle = kDefaultJobTitle;
    printer.setOrientation(platform::Orientation::Portrait);
    LogPageMetrics(s);
    InitPageState(s);
    s.JobFile = IsAbsoluteName(name) ? name : program.workPath(name);
    s.DeleteAfter = deleteAfter;
    s.MinIndent = 99;
    if (!s.input.open(s.JobFile)) {
        // Most likely the writer still holds it: a later tick tries again.
        TraceNote(s.JobFile, -1);
        program.state.printBusy = false;
        return JobOutcome::Postponed;
    }
    TraceNote(s.JobFile, 0);
    s.BytesLeft = s.input.size();
    s.MaxLineLength = 0;

    ReadJobLine(s);
    DeriveJobTitle(s);
    ReadJobLine(s);
    ApplyLine2Rules(s);
    PublishJobTitle(s);
    s.RightLimit = s.TextAreaWidth;

    PreScan(s);
    TraceNote("max", TraceValue(s.MaxLineLength));
    s.input.close();
    s.TraceOn = true;
    s.MinFileUsed = false;
    if (s.MinIndent < 99 && s.MaxLineLength > 0) Reindent(s);

    JobOutcome outcome = JobOutcome::Refused;
    if (s.MaxLineLength <= 0) {
        TraceNote("z\xb3y max", 0);  // "zły max"
        ShowStatus(program, "Z\xb3y " + s.JobFile);  // "Zły "
    } else {
        PrintPass(s, outcome);
    }

    // The job is done: neither file may make it run again. A scratch copy
    // left behind is removed at the next start; a job file that stays is
    // remembered as done.
    if (s.MinFileUsed) DeleteFileQuietly(kMinFile);
    if (s.DeleteAfter) RemoveFinishedJobFile(program, s.JobFile);
    TraceStage(0);
    program.state.printBusy = false;
    return outcome;
}

}  // namespace

void PageBreak(PclJobState& s) {
    Program& program = s.program;
    InOwnDir([&] { program.sys.printer.newPage(); });
    program.state.closeCountdown = 15;
    StartPage(s);
    ++s.PageNumber;
    ShowStatus(program, "Druk " + std::to_string(s.PageNumber) + " strony");
}

void SetJobOrientation(PclJobState& s, std::int32_t value) {
    platform::Printer& printer = s.program.sys.printer;
    const auto wanted = value == 0 ? platform::Orientation::Portrait : platform::Orientation::Landscape;
    if (wanted == printer.orientation()) return;
    // The document begins again in the new orientation: what was printed
    // of this job so far is dropped. Cell, line, style and page number stay.
    printer.abortDoc();
    printer.setOrientation(wanted);
    InOwnDir([&] { printer.beginDoc(s.DocumentTitle); });
    StartPage(s);
}

JobOutcome PrintJob(Program& program, const std::string& name, bool deleteAfter, std::string* title) {
    PclJobState s(program);
    TraceStage(-3);
    program.state.printBusy = true;
    try {
        const JobOutcome outcome = RunJob(s, name, deleteAfter);
        if (title) *title = s.JobTitle;
        return outcome;
    } catch (...) {
        // Whatever failed, the program must not stay stuck in a job: drop the
        // half-printed document and the temporary copy, free the printer for
        // the next job and stop the close countdown. The job file stays, so
        // the job can be printed again.
        s.input.close();
        try {
            if (program.sys.printer.printing()) program.sys.printer.abortDoc();
        } catch (...) {
        }
        if (s.MinFileUsed) DeleteFileQuietly(kMinFile);
        program.state.closeCountdown = 0;
        program.state.printBusy = false;
        throw;
    }
}

void PrintPclJob(Program& program, const std::string& name, bool deleteAfter) {
    PrintJob(program, name, deleteAfter, nullptr);
}

int RunPclCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* kUsage = "vel-job print: usage: print JOBFILE [--printer NAME | --pdf OUT.pdf]\n";
    std::string job, printerName, pdfFile;
    bool wantPrinter = false, wantPdf = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--printer" || a == "--pdf") && i + 1 < args.size()) {
            (a == "--printer" ? printerName : pdfFile) = args[++i];
            (a == "--printer" ? wantPrinter : wantPdf) = true;
        } else if (a.rfind("--", 0) == 0 || !job.empty()) {
            err << kUsage;
            return 2;
        } else {
            job = a;
        }
    }
    if (job.empty() || (wantPrinter && wantPdf)) {
        err << kUsage;
        return 2;
    }
    platform::Printer& printer = program.sys.printer;
    if (wantPrinter && !printer.setCurrent(printerName)) {
        bool found = false;
        for (const std::string& installed : printer.printerNames()) {
            if (EqualsIgnoreCase(installed, printerName)) found = printer.setCurrent(installed);
            if (found) break;
        }
        if (!found) {
            err << "vel-job print: no printer named " << printerName << "\n";
            return 1;
        }
    }
    if (wantPdf) {
        if (!printer.setCurrent(platform::kPdfPrinterName)) {
            err << "vel-job print: the built-in PDF printer is missing\n";
            return 1;
        }
        printer.setPdfOutputFile(pdfFile);
    }
    if (!FileExists(job)) {
        err << "vel-job print: " << job << ": no such job file\n";
        return 1;
    }
    // The job file is named from the current directory, not the work folder.
    const std::string prefix = program.state.workPrefix;
    program.state.workPrefix.clear();
    std::string title;
    JobOutcome outcome = JobOutcome::Postponed;
    try {
        outcome = PrintJob(program, job, false, &title);
    } catch (const std::exception& e) {
        program.state.workPrefix = prefix;
        err << "vel-job print: " << job << ": " << e.what() << "\n";
        return 1;
    }
    program.state.workPrefix = prefix;
    switch (outcome) {
        case JobOutcome::Printed: out << Cp1250ToUtf8(title) << "\n"; return 0;
        case JobOutcome::Postponed: err << "vel-job print: " << job << ": cannot open the job file\n"; return 1;
        case JobOutcome::Refused:
            err << "vel-job print: " << job << ": refused, no plain text line after line 2\n";
            return 1;
        case JobOutcome::Stopped: err << "vel-job print: " << job << ": stopped by the close countdown\n"; return 1;
    }
    return 1;
}

}  // namespace vel::pcl
