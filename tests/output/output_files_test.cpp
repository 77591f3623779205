// The files a printer writes, on the system's own file calls (POSIX here,
// Win32 under Wine): a finished document never replaces another of the same
// name, one asked for by name does, and what a dead process left is removed.

#include "platform/output_files.h"

#include "common/io.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vel::platform {
namespace {

namespace fs = std::filesystem;

TEST(OutputFiles, DocumentsTakeTheNextFreeNameUnlessOneIsAskedFor) {
    test::ScopedTempDir dir;
    const std::string folder = dir.path().string();
    const std::string wanted = dir.file("Faktura 1.PDF");
    test::WriteAll(wanted, "earlier");

    std::vector<std::string> taken;
    for (const char* text : {"second", "third"}) {
        const std::string temporary = CreateTemporaryFile(folder, ".part");
        const std::string name = fs::path(temporary).filename().string();
        EXPECT_EQ(name.rfind(OwnTemporaryPrefix(), 0), 0u) << name;
        test::WriteAll(temporary, text);
        taken.push_back(CommitToFreeName(temporary, wanted));
        EXPECT_FALSE(fs::exists(temporary));
    }
    EXPECT_EQ(taken, (std::vector<std::string>{dir.file("Faktura 1_2.PDF"), dir.file("Faktura 1_3.PDF")}));
    EXPECT_EQ(test::ReadAll(wanted), "earlier");
    EXPECT_EQ(test::ReadAll(taken[1]), "third");

    const std::string replacing = CreateTemporaryFile(folder, ".part");
    test::WriteAll(replacing, "asked for");
    CommitReplacing(replacing, wanted);
    EXPECT_EQ(test::ReadAll(wanted), "asked for");

    // A target that cannot be written: the error names it, the scratch file goes.
    const std::string failing = CreateTemporaryFile(folder, ".part");
    EXPECT_THROW(CommitToFreeName(failing, dir.file("missing folder/x.PDF")), IoError);
    EXPECT_FALSE(fs::exists(failing));
    EXPECT_THROW(CreateTemporaryFile(dir.file("missing folder"), ".part"), IoError);
}

TEST(OutputFiles, OnlyTheScratchFilesOfDeadProcessesAreRemoved) {
    test::ScopedTempDir dir;
    const std::string dead = "vel-doc-99999999-1.part";  // no process has that id
    const std::string own = OwnTemporaryPrefix() + "1.part";
    const std::vector<std::string> kept = {own, "vel-doc-x-1.part", "vel-doc-99999999.part", "Faktura.PDF"};
    test::WriteAll(dir.file(dead), "x");
    for (const std::string& name : kept) test::WriteAll(dir.file(name), "x");
    RemoveAbandonedTemporaryFiles(dir.path().string());
    EXPECT_FALSE(fs::exists(dir.file(dead)));
    for (const std::string& name : kept) EXPECT_TRUE(fs::exists(dir.file(name))) << name;
}

}  // namespace
}  // namespace vel::platform
