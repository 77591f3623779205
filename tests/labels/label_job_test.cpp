#include "labels/label_job.h"

#include "common/io.h"
#include "labels/label_layout.h"
#include "common/job_files.h"
#include "published_code39.h"
#include "spool/dispatch.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace vel::labels {
namespace {

using platform::CanvasOp;
using platform::FakePage;
using platform::Point;
using test::PublishedSymbol;

constexpr const char* kJob = "!!-A00.LBL";

// 600 dpi page printer, a 600 dpi Zebra, a 300 dpi CLP-621 and the PDF printer.
std::vector<platform::FakePrinterInfo> Printers() {
    return {{"Brother HL", 600, 4960, 7014},
            {"Zebra ZD420", 600, 4960, 7014},
            {"Citizen CLP-621", 300, 2480, 3508},
            {"Narrow Zebra", 96, 800, 1200},
            {platform::kPdfPrinterName, 600, 4960, 7014}};
}

class LabelJob : public ::testing::Test {
protected:
    LabelJob() : t(Printers(), "Brother HL") {
        const std::vector<std::string> sorted = {"Brother HL", "Citizen CLP-621", "Narrow Zebra",
                                                 platform::kPdfPrinterName, "Zebra ZD420"};
        program().state.pagePrinters = {sorted, 0};
        program().state.labelPrinters = {sorted, 4};
    }
    Program& program() { return t.program; }
    void selectLabelPrinter(const std::string& text) {
        auto& list = program().state.labelPrinters;
        list.items.push_back(text);
        list.selected = static_cast<int>(list.items.size()) - 1;
    }
    void writeJob(const std::string& bytes, const std::string& name = kJob) {
        vel::test::WriteAll(dir.path() / name, bytes);
    }
    const platform::FakeDocument& onlyDocument() {
        EXPECT_EQ(t.printer.documents.size(), 1u);
        return t.printer.documents.at(0);
    }

    vel::test::ScopedTempDir dir;
    vel::test::TestProgram t;
};

const char* kHeader600 = "0 3 0 5 0 2 0 1 2 3 0 1 0 10 8 6 30;Magazyn\r\n";

std::vector<const CanvasOp*> OpsOf(const FakePage& page, CanvasOp::Kind kind) {
    std::vector<const CanvasOp*> out;
    for (const auto& op : page.ops) {
        if (op.kind == kind) out.push_back(&op);
    }
    return out;
}

// Reads the bars of a page back into modules, taking the first bar (always a
// narrow one) as the module width.
std::string ModulesOnPage(const FakePage& page) {
    const auto rects = OpsOf(page, CanvasOp::Rect);
    if (rects.empty()) return {};
    const int s = rects.front()->points[0].x;
    const int w = rects.front()->points[1].x - s;
    if (w <= 0) return "no width";
    std::string modules((rects.back()->points[1].x - s) / w, '.');
    for (const CanvasOp* r : rects) {
        const int i = (r->points[0].x - s) / w;
        if (i < 0 || i >= static_cast<int>(modules.size()) || r->points[1].x - r->points[0].x != w) return "bad bar";
        modules[i] = '|';
    }
    return modules;
}

std::vector<std::string> TextsOnPage(const FakePage& page) {
    std::vector<std::string> out;
    for (const CanvasOp* op : OpsOf(page, CanvasOp::Text)) out.push_back(op->text);
    return out;
}

TEST_F(LabelJob, PrintsOnTheLabelPrinterAndGoesBack) {
    program().state.labelPrinters.selected = -1;
    selectLabelPrinter("zebra zd420");  // the list's text may differ in case
    writeJob(std::string(kHeader600) + "X1\tA\tB\t\t1\r\n");
    PrintLabelJob(program(), kJob, true);

    const auto& doc = onlyDocument();
    EXPECT_EQ(doc.printer, "Zebra ZD420");
    EXPECT_EQ(doc.title, "Magazyn");
    EXPECT_TRUE(doc.ended);
    EXPECT_EQ(doc.orientations.at(0), platform::Orientation::Portrait);
    EXPECT_EQ(t.printer.currentName(), "Brother HL");
    EXPECT_FALSE(program().state.printBusy);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / kJob));
}

