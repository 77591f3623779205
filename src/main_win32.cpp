// `vel.exe`: the program on Windows: the main window on Win32, the one-second tick.

#include "app/main_window.h"
#include "app/web_addresses.h"
#include "app/wiring.h"
#include "common/program.h"
#include "platform/services.h"
#include "platform/win32/win32_main_view.h"
#include "platform/win32/win32_printer.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_spreadsheet.h"

#include <iostream>
#include <string>
#include <vector>

int main() {
    using namespace vel;
    platform::Win32Printer printer;
    platform::Win32Clipboard clipboard;
    platform::Win32Shell shell;
    platform::Win32Clock clock;
    platform::Win32EventPump events;
    platform::Win32MainView view;
    if (!view.created()) {
        std::cerr << "vel: the window cannot be created (no desktop): nothing to run on" << std::endl;
        return 1;
    }
    platform::ComSpreadsheet spreadsheet;
    Services services{printer, clipboard, shell, clock, events, view, spreadsheet};

    Program program(services, app::RealJobs());
    app::MainWindow window(program, view);
    view.setWindow(&window);
    view.setMakerHint(app::kMakerPanelHint);

    // Arguments by position, as the command line gives them in code page 1250.
    const std::vector<std::string> given = platform::CommandLineArguments();
    app::Arguments args;
    if (given.size() > 0) args.oneShot = given[0];
    if (given.size() > 1) args.workPrefix = given[1];
    if (given.size() > 2) args.driverDir = given[2];

    window.Guard([&] { window.ZeCreat(args); });
    if (app::MainWindow::ShownAtStart(args) && !window.ended()) view.show();
    // The first tick as soon as the loop runs: it places the window and shows
    // the date at once instead of a second later.
    // The loop ends once the logic closed the window.
    view.startTicks([&] { window.Guard([&] { window.TiTimer(); }); }, 0);
    view.runLoop();
    view.stopTicks();
    return 0;
}
