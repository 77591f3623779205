// Printing through a real CUPS server: the test starts its own cupsd on a
// private socket with a cups-pdf queue, prints through QtPrinter and finds the
// PDF that cups-pdf writes. An aborted document must never reach the queue.
// A LaserJet queue on a network printer of the test's own shows what a
// printer receives of the program's documents.

#include "shell/qt/qt_printer.h"

#include "common/format.h"
#include "common/io.h"
#include "qt_test_support.h"
#include "support/bitmap.h"
#include "support/pcl_raster.h"
#include "support/private_cups.h"
#include "support/temp_dir.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <thread>
#include <unistd.h>

namespace vel::platform {
namespace {

namespace fs = std::filesystem;

// The folder cups-pdf writes into for the current user ("Out" of its
// configuration, ${HOME} and ${USER} expanded).
fs::path CupsPdfOutFolder() {
    std::string out = "/var/spool/cups-pdf/${USER}";
    std::ifstream conf("/etc/cups/cups-pdf.conf");
    for (std::string line; std::getline(conf, line);) {
        if (line.rfind("Out ", 0) == 0) out = line.substr(4);
    }
    const passwd* pw = getpwuid(getuid());
    const std::string home = pw ? pw->pw_dir : "/root";
    const std::string user = pw ? pw->pw_name : "root";
    for (auto [key, value] : {std::pair<std::string, std::string>{"${HOME}", home}, {"${USER}", user}}) {
        for (auto at = out.find(key); at != std::string::npos; at = out.find(key)) out.replace(at, key.size(), value);
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\r')) out.pop_back();
    return out;
}

// A cupsd of the test's own; libcups in this process asks it too.
struct Cups : test::PrivateCups {
    Cups() {
        if (error().empty()) cupsSetServer(socket().c_str());
    }
    ~Cups() { cupsSetServer(nullptr); }
};

// The newest file in `folder` whose name holds `token`, waiting up to 60 s.
fs::path WaitForPdf(const fs::path& folder, const std::string& token) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(folder, ec)) {
            const std::string name = e.path().filename().string();
            // cups-pdf writes the file first and has it whole when the job completes.
            if (name.find(token) != std::string::npos && test::PdfPages(e.path().string()) > 0) return e.path();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
}

bool AnyFileHolds(const fs::path& folder, const std::string& token) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.path().filename().string().find(token) != std::string::npos) return true;
    return false;
}

TEST(CupsPrinting, TwoPagesArriveAsPdfAndAnAbortedDocumentNever) {
    test::QtApp();
    Cups cups;
    ASSERT_TRUE(cups.error().empty()) << cups.error();
    const std::string add = test::Capture("lpadmin -p PDF -v cups-pdf:/ -E -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>&1; echo rc=$?");
    ASSERT_NE(add.find("rc=0"), std::string::npos) << add;

    QtPrinter printer;
    const auto names = printer.printerNames();
    ASSERT_NE(std::find(names.begin(), names.end(), "PDF"), names.end()) << ::testing::PrintToString(names);
    ASSERT_NE(std::find(names.begin(), names.end(), kPdfPrinterName), names.end());
    ASSERT_TRUE(printer.setCurrent("PDF"));
    // The queue's description gives 300 dpi as its default resolution.
    EXPECT_EQ(printer.resolution(), 300);
    EXPECT_GT(printer.pageWidth(), 2300);
    EXPECT_LT(printer.pageWidth(), 2560);

    const fs::path out = CupsPdfOutFolder();
    const std::string stamp = std::to_string(getpid()) + "x" + std::to_string(std::time(nullptr));
    const std::string aborted = "VelAbort" + stamp;
    const std::string printed = "VelCups" + stamp;

    printer.beginDoc(aborted);
    printer.canvas().drawText({100, 100}, "porzucony", Font{"Courier New", 12});
    printer.abortDoc();

    // The user picks another printer while the document prints: the
    // document still goes where it began.
    test::ScopedTempDir pdfDir;
    setenv("VEL_PDF_DIR", pdfDir.path().c_str(), 1);
    printer.beginDoc(printed);
    printer.canvas().drawText({100, 100}, "Strona 1", Font{"Courier New", 12});
    printer.newPage();
    ASSERT_TRUE(printer.setCurrent(kPdfPrinterName));
    printer.canvas().drawText({100, 100}, "Strona 2", Font{"Courier New", 12});
    printer.endDoc();
    unsetenv("VEL_PDF_DIR");
    EXPECT_TRUE(fs::is_empty(pdfDir.path()));

    const fs::path pdf = WaitForPdf(out, printed);
    ASSERT_FALSE(pdf.empty()) << "no PDF with " << printed << " in " << out << "\n" << cups.log();
    EXPECT_EQ(test::PdfPages(pdf.string()), 2);
    // (cups-pdf rewrites the fonts through Ghostscript without their
    // character map, so the text cannot be read back here; the built-in PDF
    // printer's test reads it.)
    // Jobs of one queue run in order: the aborted one would have come first.
    EXPECT_FALSE(AnyFileHolds(out, aborted));
    const std::string jobs = test::Capture("lpstat -W all -o PDF 2>&1");
    EXPECT_EQ(jobs.find(aborted), std::string::npos) << jobs;
    std::error_code ec;
    if (!HasFailure()) fs::remove(pdf, ec);
}

