#include "pcl/pcl_job.h"

#include "common/io.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

namespace vel::pcl {
namespace {

using platform::CanvasOp;

constexpr const char* kJob = "##-A01.PCL";

struct Driver {
    test::ScopedTempDir dir;
    test::TestProgram tp;
    std::string minAtEnd;  // "Min.{-}" as the print pass read it
    bool minExisted = false;
    bool busyDuringJob = false;
    // Status texts at which a test wants something to happen mid-job.
    std::function<void(const std::string&)> onStatus;

    Driver() : Driver(std::vector<platform::FakePrinterInfo>{{platform::kPdfPrinterName}}) {}
    explicit Driver(std::vector<platform::FakePrinterInfo> printers) : tp(printers, printers.front().name) {
        tp.program.state.printTitleCounter = 100;
        tp.program.state.dateLine = "08-12-2026 Wto";
        tp.events.onPending = [this] {
            const std::string text = tp.status.text();
            if (text.rfind("Druk: ", 0) == 0) busyDuringJob = tp.program.state.printBusy;
            if (text.rfind("End: ", 0) == 0 && FileExists("Min.{-}")) {
                minExisted = true;
                minAtEnd = ReadFile("Min.{-}");
            }
            if (onStatus) onStatus(text);
        };
    }
    void write(const std::string& bytes, const char* name = kJob) { test::WriteAll(dir.path() / name, bytes); }
    std::string printed(std::size_t doc, std::size_t page) {
        std::string out;
        for (const auto& op : tp.printer.documents.at(doc).pages.at(page).ops) {
            if (op.kind == CanvasOp::Text) out += op.text;
        }
        return out;
    }
};

TEST(PrintPclJob, PrintsEveryPageAndCleansUp) {
    Driver d;
    d.write("Zestawienie\r\nFirma\r\nLinia 1\r\n\fLinia 2\r\n");
    PrintPclJob(d.tp.program, kJob, true);

    ASSERT_EQ(d.tp.printer.documents.size(), 1u);
    const auto& doc = d.tp.printer.documents[0];
    EXPECT_TRUE(doc.ended);
    EXPECT_EQ(doc.title, "Mirva-Vel ~101.PDF");
    ASSERT_EQ(doc.pages.size(), 2u);
    EXPECT_EQ(d.printed(0, 0), "ZestawienieFirmaLinia 1");
    EXPECT_EQ(d.printed(0, 1), "Linia 2");

    EXPECT_FALSE(FileExists(kJob));
    EXPECT_FALSE(FileExists("Min.{-}"));
    EXPECT_TRUE(d.minExisted);
    EXPECT_TRUE(d.busyDuringJob);
    EXPECT_FALSE(d.tp.program.state.printBusy);
    EXPECT_EQ(d.tp.program.state.closeCountdown, 0);
    EXPECT_EQ(d.tp.program.state.savedStatus, "08-12-2026 Wto");
    EXPECT_EQ(d.tp.program.state.printTitleCounter, 101);
    EXPECT_EQ(d.tp.clipboard.text(), "Mirva-Vel ~101.PDF");

    EXPECT_EQ(ReadFile("Vel.Log"), "\r\n  PageWidth = 4960\r\n PageHeight = 7014\r\n    Density = 600\r\n");
    EXPECT_EQ(ReadFile("Vel.err"),
              " -3. Wydruk PCL: ##-A01.PCL max 7, etap 1, Courier New 9, etap 2, koniec.\r\n");
    const auto& h = d.tp.status.history;
    EXPECT_NE(std::find(h.begin(), h.end(), "Druk: Mirva-Vel"), h.end());
    EXPECT_NE(std::find(h.begin(), h.end(), "Druk 2 strony"), h.end());
    EXPECT_EQ(h.back(), "End: ##-A01.PCL");
}

// A job without page ends keeps only what its one page shows: lines below
// the bottom are dropped, as a printer drops them, however long the job.
TEST(PrintPclJob, LinesBelowThePageBottomAreDropped) {
    Driver d;
    std::string job = "Zestawienie\r\nFirma\r\n";
    for (int i = 0; i < 2000; ++i) job += "Linia " + std::to_string(i) + "\r\n";
    d.write(job);
    PrintPclJob(d.tp.program, kJob, true);
    ASSERT_EQ(d.tp.printer.documents.size(), 1u);
    ASSERT_EQ(d.tp.printer.documents[0].pages.size(), 1u);
    const std::string text = d.printed(0, 0);
    EXPECT_NE(text.find("Linia 10"), std::string::npos);
    EXPECT_EQ(text.find("Linia 1999"), std::string::npos);
    for (const auto& op : d.tp.printer.documents[0].pages[0].ops) {
        if (op.kind == CanvasOp::Text) EXPECT_LT(op.points[0].y, 7014) << op.text;
    }
}

TEST(PrintPclJob, AppendsToTheTracesThatAlreadyExist) {
    Driver d;
    WriteFile("Vel.err", "earlier\r\n");
    WriteFile("Raport-T.{-}", "");
    d.write("T\r\nU\r\nab\r\n");
    PrintPclJob(d.tp.program, kJob, true);
    EXPECT_EQ(ReadFile("Vel.err").rfind("earlier\r\n -3. Wydruk PCL:", 0), 0u);
    // Every printed character with its position, lines 1 and 2 included.
    const std::string trace = ReadFile("Raport-T.{-}");
    EXPECT_EQ(trace.rfind("   T(", 0), 0u) << trace;
    EXPECT_NE(trace.find("   b("), std::string::npos) << trace;
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '('), 4);
}

