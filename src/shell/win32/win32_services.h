#pragma once
// The operating system's services on Win32 that need no window of their own:
// the clock, the shell (programs, documents and addresses), the clipboard,
// the message pump.

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/shell.h"

#include <string>
#include <vector>

namespace vel::platform {

class Win32Clock final : public Clock {
public:
    DateTime now() override;
    std::string longTimeText() override;
    void sleepMs(int milliseconds) override;
    std::int64_t steadyMs() override;
};

// Result codes as the shell gives them: above 32 on success, else 2 file not
// found, 3 path not found, 5 access denied, 8 out of memory, 11 bad executable.
class Win32Shell final : public Shell {
public:
    int open(const std::string& target, const std::string& parameters, const std::string& directory,
             ShowMode mode) override;
    int run(const std::string& commandLine) override;
};

class Win32Clipboard final : public Clipboard {
public:
    std::string text() override;
    void setText(const std::string& text) override;
};

class Win32EventPump final : public EventPump {
public:
    void processPending() override;
};

// The program's arguments as code page 1250 text (the narrow argv of the C
// runtime is in the ANSI code page, which may lose Polish letters).
std::vector<std::string> CommandLineArguments();

}  // namespace vel::platform