// A queue whose description names no resolution prints at 600 dpi.
TEST(CupsPrinting, UnknownResolutionMeans600Dpi) {
    test::QtApp();
    Cups cups;
    ASSERT_TRUE(cups.error().empty()) << cups.error();
    const std::string add = test::Capture("lpadmin -p Raw -v cups-pdf:/ -E 2>&1; echo rc=$?");
    ASSERT_NE(add.find("rc=0"), std::string::npos) << add;
    QtPrinter printer;
    ASSERT_TRUE(printer.setCurrent("Raw"));
    EXPECT_EQ(printer.resolution(), 600);
    EXPECT_EQ(PrinterDpi(printer), 600);
}

TEST(CupsPrinting, LpRefusalRaises) {
    test::QtApp();
    Cups cups;
    ASSERT_TRUE(cups.error().empty()) << cups.error();
    const std::string add = test::Capture("lpadmin -p Gone -v cups-pdf:/ -E -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>&1; echo rc=$?");
    ASSERT_NE(add.find("rc=0"), std::string::npos) << add;
    QtPrinter printer;
    ASSERT_TRUE(printer.setCurrent("Gone"));
    // The queue disappears between the choice and the end of the document.
    test::Capture("lpadmin -x Gone 2>&1");
    printer.beginDoc("VelGone");
    printer.canvas().drawText({100, 100}, "x", Font{});
    EXPECT_THROW(printer.endDoc(), IoError);
    EXPECT_FALSE(printer.printing());
}

