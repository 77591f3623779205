#pragma once
// The program's printer object: the installed printers, the current one, and
// the document calls. One instance for the whole program.

#include "platform/canvas.h"

#include <string>
#include <vector>

namespace vel::platform {

enum class Orientation { Portrait, Landscape };

class Printer {
public:
    virtual ~Printer() = default;

    // Installed printers in the system's order; the built-in PDF printer is
    // always among them.
    virtual std::vector<std::string> printerNames() = 0;
    // Empty when the system names no default printer.
    virtual std::string defaultPrinterName() = 0;

    // Makes the named printer current (exact name as listed). False when no
    // such printer is installed; the current printer then stays.
    virtual bool setCurrent(const std::string& name) = 0;
    virtual std::string currentName() = 0;

    virtual void setOrientation(Orientation orientation) = 0;
    virtual Orientation orientation() = 0;
    // Printable page size of the current printer and orientation, device pixels.
    virtual int pageWidth() = 0;
    virtual int pageHeight() = 0;

    // Document calls. They throw vel::IoError when the printer fails.
    virtual void beginDoc(const std::string& title) = 0;
    virtual void newPage() = 0;
    virtual void endDoc() = 0;
    // Drops the document being printed: nothing of it reaches the printer.
    virtual void abortDoc() = 0;
    virtual bool printing() = 0;

    // The built-in PDF printer writes its next document to this file instead
    // of the title-named file in its folder (vel-job --pdf). Empty: by title.
    virtual void setPdfOutputFile(const std::string& path) = 0;

    // The page being drawn; valid between beginDoc and endDoc/abortDoc.
    virtual Canvas& canvas() = 0;
};

// Name of the printer that is always there: it writes each document to a PDF
// file named by the document title.
inline constexpr const char* kPdfPrinterName = "Vel PDF";

}  // namespace vel::platform
