#include "app/fake_main_view.h"
#include "app/main_window.h"
#include "common/io.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace vel::app {
namespace {

using test::FakeMainView;
using test::ScopedTempDir;

using Harness = test::MainWindowHarness;

TEST(ClockRightClick, SnapsToTheEdgesSavesThePositionAndQuits) {
    struct Case {
        const char* name;
        int left, top, height;
        int wantLeft, wantTop;
    };
    const Case cases[] = {
        {"a little above the top", 900, -5, 67, 900, 0},
        {"right edge 30 beyond the screen", 1660, 300, 67, 1630, 300},
        {"right edge 60 beyond the screen", 1690, 300, 67, 1690, 300},
        {"bottom edge a little below the screen's", 100, 1020, 67, 100, 1010},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTempDir dir;
        Harness h;
        h.window.ZeCreat({"", "", ""});
        h.view.x = c.left;
        h.view.y = c.top;
        h.view.h = c.height;
        h.window.PaPK();
        EXPECT_EQ(h.view.x, c.wantLeft);
        EXPECT_EQ(h.view.y, c.wantTop);
        EXPECT_EQ(test::ReadAll("Pos.{-}"), std::to_string(c.wantLeft) + "  " + std::to_string(c.wantTop));
        EXPECT_TRUE(h.window.ended());
        EXPECT_FALSE(FileExists("Wrk.{-}"));
    }
}

TEST(Dragging, MovesTheWindowByTheMouseTravelUntilRelease) {
    ScopedTempDir dir;
    Harness h;
    h.view.x = 100;
    h.view.y = 200;
    h.window.InMMv(50, 50);  // no button down: nothing
    EXPECT_EQ(h.view.x, 100);
    h.window.InMDn(10, 5);
    h.window.InMMv(30, 2);
    EXPECT_EQ(h.view.x, 120);
    EXPECT_EQ(h.view.y, 197);
    h.window.InMUp();
    h.window.InMMv(90, 90);
    EXPECT_EQ(h.view.x, 120);
}

TEST(AddressBlock, IsReformattedOnTheClipboard) {
    ScopedTempDir dir;
    Harness h;
    h.clipboard.setText("Firma\r\nul. D\xb3uga 1\r\nlok. 2\r\nMiasto\r\n12-345\r\ntel. 12 345 67 89\r\ne-mail: biuro");
    h.window.UpCh();
    EXPECT_EQ(h.clipboard.text(), "\r\nFirma\r\nul. D\xb3uga 1 lok. 2\r\n12-345, Miasto\r\n12 345 67 89, biuro");

    h.clipboard.setText("A+B\r\nStreet");  // fewer than seven lines, '+' removed
    h.window.UpCh();
    EXPECT_EQ(h.clipboard.text(), "\r\nAB\r\nStreet\r\n, \r\n, ");
}

TEST(Panels, OpenPagesAndRunCompanionPrograms) {
    ScopedTempDir dir;
    Harness h;
    h.window.TurJ();
    ASSERT_EQ(h.shell.opened.size(), 1u);
    EXPECT_EQ(h.clipboard.text(), h.shell.opened[0].target);
    EXPECT_NE(h.shell.opened[0].target.find("/jpk-client"), std::string::npos);
    h.window.KSFKlik();
    EXPECT_EQ(h.shell.opened.back().target, "https://ap.ksef.mf.gov.pl/");

    test::WriteAll("Wox.exe", "");
    h.window.WoxKlik();
    EXPECT_EQ(h.shell.ran, (std::vector<std::string>{"Wox.exe"}));
}

TEST(TrayMenu, ParkShowHideAndQuit) {
    ScopedTempDir dir;
    Harness h;
    h.window.ZeCreat({"", "", ""});
    test::WriteAll("Pos.{-}", "5  5");
    h.view.x = 10;
    h.view.y = 300;
    h.window.ParKl();
    EXPECT_FALSE(FileExists("Pos.{-}"));
    EXPECT_EQ(h.view.x, 1920 - 290);
    EXPECT_EQ(h.view.y, 0);
    h.window.UkrKl();
    EXPECT_FALSE(h.view.shown);
    h.window.PokKl();
    EXPECT_TRUE(h.view.shown);
    h.window.TrayButton();
    EXPECT_EQ(h.view.menus, 1);
    h.window.KonKl();
    EXPECT_TRUE(h.window.ended());
    EXPECT_TRUE(h.view.trayTip.empty());
}

TEST(ErrorBoundary, ReportsTheErrorAndTheProgramGoesOn) {
    ScopedTempDir dir;
    Harness h;
    h.window.ZeCreat({"", (dir.path() / "gone").string(), ""});  // no such folder: standby
    h.window.Guard([&] { h.window.SavePosition(); });
    ASSERT_EQ(h.view.errors.size(), 1u);
    EXPECT_NE(h.view.errors[0].find("Pos.{-}"), std::string::npos);

    // A job failing on every tick, ticks running under the open box: one box,
    // every failure in the trace; once the box is closed the next one shows.
    const auto failingTick = [] { throw IoError("##-ABC.PCL", "the spooler refused the document"); };
    int ticks = 0;
    h.view.whileErrorShown = [&] {
        while (++ticks < 3) h.window.Guard(failingTick);
    };
    h.window.Guard(failingTick);
    EXPECT_EQ(h.view.errors.size(), 2u);
    EXPECT_EQ(ticks, 3);
    h.view.whileErrorShown = nullptr;
    h.window.Guard(failingTick);
    EXPECT_EQ(h.view.errors.size(), 3u);
    const std::string trace = test::ReadAll("Vel.err");
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = trace.find("spooler refused", at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, 4u);
}

}  // namespace
}  // namespace vel::app
