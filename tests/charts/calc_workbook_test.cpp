// The workbook update end to end with the real spreadsheet program:
// LibreOffice Calc makes "Magazyn.xls" from a small table, the update runs
// through the Python-UNO bridge, and Calc turns the result back into CSV.

#include "charts/fake_chart_view.h"
#include "charts/rate_file_builder.h"
#include "common/io.h"
#include "shell/qt/qt_spreadsheet.h"
#include "rates/charts.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>

extern char** environ;

namespace vel::test {
namespace {

namespace fs = std::filesystem;

const std::string kBridge = std::string(VEL_BINARY_DIR) + "/src/vel-calc-bridge.py";

// Why the office tests cannot run here, or empty when they can.
std::string MissingOffice() {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0) return "soffice (LibreOffice Calc) is not installed";
    if (access("/usr/bin/python3", X_OK) != 0 || std::system("/usr/bin/python3 -c 'import uno' >/dev/null 2>&1") != 0) {
        return "python3-uno (LibreOffice's Python bridge) is not installed";
    }
    return {};
}

// The pipe files of offices in /tmp: each office makes one for the pipe it
// accepts on and one for its single-instance pipe (named after a hash of its
// profile), and leaves both behind when it is killed.
std::set<std::string> PipeFiles() {
    std::set<std::string> files;
    const std::string prefix = "OSL_PIPE_" + std::to_string(getuid()) + "_";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/tmp", ec)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) files.insert(entry.path().string());
    }
    return files;
}

// Removes the pipe files made since `before` that no process listens on any
// more: those of the offices this test started and stopped.
void RemoveStalePipes(const std::set<std::string>& before) {
    std::ifstream unix("/proc/net/unix");
    std::set<std::string> listened;
    for (std::string line; std::getline(unix, line);) {
        const std::size_t slash = line.find(" /");
        if (slash != std::string::npos) listened.insert(line.substr(slash + 1));
    }
    std::error_code ec;
    for (const std::string& file : PipeFiles()) {
        if (!before.count(file) && !listened.count(file)) fs::remove(file, ec);
    }
}

// Ends a process group that is not this program's child (an office the
// bridge started): SIGTERM, a bounded wait, then SIGKILL.
void StopGroup(pid_t group) {
    if (group <= 0 || kill(-group, 0) != 0) return;
    kill(-group, SIGTERM);
    for (int i = 0; i < 100 && kill(-group, 0) == 0; ++i) poll(nullptr, 0, 100);
    kill(-group, SIGKILL);
}

// Longest wait for an office to take connections. The first start on a
// machine builds a fresh profile and reads the whole office from disk: 9 s on
// a 2-core machine busy with two other builds, against about 1 s warm; the
// bound leaves room for a slower disk and a busier machine.
constexpr int kOfficeStartSeconds = 120;

