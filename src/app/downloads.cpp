#include "app/downloads.h"

#include "common/commands.h"
#include "common/format.h"
#include "common/io.h"
#include "common/program.h"
#include "common/status.h"
#include "common/trace.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/shell.h"
#include "platform/status_line.h"
#include "rates/rates.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace vel::app {

namespace {

constexpr char kSeparator = platform::kPathSeparator;

constexpr const char* kMarkerFile = "Temp.{-}";
constexpr const char* kFolderFile = "Dwn.{-}";
constexpr const char* kFailedText = "Co\x9c nie wysz\xb3o";                    // "Coś nie wyszło"
constexpr const char* kTooShortText = "15 sekund to za ma\xb3o?";              // "15 sekund to za mało?"
constexpr const char* kNewFunctionText = "ooo! nowa funkcja...";

// The download being fetched, as the start step set it up; the completion
// step takes it from here so that both steps agree even across New Year.
struct Pending {
    const Program* owner = nullptr;
    int kind = -1;
    DownloadTarget target;
};
Pending g_pending;

// Nested ticks may come while a step runs (the status line lets messages
// run); they must not run the same step a second time.
bool g_starting = false;
bool g_completing = false;

std::optional<SearchPlaces> g_placesOverride;

class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagGuard() { flag_ = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& flag_;
};

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += kSeparator;
    return folder;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    const std::string la = LowerAscii(a), lb = LowerAscii(b);
    return la != lb ? la < lb : a < b;
}

// The files of a folder that match, in a fixed order (the folder listing of
// this system has none of its own).
std::vector<std::string> MatchingFiles(const std::string& pattern) {
    std::vector<std::string> names = FindFiles(pattern);
    std::sort(names.begin(), names.end(), LessIgnoringCase);
    return names;
}

// A folder as the walk joins it, whichever separator it was written with,
// and on Windows without regard to case, as its names are.
std::string Comparable(std::string folder) {
    for (char& c : folder) {
        if (c == '/' || c == '\\') c = kSeparator;
    }
    return platform::kWindowsFileSystem ? LowerAscii(folder) : folder;
}

bool IsProgram(int kind) { return kind == kProgramUpdate || kind == kWox || kind == kWzkl; }

SearchPlaces CurrentPlaces() { return g_placesOverride ? *g_placesOverride : DefaultSearchPlaces(); }

std::optional<DownloadTarget> CurrentTarget(Program& program) {
    if (g_pending.owner == &program && g_pending.kind == program.state.downloadKind) return g_pending.target;
    return TargetOfKind(program, program.state.downloadKind);
}

// One pass over the search places, bounded by the download countdown, which
// the nested ticks count down while the status line shows the folders.
class DriveSearch {
public:
    DriveSearch(Program& program, std::string pattern, std::int64_t notBefore, std::vector<std::string> excluded)
        : program_(program), pattern_(std::move(pattern)), notBefore_(notBefore), excluded_(std::move(excluded)) {}

    bool found() const { return found_; }

    void walk(const std::string& folder) {
        ProgramState& state = program_.state;
        if (state.downloadCountdown == 0 || found_) return;
        if (folder.size() < 20) {
            ShowStatus(program_, " " + std::to_string(state.downloadCountdown) + " " + folder);
            TraceNote(folder, static_cast<std::int16_t>(state.downloadCountdown));
        }
        for (const std::string& name : MatchingFiles(folder + pattern_)) {
            if (PackedFileTime(folder + name) > notBefore_) {
                found_ = true;
                state.downloadFolder = folder;
                break;
            }
        }
        if (found_) return;
        std::vector<std::string> subfolders;
        for (const DirEntry& entry : FindEntries(folder + "*.*")) {
            std::error_code ec;
            if (!entry.isDir || entry.hidden || fs::is_symlink(NativePath(folder + entry.name), ec)) continue;
            subfolders.push_back(entry.name);
        }
        std::sort(subfolders.begin(), subfolders.end(), LessIgnoringCase);
        for (const std::string& name : subfolders) {
            if (found_) break;
            if (mayDescendFrom(folder) && name.front() != '.') walk(folder + name + kSeparator);
        }
    }

private:
    // Deep paths and the system's own folders are looked into but not below.
    // Folders are compared as the walk joins them, whichever separator a
    // root or an excluded folder was written with, and on Windows without
    // regard to case, as its names are.
    bool mayDescendFrom(const std::string& folder) const {
        if (folder.size() >= 70) return false;
        const std::string walked = Comparable(folder);
        return std::none_of(excluded_.begin(), excluded_.end(), [&](const std::string& prefix) {
            return walked.rfind(Comparable(prefix), 0) == 0;
        });
    }

