// The Qt printer with its built-in PDF printer: real PDF files, read back
// with poppler's tools; and the canvas's font metrics on the printer device.

#include "pdf/pdf_file_name.h"
#include "shell/qt/qt_printer.h"

#include "common/format.h"
#include "common/io.h"
#include "qt_test_support.h"
#include "support/temp_dir.h"

#include <QFont>
#include <QFontInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace vel::platform {
namespace {

namespace fs = std::filesystem;
using test::PdfPages;
using test::PdfText;

// A printer whose PDF folder is the test's own temporary folder.
class PdfPrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        setenv("VEL_PDF_DIR", (dir.path() / "out").c_str(), 1);
        ASSERT_TRUE(printer.setCurrent(kPdfPrinterName));
    }
    void TearDown() override { unsetenv("VEL_PDF_DIR"); }

    std::vector<std::string> outFiles() const {
        std::vector<std::string> names;
        if (!fs::exists(dir.path() / "out")) return names;
        for (const auto& e : fs::directory_iterator(dir.path() / "out")) names.push_back(e.path().filename().string());
        return names;
    }

    QApplication& app = test::QtApp();
    test::ScopedTempDir dir;
    QtPrinter printer;
};

TEST_F(PdfPrinterTest, IsAlwaysListedAndNamesItsFileByTheTitle) {
    const auto names = printer.printerNames();
    EXPECT_NE(std::find(names.begin(), names.end(), kPdfPrinterName), names.end());

    // "Faktura 7/2026 Zażółć" in code page 1250: the slash cannot be part of a file name.
    const std::string title = "Faktura 7/2026 Za\xbf\xf3\xb3\xe6";
    const Font courier{"Courier New", 12};
    printer.beginDoc(title);
    printer.canvas().drawText({300, 300}, "Strona pierwsza: Za\xbf\xf3\xb3\xe6 g\xea\x9cl\xb9 ja\x9f\xf1", courier);
    printer.newPage();
    printer.canvas().drawText({300, 300}, "Strona druga", courier);
    printer.canvas().drawLine({300, 600}, {3000, 600}, Pen{4});
    printer.endDoc();
    EXPECT_FALSE(printer.printing());

    const fs::path pdf = dir.path() / "out" / "Faktura 7_2026 Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87.pdf";
    ASSERT_TRUE(fs::exists(pdf)) << "files: " << ::testing::PrintToString(outFiles());
    EXPECT_EQ(PdfPages(pdf.string()), 2);
    const std::string text = PdfText(pdf.string());
    // UTF-8 of "Zażółć gęślą jaźń": the Polish letters survive the trip.
    EXPECT_NE(text.find("Strona pierwsza: Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87 g\xc4\x99\xc5\x9bl\xc4\x85 "
                        "ja\xc5\xba\xc5\x84"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Strona druga"), std::string::npos) << text;
}

// Drawn shapes land where the device pixels say, in the colours given as
// 0x00BBGGRR; text sits on an opaque white box. Read back as a picture at a
// tenth of the printer's resolution.
TEST_F(PdfPrinterTest, ShapesAndTextLandAtTheirDevicePixels) {
    printer.beginDoc("Ksztalty");
    Canvas& c = printer.canvas();
    c.fillRect({600, 600}, {1200, 1200}, 0x0000FF);  // red
    c.drawPolygon({{2000, 600}, {3000, 600}, {2500, 1400}}, 0xFF0000, Pen{4, 0xFF0000});  // blue
    c.drawLine({0, 2000}, {4000, 2000}, Pen{40, kBlack});
    c.drawPolyline({{600, 2600}, {1600, 2600}, {1600, 3400}}, Pen{40, 0x00FF00});  // green
    c.fillRect({500, 3900}, {4000, 4600}, kBlack);
    c.drawText({600, 4000}, "Tekst", Font{"Courier New", 24});
    printer.endDoc();

    const fs::path pdf = dir.path() / "out" / "Ksztalty.pdf";
    const std::string png = (dir.path() / "page").string();
    ASSERT_EQ(std::system(("pdftoppm -r 60 -png -f 1 -l 1 " + test::Quote(pdf.string()) + " " + test::Quote(png)).c_str()), 0);
    const QImage page(QString::fromStdString(png + "-1.png"));
    ASSERT_FALSE(page.isNull());
    auto at = [&](int x, int y) { return page.pixelColor(x / 10, y / 10); };
    auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 && std::abs(a.blue() - b.blue()) < 40;
    };
    EXPECT_TRUE(near(at(900, 900), Qt::red)) << at(900, 900).name().toStdString();
    EXPECT_TRUE(near(at(1300, 900), Qt::white));  // right of the rectangle
    EXPECT_TRUE(near(at(2500, 800), Qt::blue)) << at(2500, 800).name().toStdString();
    EXPECT_TRUE(near(at(2000, 2000), Qt::black));
    EXPECT_TRUE(near(at(2000, 2300), Qt::white));
    EXPECT_TRUE(near(at(1100, 2600), Qt::green)) << at(1100, 2600).name().toStdString();
    EXPECT_TRUE(near(at(1600, 3000), Qt::green));
    // Inside the text's box, above the letters: white on the black field.
    EXPECT_TRUE(near(at(700, 4010), Qt::white)) << at(700, 4010).name().toStdString();
    // Past the end of the text's box: still the black field.
    const int textRight = 600 + printer.canvas().textWidth(Font{"Courier New", 24}, "Tekst");
    EXPECT_TRUE(near(at(textRight + 100, 4010), Qt::black));
}

// Characters drawn one at a time, as a report draws them, reach the page in
// an embedded font, and as outlines in a face that cannot be embedded (an
// OpenType face with CFF outlines, where one is installed).
TEST_F(PdfPrinterTest, SingleCharactersReachThePageInEveryKindOfFace) {
    const std::string otherFile = test::Capture("fc-match -f '%{file}' 'Nimbus Sans'");
    SCOPED_TRACE("second face: " + otherFile);
    printer.beginDoc("Znaki");
    Canvas& c = printer.canvas();
    const Font faces[] = {Font{"Courier New", 24}, Font{"Nimbus Sans", 24}};
    for (int row = 0; row < 2; ++row) {
        int x = 600;
        for (char ch : std::string("Znak")) {
            c.drawText({x, 600 + 1000 * row}, std::string(1, ch), faces[row]);
            x += 150;
        }
    }
    printer.endDoc();

    const fs::path pdf = dir.path() / "out" / "Znaki.pdf";
    EXPECT_NE(test::PdfText(pdf.string()).find("Znak"), std::string::npos);
    if (otherFile.ends_with(".otf")) {
        const std::string fonts = test::Capture("pdffonts " + test::Quote(pdf.string()));
        EXPECT_EQ(fonts.find("Nimbus"), std::string::npos) << fonts;
    }
    const std::string png = (dir.path() / "znaki").string();
    ASSERT_EQ(std::system(("pdftoppm -r 60 -png -f 1 -l 1 " + test::Quote(pdf.string()) + " " + test::Quote(png)).c_str()), 0);
    const QImage page(QString::fromStdString(png + "-1.png"));
    ASSERT_FALSE(page.isNull());
    auto darkPixels = [&](int top) {
        int dark = 0;
        for (int y = top / 10; y < (top + 200) / 10; ++y)
            for (int x = 60; x < 120; ++x) dark += page.pixelColor(x, y).lightness() < 128;
        return dark;
    };
    EXPECT_GT(darkPixels(600), 40);
    EXPECT_GT(darkPixels(1600), 40);
    EXPECT_EQ(darkPixels(2600), 0);
}

TEST_F(PdfPrinterTest, AbortedDocumentLeavesNoFile) {
    printer.beginDoc("Porzucony");
    printer.canvas().drawText({100, 100}, "nic", Font{});
    printer.newPage();
    printer.abortDoc();
    EXPECT_FALSE(printer.printing());
    EXPECT_TRUE(outFiles().empty()) << ::testing::PrintToString(outFiles());
}

TEST_F(PdfPrinterTest, OutputFileOverridesOnlyTheNextDocument) {
    const std::string chosen = (dir.path() / "chosen.pdf").string();
    printer.setPdfOutputFile(chosen);
    printer.beginDoc("Pierwszy");
    printer.canvas().drawText({100, 100}, "jeden", Font{});
    printer.endDoc();
    EXPECT_EQ(PdfPages(chosen), 1);
    EXPECT_TRUE(outFiles().empty());

    printer.beginDoc("Drugi");
    printer.canvas().drawText({100, 100}, "dwa", Font{});
    printer.endDoc();
    EXPECT_EQ(outFiles(), std::vector<std::string>{"Drugi.pdf"});
}

TEST_F(PdfPrinterTest, PageSizeFollowsOrientation) {
    printer.setOrientation(Orientation::Portrait);
    const int w = printer.pageWidth();
    const int h = printer.pageHeight();
    // A4 at 600 dpi: 8.27 x 11.69 inches (595 x 842 points).
    EXPECT_NEAR(w, 4960, 3);
    EXPECT_NEAR(h, 7016, 3);
    EXPECT_EQ(PrinterDpi(printer), 600);
    printer.setOrientation(Orientation::Landscape);
    EXPECT_EQ(printer.pageWidth(), h);
    EXPECT_EQ(printer.pageHeight(), w);

    // A landscape first page and a portrait second page in one document.
    printer.beginDoc("Obroty");
    printer.canvas().drawText({100, 100}, "poziomo", Font{});
    printer.setOrientation(Orientation::Portrait);
    printer.newPage();
    printer.canvas().drawText({100, 100}, "pionowo", Font{});
    printer.endDoc();
    const std::string info = test::Capture("pdfinfo -f 1 -l 2 " + test::Quote((dir.path() / "out" / "Obroty.pdf").string()));
    EXPECT_NE(info.find("Page    1 size:  842 x 595"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    2 size:  595 x 842"), std::string::npos) << info;
}

TEST_F(PdfPrinterTest, DocumentCallsWithoutADocumentRaise) {
    EXPECT_THROW(printer.newPage(), IoError);
    EXPECT_THROW(printer.endDoc(), IoError);
}

TEST(QtPrinterNames, UnknownPrinterIsRefusedAndTheCurrentStays) {
    test::QtApp();
    QtPrinter printer;
    ASSERT_TRUE(printer.setCurrent(kPdfPrinterName));
    EXPECT_FALSE(printer.setCurrent("No Such Printer 42"));
    EXPECT_EQ(printer.currentName(), kPdfPrinterName);
}

TEST(QtPrinterFileName, RefusedCharactersAreReplaced) {
    struct Case {
        const char* name;
        std::string title;
        std::string file;
    };
    const Case cases[] = {
        {"plain", "Wydruk 123", "Wydruk 123.pdf"},
        {"separators and wildcards", "a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j.pdf"},
        {"control characters", "a\tb\rc", "a_b_c.pdf"},
        {"leading dots and trailing spaces", "..ukryty. ", "ukryty.pdf"},
        {"only dots", "...", "Vel.pdf"},
        {"empty", "", "Vel.pdf"},
        {"already a pdf", "raport.PDF", "raport.PDF"},
        {"code page 1250 kept", "\xa3\xf3" "d\x9f", "\xa3\xf3" "d\x9f.pdf"},
        {"long", std::string(200, 'x'), std::string(120, 'x') + ".pdf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QtPrinter::PdfFileName(c.title), c.file);
    }
}

TEST(QtPrinterFolder, EnvironmentChoosesTheFolder) {
    setenv("VEL_PDF_DIR", "/tmp/vel-pdf-here", 1);
    EXPECT_EQ(PdfFolder(), "/tmp/vel-pdf-here");
    unsetenv("VEL_PDF_DIR");
    EXPECT_EQ(PdfFolder(), (fs::current_path() / "pdf").string());
}

// Courier New stands in as Liberation Mono, whose every glyph is 0.6 em wide
// (1229 of 2048 units), measured at the printer's 600 dpi.
TEST(QtCanvasMetrics, CourierNewMeasuresAsLiberationMono) {
    test::QtApp();
    InstallFontSubstitutes();
    EXPECT_EQ(QFontInfo(QFont("Courier New")).family(), "Liberation Mono");

    QtPrinter printer;
    ASSERT_TRUE(printer.setCurrent(kPdfPrinterName));
    ASSERT_EQ(printer.resolution(), 600);
    struct Case {
        const char* name;
        Font font;
        std::string text;
    };
    const Case cases[] = {
        {"10 pt digits", Font{"Courier New", 10}, "0123456789"},
        {"12 pt bold wide letters", Font{"Courier New", 12, true}, "WWWWWMMMMM"},
        {"9 pt narrow letters with Polish ones", Font{"Courier New", 9}, "iiiii\xb9\xea\xb3\xf3\x9f"},
        {"7 pt italic single", Font{"Courier New", 7, false, true}, "l"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const double em = c.font.sizePt * 600.0 / 72.0;
        const double expected = 1229.0 / 2048.0 * em * static_cast<double>(c.text.size());
        // Outside a document the printer's device measures too, with the same result.
        const int before = printer.canvas().textWidth(c.font, c.text);
        EXPECT_NEAR(before, expected, 1.0 + 0.01 * expected);
        printer.beginDoc("metrics");
        EXPECT_EQ(printer.canvas().textWidth(c.font, c.text), before);
        const int height = printer.canvas().textHeight(c.font, c.text);
        EXPECT_GE(height, std::lround(em));
        EXPECT_LE(height, std::lround(em * 1.3));
        printer.abortDoc();
    }
}

}  // namespace
}  // namespace vel::platform
