#include "jpk/jpk_request.h"

#include "common/codepage.h"
#include "common/commands.h"
#include "common/format.h"
#include "common/io.h"
#include "common/job_files.h"
#include "common/program.h"
#include "common/status.h"
#include "jpk/jpk_declaration.h"
#include "jpk/jpk_registers.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/status_line.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace vel::jpk {

namespace {

std::int64_t FileSize(const std::string& name) {
    std::error_code ec;
    const auto size = fs::file_size(NativePath(name), ec);
    return ec ? -1 : static_cast<std::int64_t>(size);
}

// Clears the request-busy flag however the request ends.
class BusyGuard {
public:
    explicit BusyGuard(Program& program) : program_(program) { program_.state.requestBusy = true; }
    ~BusyGuard() { program_.state.requestBusy = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    Program& program_;
};

// The folders whose files a request may name by a full name: the work
// folder, the folder of the requesting program (the one its `Run` names,
// when it holds a sibling program that may be started from there) and the
// folders an administrator lists in VEL_REQUEST_DIRS.
std::vector<fs::path> RequestFolders(const RequestLines& request) {
    std::error_code ec;
    std::vector<fs::path> folders{fs::current_path(ec).lexically_normal()};
    for (int i = 1; i + 2 <= kRequestLineCount; ++i) {
        if (request.Line(i) != "Run") continue;
        const std::string& folder = request.Line(i + 1);
        const std::string& name = request.Line(i + 2);
        const char* allowed = std::getenv(kRunAllowVariable);
        const fs::path program = fs::absolute(NativePath(folder), ec) / NativePath(name);
        if (!folder.empty() && MayRunProgram(name, allowed ? allowed : "") && FileExists(NameFromPath(program)) &&
            platform::UntrustedProgramReason(program).empty()) {
            folders.push_back(program.parent_path().lexically_normal());
        }
        break;
    }
    if (const char* listed = std::getenv(kRequestDirsVariable)) {
        std::string_view rest(listed);
        while (!rest.empty()) {
            const std::size_t end = rest.find(';');
            const std::string_view entry = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            if (!entry.empty() && IsFullName(entry)) folders.push_back(NativePath(entry).lexically_normal());
        }
    }
    return folders;
}

std::string Folded(const fs::path& part) {
    std::string text = NameFromPath(part);
    return platform::kWindowsFileSystem ? LowerAscii(std::move(text)) : text;
}

}  // namespace

std::string RefusedRequestName(const std::string& name, const std::vector<fs::path>& folders, bool folderStays) {
    if (name.empty()) return {};
    const fs::path path = NativePath(name);
    for (const fs::path& part : path) {
        if (part == "..") return "\"..\" in the name";
    }
    // The part of the name below its allowed folder, where no link may stand.
    fs::path start;
    fs::path below = path;
    if (IsFullName(name)) {
        const fs::path full = path.lexically_normal();
        const auto within = [&](const fs::path& folder) {
            auto p = full.begin();
            for (const fs::path& f : folder) {
                if (f.empty()) continue;  // a trailing separator
                if (p == full.end() || Folded(f) != Folded(*p)) return false;
                ++p;
            }
            below.clear();
            for (; p != full.end(); ++p) {
                if (!p->empty()) below /= *p;
            }
            return true;
        };
        const auto folder = std::find_if(folders.begin(), folders.end(), within);
        if (folder == folders.end()) return "outside the folders a request may name";
        start = *folder;
    }
    fs::path at = start;
    std::size_t left = static_cast<std::size_t>(std::distance(below.begin(), below.end()));
    for (const fs::path& part : below) {
        --left;
        at = at.empty() ? part : at / part;
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(at, ec);
        if (ec || !fs::exists(st)) return {};  // the rest is yet to be made
        if (fs::is_symlink(st)) return "a link in the name";
        if (left == 0 && !fs::is_regular_file(st) && !(folderStays && fs::is_directory(st))) return "not a regular file";
    }
    return {};
}

namespace {

// A name a request may not use: the status line says "Odmowa  " and the
// name, "Vel.err" why.
void RefuseName(Program& program, const std::string& name, const std::string& why) {
    ReportRefusal(program, "Odmowa  " + name, why);
}

// After an `Int`: everything up to the next "Run" belongs to it.
void DropToRun(RequestLines& request) {
    do {
        request.DropFront(1);
    } while (request.Line(1) != "Run" && !request.FirstThreeEmpty());
}

std::string SummaryLines(const JpkRun& run) {
    const KTable& k = run.k;
    std::string s;
    auto line = [&s](const std::string& text) { s += text + "\r\n"; };
    line("-------------------");
    if (k[60] > 0) {
        line("  Inn = " + run.innText);
        line("  K60 = " + FormatFixed2(k[60]));
    }
    for (int n = 10; n <= 69; ++n) {
        if (k[n] != 0 || PairNonZero(k, n)) line("  K" + std::to_string(n) + " = " + FormatFixed2(k[n]));
    }
    if (run.salesRows > 0) {
        line("  LSp = " + std::to_string(run.salesRows));
        line("  VSp = " + FormatFixed2(k[7]));
    }
    if (k[9] != 0) line("  SVM = " + FormatFixed2(k[9]));
    if (run.purchaseRows > 0) {
        line("  LZa = " + std::to_string(run.purchaseRows));
        line("  VZa = " + FormatFixed2(k[5]));
    }
    if (k[70] != 0) line("  ZVM = " + FormatFixed2(k[70]));
    if (k[540] > 0) line("  K660 = 1");
    const double refund = run.variant == Variant::A ? k[57] : k[54];
    if (refund > 0) line("  " + run.refundField + " = 1");
    if (k[63] > 0) {
        line("  K63 = 1");
        line("  119 = X");
    }
    if (k[64] > 0) {
        line("  K64 = 1");
        line("  120 = X");
    }
    if (k[65] > 0) {
        line("  K65 = 1");
        line("  122 = X");
    }
    if (k[66] > 0) {
        line("  K66 = 1");
        line("  136 = X");
    }
    if (k[660] > 0) line("  K660 = 1");
    if (k[67] > 0) {
        line("  K67 = 1");
        line("  108 = X");
    }
    if (k[68] < 0) line("  K68 = " + FormatFixed0(RoundWhole(k[68])));
    if (k[69] < 0) line("  K69 = " + FormatFixed0(RoundWhole(k[69])));
    line("  JPK = " + run.base);
    std::string kind = "VAT-7";
    if (run.variant != Variant::A && run.quarterly) kind = run.quarterDigit == '0' ? "JPK" : "VAT-7 K";
    line("  VAT = " + kind);
    return s;
}

constexpr std::size_t kCopyBlock = 1 << 20;

// Copies the scratch register file into the output block by block, leaving
// out empty lines; every line goes out with CR LF.
void CopyScratch(std::ostream& out) {
    FileStream in;
    if (!in.open(kScratchFile, "rb")) throw IoError(kScratchFile, "cannot open");
    std::string block(kCopyBlock, '\0');
    std::string pending;  // an unfinished line from the previous block
    std::string lines;
    auto emit = [&lines](std::string_view line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) return;
        lines += line;
        lines += "\r\n";
    };
    for (;;) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) break;
        std::string_view data(block.data(), got);
        lines.clear();
        std::size_t start = 0;
        for (std::size_t nl; (nl = data.find('\n', start)) != std::string_view::npos; start = nl + 1) {
            if (!pending.empty()) {
                pending.append(data.substr(start, nl - start));
                emit(pending);
                pending.clear();
            } else {
                emit(data.substr(start, nl - start));
            }
        }
        pending.append(data.substr(start));
        out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
    }
    if (in.bad()) throw IoError(kScratchFile, "cannot read");
    lines.clear();
    emit(pending);
    out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
}

