#pragma once
// The real `vel` program started headless in a folder of the test's own, as
// the sibling programs meet it.

#include "support/temp_dir.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vel::test {

// One `vel` process without a display, its stderr in a file.
class VelProcess {
public:
    struct Options {
        std::string display;  // none unless named
        bool unprivileged = false;  // as the user nobody, so that file permissions apply
    };

    VelProcess(const std::filesystem::path& folder, const std::vector<std::string>& args,
               const std::filesystem::path& pdfDir)
        : VelProcess(folder, args, pdfDir, Options{}) {}
    VelProcess(const std::filesystem::path& folder, const std::vector<std::string>& args,
               const std::filesystem::path& pdfDir, const std::string& display)
        : VelProcess(folder, args, pdfDir, Options{display, false}) {}
    VelProcess(const std::filesystem::path& folder, const std::vector<std::string>& args,
               const std::filesystem::path& pdfDir, const Options& options) {
        stderrPath_ = folder / ("vel-stderr-" + std::to_string(counter_++) + ".txt");
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(folder.c_str()) != 0) _exit(126);
            const int fd = open(stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                dup2(fd, 2);
                dup2(fd, 1);
            }
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("QT_QPA_PLATFORM");
            if (!options.display.empty()) setenv("DISPLAY", options.display.c_str(), 1);
            setenv("VEL_PDF_DIR", pdfDir.c_str(), 1);
            std::vector<char*> argv;
            if (options.unprivileged) {
                setenv("HOME", folder.c_str(), 1);
                unsetenv("XDG_RUNTIME_DIR");
                for (const char* a : {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"})
                    argv.push_back(const_cast<char*>(a));
            }
            argv.push_back(const_cast<char*>(VEL_PROGRAM));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            if (options.unprivileged) {
                execvp("setpriv", argv.data());
            } else {
                execv(VEL_PROGRAM, argv.data());
            }
            _exit(127);
        }
    }
    ~VelProcess() {
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool running() {
        if (exited_) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            status_ = status;
            return false;
        }
        return true;
    }
    // True when the process ended within `limit`.
    bool waitExit(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (running()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    void signal(int sig) { kill(pid_, sig); }
    pid_t pid() const { return pid_; }
    int exitCode() const { return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }
    std::string errors() const { return ReadAll(stderrPath_); }

private:
    static inline int counter_ = 0;
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
    std::filesystem::path stderrPath_;
};

inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// True once `vel` in `folder` holds the lock and has finished starting. The
// lock is taken before the start clears what an earlier run left, job files
// included, so a test drops its jobs only after the start's printer-list
// trace line is complete.
inline bool Ready(const std::filesystem::path& folder) {
    return std::filesystem::exists(folder / "Wrk.{-}") && ReadAll(folder / "Vel.err").find("koniec.") != std::string::npos;
}

inline std::vector<std::string> Names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
    return names;
}

}  // namespace vel::test
