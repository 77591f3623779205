// The download steps as the timer drives them, with a stand-in browser that
// saves the file into a folder a few ticks after it was asked to open the
// address, and the search over the places where a browser may save.
#include "app/downloads.h"

#include "common/io.h"
#include "common/program.h"
#include "platform/file_system.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vel::app {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::ScopedTempDir;
using test::TestProgram;
using test::WriteAll;

// A folder below a search root ("home/") as the walk joins it: with this
// system's separator, whichever the root was written with.
std::string Walked(std::string folder) {
    const std::size_t root = folder.find('/') + 1;
    std::replace(folder.begin() + static_cast<std::ptrdiff_t>(root), folder.end(), '/', platform::kPathSeparator);
    return folder;
}

const std::string kFailed = "Co\x9c nie wysz\xb3o";
const std::string kTooShort = "15 sekund to za ma\xb3o?";

void MakeOld(const fs::path& file) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(5));
}

class DownloadSteps : public ::testing::Test {
protected:
    void SetUp() override {
        tp.clock.set({2026, 3, 10, 12, 0, 0, 0, 2});
        tp.program.jobs.closeMainWindow = [this](Program&) { ++closes; };
        tp.program.jobs.showRateCharts = [this](Program&) { ++charts; };
        // The browser: asked for an address, it saves the file `saveDelay` ticks later.
        tp.shell.onStart = [this](const std::string& target, const std::string&) {
            if (target.rfind("http", 0) == 0 && !saveAs.empty()) browserTicksLeft = saveDelay;
        };
        // While the search runs, every pass of the message loop is a timer tick
        // that only counts the countdown down.
        tp.events.onPending = [this] {
            if (tp.program.state.scanBusy || nestedAlways) tick();
        };
        fs::create_directories("dl");
        fs::create_directories("home");
        SetSearchPlaces(SearchPlaces{{"dl/", "home/"}, {}, "dl/"});
    }
    void TearDown() override { SetSearchPlaces(std::nullopt); }

    // Steps 2 and 3 of the timer tick.
    void tick() {
        ProgramState& s = tp.program.state;
        if (s.downloadCountdown == 45) DownloadStart(tp.program);
        if (s.downloadCountdown > 0) {
            --s.downloadCountdown;
            if (s.scanBusy || s.downloadCountdown > 40) return;
            if (s.downloadCountdown == 40) DownloadComplete(tp.program);
        }
    }

    void runDownload(int kind) {
        RequestDownload(tp.program, kind);
        for (int i = 0; i < 50; ++i) {
            if (browserTicksLeft > 0 && --browserTicksLeft == 0) WriteAll(saveAs, "new");
            tick();
        }
    }

    bool statusShown(const std::string& text) const {
        const auto& h = tp.status.history;
        return std::find(h.begin(), h.end(), text.substr(0, 37)) != h.end();
    }
    std::size_t statusIndex(const std::string& text) const {
        const auto& h = tp.status.history;
        return std::find(h.begin(), h.end(), text.substr(0, 37)) - h.begin();
    }

    ScopedTempDir dir;
    TestProgram tp;
    std::string saveAs;
    int saveDelay = 2;
    int browserTicksLeft = 0;
    bool nestedAlways = false;
    int closes = 0;
    int charts = 0;
};

TEST_F(DownloadSteps, UpdateFoundInTheRememberedFolder) {
    WriteAll("Vel.exe", "old");
    tp.program.state.downloadFolder = "dl/";
    saveAs = "dl/vel.ex";
    runDownload(kProgramUpdate);

    ASSERT_GE(tp.shell.opened.size(), 2u);
    EXPECT_EQ(tp.shell.opened[0].target, std::string(kUpdateServerBase) + "vel.ex");
    EXPECT_EQ(tp.status.hint, "\x8c" "ci\xb9gam \"Vel.exe\"");
    EXPECT_TRUE(fs::exists("Temp.{-}"));
    EXPECT_EQ(ReadAll("Vel.exe"), "new");
    EXPECT_EQ(ReadAll("Vel.~exe"), "old");
    EXPECT_FALSE(fs::exists("dl/vel.ex"));
    EXPECT_FALSE(fs::exists("Vel.err"));  // no search ran
    EXPECT_TRUE(statusShown("dl/vel.ex"));
    EXPECT_TRUE(statusShown("\x8c" "ci\xb9gni\xeaty  \"vel.ex\""));
    // The new version is started and this one closes.
    EXPECT_EQ(tp.shell.opened[1].target, "Vel.exe");
    EXPECT_TRUE(statusShown("Uruchomi\xb3" "em  Vel.exe"));
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(tp.program.state.downloadCountdown, 0);
}