TEST_F(LabelJob, KeepsTheFileWhenNotAskedToDelete) {
    writeJob(std::string(kHeader600) + "X1\tA\tB\t\t1\r\n");
    PrintLabelJob(program(), kJob, false);
    EXPECT_EQ(onlyDocument().pages.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / kJob));
}

TEST_F(LabelJob, FindsTheFileInTheWorkFolder) {
    std::filesystem::create_directory(dir.path() / "work");
    program().state.workPrefix = "work\\";
    writeJob(std::string(kHeader600) + "X1\tA\tB\t\t1\r\n", std::string("work/") + kJob);
    PrintLabelJob(program(), kJob, true);
    EXPECT_EQ(onlyDocument().pages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "work" / kJob));
}

TEST_F(LabelJob, CopiesThreeNoneAndUnreadable) {
    writeJob(std::string(kHeader600) +
             "AAA\t\t\t\t3\r\n"
             "BBB\t\t\t\t0\r\n"
             "CCC\t\t\t\tjeden\r\n");
    PrintLabelJob(program(), kJob, true);
    const auto& doc = onlyDocument();
    ASSERT_EQ(doc.pages.size(), 4u);  // no page after the last copy of the last record
    const char* codes[] = {"AAA ", "AAA ", "AAA ", "CCC "};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(TextsOnPage(doc.pages[i]).at(0), codes[i]);
    }
}

TEST_F(LabelJob, RecordsWithoutCopiesAtTheEndLeaveNoBlankPage) {
    writeJob(std::string(kHeader600) + "AAA\t\t\t\t2\r\nBBB\t\t\t\t0\r\n");
    PrintLabelJob(program(), kJob, true);
    const auto& doc = onlyDocument();
    ASSERT_EQ(doc.pages.size(), 2u);
    EXPECT_FALSE(doc.pages[1].ops.empty());
}

TEST_F(LabelJob, GeneralLayoutArithmetic) {
    // At 600 dpi a millimetre is 23.622 pixels: left 3 mm = 71, right 4959 - 118 = 4841,
    // top 2 mm = 47, bottom (30 - 1) mm = 685, inner 47, offset 71, gap 24.
    writeJob(std::string(kHeader600) + "abc12\t12.50 PLN\tWidget\tx\t2\r\n");
    PrintLabelJob(program(), kJob, true);
    const auto& doc = onlyDocument();
    ASSERT_EQ(doc.pages.size(), 2u);
    const FakePage& page = doc.pages[0];

    const auto outline = OpsOf(page, CanvasOp::Polyline);
    ASSERT_EQ(outline.size(), 1u);
    EXPECT_EQ(outline[0]->points,
              (std::vector<Point>{{71, 47}, {4841, 47}, {4841, 685}, {71, 685}, {71, 49}, {95, 49}}));
    EXPECT_TRUE(OpsOf(doc.pages[1], CanvasOp::Polyline).empty()) << "the outline is drawn on the first page only";

    // Fake metrics at 600 dpi: size 10 is 83 high and 50 a character, size 8 is 66 and 40,
    // size 6 is 50 and 30.
    const auto texts = OpsOf(page, CanvasOp::Text);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0]->text, "abc12 ");
    EXPECT_EQ(texts[0]->points[0], (Point{118, 118}));
    EXPECT_EQ(texts[0]->font.sizePt, 10);
    EXPECT_EQ(texts[0]->font.name, "Courier New");
    EXPECT_EQ(texts[1]->text, "12.50 PLN");
    EXPECT_EQ(texts[1]->points[0], (Point{4794 - 9 * 40, 118}));
    EXPECT_EQ(texts[1]->font.sizePt, 8);
    // The second line starts below the taller first text: 118 + 83 + 24.
    EXPECT_EQ(texts[2]->text, "Widget ");
    EXPECT_EQ(texts[2]->points[0], (Point{118, 225}));
    EXPECT_EQ(texts[2]->font.sizePt, 6);

    // 90 modules of 4676 / 90 = 51 pixels, centred: (71 + 4841 - 4590) / 2 = 161;
    // bars from 225 + 50 + 24 down to 685 - 71.
    const auto bars = OpsOf(page, CanvasOp::Rect);
    ASSERT_FALSE(bars.empty());
    EXPECT_EQ(bars.front()->points, (std::vector<Point>{{161, 299}, {212, 614}}));
    EXPECT_EQ(bars.back()->points[1], (Point{161 + 90 * 51, 614}));
    for (const CanvasOp* bar : bars) EXPECT_EQ(bar->fill, platform::kBlack);
    EXPECT_EQ(ModulesOnPage(page), PublishedSymbol("ABC12"));
}

