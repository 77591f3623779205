#pragma once
// The printer object on Windows: the spooler's printers plus the built-in PDF
// printer. A spooler printer gets a device context per document, drawn with
// GDI page by page; the job prints at end document, and aborting drops it
// with everything sent so far. The built-in PDF printer draws each document
// into a temporary PDF file in its folder, which takes the document's name
// (the next free one) at end document; aborting deletes it, so nothing of it
// is left.
//
// The built-in PDF printer writes into %VEL_PDF_DIR%, or into the folder
// "pdf" in the current directory when that variable is unset or empty.

#include "platform/printer.h"

#include <memory>
#include <string>
#include <vector>

namespace vel::platform {

class Win32Printer final : public Printer {
public:
    Win32Printer();
    ~Win32Printer() override;

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

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vel::platform
