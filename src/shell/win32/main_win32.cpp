// `vel.exe`: the program on Windows: the main window on Win32, the one-second tick.

#include "app/main_window.h"
#include "app/web_addresses.h"
#include "app/wiring.h"
#include "common/program.h"
#include "ksef/ksef.h"
#include "platform/services.h"
#include "shell/win32/win32_chart_window.h"
#include "shell/win32/win32_ksef_window.h"
#include "shell/win32/win32_main_view.h"
#include "shell/win32/win32_printer.h"
#include "shell/win32/win32_services.h"
#include "shell/win32/win32_spreadsheet.h"
#include "rates/charts.h"

#include <functional>
#include <iostream>
#include <memory>
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

    // The forms in their order: main window, charts window, KSeF window. Their
    // handlers run at the main window's error boundary, once it exists.
    app::MainWindow* guardOwner = nullptr;
    const platform::HandlerGuard guard = [&guardOwner](const std::function<void()>& handler) {
        if (guardOwner) {
            guardOwner->Guard(handler);
        } else {
            platform::CallGuarded({}, handler);
        }
    };
    platform::Win32ChartWindow charts(
        [&view] { return rates::WindowRect{view.left(), view.top(), view.width(), view.height()}; }, guard);
    if (charts.created()) services.chartView = &charts;
    const std::unique_ptr<ksef::KsefView> ksefWindow = platform::MakeWin32KsefWindow(guard);
    services.ksefView = ksefWindow.get();

    Program program(services, app::RealJobs());
    rates::AttachChartWindow(program);
    ksef::ConnectKsefWindow(program);
    app::MainWindow window(program, view);
    guardOwner = &window;
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
    // The first tick a whole interval after the start, as every later one: a
    // standby instance stays its one second before the tick closes it.
    // The loop ends once the logic closed the window.
    view.startTicks([&] { window.Guard([&] { window.TiTimer(); }); }, 1000);
    view.runLoop();
    view.stopTicks();
    return 0;
}