TEST_F(LabelJob, Clp6LayoutArithmetic) {
    program().state.labelPrinters.selected = 1;  // Citizen CLP-621, 300 dpi: a millimetre is 12 pixels
    // N14 8 and N16 6; N15 would be far too large and must not be used.
    writeJob("0 0 0 0 0 0 0 0 0 0 0 0 0 8 40 6 0 Kody\r\n"
             "ABCDEFGHIJ\t1234.50 PLN\tThird line that is too long\t\t1\r\n");
    PrintLabelJob(program(), kJob, true);
    const auto& doc = onlyDocument();
    EXPECT_EQ(doc.printer, "Citizen CLP-621");
    ASSERT_EQ(doc.pages.size(), 1u);
    const FakePage& page = doc.pages[0];
    EXPECT_TRUE(OpsOf(page, CanvasOp::Polyline).empty());

    // The sticker: left 12, right 336, bottom 3508 - 12 = 3496, top 3496 - 240 = 3256;
    // half width 162, full width 324. At 300 dpi size 8 is 33 high and 20 a character,
    // size 6 is 25 and 15.
    const auto texts = OpsOf(page, CanvasOp::Text);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0]->text, "ABCDEFGH ");  // shortened from the end to 160 pixels
    EXPECT_EQ(texts[0]->points[0], (Point{12, 3256}));
    EXPECT_EQ(texts[1]->text, "4.50 PLN");  // shortened from the front: the price stays readable
    EXPECT_EQ(texts[1]->points[0], (Point{336 - 160, 3256}));
    EXPECT_EQ(texts[1]->font.sizePt, 8);
    EXPECT_EQ(texts[2]->text, "Third line that is to ");  // 21 characters of 15 pixels
    EXPECT_EQ(texts[2]->points[0], (Point{12, 3256 + 33 + 8}));

    // 129 modules of 324 / 129 = 2 pixels from (12 + 336 - 258) / 2 = 45, from
    // 3297 + 25 + 8 down to the sticker's bottom.
    const auto bars = OpsOf(page, CanvasOp::Rect);
    ASSERT_FALSE(bars.empty());
    EXPECT_EQ(bars.front()->points, (std::vector<Point>{{45, 3330}, {47, 3496}}));
    EXPECT_EQ(ModulesOnPage(page), PublishedSymbol("ABCDEFGH"));
}

// A header asking for a label 50 m high in 50,000-point letters, and a
// billion copies: the frame stays on the page (what is drawn stays within
// reach of it, far from any overflow), the letters are ones a page can hold,
// and the job ends after kMaxLabelCopies stickers with the status line
// saying so.
TEST_F(LabelJob, HostileHeaderAndCopiesAreBounded) {
    writeJob("0 3 0 5 0 50000 0 1 50000 50000 0 50000 0 50000 50000 50000 50000;Duza\r\n"
             "\t\t\t\t1000000000\r\n"
             "B\t\t\t\t1\r\n");
    PrintLabelJob(program(), kJob, true);
    const auto& doc = onlyDocument();
    EXPECT_EQ(doc.pages.size(), static_cast<std::size_t>(kMaxLabelCopies));
    for (const CanvasOp& op : doc.pages.front().ops) {
        for (const Point& p : op.points) {
            EXPECT_TRUE(p.x >= 0 && p.x <= 4960 && p.y >= 0 && p.y <= 5 * 7014) << p.x << "," << p.y;
        }
        if (op.kind == CanvasOp::Text) EXPECT_LE(op.font.sizePt, kMaxLabelFontPt);
    }
    const auto& shown = t.status.history;
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                            [](const std::string& s) { return s.rfind("Ponad 5000 etykiet", 0) == 0; }));
}