void WriteJpkContent(JpkRun& run, std::ostream& output) {
    LineWriter out(output, run.variant);
    WriteHeader(run, out, CreationTime(run.program));

    {
        FileStream scratch;
        if (!scratch.open(kScratchFile, "wb", kCopyBlock)) throw IoError(kScratchFile, "cannot create");
        LineWriter registers(scratch, run.variant);
        run.k.fill(0);
        run.countFlag = false;
        run.correctionFlag = false;
        const bool wrapped = run.variant != Variant::A;
        if (wrapped) registers.WriteTag(1, "Ewidencja");
        WriteSalesRegister(run, registers);
        WritePurchaseRegister(run, registers);
        if (wrapped) registers.WriteTag(1, "/Ewidencja");
        scratch.close();
        if (scratch.fail()) throw IoError(kScratchFile, "cannot write");
    }

    WriteDeclaration(run, out);
    CopyScratch(output);
    out.WriteTag(0, "/JPK");
}

// Repeats `attempt` until it succeeds, showing "Zajęty" and the output's
// name between tries; after the bounded time "Nie utworzono" and false.
bool RetryWhileBusy(Program& program, const std::string& output, const std::function<bool()>& attempt) {
    const std::int64_t start = program.sys.clock.steadyMs();
    while (!attempt()) {
        ShowStatus(program, "Zaj\xeaty \"" + output + "\"");  // "Zajęty"
        if (program.sys.clock.steadyMs() - start >= kBusyRetryLimitMs) {
            ShowStatus(program, "Nie utworzono \"" + output + "\"");
            return false;
        }
        program.sys.clock.sleepMs(kWaitMs);
    }
    return true;
}

