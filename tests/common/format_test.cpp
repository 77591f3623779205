#include "common/format.h"

#include "support/locale.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

TEST(RoundUpDpi, TakesTheFirstTableValueAtLeastN) {
    struct Case { std::uint16_t in, out; };
    const Case cases[] = {{0, 72}, {72, 72}, {73, 96}, {598, 600}, {4800, 4800}, {4801, 65535}, {65535, 65535}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(RoundUpDpi(c.in), c.out);
    }
}

TEST(FormatFixed, UsesPointAndNoGroupingWhateverTheLocale) {
    test::ScopedLocale pl(test::kPolishLocale);
    ASSERT_TRUE(pl.active()) << "scripts/install-deps.sh generates it";
    EXPECT_EQ(FormatFixed2(1234.5), "1234.50");
    EXPECT_EQ(FormatFixed2(-0.07), "-0.07");
    EXPECT_EQ(FormatFixed2(-0.001), "0.00");
    EXPECT_EQ(FormatFixed2(1e300).size(), 301u + 3u);  // every digit, none cut off
    EXPECT_EQ(FormatFixed0(15.0), "15");
    EXPECT_EQ(FormatFixed0(-3.2), "-3");
    EXPECT_EQ(FormatFixed0(2.5), "3");
}

TEST(SmallText, FirstCharOrSpaceAndTwoDigits) {
    EXPECT_EQ(FirstCharOrSpace(""), ' ');
    EXPECT_EQ(FirstCharOrSpace("Ab"), 'A');
    EXPECT_EQ(TwoDigits(0), "00");
    EXPECT_EQ(TwoDigits(7), "07");
    EXPECT_EQ(TwoDigits(99), "99");
}

TEST(ParseWholeNumber, TakesASignedDecimalAndNothingElse) {
    EXPECT_EQ(ParseWholeNumber("42"), 42);
    EXPECT_EQ(ParseWholeNumber("-7"), -7);
    EXPECT_EQ(ParseWholeNumber("+0012"), 12);
    EXPECT_EQ(ParseWholeNumber("-2147483648"), -2147483648LL);
    EXPECT_EQ(ParseWholeNumber("2147483648"), std::nullopt);
    EXPECT_EQ(ParseWholeNumber(""), std::nullopt);
    EXPECT_EQ(ParseWholeNumber("-"), std::nullopt);
    EXPECT_EQ(ParseWholeNumber(" 5"), std::nullopt);
    EXPECT_EQ(ParseWholeNumber("5x"), std::nullopt);
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(597.59), 598);
}

}  // namespace
}  // namespace vel