// One LibreOffice for the whole test program, in its own session: it does the
// conversions between CSV and .xls and plays the office that is already
// running. Stopped and its files removed when the program ends.
class TestOffice {
public:
    static TestOffice& get() {
        static TestOffice office;
        return office;
    }
    std::string profile;
    std::string pipe;
    pid_t group = -1;
    bool ready = false;
    std::string why;  // what went wrong when not ready

private:
    TestOffice() {
        char folder[] = "/tmp/vel-test-office-XXXXXX";
        if (!mkdtemp(folder)) {
            why = "cannot make a folder for the office";
            return;
        }
        base_ = folder;
        profile = base_ + "/profile";
        pipe = "vel_test_office_" + std::to_string(getpid());
        pipesBefore_ = PipeFiles();
        fs::create_directory(base_ + "/tmp");
        std::vector<std::string> args = {"soffice", "--headless", "--invisible", "--norestore", "--nologo",
                                         "--nodefault", "--accept=pipe,name=" + pipe + ";urp;",
                                         "-env:UserInstallation=file://" + profile};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // Under C.UTF-8 whatever locale the tests run under: this office's CSV
        // conversions then read and write numbers with '.'. The offices the
        // update starts itself follow the tests' locale, as a user's office does.
        // Its own temporary files go into the folder removed at the end.
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("LANG", 0) != 0 && entry.rfind("LC_", 0) != 0 && entry.rfind("TMPDIR=", 0) != 0) {
                env.push_back(entry);
            }
        }
        env.push_back("LANG=C.UTF-8");
        env.push_back("LC_ALL=C.UTF-8");
        env.push_back("TMPDIR=" + base_ + "/tmp");
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawnp(&pid, "soffice", &actions, &attr, argv.data(), envp.data()) == 0) group = pid;
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        if (group <= 0) {
            why = "soffice could not be started";
            return;
        }
        // Ready once its pipe is there (the name is new to this run); an
        // office that ends before that is not waited for.
        const fs::path socket = "/tmp/OSL_PIPE_" + std::to_string(getuid()) + "_" + pipe;
        const auto start = std::chrono::steady_clock::now();
        while (!ready) {
            ready = fs::exists(socket);
            if (ready) break;
            int status = 0;
            if (waitpid(group, &status, WNOHANG) == group) {
                why = "soffice ended before it took connections";
                group = -1;
                return;
            }
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(kOfficeStartSeconds)) {
                why = "soffice took no connections within " + std::to_string(kOfficeStartSeconds) + " s";
                return;
            }
            poll(nullptr, 0, 100);
        }
        startSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    ~TestOffice() {
        if (group > 0) {
            // The wrapper (oosplash) is this program's child and lives as long
            // as the office: wait for it, boundedly, then make sure.
            kill(-group, SIGTERM);
            int status = 0;
            bool ended = false;
            for (int i = 0; i < 100 && !ended; ++i) {
                ended = waitpid(group, &status, WNOHANG) == group;
                if (!ended) poll(nullptr, 0, 100);
            }
            if (!ended) {
                kill(-group, SIGKILL);
                waitpid(group, &status, 0);
            }
            StopGroup(group);  // a soffice.bin left behind by its wrapper
        }
        RemoveStalePipes(pipesBefore_);
        std::error_code ec;
        if (!base_.empty()) fs::remove_all(base_, ec);
    }
    std::string base_;
    std::set<std::string> pipesBefore_;

public:
    double startSeconds = 0;
};

std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ';') {
            row.push_back(cell);
            cell.clear();
        } else if (c == '\n') {
            row.push_back(cell);
            cell.clear();
            rows.push_back(row);
            row.clear();
        } else if (c != '\r') {
            cell += c;
        }
    }
    if (!cell.empty() || !row.empty()) {
        row.push_back(cell);
        rows.push_back(row);
    }
    return rows;
}

struct CalcWorkbook : ::testing::Test {
    ScopedTempDir dir;
    TestProgram tp;
    FakeChartView view;
    std::string profile;
    std::unique_ptr<platform::CalcSpreadsheet> calc;
    std::unique_ptr<Program> program;

    void SetUp() override {
        if (const std::string missing = MissingOffice(); !missing.empty()) GTEST_SKIP() << missing;
        pipesBefore = PipeFiles();
        // An office the bridge starts keeps its temporary files in the test's folder.
        if (const char* tmp = std::getenv("TMPDIR")) oldTmp = tmp;
        fs::create_directory(dir.file("tmp"));
        setenv("TMPDIR", dir.file("tmp").c_str(), 1);
        profile = dir.file("lo-profile");
        platform::CalcOptions options;
        options.bridgeScript = kBridge;
        options.profile = profile;
        options.pipeName = pipeName;
        options.forceHeadless = true;
        calc = std::make_unique<platform::CalcSpreadsheet>(options);
        program = std::make_unique<Program>(
            Services{tp.printer, tp.clipboard, tp.shell, tp.clock, tp.events, tp.status, *calc}, Jobs{});
        tp.clock.set({2024, 12, 31, 12, 0, 0, 0, 2});
        program->sys.chartView = &view;
    }
    void TearDown() override {
        // Whatever happened, no office started here outlives the test, nor
        // does its pipe file.
        if (calc && calc->lastOfficeGroup() > 0) StopGroup(calc->lastOfficeGroup());
        RemoveStalePipes(pipesBefore);
        if (oldTmp) setenv("TMPDIR", oldTmp->c_str(), 1);
        else unsetenv("TMPDIR");
    }
    const std::string pipeName = "vel_test_" + std::to_string(getpid());
    std::set<std::string> pipesBefore;
    std::optional<std::string> oldTmp;

