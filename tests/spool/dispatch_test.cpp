#include "spool/dispatch.h"

#include "common/io.h"
#include "common/job_files.h"
#include "ksef/ksef.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vel::spool {
namespace {

using test::ScopedTempDir;
using test::TestProgram;
using test::WriteAll;

const std::string kNumber = "1234567890-20260105-ABCDEF012345-FF";

// Handlers that record their calls as "kind name" and, like the real ones,
// remove the job file before they return.
struct DispatchFixture : ::testing::Test {
    DispatchFixture() {
        Jobs& jobs = tp.program.jobs;
        jobs.printPclJob = [this](Program&, const std::string& name, bool deleteAfter) {
            calls.push_back("pcl " + name + (deleteAfter ? " delete" : " keep"));
            if (onPcl) onPcl(name);
            if (removeFiles) std::filesystem::remove(dir.file(name));
        };
        jobs.printLabelJob = [this](Program&, const std::string& name, bool deleteAfter) {
            calls.push_back("label " + name + (deleteAfter ? " delete" : " keep"));
            if (removeFiles) std::filesystem::remove(dir.file(name));
        };
        jobs.processReceipt = [this](Program&, const std::string& name) {
            calls.push_back("receipt " + name);
            if (removeFiles) std::filesystem::remove(dir.file(name));
        };
        jobs.captureKsefNumber = [this](Program&, const std::string& number) { captured.push_back(number); };
        jobs.checkKsefFile = [this](Program&) { ++checks; };
    }
    // A complete job file, there since the tick before.
    void put(const std::string& name) {
        WriteAll(dir.file(name), "job");
        settled(tp.program.workPath(name));
    }
    void settled(const std::string& path) {
        CheckJobFile(tp.program, path);
        tp.clock.advanceSeconds(1);
    }
    void tick() { DispatchJobs(tp.program); }

