#include "receipts/receipt_job.h"

#include "common/io.h"
#include "standin_driver/standin_logic.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace vel::receipts {
namespace {

namespace fs = std::filesystem;

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"iso-8859-2\" standalone=\"yes\"?>";
const std::string kLogHead = kDecl + "\r\n<Paragony Na=\"koncu\" dopisz=\"/Paragony>\">\r\n";

const std::string kReceipt =
    "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n"
    "<PAR NR=\"0815\" SUMVAT=\"1.150\" SUMBRT=\"6.15\">\r\n"
    "<WIERSZ LP=\"1\" STVAT=\"23\" INDEKS=\"MLEKO\" ILOSC=\"1\" CENA=\"10\" UPUST=\"50\"/>\r\n"
    "</PAR>\r\n";
const std::string kReceiptBody =
    "<PAR NR=\"0815\" SUMVAT=\"1.150\" SUMBRT=\"6.15\">\r\n"
    "<WIERSZ LP=\"1\" STVAT=\"23\" INDEKS=\"MLEKO\" ILOSC=\"1\" CENA=\"10\" UPUST=\"50\"/>\r\n"
    "</PAR>\r\n";
const std::string kHandOff = "0815;1.15;6.15\r\n23;MLEKO;1.0000;6.15\r\n";

class ReceiptJob : public ::testing::Test {
protected:
    void SetUp() override {
        program.state.driverPath = "C:\\WQG\\WQG.exe";
        tp.shell.onStart = [this](const std::string&, const std::string& parameters) {
            standin::Run(parameters, driver);
        };
    }

    void Put(const std::string& name, const std::string& bytes) { test::WriteAll(dir.path() / name, bytes); }
    std::string Read(const std::string& name) { return test::ReadAll(dir.path() / name); }
    bool Exists(const std::string& name) { return fs::exists(dir.path() / name); }

    std::string Reply(const std::string& nr, const std::string& nrpar, const std::string& code,
                      const std::string& message) {
        return kDecl + "\r\n\r\n<BACK IDDRUK=\"1\" NR=\"" + nr + "\" NRPAR=\"" + nrpar + "\" KODBL=\"" + code +
               "\" OPISBL=\"" + message + "\"/>";
    }