// A rebuilt declaration never takes the place of an earlier one, which may be
// the one that was filed: the first earlier output becomes B + "_0.xml", each
// later one the next free number.
void KeepEarlierOutput(Program& program, const std::string& base, const std::string& output) {
    if (!FileExists(output)) return;
    for (unsigned long n = 0;; ++n) {
        const std::string earlier = base + "_" + std::to_string(n) + ".xml";
        if (RenameFileQuietly(output, earlier)) {
            ShowStatus(program, earlier);
            return;
        }
        std::error_code ec;
        if (!fs::exists(NativePath(earlier), ec)) return;  // the name was free: the output itself cannot move
    }
}

}  // namespace

bool BuildJpkFile(Program& program, RequestLines& request, std::string& missingLetters, std::string* notice) {
    JpkRun run(program, request);
    run.missingLetters = missingLetters;
    run.base = request.Line(2);
    run.period = PeriodOf(run.base);
    run.variant = VariantOf(run.period);
    run.quarterDigit = QuarterDigit(run.period);

    const std::string output = run.base + ".XML";
    const std::vector<fs::path> folders = RequestFolders(request);
    // A folder in the output's place only makes its write fail, as a locked
    // file does; a link or a name outside is refused.
    if (const std::string why = RefusedRequestName(output, folders, true); !why.empty()) {
        RefuseName(program, output, why);
        return false;
    }
    KeepEarlierOutput(program, run.base, output);

    // The file is written beside under a temporary name and takes the
    // output's name only when complete: a sibling program never reads half of
    // it, and a failed write leaves nothing in its place. A locked output
    // (open in another program) is retried for a bounded time, then the
    // command is given up.
    std::string temp;
    FileStream file;
    if (!RetryWhileBusy(program, output, [&] {
            temp = WritingNameFor(output);
            return file.open(temp, "wbx", kCopyBlock);
        })) {
        return false;
    }

    const std::string rounding = run.Key("DGr");
    run.rounding = rounding.empty() ? ' ' : rounding[0];
    if (run.rounding == 'B') run.rounding = 'N';
    run.quarterly = run.Key("Kwa") == "T";

    try {
        WriteJpkContent(run, file);
        file.close();
        if (file.fail()) throw IoError(output, "cannot write");
    } catch (const IoError&) {
        file.close();
        DeleteFileQuietly(temp);
        ShowStatus(program, "B\xb3\xb9" "d zapisu \"" + output + "\"");  // "Błąd zapisu"
        return false;
    }
    if (!RetryWhileBusy(program, output, [&] { return MoveOverQuietly(temp, output); })) {
        DeleteFileQuietly(temp);
        return false;
    }

    const std::string summary = run.Key("Dir") + "\\VAT7.tmp";
    if (!FileExists(summary) || !RefusedRequestName(summary, folders).empty()) {
        ShowStatus(program, "Brak  " + summary);
    } else {
        try {
            AppendFile(summary, SummaryLines(run));
        } catch (const IoError&) {
            ShowStatus(program, "Brak  " + summary);
        }
    }
    const std::string rows = ReportKsefRows(run);
    if (notice && !rows.empty()) *notice = rows;
    missingLetters = run.missingLetters;
    DropToRun(request);
    return true;
}

std::string ConvertLetters(std::string name) {
    static constexpr unsigned char kFrom[] = {0xC6, 0xBC, 0xC9, 0x9D, 0xB9, 0xFA, 0x9C, 0xED, 0xE1, 0xE6,
                                              0x8F, 0xC5, 0xE5, 0xA5, 0xF3, 0xD7, 0x9E, 0x8E, 0x20};
    // Ą Ć Ę Ł Ń Ó Ś Ż Ź ą ć ę ł ń ó ś ż ź and '-' in code page 1250.
    static constexpr unsigned char kTo[] = {0xA5, 0xC6, 0xCA, 0xA3, 0xD1, 0xD3, 0x8C, 0xAF, 0x8F, 0xB9,
                                            0xE6, 0xEA, 0xB3, 0xF1, 0xF3, 0x9C, 0xBF, 0x9F, '-'};
    for (char& c : name) {
        for (std::size_t i = 0; i < sizeof kFrom; ++i) {
            if (static_cast<unsigned char>(c) == kFrom[i]) {
                c = static_cast<char>(kTo[i]);
                break;
            }
        }
    }
    return name;
}