// The user's own download folder may be open to others: a program found
// where others may write is neither moved into place nor started.
TEST_F(DownloadSteps, UpdateInAFolderOthersMayWriteIsNeitherTakenNorStarted) {
    if (vel::test::OnWindows())
        GTEST_SKIP() << "POSIX permissions set no access list on Windows: tests/win32 checks the access lists";
    WriteAll("Vel.exe", "old");
    tp.program.state.downloadFolder = "dl/";
    fs::permissions("dl", fs::perms::all);
    saveAs = "dl/vel.ex";
    runDownload(kProgramUpdate);
    EXPECT_EQ(ReadAll("Vel.exe"), "old");
    EXPECT_TRUE(fs::exists("dl/vel.ex"));
    ASSERT_EQ(tp.shell.opened.size(), 1u);  // the browser only
    EXPECT_TRUE(statusShown("Odmowa startu  dl/vel.ex"));
    EXPECT_EQ(closes, 0);
}

// "Dwn.{-}" lies in the work folder: its writers may name a folder of their
// own, closed to everyone else, and leave a "vel.ex" there. A program is
// taken only from the user's own download folder, and the trace says the
// remembered one was passed over.
TEST_F(DownloadSteps, ProgramIsTakenOnlyFromTheUsersOwnDownloadFolder) {
    struct Case {
        const char* name;
        bool savedToo;  // the browser saves the download into the user's folder
        const char* wanted;
    } const cases[] = {
        {"planted only", false, "old"},
        {"saved by the browser too", true, "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTempDir fresh;
        fs::create_directories("dl");
        fs::create_directories("theirs");
        tp.shell.opened.clear();
        closes = 0;
        WriteAll("Vel.exe", "old");
        tp.program.state.downloadFolder = "theirs/";
        saveAs = c.savedToo ? "dl/vel.ex" : "";
        tp.shell.onStart = [this](const std::string& target, const std::string&) {
            if (target.rfind("http", 0) != 0) return;
            WriteAll("theirs/vel.ex", "planted");
            if (!saveAs.empty()) browserTicksLeft = saveDelay;
        };
        runDownload(kProgramUpdate);
        EXPECT_EQ(ReadAll("Vel.exe"), c.wanted);
        EXPECT_EQ(ReadAll("theirs/vel.ex"), "planted");
        EXPECT_EQ(closes, c.savedToo ? 1 : 0);
        EXPECT_EQ(tp.shell.opened.size(), c.savedToo ? 2u : 1u);
        EXPECT_NE(ReadAll("Vel.err").find(" Odmowa  Dwn.{-}  (theirs/ is not the user's own download folder dl/)"),
                  std::string::npos)
            << ReadAll("Vel.err");
    }
}

TEST_F(DownloadSteps, RenamedCopyFoundByTheSearchAndOldCopiesRemoved) {
    WriteAll("Vel.exe", "old");
    tp.program.state.downloadFolder = "dl/";
    fs::create_directories("home/Pobrane");
    WriteAll("dl/vel.ex", "earlier");  // from an earlier update: the exact name is old
    MakeOld("dl/vel.ex");
    WriteAll("home/Pobrane/vel.ex", "earlier too");
    MakeOld("home/Pobrane/vel.ex");
    saveAs = "dl/vel (1).ex";
    runDownload(kProgramUpdate);

    EXPECT_EQ(ReadAll("Vel.exe"), "new");
    EXPECT_EQ(tp.program.state.downloadFolder, "dl/");
    EXPECT_EQ(ReadAll("Dwn.{-}"), "dl/");
    EXPECT_FALSE(fs::exists("dl/vel.ex"));       // the old copy where the file was found
    EXPECT_FALSE(fs::exists("dl/vel (1).ex"));   // moved into place
    EXPECT_EQ(ReadAll("home/Pobrane/vel.ex"), "earlier too");  // another folder is left alone
    EXPECT_TRUE(statusShown(" 40 dl/"));
    EXPECT_FALSE(statusShown(" 39 home/"));  // a program is looked for in the download folder only
    EXPECT_TRUE(statusShown("dl/vel.ex"));
    EXPECT_TRUE(fs::exists("Vel.err"));
    EXPECT_FALSE(tp.program.state.scanBusy);
    EXPECT_EQ(closes, 1);
}

TEST_F(DownloadSteps, NothingSavedRunsTheSearchOutAndChangesNothing) {
    WriteAll("archiwum_tab_a_2025.csv", "old");
    tp.program.state.downloadFolder = "dl/";
    for (int i = 0; i < 60; ++i) fs::create_directories("home/f" + std::to_string(100 + i));
    runDownload(kPreviousYearRates);

    EXPECT_EQ(ReadAll("archiwum_tab_a_2025.csv"), "old");
    EXPECT_FALSE(fs::exists(BackupName("archiwum_tab_a_2025.csv")));
    ASSERT_TRUE(statusShown(kTooShort));
    ASSERT_TRUE(statusShown(kFailed));
    EXPECT_LT(statusIndex(kTooShort), statusIndex(kFailed));
    // One folder shown per nested tick, from 40 down to 1; then the countdown
    // is out and the remaining folders are not visited.
    std::vector<std::string> shown;
    for (const std::string& s : tp.status.history) {
        if (s.size() > 1 && s[0] == ' ' && std::isdigit(static_cast<unsigned char>(s[1]))) shown.push_back(s);
    }
    ASSERT_EQ(shown.size(), 40u);
    EXPECT_EQ(shown.front(), " 40 dl/");
    EXPECT_EQ(shown[1], " 39 home/");
    EXPECT_EQ(shown.back(), " 1 " + Walked("home/f137/"));
    EXPECT_EQ(tp.shell.opened.size(), 1u);  // only the browser
    EXPECT_FALSE(fs::exists("Kurs2025"));
    EXPECT_FALSE(fs::exists("Dwn.{-}"));
    EXPECT_FALSE(tp.program.state.scanBusy);
}

TEST_F(DownloadSteps, WalkLooksIntoButNotBelowDeepAndExcludedFolders) {
    const std::string longName(62, 'x');  // "home/" + 62 + "/" = 68: may descend
    const std::string longer(64, 'y');    // "home/" + 64 + "/" = 70: may not
    struct Case {
        const char* name;
        std::string saveAt;
        bool found;
    };
    const Case cases[] = {
        {"in an excluded folder itself", "home/sys/", true},
        {"below an excluded folder", "home/sys/deep/", false},
        {"in a folder of 68 characters", "home/" + longName + "/", true},
        {"below a folder of 68 characters", "home/" + longName + "/sub/", true},
        {"in a folder of 70 characters", "home/" + longer + "/", true},
        {"below a folder of 70 characters", "home/" + longer + "/sub/", false},
        {"in a hidden folder", "home/.cache/", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTempDir fresh;
        fs::create_directories("dl");
        fs::create_directories(c.saveAt);
        SetSearchPlaces(SearchPlaces{{"dl/", "home/"}, {"home/sys/"}, ""});
        tp.program.state.downloadFolder.clear();
        tp.status.history.clear();
        WriteAll("archiwum_tab_a_2025.csv", "old");
        saveAs = c.saveAt + "archiwum_tab_a_2025.csv";
        runDownload(kPreviousYearRates);
        EXPECT_EQ(ReadAll("archiwum_tab_a_2025.csv"), c.found ? "new" : "old");
        EXPECT_EQ(tp.program.state.downloadFolder, c.found ? Walked(c.saveAt) : "");
    }
}

TEST_F(DownloadSteps, RateArchiveOfTheCurrentYearIsConvertedAndChartsShown) {
    tp.clock.set({2027, 1, 4, 10, 0, 0, 0, 1});
    tp.program.state.downloadFolder = "dl/";
    saveAs = "dl/archiwum_tab_a_2027.csv";
    tp.shell.onStart = [this](const std::string& target, const std::string&) {
        if (target.rfind("http", 0) != 0) return;
        browserTicksLeft = 0;
        WriteAll(saveAs, "data;1USD;nr;numer;\r\n;dolar;\r\n20270104;4,1012;1;001/A/NBP/2027;\r\nl;1;\r\n");
    };
    runDownload(kCurrentYearRates);
    ASSERT_FALSE(tp.shell.opened.empty());
    EXPECT_EQ(tp.shell.opened[0].target, std::string(kRateArchiveBase) + "archiwum_tab_a_2027.csv");
    EXPECT_TRUE(fs::exists("archiwum_tab_a_2027.csv"));
    EXPECT_EQ(ReadAll("Kurs2027"), "USD  39085  04-01-2027  4.1012  001/A/NBP/2027  dolar 1USD\r\n");
    EXPECT_TRUE(statusShown("Tabela NBP wczytana  i zapisana  ( 2027 )"));
    EXPECT_EQ(charts, 1);
}

TEST_F(DownloadSteps, EveryKindHasItsAfterStep) {
    tp.clock.set({2026, 5, 4, 10, 0, 0, 0, 1});
    const std::string archive = "data;1USD;nr;numer;\r\n;dolar;\r\n20250102;4,0;1;001/A/NBP/2025;\r\nl;1;\r\n";
    struct Case {
        const char* name;
        int kind;
        std::string opened;  // empty: nothing started
        int closes;
        int charts;
        std::string status;
    };
    const Case cases[] = {
        {"update", kProgramUpdate, "Vel.exe", 1, 0, "Uruchomi\xb3" "em  Vel.exe"},
        {"Wox", kWox, "Wox.exe", 0, 0, "Uruchomi\xb3" "em  Wox.exe"},
        {"Wzkl", kWzkl, "Wzkl.exe", 0, 0, "Uruchomi\xb3" "em  Wzkl.exe"},
        {"previous year's rates", kPreviousYearRates, "", 0, 0, "Tabela NBP wczytana  i zapisana  ( 2025 )"},
        {"current year's rates, no archive", kCurrentYearRates, "", 0, 0, "Nie ma pliku archiwum_tab_a_2026.csv"},
        {"unknown", 9, "", 0, 0, "ooo! nowa funkcja..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTempDir fresh;
        WriteAll("archiwum_tab_a_2025.csv", archive);
        tp.shell.opened.clear();
        closes = charts = 0;
        tp.program.state.downloadKind = static_cast<std::uint16_t>(c.kind);
        AfterDownload(tp.program);
        if (c.opened.empty()) {
            EXPECT_TRUE(tp.shell.opened.empty());
        } else {
            ASSERT_EQ(tp.shell.opened.size(), 1u);
            EXPECT_EQ(tp.shell.opened[0].target, c.opened);
        }
        EXPECT_EQ(closes, c.closes);
        EXPECT_EQ(charts, c.charts);
        EXPECT_EQ(tp.status.history.back(), c.status.substr(0, 37));
        EXPECT_EQ(fs::exists("Kurs2025"), c.kind == kPreviousYearRates);
    }
}

TEST_F(DownloadSteps, NestedTicksDoNotStartTheBrowserTwice) {
    nestedAlways = true;  // every status message lets a tick run
    tp.program.state.downloadFolder = "dl/";
    saveAs = "dl/wox.ex";
    saveDelay = 1;
    runDownload(kWox);
    const auto browser = std::count_if(tp.shell.opened.begin(), tp.shell.opened.end(),
                                       [](const auto& call) { return call.target.rfind("http", 0) == 0; });
    EXPECT_EQ(browser, 1);
    EXPECT_EQ(ReadAll("Wox.exe"), "new");
}

TEST_F(DownloadSteps, RequestDuringTheSearchDoesNotChangeWhatFollowsTheRunningOne) {
    // The user asks for the rates while the search for an update runs: the
    // update still ends as an update, and the rate download starts on its own.
    WriteAll("Vel.exe", "old");
    saveAs = "dl/vel (1).ex";  // not the exact name: the search runs
    bool asked = false;
    tp.events.onPending = [this, &asked] {
        ProgramState& s = tp.program.state;
        if (s.scanBusy && s.downloadCountdown == 39 && !asked) {
            asked = true;
            RequestDownload(tp.program, kCurrentYearRates);
        }
        if (s.scanBusy) tick();
    };
    runDownload(kProgramUpdate);
    EXPECT_TRUE(asked);
    EXPECT_EQ(ReadAll("Vel.exe"), "new");
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(charts, 0);
    const auto started = std::count_if(tp.shell.opened.begin(), tp.shell.opened.end(), [](const auto& call) {
        return call.target == std::string(kRateArchiveBase) + "archiwum_tab_a_2026.csv";
    });
    EXPECT_EQ(started, 1);
}

TEST_F(DownloadSteps, UnknownKindStopsAtOnce) {
    runDownload(7);
    EXPECT_TRUE(tp.shell.opened.empty());
    EXPECT_EQ(tp.program.state.downloadCountdown, 0);
    EXPECT_EQ(tp.status.history.back(), "ooo! nowa funkcja...");
}

TEST(DownloadTargets, YearsComeFromTheSystemDate) {
    TestProgram tp;
    tp.clock.set({2031, 12, 31, 23, 0, 0, 0, 3});
    const auto current = TargetOfKind(tp.program, kCurrentYearRates);
    const auto previous = TargetOfKind(tp.program, kPreviousYearRates);
    ASSERT_TRUE(current && previous);
    EXPECT_EQ(current->local, "archiwum_tab_a_2031.csv");
    EXPECT_EQ(current->remote, current->local);
    EXPECT_EQ(previous->remote, "archiwum_tab_a_2030.csv");
    EXPECT_EQ(previous->base, kRateArchiveBase);
    const auto update = TargetOfKind(tp.program, kProgramUpdate);
    ASSERT_TRUE(update);
    EXPECT_EQ(update->local, "Vel.exe");
    EXPECT_EQ(update->remote, "vel.ex");
    EXPECT_EQ(TargetOfKind(tp.program, kWzkl)->remote, "wzkl.ex");
    EXPECT_FALSE(TargetOfKind(tp.program, 5));
}

TEST(DownloadTargets, SearchPatternTakesRenamedCopies) {
    EXPECT_EQ(SearchPatternOf("vel.ex"), "vel*.ex");
    EXPECT_EQ(SearchPatternOf("archiwum_tab_a_2026.csv"), "archiwum_tab_a_2026*.csv");
    EXPECT_EQ(SearchPatternOf("plain"), "plain*");
}

TEST(DownloadTargets, PackedFileTimeOfTwoSecondResolution) {
    ScopedTempDir dir;
    EXPECT_EQ(PackedFileTime("missing.ex"), 0);
    WriteAll("a.ex", "x");
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = 14;
    local.tm_min = 7;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local));
    fs::last_write_time("a.ex", std::chrono::file_clock::from_sys(when));
    const std::int64_t expected = (46LL << 25) | (3 << 21) | (5 << 16) | (14 << 11) | (7 << 5) | 4;
    EXPECT_EQ(PackedFileTime("a.ex"), expected);
}

class EnvVar : public test::ScopedEnv {
public:
    EnvVar(const char* name, const char* value)
        : ScopedEnv(name, value ? std::optional<std::string>(value) : std::nullopt) {}
};

TEST(DownloadPlaces, UserDownloadFolderAsTheDesktopNamesIt) {
    if (test::OnWindows()) {
        // The account's Downloads known folder, which the shell keeps (Wine
        // makes it in its prefix); the XDG names and the Linux roots are Linux-only.
        const std::string folder = UserDownloadFolder();
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(folder.back(), '\\');
        EXPECT_TRUE(fs::is_directory(NativePath(folder))) << folder;
        EXPECT_EQ(DefaultSearchPlaces().downloads, folder);
        return;
    }
    ScopedTempDir dir;
    const std::string home = dir.path().string();
    EnvVar h("HOME", home.c_str());
    EnvVar config("XDG_CONFIG_HOME", nullptr);
    {
        EnvVar xdg("XDG_DOWNLOAD_DIR", "/srv/pobrane");
        EXPECT_EQ(UserDownloadFolder(), "/srv/pobrane/");
    }
    EnvVar xdg("XDG_DOWNLOAD_DIR", nullptr);
    EXPECT_EQ(UserDownloadFolder(), home + "/Downloads/");
    fs::create_directories(dir.path() / ".config");
    WriteAll(dir.path() / ".config" / "user-dirs.dirs",
             "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Pulpit\"\nXDG_DOWNLOAD_DIR=\"$HOME/Pobrane\"\n");
    EXPECT_EQ(UserDownloadFolder(), home + "/Pobrane/");

    fs::create_directories(dir.path() / "Pobrane");
    const SearchPlaces places = DefaultSearchPlaces();
    EXPECT_EQ(places.downloads, home + "/Pobrane/");
    ASSERT_GE(places.roots.size(), 2u);
    EXPECT_EQ(places.roots[0], home + "/Pobrane/");
    EXPECT_EQ(places.roots[1], home + "/");
    for (const char* system : {"/proc/", "/sys/", "/dev/", "/usr/", "/var/", "/run/"}) {
        EXPECT_NE(std::find(places.excluded.begin(), places.excluded.end(), system), places.excluded.end()) << system;
    }
}

}  // namespace
}  // namespace vel::app
