#include "common/io.h"

#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace vel {
namespace {

using test::ScopedTempDir;
using test::WriteAll;

TEST(WildcardMatch, FollowsTheWindowsRules) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    };
    const Case cases[] = {
        {"##-???.*", "##-A01.PCL", true},
        {"##-???.*", "##-A01", true},  // ".*" also takes a name without extension
        {"##-???.*", "##-A9.PCL", true},  // '?' also takes nothing before the '.'
        {"##-???.*", "##-.PCL", true},
        {"##-???.PCL", "##-A9X.PCL", true},
        {"##-?.PCL", "##-AB.PCL", false},
        {"##-???.*", "##-A012.PCL", false},
        {"!!-???.*", "!!-X9Z.lbl", true},
        {"Par*.xml", "PAR123.XML", true},  // letters without case
        {"Par*.xml", "Par.xml", true},
        {"Par*.xml", "Parxml", false},
        {"*.to!", "Wykon.to!", true},
        {"*.to!", "Wykon.to", false},
        {"Kurs????", "Kurs2026", true},
        {"Kurs????", "Kurs20", true},
        {"Kurs????", "Kurs20267", false},
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYbZ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.name);
        EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match);
    }
}

TEST(NativePath, TurnsBackslashesAndDriveLettersIntoThisSystemsPaths) {
    if (test::OnWindows()) GTEST_SKIP() << "the Linux mapping; Windows keeps its drive letters";
    EXPECT_EQ(NativePath("sub\\Min.{-}").string(), "sub/Min.{-}");
    EXPECT_EQ(NativePath("C:\\JOBS\\A.PCL").string(), "/JOBS/A.PCL");
    EXPECT_EQ(NativePath("/tmp/x\\Wrk.{-}").string(), "/tmp/x/Wrk.{-}");
}

// A full name with a drive letter names the same file whatever the current
// folder is, even when that lies on another drive (Wine's Z: is the host's /).
TEST(NativePath, FullNameWithADriveLetterFromAnotherCurrentFolder) {
    ScopedTempDir dir;
    std::string full = NameFromPath(dir.path() / "A.PCL");
    if (!test::OnWindows()) full = "C:" + full;  // as a sibling program writes it
    std::replace(full.begin(), full.end(), '/', '\\');
    std::filesystem::current_path(test::OnWindows() ? "Z:\\" : "/");
    WriteFile(full, "job");
    EXPECT_EQ(test::ReadAll(dir.path() / "A.PCL"), "job");
    EXPECT_EQ(FindFiles(full), std::vector<std::string>{"A.PCL"});
}

TEST(NativePath, UncNamesAreFullNamesAndStayWhole) {
    const std::string unc = "\\\\biuro\\dane\\Kurs2026";
    EXPECT_TRUE(IsFullName(unc));
    EXPECT_TRUE(IsFullName("C:\\Kurs2026"));
    EXPECT_FALSE(IsFullName("dane\\Kurs2026"));
    EXPECT_FALSE(IsFullName("C:Kurs2026"));  // relative to the drive's current folder
    if (test::OnWindows()) EXPECT_EQ(NameFromPath(NativePath(unc)), unc);
}

