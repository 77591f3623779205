#pragma once
// A cupsd of the test's own on a socket in a temporary folder, and a network
// printer of the test's own: a listener on a loopback port that keeps every
// connection's bytes as one received job, as a printer's raw port does.
// Both are started by their constructors and stopped by process id or
// thread by their destructors.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace vel::test {

class PrivateCups {
public:
    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // Empty when cupsd is up; else why it is not.
    const std::string& error() const { return error_; }
    std::string log() const;
    const std::string& socket() const { return socket_; }
    // The documents of the jobs printed so far, as they were handed over,
    // oldest first (cupsd keeps them).
    std::vector<std::filesystem::path> documents() const;

private:
    std::filesystem::path root_;
    std::string socket_;
    pid_t pid_ = -1;
    std::string error_;
};

class LoopbackPrinter {
public:
    LoopbackPrinter();
    ~LoopbackPrinter();
    LoopbackPrinter(const LoopbackPrinter&) = delete;
    LoopbackPrinter& operator=(const LoopbackPrinter&) = delete;

    int port() const { return port_; }
    const std::string& error() const { return error_; }
    // Waits until `count` jobs have arrived whole (their connections
    // closed), at most `limit`; returns the jobs received by then.
    std::vector<std::string> waitForJobs(std::size_t count, std::chrono::seconds limit);

private:
    void serve();

    int listener_ = -1;
    int port_ = 0;
    std::string error_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> jobs_;
    std::thread thread_;
};

}  // namespace vel::test
