#include "common/codepage.h"
#include "common/status.h"
#include "common/trace.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

using test::ReadAll;
using test::ScopedTempDir;

TEST(ShowStatus, ShowsAWholeMessageArmsTheTimeoutAndLetsMessagesRun) {
    test::TestProgram t;
    ShowStatus(t.program, "Druk ##-A01.PCL");
    EXPECT_EQ(t.status.text(), "Druk ##-A01.PCL");
    EXPECT_EQ(t.program.state.statusTimeout, 15);
    EXPECT_EQ(t.events.calls, 1);
}

TEST(ShowStatus, CutsALongMessageAtItsEndToFitTheLabel) {
    test::TestProgram t;
    const std::string longText(100, 'x');
    ShowStatus(t.program, longText);
    EXPECT_EQ(t.status.text(), std::string(37, 'x'));  // 22 + 7 * 37 < 285
    ShowStatus(t.program, "");
    EXPECT_EQ(t.status.text(), "");
}

TEST(Trace, StagesAndNotesMakeTheDocumentedLines) {
    ScopedTempDir dir;
    TraceReset();
    TraceStage(-7);
    TraceStage(9);
    EXPECT_EQ(ReadAll("Vel.err"), " inna funkcja: koniec.\r\n");

    TraceReset();
    TraceStage(-3);
    TraceNote(std::string(30, 'n'), 0);  // counter 50 + 35 = 85: a line end follows
    TraceNote("abc", 7);
    TraceNote("wait", -1);
    EXPECT_EQ(ReadAll("Vel.err"), " -3. Wydruk PCL: " + std::string(30, 'n') + "\r\n abc 7, wait czekam.\r\n");
}

TEST(Trace, ResetEmptiesTheFile) {
    ScopedTempDir dir;
    TraceReset();
    TraceStage(1);
    TraceReset();
    EXPECT_EQ(ReadAll("Vel.err"), "");
}

TEST(CodePage, PolishLettersRoundTripThroughUtf8) {
    const std::string cp1250 = "\xa5\xc6\xca\xa3\xd1\xd3\x8c\x8f\xaf\xb9\xe6\xea\xb3\xf1\xf3\x9c\x9f\xbf";
    const std::string utf8 = Cp1250ToUtf8(cp1250);
    EXPECT_EQ(utf8, "ĄĆĘŁŃÓŚŹŻąćęłńóśźż");
    EXPECT_EQ(Utf8ToCp1250(utf8), cp1250);
    EXPECT_EQ(Utf8ToCp1250("a\xe2\x82\xac" "b"), "a\x80" "b");  // euro sign
    EXPECT_EQ(Utf8ToCp1250("\xe4\xb8\xad"), "?");  // no such byte
    EXPECT_EQ(Utf8ToCp1250("\xc5"), "?");          // cut-off sequence
}

}  // namespace
}  // namespace vel