TEST(PrintPclJob, FoxitPrinterIsTakenAsA4At600Dpi) {
    Driver d({{"Foxit  PDF  Printer", 300, 2400, 3400}});
    d.write("a\r\nb\r\nc\r\n");
    PrintPclJob(d.tp.program, kJob, true);
    EXPECT_EQ(ReadFile("Vel.Log"), "\r\n  PageWidth = 4960\r\n PageHeight = 7015\r\n    Density = 600\r\n");
}

TEST(PrintPclJob, KeepsTheFileWhenAskedTo) {
    Driver d;
    d.write("a\r\nb\r\nc\r\n");
    PrintPclJob(d.tp.program, kJob, false);
    EXPECT_TRUE(FileExists(kJob));
    EXPECT_EQ(d.tp.printer.documents.size(), 1u);
}

TEST(PrintPclJob, ReadsTheJobFromTheWorkPrefix) {
    Driver d;
    std::filesystem::create_directory(d.dir.path() / "work");
    d.write("a\r\nb\r\nc\r\n", "work/##-A01.PCL");
    d.tp.program.state.workPrefix = "work\\";
    PrintPclJob(d.tp.program, kJob, true);
    EXPECT_EQ(d.tp.printer.documents.size(), 1u);
    EXPECT_FALSE(FileExists("work/##-A01.PCL"));
}

TEST(PrintPclJob, AFullPathIsNotPutUnderTheWorkPrefix) {
    Driver d;
    d.write("a\r\nb\r\nc\r\n");
    d.tp.program.state.workPrefix = "work\\";
    PrintPclJob(d.tp.program, (d.dir.path() / kJob).string(), false);
    EXPECT_EQ(d.tp.printer.documents.size(), 1u);
}

TEST(PrintPclJob, RefusesAJobWithoutAPlainLine) {
    Driver d;
    d.write("Tytul\r\nFirma\r\n\x1b(s3Bgruby\r\n\x1b(s0B\r\n");
    PrintPclJob(d.tp.program, kJob, true);
    EXPECT_TRUE(d.tp.printer.documents.empty());
    EXPECT_NE(ReadFile("Vel.err").find(" max z\xb3y max"), std::string::npos) << ReadFile("Vel.err");
    EXPECT_EQ(d.tp.status.history.back(), "Z\xb3y ##-A01.PCL");
    EXPECT_FALSE(FileExists(kJob));
    EXPECT_FALSE(FileExists("Min.{-}"));
    EXPECT_FALSE(d.tp.program.state.printBusy);
}

