#include "app/main_window.h"
#include "app/fake_main_view.h"
#include "common/io.h"
#include "common/status.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vel::app {
namespace {

using test::FakeMainView;
using test::ScopedTempDir;

using Harness = test::MainWindowHarness;

TEST(Tick, StatusMessageGivesWayToTheMakerLineAfter14Ticks) {
    ScopedTempDir dir;
    Harness h;
    h.start();
    h.tick();  // first tick: date line and placement
    ShowStatus(h.program, "Druk ##-A01.PCL");
    for (int i = 1; i <= 13; ++i) {
        h.tick();
        EXPECT_EQ(h.view.text(), "Druk ##-A01.PCL") << "tick " << i;
    }
    h.tick();
    EXPECT_EQ(h.view.text(), " Mirva-Soft Lenno ");
}

TEST(Tick, CloseCountdownCountsOutAndClosesOnThe14thTick) {
    ScopedTempDir dir;
    Harness h;
    h.start();
    h.tick();
    h.program.state.closeCountdown = 15;
    std::vector<std::string> seen;
    for (int i = 1; i <= 14; ++i) {
        h.tick();
        const std::string t = h.view.text();
        if (t.rfind("Out: ", 0) == 0 && (seen.empty() || seen.back() != t)) seen.push_back(t);
        if (i < 10) {
            EXPECT_EQ(t.rfind("Out: ", 0), std::string::npos) << "tick " << i;
        }
        if (i < 14) {
            EXPECT_EQ(h.view.closes, 0) << "tick " << i;
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Out: 5", "Out: 4", "Out: 3", "Out: 2", "Out: 1"}));
    EXPECT_EQ(h.view.closes, 1);
    EXPECT_TRUE(h.window.ended());
}

TEST(Tick, DateLineIsRebuiltOnlyWhenTheTimeTextsFirstCharacterChanges) {
    ScopedTempDir dir;
    Harness h;
    h.clock.set({2026, 12, 8, 12, 34, 58, 0, 2});
    h.start();
    h.tick();  // 12:34:59, first tick
    EXPECT_EQ(h.program.state.dateLine, "08-12-2026 Wto");
    // Cut at its end to fit the label: 37 characters fit the fake's 290 pixels.
    EXPECT_EQ(h.view.text(), "08-12-2026 Wto Mirva-Soft Lenno Vel.8");
    h.program.state.dateLine = "marker";
    h.tick();  // 12:35:00: same first character
    EXPECT_EQ(h.program.state.dateLine, "marker");
    EXPECT_EQ(h.view.clock, "12:35:00");

    h.clock.set({2026, 12, 9, 23, 59, 58, 0, 3});
    h.tick();  // 23:59:59: '1' -> '2', rebuilt
    EXPECT_EQ(h.program.state.dateLine, "09-12-2026 \x8c" "ro");
    h.tick();  // 0:00:00 on the next day
    EXPECT_EQ(h.program.state.dateLine, "10-12-2026 Czw");

    // Every weekday's abbreviation, byte for byte, Sunday 13-12-2026 first.
    const char* const weekdays[] = {"Nie", "Pon", "Wto", "\x8c" "ro", "Czw", "Pi\xb9", "Sob"};
    for (int d = 0; d < 7; ++d) {
        h.clock.set({2026, 12, 13 + d, 9, 59, 58, 0, d});
        h.tick();  // 9:59:59
        h.tick();  // 10:00:00: '9' -> '1', rebuilt
        EXPECT_EQ(h.program.state.dateLine, std::to_string(13 + d) + "-12-2026 " + weekdays[d]);
    }
}

TEST(Tick, FirstTickPlacesTheWindowFromThePositionFile) {
    struct Case {
        const char* name;
        const char* file;  // nullptr: no file
        int left, top;
    };
    const Case cases[] = {
        {"no file: top right", nullptr, 1630, 0},
        {"two values", "1630  412", 1630, 412},
        {"on two lines, signed", "1630\r\n+412", 1630, 412},
        {"near the edge", "5 5", 0, 0},
        {"off the screen", "1700 1050", 1630, 0},
        {"one value only", "700", 700, 0},
        {"unreadable", "abc 5", 1630, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTempDir dir;
        if (c.file) test::WriteAll("Pos.{-}", c.file);
        Harness h;
        h.start();
        h.tick();
        EXPECT_EQ(h.view.x, c.left);
        EXPECT_EQ(h.view.y, c.top);
    }
}

TEST(Tick, FirstTickSetsViewModeAndVisibility) {
    {
        ScopedTempDir dir;
        Harness h;
        h.start();
        h.tick();
        EXPECT_EQ(h.window.viewMode(), 1);
        EXPECT_EQ(h.view.h, 67);
        EXPECT_FALSE(h.view.lowerListsShown);
        EXPECT_TRUE(h.view.shown);
    }
    {
        ScopedTempDir dir;
        Harness h;
        h.start({"x", "", ""});
        h.tick();
        EXPECT_FALSE(h.view.shown) << "argument x: hidden by the first tick";
        EXPECT_EQ(h.view.trayTip, "Vel-drukowanie");
    }
    {
        ScopedTempDir dir;
        Harness h;
        h.printer = platform::FakePrinter({{"Brother HL"}, {"Citizen CLP-621"}}, "Brother HL");
        h.start();
        h.tick();
        EXPECT_EQ(h.window.viewMode(), 2) << "a label printer shows the second row";
        EXPECT_EQ(h.view.h, 92);
    }
}

TEST(Tick, ViewModeCyclesOneTwoThree) {
    ScopedTempDir dir;
    Harness h;
    h.start();
    h.tick();
    std::vector<std::pair<int, int>> seen;
    for (int i = 0; i < 4; ++i) {
        h.window.BDnKlik();
        seen.emplace_back(h.window.viewMode(), h.view.h);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{2, 92}, {3, 342}, {1, 67}, {2, 92}}));
    EXPECT_EQ(h.view.panel, 92);
}

TEST(Tick, NestedTickKeepsTheClockGoingButStartsNoSecondJob) {
    ScopedTempDir dir;
    Harness h;
    int jobsStarted = 0;
    std::vector<std::string> clockDuringJob;
    h.program.jobs.dispatchJobs = [&](Program& p) {
        if (p.state.printBusy) return;
        ++jobsStarted;
        p.state.printBusy = true;
        p.state.closeCountdown = 15;
        // A long job: lets messages run five times, one second apart.
        for (int i = 0; i < 5; ++i) {
            h.clock.advanceSeconds(1);
            p.sys.events.processPending();
            clockDuringJob.push_back(h.view.clock);
        }
        // The nested ticks counted the close countdown down too.
        EXPECT_EQ(p.state.closeCountdown, 10);
        p.state.printBusy = false;
        p.state.closeCountdown = 0;
    };
    // Like the real timer: a pending tick runs when a second has passed.
    std::int64_t due = 0;
    auto timer = [&] {
        due = h.clock.steadyMs() + 1000;
        h.window.TiTimer();
    };
    h.start();
    h.events.onPending = [&] {
        if (h.clock.steadyMs() >= due) timer();
    };
    h.clock.set({2026, 12, 8, 10, 0, 0, 0, 2});
    timer();
    EXPECT_EQ(jobsStarted, 1);
    ASSERT_EQ(clockDuringJob.size(), 5u);
    EXPECT_EQ(clockDuringJob.front(), "10:00:01");
    EXPECT_EQ(clockDuringJob.back(), "10:00:05");
    EXPECT_FALSE(h.window.ended());
}

TEST(Tick, NestingIsCappedSoARunawayPumpCannotRecurseForever) {
    ScopedTempDir dir;
    Harness h;
    int depth = 0, deepest = 0;
    h.events.onPending = [&] {
        ++depth;
        deepest = std::max(deepest, depth);
        h.window.TiTimer();
        --depth;
    };
    h.start();
    h.window.TiTimer();
    EXPECT_LE(deepest, 9);
    EXPECT_GE(deepest, 2);
}

TEST(Tick, OneShotFileEndingInPclIsPrintedOnceThenTheProgramEnds) {
    struct Case {
        const char* arg;
        bool printed;
    };
    const Case cases[] = {{"C:\\JOBS\\A.PCL", true}, {"a.pcl", true}, {"A.PCL.PCL", false}, {"A.TXT", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg);
        ScopedTempDir dir;
        Harness h;
        std::vector<std::pair<std::string, bool>> printed;
        h.program.jobs.printPclJob = [&](Program&, const std::string& name, bool del) { printed.emplace_back(name, del); };
        h.start({c.arg, "", ""});
        EXPECT_TRUE(FileExists("Wrk.{-}"));
        h.tick();
        EXPECT_FALSE(h.view.shown);
        if (c.printed) {
            ASSERT_EQ(printed.size(), 1u);
            EXPECT_EQ(printed[0].first, c.arg);
            EXPECT_FALSE(printed[0].second);
            EXPECT_EQ(h.view.clock, "Druk PCL");
            EXPECT_FALSE(FileExists("Wrk.{-}"));
            EXPECT_TRUE(h.window.ended());
        } else {
            EXPECT_TRUE(printed.empty());
            EXPECT_FALSE(h.window.ended());
        }
    }
}

TEST(Tick, OneShotReceiptIsProcessedAfterTheDispatcherHadItsTurn) {
    ScopedTempDir dir;
    Harness h;
    std::vector<std::string> order;
    h.program.jobs.dispatchJobs = [&](Program&) { order.push_back("dispatch"); };
    h.program.jobs.processReceipt = [&](Program&, const std::string& name) { order.push_back("receipt " + name); };
    h.start({"par1.xml", "", ""});
    h.tick();
    EXPECT_EQ(order, (std::vector<std::string>{"dispatch", "receipt par1.xml"}));
    EXPECT_EQ(h.view.clock, "Druk XML");
    EXPECT_TRUE(h.window.ended());
}

TEST(Tick, OneShotThatFailsStillEndsTheProgram) {
    ScopedTempDir dir;
    Harness h;
    h.program.jobs.processReceipt = [&](Program&, const std::string& name) { throw IoError(name, "cannot read"); };
    h.start({"Par9.xml", "", ""});
    EXPECT_THROW(h.tick(), IoError);
    EXPECT_TRUE(h.window.ended());
    EXPECT_FALSE(FileExists("Wrk.{-}"));
}

TEST(Startup, DeletesLeftoverJobsAndReadsTheDownloadFolder) {
    ScopedTempDir dir;
    for (const char* name : {"##-A01.PCL", "!!-B02.LBL", "Par7.xml", "Wykon.to!", "keep.txt", "##-LONG1.PCL"}) {
        test::WriteAll(name, "x");
    }
    test::WriteAll("Dwn.{-}", "/home/u/Pobrane\r\nsecond line\r\n");
    Harness h;
    h.start({"", "", "C:\\Fisk"});
    EXPECT_FALSE(FileExists("##-A01.PCL"));
    EXPECT_FALSE(FileExists("!!-B02.LBL"));
    EXPECT_FALSE(FileExists("Par7.xml"));
    EXPECT_FALSE(FileExists("Wykon.to!"));
    EXPECT_TRUE(FileExists("keep.txt"));
    EXPECT_TRUE(FileExists("##-LONG1.PCL")) << "four characters do not match ???";
    EXPECT_EQ(h.program.state.downloadFolder, "/home/u/Pobrane");
    EXPECT_EQ(h.program.state.driverPath, "C:\\Fisk\\WQG.exe");
    EXPECT_EQ(h.view.caption, "Vel.8.61 Mirva-Soft Lenno ");
    EXPECT_GE(h.program.state.printTitleCounter, 100);
    EXPECT_LE(h.program.state.printTitleCounter, 499);
}

TEST(Startup, TheOneShotFileIsNotDeletedAsALeftover) {
    ScopedTempDir dir;
    test::WriteAll("Par0001.xml", "<receipt/>");
    test::WriteAll("Par0002.xml", "<old/>");
    Harness h;
    std::string processed;
    h.program.jobs.processReceipt = [&](Program&, const std::string& name) { processed = test::ReadAll(name); };
    h.start({"Par0001.xml", "", ""});
    EXPECT_FALSE(FileExists("Par0002.xml"));
    h.tick();
    EXPECT_EQ(processed, "<receipt/>");
}

TEST(Startup, SecondInstanceOnTheSameFolderGoesToStandby) {
    ScopedTempDir dir;
    Harness first;
    first.start({"", dir.path().string(), ""});
    EXPECT_FALSE(first.program.state.lockFailed);
    ASSERT_TRUE(FileExists(dir.file("Wrk.{-}")));

    // The holder's queue: not leftovers for a second instance to delete.
    test::WriteAll("##-Q01.PCL", "x");
    Harness second;
    int dispatched = 0;
    second.program.jobs.dispatchJobs = [&](Program&) { ++dispatched; };
    second.start({"A.PCL", dir.path().string(), ""});
    EXPECT_TRUE(second.program.state.lockFailed);
    EXPECT_TRUE(FileExists("##-Q01.PCL"));
    second.tick();
    EXPECT_EQ(second.view.closes, 1);
    EXPECT_EQ(dispatched, 0);
    EXPECT_TRUE(FileExists(dir.file("Wrk.{-}"))) << "the standby instance leaves the holder's lock alone";

    first.window.QuitProgram();
    EXPECT_FALSE(FileExists(dir.file("Wrk.{-}")));
    EXPECT_TRUE(first.view.trayTip.empty());
}

TEST(Startup, UnwritableWorkFolderMeansStandbyWithoutTrayOrPrinters) {
    ScopedTempDir dir;
    Harness h;
    h.start({"", "/proc", ""});  // even root cannot create files there
    EXPECT_TRUE(h.program.state.lockFailed);
    EXPECT_TRUE(h.view.trayTip.empty());
    EXPECT_TRUE(h.program.state.pagePrinters.items.empty());
    h.tick();
    EXPECT_TRUE(h.window.ended());
}

}  // namespace
}  // namespace vel::app
