// The real `vel` program started headless in a temporary folder: the lock
// file, the single-instance rule, standby on a folder it cannot write, and
// the orderly end on SIGTERM / SIGINT.

#include "qt_test_support.h"
#include "support/locale.h"
#include "support/temp_dir.h"
#include "vel_process.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vel::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A small print job of the sibling programs: indented lines, a form feed.
constexpr const char* kJob = "  Raport dzienny\r\n  za grudzien\r\n\r\n  Linia tekstu numer jeden\r\n  Linia druga\r\n\f";

class VelProgram : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(pdfDir); }
    ScopedTempDir dir;
    fs::path pdfDir = dir.path() / "pdf-out";
    fs::path lock = dir.path() / "Wrk.{-}";
};

TEST_F(VelProgram, HeadlessStartHoldsTheLockAndSigtermRemovesIt) {
    VelProcess vel(dir.path(), {}, pdfDir);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(lock); }, std::chrono::seconds(10))) << vel.errors();
    // A tick or two, so the program is in its loop.
    ASSERT_TRUE(WaitFor([&] { return fs::exists(dir.path() / "Vel.err"); }, std::chrono::seconds(5)));
    EXPECT_TRUE(vel.running());
    vel.signal(SIGTERM);
    ASSERT_TRUE(vel.waitExit(std::chrono::seconds(5))) << "vel did not end on SIGTERM";
    EXPECT_EQ(vel.exitCode(), 0);
    EXPECT_FALSE(fs::exists(lock));
    const std::string errors = vel.errors();
    // Says once that it runs without a display.
    const auto first = errors.find("no display");
    EXPECT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find("no display", first + 1), std::string::npos) << errors;
}

TEST_F(VelProgram, SigintEndsTheSameOrderlyWay) {
    VelProcess vel(dir.path(), {}, pdfDir);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(lock); }, std::chrono::seconds(10))) << vel.errors();
    vel.signal(SIGINT);
    ASSERT_TRUE(vel.waitExit(std::chrono::seconds(5)));
    EXPECT_EQ(vel.exitCode(), 0);
    EXPECT_FALSE(fs::exists(lock));
}

TEST_F(VelProgram, SecondInstanceOnTheSameFolderClosesAndPrintsNothing) {
    VelProcess first(dir.path(), {}, pdfDir);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(lock); }, std::chrono::seconds(10))) << first.errors();

    // The second one is given a job of its own to print once: as a standby
    // instance it must not.
    WriteAll(dir.path() / "ONCE.PCL", kJob);
    const auto started = Clock::now();
    VelProcess second(dir.path(), {"ONCE.PCL"}, pdfDir);
    ASSERT_TRUE(second.waitExit(std::chrono::milliseconds(2500))) << "the second instance keeps running";
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    // It closes at its first tick, which comes after the timer's interval:
    // one second, not at once (a coarse timer may fire a few percent early).
    EXPECT_GE(took.count(), 900);
    EXPECT_LE(took.count(), 2500);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(Names(pdfDir).empty()) << ::testing::PrintToString(Names(pdfDir));
    EXPECT_TRUE(fs::exists(dir.path() / "ONCE.PCL"));

    // The first instance still runs and still holds its lock.
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(fs::exists(lock));
    first.signal(SIGTERM);
    ASSERT_TRUE(first.waitExit(std::chrono::seconds(5)));
    EXPECT_FALSE(fs::exists(lock));
}