    test::ScopedTempDir dir;
    test::TestProgram tp;
    Program& program = tp.program;
    standin::Config driver;
};

TEST_F(ReceiptJob, PrintedReceiptBecomesOkWithReplyAndLogs) {
    Put("Par0815.xml", kReceipt);
    Put("Ok-0815.xml", "earlier ok");
    Put("Bak0815.xml", "earlier backup");
    ProcessReceipt(program, "Par0815.xml");

    ASSERT_EQ(tp.shell.opened.size(), 1u);
    // "C:\WQG\WQG.exe" as this system names it.
    EXPECT_EQ(tp.shell.opened[0].target, vel::test::OnWindows() ? "C:\\WQG\\WQG.exe" : "/WQG/WQG.exe");
    EXPECT_EQ(tp.shell.opened[0].parameters, "PAR.PAS");
    EXPECT_EQ(tp.shell.opened[0].directory, "");
    EXPECT_EQ(Read("WQG-got.{-}"), kHandOff);  // what the driver was given
    EXPECT_EQ(tp.clock.sleptMs, 2000);

    EXPECT_FALSE(Exists("Par0815.xml"));
    EXPECT_EQ(Read("Ok-0815.xml"), kReceipt);
    EXPECT_EQ(Read("Bak0815.xml"), "earlier ok");
    EXPECT_FALSE(Exists("Wrk-WQG.{-}"));
    EXPECT_EQ(Read("PAR.PAS"), kHandOff);

    const std::string reply =
        Reply("0815", "000004711", " 0", "   0. Paragon wydrukowany, numer 000004711");
    EXPECT_EQ(Read("Rap0815.xml"), reply);
    EXPECT_EQ(Read("Log.xml"), kLogHead + kReceiptBody + "\r\n" + reply.substr(kDecl.size() + 4) + "\r\n");
    EXPECT_EQ(Read("Log.tx"), "\r\n" + kHandOff);
    EXPECT_FALSE(program.state.printBusy);
}

TEST_F(ReceiptJob, ReceiptNumberFromTheAnswer) {
    struct Case {
        const char* answer;
        const char* nrpar;
    };
    const Case cases[] = {
        {"   0. OK numer 123456789 reszta", "123456789"},
        {"   0. OK numer:12345", "12345"},
        {"   0. OK bez nru", "0"},
        {"   0. numer", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        fs::remove(dir.path() / "Rap1.xml");
        Put("Par1.xml", kReceipt);
        driver.answer = c.answer;
        ProcessReceipt(program, "Par1.xml");
        EXPECT_EQ(Read("Rap1.xml"), Reply("0815", c.nrpar, " 0", c.answer));
        EXPECT_TRUE(Exists("Ok-1.xml"));
    }
}

TEST_F(ReceiptJob, ReplyAndLogStayXmlWhateverTheAnswerHolds) {
    // A driver answer with a quote, "&" or "<" gave a reply no XML reader
    // accepts: the sibling program could not learn that the receipt printed.
    const std::optional<std::string> xmllint = test::HostTool("xmllint");
    ASSERT_TRUE(xmllint) << "no xmllint (libxml2-utils) to read the reply";
    const std::string answer = "   0. Paragon \"A&B\" <ok> numer 000012345";
    Put("Par0815.xml", kReceipt);
    driver.answer = answer;
    ProcessReceipt(program, "Par0815.xml");
    Put("Log-closed.xml", Read("Log.xml") + "</Paragony>\r\n");

    struct Case {
        const char* file;
        const char* back;
    };
    const Case cases[] = {{"Rap0815.xml", "/BACK"}, {"Log-closed.xml", "/Paragony/BACK"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path out = dir.path() / "xmllint.out";
        const std::string xpath = "concat(string(" + std::string(c.back) + "/@NRPAR), '|', string(" + c.back +
                                  "/@KODBL), '|', string(" + c.back + "/@OPISBL))";
        ASSERT_EQ(test::RunHostTool({*xmllint, "--nonet", "--xpath", xpath, test::HostPath(dir.path() / c.file)}, out),
                  0)
            << test::ReadAll(out);
        std::string read = test::ReadAll(out);
        while (!read.empty() && (read.back() == '\n' || read.back() == '\r')) read.pop_back();  // xmllint's own
        EXPECT_EQ(read, "000012345| 0|" + answer);
    }
}

TEST_F(ReceiptJob, RefusedByDriverEndsAsBackup) {
    Put("Par0815.xml", kReceipt);
    Put("Bad0815.xml", "earlier bad");
    Put("Bak0815.xml", "earlier backup");
    driver.answer = " 12. Brak papieru";
    ProcessReceipt(program, "Par0815.xml");

    EXPECT_FALSE(Exists("Par0815.xml"));
    EXPECT_FALSE(Exists("Bad0815.xml"));
    EXPECT_EQ(Read("Bak0815.xml"), kReceipt);
    EXPECT_EQ(Read("PAR.PAS"), kHandOff + "-----\r\n 12. Brak papieru w wierszu nr 1\r\n");
    const std::string reply = Reply("0815", "0", "12", "  12. Brak papieru w wierszu nr 1");
    EXPECT_EQ(Read("Rap0815.xml"), reply);
    EXPECT_EQ(Read("Log.xml"), kLogHead + "\r\n" + reply.substr(kDecl.size() + 4) + "\r\n");
    EXPECT_EQ(Read("Log.tx"), "\r\n" + kHandOff + "-----\r\n 12. Brak papieru w wierszu nr 1\r\n");
}

TEST_F(ReceiptJob, AnsweredBeforeIsRefusedWithoutTheDriver) {
    Put("Par0815.xml", kReceipt);
    Put("Rap0815.xml", "earlier reply");
    Put("Bad0815.xml", "earlier bad");
    Put("Bak0815.xml", "earlier backup");
    Put("PAR.PAS", "earlier hand-off\r\n");
    ProcessReceipt(program, "Par0815.xml");

    EXPECT_TRUE(tp.shell.opened.empty());
    EXPECT_FALSE(Exists("Par0815.xml"));
    EXPECT_FALSE(Exists("Bad0815.xml"));
    EXPECT_EQ(Read("Bak0815.xml"), kReceipt);
    const std::string message = "  21. Paragon ju\xbf wydrukowany (bo Rap0815.xml) w wierszu nr 0";
    EXPECT_EQ(Read("PAR.PAS"), "earlier hand-off\r\n-----\r\n" + message + "\r\n");
    EXPECT_EQ(Read("Rap0815.xml"), Reply("", "0", "21", message));
}

TEST_F(ReceiptJob, ValidationErrorsNeverReachTheDriver) {
    Put("Par0815.xml", "<PAR NR=\"9\"><WIERSZ ILOSC=\"1\" CENA=\"1\"/></PAR>");
    Put("Bad0815.xml", "earlier bad");
    ProcessReceipt(program, "Par0815.xml");
    EXPECT_TRUE(tp.shell.opened.empty());
    EXPECT_EQ(Read("Bad0815.xml"), "<PAR NR=\"9\"><WIERSZ ILOSC=\"1\" CENA=\"1\"/></PAR>");
    EXPECT_EQ(Read("Bak0815.xml"), "earlier bad");
    EXPECT_EQ(Read("PAR.PAS"), "9;;\r\n22;;1.0000;1.22\r\n-----\r\n  30. Nie ma indeksu w wierszu nr 1\r\n");
    const std::string reply = Reply("9", "0", "30", "  30. Nie ma indeksu w wierszu nr 1");
    EXPECT_EQ(Read("Rap0815.xml"), reply);
    // The rejected receipt has no declaration line: its body is one empty line.
    EXPECT_EQ(Read("Log.xml"), kLogHead + "\r\n" + "\r\n" + reply.substr(kDecl.size() + 4) + "\r\n");

    Put("Par0816.xml", "<PAR NR=\"10\"><WIERSZ CENA=\"1\"/></PAR>");
    ProcessReceipt(program, "Par0816.xml");
    EXPECT_TRUE(tp.shell.opened.empty());
    EXPECT_EQ(Read("Rap0816.xml"), Reply("10", "0", "21", "  21. Paragon XML zawiera bledy - pelny spis w PAR.PAS"));
    EXPECT_EQ(Read("PAR.PAS"), "10;;\r\n22;;0.0000;1.22\r\n-----\r\n"
                               "  30. Nie ma indeksu w wierszu nr 1\r\n  31. Niedodatnia ilosc w wierszu nr 1\r\n");
    // The logs were created once and appended to by the second job.
    EXPECT_EQ(Read("Log.xml").find(kLogHead, 1), std::string::npos);
    EXPECT_EQ(Read("Log.tx").substr(0, 7), "\r\n9;;\r\n");
    EXPECT_NE(Read("Log.tx").find("-----\r\n  30. Nie ma indeksu w wierszu nr 1\r\n10;;\r\n"), std::string::npos);
}

TEST_F(ReceiptJob, DriverThatDoesNotStart) {
    Put("Par0815.xml", kReceipt);
    tp.shell.result = 2;
    ProcessReceipt(program, "Par0815.xml");
    EXPECT_EQ(tp.shell.opened.size(), 1u);
    EXPECT_EQ(tp.clock.sleptMs, 0);
    EXPECT_EQ(Read("Bad0815.xml"), kReceipt);
    EXPECT_EQ(Read("Rap0815.xml"),
              Reply("0815", "0", "40", "  40. The specified file was not found. w wierszu nr 1"));
}

TEST_F(ReceiptJob, StartCodes) {
    for (int code : {0, 2, 3, 5, 8, 11, 26, 27, 28, 29, 30, 31, 32}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(DriverStartError(code).substr(0, 6), "  40. ");
    }
    EXPECT_EQ(DriverStartError(5), "  40. The operating system denied access To the specified file.");
    for (int code : {1, 4, 6, 7, 9, 10, 12, 20, 25, 33, 42, 1000}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(DriverStartError(code), "");
    }
}

TEST_F(ReceiptJob, DriverThatNeverAnswersTimesOut) {
    Put("Par0815.xml", kReceipt);
    driver.never = true;
    ProcessReceipt(program, "Par0815.xml");
    EXPECT_EQ(tp.clock.sleptMs, 44 * 2000);
    EXPECT_EQ(tp.events.calls, 44);
    EXPECT_EQ(Read("Bad0815.xml"), kReceipt);
    EXPECT_EQ(Read("Rap0815.xml"), Reply("0815", "0", "41", "  41. Program WQG pracuje zbyt dlugo w wierszu nr 1"));
}

TEST_F(ReceiptJob, MarkerAtTheLastTryStillCounts) {
    Put("Par0815.xml", kReceipt);
    driver.never = true;
    tp.events.onPending = [this] {
        EXPECT_TRUE(program.state.printBusy);  // a nested tick starts no other job
        if (tp.events.calls == 44) standin::Run("PAR.PAS", standin::Config{});
    };
    ProcessReceipt(program, "Par0815.xml");
    EXPECT_EQ(tp.clock.sleptMs, 44 * 2000);
    EXPECT_EQ(Read("Ok-0815.xml"), kReceipt);
    EXPECT_FALSE(program.state.printBusy);
}

TEST_F(ReceiptJob, LeftoverMarkerOfAnEarlierRunIsNotTaken) {
    Put("Par0815.xml", kReceipt);
    Put("Wrk-WQG.{-}", "");
    Put("WQG.{-}", "x\r\n   0. stale numer 999999999\r\n");
    driver.never = true;
    ProcessReceipt(program, "Par0815.xml");
    EXPECT_TRUE(Exists("Bad0815.xml"));
    EXPECT_NE(Read("Rap0815.xml").find("KODBL=\"41\""), std::string::npos);
}

TEST_F(ReceiptJob, MarkerWithoutAnswer) {
    Put("Par0815.xml", kReceipt);
    driver.never = true;
    tp.events.onPending = [this] { Put("Wrk-WQG.{-}", ""); };
    ProcessReceipt(program, "Par0815.xml");
    EXPECT_EQ(Read("Bad0815.xml"), kReceipt);
    EXPECT_EQ(Read("Rap0815.xml"), Reply("0815", "0", "42", "  42. Brak odpowiedzi programu WQG w wierszu nr 1"));
}

TEST_F(ReceiptJob, OtherFilesOfTheIdGoToTheLog) {
    Put("Par0815.xml", kReceipt);
    Put("Neg0815.xml", "<?xml version=\"1.0\"?>\r\n<NEG/>\r\n");
    Put("Bad0815.xml", "<?xml?>\r\n<OLD/>");
    ProcessReceipt(program, "Par0815.xml");
    const std::string reply = Read("Rap0815.xml");
    EXPECT_EQ(Read("Log.xml"),
              kLogHead + kReceiptBody + "<OLD/>\r\n" + "\r\n" + reply.substr(kDecl.size() + 4) + "\r\n<NEG/>\r\n");
}

TEST_F(ReceiptJob, UnreadableReceiptRaisesAndClearsBusy) {
    EXPECT_THROW(ProcessReceipt(program, "Par0815.xml"), IoError);
    EXPECT_FALSE(program.state.printBusy);
    EXPECT_TRUE(tp.shell.opened.empty());
}

// A receipt larger than any till roll is not read into memory: the job ends
// with the input/output error, the receipt stays and the driver is not started.
TEST_F(ReceiptJob, OversizedReceiptIsKeptUnread) {
    Put("Par0815.xml", kReceipt + std::string(kJobFileLimit, ' '));
    try {
        ProcessReceipt(program, "Par0815.xml");
        ADD_FAILURE() << "no error";
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(Exists("Par0815.xml"));
    EXPECT_FALSE(Exists("Rap0815.xml"));
    EXPECT_TRUE(tp.shell.opened.empty());
    EXPECT_FALSE(program.state.printBusy);
}

TEST_F(ReceiptJob, WorkPrefixAndNamesWithAFolder) {
    fs::create_directories(dir.path() / "work");
    program.state.workPrefix = "work\\";
    Put("work/Par7.xml", kReceipt);
    ProcessReceipt(program, "Par7.xml");
    EXPECT_TRUE(Exists("work/Ok-7.xml"));
    EXPECT_TRUE(Exists("work/Rap7.xml"));
    EXPECT_TRUE(Exists("work/Log.xml"));
    EXPECT_TRUE(Exists("PAR.PAS"));  // the hand-off stays in the current directory

    // A name with a folder (the command line's) keeps the job in that folder.
    fs::create_directories(dir.path() / "jobs");
    Put("jobs/Par8.xml", kReceipt);
    ProcessReceipt(program, "jobs\\PAR8.XML");  // names differ in case only
    EXPECT_FALSE(Exists("jobs/Par8.xml"));
    EXPECT_EQ(Read("jobs/Ok-8.xml"), kReceipt);
    EXPECT_TRUE(Exists("jobs/Rap8.xml"));
}

TEST_F(ReceiptJob, NameParts) {
    EXPECT_EQ(ReceiptId("Par0815.xml"), "0815.");
    EXPECT_EQ(ReceiptId("PARAbC.XML"), "abc.");
    EXPECT_EQ(ReceiptId("Par.xml"), ".");
    EXPECT_EQ(ReceiptId("a.xml"), "");
    EXPECT_EQ(ReceiptFileName("C:\\W\\", "0815.", "Rap", "xml"), "C:\\W\\Rap0815.xml");
}

TEST_F(ReceiptJob, RotationSkipsMissingFiles) {
    Put("a", "A");
    Put("c", "C");
    RotateReceiptFiles("a", "b", "c");
    EXPECT_EQ(Read("b"), "A");
    EXPECT_FALSE(Exists("a"));
    EXPECT_FALSE(Exists("c"));
    Put("a", "A2");
    RotateReceiptFiles("a", "b", "c");
    EXPECT_EQ(Read("b"), "A2");
    EXPECT_EQ(Read("c"), "A");
}

TEST_F(ReceiptJob, XmlBodyCopy) {
    EXPECT_EQ(CopyXmlBody(""), "\r\n");
    EXPECT_EQ(CopyXmlBody("no declaration\r\nat all\r\n"), "\r\n");
    EXPECT_EQ(CopyXmlBody("<?xml x?>\r\n"), "\r\n");
    EXPECT_EQ(CopyXmlBody("junk\r\n<?xml x?>\r\na\r\n\r\nb"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(CopyXmlBody("<?xml?>\na\n<?xml?>\n"), "a\r\n<?xml?>\r\n");
}

TEST_F(ReceiptJob, CommandProcessesAndNamesTheReply) {
    Put("Par0815.xml", kReceipt);
    std::ostringstream out, err;
    EXPECT_EQ(RunReceiptCommand(program, {"Par0815.xml", "--driver-dir", "drv"}, out, err), 0);
    EXPECT_EQ(out.str(), "Rap0815.xml\n");
    ASSERT_EQ(tp.shell.opened.size(), 1u);
    EXPECT_EQ(tp.shell.opened[0].target, "drv/WQG.exe");
    EXPECT_TRUE(Exists("Ok-0815.xml"));

    std::ostringstream out2, err2;
    EXPECT_EQ(RunReceiptCommand(program, {"Par0816.xml"}, out2, err2), 1);
    EXPECT_EQ(out2.str(), "");
    EXPECT_EQ(RunReceiptCommand(program, {}, out2, err2), 2);
    EXPECT_EQ(RunReceiptCommand(program, {"a.xml", "b.xml"}, out2, err2), 2);
}

}  // namespace
}  // namespace vel::receipts