namespace {

// Whether the line is, apart from surrounding spaces, one whole element of a
// value that changes with every build: the creation time or the system name.
bool VolatileElement(std::string_view line) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    for (std::string_view tag : {"DataWytworzeniaJPK", "NazwaSystemu"}) {
        // "<" [prefix ":"] tag ">" value "</" [prefix ":"] tag ">", the value without '<'.
        if (line.size() < 2 || line.front() != '<' || line.back() != '>') continue;
        const std::size_t open = line.find('>');
        const std::size_t close = line.find("</");
        if (close == std::string_view::npos || close < open || line.find('<', open) != close) continue;
        std::string_view first = line.substr(1, open - 1);
        std::string_view last = line.substr(close + 2, line.size() - close - 3);
        if (first != last) continue;
        if (const std::size_t colon = first.find(':'); colon != std::string_view::npos) first.remove_prefix(colon + 1);
        if (first == tag) return true;
    }
    return false;
}

bool NextComparedLine(std::istream& in, std::string& line) {
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find("<!--") == std::string::npos) return true;
    }
    line.clear();
    return false;
}

// 0 same content apart from comments, creation time and system name;
// 1 different; 2 one of them cannot be opened.
int CompareJpkFiles(const std::string& newName, const std::string& target) {
    FileStream a, b;
    if (!a.open(newName, "rb") || !b.open(target, "rb")) return 2;
    std::string la, lb;
    for (;;) {
        const bool moreA = NextComparedLine(a, la);
        const bool moreB = NextComparedLine(b, lb);
        if (!moreA && !moreB) return 0;
        // Only the volatile element itself may differ, and only against the
        // same element: a file of such lines is not "the same" as any other.
        if (la != lb && !(VolatileElement(la) && VolatileElement(lb) && la.substr(0, la.find('>')) == lb.substr(0, lb.find('>')))) {
            return 1;
        }
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(NativePath(a), NativePath(b), ec) && !ec;
}

}  // namespace

bool ReplaceJpkFile(Program& program, RequestLines& request) {
    const std::string target = request.Line(2);
    const std::string newName = ConvertLetters(request.Line(3));
    const std::vector<fs::path> folders = RequestFolders(request);
    for (const std::string& name : {target, newName}) {
        if (const std::string why = RefusedRequestName(name, folders); !why.empty()) {
            RefuseName(program, name, why);
            return false;
        }
    }
    if (SameFile(target, newName)) {
        // Deleting the target would delete the only copy.
        request.DropFront(3);
        return true;
    }
    const int state = CompareJpkFiles(newName, target);
    if (state == 0) {
        // The next round of the command loop finds the target gone and renames.
        const std::int64_t start = program.sys.clock.steadyMs();
        for (;;) {
            if (DeleteFileQuietly(target)) {
                ShowStatus(program, target + " = " + newName);
                return true;
            }
            ShowStatus(program, "Zaj\xeaty \"" + target + "\"");
            if (program.sys.clock.steadyMs() - start >= kBusyRetryLimitMs) {
                ShowStatus(program, "Nie zast\xb9piono \"" + target + "\"");  // "Nie zastąpiono"
                return false;
            }
            program.sys.clock.sleepMs(kWaitMs);
        }
    }
    if (state == 1 && target.size() >= 4) {
        for (int i = 100; i <= 199; ++i) {
            std::string suffix = std::to_string(i);
            suffix[0] = '-';
            std::string copy = target;
            copy.insert(copy.size() - 4, suffix);
            std::error_code ec;
            if (!fs::exists(NativePath(copy), ec)) {
                RenameFileQuietly(target, copy);
                break;
            }
        }
    }
    if (RenameFileQuietly(newName, target)) ShowStatus(program, newName + " -> " + target);
    request.DropFront(3);
    return true;
}

