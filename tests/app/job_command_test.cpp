#include "app/job_command.h"

#include "support/test_program.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vel::app {
namespace {

TEST(JobCommand, HelpListsEveryKindAndUnknownKindsAreRefused) {
    test::TestProgram t;
    std::ostringstream out, err;
    EXPECT_EQ(RunJobCommand(t.program, {"--help"}, out, err), 0);
    for (const char* kind : {"print", "label", "receipt", "rates", "request"}) {
        EXPECT_NE(out.str().find(std::string("  ") + kind + " "), std::string::npos) << kind;
    }
    EXPECT_TRUE(err.str().empty());

    std::ostringstream out2, err2;
    EXPECT_EQ(RunJobCommand(t.program, {"fax", "x"}, out2, err2), 2);
    EXPECT_TRUE(out2.str().empty());
    EXPECT_NE(err2.str().find("usage: vel-job"), std::string::npos);
    EXPECT_EQ(RunJobCommand(t.program, {}, out2, err2), 2);
}

}  // namespace
}  // namespace vel::app
