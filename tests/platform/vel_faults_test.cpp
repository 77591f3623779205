// The real `vel` program, headless in a work folder of the test's own, against
// the faults that lose a job, print it twice or run what must not run: files
// still being written, a second instance, jobs that cannot be deleted or
// read, a full disk, repeated titles, a crash, a hostile request file.

#include "qt_test_support.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "vel_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vel::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;

// A print job of `pages` pages, each a handful of report lines.
std::string PrintJob(int pages, const std::string& head = "Raport dzienny") {
    std::string job = "  " + head + "\r\n  za grudzien\r\n";
    for (int p = 1; p <= pages; ++p) {
        for (int line = 1; line <= 40; ++line)
            job += "  Strona " + std::to_string(p) + " linia " + std::to_string(line) + " kwota 1234.56 PLN\r\n";
        if (p < pages) job += "\f";
    }
    return job;
}

std::vector<std::string> Pdfs(const fs::path& folder) {
    std::vector<std::string> names = Names(folder);
    std::erase_if(names, [](const std::string& n) {
        return n.size() < 4 || (n.substr(n.size() - 4) != ".pdf" && n.substr(n.size() - 4) != ".PDF");
    });
    std::sort(names.begin(), names.end());
    return names;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class VelFaults : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(pdfDir); }
    // A folder where the user nobody may create files but not delete root's
    // (the sticky bit, as on a shared folder), and may write the PDF folder.
    void OpenToNobody() {
        fs::permissions(dir.path(), fs::perms::all | fs::perms::sticky_bit);
        fs::permissions(pdfDir, fs::perms::all);
    }
    bool Started(VelProcess& vel) {
        return WaitFor([&] { return Ready(dir.path()); }, seconds(10));
    }
    std::string Trace() { return ReadAll(dir.path() / "Vel.err"); }

    ScopedTempDir dir;
    fs::path pdfDir = dir.path() / "pdf-out";
};