namespace {

// Names of the programs that run what they are given: never started for a
// request, whatever an administrator lists.
bool IsShellOrInterpreter(std::string base) {
    base = LowerAscii(std::move(base));
    for (const char* suffix : {".exe", ".com", ".bat", ".cmd"}) {
        if (base.size() > 4 && base.compare(base.size() - 4, 4, suffix) == 0) base.resize(base.size() - 4);
    }
    while (!base.empty() && (std::isdigit(static_cast<unsigned char>(base.back())) || base.back() == '.'))
        base.pop_back();  // python3.11, perl5
    static constexpr std::string_view kRefused[] = {
        "sh", "bash", "dash", "zsh", "ksh", "csh", "tcsh", "fish", "busybox", "env", "su", "sudo", "xargs",
        "cmd", "command", "powershell", "pwsh", "wscript", "cscript", "mshta", "rundll", "regsvr", "wine",
        "python", "perl", "ruby", "node", "php", "lua", "tclsh", "wish", "awk", "gawk", "mawk", "java", "osascript"};
    for (std::string_view refused : kRefused) {
        if (base == refused) return true;
    }
    return false;
}

}  // namespace

bool MayRunProgram(const std::string& name, std::string_view allowed) {
    if (name.empty() || name.find_first_of("/\\:") != std::string::npos || name == "." || name == "..") return false;
    if (IsShellOrInterpreter(name)) return false;
    std::string base = name;
    if (base.size() > 4 && EqualsIgnoreCase(std::string_view(base).substr(base.size() - 4), ".exe")) base.resize(base.size() - 4);
    for (const char* sibling : {"WQA", "WQB", "WQC", "WQD", "WQE", "WQm", "WQn", "WQp"}) {
        if (EqualsIgnoreCase(base, sibling)) return true;
    }
    while (!allowed.empty()) {
        const std::size_t end = allowed.find(';');
        std::string_view entry = allowed.substr(0, end);
        allowed = end == std::string_view::npos ? std::string_view() : allowed.substr(end + 1);
        while (!entry.empty() && entry.front() == ' ') entry.remove_prefix(1);
        while (!entry.empty() && entry.back() == ' ') entry.remove_suffix(1);
        if (!entry.empty() && EqualsIgnoreCase(entry, name)) return true;
    }
    return false;
}

void RunProgramCommand(Program& program, const RequestLines& request, const std::string& missingLetters) {
    const std::string& folder = request.Line(2);
    const std::string& name = request.Line(3);
    const char* allowed = std::getenv(kRunAllowVariable);
    if (!name.empty() && !MayRunProgram(name, allowed ? allowed : "")) {
        ReportStartRefusal(program, name, folder);
        return;
    }
    RememberDir();
    std::error_code ec;
    fs::current_path(NativePath(folder), ec);
    if (folder.empty() || ec) {
        ShowStatus(program, "Nie ma  " + folder);
        return;
    }
    std::string path = name;
    const std::string qa = "..\\..\\!QA!\\" + name;
    if (FileExists(qa)) path = qa;
    std::string refusal;
    if (name.empty() || !FileExists(path)) {
        ShowStatus(program, "Nie ma  " + path);
    } else if ((refusal = StartRefusal(path)).empty()) {
        RunCommand(program, path + " " + request.Line(4) + " " + missingLetters);
        ShowStatus(program, "Start  " + name + "  dla  " + folder);
    }
    RestoreDir();
    if (!refusal.empty()) ReportStartRefusal(program, name + "  (" + folder + ")", refusal);
}

bool RunRequest(Program& program, const std::string& requestFile) {
    if (!FileExists(requestFile)) return false;
    BusyGuard busy(program);
    std::string missingLetters;
    std::string notice;  // what the user must see to before filing the file built
    platform::Clock& clock = program.sys.clock;

    bool filled = false;
    for (int i = 0; i < 5 && !filled; ++i) {
        clock.sleepMs(kWaitMs);
        filled = FileSize(requestFile) >= 1;
    }
    if (!filled) return false;
    clock.sleepMs(kWaitMs);
    const auto text = TryReadFile(requestFile, kJobFileLimit);
    if (!text) {
        // Kept for whoever wrote it; it is not read while it is that large.
        if (FileLargerThan(requestFile, kJobFileLimit)) ShowStatus(program, TooLargeMessage(requestFile));
        return false;
    }
    RequestLines request;
    const bool whole = request.Load(*text);

    bool deleted = false;
    for (int i = 0; i < 50 && !deleted; ++i) {
        clock.sleepMs(kWaitMs);
        deleted = DeleteFileQuietly(requestFile);
    }
    if (!deleted) return false;
    if (!whole) {
        ShowStatus(program, std::string(kRequestFile) + ": ponad 199 wierszy, reszta pomini\xeata");  // "pominięta"
    }

    for (;;) {
        const std::string& first = request.Line(1);
        if (first == "Run") {
            RunProgramCommand(program, request, missingLetters);
            // The message of a started program must not hide it; one that
            // says why nothing started stays.
            if (!notice.empty() && program.sys.status.text().rfind("Start  ", 0) == 0) ShowStatus(program, notice);
            return true;
        }
        if (first == "Ren") {
            if (!ReplaceJpkFile(program, request)) return false;
        } else if (first == "Int") {
            if (!BuildJpkFile(program, request, missingLetters, &notice)) return false;
        } else {
            request.DropFront(1);
            if (request.FirstThreeEmpty()) return false;
        }
    }
}