    // Calc's own conversion between CSV (";", '"', UTF-8) and .xls, done by
    // the test office over UNO; `timeout` ends it if the office hangs.
    void convert(const std::string& from, const std::string& to) {
        static const char* const kScript = R"PY(import sys, uno
from com.sun.star.beans import PropertyValue
def prop(n, v):
    p = PropertyValue(); p.Name = n; p.Value = v; return p
pipe, source, target = sys.argv[1:4]
local = uno.getComponentContext()
resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
csv = ("Text - txt - csv (StarCalc)", "59,34,76,1")
load = [prop("Hidden", True)]
if source.endswith(".csv"):
    load += [prop("FilterName", csv[0]), prop("FilterOptions", csv[1])]
doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(source), "_blank", 0, tuple(load))
store = [prop("Overwrite", True)]
store += [prop("FilterName", csv[0]), prop("FilterOptions", csv[1])] if target.endswith(".csv") else [prop("FilterName", "MS Excel 97")]
doc.storeToURL(uno.systemPathToFileUrl(target), tuple(store))
doc.close(True)
)PY";
        WriteAll(dir.file("convert.py"), kScript);
        const std::string command = "timeout -k 5 120 /usr/bin/python3 '" + dir.file("convert.py") + "' " +
                                    TestOffice::get().pipe + " '" + dir.file(from) + "' '" + dir.file(to) + "'";
        // The UNO client now and then dies of a crash inside the bridge on a
        // loaded machine; the conversion is the test's own tool, so it is
        // tried again rather than failing the test for it.
        int status = -1;
        for (int attempt = 0; attempt < 3 && status != 0; ++attempt) status = std::system(command.c_str());
        ASSERT_EQ(status, 0) << command;
    }
    // The small stock table as a workbook made by Calc; the bytes as made.
    std::string makeWorkbook() {
        // Columns: Lp, Towar, Waluta, Ilosc, Kurs, Data, Dostawca, Poprzedni kurs.
        WriteAll(dir.file("Magazyn.csv"),
                 "Lp;Towar;Waluta;Ilosc;Kurs;Data;Dostawca;Poprzedni\n"
                 "1;Sruby M8;EUR;100;4.3434;2024-03-01;Alfa;\n"       // changes to 4.273
                 "2;Podkladki;CHF;75;\"4,5371\";2024-03-03;Gamma;\n"  // already the latest rate
                 "3;Nakretki;USD;10;3.9;2024-03-04;Beta;3.8\n"       // no rate in the file
                 "4;Wkrety;GBP;5;5;2024-03-05;Delta;\n"              // changes to 5.1488
                 "5;Podkladki;CHF;1;4.4;2024-03-06;Gamma;\n"         // changes, old rate a number
                 ";;;;;;;\n"                                          // end of the list
                 "7;Tasma;EUR;1;1;2024-03-07;Alfa;\n");               // never looked at
        convert("Magazyn.csv", "Magazyn.xls");
        fs::remove(dir.file("Magazyn.csv"));
        WriteAll(dir.file("Kurs2024"), RateLine("EUR", "20241230", 4.2692, "251/A/NBP/2024") + "\r\n" +
                                           RateLine("EUR", "20241231", 4.273, "252/A/NBP/2024") + "  euro 1EUR\r\n" +
                                           RateLine("CHF", "20241231", 4.5371, "252/A/NBP/2024") +
                                           "  frank szwajcarski 1CHF\r\n" +
                                           RateLine("GBP", "20241231", 5.1488, "252/A/NBP/2024") +
                                           "  funt szterling 1GBP\r\n");
        return fs::exists(dir.file("Magazyn.xls")) ? ReadAll(dir.file("Magazyn.xls")) : std::string();
    }
    // The workbook back as CSV rows, cells counted from 1.
    std::function<std::string(int, int)> readBack() {
        convert("Magazyn.xls", "back.csv");
        auto rows = std::make_shared<std::vector<std::vector<std::string>>>(ReadCsv(ReadAll(dir.file("back.csv"))));
        return [rows](int row, int column) {
            if (row > static_cast<int>(rows->size())) return std::string("(no row)");
            const auto& r = rows->at(row - 1);
            return column <= static_cast<int>(r.size()) ? r[column - 1] : std::string();
        };
    }
    void expectUpdated(const std::function<std::string(int, int)>& cell) {
        EXPECT_EQ(cell(2, 5), "4.273");
        EXPECT_EQ(cell(2, 8), "4.3434");
        EXPECT_EQ(cell(3, 5), "4,5371");
        EXPECT_EQ(cell(3, 8), "");
        EXPECT_EQ(cell(4, 5), "3.9");
        EXPECT_EQ(cell(4, 8), "3.8");
        EXPECT_EQ(cell(5, 5), "5.1488");
        EXPECT_EQ(cell(5, 8), "5");
        EXPECT_EQ(cell(6, 5), "4.5371");
        EXPECT_EQ(cell(6, 8), "4.4");
        EXPECT_EQ(cell(8, 3), "EUR");
        EXPECT_EQ(cell(8, 5), "1");
        EXPECT_EQ(cell(8, 8), "");
        // The other columns are as they were.
        EXPECT_EQ(cell(2, 2), "Sruby M8");
        EXPECT_EQ(cell(9, 1), "(no row)");
        EXPECT_EQ(cell(5, 7), "Delta");
    }
};

