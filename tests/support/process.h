#pragma once
// Starting programs from tests the same way on Linux and on Windows (under
// Wine): no shell, so no shell syntax.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vel::test {

struct Run {
    std::vector<std::string> args;     // the program, then its arguments
    std::filesystem::path dir;         // working folder; empty: the current one
    std::vector<std::pair<std::string, std::string>> env;  // added to the environment
    std::filesystem::path out, err;    // where its output goes; empty: nowhere
};

// Runs the program and waits for it; its exit code, or -1 when it could not
// be started or did not end normally.
int RunProgram(const Run& run);

// True in the Windows build of the tests.
bool OnWindows();

// The test programs' own path for a file of the build or source tree
// (configure-time Linux paths reach Windows programs as drive Z:).
std::string HostFile(const std::string& linuxPath);

// Linux tools (xmllint, pdftotext, zbarimg ...) on the files a test wrote:
// on Linux run directly, under Wine through the host's /bin/sh, with the
// files' names as the host sees them.
//
// The tool's path on the host, when the host has it (under Wine only when
// Wine can map file names back to the host's).
std::optional<std::string> HostTool(const std::string& name);
// A file's name as the host's tools see it.
std::string HostPath(const std::filesystem::path& file);
// Runs a tool (arguments already host paths where they name files) with its
// standard output and error into `output`; its exit code, -1 when it could not
// be run.
int RunHostTool(const std::vector<std::string>& args, const std::filesystem::path& output);

// A regular file, made empty, that cannot be deleted while this lives: on
// Windows held open without delete sharing, on Linux bound over itself (a
// mount point cannot be unlinked, even by root). held() is false where the
// process may not mount.
class UndeletableFile {
public:
    explicit UndeletableFile(const std::filesystem::path& path);
    ~UndeletableFile();
    UndeletableFile(const UndeletableFile&) = delete;
    UndeletableFile& operator=(const UndeletableFile&) = delete;
    bool held() const { return held_; }

private:
    std::filesystem::path path_;
    bool held_ = false;
    void* handle_ = nullptr;
};

// Sets (or with nullopt removes) a variable of this process's environment
// and puts back the old value when it goes.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A FIFO at the path; false where the system has none (Windows).
bool MakeFifo(const std::filesystem::path& path);

}  // namespace vel::test