// The counterpart of the standby case above: an instance that holds the lock
// does print its one-shot job, to the built-in PDF printer, and then ends.
TEST_F(VelProgram, OneShotPclJobIsPrintedAndTheProgramEnds) {
    WriteAll(dir.path() / "ONCE.PCL", kJob);
    VelProcess vel(dir.path(), {"ONCE.PCL"}, pdfDir);
    ASSERT_TRUE(vel.waitExit(std::chrono::seconds(10))) << vel.errors();
    EXPECT_EQ(vel.exitCode(), 0);
    const auto pdfs = Names(pdfDir);
    ASSERT_EQ(pdfs.size(), 1u) << ::testing::PrintToString(pdfs) << vel.errors();
    EXPECT_EQ(PdfPages((pdfDir / pdfs[0]).string()), 1);
    EXPECT_NE(PdfText((pdfDir / pdfs[0]).string()).find("Linia tekstu numer jeden"), std::string::npos);
    EXPECT_FALSE(fs::exists(lock));
    EXPECT_TRUE(fs::exists(dir.path() / "ONCE.PCL"));  // a one-shot file is not deleted
}

TEST_F(VelProgram, JobDroppedIntoTheRunningProgramPrintsPolishTextInsideAFrame) {
    VelProcess vel(dir.path(), {}, pdfDir);
    ASSERT_TRUE(WaitFor([&] { return Ready(dir.path()); }, std::chrono::seconds(10))) << vel.errors();
    // Code page 852: "Zażółć gęślą jaźń" and "Łódź" inside a single-line frame.
    const std::string job =
        "  Zestawienie Nr 7/12/2026\r\n  za grudzie\xe4\r\n"
        "  \xda\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xbf\r\n"
        "  \xb3Za\xbe\xa2\x88\x86 g\xa9\x98l\xa5 ja\xab\xe4 \xb3\r\n"
        "  \xb3\x9d\xa2" "d\xab               \xb3\r\n"
        "  \xc0\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xd9\r\n";
    WriteAll(dir.path() / "##-P01.PCL", job);
    ASSERT_TRUE(WaitFor([&] { return !fs::exists(dir.path() / "##-P01.PCL"); }, std::chrono::seconds(10)))
        << vel.errors();
    EXPECT_FALSE(fs::exists(dir.path() / "Min.{-}"));
    ASSERT_TRUE(WaitFor([&] { return Names(pdfDir).size() == 1; }, std::chrono::seconds(5)));
    const std::string text = PdfText((pdfDir / Names(pdfDir)[0]).string());
    const auto first = text.find("Za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105 ja\u017a\u0144");
    const auto second = text.find("\u0141\u00f3d\u017a");
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_NE(second, std::string::npos) << text;
    EXPECT_LT(first, second);
    vel.signal(SIGTERM);
    EXPECT_TRUE(vel.waitExit(std::chrono::seconds(10)));
}

TEST_F(VelProgram, UnwritableWorkFolderMeansStandby) {
    // /proc takes no new files, whoever runs the test (root included).
    const auto started = Clock::now();
    VelProcess vel(dir.path(), {"", "/proc"}, pdfDir);
    ASSERT_TRUE(vel.waitExit(std::chrono::milliseconds(2500))) << vel.errors();
    EXPECT_LE(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count(), 2500);
    EXPECT_EQ(vel.exitCode(), 0);
    EXPECT_FALSE(fs::exists(lock));
    EXPECT_FALSE(fs::exists("/proc/Wrk.{-}"));
    // Start-up stopped before the printer set-up: no printer-list trace.
    EXPECT_FALSE(fs::exists(dir.path() / "Vel.err"));
}

TEST_F(VelProgram, UnreachableDisplayMeansRunningWithoutAWindow) {
    VelProcess vel(dir.path(), {}, pdfDir, ":4711");
    ASSERT_TRUE(WaitFor([&] { return fs::exists(lock); }, std::chrono::seconds(10))) << vel.errors();
    EXPECT_TRUE(vel.running());
    vel.signal(SIGTERM);
    ASSERT_TRUE(vel.waitExit(std::chrono::seconds(5)));
    EXPECT_EQ(vel.exitCode(), 0);
    EXPECT_FALSE(fs::exists(lock));
    EXPECT_NE(vel.errors().find("running without a window"), std::string::npos) << vel.errors();
}