// "ąś.txt" in code page 1250: created, listed, read and deleted under the
// same name; on Windows it is the same Polish name on the disk.
TEST(NativePath, PolishFileNameRoundTrip) {
    ScopedTempDir dir;
    const std::string name = "\xb9\x9c.txt";
    WriteFile(name, "tre\x9c\xe6");
    EXPECT_EQ(FindFiles("*.txt"), std::vector<std::string>{name});
    EXPECT_EQ(ReadFile(name), "tre\x9c\xe6");
    if (test::OnWindows()) {
        EXPECT_TRUE(std::filesystem::exists(dir.path() / std::filesystem::path(u8"\u0105\u015b.txt")));
    }
    std::FILE* f = OpenFile(name, "rb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    DeleteFile(name);
    EXPECT_TRUE(FindFiles("*.txt").empty());
}

TEST(FileProbes, SeeEntriesOfEveryKindButFindFilesOnlyOrdinaryOnes) {
    ScopedTempDir dir;
    WriteAll("##-A01.PCL", "abc");
    WriteAll(".##-X01.PCL", "hidden");
    WriteAll("empty.txt", "");
    std::filesystem::create_directory("##-DIR.PCL");
    EXPECT_TRUE(PatternExists("##-???.*"));
    EXPECT_TRUE(PatternMissing("nothing*"));
    EXPECT_EQ(MatchSize("##-A01.PCL"), 3);
    EXPECT_EQ(MatchSize("empty.txt"), 0);
    EXPECT_EQ(MatchSize("missing.txt"), -1);
    EXPECT_EQ(FirstMatchName("empty.*"), "empty.txt");
    EXPECT_EQ(FirstMatchName("none.*"), "");
    EXPECT_EQ(FindFiles("##-???.*"), std::vector<std::string>{"##-A01.PCL"});
    EXPECT_EQ(FindFiles(dir.path().string() + "\\##-???.*"), std::vector<std::string>{"##-A01.PCL"});
    EXPECT_TRUE(FindFiles("/no/such/folder/*").empty());
}

// What the work folder's writers may put in the place of one of the
// program's files: a link (on Windows a reparse point), a second hard link of
// a file they cannot read, a folder. Reading refuses each and "Vel.err" says
// why; writing anew puts a file of its own in the name's place and leaves
// what the name led to as it was.
TEST(OpenFile, NeverThroughALinkAndOnlyARegularFile) {
    ScopedTempDir dir;
    WriteAll("secret", "TAJNE");
    struct Case {
        const char* name;
        std::function<bool(const std::filesystem::path&)> plant;  // false: this system cannot
        const char* why;
    } const cases[] = {
        {"a symbolic link",
         [](const std::filesystem::path& at) {
             std::error_code ec;
             std::filesystem::create_symlink("secret", at, ec);
             return !ec && std::filesystem::is_symlink(at);
         },
         ""},
        {"a second hard link",
         [](const std::filesystem::path& at) {
             std::error_code ec;
             std::filesystem::create_hard_link("secret", at, ec);
             return !ec && std::filesystem::hard_link_count(at) == 2;
         },
         "a file with a second hard link"},
        {"a folder", [](const std::filesystem::path& at) { return std::filesystem::create_directory(at); }, nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "planted-" + std::to_string(++n);
        if (!c.plant(name)) continue;  // not on this system (a link under Wine)
        EXPECT_FALSE(TryReadFile(name));
        if (c.why) {
            EXPECT_NE(test::ReadAll("Vel.err").find("Odmowa  " + name + "  (" + c.why), std::string::npos)
                << test::ReadAll("Vel.err");
        }
        if (std::filesystem::is_directory(name)) continue;
        std::FILE* file = OpenFile(name, "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("nowy", file);
        std::fclose(file);
        EXPECT_EQ(test::ReadAll(name), "nowy");
        EXPECT_EQ(test::ReadAll("secret"), "TAJNE");
    }
    // Whole files go under a name of their own each time, never a fixed one
    // that another process could have made first.
    EXPECT_NE(WritingNameFor("Vel.err"), WritingNameFor("Vel.err"));
}

TEST(ReplaceFile, KeepsABackupAndCopiesTheSource) {
    ScopedTempDir dir;
    EXPECT_EQ(BackupName("Vel.exe"), "Vel.~exe");
    EXPECT_EQ(BackupName("archiwum_tab_a_2026.csv"), "archiwum_tab_a_2026.~csv");

    std::string big(2500, 'x');
    big[1234] = '\0';
    WriteAll("new.csv", big);
    WriteAll("t.csv", "old");
    WriteAll("t.~csv", "older");
    MoveReplaceFile("new.csv", "t.csv");
    EXPECT_EQ(test::ReadAll("t.csv"), big);
    EXPECT_EQ(test::ReadAll("t.~csv"), "old");
    EXPECT_FALSE(FileExists("new.csv"));
}

TEST(ReplaceFile, WithoutATargetMakesNoBackupAndStillCopies) {
    ScopedTempDir dir;
    WriteAll("src", "data");
    ReplaceFile("src", "target.exe");
    EXPECT_EQ(test::ReadAll("target.exe"), "data");
    EXPECT_FALSE(FileExists("target.~exe"));
    EXPECT_TRUE(FileExists("src"));
}

TEST(ReplaceFile, AFailedCopyLeavesTheTargetAndKeepsTheSource) {
    ScopedTempDir dir;
    WriteAll("target.exe", "previous");
    EXPECT_THROW(ReplaceFile("nosuch", "target.exe"), IoError);
    EXPECT_EQ(test::ReadAll("target.exe"), "previous");
    EXPECT_FALSE(FileExists("target.~exe"));

    // A target that cannot be written: the downloaded file is not deleted.
    WriteAll("new.csv", "download");
    EXPECT_THROW(MoveReplaceFile("new.csv", "no-such-folder/t.csv"), IoError);
    EXPECT_EQ(test::ReadAll("new.csv"), "download");
}

TEST(RaisingOperations, ThrowIoErrorNamingTheFile) {
    ScopedTempDir dir;
    try {
        ReadFile("missing.txt");
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.path(), "missing.txt");
    }
    EXPECT_THROW(WriteFile("no/such/dir/x", "a"), IoError);
    EXPECT_THROW(DeleteFile("missing.txt"), IoError);
    EXPECT_FALSE(DeleteFileQuietly("missing.txt"));
    EXPECT_FALSE(TryReadFile("missing.txt").has_value());
}

TEST(Dirs, RestoreDirReturnsToTheRememberedFolder) {
    ScopedTempDir dir;
    std::filesystem::create_directory("sub");
    RememberDir();
    std::filesystem::current_path("sub");
    RestoreDir();
    EXPECT_EQ(std::filesystem::current_path(), dir.path());
}

}  // namespace
}  // namespace vel
