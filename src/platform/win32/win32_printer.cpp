#include "platform/win32/win32_printer.h"

#include "common/codepage.h"
#include "common/io.h"
#include "platform/pdf/pdf_canvas.h"
#include "platform/pdf/pdf_file_name.h"
#include "platform/pdf/pdf_writer.h"
#include "platform/win32/win32_gdi_fonts.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vel::platform {

namespace {

constexpr int kDpi = 600;
// A4 at the printer's resolution, and in points for the PDF page.
constexpr int kA4WidthPx = 4961;
constexpr int kA4HeightPx = 7016;
constexpr double kA4WidthPt = 595;
constexpr double kA4HeightPt = 842;

std::string PdfFolder() {
    if (const char* env = std::getenv("VEL_PDF_DIR"); env && *env) return env;
    return "pdf";
}

}  // namespace

struct Win32Printer::Impl {
    Orientation orientation = Orientation::Portrait;
    std::string pdfOverride;
    GdiFontSource fonts;
    PdfCanvas canvas{fonts, kDpi};
    std::unique_ptr<PdfWriter> doc;
    std::string tempName;    // the file being written, beside the target
    std::string targetName;  // where it goes at end document
    Orientation docOrientation = Orientation::Portrait;

    PdfWriter::PageFormat pageFormat() const {
        const bool landscape = orientation == Orientation::Landscape;
        PdfWriter::PageFormat f;
        f.widthPt = landscape ? kA4HeightPt : kA4WidthPt;
        f.heightPt = landscape ? kA4WidthPt : kA4HeightPt;
        f.dpi = kDpi;
        return f;
    }

    void discard() {
        canvas.attach(nullptr);
        doc.reset();
        if (!tempName.empty()) DeleteFileQuietly(tempName);
        tempName.clear();
    }
};

Win32Printer::Win32Printer() : impl_(std::make_unique<Impl>()) {}

Win32Printer::~Win32Printer() { impl_->discard(); }

std::vector<std::string> Win32Printer::printerNames() { return {kPdfPrinterName}; }

std::string Win32Printer::defaultPrinterName() { return kPdfPrinterName; }

bool Win32Printer::setCurrent(const std::string& name) { return name == kPdfPrinterName; }

std::string Win32Printer::currentName() { return kPdfPrinterName; }

void Win32Printer::setOrientation(Orientation orientation) { impl_->orientation = orientation; }

Orientation Win32Printer::orientation() { return impl_->orientation; }

int Win32Printer::pageWidth() { return impl_->orientation == Orientation::Landscape ? kA4HeightPx : kA4WidthPx; }

int Win32Printer::pageHeight() { return impl_->orientation == Orientation::Landscape ? kA4WidthPx : kA4HeightPx; }

void Win32Printer::beginDoc(const std::string& title) {
    impl_->discard();
    std::string target = impl_->pdfOverride;
    impl_->pdfOverride.clear();
    if (target.empty()) {
        const std::string folder = PdfFolder();
        std::error_code ec;
        std::filesystem::create_directories(NativePath(folder), ec);
        target = folder + "\\" + PdfFileNameOf(title);
    }
    impl_->targetName = target;
    // Unique among the processes that may print into the same folder.
    impl_->tempName = target + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
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
    if (!impl_->doc) throw IoError(kPdfPrinterName, "no document is being printed");
    impl_->canvas.flush();
    impl_->doc->beginPage(impl_->pageFormat());
}

void Win32Printer::endDoc() {
    if (!impl_->doc) throw IoError(kPdfPrinterName, "no document is being printed");
    impl_->canvas.flush();
    impl_->canvas.attach(nullptr);
    try {
        impl_->doc->finish();
    } catch (...) {
        impl_->discard();
        throw;
    }
    impl_->doc.reset();
    const std::filesystem::path temp = NativePath(impl_->tempName);
    const std::filesystem::path target = NativePath(impl_->targetName);
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        impl_->discard();
        throw IoError(impl_->targetName, "cannot write the PDF file");
    }
    impl_->tempName.clear();
}

void Win32Printer::abortDoc() { impl_->discard(); }

bool Win32Printer::printing() { return impl_->doc != nullptr; }

void Win32Printer::setPdfOutputFile(const std::string& path) { impl_->pdfOverride = path; }

Canvas& Win32Printer::canvas() { return impl_->canvas; }

}  // namespace vel::platform
