// The spreadsheet through COM automation. A recording automation object
// stands in for Excel and LibreOffice and logs what a real server would
// receive: member names, arguments in the order the caller wrote them (Invoke
// gets them last one first), their types, and property writes. The private
// Wine prefix has no automation server, which is the "no Excel" path; where
// one is registered it is driven for real.

#include "app/downloads.h"
#include "charts/fake_chart_view.h"
#include "common/codepage.h"
#include "common/io.h"
#include "shell/win32/win32_dispatch.h"
#include "shell/win32/win32_spreadsheet.h"
#include "rates/charts.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <charconv>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vel::test {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const wchar_t* text, UINT length) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

// An argument as the server sees it, with its type.
std::string Show(const VARIANT& v) {
    switch (v.vt) {
        case VT_I4:
            return "I4 " + std::to_string(v.lVal);
        case VT_R8: {
            char buf[32];
            const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v.dblVal);
            return "R8 " + std::string(buf, end);
        }
        case VT_BOOL:
            return v.boolVal == VARIANT_TRUE ? "BOOL true" : "BOOL false";
        case VT_BSTR:
            return "\"" + Utf8(v.bstrVal, SysStringLen(v.bstrVal)) + "\"";
        case VT_ARRAY | VT_VARIANT: {
            LONG low = 0, high = -1;
            SafeArrayGetLBound(v.parray, 1, &low);
            SafeArrayGetUBound(v.parray, 1, &high);
            return "ARRAY " + std::to_string(high - low + 1);
        }
        default:
            return "VT " + std::to_string(v.vt);
    }
}

// What the servers answer and how many of their objects are still held.
struct Server {
    std::vector<std::string> calls;
    std::vector<std::string> names;           // DISPIDs are positions here, from 1
    std::map<std::string, std::string> texts;  // member -> text answer (UTF-8)
    std::map<std::string, double> numbers;     // member -> number answer
    std::string raising;                       // member that raises an error
    int alive = 0;
};

// Every member answers a new object named after it, a text when the server
// says so, and raises for the one that should.
class Recorder final : public IDispatch {
public:
    Recorder(Server& server, std::string name) : server_(server), name_(std::move(name)) { ++server_.alive; }
    ~Recorder() { --server_.alive; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1) return E_INVALIDARG;
        server_.names.push_back(Utf8(names[0], static_cast<UINT>(wcslen(names[0]))));
        ids[0] = static_cast<DISPID>(server_.names.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT*) override {
        const std::string member = server_.names.at(static_cast<std::size_t>(id - 1));
        std::string args;
        for (UINT i = params->cArgs; i-- > params->cNamedArgs;) {
            args += (args.empty() ? "" : ", ") + Show(params->rgvarg[i]);
        }
        if (flags == DISPATCH_PROPERTYPUT) {
            const bool named = params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
            server_.calls.push_back(name_ + "." + member + " = " + (named ? Show(params->rgvarg[0]) : "?"));
            return S_OK;
        }
        server_.calls.push_back(name_ + "." + member + "(" + args + ")");
        if (member == server_.raising) {
            info->bstrSource = SysAllocString(L"Microsoft Excel");
            info->bstrDescription = SysAllocString(Wide("Nie można odnaleźć pliku „Magazyn.xls”").c_str());
            info->scode = static_cast<SCODE>(0x800A03EC);
            return DISP_E_EXCEPTION;
        }
        if (!result) return S_OK;
        if (auto number = server_.numbers.find(member); number != server_.numbers.end()) {
            result->vt = VT_R8;
            result->dblVal = number->second;
            server_.numbers.erase(number);  // once: then the text, if any
        } else if (auto text = server_.texts.find(member); text != server_.texts.end()) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(Wide(text->second).c_str());
        } else {
            result->vt = VT_DISPATCH;
            result->pdispVal = new Recorder(server_, member);
        }
        return S_OK;
    }

private:
    Server& server_;
    std::string name_;
    ULONG refs_ = 1;
};

// The application object of a recording server, as the program would hold it.
platform::Dispatch Application(Server& server, const std::string& name) {
    auto* root = new Recorder(server, name);
    platform::Dispatch application(root, "C:\\Dane\\Magazyn.xls");
    root->Release();
    return application;
}

// The user's decimal separator made a comma while it lives, as on a Polish desktop.
class DecimalComma {
public:
    DecimalComma() {
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved_, 8);
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L",");
    }
    ~DecimalComma() { SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved_); }

private:
    wchar_t saved_[8] = L".";
};

