#pragma once

#include <memory>
#include <string>

namespace vel::platform {

// One open workbook of the spreadsheet program. Rows and columns count from 1.
// Calls throw vel::IoError when the spreadsheet program fails.
class Workbook {
public:
    virtual ~Workbook() = default;
    virtual std::string cellText(int row, int column) = 0;  // as displayed, code page 1250
    virtual void setCellNumber(int row, int column, double value) = 0;
    virtual void setCellText(int row, int column, const std::string& text) = 0;
    // Ends the session: with a display the workbook stays open for the user,
    // without one it is saved in place.
    virtual void finish() = 0;
};

class Spreadsheet {
public:
    virtual ~Spreadsheet() = default;
    // False when no spreadsheet program is installed.
    virtual bool available() = 0;
    // Connects to a running spreadsheet program or starts one and opens the
    // workbook. Throws vel::IoError when that fails.
    virtual std::unique_ptr<Workbook> open(const std::string& path) = 0;
};

}  // namespace vel::platform