// A virtual X server of the test's own (Xvfb), 1024 x 768.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int ready[2];
        if (pipe(ready) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            if (const int null = open("/dev/null", O_WRONLY); null >= 0) dup2(null, 2);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        // Xvfb writes its display number when it accepts clients.
        std::string number;
        char c;
        while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        if (!number.empty()) name_ = ":" + number;
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// The screen of `display` as an image (a null image when the grab fails).
QImage Grab(const std::string& display, const fs::path& file) {
    const std::string command = "DISPLAY=" + display + " QT_QPA_PLATFORM=xcb " + Quote(VEL_SCREEN_GRAB) + " " +
                                Quote(file.string()) + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    return QImage(QString::fromStdString(file.string()));
}

TEST_F(VelProgram, WithADisplayTheWindowShowsAtTheTopRight) {
    VirtualDisplay display;
    ASSERT_FALSE(display.name().empty()) << "Xvfb did not start (package xvfb)";
    VelProcess vel(dir.path(), {}, pdfDir, display.name());
    ASSERT_TRUE(WaitFor([&] { return fs::exists(lock); }, std::chrono::seconds(10))) << vel.errors();

    // The top panel's colour 0xC08000 (as BBGGRR) at the right end of the
    // window's first rows, once the first tick has placed it.
    const fs::path shot = dir.path() / "screen.png";
    QImage image;
    const bool placed = WaitFor(
        [&] {
            image = Grab(display.name(), shot);
            return !image.isNull() && image.pixelColor(1024 - 4, 10) == QColor(0x00, 0x80, 0xC0);
        },
        std::chrono::seconds(10));
    ASSERT_TRUE(placed) << vel.errors();
    // The window is 290 pixels wide, 67 high in its first view mode: left of
    // it and below it the empty screen.
    EXPECT_EQ(image.pixelColor(1024 - 290 - 2, 10), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(1024 - 150, 67 + 2), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(1024 - 150, 50), QColor(0x00, 0x00, 0x60));  // the page printer list
    EXPECT_EQ(vel.errors().find("no display"), std::string::npos);

    vel.signal(SIGTERM);
    ASSERT_TRUE(vel.waitExit(std::chrono::seconds(5)));
    EXPECT_FALSE(fs::exists(lock));
}

// A print job under the users' pl_PL locale (decimal comma), with decimal
// line spacing and pitch in its escapes: the same PDF and printer log, byte
// for byte, as under C.
TEST(VelJobPrint, SamePdfAndLogUnderEitherLocale) {
    const std::string job =
        "  Raport dzienny\r\n  za grudzien\r\n\x1b&l7.5C\x1b(s16.67H  Kwota 1234.50 zl\r\n  Linia druga\r\n\f";
    std::map<std::string, std::string> plain;
    for (const char* locale : kBothLocales) {
        SCOPED_TRACE(locale);
        ASSERT_TRUE(LocaleGenerated(locale)) << "scripts/install-deps.sh generates it";
        ScopedTempDir dir;
        WriteAll(dir.path() / "##-P02.PCL", job);
        const std::string command = "cd " + Quote(dir.path().string()) + " && " + LocaleEnvironment(locale) +
                                    Quote(VEL_JOB_PROGRAM) + " print '##-P02.PCL' --pdf job.pdf >out.txt 2>err.txt";
        ASSERT_EQ(std::system(command.c_str()), 0) << ReadAll(dir.path() / "err.txt");
        std::map<std::string, std::string> files;
        for (const auto& e : fs::directory_iterator(dir.path())) files[e.path().filename().string()] = ReadAll(e.path());
        if (locale != kPlainLocale) {
            EXPECT_EQ(files, plain);
            continue;
        }
        plain = files;
        EXPECT_NE(PdfText((dir.path() / "job.pdf").string()).find("Kwota 1234.50 zl"), std::string::npos);
        EXPECT_NE(files["Vel.Log"].find("PageWidth"), std::string::npos);
    }
}

}  // namespace
}  // namespace vel::test