    ScopedTempDir dir;
    TestProgram tp;
    std::vector<std::string> calls;
    std::vector<std::string> captured;
    int checks = 0;
    bool removeFiles = true;
    std::function<void(const std::string&)> onPcl;
};

TEST_F(DispatchFixture, OneJobPerTickSmallestNameFirstPclBeforeLabels) {
    put("##-B01.PCL");
    put("##-A02.PCL");
    put("!!-A00.LBL");
    for (int i = 0; i < 4; ++i) tick();
    EXPECT_EQ(calls, (std::vector<std::string>{"pcl ##-A02.PCL delete", "pcl ##-B01.PCL delete",
                                               "label !!-A00.LBL delete"}));
}

TEST_F(DispatchFixture, LabelsBeforeReceiptsAndReceiptsGetTheBareName) {
    put("Par17.xml");
    put("!!-Z99.TXT");
    tick();
    tick();
    tick();
    EXPECT_EQ(calls, (std::vector<std::string>{"label !!-Z99.TXT delete", "receipt Par17.xml"}));
}

TEST_F(DispatchFixture, SmallestNameInPlainByteOrder) {
    // Digits sort before letters and upper case before lower case, with no
    // numeric or locale rules.
    put("##-a00.PCL");
    put("##-Z00.PCL");
    put("##-A10.PCL");
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(calls, (std::vector<std::string>{"pcl ##-A10.PCL delete", "pcl ##-Z00.PCL delete",
                                               "pcl ##-a00.PCL delete"}));
}

TEST_F(DispatchFixture, FoldersAndHiddenFilesAreNeverDispatched) {
    std::filesystem::create_directory(dir.file("##-F01.PCL"));
    std::filesystem::create_directory(dir.file("!!-F01.LBL"));
    std::filesystem::create_directory(dir.file("Par1.xml"));
    put(".##-X01.PCL");
    put(".Par2.xml");
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(tp.status.history.empty());  // nothing announced either
}

TEST_F(DispatchFixture, ReceiptWaitsWhilePrintJobsKeepArriving) {
    put("Par1.xml");
    put("##-A01.PCL");
    // Each print job brings the next one, up to the third.
    onPcl = [this](const std::string& name) {
        if (name == "##-A01.PCL") put("##-A02.PCL");
        if (name == "##-A02.PCL") put("##-A03.PCL");
    };
    for (int i = 0; i < 5; ++i) tick();
    EXPECT_EQ(calls, (std::vector<std::string>{"pcl ##-A01.PCL delete", "pcl ##-A02.PCL delete",
                                               "pcl ##-A03.PCL delete", "receipt Par1.xml"}));
}

TEST_F(DispatchFixture, FileLeftByItsHandlerIsPickedAgainNextTick) {
    removeFiles = false;
    put("##-A01.PCL");
    put("##-B01.PCL");
    tick();
    tick();
    EXPECT_EQ(calls, (std::vector<std::string>{"pcl ##-A01.PCL delete", "pcl ##-A01.PCL delete"}));
}

TEST_F(DispatchFixture, JobsAreLookedForInTheWorkPrefix) {
    std::filesystem::create_directory(dir.file("work"));
    WriteAll(dir.file("##-A00.PCL"), "job");  // in the current directory: not a job when a prefix is set
    tp.program.state.workPrefix = "work\\";
    WriteAll(dir.file("work/##-A01.PCL"), "job");
    settled("work\\##-A01.PCL");
    removeFiles = false;
    tick();
    EXPECT_EQ(calls, (std::vector<std::string>{"pcl ##-A01.PCL delete"}));
}

TEST_F(DispatchFixture, StatusAnnouncesTheJobAndIsRestoredAfterIt) {
    tp.status.setText("Kurs EUR");
    tp.status.history.clear();
    put("!!-A00.LBL");
    tick();
    EXPECT_EQ(tp.status.history, (std::vector<std::string>{"Druk !!-A00.LBL", "Kurs EUR"}));
    EXPECT_EQ(tp.status.text(), "Kurs EUR");

    // A job that replaces the saved text (as the print driver does with the
    // date line) gets its replacement shown.
    onPcl = [this](const std::string&) { tp.program.state.savedStatus = "08-12-2026 wtorek"; };
    put("##-A00.PCL");
    tick();
    EXPECT_EQ(tp.status.text(), "08-12-2026 wtorek");

    // No job: the status line is left alone.
    tp.status.history.clear();
    tick();
    EXPECT_TRUE(tp.status.history.empty());
}

TEST_F(DispatchFixture, HandlerErrorEndsTheTickAndTheFileIsTriedAgain) {
    tp.status.setText("before");
    put("##-A01.PCL");
    bool fail = true;
    tp.program.jobs.printPclJob = [&](Program&, const std::string& name, bool) {
        calls.push_back("pcl " + name);
        if (fail) throw IoError(name, "cannot open");
        std::filesystem::remove(dir.file(name));
    };
    EXPECT_THROW(tick(), IoError);
    EXPECT_EQ(tp.status.text(), "Druk ##-A01.PCL");  // not restored
    EXPECT_FALSE(tp.program.state.dispatchBusy);
    fail = false;
    tick();
    EXPECT_EQ(calls, (std::vector<std::string>{"pcl ##-A01.PCL", "pcl ##-A01.PCL"}));
    // The text saved by this call is the one the failed call left.
    EXPECT_EQ(tp.status.text(), "Druk ##-A01.PCL");
}

TEST_F(DispatchFixture, KsefNumberOnTheClipboardIsCapturedOncePerChange) {
    struct Step { const char* name; std::string clipboard; bool captured; };
    const Step steps[] = {
        {"a number", kNumber, true},
        {"the same number again", kNumber, false},
        {"36 characters", kNumber + "X", false},
        {"the number after something else", kNumber, true},
        {"dash 12th instead of 11th", "12345678901-2026010-ABCDEF012345-A1", false},
        {"dash 21st instead of 20th", "1234567890-202601051-BCDEF012345-43", false},
        {"empty clipboard", "", false},
        {"another number", "9999999999-20251231-ZZZZZZZZZZZZ-7C", true},
    };
    int expected = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        // Every text of 35 characters carries a valid checksum, so that only
        // what its step says keeps it from being captured.
        if (s.clipboard.size() == 35) {
            EXPECT_TRUE(ksef::KsefChecksumOk(s.clipboard));
        }
        tp.clipboard.setText(s.clipboard);
        tick();
        if (s.captured) ++expected;
        ASSERT_EQ(static_cast<int>(captured.size()), expected);
        if (s.captured) {
            EXPECT_EQ(captured.back(), s.clipboard);
        }
    }
    // The file check runs on every call, changed clipboard or not.
    EXPECT_EQ(checks, 8);
}

TEST_F(DispatchFixture, KsefCaptureAndJobInTheSameTick) {
    tp.clipboard.setText(kNumber);
    put("##-A01.PCL");
    tick();
    EXPECT_EQ(captured, (std::vector<std::string>{kNumber}));
    EXPECT_EQ(calls, (std::vector<std::string>{"pcl ##-A01.PCL delete"}));
}

