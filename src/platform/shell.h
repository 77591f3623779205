#pragma once

#include <string>

namespace vel::platform {

enum class ShowMode { Normal, Minimized, Hidden };

// Opening documents and addresses and starting programs.
class Shell {
public:
    virtual ~Shell() = default;
    // Opens a file or web address with its associated program (the default
    // browser for addresses). Returns the window system's result code: above
    // 32 on success; 2 file not found, 3 path not found, 5 access denied,
    // 8 out of memory, 11 bad executable.
    virtual int open(const std::string& target, const std::string& parameters,
                     const std::string& directory, ShowMode mode) = 0;
    // Starts a command line as a new process and does not wait for it.
    // Returns the same codes as open().
    virtual int run(const std::string& commandLine) = 0;
};

}  // namespace vel::platform
