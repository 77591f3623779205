// Shell, clock, clipboard and the headless status line on Qt.

#include "shell/qt/qt_services.h"

#include "shell/qt/qt_app.h"
#include "qt_test_support.h"
#include "support/temp_dir.h"

#include <QElapsedTimer>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

namespace vel::platform {
namespace {

namespace fs = std::filesystem;

bool WaitForFile(const fs::path& path) {
    QElapsedTimer t;
    t.start();
    while (!fs::exists(path) || fs::file_size(path) == 0) {
        if (t.elapsed() > 5000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

TEST(QtShell, RunStartsACommandLineDetached) {
    test::QtApp();
    test::ScopedTempDir dir;
    QtShell shell;
    // A double-quoted argument stays whole, its spaces included.
    const int code = shell.run("sh -c \"printf '%s' 'dwa  slowa' > marker.txt\"");
    EXPECT_GT(code, 32);
    ASSERT_TRUE(WaitForFile(dir.path() / "marker.txt"));
    EXPECT_EQ(test::ReadAll(dir.path() / "marker.txt"), "dwa  slowa");
}

TEST(QtShell, RunStartsAProgramOfTheCurrentFolderByItsBareName) {
    test::QtApp();
    test::ScopedTempDir dir;
    test::WriteAll(dir.path() / "Wox.exe", "#!/bin/sh\necho \"$1\" > started.txt\n");
    fs::permissions(dir.path() / "Wox.exe", fs::perms::owner_all);
    QtShell shell;
    EXPECT_GT(shell.run("Wox.exe pierwszy"), 32);
    ASSERT_TRUE(WaitForFile(dir.path() / "started.txt"));
    EXPECT_EQ(test::ReadAll(dir.path() / "started.txt"), "pierwszy\n");
}

TEST(QtShell, FailuresGiveTheWindowSystemsCodes) {
    test::QtApp();
    test::ScopedTempDir dir;
    test::WriteAll(dir.path() / "plain.txt", "x");
    QtShell shell;
    struct Case {
        const char* name;
        std::string commandLine;
        int code;
    };
    const Case cases[] = {
        {"empty", "", kShellFileNotFound},
        {"no such program", "vel-no-such-program-42 a b", kShellFileNotFound},
        {"no such file in an existing folder", (dir.path() / "missing.exe").string(), kShellFileNotFound},
        {"no such folder", "/vel-no-such-folder/prog", kShellPathNotFound},
        {"not executable", (dir.path() / "plain.txt").string(), kShellAccessDenied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shell.run(c.commandLine), c.code);
    }
    EXPECT_EQ(shell.open((dir.path() / "missing.pdf").string(), "", "", ShowMode::Normal), kShellFileNotFound);
    EXPECT_EQ(shell.open("/vel-no-such-folder/a.pdf", "", "", ShowMode::Normal), kShellPathNotFound);
    EXPECT_EQ(shell.open("", "", "", ShowMode::Normal), kShellFileNotFound);
}

TEST(QtShell, OpenStartsAProgramWithItsParametersInItsFolder) {
    test::QtApp();
    test::ScopedTempDir dir;
    fs::create_directories(dir.path() / "drv");
    test::WriteAll(dir.path() / "drv" / "WQG.exe", "#!/bin/sh\necho \"$1\" > \"$(pwd)/got.txt\"\n");
    fs::permissions(dir.path() / "drv" / "WQG.exe", fs::perms::owner_all);
    QtShell shell;
    // The folder is given with '\' as the sibling programs write it.
    const std::string folder = (dir.path() / "drv").string();
    EXPECT_GT(shell.open("WQG.exe", "PAR.PAS", folder, ShowMode::Normal), 32);
    ASSERT_TRUE(WaitForFile(dir.path() / "drv" / "got.txt"));
    EXPECT_EQ(test::ReadAll(dir.path() / "drv" / "got.txt"), "PAR.PAS\n");
}

TEST(QtClock, LongTimeTextAndSteadyTime) {
    test::QtApp();
    QtClock clock;
    const std::string t = clock.longTimeText();
    EXPECT_TRUE(std::regex_match(t, std::regex("([1-9]|1[0-9]|2[0-3]|0):[0-5][0-9]:[0-5][0-9]"))) << t;
    const DateTime now = clock.now();
    EXPECT_GE(now.weekday, 0);
    EXPECT_LE(now.weekday, 6);
    const auto before = clock.steadyMs();
    clock.sleepMs(30);
    EXPECT_GE(clock.steadyMs() - before, 30);
}

TEST(QtClipboard, KeepsPolishLettersThroughTheCodePage) {
    test::QtApp();
    QtClipboard clipboard;
    const std::string text = "Za\xbf\xf3\xb3\xe6 g\xea\x9cl\xb9 ja\x9f\xf1\r\nKSeF";
    clipboard.setText(text);
    EXPECT_EQ(clipboard.text(), text);
}

TEST(StreamStatusLine, WritesEachTextAsAUtf8Line) {
    std::ostringstream out;
    StreamStatusLine status(out);
    status.setText("Nie ma  \xa3\xf3" "d\x9f");  // "Nie ma  Łódź"
    status.setText("Druk ##-001.txt");
    EXPECT_EQ(out.str(), "Nie ma  \xc5\x81\xc3\xb3" "d\xc5\xba\nDruk ##-001.txt\n");
    EXPECT_EQ(status.text(), "Druk ##-001.txt");
    EXPECT_TRUE(status.fits(std::string(59, 'x')));
    EXPECT_FALSE(status.fits(std::string(60, 'x')));
}

}  // namespace
}  // namespace vel::platform