    Program& program_;
    std::string pattern_;
    std::int64_t notBefore_;
    std::vector<std::string> excluded_;
    bool found_ = false;
};

// Looks for the download over the search places; on success the download
// folder is where it lies. scan_busy keeps the nested ticks to the clock and
// the countdown while it runs.
bool SearchDrives(Program& program, const SearchPlaces& places, const DownloadTarget& target, std::int64_t t0) {
    FlagGuard busy(program.state.scanBusy);
    TraceReset();
    // About 18 seconds before the request: the packed times count seconds in twos.
    DriveSearch search(program, SearchPatternOf(target.remote), t0 - 9, places.excluded);
    for (const std::string& root : places.roots) {
        search.walk(root);
        if (search.found()) break;
    }
    ShowStatus(program, search.found() ? program.state.downloadFolder + target.remote : std::string(kTooShortText));
    return search.found();
}

void AfterDownloadOf(Program& program, int kind, const std::optional<DownloadTarget>& target) {
    switch (kind) {
        // A downloaded program starts only where the work folder's writers
        // cannot put another in its place.
        case kProgramUpdate:
            if (!MayStart(program, target->local)) return;
            StartFile(program, target->local);
            if (program.jobs.closeMainWindow) program.jobs.closeMainWindow(program);
            return;
        case kWox:
        case kWzkl:
            if (MayStart(program, target->local)) StartFile(program, target->local);
            return;
        case kPreviousYearRates:
        case kCurrentYearRates: {
            const bool converted = rates::ConvertRateArchive(program, target->year);
            if (converted && kind == kCurrentYearRates && program.jobs.showRateCharts) {
                program.jobs.showRateCharts(program);
            }
            return;
        }
        default:
            ShowStatus(program, kNewFunctionText);
    }
}

}  // namespace

std::optional<DownloadTarget> TargetOfKind(Program& program, int kind) {
    DownloadTarget t;
    switch (kind) {
        case kProgramUpdate:
            t = {"Vel.exe", std::string(kUpdateServerBase), "vel.ex", {}};
            break;
        case kWox:
            t = {"Wox.exe", std::string(kUpdateServerBase), "wox.ex", {}};
            break;
        case kWzkl:
            t = {"Wzkl.exe", std::string(kUpdateServerBase), "wzkl.ex", {}};
            break;
        case kPreviousYearRates:
        case kCurrentYearRates: {
            t.year = kind == kCurrentYearRates ? rates::CurrentYear(program) : rates::PreviousYear(program);
            t.local = t.remote = rates::ArchiveName(t.year);
            t.base = std::string(kRateArchiveBase);
            break;
        }
        default:
            return std::nullopt;
    }
    return t;
}

void RequestDownload(Program& program, int kind) {
    program.state.downloadKind = static_cast<std::uint16_t>(kind);
    program.state.downloadCountdown = 45;
}

void StartFile(Program& program, const std::string& name) {
    ShowStatus(program, "Uruchomi\xb3" "em  " + name);  // "Uruchomiłem  "
    program.sys.shell.open(name, "", "", platform::ShowMode::Normal);
}

void DownloadStart(Program& program) {
    if (g_starting) return;
    FlagGuard starting(g_starting);
    const int kind = program.state.downloadKind;
    const std::optional<DownloadTarget> target = TargetOfKind(program, kind);
    if (!target) {
        program.state.downloadCountdown = 0;
        ShowStatus(program, kNewFunctionText);
        return;
    }
    // The marker's time is the moment of the request: a saved file older than
    // that is an earlier download.
    WriteFile(program.workPath(kMarkerFile), "");
    g_pending = {&program, kind, *target};
    program.sys.status.setHint("\x8c" "ci\xb9gam \"" + target->local + "\"");  // "Ściągam"
    StartFile(program, target->base + target->remote);
}

