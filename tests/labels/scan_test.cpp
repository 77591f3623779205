// Stickers as a label printer would put them on paper, read back by a real
// barcode reader: each page's bars are painted at the printer's own
// resolution and handed to zbarimg.
#include "labels/label_job.h"

#include "common/format.h"
#include "scan_support.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vel::labels {
namespace {

struct LabelPrinter {
    const char* name;
    int dpi;
    int width;   // printable width of the roll, pixels
    int height;  // page length, pixels
};

// Real label printer widths: 4 inch at 203, 300 and 600 dpi, and the CLP-6 family.
const LabelPrinter kPrinters[] = {
    {"Zebra ZD420", 203, 812, 1218},
    {"Zebra GK420 300", 300, 1248, 1800},
    {"Zebra ZT610", 600, 2496, 3600},
    {"Citizen CLP-621", 203, 832, 1218},
    {"Citizen CLP-631", 300, 1248, 1800},
};

struct Sticker {
    const char* code;
    const char* reads;  // what the reader must find
};

const Sticker kStickers[] = {
    {"AB-12", "AB-12"},
    {"x7.5", "X7.5"},     // lower case is encoded in upper case
    {"k#9", "K 9"},       // a character outside Code 39 becomes a space
    {"$/+%", "$/+%"},
    {"Z0", "Z0"},
};

// A general layout header for a label of the given size in millimetres at the
// left of the roll, as the printer's own millimetre (its resolution class over 25.4).
std::string GeneralHeader(const LabelPrinter& p, int widthMm, int heightMm, int fontPt) {
    platform::FakePrinter printer({{p.name, p.dpi, p.width, p.height}}, p.name);
    const double ppm = PrinterDpi(printer) / 25.4;
    const int rollMm = static_cast<int>(std::floor((p.width - 1) / ppm));
    const int left = 1, right = rollMm - left - widthMm;
    // N1..N17: left, right margin, top 1, N8 0, inner 2, offset 2, gap 1, fonts, height.
    return "0 " + std::to_string(left) + " 0 " + std::to_string(right) + " 0 1 0 0 2 2 0 1 0 " +
           std::to_string(fontPt) + " " + std::to_string(fontPt - 2) + " " + std::to_string(fontPt - 2) + " " +
           std::to_string(heightMm + 1) + ";Etykiety\r\n";
}

std::string Records() {
    std::string out;
    for (const Sticker& s : kStickers) out += std::string(s.code) + "\t9.99 PLN\tTowar\t\t1\r\n";
    return out;
}

// Pages waiting for the reader, with what each must read as.
struct Scans {
    std::vector<std::filesystem::path> images;
    std::vector<std::string> expected;
    std::vector<std::string> what;

    // One run of the reader over every page of the test.
    void check() {
        const auto symbols = test::ScanImages(images);
        for (std::size_t i = 0; i < images.size(); ++i) {
            EXPECT_EQ(symbols[i], std::vector<std::string>{expected[i]}) << what[i];
        }
    }
};

void Print(const vel::test::ScopedTempDir& dir, const LabelPrinter& p, const std::string& header,
           LabelLayout layout, const std::string& what, Scans& scans) {
    SCOPED_TRACE(what);
    vel::test::TestProgram t({{"Brother HL", 600, 4960, 7014}, {p.name, p.dpi, p.width, p.height}}, "Brother HL");
    t.program.state.pagePrinters = {{"Brother HL", p.name}, 0};
    t.program.state.labelPrinters = {{"Brother HL", p.name}, 1};
    vel::test::WriteAll(dir.path() / "!!-S01.LBL", header + Records());

    const LabelJobResult result = RunLabelJob(t.program, "!!-S01.LBL", true, layout);
    ASSERT_EQ(result.outcome, LabelOutcome::Printed);
    ASSERT_EQ(t.printer.documents.size(), 1u);
    const auto& pages = t.printer.documents[0].pages;
    ASSERT_EQ(pages.size(), std::size(kStickers));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        scans.images.push_back(dir.path() / ("page" + std::to_string(scans.images.size()) + ".pgm"));
        test::WritePagePgm(pages[i], p.width, p.height, scans.images.back());
        scans.expected.push_back(kStickers[i].reads);
        scans.what.push_back(what + ", sticker " + kStickers[i].code);
    }
}

class StickerScan : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::ZbarAvailable()) GTEST_SKIP() << "zbarimg is not installed (Debian package zbar-tools)";
    }
};

TEST_F(StickerScan, GeneralLayoutSeveralSizes) {
    struct Size {
        int widthMm, heightMm, fontPt;
    };
    const Size sizes[] = {{50, 25, 10}, {70, 40, 12}, {100, 50, 14}};
    vel::test::ScopedTempDir dir;
    Scans scans;
    for (const LabelPrinter& p : kPrinters) {
        for (const Size& s : sizes) {
            Print(dir, p, GeneralHeader(p, s.widthMm, s.heightMm, s.fontPt), LabelLayout::General,
                  std::string(p.name) + ", " + std::to_string(s.widthMm) + " x " + std::to_string(s.heightMm) + " mm",
                  scans);
        }
    }
    scans.check();
}

TEST_F(StickerScan, Clp6Layout) {
    vel::test::ScopedTempDir dir;
    Scans scans;
    for (const LabelPrinter& p : kPrinters) {
        for (int fontPt : {6, 8}) {
            const std::string header = "0 0 0 0 0 0 0 0 0 0 0 0 0 " + std::to_string(fontPt) + " 0 " +
                                       std::to_string(fontPt) + " 0;Kody\r\n";
            Print(dir, p, header, LabelLayout::Clp6, std::string(p.name) + ", font " + std::to_string(fontPt), scans);
        }
    }
    scans.check();
}

}  // namespace
}  // namespace vel::labels
