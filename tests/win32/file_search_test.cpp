// The job search on Windows: what the file system marks hidden or system is
// not a job, whatever its name.

#include "common/io.h"
#include "common/job_files.h"
#include "spool/dispatch.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace vel::test {
namespace {

TEST(Win32FileSearch, HiddenAndSystemJobFilesAreNeverDispatched) {
    ScopedTempDir dir;
    TestProgram tp;
    std::vector<std::string> calls;
    tp.program.jobs.printPclJob = [&](Program&, const std::string& name, bool) {
        calls.push_back(name);
        DeleteFileQuietly(name);
    };
    struct Job {
        const char* name;
        DWORD attributes;
    };
    const Job jobs[] = {
        {"##-A01.PCL", FILE_ATTRIBUTE_NORMAL},
        {"##-B01.PCL", FILE_ATTRIBUTE_HIDDEN},  // attrib +h
        {"##-C01.PCL", FILE_ATTRIBUTE_SYSTEM},  // attrib +s
    };
    for (const Job& job : jobs) {
        WriteAll(dir.path() / job.name, "job");
        ASSERT_TRUE(SetFileAttributesW((dir.path() / job.name).c_str(), job.attributes)) << job.name;
        CheckJobFile(tp.program, job.name);
    }
    tp.clock.advanceSeconds(1);

    EXPECT_EQ(FindFiles("##-???.*"), (std::vector<std::string>{"##-A01.PCL"}));
    for (int tick = 0; tick < 3; ++tick) {
        spool::DispatchJobs(tp.program);
        tp.clock.advanceSeconds(1);
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"##-A01.PCL"}));
    for (const Job& job : jobs) SetFileAttributesW((dir.path() / job.name).c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace vel::test
