#include "support/private_cups.h"

#include "support/bitmap.h"

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vel::test {

namespace fs = std::filesystem;

PrivateCups::PrivateCups() {
    char tmpl[] = "/tmp/vel-cups-XXXXXX";
    if (!mkdtemp(tmpl)) {
        error_ = "cannot create a folder for cupsd";
        return;
    }
    root_ = tmpl;
    for (const char* sub : {"spool", "cache", "state", "log", "ppd"}) fs::create_directories(root_ / sub);
    fs::create_directories(root_ / "tmp");
    // cupsd runs its filters as the user lp: they need the folders.
    fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(root_ / "tmp", fs::perms::all | fs::perms::sticky_bit);
    socket_ = (root_ / "cups.sock").string();
    std::ofstream(root_ / "cupsd.conf") << "Listen " << socket_ << "\n"
                                        << "LogLevel warn\nWebInterface No\nBrowsing Off\nPreserveJobFiles Yes\n"
                                           "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                           "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                           "  </Limit>\n</Policy>\n";
    std::ofstream(root_ / "cups-files.conf")
        << "ServerRoot " << root_.string() << "\nRequestRoot " << (root_ / "spool").string() << "\nCacheDir "
        << (root_ / "cache").string() << "\nStateDir " << (root_ / "state").string() << "\nTempDir "
        << (root_ / "tmp").string() << "\nErrorLog " << (root_ / "log/error_log").string() << "\nAccessLog "
        << (root_ / "log/access_log").string() << "\nPageLog " << (root_ / "log/page_log").string()
        << "\nSystemGroup root\n";

    if (access("/usr/sbin/cupsd", X_OK) != 0) {
        error_ = "/usr/sbin/cupsd is not installed (package cups)";
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", (root_ / "cupsd.conf").c_str(), "-s",
              (root_ / "cups-files.conf").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    setenv("CUPS_SERVER", socket_.c_str(), 1);
    // Up when `lpstat -r` says so.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (RunCommand("lpstat -r 2>&1").find("scheduler is running") == std::string::npos) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error_ = "cupsd ended at once (status " + std::to_string(status) + "): " + log();
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error_ = "cupsd did not answer within 15 s: " + log();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

PrivateCups::~PrivateCups() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    unsetenv("CUPS_SERVER");
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
}

std::vector<std::filesystem::path> PrivateCups::documents() const {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(root_ / "spool", ec))
        if (e.path().filename().string().rfind("d", 0) == 0) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string PrivateCups::log() const {
    std::ifstream in(root_ / "log/error_log");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

LoopbackPrinter::LoopbackPrinter() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // a free port
    socklen_t size = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 4) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        error_ = "cannot listen on a loopback port";
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LoopbackPrinter::~LoopbackPrinter() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) close(listener_);
}

// One connection at a time, as a printer's raw port takes them.
void LoopbackPrinter::serve() {
    while (!stop_) {
        pollfd wait{listener_, POLLIN, 0};
        if (poll(&wait, 1, 100) <= 0) continue;
        const int connection = accept(listener_, nullptr, nullptr);
        if (connection < 0) continue;
        std::string job;
        char buffer[65536];
        while (!stop_) {
            pollfd data{connection, POLLIN, 0};
            if (poll(&data, 1, 100) <= 0) continue;
            const ssize_t n = read(connection, buffer, sizeof buffer);
            if (n <= 0) break;
            job.append(buffer, static_cast<std::size_t>(n));
        }
        close(connection);
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
}

std::vector<std::string> LoopbackPrinter::waitForJobs(std::size_t count, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (jobs_.size() >= count || std::chrono::steady_clock::now() > deadline) return jobs_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace vel::test