TEST(ComWorkbook, ExcelIsShownAndItsCellsReadAndWrittenAsAServerSeesThem) {
    DecimalComma polishDesktop;
    Server excel;
    excel.numbers["Value"] = 4.3434;
    excel.texts["Value"] = "Zażółć";
    {
        auto book = platform::OpenExcelWorkbook(Application(excel, "Application"), "C:\\Dane\\Mo\xbf" "e.xls");
        EXPECT_EQ(book->cellText(2, 5), "4.3434");
        EXPECT_EQ(book->cellText(2, 3), Utf8ToCp1250("Zażółć"));
        book->setCellNumber(2, 8, 4.3434);
        book->setCellText(3, 8, Utf8ToCp1250("źle"));
        book->finish();
    }
    const std::vector<std::string> expected = {
        "Application.Visible = BOOL true",
        "Application.ScreenUpdating = BOOL true",
        "Application.Workbooks()",
        "Workbooks.Open(\"C:\\Dane\\Może.xls\")",
        "Open.ActiveSheet()",
        "ActiveSheet.Cells(I4 2, I4 5)",
        "Cells.Value()",
        "ActiveSheet.Cells(I4 2, I4 3)",
        "Cells.Value()",
        "ActiveSheet.Cells(I4 2, I4 8)",
        "Cells.Value = R8 4.3434",
        "ActiveSheet.Cells(I4 3, I4 8)",
        "Cells.Value = \"źle\"",
    };
    EXPECT_EQ(excel.calls, expected);
    // Nothing is held once the workbook is let go: Excel stays with the user.
    EXPECT_EQ(excel.alive, 0);
}

TEST(ComWorkbook, LibreOfficeLoadsTheFileUrlAndCountsCellsFromZeroColumnFirst) {
    Server office;
    office.texts["getString"] = "EUR";
    {
        auto book = platform::OpenOfficeWorkbook(Application(office, "ServiceManager"),
                                                 "C:\\Dane\\Kursy walut\\Mo\xbf" "e.xls");
        EXPECT_EQ(book->cellText(2, 3), "EUR");
        book->setCellNumber(2, 5, 4.273);
        book->setCellText(2, 8, Utf8ToCp1250("ąę"));
        book->finish();
    }
    const std::vector<std::string> expected = {
        "ServiceManager.createInstance(\"com.sun.star.frame.Desktop\")",
        "createInstance.loadComponentFromURL(\"file:///C:/Dane/Kursy%20walut/Mo%C5%BCe.xls\", \"_blank\", I4 0, "
        "ARRAY 0)",
        "loadComponentFromURL.getCurrentController()",
        "getCurrentController.getActiveSheet()",
        "getActiveSheet.getCellByPosition(I4 2, I4 1)",
        "getCellByPosition.getString()",
        "getActiveSheet.getCellByPosition(I4 4, I4 1)",
        "getCellByPosition.setValue(R8 4.273)",
        "getActiveSheet.getCellByPosition(I4 7, I4 1)",
        "getCellByPosition.setString(\"ąę\")",
    };
    EXPECT_EQ(office.calls, expected);
    EXPECT_EQ(office.alive, 0);
    EXPECT_EQ(platform::FileUrl("\\\\serwer\\dane\\Magazyn.xls"), "file://serwer/dane/Magazyn.xls");
}

TEST(ComWorkbook, ErrorTheServerRaisesIsAnIoErrorWithItsWordsAndTheWorkbook) {
    Server excel;
    excel.raising = "Open";
    try {
        platform::OpenExcelWorkbook(Application(excel, "Application"), "C:\\Dane\\Magazyn.xls");
        ADD_FAILURE() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.path(), "C:\\Dane\\Magazyn.xls");
        EXPECT_EQ(std::string(e.what()),
                  Utf8ToCp1250("spreadsheet Open: Microsoft Excel: Nie można odnaleźć pliku „Magazyn.xls”: "
                               "C:\\Dane\\Magazyn.xls"));
    }
    EXPECT_EQ(excel.alive, 0);
}

// --- The real automation servers ---------------------------------------------

bool Registered(const wchar_t* progId) {
    CLSID id{};
    return SUCCEEDED(CLSIDFromProgID(progId, &id));
}

// Counts what the logic asks of the spreadsheet program.
class CountingSpreadsheet final : public platform::Spreadsheet {
public:
    bool available() override {
        ++asked;
        return real.available();
    }
    std::unique_ptr<platform::Workbook> open(const std::string& path) override {
        ++asked;
        return real.open(path);
    }
    platform::ComSpreadsheet real;
    int asked = 0;
};

