#pragma once
// The spreadsheet program on Windows through its automation server: Excel
// ("Excel.Application"), or else LibreOffice ("com.sun.star.ServiceManager"),
// both called through IDispatch. The workbook is shown and left open for the
// user to review and save: nothing is saved in the program's name.

#include "platform/spreadsheet.h"
#include "shell/win32/win32_dispatch.h"

#include <memory>
#include <string>

namespace vel::platform {

class ComSpreadsheet final : public Spreadsheet {
public:
    // The thread enters COM (a single-threaded apartment, as windows need)
    // when a spreadsheet is first asked for, and leaves it at the end; calls
    // come from that thread.
    ComSpreadsheet();
    ~ComSpreadsheet() override;
    ComSpreadsheet(const ComSpreadsheet&) = delete;
    ComSpreadsheet& operator=(const ComSpreadsheet&) = delete;

    // True when either automation server is registered and none has failed
    // to start in this run.
    bool available() override;
    std::unique_ptr<Workbook> open(const std::string& path) override;

private:
    void enter();

    bool entered_ = false;
    bool unusable_ = false;  // no server could be started: not tried again
};

// The workbook at `path` (a full Windows name) through an application object
// already obtained: Excel's "Excel.Application", or LibreOffice's service
// manager.
std::unique_ptr<Workbook> OpenExcelWorkbook(const Dispatch& excel, const std::string& path);
std::unique_ptr<Workbook> OpenOfficeWorkbook(const Dispatch& serviceManager, const std::string& path);

// "C:\Dane\Magazyn.xls" as LibreOffice's "file:///C:/Dane/Magazyn.xls"
// (UTF-8, with %-escapes), "\\server\share\x" as "file://server/share/x".
std::string FileUrl(const std::string& path);

}  // namespace vel::platform