// A file a sibling program is still writing is not a job yet, of any kind.
TEST_F(DispatchFixture, JobFileIsTakenOnlyOnceItStoodStillOverATick) {
    for (const char* name : {"##-G01.PCL", "!!-G01.LBL", "Par9.xml"}) {
        SCOPED_TRACE(name);
        calls.clear();
        std::string bytes = "part";
        WriteAll(dir.file(name), bytes);
        for (int i = 0; i < 3; ++i) {
            tp.clock.advanceSeconds(1);
            tick();
            bytes += " more";  // the writer goes on between ticks
            WriteAll(dir.file(name), bytes);
        }
        EXPECT_TRUE(calls.empty());
        EXPECT_EQ(tp.status.text(), std::string(name) + " czekam");
        tp.clock.advanceSeconds(1);
        tick();  // seen as it is now
        EXPECT_TRUE(calls.empty());
        tp.clock.advanceSeconds(1);
        tick();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_NE(calls[0].find(name), std::string::npos);
    }
}

TEST_F(DispatchFixture, JobThatWaitedPutsBackWhatTheUserSawBefore) {
    // A label or receipt that waited a tick left "NAME czekam" on the status
    // line after its job, for the next 14 ticks.
    for (const char* name : {"!!-A00.LBL", "Par9.xml"}) {
        SCOPED_TRACE(name);
        calls.clear();
        tp.status.setText(" Mirva-Soft Lenno ");
        WriteAll(dir.file(name), "part");
        for (const char* bytes : {"part more", "part more and the rest"}) {
            tp.clock.advanceSeconds(1);
            tick();
            WriteAll(dir.file(name), bytes);
        }
        ASSERT_EQ(tp.status.text(), std::string(name) + " czekam");
        for (int i = 0; i < 3 && calls.empty(); ++i) {
            tp.clock.advanceSeconds(1);
            tick();
        }
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(tp.status.text(), " Mirva-Soft Lenno ");
    }
}

// A file that never becomes complete, or whose job keeps failing, holds the
// queue up for a bounded time; then the next job goes first, the status
// names the stuck file, and the stuck one is still tried again.
TEST_F(DispatchFixture, StuckJobFileIsPassedOverAfterABoundedTime) {
    put("##-A01.PCL");
    put("##-B01.PCL");
    const int bound = static_cast<int>(kJobStuckMs / 1000);
    for (int second = 0; second <= bound; ++second) {
        WriteAll(dir.file("##-A01.PCL"), std::string(static_cast<std::size_t>(second) + 2, 'x'));  // never done
        tick();
        if (second < bound) {
            ASSERT_TRUE(calls.empty()) << second;
        }
        tp.clock.advanceSeconds(1);
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"pcl ##-B01.PCL delete"}));
    EXPECT_EQ(tp.status.text(), "Zablokowany ##-A01.PCL");
    tick();  // the writer stopped at last
    EXPECT_EQ(calls.back(), "pcl ##-A01.PCL delete");

    // A job whose handler fails leaves its file: retried, until the bound
    // lets the next one go first; alone, it is tried again.
    calls.clear();
    removeFiles = false;
    onPcl = [this](const std::string& name) {
        if (name != "##-C01.PCL") std::filesystem::remove(dir.file(name));
    };
    put("##-C01.PCL");
    put("##-D01.PCL");
    for (int second = 0; second <= bound + 1; ++second) {
        tick();
        tp.clock.advanceSeconds(1);
    }
    ASSERT_EQ(calls.size(), static_cast<std::size_t>(bound + 2));
    EXPECT_EQ(calls[calls.size() - 2], "pcl ##-D01.PCL delete");
    EXPECT_EQ(calls.back(), "pcl ##-C01.PCL delete");
}

// ShowStatus lets messages run, so a tick can run nested between the pick and
// the handler's start: it must not dispatch the same file a second time.
TEST_F(DispatchFixture, NestedTickDoesNotDispatchTheSameFileTwice) {
    put("##-A01.PCL");
    put("!!-A01.LBL");
    int depth = 0;
    tp.events.onPending = [&] {
        if (depth > 2) return;
        ++depth;
        tick();
        --depth;
    };
    tick();
    EXPECT_EQ(calls, (std::vector<std::string>{"pcl ##-A01.PCL delete"}));
    EXPECT_FALSE(tp.program.state.dispatchBusy);
    tick();
    EXPECT_EQ(calls, (std::vector<std::string>{"pcl ##-A01.PCL delete", "label !!-A01.LBL delete"}));
}

}  // namespace
}  // namespace vel::spool