TEST_F(CalcWorkbook, StartedOfficeUpdatesSavesInPlaceAndStopsAgain) {
    ASSERT_TRUE(TestOffice::get().ready) << TestOffice::get().why;
    std::printf("test office up after %.1f s\n", TestOffice::get().startSeconds);
    const std::string original = makeWorkbook();
    ASSERT_FALSE(original.empty());

    ASSERT_TRUE(calc->available());
    rates::UpdateWorkbookRates(*program);
    EXPECT_EQ(view.chartError, "");

    // The office this update started has been stopped again.
    ASSERT_GT(calc->lastOfficeGroup(), 0);
    EXPECT_EQ(kill(-calc->lastOfficeGroup(), 0), -1);
    EXPECT_EQ(errno, ESRCH);
    // Saved in place, the workbook as it was kept under the "~" name.
    EXPECT_EQ(ReadAll(dir.file("Magazyn.~xls")), original);
    EXPECT_FALSE(fs::exists(dir.file(".~lock.Magazyn.xls#")));
    expectUpdated(readBack());
}

TEST_F(CalcWorkbook, RunningOfficeIsUsedAndLeftRunning) {
    ASSERT_TRUE(TestOffice::get().ready) << TestOffice::get().why;
    ASSERT_FALSE(makeWorkbook().empty());
    platform::CalcOptions options;
    options.bridgeScript = kBridge;
    options.profile = TestOffice::get().profile;
    options.pipeName = TestOffice::get().pipe;
    options.forceHeadless = true;
    platform::CalcSpreadsheet running(options);
    Program p{Services{tp.printer, tp.clipboard, tp.shell, tp.clock, tp.events, tp.status, running}, Jobs{}};
    p.sys.chartView = &view;

    rates::UpdateWorkbookRates(p);
    EXPECT_EQ(view.chartError, "");
    EXPECT_EQ(running.lastOfficeGroup(), 0);  // not started by the bridge
    EXPECT_EQ(kill(-TestOffice::get().group, 0), 0);  // and still running
    expectUpdated(readBack());
}

TEST(CalcSpreadsheet, MissingOfficeIsNoSpreadsheetForTheRestOfTheRun) {
    ScopedTempDir dir;
    TestProgram tp;
    FakeChartView view;
    platform::CalcOptions options;
    options.bridgeScript = kBridge;
    options.soffice = dir.file("no-such-office");
    platform::CalcSpreadsheet calc(options);
    EXPECT_FALSE(calc.available());

    Program program{Services{tp.printer, tp.clipboard, tp.shell, tp.clock, tp.events, tp.status, calc}, Jobs{}};
    program.sys.chartView = &view;
    WriteAll(dir.file("Magazyn.xls"), "not looked at");
    rates::UpdateWorkbookRates(program);
    EXPECT_EQ(view.chartError, "Nie ma \xbf" "adnego Excela w systemie");
    EXPECT_EQ(view.caption(), view.chartError);
}

TEST(CalcSpreadsheet, BridgeThatCannotReachTheOfficeMakesItUnavailable) {
    ScopedTempDir dir;
    // An "office" that exits at once: the bridge never gets a connection.
    WriteAll(dir.file("fake-office"), "#!/bin/sh\nexit 0\n");
    fs::permissions(dir.file("fake-office"), fs::perms::owner_all);
    WriteAll(dir.file("bridge.py"), "import sys\nsys.stdout.write('ERR connect refused\\n')\n");
    platform::CalcOptions options;
    options.bridgeScript = dir.file("bridge.py");
    options.soffice = dir.file("fake-office");
    options.forceHeadless = true;
    platform::CalcSpreadsheet calc(options);
    ASSERT_TRUE(calc.available());
    EXPECT_THROW(calc.open(dir.file("Magazyn.xls")), IoError);
    EXPECT_FALSE(calc.available());
}

}  // namespace
}  // namespace vel::test