// A job larger than any sticker list is not read into memory: the job ends
// with the input/output error and the file stays.
TEST_F(LabelJob, OversizedJobIsKeptUnread) {
    writeJob(std::string(kHeader600) + std::string(kJobFileLimit, 'A'));
    EXPECT_THROW(PrintLabelJob(program(), kJob, true), IoError);
    EXPECT_TRUE(t.printer.documents.empty());
    EXPECT_TRUE(std::filesystem::exists(dir.path() / kJob));
    EXPECT_FALSE(program().state.printBusy);
}

TEST_F(LabelJob, LowerCaseAndHashInTheCode) {
    writeJob(std::string(kHeader600) + "ab#1\t\t\t\t1\r\n");
    PrintLabelJob(program(), kJob, true);
    const FakePage& page = onlyDocument().pages.at(0);
    EXPECT_EQ(TextsOnPage(page).at(0), "ab#1 ");  // printed as written
    EXPECT_EQ(ModulesOnPage(page), PublishedSymbol("AB 1"));
}

TEST_F(LabelJob, BarsWithoutWidthWhenTheCodeIsTooLong) {
    // 96 dpi (a millimetre is 4 pixels): the CLP-6 sticker is 108 pixels wide, and at
    // size 1 characters measure nothing, so a 10-character code keeps all its 155 modules.
    selectLabelPrinter("Narrow Zebra");
    writeJob("0 0 0 0 0 0 0 0 0 0 0 0 0 1 1 1 0 T\r\nABCDEFGHIJ\t\t\t\t1\r\n");
    auto result = RunLabelJob(program(), kJob, true, LabelLayout::Clp6);
    EXPECT_EQ(result.outcome, LabelOutcome::Printed);
    const auto bars = OpsOf(onlyDocument().pages.at(0), CanvasOp::Rect);
    ASSERT_FALSE(bars.empty());
    for (const CanvasOp* bar : bars) {
        EXPECT_EQ(bar->points[0].x, (4 + 112) / 2);
        EXPECT_EQ(bar->points[1].x, (4 + 112) / 2);
    }
}

TEST_F(LabelJob, HeaderWithFiveNumbersTitlesTheDocumentZero) {
    writeJob("0 3 0 5 0 Towary\r\nX\t\t\t\t1\r\n");
    PrintLabelJob(program(), kJob, true);
    EXPECT_EQ(onlyDocument().title, "0");
}

TEST_F(LabelJob, NarrowGeneralLabelPrintsNothingAndDeletesTheFile) {
    // 4959 - 110 mm (2598) is left of 105 mm (2480) + 100.
    writeJob("0 105 0 110 0 0 0 0 0 0 0 0 0 10 10 10 30 T\r\nX\t\t\t\t1\r\n");
    const auto result = RunLabelJob(program(), kJob, true);
    EXPECT_EQ(result.outcome, LabelOutcome::TooNarrow);
    EXPECT_TRUE(t.printer.documents.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / kJob));
    EXPECT_EQ(t.printer.currentName(), "Brother HL");
    EXPECT_FALSE(program().state.printBusy);
}

TEST_F(LabelJob, ExactlyHundredPixelsWideStillPrints) {
    // right 4959 - round(N4 * 23.622) against left 0: N4 = 206 gives 4959 - 4866 = 93,
    // N4 = 205 gives 4959 - 4843 = 116.
    writeJob("0 0 0 206 0 0 0 0 0 0 0 0 0 10 10 10 30 T\r\nX\t\t\t\t1\r\n");
    EXPECT_EQ(RunLabelJob(program(), kJob, true).outcome, LabelOutcome::TooNarrow);
    writeJob("0 0 0 205 0 0 0 0 0 0 0 0 0 10 10 10 30 T\r\nX\t\t\t\t1\r\n");
    EXPECT_EQ(RunLabelJob(program(), kJob, true).outcome, LabelOutcome::Printed);
}

