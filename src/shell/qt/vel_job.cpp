// `vel-job`: one job without the window, on the same services as `vel`.

#include "app/job_command.h"
#include "app/wiring.h"
#include "common/program.h"
#include "shell/qt/qt_app.h"
#include "shell/qt/qt_printer.h"
#include "shell/qt/qt_services.h"
#include "shell/qt/qt_spreadsheet.h"
#include "platform/services.h"

#include <QApplication>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

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
    const std::unique_ptr<platform::Spreadsheet> spreadsheet = platform::MakeCalcSpreadsheet();
    Services services{printer, clipboard, shell, clock, events, status, *spreadsheet};
    Program program(services, app::RealJobs());

    const std::vector<std::string> args(argv + 1, argv + argc);
    return app::RunJobCommand(program, args, std::cout, std::cerr);
}
