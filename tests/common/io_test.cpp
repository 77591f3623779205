#include "common/io.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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
    EXPECT_EQ(NativePath("sub\\Min.{-}").string(), "sub/Min.{-}");
    EXPECT_EQ(NativePath("C:\\JOBS\\A.PCL").string(), "/JOBS/A.PCL");
    EXPECT_EQ(NativePath("/tmp/x\\Wrk.{-}").string(), "/tmp/x/Wrk.{-}");
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

TEST(ReplaceFile, AMissingSourceLeavesAnEmptyTargetAndTheBackup) {
    ScopedTempDir dir;
    WriteAll("target.exe", "previous");
    ReplaceFile("nosuch", "target.exe");
    EXPECT_EQ(test::ReadAll("target.exe"), "");
    EXPECT_EQ(test::ReadAll("target.~exe"), "previous");
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
