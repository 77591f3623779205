// libFuzzer target over the whole PCL job path: the input is a job file that
// goes through the title rules, the pre-scan, the reindent and the print pass
// onto a canvas that only counts what it is asked to draw.

#include "common/io.h"
#include "common/program.h"
#include "pcl/pcl_job.h"
#include "platform/fake/fake_platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace vel;

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

void EnterScratchFolder() {
    static bool done = false;
    if (done) return;
    std::string folder = (std::filesystem::temp_directory_path() / "vel-pcl-fuzz-XXXXXX").string();
    if (!mkdtemp(folder.data())) std::abort();
    std::filesystem::current_path(folder);
    done = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    EnterScratchFolder();
    const char* kJob = "##-F00.PCL";
    WriteFile(kJob, std::string_view(reinterpret_cast<const char*>(data), size));

    CountingPrinter printer;
    // A few resolutions, chosen by the input so that runs stay reproducible.
    static const int kDpi[] = {600, 300, 72, 1200};
    printer.page.dpi = kDpi[size % 4];
    printer.width = printer.page.dpi * 8;
    printer.height = printer.page.dpi * 11;
    platform::FakeClipboard clipboard;
    platform::FakeShell shell;
    platform::FakeClock clock;
    platform::FakeEventPump events;
    platform::FakeStatusLine status;
    platform::FakeSpreadsheet spreadsheet;
    Program program{Services{printer, clipboard, shell, clock, events, status, spreadsheet}, Jobs{}};

    pcl::JobOutcome outcome = pcl::PrintJob(program, kJob, true, nullptr);
    if (outcome == pcl::JobOutcome::Postponed || outcome == pcl::JobOutcome::Stopped) std::abort();
    if (program.state.printBusy || printer.printing() || FileExists(kJob) || FileExists("Min.{-}")) std::abort();

    DeleteFileQuietly("Vel.err");
    DeleteFileQuietly("Vel.Log");
    return 0;
}
