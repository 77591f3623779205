#pragma once
// A printer for the fuzz targets of the print path: a canvas that only counts
// what it is asked to draw, and aborts on a document call out of order.

#include "common/program.h"
#include "support/fake_platform.h"
#include "platform/printer.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace vel::fuzz {

class CountingCanvas : public platform::Canvas {
public:
    int dpi = 600;
    std::uint64_t ops = 0;
    int textWidth(const platform::Font& font, std::string_view text) override {
        return static_cast<int>(text.size()) * (font.sizePt * dpi * 6 / 720);
    }
    int textHeight(const platform::Font& font, std::string_view) override { return font.sizePt * dpi / 72; }
    void drawText(platform::Point, std::string_view, const platform::Font&) override { ++ops; }
    void drawLine(platform::Point, platform::Point, const platform::Pen&) override { ++ops; }
    void drawPolyline(const std::vector<platform::Point>&, const platform::Pen&) override { ++ops; }
    void drawPolygon(const std::vector<platform::Point>&, platform::Color, const platform::Pen&) override { ++ops; }
    void fillRect(platform::Point, platform::Point, platform::Color) override { ++ops; }
};

class CountingPrinter : public platform::Printer {
public:
    int width = 4960, height = 7014;
    CountingCanvas page;
    std::vector<std::string> printerNames() override { return {platform::kPdfPrinterName}; }
    std::string defaultPrinterName() override { return platform::kPdfPrinterName; }
    bool setCurrent(const std::string& name) override { return name == platform::kPdfPrinterName; }
    std::string currentName() override { return platform::kPdfPrinterName; }
    void setOrientation(platform::Orientation o) override { orientation_ = o; }
    platform::Orientation orientation() override { return orientation_; }
    int pageWidth() override { return orientation_ == platform::Orientation::Portrait ? width : height; }
    int pageHeight() override { return orientation_ == platform::Orientation::Portrait ? height : width; }
    void beginDoc(const std::string&) override {
        if (printing_) std::abort();  // the driver never nests documents
        printing_ = true;
    }
    void newPage() override { check(); }
    void endDoc() override {
        check();
        printing_ = false;
    }
    void abortDoc() override { printing_ = false; }
    bool printing() override { return printing_; }
    void setPdfOutputFile(const std::string&) override {}
    platform::Canvas& canvas() override {
        check();
        return page;
    }

private:
    void check() {
        if (!printing_) std::abort();  // drawing outside a document is a fault
    }
    platform::Orientation orientation_ = platform::Orientation::Portrait;
    bool printing_ = false;
};

// A program that prints on the counting printer, with fakes for the rest.
struct CountingProgram {
    CountingPrinter printer;
    platform::FakeClipboard clipboard;
    platform::FakeShell shell;
    platform::FakeClock clock;
    platform::FakeEventPump events;
    platform::FakeStatusLine status;
    platform::FakeSpreadsheet spreadsheet;
    Program program{Services{printer, clipboard, shell, clock, events, status, spreadsheet}, Jobs{}};
};

// A scratch folder of the target's own becomes the current directory, once:
// in memory where the system has such a folder, since every input writes and
// reads a handful of small files.
inline void EnterScratchFolder(const char* name) {
    static bool done = false;
    if (done) return;
    std::error_code ec;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0
            ? std::filesystem::path("/dev/shm")
            : std::filesystem::temp_directory_path();
    static std::string folder;
    folder = (base / (std::string(name) + "-XXXXXX")).string();
    if (!mkdtemp(folder.data())) std::abort();
    std::filesystem::current_path(folder);
    // Gone when the run ends normally; after a finding it stays to be looked at.
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    done = true;
}

}  // namespace vel::fuzz
