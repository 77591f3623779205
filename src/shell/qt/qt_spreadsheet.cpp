#include "shell/qt/qt_spreadsheet.h"

#include "common/codepage.h"
#include "common/io.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vel::platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* kBridgeName = "vel-calc-bridge.py";

bool IsExecutable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string all = path;
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find(':', start);
        if (end == std::string::npos) end = all.size();
        const std::string dir = all.substr(start, end - start);
        if (!dir.empty() && IsExecutable(dir + "/" + name)) return dir + "/" + name;
        start = end + 1;
    }
    return {};
}

std::string ProgramDir() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char n = text[++i];
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::int64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// One bridge process and its two pipes.
class Bridge {
public:
    Bridge(const CalcOptions& options, const std::string& soffice, bool headless, std::string workbook)
        : workbook_(std::move(workbook)), replyMs_(options.replySeconds * 1000) {
        // A bridge that died must not end the program with SIGPIPE on the next write.
        struct sigaction old {};
        if (sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) std::signal(SIGPIPE, SIG_IGN);

        int toChild[2] = {-1, -1};
        int fromChild[2] = {-1, -1};
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
            fail("cannot create the pipes of the spreadsheet bridge");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);

        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            if (std::strncmp(*e, "CALC_", 5) != 0) env.emplace_back(*e);
        }
        if (!options.pipeName.empty()) env.push_back("CALC_PIPE=" + options.pipeName);
        if (!options.profile.empty()) env.push_back("CALC_PROFILE=" + options.profile);
        env.push_back("CALC_SOFFICE=" + soffice);
        env.push_back(std::string("CALC_HEADLESS=") + (headless ? "1" : "0"));
        std::vector<char*> envp;
        for (std::string& s : env) envp.push_back(s.data());
        envp.push_back(nullptr);

        std::string python = options.python;
        std::string script = options.bridgeScript;
        char* argv[] = {python.data(), script.data(), nullptr};
        const int rc = posix_spawn(&pid_, python.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(toChild[0]);
        close(fromChild[1]);
        in_ = toChild[1];
        out_ = fromChild[0];
        if (rc != 0) {
            pid_ = -1;
            fail("cannot start the spreadsheet bridge");
        }
    }

    ~Bridge() { stop(); }

    // The answer after "OK" (without the space); throws on "ERR" or silence.
    std::string request(const std::string& line) {
        const std::string text = line + "\n";
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = write(in_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) fail("the spreadsheet bridge has ended");
            done += static_cast<std::size_t>(n);
        }
        return answer();
    }

    // The bridge's next reply line, checked.
    std::string answer() {
        const std::string reply = readLine();
        if (reply == "OK") return {};
        if (reply.compare(0, 3, "OK ") == 0) return reply.substr(3);
        fail("spreadsheet: " + Unescape(reply.compare(0, 4, "ERR ") == 0 ? reply.substr(4) : reply));
    }

    int officeGroup = 0;

    // Ends the bridge: end of input makes it close the workbook; one that
    // does not go in time is killed, with the office it started.
    void stop() {
        if (in_ >= 0) close(in_);
        in_ = -1;
        if (pid_ > 0) {
            const std::int64_t deadline = NowMs() + 30000;
            int status = 0;
            while (waitpid(pid_, &status, WNOHANG) == 0) {
                if (NowMs() > deadline) {
                    kill(pid_, SIGKILL);
                    if (officeGroup > 0) kill(-officeGroup, SIGTERM);
                    waitpid(pid_, &status, 0);
                    break;
                }
                // Wait on the reply pipe: it closes when the bridge ends.
                pollfd p{out_, POLLIN, 0};
                if (poll(&p, 1, 100) > 0) {
                    char sink[256];
                    if (read(out_, sink, sizeof sink) <= 0) poll(nullptr, 0, 20);
                }
            }
            pid_ = -1;
        }
        if (out_ >= 0) close(out_);
        out_ = -1;
    }

    [[noreturn]] void fail(const std::string& what) { throw IoError(workbook_, what); }

private:
    std::string readLine() {
        const std::int64_t deadline = NowMs() + replyMs_;
        while (true) {
            const std::size_t nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return line;
            }
            const std::int64_t left = deadline - NowMs();
            if (left <= 0) {
                kill(pid_, SIGKILL);
                if (officeGroup > 0) kill(-officeGroup, SIGTERM);
                fail("the spreadsheet program does not answer");
            }
            pollfd p{out_, POLLIN, 0};
            const int ready = poll(&p, 1, static_cast<int>(left));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) continue;
            char block[4096];
            const ssize_t n = read(out_, block, sizeof block);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) fail("the spreadsheet bridge has ended");
            buffer_.append(block, static_cast<std::size_t>(n));
        }
    }

    std::string workbook_;
    int replyMs_;
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffer_;
};

