#include "app/main_window.h"

#include "app/downloads.h"
#include "app/web_addresses.h"
#include "common/commands.h"
#include "common/format.h"
#include "common/io.h"
#include "common/job_files.h"
#include "common/status.h"
#include "common/trace.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/shell.h"
#include "spool/printers.h"

#include <charconv>
#include <filesystem>
#include <limits>
#include <random>

namespace vel::app {

namespace {

constexpr const char* kCaption = "Vel.8.61 Mirva-Soft Lenno ";
constexpr const char* kAppTitle = "Vel-drukowanie";
// Sunday first; "\x8c" "ro" is "Śro", "Pi\xb9" is "Pią".
constexpr const char* kWeekdays[7] = {"Nie", "Pon", "Wto", "\x8c" "ro", "Czw", "Pi\xb9", "Sob"};

// The next integer of a text in free form (blanks and line ends before it,
// an optional sign), read without the process locale; the text moves past it.
bool ReadInteger(std::string_view& text, int& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n'))
        text.remove_prefix(1);
    std::string_view digits = text;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') return false;
    long long v = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (negative) v = -v;
    if (ec != std::errc() || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    value = static_cast<int>(v);
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

std::string WithTrailingBackslash(std::string s) {
    if (!s.empty() && s.back() != '\\') s += '\\';
    return s;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(NativePath(a), NativePath(b), ec) && !ec;
}

// True when the first occurrence of `suffix` in `s` ends at its last character.
bool EndsAtFirstOccurrence(const std::string& s, const std::string& suffix) {
    const auto at = s.find(suffix);
    return at != std::string::npos && at + suffix.size() == s.size();
}

}  // namespace

Arguments Arguments::FromArgv(int argc, char** argv) {
    Arguments a;
    if (argc > 1) a.oneShot = argv[1];
    if (argc > 2) a.workPrefix = argv[2];
    if (argc > 3) a.driverDir = argv[3];
    return a;
}

MainWindow::MainWindow(Program& program, MainView& view)
    : MainWindow(program, view, platform::MakeSystemWorkLock()) {}

MainWindow::MainWindow(Program& program, MainView& view, std::unique_ptr<platform::WorkLock> lock)
    : program_(program), view_(view), lock_(std::move(lock)) {
    // A program update ends the program from inside a download step.
    program_.jobs.closeMainWindow = [this](Program&) { closeWindow(); };
}

MainWindow::~MainWindow() = default;

bool MainWindow::ShownAtStart(const Arguments& args) { return args.oneShot.empty() || args.oneShot == "x"; }

void MainWindow::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        // What the framework's error box would say (without a display the
        // view writes it to stderr), and a line in the trace; the program
        // goes on.
        const std::string text = error.what();
        try {
            AppendFile("Vel.err", " ! " + text + "\r\n");
        } catch (const IoError&) {
            // The trace itself cannot be written: the box still shows the error.
        }
        if (!errorShown_) {
            errorShown_ = true;
            view_.showError(text);
            errorShown_ = false;
        }
    }
}

void MainWindow::ZeCreat(const Arguments& args) {
    ProgramState& s = program_.state;
    // Until the lock is taken this instance is on standby: a start-up that
    // fails on the way must not leave it running without the lock.
    s.lockFailed = true;
    std::mt19937 random(std::random_device{}());
    s.printTitleCounter = static_cast<std::uint16_t>(std::uniform_int_distribution<int>(0, 399)(random) + 100);
    s.rememberedClipboard.clear();
    s.statusTimeout = 0;
    s.firstTick = true;
    ShowStatus(program_, kMakerLine);
    view_.setCaption(kCaption);

    s.downloadCountdown = 0;
    dragging_ = false;

    s.workPrefix = WithTrailingBackslash(args.workPrefix);
    const std::string driverDir = WithTrailingBackslash(args.driverDir);
    s.downloadFolder.clear();
    s.scanBusy = false;
    if (auto text = TryReadFile(program_.workPath("Dwn.{-}"), kJobFileLimit)) {
        s.downloadFolder = text->substr(0, text->find_first_of("\r\n"));
    }
    s.driverPath = driverDir + "WQG.exe";

    const std::string probe = program_.workPath("Tmp.{-}");
    if (!TryWriteFile(probe, "")) return;  // not writable: standby, the first tick closes
    DeleteFileQuietly(probe);

    view_.addTrayIcon(kAppTitle);
    s.requestBusy = false;
    s.printBusy = false;
    s.oneShotFile = UpperAscii(args.oneShot);
    oneShotPath_ = args.oneShot;

    s.lockFailed = !lock_->acquire(program_.workPath("Wrk.{-}"));
    if (s.lockFailed) return;  // another instance holds the folder, and its queue

    // Only the holder of the lock clears what an earlier run left: job files
    // (they are not printed twice), its own scratch copy of a PCL job and
    // files it was writing when it was killed.
    DeleteFileQuietly("Min.{-}");
    for (const std::string& folder : {std::string(), s.workPrefix}) {
        for (const std::string& name : FindFiles(folder + "*" + kWritingSuffix)) DeleteFileQuietly(folder + name);
    }
    for (const char* pattern : {"##-???.*", "!!-???.*", "Par*.xml", "*.to!"}) {
        for (const std::string& name : FindFiles(pattern)) {
            // The file named for this one-shot run is the job, not a leftover.
            if (!args.oneShot.empty() && SameFile(name, args.oneShot)) continue;
            // One that cannot be deleted is at least never run in this run.
            RemoveFinishedJobFile(program_, name);
        }
    }

    spool::RebuildPrinterList(program_);
    spool::SelectStartupPrinters(program_);
    showPrinterLists();
}

void MainWindow::TiTimer() {
    // Nested ticks run while a job lets messages run; a deep pile-up would
    // only repeat the clock, so it is cut off.
    if (nesting_ >= kMaxNesting) return;
    ++nesting_;
    struct Leave {
        int& n;
        ~Leave() { --n; }
    } leave{nesting_};

    ProgramState& s = program_.state;
    if (s.lockFailed) {
        closeWindow();
        return;
    }

    if (s.closeCountdown > 0) {
        --s.closeCountdown;
        if (s.closeCountdown == 1) closeWindow();
        if (s.closeCountdown >= 1 && s.closeCountdown <= 5) ShowStatus(program_, "Out: " + std::to_string(s.closeCountdown));
    }

    if (s.downloadCountdown == 45 && program_.jobs.downloadStart) program_.jobs.downloadStart(program_);
    if (s.downloadCountdown > 0) {
        --s.downloadCountdown;
        if (s.scanBusy || s.downloadCountdown > 40) return;
        if (s.downloadCountdown == 40 && program_.jobs.downloadComplete) program_.jobs.downloadComplete(program_);
    }

    const std::string time = program_.sys.clock.longTimeText();
    if (FirstCharOrSpace(view_.clockText()) != FirstCharOrSpace(time)) {
        rebuildDateLine();
        ShowStatus(program_, s.dateLine + std::string(kMakerLine) + std::string(kVersionTag));
    }
    view_.setClockText(time);

    if (s.firstTick) firstTick();

    if (s.statusTimeout > 0) {
        --s.statusTimeout;
        if (s.statusTimeout == 1) view_.setText(std::string(kMakerLine));
    }

    if (s.printBusy || s.requestBusy) return;
    if (program_.jobs.runRequestFile && program_.jobs.runRequestFile(program_)) return;
    if (program_.jobs.dispatchJobs) program_.jobs.dispatchJobs(program_);

    if (s.printBusy || s.requestBusy || ended_) return;
    runOneShot();
}

void MainWindow::runOneShot() {
    ProgramState& s = program_.state;
    if (s.oneShotFile.empty()) return;
    // The test is on the upper-cased argument; the file is opened by the name
    // as given, since this file system tells case apart.
    const bool pcl = EndsAtFirstOccurrence(s.oneShotFile, ".PCL");
    const bool xml = EndsAtFirstOccurrence(s.oneShotFile, ".XML");
    if (!pcl && !xml) return;
    // The one-shot job ends the program whatever happens to it: a job that
    // fails would otherwise be tried again on every tick, for ever.
    struct End {
        MainWindow& w;
        ~End() {
            w.releaseLock();
            w.closeWindow();
        }
    } end{*this};
    if (pcl) {
        view_.setClockText("Druk PCL");
        if (program_.jobs.printPclJob) program_.jobs.printPclJob(program_, oneShotPath_, false);
    } else {
        view_.setClockText("Druk XML");
        if (program_.jobs.processReceipt) program_.jobs.processReceipt(program_, oneShotPath_);
    }
}

void MainWindow::rebuildDateLine() {
    const platform::DateTime now = program_.sys.clock.now();
    program_.state.dateLine = TwoDigits(now.day) + "-" + TwoDigits(now.month) + "-" + TwoDigits(now.year / 100) +
                              TwoDigits(now.year % 100) + " " + kWeekdays[((now.weekday % 7) + 7) % 7];
}

void MainWindow::firstTick() {
    ProgramState& s = program_.state;
    s.firstTick = false;
    if (view_.visible()) view_.focusPageList();
    AdvanceViewMode();
    if (!s.oneShotFile.empty()) {
        view_.hide();
    } else {
        view_.show();
    }
    const std::string label = s.labelPrinters.selectedText();
    if (label.find(" Ze") != std::string::npos || label.find(" CLP-6") != std::string::npos) AdvanceViewMode();

    const int sw = view_.screenWidth(), sh = view_.screenHeight(), w = view_.width();
    int left = sw - w, top = 0;
    if (auto text = TryReadFile(program_.workPath("Pos.{-}"), kJobFileLimit)) {
        std::string_view in = *text;
        int value;
        if (ReadInteger(in, value)) {
            left = value;
            if (ReadInteger(in, value)) top = value;
        }
        if (left < 9) left = 0;
        if (top < 9) top = 0;
        if (left > sw - w - 9) left = sw - w;
        if (top > sh - 80) top = 0;
    }
    view_.move(left, top);
}

void MainWindow::AdvanceViewMode() {
    viewMode_ = viewMode_ >= 3 ? 1 : viewMode_ + 1;
    applyViewMode();
}

void MainWindow::applyViewMode() {
    const int a = viewMode_ == 1 ? kPagePrinterList.bottom() : kLabelPrinterList.bottom();
    const int b = viewMode_ == 3 ? kDescriptionPanel.bottom() : 0;
    view_.applyLayout(a + 5, b != 0 ? b : a + 5, viewMode_ >= 2);
}

void MainWindow::closeWindow() {
    view_.close();
    ended_ = true;
}

void MainWindow::releaseLock() {
    lock_->release();
    DeleteFileQuietly(program_.workPath("Wrk.{-}"));
}

void MainWindow::QuitProgram() {
    if (lock_->held() && !lock_->release()) throw IoError(program_.workPath("Wrk.{-}"), "cannot close");
    if (!program_.state.lockFailed) DeleteFileQuietly(program_.workPath("Wrk.{-}"));
    view_.removeTrayIcon();
    program_.sys.events.processPending();
    closeWindow();
}

void MainWindow::showPrinterLists() {
    const ProgramState& s = program_.state;
    view_.setList(PrinterList::Page, s.pagePrinters.items, s.pagePrinters.selected);
    view_.setList(PrinterList::Label, s.labelPrinters.items, s.labelPrinters.selected);
    view_.setList(PrinterList::Fiscal, s.fiscalPrinter.items, s.fiscalPrinter.selected);
}

void MainWindow::SavePosition() {
    WriteFile(program_.workPath("Pos.{-}"), std::to_string(view_.left()) + "  " + std::to_string(view_.top()));
}

void MainWindow::PanKlik() { QuitProgram(); }

void MainWindow::PaPK() {
    const int sw = view_.screenWidth(), sh = view_.screenHeight();
    const int w = view_.width(), h = view_.height();
    int left = view_.left(), top = view_.top();
    if (-20 < top && top < 1) top = 0;
    if (-3 < top + h - sh && top + h - sh < 20) top = sh - h - 3;
    if (-10 < left + w - sw && left + w - sw < 50) left = sw - w;
    view_.move(left, top);
    SavePosition();
    QuitProgram();
}

void MainWindow::InMDn(int x, int y) {
    dragX_ = x;
    dragY_ = y;
    dragging_ = true;
}

void MainWindow::InMMv(int x, int y) {
    if (!dragging_) return;
    view_.move(view_.left() + x - dragX_, view_.top() + y - dragY_);
}

void MainWindow::InMUp() { dragging_ = false; }

void MainWindow::BDnKlik() { AdvanceViewMode(); }

void MainWindow::UpdKlik() { RequestDownload(program_, kProgramUpdate); }

void MainWindow::UpCh() {
    std::string s = program_.sys.clipboard.text() + "\r\n";
    std::erase(s, '+');
    std::string line[8];
    for (int i = 1; i <= 7; ++i) {
        const auto end = s.find("\r\n");
        if (end == std::string::npos) {
            line[i] = s;  // no line end left: the rest, then empty lines
            s.clear();
        } else {
            line[i] = s.substr(0, end);
            s.erase(0, end + 2);
        }
    }
    if (line[2].find(line[3]) == std::string::npos) line[2] += " " + line[3];
    if (line[6].rfind("tel. ", 0) == 0) line[6].erase(0, 5);
    if (line[7].rfind("e-mail: ", 0) == 0) line[7].erase(0, 8);
    program_.sys.clipboard.setText("\r\n" + line[1] + "\r\n" + line[2] + "\r\n" + line[5] + ", " + line[4] + "\r\n" +
                                   line[6] + ", " + line[7]);
}

void MainWindow::TurKlik() { program_.sys.shell.open(kMakerSiteUrl, "", "", platform::ShowMode::Normal); }

void MainWindow::TurJ() {
    program_.sys.clipboard.setText(kJpkClientUrl);
    program_.sys.shell.open(kJpkClientUrl, "", "", platform::ShowMode::Normal);
}

void MainWindow::WoxKlik() {
    if (FileExists("Wox.exe")) {
        if (MayStart(program_, "Wox.exe")) RunCommand(program_, "Wox.exe");
    } else {
        RequestDownload(program_, kWox);
    }
}

void MainWindow::NBPKlik() { RequestDownload(program_, kCurrentYearRates); }
void MainWindow::NBPP() { RequestDownload(program_, kPreviousYearRates); }

void MainWindow::KSFKlik() { program_.sys.shell.open(kKsefAppUrl, "", "", platform::ShowMode::Normal); }

void MainWindow::DruP() {
    view_.move(view_.screenWidth() - view_.width(), view_.top());
    view_.raiseCoverPanel();
}

void MainWindow::DruLasKeyPress(bool escape) {
    if (!escape) view_.move(view_.screenWidth() - view_.width(), 0);
}

void MainWindow::DrLList() {
    spool::RebuildPrinterList(program_);
    showPrinterLists();
}

void MainWindow::DrLKDn() { DrLList(); }

void MainWindow::DrLChan(int index) { spool::DrLChan(program_, index); }

void MainWindow::DruKKChan(int index) {
    ListState& list = program_.state.labelPrinters;
    if (index >= 0 && index < static_cast<int>(list.items.size())) list.selected = index;
}

void MainWindow::TrayButton() { view_.popupMenuAtCursor(); }

void MainWindow::ParKl() {
    DeleteFileQuietly(program_.workPath("Pos.{-}"));
    view_.move(view_.screenWidth() - view_.width(), 0);
}

void MainWindow::KonKl() { QuitProgram(); }
void MainWindow::PokKl() { view_.show(); }
void MainWindow::UkrKl() { view_.hide(); }

}  // namespace vel::app