TEST(PrintPclJob, RemovesTheCommonIndentation) {
    Driver d;
    d.write("Title\r\n  Line2\r\n      \x1b(s3B\r\n    abc\r\n      x  y   \r\n\f    def   \r\n");
    PrintPclJob(d.tp.program, kJob, true);
    // Plain lines by 4, escape lines by 6: the first run of 4 spaces goes
    // from every line that has one, lines 1 and 2 included.
    EXPECT_EQ(d.minAtEnd, "Title\r\n  Line2\r\n  \x1b(s3B\r\nabc\r\n  x  y\r\n\fdef");
    EXPECT_NE(ReadFile("Vel.err").find(" max 10,"), std::string::npos);
}

TEST(PrintPclJob, IndentationGoesOnlyWhereTheTextBegins) {
    // A title over a body indented by two lost the first double space inside
    // it: "Raport  sprzeda\xbfy" printed as "Raportsprzeda\xbfy".
    // Form feeds and escape sequences in front of the text take no cell: the
    // indentation after them goes too.
    Driver d;
    d.write("Raport  sprzeda\xbfy\r\nza  grudzie\xf1\r\n\x1b(s3BSuma  netto\r\n  abc  def\r\n"
            "\x1b&l7.5C\x1b(s16.67H  Kwota  razem\r\n\f  ghi\r\n");
    PrintPclJob(d.tp.program, kJob, true);
    EXPECT_EQ(d.minAtEnd, "Raport  sprzeda\xbfy\r\nza  grudzie\xf1\r\n\x1b(s3BSuma  netto\r\nabc  def\r\n"
                          "\x1b&l7.5C\x1b(s16.67HKwota  razem\r\n\fghi");
}

TEST(PrintPclJob, EscapeLinesIndentedByOneDoNotCount) {
    Driver d;
    d.write("T\r\nU\r\n \x1b(s3Bq\r\n  abc\r\n \x1b(s0B\r\n");
    PrintPclJob(d.tp.program, kJob, true);
    // MinIndent 2 from the plain line: the escape lines have no run of two.
    EXPECT_EQ(d.minAtEnd, "T\r\nU\r\n \x1b(s3Bq\r\nabc\r\n \x1b(s0B");
    Driver one;
    one.write("T\r\nU\r\n \x1b(s3Bq\r\n abc\r\n");
    PrintPclJob(one.tp.program, kJob, true);
    EXPECT_EQ(one.minAtEnd, "T\r\nU\r\n\x1b(s3Bq\r\nabc");
}

TEST(PrintPclJob, WithoutIndentationTheCopyIsStillTrimmed) {
    Driver d;
    d.write("T  \r\nU\r\nabc   \r\n  x\r\n");
    PrintPclJob(d.tp.program, kJob, true);
    EXPECT_EQ(d.minAtEnd, "T\r\nU\r\nabc\r\n  x");
}

TEST(PrintPclJob, FormFeedAtTheEndGivesNoBlankPage) {
    Driver d;
    d.write("T\r\nU\r\nabc\r\n\f\r\n");
    PrintPclJob(d.tp.program, kJob, true);
    ASSERT_EQ(d.tp.printer.documents.size(), 1u);
    EXPECT_EQ(d.tp.printer.documents[0].pages.size(), 1u);
}

TEST(PrintPclJob, LandscapeRestartsTheDocument) {
    Driver d;
    d.write("T\r\nU\r\nabc\r\n\x1b&l1Odef\r\n");
    PrintPclJob(d.tp.program, kJob, true);
    const auto& docs = d.tp.printer.documents;
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_TRUE(docs[0].aborted);
    EXPECT_TRUE(docs[1].ended);
    EXPECT_EQ(docs[1].title, "Mirva-Vel ~101.PDF");
    EXPECT_EQ(docs[1].orientations[0], platform::Orientation::Landscape);
    EXPECT_EQ(d.printed(1, 0), "def");
    // The next job starts in portrait again.
    d.write("T\r\nU\r\nghi\r\n");
    PrintPclJob(d.tp.program, kJob, true);
    EXPECT_EQ(docs.back().orientations[0], platform::Orientation::Portrait);
}

TEST(PrintPclJob, StretchesToTheLongestPlainLine) {
    Driver d;
    d.write("T\r\nU\r\n\x1b(s17H\r\n" + std::string(120, 'x') + "\r\n");
    PrintPclJob(d.tp.program, kJob, true);
    // A text area of 4440 pixels over 120 columns: a cell of 37 pixels.
    EXPECT_NE(d.tp.status.hint.find(";4440;37, "), std::string::npos) << d.tp.status.hint;
}

