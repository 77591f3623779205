#include "shell/win32/win32_printer.h"

#include "common/codepage.h"
#include "common/io.h"
#include "platform/file_system.h"
#include "platform/output_files.h"
#include "pdf/pdf_canvas.h"
#include "pdf/pdf_file_name.h"
#include "pdf/pdf_writer.h"
#include "shell/win32/win32_gdi_canvas.h"
#include "shell/win32/win32_error_text.h"
#include "shell/win32/win32_gdi_fonts.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <system_error>
#include <vector>

namespace vel::platform {

namespace {

constexpr int kDpi = 600;
// A4 at the printer's resolution, and in points for the PDF page.
constexpr int kA4WidthPx = 4961;
constexpr int kA4HeightPx = 7016;
constexpr double kA4WidthPt = 595;
constexpr double kA4HeightPt = 842;

// ": the system's words (error N)", or " (error N)" when it has none.
std::string ErrorCode(DWORD code) {
    const std::string words = SystemErrorWords(code);
    return (words.empty() ? "" : ": " + words) + " (error " + std::to_string(code) + ")";
}

// The printers the spooler knows, local ones and connections, in its order.
std::vector<std::wstring> SpoolerPrinters() {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    std::vector<BYTE> buffer;
    DWORD needed = 0, count = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (EnumPrintersW(flags, nullptr, 4, buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()),
                          &needed, &count))
            break;
        count = 0;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        buffer.resize(needed);  // a printer may come between the two calls: ask again
    }
    std::vector<std::wstring> names;
    const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (info[i].pPrinterName && *info[i].pPrinterName) names.emplace_back(info[i].pPrinterName);
    return names;
}

// The printer's own settings with the orientation asked for; empty when the
// printer gives none (its device context then takes its defaults).
std::vector<BYTE> DevModeOf(const std::wstring& printer, Orientation orientation) {
    std::wstring name = printer;
    HANDLE handle = nullptr;
    if (!OpenPrinterW(name.data(), &handle, nullptr)) return {};
    std::vector<BYTE> mode;
    const LONG size = DocumentPropertiesW(nullptr, handle, name.data(), nullptr, nullptr, 0);
    if (size >= static_cast<LONG>(sizeof(DEVMODEW))) {
        mode.resize(static_cast<std::size_t>(size));
        auto* dm = reinterpret_cast<DEVMODEW*>(mode.data());
        if (DocumentPropertiesW(nullptr, handle, name.data(), dm, nullptr, DM_OUT_BUFFER) == IDOK) {
            std::vector<BYTE> wanted = mode;
            auto* in = reinterpret_cast<DEVMODEW*>(wanted.data());
            in->dmFields |= DM_ORIENTATION;
            in->dmOrientation = orientation == Orientation::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
            // The driver merges the change into its settings; one that refuses
            // gets the change as it is.
            if (DocumentPropertiesW(nullptr, handle, name.data(), dm, in, DM_IN_BUFFER | DM_OUT_BUFFER) != IDOK)
                mode = std::move(wanted);
        } else {
            mode.clear();
        }
    }
    ClosePrinter(handle);
    return mode;
}

const DEVMODEW* ModePointer(const std::vector<BYTE>& mode) {
    return mode.empty() ? nullptr : reinterpret_cast<const DEVMODEW*>(mode.data());
}

}  // namespace

struct Win32Printer::Impl {
    std::string current = kPdfPrinterName;
    std::wstring currentWide;  // the spooler's name of the current printer; empty: the built-in one
    Orientation orientation = Orientation::Portrait;

    // The printable area of the current printer in the current orientation,
    // asked of the spooler once per printer and orientation.
    bool measured = false;
    int width = kA4WidthPx, height = kA4HeightPx;

    // The document being printed: a choice of another printer while it
    // prints counts from the next document.
    std::string docPrinter;
    HDC dc = nullptr;  // a spooler printer's document
    std::wstring docWide;
    Orientation docOrientation = Orientation::Portrait;
    GdiCanvas gdi;

    // The built-in PDF printer's document.
    std::string pdfOverride;
    GdiFontSource fonts;
    PdfCanvas canvas{fonts, kDpi};
    std::unique_ptr<PdfWriter> doc;
    std::string tempName;  // the file being written, in the folder of its final name
    std::string title;

