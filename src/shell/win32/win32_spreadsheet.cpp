#include "shell/win32/win32_spreadsheet.h"

#include "common/codepage.h"
#include "common/io.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstdio>

namespace vel::platform {

namespace {

constexpr const wchar_t* kExcel = L"Excel.Application";
constexpr const wchar_t* kOffice = L"com.sun.star.ServiceManager";

bool Registered(const wchar_t* progId, CLSID& id) { return SUCCEEDED(CLSIDFromProgID(progId, &id)); }

// The running instance of the server, or else a new one; null when neither.
IDispatch* Obtain(const wchar_t* progId, bool running) {
    CLSID id{};
    if (!Registered(progId, id)) return nullptr;
    IDispatch* object = nullptr;
    if (running) {
        IUnknown* unknown = nullptr;
        if (SUCCEEDED(GetActiveObject(id, nullptr, &unknown)) && unknown) {
            unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&object));
            unknown->Release();
            if (object) return object;
        }
    }
    if (FAILED(CoCreateInstance(id, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object)))) {
        return nullptr;
    }
    return object;
}

// Excel's workbook, on its active sheet.
class ExcelWorkbook final : public Workbook {
public:
    ExcelWorkbook(const Dispatch& excel, const std::string& path) {
        // Visible hands the instance to the user: it stays when the program lets go.
        excel.put("Visible", true);
        excel.put("ScreenUpdating", true);
        sheet_ = excel.object("Workbooks").object("Open", {path}).object("ActiveSheet");
    }
    // The value rather than Text: Text is "####" for a number wider than its
    // column and keeps only the digits its format shows. Numbers come with a
    // point, whatever the desktop's separator.
    std::string cellText(int row, int column) override { return cell(row, column).call("Value").text(); }
    void setCellNumber(int row, int column, double value) override { cell(row, column).put("Value", value); }
    void setCellText(int row, int column, const std::string& text) override {
        cell(row, column).put("Value", text);
    }
    // Left open and shown: the user reviews and saves it.
    void finish() override {}

private:
    Dispatch cell(int row, int column) const { return sheet_.object("Cells", {row, column}); }
    Dispatch sheet_;
};

// A LibreOffice Calc document in a window of its own, on its active sheet.
class OfficeWorkbook final : public Workbook {
public:
    OfficeWorkbook(const Dispatch& serviceManager, const std::string& path) {
        const Dispatch desktop = serviceManager.object("createInstance", {"com.sun.star.frame.Desktop"});
        const Dispatch document =
            desktop.object("loadComponentFromURL", {FileUrl(path), "_blank", 0, Variant::EmptyArray()});
        sheet_ = document.object("getCurrentController").object("getActiveSheet");
    }
    std::string cellText(int row, int column) override { return cell(row, column).call("getString").text(); }
    void setCellNumber(int row, int column, double value) override { cell(row, column).call("setValue", {value}); }
    void setCellText(int row, int column, const std::string& text) override {
        cell(row, column).call("setString", {text});
    }
    // The window stays for the user to review and save.
    void finish() override {}

private:
    Dispatch cell(int row, int column) const { return sheet_.object("getCellByPosition", {column - 1, row - 1}); }
    Dispatch sheet_;
};

}  // namespace

std::unique_ptr<Workbook> OpenExcelWorkbook(const Dispatch& excel, const std::string& path) {
    return std::make_unique<ExcelWorkbook>(excel, path);
}

std::unique_ptr<Workbook> OpenOfficeWorkbook(const Dispatch& serviceManager, const std::string& path) {
    return std::make_unique<OfficeWorkbook>(serviceManager, path);
}

std::string FileUrl(const std::string& path) {
    std::string name = Cp1250ToUtf8(path);
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    std::string url = name.rfind("//", 0) == 0 ? "file:" : "file:///";
    for (unsigned char c : name) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '/' || c == ':' || c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            url += escaped;
        }
    }
    return url;
}

ComSpreadsheet::ComSpreadsheet() = default;

ComSpreadsheet::~ComSpreadsheet() {
    if (entered_) CoUninitialize();
}

// Only once a spreadsheet is wanted: entering COM makes a window of its own,
// which costs a start of the desktop where there is none yet. Looking a
// server up needs COM entered too.
void ComSpreadsheet::enter() {
    if (!entered_) entered_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));  // S_FALSE too
}

bool ComSpreadsheet::available() {
    if (unusable_) return false;
    enter();
    CLSID id{};
    return Registered(kExcel, id) || Registered(kOffice, id);
}

std::unique_ptr<Workbook> ComSpreadsheet::open(const std::string& path) {
    enter();
    if (IDispatch* excel = Obtain(kExcel, true)) {
        const Dispatch application(excel, path);
        excel->Release();
        return OpenExcelWorkbook(application, path);
    }
    if (IDispatch* office = Obtain(kOffice, false)) {
        const Dispatch serviceManager(office, path);
        office->Release();
        return OpenOfficeWorkbook(serviceManager, path);
    }
    // Registered but cannot be started (removed, broken): as if not there.
    unusable_ = true;
    throw IoError(path, "no spreadsheet program could be started");
}

}  // namespace vel::platform
