#include "pcl/pcl_job.h"

#include "common/io.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace vel::pcl {
namespace {

struct Command {
    test::ScopedTempDir dir;
    test::TestProgram tp{{{platform::kPdfPrinterName}, {"Laser", 300, 2480, 3507}}, platform::kPdfPrinterName};
    std::ostringstream out, err;
    int run(std::vector<std::string> args) { return RunPclCommand(tp.program, args, out, err); }
    Command() {
        tp.program.state.printTitleCounter = 100;
        test::WriteAll(dir.path() / "job.pcl", "Faktura Nr 7/03/2026\r\nFirma\r\nabc\r\n");
    }
};

int Lines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

TEST(PrintCommand, PrintsToAPdfFileAndShowsTheTitle) {
    Command c;
    EXPECT_EQ(c.run({"job.pcl", "--pdf", "out.pdf"}), 0);
    EXPECT_EQ(c.out.str(), "2026+03+00007 ~101.PDF\n");
    EXPECT_EQ(c.err.str(), "");
    EXPECT_EQ(c.tp.printer.pdfOutputFile, "out.pdf");
    ASSERT_EQ(c.tp.printer.documents.size(), 1u);
    EXPECT_EQ(c.tp.printer.documents[0].printer, platform::kPdfPrinterName);
    EXPECT_TRUE(c.tp.printer.documents[0].ended);
    EXPECT_TRUE(FileExists("job.pcl"));  // a job named on the command line stays
}

TEST(PrintCommand, UsesTheCurrentPrinterByDefaultOrTheNamedOne) {
    Command c;
    c.tp.printer.setCurrent("Laser");
    EXPECT_EQ(c.run({"job.pcl"}), 0);
    EXPECT_EQ(c.tp.printer.documents.back().printer, "Laser");
    c.tp.printer.setCurrent(platform::kPdfPrinterName);
    EXPECT_EQ(c.run({"job.pcl", "--printer", "laser"}), 0);  // case does not matter
    EXPECT_EQ(c.tp.printer.documents.back().printer, "Laser");
}

TEST(PrintCommand, FailuresGiveOneLineAndNonZero) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string job;  // empty: the standard job
        int code;
    };
    const Case cases[] = {
        {"no job file argument", {}, "", 2},
        {"unknown option", {"job.pcl", "--fast"}, "", 2},
        {"both printer and pdf", {"job.pcl", "--printer", "Laser", "--pdf", "x.pdf"}, "", 2},
        {"unknown printer", {"job.pcl", "--printer", "Nope"}, "", 1},
        {"missing job file", {"none.pcl"}, "", 1},
        {"refused job", {"job.pcl"}, "a\r\nb\r\n\x1b(s3B\r\n", 1},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        Command c;
        if (!k.job.empty()) test::WriteAll(c.dir.path() / "job.pcl", k.job);
        EXPECT_EQ(c.run(k.args), k.code);
        EXPECT_EQ(Lines(c.err.str()), 1) << c.err.str();
        EXPECT_EQ(c.out.str(), "");
    }
}

TEST(PrintCommand, PrinterErrorIsReportedAndCleanedUp) {
    Command c;
    c.tp.printer.failNextCall = true;
    EXPECT_EQ(c.run({"job.pcl"}), 1);
    EXPECT_EQ(Lines(c.err.str()), 1);
    EXPECT_NE(c.err.str().find("cannot begin document"), std::string::npos);
    EXPECT_FALSE(c.tp.program.state.printBusy);
    EXPECT_TRUE(FileExists("job.pcl"));
}

TEST(PrintCommand, JobPathIgnoresTheWorkPrefix) {
    Command c;
    c.tp.program.state.workPrefix = "elsewhere\\";
    EXPECT_EQ(c.run({"job.pcl"}), 0);
    EXPECT_EQ(c.tp.program.state.workPrefix, "elsewhere\\");
}

}  // namespace
}  // namespace vel::pcl
