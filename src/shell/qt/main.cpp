// The program entry: Qt application, main window, the one-second tick.

#include "app/main_window.h"
#include "app/web_addresses.h"
#include "app/wiring.h"
#include "common/program.h"
#include "ksef/ksef.h"
#include "ksef/ksef_view.h"
#include "shell/qt/qt_app.h"
#include "shell/qt/qt_chart_window.h"
#include "shell/qt/qt_ksef_window.h"
#include "shell/qt/qt_loop.h"
#include "shell/qt/qt_main_view.h"
#include "shell/qt/qt_printer.h"
#include "shell/qt/qt_services.h"
#include "shell/qt/qt_spreadsheet.h"
#include "platform/services.h"
#include "rates/charts.h"

#include <QApplication>

#include <iostream>
#include <memory>

int main(int argc, char** argv) {
    using namespace vel;
    platform::QuietQtNotes();
    if (platform::NoDisplay()) {
        platform::UseOffscreenPlatform();
        std::cerr << "vel: no display (DISPLAY and WAYLAND_DISPLAY unset): running without a window" << std::endl;
    } else {
        // A display that cannot be reached must not stop the program: it then
        // works on without a window.
        platform::AllowOffscreenFallback();
    }
    QApplication qapp(argc, argv);
    if (!platform::NoDisplay() && platform::Headless())
        std::cerr << "vel: the display cannot be reached: running without a window" << std::endl;
    QApplication::setApplicationName("Vel-drukowanie");
    // Hiding the window or closing a message box must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::InstallFontSubstitutes();

    platform::QtPrinter printer;
    platform::QtClipboard clipboard;
    platform::QtShell shell;
    platform::QtClock clock;
    platform::QtEventPump events;
    platform::QtMainView view;
    const std::unique_ptr<platform::Spreadsheet> spreadsheet = platform::MakeCalcSpreadsheet();
    Services services{printer, clipboard, shell, clock, events, view, *spreadsheet};

    // The forms in their order: main window, charts window, KSeF window.
    const std::unique_ptr<platform::QtChartWindow> charts = platform::MakeQtChartWindow(&view);
    services.chartView = charts.get();
    const std::unique_ptr<ksef::KsefView> ksefWindow =
        platform::MakeQtKsefWindow([&view](const std::string& text) { view.showError(text); });
    services.ksefView = ksefWindow.get();

    Program program(services, app::RealJobs());
    rates::AttachChartWindow(program);
    ksef::ConnectKsefWindow(program);
    app::MainWindow window(program, view);
    view.setWindow(&window);
    view.setMakerHint(app::kMakerPanelHint);

    bool signalled = false;
    platform::TickTimer ticks([&] {
        window.Guard([&] { window.TiTimer(); });
        if (window.ended()) QCoreApplication::exit(0);
    });
    // SIGTERM / SIGINT: the orderly end, as the menu item "Koniec" does.
    platform::CallOnQuitSignals([&] {
        signalled = true;
        window.Guard([&] { window.QuitProgram(); });
        QCoreApplication::exit(0);
    });

    const app::Arguments args = app::Arguments::FromArgv(argc, argv);
    window.Guard([&] { window.ZeCreat(args); });
    if (app::MainWindow::ShownAtStart(args) && !window.ended()) view.show();
    // The first tick a whole interval after the start, as every later one: a
    // standby instance stays its one second before the tick closes it.
    ticks.start();
    while (!window.ended() && !signalled) QApplication::exec();
    ticks.stop();
    return 0;
}
