// What `vel` costs while it waits: CPU time and resident memory over a minute
// of ticks without a display, with an empty work folder; and how soon it
// starts (lock file taken) and runs its first tick (a standby instance ends
// at its first tick, so its lifetime is the time to that tick).
//
//   idle_bench [--seconds N] [--vel PATH]
//
// Targets: under 0.1 % of one core, under 60 MB resident, first tick within 0.5 s.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

pid_t StartVel(const std::string& vel, const fs::path& folder, const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        if (std::FILE* null = std::fopen("/dev/null", "w")) dup2(fileno(null), 2);
        std::vector<char*> argv{const_cast<char*>(vel.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(vel.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// utime + stime of a process in clock ticks.
long long CpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    // After the name: state is field 3; utime is 14 and stime 15.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::atoll(field.c_str());
        if (i == 15) stime = std::atoll(field.c_str());
    }
    return utime + stime;
}

long StatusKb(pid_t pid, const char* key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

fs::path TempFolder() {
    std::string tmpl = (fs::temp_directory_path() / "vel-idle-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    return tmpl;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    std::string vel = (fs::canonical("/proc/self/exe").parent_path().parent_path() / "src" / "vel").string();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--vel") == 0) vel = argv[i + 1];
    }
    if (access(vel.c_str(), X_OK) != 0) {
        std::cerr << "idle_bench: no program at " << vel << " (give --vel PATH)\n";
        return 2;
    }
    const int runs = 5;

    // Start-up: from the process start to the lock file.
    double worstStart = 0;
    for (int i = 0; i < runs; ++i) {
        const fs::path dir = TempFolder();
        const auto t0 = Clock::now();
        const pid_t pid = StartVel(vel, dir, {});
        while (!fs::exists(dir / "Wrk.{-}") && Ms(Clock::now() - t0) < 10000)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        worstStart = std::max(worstStart, Ms(Clock::now() - t0));
        Stop(pid);
        fs::remove_all(dir);
    }

    // First tick: a standby instance (work folder it cannot write) closes at
    // its first tick.
    double worstTick = 0;
    for (int i = 0; i < runs; ++i) {
        const fs::path dir = TempFolder();
        const auto t0 = Clock::now();
        const pid_t pid = StartVel(vel, dir, {"", "/proc"});
        waitpid(pid, nullptr, 0);
        worstTick = std::max(worstTick, Ms(Clock::now() - t0));
        fs::remove_all(dir);
    }

    // Idle: a minute of ticks with an empty work folder.
    const fs::path dir = TempFolder();
    const pid_t pid = StartVel(vel, dir, {});
    while (!fs::exists(dir / "Wrk.{-}")) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::seconds(2));  // start-up work done
    const long long cpu0 = CpuTicks(pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long long cpu1 = CpuTicks(pid);
    const double wall = Ms(Clock::now() - t0) / 1000.0;
    const long rss = StatusKb(pid, "VmRSS:");
    const long hwm = StatusKb(pid, "VmHWM:");
    Stop(pid);
    fs::remove_all(dir);

    const double cpuSeconds = static_cast<double>(cpu1 - cpu0) / static_cast<double>(sysconf(_SC_CLK_TCK));
    const double cpuPercent = 100.0 * cpuSeconds / wall;
    std::printf("start to lock file (worst of %d): %.0f ms\n", runs, worstStart);
    std::printf("start to first tick (worst of %d): %.0f ms   target < 500 ms   %s\n", runs, worstTick,
                worstTick < 500 ? "ok" : "MISSED");
    std::printf("idle CPU over %.0f s: %.3f s = %.4f %% of one core   target < 0.1 %%   %s\n", wall, cpuSeconds,
                cpuPercent, cpuPercent < 0.1 ? "ok" : "MISSED");
    std::printf("resident memory: %.1f MB (peak %.1f MB)   target < 60 MB   %s\n", rss / 1024.0, hwm / 1024.0,
                rss < 60 * 1024 ? "ok" : "MISSED");
    return worstTick < 500 && cpuPercent < 0.1 && rss < 60 * 1024 ? 0 : 1;
}