std::string NumberText(double value) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

class CalcWorkbook final : public Workbook {
public:
    CalcWorkbook(std::unique_ptr<Bridge> bridge, std::string path, bool headless)
        : bridge_(std::move(bridge)), path_(std::move(path)), headless_(headless) {}

    ~CalcWorkbook() override {
        if (finished_) return;
        // Ended by an error: nothing is saved; with a display the user keeps
        // the workbook as it stands.
        try {
            bridge_->request(headless_ ? "quit" : "release");
        } catch (const IoError&) {
        }
    }

    std::string cellText(int row, int column) override {
        return Utf8ToCp1250(Unescape(bridge_->request("get " + std::to_string(row) + " " + std::to_string(column))));
    }
    void setCellNumber(int row, int column, double value) override {
        bridge_->request("set " + std::to_string(row) + " " + std::to_string(column) + " " + NumberText(value));
    }
    void setCellText(int row, int column, const std::string& text) override {
        bridge_->request("sets " + std::to_string(row) + " " + std::to_string(column) + " " +
                         Escape(Cp1250ToUtf8(text)));
    }
    void finish() override {
        finished_ = true;
        if (!headless_) {
            bridge_->request("release");
            return;
        }
        // Nobody will look at it before it is saved: keep the file as it was.
        std::error_code ec;
        fs::copy_file(path_, BackupName(path_), fs::copy_options::overwrite_existing, ec);
        if (ec) bridge_->fail("cannot copy the workbook to " + BackupName(path_));
        bridge_->request("save");
        bridge_->request("quit");
    }

private:
    std::unique_ptr<Bridge> bridge_;
    std::string path_;
    bool headless_;
    bool finished_ = false;
};

}  // namespace

CalcSpreadsheet::CalcSpreadsheet(CalcOptions options) : options_(std::move(options)) {
    if (options_.bridgeScript.empty()) {
        // Beside the program in the build tree; installed, in ../libexec/vel.
        const std::string installed = ProgramDir() + "/../libexec/vel/" + kBridgeName;
        std::error_code ec;
        options_.bridgeScript = ProgramDir() + "/" + kBridgeName;
        if (!fs::is_regular_file(options_.bridgeScript, ec) && fs::is_regular_file(installed, ec)) {
            options_.bridgeScript = fs::path(installed).lexically_normal().string();
        }
    }
}

std::string CalcSpreadsheet::sofficePath() {
    if (!options_.soffice.empty()) return IsExecutable(options_.soffice) ? options_.soffice : std::string();
    std::string found = FindOnPath("soffice");
    if (found.empty() && IsExecutable("/usr/lib/libreoffice/program/soffice")) {
        found = "/usr/lib/libreoffice/program/soffice";
    }
    return found;
}

bool CalcSpreadsheet::available() {
    if (unusable_) return false;
    std::error_code ec;
    return IsExecutable(options_.python) && fs::is_regular_file(options_.bridgeScript, ec) && !sofficePath().empty();
}

bool CalcSpreadsheet::headless() {
    if (options_.forceHeadless) return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland)) return true;
    // An office without any window plug-in (libreoffice-calc-nogui) cannot
    // show the workbook even with a display.
    std::error_code ec;
    const fs::path program = fs::canonical(sofficePath(), ec).parent_path();
    if (ec) return true;
    for (const auto& entry : fs::directory_iterator(program, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("libvclplug_", 0) == 0) return false;
    }
    return true;
}

std::unique_ptr<Workbook> CalcSpreadsheet::open(const std::string& path) {
    const std::string soffice = sofficePath();
    const bool noWindows = headless();
    auto bridge = std::make_unique<Bridge>(options_, soffice, noWindows, path);
    try {
        const std::string ready = bridge->answer();  // "ready PGID"
        if (ready.compare(0, 6, "ready ") == 0) bridge->officeGroup = std::atoi(ready.c_str() + 6);
    } catch (const IoError&) {
        // The office cannot be reached or started (or the bridge lacks its
        // uno module): as if there were no spreadsheet program.
        unusable_ = true;
        throw;
    }
    lastOfficeGroup_ = bridge->officeGroup;
    // The path is the file system's own bytes, not code page 1250 text.
    const std::string mode = bridge->request("open " + Escape(path));
    if (mode == "ro" && noWindows) {
        bridge->request("quit");
        throw IoError(path, "the workbook is open in another program");
    }
    return std::make_unique<CalcWorkbook>(std::move(bridge), path, noWindows);
}

std::unique_ptr<Spreadsheet> MakeCalcSpreadsheet() { return std::make_unique<CalcSpreadsheet>(); }

}  // namespace vel::platform
