#pragma once
// The spreadsheet program on Linux: LibreOffice Calc, driven through the
// Python-UNO bridge "vel-calc-bridge.py" that ships beside the program. Each
// opened workbook is one bridge process talking over two pipes; the bridge
// connects to the office that listens on its pipe or starts one.
//
// With a display the workbook is shown and left open for the user to review
// and save. Without one (or with an office that has no windows, such as
// libreoffice-calc-nogui) it is saved in place at the end, after a copy of
// the file as it was under the "~" backup name ("Magazyn.~xls").

#include "platform/spreadsheet.h"

#include <memory>
#include <string>

namespace vel::platform {

struct CalcOptions {
    std::string bridgeScript;  // empty: "vel-calc-bridge.py" beside the running program or in its ../libexec/vel
    std::string python = "/usr/bin/python3";  // Debian's, where the uno module lives
    std::string soffice;  // empty: "soffice" on the PATH or LibreOffice's usual place
    std::string profile;  // empty: the user's own LibreOffice profile
    std::string pipeName;  // empty: one per user
    bool forceHeadless = false;
    int replySeconds = 120;  // longest wait for one answer of the bridge
};

class CalcSpreadsheet final : public Spreadsheet {
public:
    explicit CalcSpreadsheet(CalcOptions options = {});
    // False also once the office could not be started or reached.
    bool available() override;
    std::unique_ptr<Workbook> open(const std::string& path) override;

    // Process group of the office the last bridge started, 0 when it used a
    // running one (tests stop what they started).
    int lastOfficeGroup() const { return lastOfficeGroup_; }
    bool headless();

private:
    std::string sofficePath();
    CalcOptions options_;
    int lastOfficeGroup_ = 0;
    bool unusable_ = false;  // the office could not be reached: not tried again
};

// The spreadsheet of the program entry.
std::unique_ptr<Spreadsheet> MakeCalcSpreadsheet();

}  // namespace vel::platform