bool RunRequestFile(Program& program) {
    // A request still being written waits for a later tick, as a job does.
    if (!FileExists(kRequestFile) || CheckJobFile(program, kRequestFile) != JobFileState::Ready ||
        !JobFileFree(kRequestFile))
        return false;
    return RunRequest(program, kRequestFile);
}

namespace {

// Prints every status message whole, one per line.
class PrintedStatus : public platform::StatusLine {
public:
    explicit PrintedStatus(std::ostream& out) : out_(out) {}
    std::string text() override { return text_; }
    void setText(const std::string& text) override {
        text_ = text;
        out_ << Cp1250ToUtf8(text) << '\n';
    }
    bool fits(const std::string&) override { return true; }
    void setHint(const std::string&) override {}

private:
    std::ostream& out_;
    std::string text_;
};

// The system clock with a fixed date and time, so that a run repeats byte for byte.
class FixedNowClock : public platform::Clock {
public:
    FixedNowClock(platform::Clock& base, platform::DateTime now) : base_(base), now_(now) {}
    platform::DateTime now() override { return now_; }
    std::string longTimeText() override { return base_.longTimeText(); }
    void sleepMs(int ms) override { base_.sleepMs(ms); }
    std::int64_t steadyMs() override { return base_.steadyMs(); }

private:
    platform::Clock& base_;
    platform::DateTime now_;
};

}  // namespace

int RunJpkCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string where;
    std::string now;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--now" && i + 1 < args.size()) {
            now = args[++i];
        } else if (where.empty() && args[i].rfind("--", 0) != 0) {
            where = args[i];
        } else {
            err << "usage: vel-job request [DIR|REQUESTFILE] [--now YYYY-MM-DDTHH:MM:SS]\n";
            return 2;
        }
    }
    platform::DateTime fixed;
    if (!now.empty() && std::sscanf(now.c_str(), "%d-%d-%dT%d:%d:%d", &fixed.year, &fixed.month, &fixed.day,
                                     &fixed.hour, &fixed.minute, &fixed.second) != 6) {
        err << "vel-job request: --now takes YYYY-MM-DDTHH:MM:SS\n";
        return 2;
    }

    PrintedStatus status(out);
    FixedNowClock fixedClock(program.sys.clock, fixed);
    platform::Clock& clock = now.empty() ? program.sys.clock : fixedClock;
    Program job(Services{program.sys.printer, program.sys.clipboard, program.sys.shell, clock, program.sys.events,
                         status, program.sys.spreadsheet, program.sys.ksefView, program.sys.chartView},
                program.jobs);
    job.state = program.state;

    std::string folder = ".";
    std::string file = kRequestFile;
    if (!where.empty()) {
        std::error_code ec;
        const fs::path path = NativePath(where);
        if (fs::is_directory(path, ec)) {
            folder = NameFromPath(path);
        } else {
            folder = path.has_parent_path() ? NameFromPath(path.parent_path()) : ".";
            file = NameFromPath(path.filename());
        }
    }
    const fs::path previous = fs::current_path();
    std::error_code ec;
    fs::current_path(NativePath(folder), ec);
    if (ec) {
        err << "vel-job request: no folder " << folder << "\n";
        return 1;
    }
    if (!FileExists(file)) {
        fs::current_path(previous, ec);
        err << "vel-job request: no request file " << file << " in " << folder << "\n";
        return 1;
    }
    int code = 0;
    try {
        RunRequest(job, file);
    } catch (const IoError& e) {
        err << "vel-job request: " << e.what() << "\n";
        code = 1;
    }
    fs::current_path(previous, ec);
    return code;
}

}  // namespace vel::jpk