TEST_F(LabelJob, LockedFileIsLeftAfterTheTimeoutWithoutFreezing) {
    bool busySeen = false;
    t.events.onPending = [&] { busySeen = busySeen || program().state.printBusy; };
    PrintLabelJob(program(), "!!-B00.LBL", true);  // never there
    EXPECT_GE(t.clock.sleptMs, kLabelOpenTimeoutMs);
    EXPECT_LT(t.clock.sleptMs, kLabelOpenTimeoutMs + 1000);
    EXPECT_TRUE(busySeen) << "the wait lets messages run while the job holds print_busy";
    EXPECT_FALSE(program().state.printBusy);
    EXPECT_TRUE(t.printer.documents.empty());
    EXPECT_EQ(t.status.text(), "Nie mo\xbf" "na otworzy\xe6 !!-B00.LBL");
    EXPECT_EQ(program().state.savedStatus, t.status.text()) << "kept for the dispatcher to put back";
    EXPECT_EQ(t.printer.currentName(), "Brother HL");
}

TEST_F(LabelJob, FileReleasedDuringTheWaitIsPrinted) {
    int waits = 0;
    t.events.onPending = [&] {
        if (++waits == 5) writeJob(std::string(kHeader600) + "X\t\t\t\t1\r\n");
    };
    PrintLabelJob(program(), kJob, true);
    EXPECT_EQ(onlyDocument().pages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / kJob));
}

TEST_F(LabelJob, WithoutALabelPrinterTheFileWaits) {
    program().state.labelPrinters.selected = -1;
    writeJob(std::string(kHeader600) + "X\t\t\t\t1\r\n");
    EXPECT_EQ(RunLabelJob(program(), kJob, true).outcome, LabelOutcome::NoLabelPrinter);
    EXPECT_TRUE(t.printer.documents.empty());
    EXPECT_TRUE(std::filesystem::exists(dir.path() / kJob));
    EXPECT_EQ(t.status.text(), "Nie ma  ");
    EXPECT_FALSE(program().state.printBusy);

    selectLabelPrinter("Gone Zebra");
    EXPECT_EQ(RunLabelJob(program(), kJob, true).outcome, LabelOutcome::NoLabelPrinter);
    EXPECT_EQ(t.status.text(), "Nie ma  Gone Zebra");
}

TEST_F(LabelJob, PrinterFailureDoesNotLeaveTheProgramBusy) {
    writeJob(std::string(kHeader600) + "X\t\t\t\t1\r\n");
    t.printer.failNextCall = true;
    EXPECT_THROW(PrintLabelJob(program(), kJob, true), IoError);
    EXPECT_FALSE(program().state.printBusy);
    EXPECT_EQ(t.printer.currentName(), "Brother HL");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / kJob));
}

TEST_F(LabelJob, HeaderOnlyJobGivesOneEmptyLabel) {
    writeJob(kHeader600);
    PrintLabelJob(program(), kJob, true);
    const auto& doc = onlyDocument();
    ASSERT_EQ(doc.pages.size(), 1u);
    EXPECT_TRUE(OpsOf(doc.pages[0], CanvasOp::Text).empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / kJob));
}

// vel-job label
class LabelCommand : public LabelJob {
protected:
    int run(const std::vector<std::string>& args) { return RunLabelCommand(program(), args, out, err); }
    std::ostringstream out, err;
};

TEST_F(LabelCommand, PdfOutputOnTheBuiltInPrinter) {
    program().state.labelPrinters = {};
    writeJob(std::string(kHeader600) + "X\t\t\t\t2\r\n");
    EXPECT_EQ(run({kJob, "--pdf", "out.pdf"}), 0) << err.str();
    EXPECT_EQ(onlyDocument().printer, platform::kPdfPrinterName);
    EXPECT_EQ(onlyDocument().pages.size(), 2u);
    EXPECT_EQ(t.printer.pdfOutputFile, "out.pdf");
    EXPECT_EQ(out.str(), "Magazyn\n");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / kJob)) << "the command leaves the file it was given";
}

