#include "ksef/ksef.h"

#include "common/io.h"
#include "ksef/ksef_view.h"
#include "spool/dispatch.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace vel::ksef {
namespace {

using test::ReadAll;
using test::ScopedTempDir;
using test::TestProgram;

const std::string kNumber = "1234567890-20260105-ABCDEF012345-FF";

// Records what the logic asks of the window, in order.
class FakeKsefView : public KsefView {
public:
    void setEvents(KsefEvents e) override { events = std::move(e); }
    void move(int l, int t) override {
        left = l;
        top = t;
        calls.push_back("move");
    }
    void setPanelText(const std::string& t) override {
        text = t;
        calls.push_back("text");
    }
    std::string panelText() override { return text; }
    void setClientSize(int w, int h) override {
        width = w;
        height = h;
        calls.push_back("size");
    }
    void show() override {
        shown = true;
        calls.push_back("show");
    }
    void hide() override {
        shown = false;
        calls.push_back("hide");
    }
    bool visible() override { return shown; }

    KsefEvents events;
    std::vector<std::string> calls;
    std::string text;
    int left = -1, top = -1, width = 290, height = 90;
    bool shown = false;
};

struct KsefFixture : ::testing::Test {
    KsefFixture() {
        tp.program.sys.ksefView = &view;
        tp.program.jobs.captureKsefNumber = CaptureKsefNumber;
        tp.program.jobs.checkKsefFile = CheckKsefFile;
    }
    ScopedTempDir dir;
    TestProgram tp;
    FakeKsefView view;
    Program& program = tp.program;
};

TEST(KsefShape, LengthAndTheTwoDashesOnly) {
    struct Case { const char* name; std::string text; bool ksef; };
    const Case cases[] = {
        {"the example number", kNumber, true},
        {"letters where digits belong are not examined", "ABCDEFGHIJ-XXXXXXXX-ABCDEF012345-AB", true},
        {"36 characters", kNumber + "C", false},
        {"34 characters", kNumber.substr(0, 34), false},
        {"dash 12th instead of 11th", "12345678901-2026010-ABCDEF012345-AB", false},
        {"dash 21st instead of 20th", "1234567890-202601051-BCDEF012345-AB", false},
        {"no dashes", std::string(35, '1'), false},
        {"empty", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HasKsefShape(c.text), c.ksef);
    }
}

TEST(KsefChecksum, LastTwoCharactersAreTheCrc8OfTheFirst32) {
    struct Case { const char* name; std::string text; bool ok; };
    const Case cases[] = {
        {"the published example", "5265877635-20250826-0100001AF629-AF", true},
        {"the published example with the hyphen inside", "5265877635-20250826-010000-1AF629-AF", true},
        {"one digit mistyped", "5265877635-20250826-0100001AF628-AF", false},
        {"two digits swapped", "5265877653-20250826-0100001AF629-AF", false},
        {"checksum in lower case", "5265877635-20250826-0100001AF629-af", false},
        {"the hyphen elsewhere", "5265877635-20250826-01000-01AF629-AF", false},
        {"cut short", "5265877635-20250826-0100001AF629-A", false},
        {"empty", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KsefChecksumOk(c.text), c.ok);
    }
}

TEST(KsefDisplayText, InsertsThirteenSpacesIntoTheGrowingText) {
    struct Case { const char* name; std::string in, out; };
    const Case cases[] = {
        {"full number", kNumber, "123 456 78 90 - 2026 01 05 - ABCD EF01 2345 - FF"},
        {"empty", "", ""},
        {"three characters: position 4 is past the end", "123", "123"},
        {"four characters", "1234", "123 4"},
        {"seven characters: the second space lands before the last one", "1234567", "123 456 7"},
        {"short text gets no trailing spaces", "12345678", "123 456 78"},
        {"longer than a number: the rest is left as it is", kNumber + "XYZ",
         "123 456 78 90 - 2026 01 05 - ABCD EF01 2345 - FFXYZ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KsefDisplayText(c.in), c.out);
    }
}

TEST(KsefFontPixels, FullSizeWhenItFitsElseTheLargestThatFitsDownTo8) {
    // A font whose text is 25 pixels wide per pixel of size; the panel keeps
    // a margin of 4 inside its inner width.
    const auto width = [](int pixels) { return 25 * pixels; };
    EXPECT_EQ(KsefFontPixels(25 * 17 + 4, width), 17);
    EXPECT_EQ(KsefFontPixels(25 * 17 + 3, width), 16);
    EXPECT_EQ(KsefFontPixels(25 * 12 + 4, width), 12);
    EXPECT_EQ(KsefFontPixels(10, width), 8);  // nothing fits: the smallest
}

TEST_F(KsefFixture, CaptureWritesTheFileAndShowsTheSpacedNumber) {
    CaptureKsefNumber(program, kNumber);

    EXPECT_EQ(ReadAll(dir.file("KSeF.txt")), kNumber);  // no line end
    EXPECT_EQ(view.left, 0);
    EXPECT_EQ(view.top, 0);
    EXPECT_EQ(view.text, "123 456 78 90 - 2026 01 05 - ABCD EF01 2345 - FF");
    EXPECT_EQ(view.width, 470);
    EXPECT_EQ(view.height, 35);
    EXPECT_TRUE(view.shown);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"move", "text", "size", "show"}));
}