TEST(ComSpreadsheet, WithoutAnyServerTheRatesAreConvertedAndNoExcelIsToldOnce) {
    if (Registered(L"Excel.Application") || Registered(L"com.sun.star.ServiceManager")) {
        GTEST_SKIP() << "an automation server is registered here: the no-spreadsheet path cannot be shown";
    }
    ScopedTempDir dir;
    TestProgram tp;
    CountingSpreadsheet spreadsheet;
    Program program{Services{tp.printer, tp.clipboard, tp.shell, tp.clock, tp.events, tp.status, spreadsheet},
                    Jobs{}};
    FakeChartView view;
    program.sys.chartView = &view;
    program.jobs.showRateCharts = rates::KurShow;
    rates::AttachChartWindow(program);
    tp.clock.set({2027, 1, 4, 10, 0, 0, 0, 1});
    program.state.downloadKind = app::kCurrentYearRates;
    WriteAll("Wal.{-}", "USD dolar\r\n");
    WriteAll("Magazyn.xls", "the user's workbook");

    const std::string kNoExcel = "Nie ma \xbf" "adnego Excela w systemie";
    for (int run = 0; run < 2; ++run) {
        WriteAll("archiwum_tab_a_2027.csv",
                 "data;1USD;nr;numer;\r\n;dolar;\r\n20270104;4,1012;1;001/A/NBP/2027;\r\nl;1;\r\n");
        app::AfterDownload(program);
        EXPECT_EQ(ReadAll("Kurs2027"), "USD  39085  04-01-2027  4.1012  001/A/NBP/2027  dolar 1USD\r\n");
        EXPECT_EQ(view.labelText(0, rates::RateLabel::Akt), " Akt 4.1012");
        EXPECT_EQ(view.chartError, kNoExcel);
    }
    // Told once: the second showing keeps the charts' caption and does not
    // ask for the spreadsheet program again.
    EXPECT_EQ(view.caption(), "Wykresy kurs\xf3w:  USD      ");  // the empty slots leave their spaces
    EXPECT_EQ(spreadsheet.asked, 1);
    view.handlers.escClicked();
    EXPECT_EQ(ReadAll("Wal.{-}"), "USD dolar\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
    EXPECT_EQ(ReadAll("Magazyn.xls"), "the user's workbook");
}

TEST(ComSpreadsheet, RegisteredServerUpdatesAWorkbookItMade) {
    const bool excel = Registered(L"Excel.Application");
    if (!excel && !Registered(L"com.sun.star.ServiceManager")) {
        GTEST_SKIP() << "neither Excel nor LibreOffice's automation server is registered in this Windows";
    }
    ScopedTempDir dir;
    const std::string path = NameFromPath(fs::absolute("Magazyn.xls"));
    platform::ComSpreadsheet spreadsheet;
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        // The workbook, made and saved by the server itself.
        CLSID id{};
        CLSIDFromProgID(excel ? L"Excel.Application" : L"com.sun.star.ServiceManager", &id);
        IDispatch* raw = nullptr;
        ASSERT_EQ(CoCreateInstance(id, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&raw)),
                  S_OK);
        const platform::Dispatch server(raw, path);
        raw->Release();
        if (excel) {
            const platform::Dispatch book = server.object("Workbooks").object("Add");
            const platform::Dispatch sheet = book.object("ActiveSheet");
            sheet.object("Cells", {2, 3}).put("Value", "EUR");
            sheet.object("Cells", {2, 5}).put("Value", 4.0);
            book.call("SaveAs", {path, 56});  // the Excel 97-2003 format
            book.call("Close", {false});
        } else {
            const platform::Dispatch desktop = server.object("createInstance", {"com.sun.star.frame.Desktop"});
            const platform::Dispatch book = desktop.object(
                "loadComponentFromURL", {"private:factory/scalc", "_blank", 0, platform::Variant::EmptyArray()});
            const platform::Dispatch sheet = book.object("getCurrentController").object("getActiveSheet");
            sheet.object("getCellByPosition", {2, 1}).call("setString", {"EUR"});
            sheet.object("getCellByPosition", {4, 1}).call("setValue", {4.0});
            const platform::Dispatch filter = server.object("Bridge_GetStruct", {"com.sun.star.beans.PropertyValue"});
            filter.put("Name", "FilterName");
            filter.put("Value", "MS Excel 97");
            platform::Variant options = platform::Variant::EmptyArray();
            SafeArrayDestroy(options.raw().parray);
            options.raw().parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
            LONG at = 0;
            VARIANT element;
            VariantInit(&element);
            element.vt = VT_DISPATCH;
            element.pdispVal = filter.get();
            SafeArrayPutElement(options.raw().parray, &at, &element);
            book.call("storeToURL", {platform::FileUrl(path), options});
            book.call("close", {true});
        }
    }
    ASSERT_TRUE(spreadsheet.available());
    auto book = spreadsheet.open(path);
    EXPECT_EQ(book->cellText(2, 3), "EUR");
    book->setCellNumber(2, 5, 4.273);
    std::string shown = book->cellText(2, 5);
    if (auto comma = shown.find(','); comma != std::string::npos) shown[comma] = '.';
    EXPECT_EQ(shown, "4.273");
    book->finish();
    book.reset();
    CoUninitialize();
}

}  // namespace
}  // namespace vel::test
