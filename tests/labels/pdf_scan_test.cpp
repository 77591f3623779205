// End to end: label jobs printed by `vel-job label --pdf` on the built-in PDF
// printer, the PDF rasterised by pdftoppm at a label printer's resolution
// without anti-aliasing (a thermal head prints whole dots), and every sticker
// read back by zbarimg.
#include "scan_support.h"
#include "support/locale.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace vel::labels {
namespace {

namespace fs = std::filesystem;

const std::string kVelJob = VEL_JOB_PROGRAM;

struct Sticker {
    const char* code;
    const char* reads;
};

const Sticker kStickers[] = {
    {"AB-12", "AB-12"},
    {"x7.5", "X7.5"},  // lower case is encoded in upper case
    {"k#9", "K 9"},    // a character outside Code 39 becomes a space
    {"PL 0$", "PL 0$"},
};

std::string Records() {
    std::string out;
    for (const Sticker& s : kStickers) out += std::string(s.code) + "\t12.99 PLN\tTowar testowy\t\t1\r\n";
    return out;
}

class PdfStickers : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::ZbarAvailable() || !vel::test::HostTool("pdftoppm")) {
            GTEST_SKIP() << "needs zbarimg (zbar-tools) and pdftoppm (poppler-utils)";
        }
    }

    // Prints the job and rasterises the part of each page from (x, y) mm, w x h mm, at each
    // resolution; every image must read as its sticker.
    void printAndScan(const std::string& what, const std::string& header, const std::string& layout, double xMm,
                      double yMm, double wMm, double hMm) {
        SCOPED_TRACE(what);
        const std::string stem = "job" + std::to_string(jobs_++);
        vel::test::WriteAll(dir_.path() / (stem + ".lbl"), header + Records());
        const std::string pdf = (dir_.path() / (stem + ".pdf")).string();
        // Under the users' pl_PL locale (decimal comma) too: the same file, byte for byte.
        // (A Windows program takes its locale from the user's settings, not from
        // LANG: there the plain run alone.)
        for (const char* locale : vel::test::kBothLocales) {
            if (vel::test::OnWindows() && locale != vel::test::kPlainLocale) continue;
            ASSERT_TRUE(vel::test::LocaleGenerated(locale)) << locale << ": scripts/install-deps.sh generates it";
            const std::string out = locale == vel::test::kPlainLocale ? pdf : pdf + ".pl.pdf";
            vel::test::Run run;
            run.args = {kVelJob, "label", (dir_.path() / (stem + ".lbl")).string(), "--pdf", out};
            if (!layout.empty()) run.args.insert(run.args.end(), {"--layout", layout});
            run.env = {{"VEL_PDF_DIR", dir_.path().string()}, {"LANG", locale}, {"LC_ALL", locale}};
            run.err = dir_.path() / (stem + ".err");
            ASSERT_EQ(vel::test::RunProgram(run), 0) << vel::test::ReadAll(run.err);
            ASSERT_TRUE(fs::exists(out));
        }
        if (!vel::test::OnWindows()) EXPECT_EQ(vel::test::ReadAll(pdf + ".pl.pdf"), vel::test::ReadAll(pdf));

        for (int dpi : {203, 300}) {
            auto px = [dpi](double mm) { return std::to_string(static_cast<int>(std::lround(mm * dpi / 25.4))); };
            const fs::path prefix = dir_.path() / (stem + "-" + std::to_string(dpi));
            ASSERT_EQ(vel::test::RunHostTool({*vel::test::HostTool("pdftoppm"), "-r", std::to_string(dpi), "-gray",
                                              "-aa", "no", "-aaVector", "no", "-x", px(xMm), "-y", px(yMm), "-W",
                                              px(wMm), "-H", px(hMm), vel::test::HostPath(pdf),
                                              vel::test::HostPath(prefix)},
                                             prefix.string() + ".log"),
                      0);
            std::vector<fs::path> pages;
            for (const auto& e : fs::directory_iterator(dir_.path())) {
                const std::string name = e.path().filename().string();
                if (name.rfind(stem + "-" + std::to_string(dpi) + "-", 0) == 0) pages.push_back(e.path());
            }
            std::sort(pages.begin(), pages.end());
            ASSERT_EQ(pages.size(), std::size(kStickers)) << "one page a sticker at " << dpi << " dpi";
            images_.insert(images_.end(), pages.begin(), pages.end());
            for (const Sticker& s : kStickers) {
                expected_.push_back(s.reads);
                what_.push_back(what + ", " + std::to_string(dpi) + " dpi, sticker " + s.code);
            }
        }
    }

    void check() {
        const auto symbols = test::ScanImages(images_);
        for (std::size_t i = 0; i < images_.size(); ++i) {
            EXPECT_EQ(symbols[i], std::vector<std::string>{expected_[i]}) << what_[i];
        }
    }

    vel::test::ScopedTempDir dir_;
    int jobs_ = 0;
    std::vector<fs::path> images_;
    std::vector<std::string> expected_, what_;
};

TEST_F(PdfStickers, GeneralLayoutSeveralSizes) {
    // The PDF printer's page is A4 at 600 dpi: its millimetre is 600 / 25.4 pixels, and a
    // label w mm wide at 5 mm from the left leaves 210 - 5 - w mm on the right.
    struct Size {
        int w, h, font;
    };
    for (const Size s : {Size{50, 25, 10}, Size{70, 40, 12}, Size{100, 50, 14}}) {
        const std::string header = "0 5 0 " + std::to_string(210 - 5 - s.w) + " 0 5 0 0 2 2 0 1 0 " +
                                   std::to_string(s.font) + " " + std::to_string(s.font - 2) + " " +
                                   std::to_string(s.font - 2) + " " + std::to_string(5 + s.h) + ";Etykiety\r\n";
        // The reader looks inside the label's edges: the first page also carries the label's
        // outline, a line only a few modules left and right of the bars.
        printAndScan(std::to_string(s.w) + " x " + std::to_string(s.h) + " mm", header, "", 5.5, 5.5, s.w - 1,
                     s.h - 1);
    }
    check();
}

TEST_F(PdfStickers, Clp6Layout) {
    // The fixed 27 x 20 mm sticker at the bottom left of the page.
    for (int font : {6, 8}) {
        const std::string header = "0 0 0 0 0 0 0 0 0 0 0 0 0 " + std::to_string(font) + " 0 " +
                                   std::to_string(font) + " 0;Kody\r\n";
        printAndScan("font " + std::to_string(font), header, "clp6", 0, 297 - 25, 35, 25);
    }
    check();
}

}  // namespace
}  // namespace vel::labels