// The report and the label job through the program's printer path to a queue
// with CUPS's LaserJet driver on a network printer: what arrives is a PCL
// raster of the right number of pages showing what the PDF handed to the
// queue shows, rasterised by poppler at the printer's resolution.
TEST(CupsPrinting, JobsReachALaserJetAsTheirPdfRasterised) {
    Cups cups;
    ASSERT_TRUE(cups.error().empty()) << cups.error();
    test::LoopbackPrinter laserJet;
    ASSERT_TRUE(laserJet.error().empty()) << laserJet.error();
    const std::string add = test::Capture("lpadmin -p LaserJet -v socket://127.0.0.1:" + std::to_string(laserJet.port()) +
                                          " -m drv:///sample.drv/laserjet.ppd -o PageSize=A4 -E 2>&1; echo rc=$?");
    ASSERT_NE(add.find("rc=0"), std::string::npos) << add;

    test::ScopedTempDir dir;
    const fs::path data = fs::path(VEL_TESTDATA_DIR) / "printed";
    const std::pair<const char*, const char*> jobs[] = {{"print", "report.pcl"}, {"label", "labels.lbl"}};
    for (const auto& [kind, job] : jobs) {
        fs::copy_file(data / job, dir.path() / job);
        const std::string said = test::Capture(test::Quote(VEL_JOB_PROGRAM) + " " + kind + " " + job +
                                               " --printer LaserJet 2>&1; echo rc=$?");
        ASSERT_NE(said.find("rc=0"), std::string::npos) << said;
    }
    const std::vector<std::string> received = laserJet.waitForJobs(2, std::chrono::seconds(120));
    ASSERT_EQ(received.size(), 2u) << cups.log();
    const std::vector<fs::path> documents = cups.documents();
    ASSERT_EQ(documents.size(), 2u);

    for (std::size_t i = 0; i < received.size(); ++i) {
        SCOPED_TRACE(jobs[i].second);
        const test::PclRaster raster = test::ReadPclRaster(received[i]);
        ASSERT_TRUE(raster.error.empty()) << raster.error;
        ASSERT_EQ(raster.pages.size(), 1u);
        const test::PclRasterPage& page = raster.pages[0];
        EXPECT_EQ(page.dpi, 300);
        const auto ours = test::RasterisePdf(documents[i].string(), page.dpi, dir.file("ours"));
        ASSERT_EQ(ours.size(), 1u);
        // The printer's image is the printable area, which begins a margin
        // away from the sheet's corner: it lines up with poppler's image of
        // the sheet where the most black pixels meet, looked for coarsely,
        // then pixel by pixel.
        const test::Bitmap printed = test::FromPcl(page);
        auto meeting = [&](int dx, int dy, int step) {
            long meet = 0;
            for (int y = 0; y < printed.height; y += step)
                for (int x = 0; x < printed.width; x += step) meet += printed.at(x, y) && ours[0].at(x + dx, y + dy);
            return meet;
        };
        int bestX = 0, bestY = 0;
        long best = -1;
        for (int dy = 0; dy <= 200; dy += 4)
            for (int dx = 0; dx <= 200; dx += 4)
                if (const long m = meeting(dx, dy, 6); m > best) best = m, bestX = dx, bestY = dy;
        const int coarseX = bestX, coarseY = bestY;
        best = -1;
        for (int dy = coarseY - 4; dy <= coarseY + 4; ++dy)
            for (int dx = coarseX - 4; dx <= coarseX + 4; ++dx)
                if (const long m = meeting(dx, dy, 2); m > best) best = m, bestX = dx, bestY = dy;
        test::Bitmap sheet{printed.width, printed.height, {}};
        sheet.black.resize(static_cast<std::size_t>(sheet.width) * sheet.height);
        for (int y = 0; y < sheet.height; ++y)
            for (int x = 0; x < sheet.width; ++x)
                sheet.black[static_cast<std::size_t>(y * sheet.width + x)] = ours[0].at(x + bestX, y + bestY);
        // Ghostscript draws the printer's raster, poppler ours: they round
        // edges their own ways (Ghostscript's lines come out a pixel wider, a
        // glyph's row under a white box's half-pixel edge stays or goes), but
        // the same things are drawn at the same places.
        EXPECT_GT(sheet.ink(), 1000);
        EXPECT_NEAR(static_cast<double>(printed.ink()), static_cast<double>(sheet.ink()), sheet.ink() * 0.1);
        const test::BitmapDifference d = test::Compare(sheet, printed, 2);
        EXPECT_LT(d.farOff, sheet.ink() / 200) << d.where << " at offset " << bestX << "," << bestY;
        EXPECT_LT(d.thick, sheet.ink() / 100);
        std::printf("%s: %ld and %ld black pixels, %ld differ, %ld more than two pixels from black of the other\n",
                    jobs[i].second, sheet.ink(), printed.ink(), d.differing, d.farOff);
    }
}

}  // namespace
}  // namespace vel::platform
