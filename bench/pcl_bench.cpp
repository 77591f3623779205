// Speed of a whole PCL job (title, pre-scan, reindent, print pass) onto a
// canvas that draws nothing: a report of 60 lines of 100 characters a page
// with double and single frames and a divider every 10 lines, at 16.67 cpi and
// 8 lpi. Pages per second, and time and peak memory for 1000, 2000 and 4000
// pages: time should grow in step with the pages, memory not at all.
//
//   build/bench/pcl_bench --benchmark_counters_tabular=true

#include "common/io.h"
#include "common/program.h"
#include "pcl/pcl_job.h"
#include "support/fake_platform.h"

#include "null_canvas.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace vel;


class NullPrinter : public platform::Printer {
public:
    int pages = 0;
    std::vector<std::string> printerNames() override { return {platform::kPdfPrinterName}; }
    std::string defaultPrinterName() override { return platform::kPdfPrinterName; }
    bool setCurrent(const std::string&) override { return true; }
    std::string currentName() override { return platform::kPdfPrinterName; }
    void setOrientation(platform::Orientation o) override { orientation_ = o; }
    platform::Orientation orientation() override { return orientation_; }
    int pageWidth() override { return 4960; }
    int pageHeight() override { return 7014; }
    void beginDoc(const std::string&) override { pages = 1; }
    void newPage() override { ++pages; }
    void endDoc() override {}
    void abortDoc() override {}
    bool printing() override { return false; }
    void setPdfOutputFile(const std::string&) override {}
    platform::Canvas& canvas() override { return canvas_; }

private:
    platform::Orientation orientation_ = platform::Orientation::Portrait;
    bench::NullCanvas canvas_;
};

// A status line that keeps nothing, so that memory shows only the job.
class NullStatusLine : public platform::StatusLine {
public:
    std::string text() override { return text_; }
    void setText(const std::string& text) override { text_ = text; }
    bool fits(const std::string& text) override { return text.size() < 37; }
    void setHint(const std::string&) override {}

private:
    std::string text_;
};

// Writes the report page by page, never holding it whole.
void WriteReport(const std::string& name, int pages) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) std::abort();
    const std::string crlf = "\r\n";
    auto line = [&](const std::string& s) {
        std::fwrite(s.data(), 1, s.size(), f);
        std::fwrite(crlf.data(), 1, crlf.size(), f);
    };
    line("Zestawienie sprzeda\xbe" "y Nr 12/02/2024");
    line("za okres 01-02-2024 do 28-02-2024");
    line("\x1b(s16.67H\x1b&l8C");
    const std::string text = " Pozycja 0123456789 towar \xa5\xa9\x88\x86 ilo\x98\x86 12.50 warto\x98\x86 1234.56 PLN ";
    for (int p = 0; p < pages; ++p) {
        line("\xc9" + std::string(98, '\xcd') + "\xbb");
        for (int l = 1; l <= 58; ++l) {
            if (l % 10 == 0) {
                line("\xc7" + std::string(98, '\xc4') + "\xb6");
                continue;
            }
            std::string body = "\xba" + text;
            body.resize(60, ' ');
            body += "\xb3" + std::string(37, '.') + " \xba";
            line(body);
        }
        std::string bottom = "\xc8" + std::string(98, '\xcd') + "\xbc";
        if (p + 1 < pages) bottom += "\f";
        line(bottom);
    }
    std::fclose(f);
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_PclJobToNullCanvas(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vel-pcl-bench";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    const std::string job = "##-B" + std::to_string(pages) + ".PCL";
    WriteReport(job, pages);

    NullPrinter printer;
    platform::FakeClipboard clipboard;
    platform::FakeShell shell;
    platform::FakeClock clock;
    platform::FakeEventPump events;
    NullStatusLine status;
    platform::FakeSpreadsheet spreadsheet;
    Program program{Services{printer, clipboard, shell, clock, events, status, spreadsheet}, Jobs{}};

    for (auto _ : state) {
        pcl::PrintPclJob(program, job, false);
        if (printer.pages != pages) state.SkipWithError("wrong page count");
    }
    state.counters["pages"] = pages;
    state.counters["pages_per_s"] = benchmark::Counter(static_cast<double>(pages) * state.iterations(),
                                                       benchmark::Counter::kIsRate);
    state.counters["peak_rss_kb"] = static_cast<double>(PeakRssKb());
    state.counters["file_mb"] = static_cast<double>(std::filesystem::file_size(job)) / (1 << 20);
    DeleteFileQuietly(job);
    DeleteFileQuietly("Vel.err");
}

}  // namespace

BENCHMARK(BM_PclJobToNullCanvas)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// `pcl_bench --write-job FILE PAGES` only writes the report, for timing the
// real printer path with vel-job (bench/run-pcl-pdf.sh).
int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--write-job") {
        WriteReport(argv[2], std::atoi(argv[3]));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
