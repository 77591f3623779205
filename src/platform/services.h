#pragma once
// Everything the program asks of the operating system, in one bundle that the
// program entry fills with the Qt implementations and the tests with fakes.

namespace vel::platform {
class Printer;
class Clipboard;
class Shell;
class Clock;
class EventPump;
class StatusLine;
class Spreadsheet;
}  // namespace vel::platform

namespace vel::ksef {
class KsefView;
}
namespace vel::rates {
class ChartView;
}

namespace vel {

struct Services {
    platform::Printer& printer;
    platform::Clipboard& clipboard;
    platform::Shell& shell;
    platform::Clock& clock;
    platform::EventPump& events;
    platform::StatusLine& status;
    platform::Spreadsheet& spreadsheet;
    ksef::KsefView* ksefView = nullptr;    // the KSeF number window, when there is one
    rates::ChartView* chartView = nullptr;  // the rate charts window, when there is one
};

}  // namespace vel
