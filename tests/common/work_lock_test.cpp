#include "platform/work_lock.h"

#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace vel {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::ScopedTempDir;
using test::WriteAll;

// A writer of the work folder puts something else in the lock's place before
// the start. Whatever it is, the start takes a lock file of its own, and what
// the planted name led to stays as it was; only a running instance's lock
// keeps a second instance out.
TEST(WorkLock, PlantedLockNeverBlocksTheStartNorReachesWhatItLedTo) {
    struct Case {
        const char* name;
        std::function<bool(const fs::path&)> plant;  // false: this system cannot
    } const cases[] = {
        {"a symbolic link",
         [](const fs::path& at) {
             std::error_code ec;
             fs::create_symlink("outside", at, ec);
             return !ec;
         }},
        {"a FIFO", [](const fs::path& at) { return test::MakeFifo(at); }},
        {"a second hard link",
         [](const fs::path& at) {
             std::error_code ec;
             fs::create_hard_link("outside", at, ec);
             return !ec && fs::hard_link_count(at) == 2;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTempDir dir;
        WriteAll("outside", "TAJNE");
        if (!c.plant("Wrk.{-}")) continue;  // not on this system (a FIFO or a link under Wine)
        auto lock = platform::MakeSystemWorkLock();
        ASSERT_TRUE(lock->acquire("Wrk.{-}"));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status("Wrk.{-}")));
        EXPECT_EQ(fs::hard_link_count("Wrk.{-}"), 1u);
        EXPECT_EQ(ReadAll("outside"), "TAJNE");
        EXPECT_TRUE(lock->release());
    }
    // A second link to a held lock is still the running instance's lock.
    ScopedTempDir dir;
    auto holder = platform::MakeSystemWorkLock();
    ASSERT_TRUE(holder->acquire("Wrk.{-}"));
    std::error_code ec;
    fs::create_hard_link("Wrk.{-}", "linked", ec);
    if (!ec) {
        EXPECT_FALSE(platform::MakeSystemWorkLock()->acquire("Wrk.{-}"));
    }
    EXPECT_TRUE(holder->held());
}

}  // namespace
}  // namespace vel