TEST_F(LabelCommand, NamedPrinterIgnoringCaseAndLayoutChoice) {
    writeJob("0 0 0 0 0 0 0 0 0 0 0 0 0 8 8 6 0 T\r\nX\t\t\t\t1\r\n");
    EXPECT_EQ(run({kJob, "--printer", "citizen clp-621"}), 0) << err.str();
    EXPECT_EQ(onlyDocument().printer, "Citizen CLP-621");
    // The fixed sticker sits at the bottom left: its first text at 3508 - 12 - 240.
    EXPECT_EQ(OpsOf(onlyDocument().pages[0], CanvasOp::Text).at(0)->points[0], (Point{12, 3256}));

    t.printer.documents.clear();
    EXPECT_EQ(run({kJob, "--pdf", "x.pdf", "--layout", "clp6"}), 0) << err.str();
    EXPECT_EQ(OpsOf(onlyDocument().pages[0], CanvasOp::Text).at(0)->points[0], (Point{24, 7014 - 24 - 480}));
}

TEST_F(LabelCommand, DefaultsToTheLastLabelPrinterInSortedOrder) {
    writeJob(std::string(kHeader600) + "X\t\t\t\t1\r\n");
    EXPECT_EQ(run({kJob}), 0) << err.str();
    EXPECT_EQ(onlyDocument().printer, "Zebra ZD420");
}

TEST_F(LabelCommand, FailuresSayWhy) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int code;
        const char* says;
    };
    writeJob("0 105 0 110 0 0 0 0 0 0 0 0 0 10 10 10 30 T\r\nX\t\t\t\t1\r\n", "narrow.lbl");
    const Case cases[] = {
        {"no file named", {}, 2, "no job file"},
        {"missing file", {"nothere.lbl", "--pdf", "o.pdf"}, 1, "cannot open nothere.lbl"},
        {"unknown printer", {"narrow.lbl", "--printer", "Nope"}, 2, "no printer named Nope"},
        {"both outputs", {"narrow.lbl", "--printer", "Zebra ZD420", "--pdf", "o.pdf"}, 2, "exclude"},
        {"option without value", {"narrow.lbl", "--pdf"}, 2, "incomplete option --pdf"},
        {"bad layout", {"narrow.lbl", "--layout", "wide"}, 2, "unknown layout wide"},
        {"nothing printed", {"narrow.lbl", "--pdf", "o.pdf"}, 1, "narrower than 100 pixels"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        err.str("");
        EXPECT_EQ(run(c.args), c.code);
        EXPECT_NE(err.str().find(c.says), std::string::npos) << err.str();
    }
}

}  // namespace
}  // namespace vel::labels

namespace vel::labels {
namespace {

// Through the dispatcher, as the timer runs it.
TEST_F(LabelJob, DispatchedJobPrintsOnceAndReportsWhatStopsIt) {
    program().jobs.printLabelJob = PrintLabelJob;
    program().state.labelPrinters.selected = -1;
    writeJob(std::string(kHeader600) + "X\t\t\t\t1\r\n");
    CheckJobFile(program(), kJob);  // there, complete, since the tick before
    t.clock.advanceSeconds(1);
    spool::DispatchJobs(program());
    EXPECT_EQ(t.status.text(), "Nie ma  ") << "the message outlives the dispatcher's restore";
    EXPECT_TRUE(std::filesystem::exists(dir.path() / kJob));

    program().state.labelPrinters.selected = 4;  // the user picks the Zebra
    spool::DispatchJobs(program());
    EXPECT_EQ(onlyDocument().printer, "Zebra ZD420");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / kJob));
    spool::DispatchJobs(program());
    EXPECT_EQ(t.printer.documents.size(), 1u);
}

}  // namespace
}  // namespace vel::labels
