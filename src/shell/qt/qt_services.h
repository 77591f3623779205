#pragma once
// Clipboard, shell, clock and event pump on Qt. They need a QApplication
// (QGuiApplication for the clipboard) while they are used.

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/shell.h"

#include <string>

namespace vel::platform {

class QtClipboard final : public Clipboard {
public:
    std::string text() override;
    void setText(const std::string& text) override;
};

class QtShell final : public Shell {
public:
    // Web addresses and files go to their associated program (xdg-open);
    // a program file is started with `parameters` in `directory`.
    int open(const std::string& target, const std::string& parameters, const std::string& directory,
             ShowMode mode) override;
    // The command line is split like a shell would and started detached.
    int run(const std::string& commandLine) override;
};

class QtClock final : public Clock {
public:
    DateTime now() override;
    // "H:mm:ss", or the locale's long time format when VEL_LOCALE_TIME is set.
    std::string longTimeText() override;
    void sleepMs(int milliseconds) override;
    std::int64_t steadyMs() override;
};

class QtEventPump final : public EventPump {
public:
    void processPending() override;
};

// Result codes of Shell::open and Shell::run.
inline constexpr int kShellOk = 42;
inline constexpr int kShellFileNotFound = 2;
inline constexpr int kShellPathNotFound = 3;
inline constexpr int kShellAccessDenied = 5;
inline constexpr int kShellOutOfMemory = 8;
inline constexpr int kShellBadExe = 11;

}  // namespace vel::platform