// A sibling program writes its files in parts, holding them open: each is
// taken only once complete, as on Windows, where an open file is locked.
TEST_F(VelFaults, FilesStillBeingWrittenAreTakenOnlyWhenComplete) {
    fs::create_directories(dir.path() / "prog");
    WriteAll(dir.path() / "prog/WQA.exe", "#!/bin/sh\necho \"$@\" > started.txt\n");
    fs::permissions(dir.path() / "prog/WQA.exe", fs::perms::owner_all);
    VelProcess vel(dir.path(), {}, pdfDir);
    ASSERT_TRUE(Started(vel)) << vel.errors();

    const std::string job = PrintJob(2);
    const std::string receipt =
        "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n"
        "<PAR NR=\"0815\" SUMVAT=\"1.150\" SUMBRT=\"6.15\">\r\n"
        "<WIERSZ LP=\"1\" STVAT=\"23\" INDEKS=\"MLEKO\" ILOSC=\"1\" CENA=\"10\" UPUST=\"50\"/>\r\n"
        "</PAR>\r\n";
    const std::string request = "Run\r\nprog\r\nWQA.exe\r\n/x\r\n";
    struct Writer {
        std::string name, bytes;
        std::size_t parts[3];
        int fd = -1;
    } writers[] = {
        {"##-S01.PCL", job, {job.find('\f') / 2, job.find('\f') + 1, job.size()}},
        {"Par0815.xml", receipt, {63, 120, receipt.size()}},
        {"Wykon.to!", request, {5, 11, request.size()}},
    };
    for (Writer& w : writers) w.fd = open((dir.path() / w.name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t done[3] = {0, 0, 0};
    for (int part = 0; part < 3; ++part) {
        for (int i = 0; i < 3; ++i) {
            Writer& w = writers[i];
            ASSERT_EQ(write(w.fd, w.bytes.data() + done[i], w.parts[part] - done[i]),
                      static_cast<ssize_t>(w.parts[part] - done[i]));
            done[i] = w.parts[part];
        }
        if (part < 2) std::this_thread::sleep_for(milliseconds(2200));
    }
    for (Writer& w : writers) close(w.fd);

    ASSERT_TRUE(WaitFor([&] { return !fs::exists(dir.path() / "##-S01.PCL"); }, seconds(60))) << vel.errors() << Trace();
    ASSERT_TRUE(WaitFor([&] { return fs::exists(dir.path() / "Rap0815.xml"); }, seconds(60))) << vel.errors();
    ASSERT_TRUE(WaitFor([&] { return fs::exists(dir.path() / "prog/started.txt"); }, seconds(60))) << vel.errors();

    const auto pdfs = Pdfs(pdfDir);
    ASSERT_EQ(pdfs.size(), 1u) << ::testing::PrintToString(pdfs);
    EXPECT_EQ(PdfPages((pdfDir / pdfs[0]).string()), 2);
    // The receipt was read whole: its number is in the reply, and it is not
    // refused as one already printed.
    const std::string reply = ReadAll(dir.path() / "Rap0815.xml");
    EXPECT_TRUE(Contains(reply, "NR=\"0815\"")) << reply;
    EXPECT_FALSE(Contains(reply, "KODBL=\"21\"")) << reply;
    EXPECT_EQ(ReadAll(dir.path() / "prog/started.txt"), "/x\n");
    EXPECT_TRUE(Contains(Trace(), "##-S01.PCL czekam.")) << Trace();
}

// A second start on a busy folder leaves the first instance's queue alone.
TEST_F(VelFaults, SecondInstanceDeletesNoneOfTheFirstOnesJobs) {
    VelProcess first(dir.path(), {}, pdfDir);
    ASSERT_TRUE(Started(first)) << first.errors();
    for (char c = 'A'; c <= 'E'; ++c) WriteAll(dir.path() / (std::string("##-Q0") + c + ".PCL"), PrintJob(1));
    VelProcess second(dir.path(), {}, pdfDir);
    ASSERT_TRUE(second.waitExit(seconds(5))) << "the second instance keeps running";
    ASSERT_TRUE(WaitFor([&] { return Pdfs(pdfDir).size() == 5; }, seconds(20)))
        << ::testing::PrintToString(Pdfs(pdfDir)) << first.errors();
    EXPECT_TRUE(first.running());
}

// A job the program may read but not delete is printed once, and the trace
// says why it stays.
TEST_F(VelFaults, JobThatCannotBeDeletedIsPrintedOnce) {
    OpenToNobody();
    VelProcess vel(dir.path(), {}, pdfDir, VelProcess::Options{{}, true});
    ASSERT_TRUE(Started(vel)) << vel.errors();
    WriteAll(dir.path() / "##-U01.PCL", PrintJob(1));  // root's file in the sticky folder
    ASSERT_TRUE(WaitFor([&] { return Pdfs(pdfDir).size() == 1; }, seconds(10))) << vel.errors();
    std::this_thread::sleep_for(seconds(4));
    EXPECT_EQ(Pdfs(pdfDir).size(), 1u) << ::testing::PrintToString(Pdfs(pdfDir));
    EXPECT_TRUE(fs::exists(dir.path() / "##-U01.PCL"));
    EXPECT_TRUE(Contains(Trace(), "Nie mog\xea usun\xb9\xe6 ##-U01.PCL")) << Trace();
    EXPECT_TRUE(vel.running());
}

// An unreadable job holds the queue up for a bounded time only.
TEST_F(VelFaults, UnreadableJobIsPassedOverAndNamed) {
    OpenToNobody();
    VelProcess vel(dir.path(), {}, pdfDir, VelProcess::Options{{}, true});
    ASSERT_TRUE(Started(vel)) << vel.errors();
    WriteAll(dir.path() / "##-AAA.PCL", PrintJob(1));
    fs::permissions(dir.path() / "##-AAA.PCL", fs::perms::none);
    WriteAll(dir.path() / "##-BBB.PCL", PrintJob(1, "Drugi raport"));
    // (Neither file can be deleted by the program here: only what it prints counts.)
    ASSERT_TRUE(WaitFor([&] { return Pdfs(pdfDir).size() == 1; }, seconds(45))) << vel.errors();
    const auto pdfs = Pdfs(pdfDir);
    ASSERT_EQ(pdfs.size(), 1u) << ::testing::PrintToString(pdfs);
    EXPECT_TRUE(Contains(PdfText((pdfDir / pdfs[0]).string()), "Drugi raport"));
    EXPECT_TRUE(fs::exists(dir.path() / "##-AAA.PCL"));
    EXPECT_TRUE(Contains(Trace(), "##-AAA.PCL czekam.")) << Trace();
    EXPECT_TRUE(Contains(Trace(), "Zablokowany ##-AAA.PCL")) << Trace();

    // Readable again, it is printed after all.
    fs::permissions(dir.path() / "##-AAA.PCL", fs::perms::owner_read | fs::perms::others_read);
    EXPECT_TRUE(WaitFor([&] { return Pdfs(pdfDir).size() == 2; }, seconds(10))) << vel.errors();
}

// A PDF folder on a disk that fills up: no partial PDF, the job stays, and it
// prints whole once there is room.
TEST_F(VelFaults, FullDiskKeepsTheJobAndLeavesNoBrokenPdf) {
    if (mount("tmpfs", pdfDir.c_str(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount rights): " << std::strerror(errno);
    struct Unmount {
        fs::path at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{pdfDir};
    VelProcess vel(dir.path(), {}, pdfDir);
    ASSERT_TRUE(Started(vel)) << vel.errors();
    WriteAll(dir.path() / "##-F01.PCL", PrintJob(12));
    ASSERT_TRUE(WaitFor([&] { return Contains(Trace(), "cannot write"); }, seconds(15))) << Trace() << vel.errors();
    EXPECT_TRUE(fs::exists(dir.path() / "##-F01.PCL"));
    EXPECT_TRUE(Names(pdfDir).empty()) << ::testing::PrintToString(Names(pdfDir));

    ASSERT_EQ(mount("tmpfs", pdfDir.c_str(), "tmpfs", MS_REMOUNT, "size=4m"), 0) << std::strerror(errno);
    ASSERT_TRUE(WaitFor([&] { return !fs::exists(dir.path() / "##-F01.PCL"); }, seconds(15))) << vel.errors();
    const auto pdfs = Pdfs(pdfDir);
    ASSERT_EQ(pdfs.size(), 1u) << ::testing::PrintToString(Names(pdfDir));
    EXPECT_EQ(PdfPages((pdfDir / pdfs[0]).string()), 12);
    EXPECT_EQ(Names(pdfDir).size(), 1u) << ::testing::PrintToString(Names(pdfDir));
}

// Two runs of `vel-job print` give their jobs the same title: the second PDF
// takes the next free name.
TEST_F(VelFaults, SameTitleNeverReplacesAnEarlierPdf) {
    WriteAll(dir.path() / "a.pcl", PrintJob(1) + "  pierwszy\r\n");
    WriteAll(dir.path() / "b.pcl", PrintJob(1) + "  drugi\r\n");
    for (const char* job : {"a.pcl", "b.pcl"}) {
        const std::string command = "cd " + Quote(dir.path().string()) + " && VEL_PDF_DIR=" + Quote(pdfDir.string()) +
                                    " QT_QPA_PLATFORM=offscreen " + Quote(VEL_JOB_PROGRAM) + " print " + job + " --printer 'Vel PDF'" +
                                    " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << job;
    }
    const auto pdfs = Pdfs(pdfDir);
    ASSERT_EQ(pdfs.size(), 2u) << ::testing::PrintToString(pdfs);
    const std::string both = PdfText((pdfDir / pdfs[0]).string()) + PdfText((pdfDir / pdfs[1]).string());
    EXPECT_TRUE(Contains(both, "pierwszy") && Contains(both, "drugi")) << both;
}

// After a crash while printing, the next start removes the program's own
// scratch files: the job copy "Min.{-}" and the half-written document.
TEST_F(VelFaults, NextStartRemovesScratchFilesOfAKilledRun) {
    // The program's temporary folder is the test's own.
    const fs::path tmp = dir.path() / "tmp";
    fs::create_directories(tmp);
    const char* savedTmp = std::getenv("TMPDIR");
    const std::string saved = savedTmp ? savedTmp : "";
    setenv("TMPDIR", tmp.c_str(), 1);
    struct Restore {
        const char* had;
        std::string value;
        ~Restore() {
            if (had) setenv("TMPDIR", value.c_str(), 1);
            else unsetenv("TMPDIR");
        }
    } restore{savedTmp, saved};
    auto partial = [&] {
        for (const fs::path& folder : {pdfDir, tmp}) {
            for (const std::string& n : Names(folder))
                if (n.rfind("vel-doc-", 0) == 0) return true;
        }
        return false;
    };

    VelProcess vel(dir.path(), {}, pdfDir);
    ASSERT_TRUE(Started(vel)) << vel.errors();
    WriteAll(dir.path() / "##-K01.PCL", PrintJob(400));
    ASSERT_TRUE(WaitFor([&] { return fs::exists(dir.path() / "Min.{-}") && partial(); }, seconds(20))) << vel.errors();
    vel.signal(SIGKILL);
    ASSERT_TRUE(vel.waitExit(seconds(5)));

    VelProcess next(dir.path(), {}, pdfDir);
    ASSERT_TRUE(Started(next)) << next.errors();
    EXPECT_TRUE(WaitFor([&] { return !fs::exists(dir.path() / "Min.{-}") && !partial(); }, seconds(5)))
        << ::testing::PrintToString(Names(pdfDir)) << ::testing::PrintToString(Names(tmp));
    EXPECT_TRUE(next.running());
}

// Whoever may write the work folder puts links, FIFOs and second hard links
// in the place of the program's own files and of jobs. Nothing outside the
// folder is read or written through them, nothing waits on a FIFO, and the
// ordinary jobs still print.
TEST_F(VelFaults, PlantedLinksAndFifosReachNothingOutsideTheFolder) {
    const fs::path outside = dir.path() / "outside";
    fs::create_directories(outside);
    enum Kind { Link, Fifo, HardLink };
    struct Planted {
        const char* name;
        Kind kind;
    } const planted[] = {
        {"Wrk.{-}", Link},     {"Vel.err", Link},     {"Min.{-}", Link},    {"PAR.PAS", Link},
        {"Dwn.{-}", Link},     {"Set.{-}", Fifo},     {"Pos.{-}", Fifo},    {"##-L01.PCL", Link},
        {"##-H01.PCL", HardLink}, {"##-F01.PCL", Fifo}, {"Par0001.xml", Link},
    };
    const std::string secret = "  TAJNE dane spoza folderu\r\n";
    for (const Planted& p : planted) {
        const fs::path target = outside / p.name;
        if (p.kind != Fifo) {
            WriteAll(target, secret + p.name + "\r\n");
            fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
        }
        const fs::path at = dir.path() / p.name;
        if (p.kind == Link) fs::create_symlink(target, at);
        else if (p.kind == HardLink) fs::create_hard_link(target, at);
        else ASSERT_EQ(mkfifo(at.c_str(), 0666), 0) << p.name;
    }
    VelProcess vel(dir.path(), {}, pdfDir);
    ASSERT_TRUE(Started(vel)) << vel.errors();
    WriteAll(dir.path() / "##-G01.PCL", PrintJob(1, "Zwykly raport"));
    WriteAll(dir.path() / "Par0815.xml",
             "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n"
             "<PAR NR=\"0815\" SUMVAT=\"1.150\" SUMBRT=\"6.15\">\r\n"
             "<WIERSZ LP=\"1\" STVAT=\"23\" INDEKS=\"MLEKO\" ILOSC=\"1\" CENA=\"10\" UPUST=\"50\"/>\r\n"
             "</PAR>\r\n");
    ASSERT_TRUE(WaitFor([&] { return !fs::exists(dir.path() / "##-G01.PCL"); }, seconds(20))) << vel.errors() << Trace();
    ASSERT_TRUE(WaitFor([&] { return fs::exists(dir.path() / "Rap0815.xml"); }, seconds(20))) << vel.errors();
    std::this_thread::sleep_for(seconds(3));  // time enough to take a planted job, were it taken

    const auto pdfs = Pdfs(pdfDir);
    ASSERT_EQ(pdfs.size(), 1u) << ::testing::PrintToString(pdfs);
    EXPECT_TRUE(Contains(PdfText((pdfDir / pdfs[0]).string()), "Zwykly raport"));
    for (const Planted& p : planted) {
        SCOPED_TRACE(p.name);
        if (p.kind != Fifo) {
            EXPECT_EQ(ReadAll(outside / p.name), secret + p.name + "\r\n");
        }
    }
    for (const std::string& name : Names(dir.path())) {
        const fs::path at = dir.path() / name;
        if (fs::is_regular_file(fs::symlink_status(at)) && fs::hard_link_count(at) == 1) {
            EXPECT_FALSE(Contains(ReadAll(dir.path() / name), "TAJNE")) << name;
        }
    }
    EXPECT_TRUE(vel.running());
}

// `Run` starts a sibling program only from a folder the work folder's
// writers cannot change: not their script in a folder of their own, nor in a
// folder anyone may write, nor a link to a shell under a sibling's name.
TEST_F(VelFaults, RunStartsNoProgramFromAPlaceOthersMayWrite) {
    // A share whose owners the system cannot vouch for, named by the administrator.
    const ScopedEnv trusted("VEL_TRUSTED_DIRS", (dir.path() / "share").string());
    VelProcess vel(dir.path(), {}, pdfDir);
    ASSERT_TRUE(Started(vel)) << vel.errors();
    struct Case {
        const char* name;
        const char* folder;
        const char* program;
        std::function<void(const fs::path&)> plant;
        const char* said;
    } const cases[] = {
        {"a folder of another user", "theirs", "WQA", [](const fs::path& p) { chown(p.parent_path().c_str(), 65534, 65534); },
         "owned by another user"},
        {"a folder open to all", "open", "wQa.ExE",
         [](const fs::path& p) { fs::permissions(p.parent_path(), fs::perms::all); }, "writable by others"},
        {"a program others may change", "mine", "WQC.exe",
         [](const fs::path& p) { fs::permissions(p, fs::perms::all); }, "writable by others"},
        {"a link to a shell", "linked", "WQB.exe",
         [](const fs::path& p) {
             fs::remove(p);
             fs::create_symlink("/bin/sh", p);
         },
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path pwned = dir.path() / (std::string("PWNED-") + c.folder);
        const fs::path program = dir.path() / c.folder / c.program;
        fs::create_directories(program.parent_path());
        WriteAll(program, "#!/bin/sh\ntouch " + pwned.string() + "\n");
        fs::permissions(program, fs::perms::owner_all);
        c.plant(program);
        WriteAll(dir.path() / "Wykon.to!", std::string("Run\r\n") + c.folder + "\r\n" + c.program + "\r\n\r\n");
        ASSERT_TRUE(WaitFor([&] { return !fs::exists(dir.path() / "Wykon.to!"); }, seconds(10))) << vel.errors();
        std::this_thread::sleep_for(milliseconds(1000));
        EXPECT_FALSE(fs::exists(pwned));
        if (c.said) {
            EXPECT_TRUE(Contains(Trace(), c.said)) << Trace();
        }
    }
    // A sibling program in a folder of the user's own still starts, and so
    // does one in the administrator's share.
    for (const char* folder : {"prog", "share"}) {
        SCOPED_TRACE(folder);
        fs::create_directories(dir.path() / folder);
        if (std::string(folder) == "share") fs::permissions(dir.path() / folder, fs::perms::all);
        WriteAll(dir.path() / folder / "WQA.exe", "#!/bin/sh\necho \"$@\" > started.txt\n");
        fs::permissions(dir.path() / folder / "WQA.exe", fs::perms::owner_all);
        WriteAll(dir.path() / "Wykon.to!", std::string("Run\r\n") + folder + "\r\nWQA.exe\r\n/x\r\n");
        EXPECT_TRUE(WaitFor([&] { return fs::exists(dir.path() / folder / "started.txt"); }, seconds(10))) << Trace();
    }
}

// Files made to exhaust the memory: a request of 3 GB that holds nothing
// (sparse) is not read, the status says why, and the next job prints with
// the program's memory as small as ever.
TEST_F(VelFaults, OversizedRequestIsKeptUnreadAndTheNextJobPrints) {
    VelProcess vel(dir.path(), {}, pdfDir);
    ASSERT_TRUE(Started(vel)) << vel.errors();
    {
        const int fd = open((dir.path() / "Wykon.to!").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, 3LL << 30), 0);
        ASSERT_EQ(pwrite(fd, "Run\r\n", 5, 0), 5);
        close(fd);
    }
    WriteAll(dir.path() / "##-B01.PCL", PrintJob(1, "Po duzym pliku"));
    ASSERT_TRUE(WaitFor([&] { return Pdfs(pdfDir).size() == 1; }, seconds(30))) << vel.errors() << Trace();
    EXPECT_TRUE(fs::exists(dir.path() / "Wykon.to!"));
    // The peak of the program's resident memory, in kB.
    const std::string status = ReadAll("/proc/" + std::to_string(vel.pid()) + "/status");
    const std::size_t at = status.find("VmHWM:");
    ASSERT_NE(at, std::string::npos);
    EXPECT_LT(std::stol(status.substr(at + 6)), 512L * 1024) << status.substr(at, 40);
    EXPECT_TRUE(vel.running());
}

// A request file may start a sibling program again, nothing else.
TEST_F(VelFaults, RequestFileCannotRunAShell) {
    VelProcess vel(dir.path(), {}, pdfDir);
    ASSERT_TRUE(Started(vel)) << vel.errors();
    const fs::path pwned = dir.path() / "PWNED";
    WriteAll(dir.path() / "Wykon.to!", "Run\r\n/bin\r\nsh\r\n-c \"touch " + pwned.string() + "\"\r\n");
    ASSERT_TRUE(WaitFor([&] { return !fs::exists(dir.path() / "Wykon.to!"); }, seconds(10))) << vel.errors();
    std::this_thread::sleep_for(milliseconds(1000));
    EXPECT_FALSE(fs::exists(pwned));
    EXPECT_TRUE(Contains(Trace(), "Odmowa startu  sh  (/bin)")) << Trace();
}

}  // namespace
}  // namespace vel::test