void DownloadComplete(Program& program) {
    if (g_completing) return;
    FlagGuard completing(g_completing);
    // The kind is taken now: a request made while this step runs starts a
    // download of its own and must not change what follows this one.
    const int kind = program.state.downloadKind;
    const std::optional<DownloadTarget> target = CurrentTarget(program);
    if (!target) return;

    const std::int64_t t0 = PackedFileTime(program.workPath(kMarkerFile));
    std::string& folder = program.state.downloadFolder;
    SearchPlaces places = CurrentPlaces();
    // A program comes only from the user's own download folder; a remembered
    // folder that is another one is the work folder's writers' word only.
    std::string ignored;
    if (IsProgram(kind)) {
        if (!folder.empty() && Comparable(folder) != Comparable(places.downloads)) ignored = folder;
        folder = places.downloads;
        places.roots.clear();
        if (!folder.empty()) places.roots.push_back(folder);
        places.excluded = places.roots;
    }
    // Said after the search, which begins the trace anew.
    const auto noteIgnored = [&] {
        if (ignored.empty()) return;
        try {
            AppendFile("Vel.err", " Odmowa  " + std::string(kFolderFile) + "  (" + ignored +
                                      " is not the user's own download folder " + places.downloads + ")\r\n");
        } catch (const IoError&) {
            // Nothing is taken from there either way.
        }
    };
    std::string pattern = target->remote;
    const bool inRememberedFolder =
        !folder.empty() && FileExists(folder + target->remote) && PackedFileTime(folder + target->remote) >= t0;
    if (!inRememberedFolder) {
        pattern = SearchPatternOf(target->remote);
        if (!SearchDrives(program, places, *target, t0)) {
            noteIgnored();
            ShowStatus(program, kFailedText);
            return;
        }
        TryWriteFile(program.workPath(kFolderFile), folder);  // not remembered when it cannot be written
    }
    noteIgnored();
    ShowStatus(program, folder + target->remote);

    // Older copies go; of the new ones the last in folder order is taken.
    std::string chosen;
    for (const std::string& name : MatchingFiles(folder + pattern)) {
        if (PackedFileTime(folder + name) <= t0 - 9) {
            DeleteFile(folder + name);
        } else {
            chosen = name;
        }
    }
    if (chosen.empty()) {  // the file went away meanwhile
        ShowStatus(program, kFailedText);
        return;
    }
    // A program is taken only from where no one but the user (or the
    // administrator) could have put it: the user's own download folder may
    // still be open to others.
    if (IsProgram(kind)) {
        if (const std::string why = StartRefusal(folder + chosen); !why.empty()) {
            ReportStartRefusal(program, folder + chosen, why);
            return;
        }
    }
    MoveReplaceFile(folder + chosen, target->local);
    ShowStatus(program, "\x8c" "ci\xb9gni\xeaty  \"" + target->remote + "\"");  // "Ściągnięty"
    AfterDownloadOf(program, kind, target);
}

void AfterDownload(Program& program) {
    const int kind = program.state.downloadKind;
    AfterDownloadOf(program, kind, TargetOfKind(program, kind));
}

std::string SearchPatternOf(std::string_view remoteName) {
    std::string pattern(remoteName);
    const std::size_t dot = pattern.find('.');
    pattern.insert(dot == std::string::npos ? pattern.size() : dot, "*");
    return pattern;
}

std::int64_t PackedFileTime(std::string_view name) {
    std::error_code ec;
    const fs::file_time_type written = fs::last_write_time(NativePath(name), ec);
    if (ec) return 0;
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
    const platform::DateTime local = platform::LocalTimeOf(seconds);
    const std::int64_t year = local.year - 1980;
    return (year << 25) | (static_cast<std::int64_t>(local.month) << 21) |
           (static_cast<std::int64_t>(local.day) << 16) | (static_cast<std::int64_t>(local.hour) << 11) |
           (static_cast<std::int64_t>(local.minute) << 5) | (local.second / 2);
}

std::string UserDownloadFolder() {
    const fs::path folder = platform::UserDownloadsFolder();
    return folder.empty() ? std::string() : WithSeparator(NameFromPath(folder));
}

SearchPlaces DefaultSearchPlaces() {
    SearchPlaces places;
    places.downloads = UserDownloadFolder();
    if (platform::kWindowsFileSystem) {
        for (char drive = 'C'; drive <= 'Z'; ++drive) places.roots.push_back(std::string(1, drive) + ":\\");
        // The system's own folders, not every folder whose name starts with
        // a W or a P ("C:\Pobrane" is where a browser may save downloads).
        places.excluded = {"C:\\Windows\\", "C:\\Program Files\\", "C:\\Program Files (x86)\\",
                           "C:\\ProgramData\\"};
        return places;
    }
    std::vector<std::string> candidates;
    candidates.push_back(places.downloads);
    if (const char* home = std::getenv("HOME"); home && *home) candidates.push_back(WithSeparator(home));
    candidates.push_back("/media/");
    candidates.push_back("/mnt/");
    for (const std::string& root : candidates) {
        std::error_code ec;
        if (root.empty() || !fs::is_directory(root, ec)) continue;
        if (std::find(places.roots.begin(), places.roots.end(), root) != places.roots.end()) continue;
        places.roots.push_back(root);
    }
    places.excluded = {"/proc/", "/sys/", "/dev/", "/usr/", "/var/", "/run/", "/boot/", "/snap/"};
    return places;
}

void SetSearchPlaces(std::optional<SearchPlaces> places) { g_placesOverride = std::move(places); }

}  // namespace vel::app
