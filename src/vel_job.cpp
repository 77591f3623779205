// `vel-job`: one job without the window, on the same services as `vel`.

#include "app/job_command.h"
#include "app/wiring.h"
#include "common/io.h"
#include "common/program.h"
#include "platform/qt/qt_app.h"
#include "platform/qt/qt_printer.h"
#include "platform/qt/qt_services.h"
#include "platform/services.h"

#include <QApplication>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// TODO(lead): replace with the spreadsheet bridge (platform/qt/qt_spreadsheet.h)
// when it lands.
class UnavailableSpreadsheet final : public vel::platform::Spreadsheet {
public:
    bool available() override { return false; }
    std::unique_ptr<vel::platform::Workbook> open(const std::string& path) override {
        throw vel::IoError(path, "no spreadsheet program");
    }
};

}  // namespace

int main(int argc, char** argv) {
    using namespace vel;
    // Always without a window, whatever display there is.
    platform::UseOffscreenPlatform();
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Vel-drukowanie");
    platform::InstallFontSubstitutes();

    platform::QtPrinter printer;
    platform::QtClipboard clipboard;
    platform::QtShell shell;
    platform::QtClock clock;
    platform::QtEventPump events;
    platform::StreamStatusLine status(std::cerr);
    UnavailableSpreadsheet spreadsheet;
    Services services{printer, clipboard, shell, clock, events, status, spreadsheet};
    Program program(services, app::RealJobs());

    const std::vector<std::string> args(argv + 1, argv + argc);
    return app::RunJobCommand(program, args, std::cout, std::cerr);
}
