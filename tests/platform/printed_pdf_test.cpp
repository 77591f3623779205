// What the program prints, read by the programs that print PDF files: every
// kind of document it prints (reports in every pitch and style with frames,
// landscape, labels with bars) reads without a warning in poppler,
// Ghostscript and qpdf, and rasterises at 300 dpi as the PDF writer's
// earlier output of the same job did (tests/data/printed/*.before.pdf: the
// documents of the writer that drew every character as a Type 3 glyph on its
// own white box and every frame segment as its own stroke).

#include "qt_test_support.h"
#include "support/bitmap.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vel::platform {
namespace {

namespace fs = std::filesystem;

struct Document {
    const char* job;
    const char* kind;    // vel-job's command for it
    const char* before;  // the earlier writer's PDF of the job, if kept
    const char* text;    // a word of it, UTF-8
};

// What a command wrote to standard output and error, and its exit status.
std::string Said(const std::string& command) { return test::Capture(command + " 2>&1; echo \"status $?\""); }

TEST(PrintedPdf, EveryKindOfDocumentReadsWithoutWarningsAndRasterisesAsBefore) {
    const fs::path data = fs::path(VEL_TESTDATA_DIR) / "printed";
    const Document documents[] = {
        {"report.pcl", "print", "report.before.pdf", "Zak\xc5\x82" "ad"},
        {"styles.pcl", "print", nullptr, "Pogrubione"},
        {"landscape.pcl", "print", "landscape.before.pdf", "zap\xc5\x82" "aty:"},
        {"labels.lbl", "label", "labels.before.pdf", "ABC-123"},
    };
    test::ScopedTempDir dir;
    for (const Document& doc : documents) {
        SCOPED_TRACE(doc.job);
        fs::copy_file(data / doc.job, dir.path() / doc.job);
        const std::string pdf = dir.file(std::string(doc.job) + ".pdf");
        const std::string q = test::Quote(pdf);
        ASSERT_NE(Said(test::Quote(VEL_JOB_PROGRAM) + " " + doc.kind + " " + doc.job + " --pdf " + q).find("status 0"),
                  std::string::npos);
        EXPECT_EQ(test::PdfPages(pdf), 1);

        // Nothing but the exit status from any of them.
        const std::string quiet = "status 0\n";
        EXPECT_EQ(Said("pdfinfo " + q + " >/dev/null"), quiet);
        EXPECT_EQ(Said("pdftotext " + q + " /dev/null"), quiet);
        EXPECT_EQ(Said("pdftoppm -r 100 -gray " + q + " >/dev/null"), quiet);
        EXPECT_EQ(Said("gs -q -dNOPAUSE -dBATCH -dSAFER -dPDFSTOPONERROR -sDEVICE=nullpage " + q), quiet);
        EXPECT_EQ(Said("qpdf --check " + q + " >/dev/null"), quiet);
        EXPECT_NE(test::PdfText(pdf).find(doc.text), std::string::npos) << test::PdfText(pdf);
        EXPECT_EQ(test::Capture("pdffonts " + q).find("Type 3"), std::string::npos);

        if (!doc.before) continue;
        const auto before = test::RasterisePdf((data / doc.before).string(), 300, dir.file("before"));
        const auto after = test::RasterisePdf(pdf, 300, dir.file("after"));
        ASSERT_EQ(before.size(), 1u);
        ASSERT_EQ(after.size(), 1u);
        // Poppler places a glyph origin or a box edge that falls on half a
        // pixel one way when it is drawn inside a Type 3 glyph and the other
        // way when drawn directly: such edges move by one pixel. Nothing is
        // added or lost, and no change is wider than one pixel.
        const test::BitmapDifference d = test::Compare(before[0], after[0], 1);
        EXPECT_EQ(d.farOff, 0) << d.where;
        EXPECT_EQ(d.thick, 0);
        EXPECT_LT(d.differing, before[0].ink() / 10);
        std::printf("%s: %ld of %ld black pixels differ at 300 dpi\n", doc.job, d.differing,
                    before[0].ink());
    }
}

}  // namespace
}  // namespace vel::platform
