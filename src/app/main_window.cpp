#include "app/main_window.h"

namespace vel::app {

Arguments Arguments::FromArgv(int argc, char** argv) {
    Arguments a;
    if (argc > 1) a.oneShot = argv[1];
    if (argc > 2) a.workPrefix = argv[2];
    if (argc > 3) a.driverDir = argv[3];
    return a;
}

MainWindow::MainWindow(Program& program, MainView& view) : program_(program), view_(view) {}
MainWindow::~MainWindow() = default;

}  // namespace vel::app