TEST_F(KsefFixture, CaptureReplacesTheEarlierNumber) {
    test::WriteAll(dir.file("KSeF.txt"), "an older and much longer text\r\n");
    const std::string second = "9999999999-20251231-ZZZZZZZZZZZZ-7C";
    CaptureKsefNumber(program, second);
    EXPECT_EQ(ReadAll(dir.file("KSeF.txt")), second);
}

TEST_F(KsefFixture, ActivationCapturesWhateverTheClipboardHolds) {
    // Code page 1250 bytes pass through unchanged: "Zaż" + ó.
    tp.clipboard.setText("Za\xbf\xf3");
    ConnectKsefWindow(program);
    ASSERT_TRUE(view.events.activated);
    view.events.activated();

    EXPECT_EQ(ReadAll(dir.file("KSeF.txt")), "Za\xbf\xf3");
    EXPECT_EQ(view.text, "Za\xbf \xf3");
    EXPECT_TRUE(view.shown);

    tp.clipboard.setText("");
    OnA(program);
    EXPECT_TRUE(std::filesystem::exists(dir.file("KSeF.txt")));
    EXPECT_EQ(ReadAll(dir.file("KSeF.txt")), "");
}

TEST_F(KsefFixture, ClickOnThePanelHidesTheWindowAndKeepsTheFile) {
    ConnectKsefWindow(program);
    CaptureKsefNumber(program, kNumber);
    ASSERT_TRUE(view.events.clicked);
    view.events.clicked();
    EXPECT_FALSE(view.shown);
    EXPECT_EQ(ReadAll(dir.file("KSeF.txt")), kNumber);
}

TEST_F(KsefFixture, WriteFailureRaisesAndLeavesTheWindowHidden) {
    std::filesystem::create_directory(dir.file("KSeF.txt"));
    EXPECT_THROW(CaptureKsefNumber(program, kNumber), IoError);
    EXPECT_FALSE(view.shown);
    EXPECT_EQ(view.text, "");
}

TEST_F(KsefFixture, TestClosesTheWindowOnlyWhenTheFileIsGone) {
    CaptureKsefNumber(program, kNumber);
    ksef::Test(program);
    EXPECT_TRUE(view.shown);

    std::filesystem::remove(dir.file("KSeF.txt"));
    ksef::Test(program);
    EXPECT_FALSE(view.shown);

    // Any directory entry of that name counts as the file being there.
    view.shown = true;
    std::filesystem::create_directory(dir.file("KSeF.txt"));
    ksef::Test(program);
    EXPECT_TRUE(view.shown);
}

TEST_F(KsefFixture, WithoutAWindowTheNumberIsStillKept) {
    program.sys.ksefView = nullptr;
    CaptureKsefNumber(program, kNumber);
    ksef::Test(program);
    ConnectKsefWindow(program);
    EXPECT_EQ(ReadAll(dir.file("KSeF.txt")), kNumber);
}

// A copied number that cannot be right never reaches the sibling program.
TEST_F(KsefFixture, NumberWithAWrongChecksumIsRefusedAndSaidSo) {
    const std::string mistyped = "5265877635-20250826-0100001AF628-AF";
    tp.clipboard.setText(mistyped);
    spool::DispatchJobs(program);
    EXPECT_FALSE(std::filesystem::exists(dir.file("KSeF.txt")));
    EXPECT_FALSE(view.shown);
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "show"), 0);
    const std::string said = "B\xb3\xea" "dny numer KSeF w schowku";
    EXPECT_NE(std::find(tp.status.history.begin(), tp.status.history.end(), said), tp.status.history.end());
    // The right number, copied next, is captured as always.
    tp.clipboard.setText("5265877635-20250826-0100001AF629-AF");
    spool::DispatchJobs(program);
    EXPECT_EQ(ReadAll(dir.file("KSeF.txt")), "5265877635-20250826-0100001AF629-AF");
    EXPECT_TRUE(view.shown);
}

// Through the dispatcher: a copied number is captured once per copy, and the
// window closes at the first tick after the sibling program took the file.
TEST_F(KsefFixture, DispatcherCapturesOncePerCopyAndClosesWhenTheFileIsTaken) {
    tp.clipboard.setText(kNumber);
    spool::DispatchJobs(program);
    EXPECT_TRUE(view.shown);
    EXPECT_EQ(ReadAll(dir.file("KSeF.txt")), kNumber);

    // The sibling program takes the number; the next tick closes the window.
    std::filesystem::remove(dir.file("KSeF.txt"));
    spool::DispatchJobs(program);
    EXPECT_FALSE(view.shown);

    // The same number still on the clipboard is not captured again.
    spool::DispatchJobs(program);
    EXPECT_FALSE(view.shown);
    EXPECT_FALSE(std::filesystem::exists(dir.file("KSeF.txt")));

    // Copying something else and then the number again captures it anew.
    tp.clipboard.setText("other text");
    spool::DispatchJobs(program);
    EXPECT_FALSE(view.shown);
    tp.clipboard.setText(kNumber);
    spool::DispatchJobs(program);
    EXPECT_TRUE(view.shown);
    EXPECT_EQ(ReadAll(dir.file("KSeF.txt")), kNumber);
}

}  // namespace
}  // namespace vel::ksef
