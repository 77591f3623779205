#pragma once

#include "common/program.h"
#include "support/fake_platform.h"

namespace vel::test {

// A Program wired to fakes, with no job handlers unless a test sets them.
struct TestProgram {
    platform::FakePrinter printer;
    platform::FakeClipboard clipboard;
    platform::FakeShell shell;
    platform::FakeClock clock;
    platform::FakeEventPump events;
    platform::FakeStatusLine status;
    platform::FakeSpreadsheet spreadsheet;
    Program program{Services{printer, clipboard, shell, clock, events, status, spreadsheet}, Jobs{}};

    TestProgram() = default;
    explicit TestProgram(std::vector<platform::FakePrinterInfo> printers, std::string defaultName = {})
        : printer(std::move(printers), std::move(defaultName)) {}
};

}  // namespace vel::test
