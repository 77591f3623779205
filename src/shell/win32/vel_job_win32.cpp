// `vel-job.exe`: one job without the window, on the Win32 services.

#include "app/job_command.h"
#include "app/stream_status_line.h"
#include "app/wiring.h"
#include "common/program.h"
#include "platform/services.h"
#include "shell/win32/win32_printer.h"
#include "shell/win32/win32_services.h"
#include "shell/win32/win32_spreadsheet.h"

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
    platform::StreamStatusLine status(std::cerr);
    platform::ComSpreadsheet spreadsheet;
    Services services{printer, clipboard, shell, clock, events, status, spreadsheet};
    Program program(services, app::RealJobs());

    return app::RunJobCommand(program, platform::CommandLineArguments(), std::cout, std::cerr);
}