TEST(PrintPclJob, HiddenTitleNamesTheDocumentAndIsNotPrinted) {
    Driver d;
    d.write("\xffTytu\x88\xff" "Raport\r\nFirma\r\nabc\r\n");
    PrintPclJob(d.tp.program, kJob, true);
    ASSERT_EQ(d.tp.printer.documents.size(), 1u);
    EXPECT_EQ(d.tp.printer.documents[0].title, "Tytu\xb3 ~101.PDF");
    EXPECT_EQ(d.printed(0, 0), "RaportFirmaabc");
}

TEST(PrintPclJob, AFileThatCannotBeOpenedWaits) {
    Driver d;
    PrintPclJob(d.tp.program, "##-B01.PCL", true);
    EXPECT_NE(ReadFile("Vel.err").find(" ##-B01.PCL czekam.\r\n"), std::string::npos);
    EXPECT_FALSE(d.tp.program.state.printBusy);
    EXPECT_TRUE(d.tp.printer.documents.empty());

    std::filesystem::create_directory(d.dir.path() / "##-C01.PCL");
    EXPECT_EQ(PrintJob(d.tp.program, "##-C01.PCL", true, nullptr), JobOutcome::Postponed);
    EXPECT_TRUE(std::filesystem::is_directory(d.dir.path() / "##-C01.PCL"));
}

TEST(PrintPclJob, PrinterFailingAtTheStartLeavesTheJobForLater) {
    Driver d;
    d.write("T\r\nU\r\nabc\r\n");
    d.tp.printer.failNextCall = true;  // the begin-document call
    EXPECT_THROW(PrintPclJob(d.tp.program, kJob, true), IoError);
    EXPECT_TRUE(FileExists(kJob));
    EXPECT_FALSE(FileExists("Min.{-}"));
    EXPECT_FALSE(d.tp.program.state.printBusy);
    EXPECT_EQ(d.tp.program.state.closeCountdown, 0);
}

TEST(PrintPclJob, PrinterFailingMidJobAbortsAndLeavesTheJob) {
    Driver d;
    d.write("T\r\nU\r\none\r\n\ftwo\r\n\fthree\r\n");
    d.onStatus = [&](const std::string& text) {
        if (text == "Druk 2 strony") d.tp.printer.failNextCall = true;  // the next new page
    };
    EXPECT_THROW(PrintPclJob(d.tp.program, kJob, true), IoError);
    ASSERT_EQ(d.tp.printer.documents.size(), 1u);
    EXPECT_TRUE(d.tp.printer.documents[0].aborted);
    EXPECT_FALSE(d.tp.printer.printing());
    EXPECT_TRUE(FileExists(kJob));
    EXPECT_FALSE(FileExists("Min.{-}"));
    EXPECT_FALSE(d.tp.program.state.printBusy);
    EXPECT_EQ(d.tp.program.state.closeCountdown, 0);
    // The next attempt prints the whole job.
    d.onStatus = nullptr;
    PrintPclJob(d.tp.program, kJob, true);
    EXPECT_EQ(d.tp.printer.documents.back().pages.size(), 3u);
    EXPECT_FALSE(FileExists(kJob));
}

TEST(PrintPclJob, CloseCountdownAtZeroStopsThePrintLoop) {
    Driver d;
    d.write("T\r\nU\r\none\r\n\ftwo\r\n\fthree\r\n");
    d.onStatus = [&](const std::string& text) {
        if (text == "Druk 2 strony") d.tp.program.state.closeCountdown = 0;
    };
    EXPECT_EQ(PrintJob(d.tp.program, kJob, true, nullptr), JobOutcome::Stopped);
    ASSERT_EQ(d.tp.printer.documents.size(), 1u);
    EXPECT_TRUE(d.tp.printer.documents[0].ended);
    EXPECT_EQ(d.tp.printer.documents[0].pages.size(), 2u);
    EXPECT_EQ(d.printed(0, 1), "");
    EXPECT_FALSE(d.tp.program.state.printBusy);
}

}  // namespace
}  // namespace vel::pcl
