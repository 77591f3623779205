#pragma once
// The printer object on Qt: printers from CUPS through Qt plus the built-in
// PDF printer. Every document is drawn into a temporary PDF at the printer's
// resolution; at end document the PDF printer moves it to its folder and a
// CUPS printer gets it through `lp`. Aborting a document deletes the
// temporary file, so nothing of it reaches a printer.
//
// The built-in PDF printer writes into $VEL_PDF_DIR, or into the folder
// "pdf" in the current directory when that variable is unset or empty.
//
// Needs a QGuiApplication (or QApplication) while it is used.

#include "platform/printer.h"

#include <memory>
#include <string>
#include <vector>

namespace vel::platform {

class QtPrinter final : public Printer {
public:
    QtPrinter();
    ~QtPrinter() override;

    std::vector<std::string> printerNames() override;
    std::string defaultPrinterName() override;
    bool setCurrent(const std::string& name) override;
    std::string currentName() override;
    void setOrientation(Orientation orientation) override;
    Orientation orientation() override;
    int pageWidth() override;
    int pageHeight() override;
    void beginDoc(const std::string& title) override;
    void newPage() override;
    void endDoc() override;
    void abortDoc() override;
    bool printing() override;
    void setPdfOutputFile(const std::string& path) override;
    Canvas& canvas() override;

    // Resolution of the current printer in dots per inch.
    int resolution();
    // The file name a document title gives: characters a file system refuses
    // become '_', with ".pdf" appended. `title` is code page 1250.
    static std::string PdfFileName(const std::string& title);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Makes "Courier New" resolve to Liberation Mono (same metrics) and "Tahoma"
// to a close sans serif when those fonts are not installed. Call once after
// the application object exists.
void InstallFontSubstitutes();

}  // namespace vel::platform