    PdfWriter::PageFormat pageFormat() const {
        const bool landscape = orientation == Orientation::Landscape;
        PdfWriter::PageFormat f;
        f.widthPt = landscape ? kA4HeightPt : kA4WidthPt;
        f.heightPt = landscape ? kA4WidthPt : kA4HeightPt;
        f.dpi = kDpi;
        return f;
    }

    void measure() {
        if (measured) return;
        measured = true;
        const bool landscape = orientation == Orientation::Landscape;
        width = landscape ? kA4HeightPx : kA4WidthPx;
        height = landscape ? kA4WidthPx : kA4HeightPx;
        if (currentWide.empty()) return;
        // A printer that cannot answer is taken as an A4 one at 600 dpi.
        const std::vector<BYTE> mode = DevModeOf(currentWide, orientation);
        if (HDC ic = CreateICW(L"WINSPOOL", currentWide.c_str(), nullptr, ModePointer(mode))) {
            const int w = GetDeviceCaps(ic, HORZRES), h = GetDeviceCaps(ic, VERTRES);
            if (w > 0 && h > 0) {
                width = w;
                height = h;
            }
            DeleteDC(ic);
        }
    }

    // Hands the spooler document's page over. Raises vel::IoError; the
    // document is then dropped.
    void endPage() {
        gdi.detach();
        if (EndPage(dc) <= 0) {
            const DWORD code = GetLastError();
            discard();
            throw IoError(docPrinter, "the printer refused a page" + ErrorCode(code));
        }
    }

    // Starts the next page of the spooler document in the orientation chosen
    // now. Raises vel::IoError; the document is then dropped.
    void startPage() {
        if (orientation != docOrientation) {
            const std::vector<BYTE> mode = DevModeOf(docWide, orientation);
            if (!mode.empty() && ResetDCW(dc, ModePointer(mode))) docOrientation = orientation;
        }
        if (StartPage(dc) <= 0) {
            const DWORD code = GetLastError();
            discard();
            throw IoError(docPrinter, "the printer refused a new page" + ErrorCode(code));
        }
        gdi.attach(dc);
    }

    void discard() {
        canvas.attach(nullptr);
        doc.reset();
        if (!tempName.empty()) DeleteFileQuietly(tempName);
        tempName.clear();
        gdi.detach();
        if (dc) {
            // The spooler drops the job with everything sent of it.
            AbortDoc(dc);
            DeleteDC(dc);
        }
        dc = nullptr;
    }
};

Win32Printer::Win32Printer() : impl_(std::make_unique<Impl>()) {
    // Documents of a run that was killed while it printed.
    RemoveAbandonedTemporaryFiles(PdfFolder());
    const std::string def = defaultPrinterName();
    if (!def.empty()) setCurrent(def);
}

Win32Printer::~Win32Printer() { impl_->discard(); }

std::vector<std::string> Win32Printer::printerNames() {
    std::vector<std::string> names;
    for (const std::wstring& name : SpoolerPrinters()) names.push_back(NarrowFileName(name));
    names.push_back(kPdfPrinterName);
    return names;
}

std::string Win32Printer::defaultPrinterName() {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    if (size == 0) return {};
    std::wstring name(size, L'\0');
    if (!GetDefaultPrinterW(name.data(), &size)) return {};
    name.resize(wcsnlen(name.c_str(), name.size()));
    return NarrowFileName(name);
}

bool Win32Printer::setCurrent(const std::string& name) {
    std::wstring wide;
    if (name != kPdfPrinterName) {
        for (const std::wstring& candidate : SpoolerPrinters()) {
            if (NarrowFileName(candidate) == name) {
                wide = candidate;
                break;
            }
        }
        if (wide.empty()) return false;
    }
    impl_->current = name;
    impl_->currentWide = wide;
    impl_->measured = false;
    return true;
}

std::string Win32Printer::currentName() { return impl_->current; }

void Win32Printer::setOrientation(Orientation orientation) {
    // A document in progress takes the new orientation from its next page.
    if (orientation != impl_->orientation) impl_->measured = false;
    impl_->orientation = orientation;
}

Orientation Win32Printer::orientation() { return impl_->orientation; }

int Win32Printer::pageWidth() {
    impl_->measure();
    return impl_->width;
}

int Win32Printer::pageHeight() {
    impl_->measure();
    return impl_->height;
}

void Win32Printer::beginDoc(const std::string& title) {
    impl_->discard();
    impl_->docPrinter = impl_->current;
    if (!impl_->currentWide.empty()) {
        // The document goes to the spooler page by page; it prints once its
        // end is given, and an abort drops all of it.
        impl_->docWide = impl_->currentWide;
        impl_->docOrientation = impl_->orientation;
        const std::vector<BYTE> mode = DevModeOf(impl_->docWide, impl_->orientation);
        impl_->dc = CreateDCW(L"WINSPOOL", impl_->docWide.c_str(), nullptr, ModePointer(mode));
        if (!impl_->dc) throw IoError(impl_->docPrinter, "cannot open the printer" + ErrorCode(GetLastError()));
        const std::wstring wideTitle = WideFileName(title);
        DOCINFOW info{};
        info.cbSize = sizeof info;
        info.lpszDocName = wideTitle.c_str();
        if (StartDocW(impl_->dc, &info) <= 0) {
            const DWORD code = GetLastError();
            DeleteDC(impl_->dc);
            impl_->dc = nullptr;
            throw IoError(impl_->docPrinter, "the spooler refused the document" + ErrorCode(code));
        }
        impl_->startPage();
        return;
    }
    // The document is written in the folder of its final name, so that it
    // takes that name by a rename once complete.
    impl_->title = title;
    std::string folder = PdfFolder();
    if (!impl_->pdfOverride.empty()) {
        const std::string& path = impl_->pdfOverride;
        const std::size_t slash = path.find_last_of("/\\");
        folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    }
    std::error_code ec;
    std::filesystem::create_directories(NativePath(folder), ec);
    impl_->tempName = CreateTemporaryFile(folder, ".part");
    try {
        impl_->doc = std::make_unique<PdfWriter>(impl_->tempName, Cp1250ToUtf8(title), "Vel");
        impl_->doc->beginPage(impl_->pageFormat());
    } catch (...) {
        impl_->discard();
        throw;
    }
    impl_->canvas.attach(impl_->doc.get());
}

void Win32Printer::newPage() {
    if (impl_->dc) {
        impl_->endPage();
        impl_->startPage();
        return;
    }
    if (!impl_->doc) throw IoError(impl_->current, "no document is being printed");
    impl_->canvas.flush();
    impl_->doc->beginPage(impl_->pageFormat());
}

void Win32Printer::endDoc() {
    if (impl_->dc) {
        impl_->endPage();
        const bool ended = EndDoc(impl_->dc) > 0;
        const DWORD code = GetLastError();
        if (!ended) {
            impl_->discard();
            throw IoError(impl_->docPrinter, "the spooler refused the document" + ErrorCode(code));
        }
        DeleteDC(impl_->dc);
        impl_->dc = nullptr;
        return;
    }
    if (!impl_->doc) throw IoError(impl_->current, "no document is being printed");
    impl_->canvas.flush();
    impl_->canvas.attach(nullptr);
    try {
        impl_->doc->finish();
    } catch (...) {
        impl_->discard();
        throw;
    }
    impl_->doc.reset();
    const std::string written = impl_->tempName;
    impl_->tempName.clear();
    std::string target = impl_->pdfOverride;
    impl_->pdfOverride.clear();
    if (target.empty()) {
        // A document never replaces another: titles repeat between runs.
        CommitToFreeName(written, PdfFolder() + "\\" + PdfFileNameOf(impl_->title));
    } else {
        CommitReplacing(written, target);  // the name asked for, replaced
    }
}

void Win32Printer::abortDoc() { impl_->discard(); }

bool Win32Printer::printing() { return impl_->doc != nullptr || impl_->dc != nullptr; }

void Win32Printer::setPdfOutputFile(const std::string& path) { impl_->pdfOverride = path; }

Canvas& Win32Printer::canvas() {
    if (impl_->dc) return impl_->gdi;
    return impl_->canvas;
}

}  // namespace vel::platform
