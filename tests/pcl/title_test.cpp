#include "pcl/pcl_title.h"

#include "support/test_program.h"

#include <gtest/gtest.h>

namespace vel::pcl {
namespace {

struct Titles {
    test::TestProgram tp;
    PclJobState s{tp.program};
    // The title that the line-1 and line-2 rules give, before publishing.
    std::string derive(const std::string& line1, const std::string& line2) {
        s.JobTitle = kDefaultJobTitle;
        s.JobLine = line1;
        DeriveJobTitle(s);
        s.JobLine = line2;
        ApplyLine2Rules(s);
        return s.JobTitle;
    }
};

TEST(JobTitle, HiddenTitleInCodePage852BecomesCodePage1250) {
    Titles t;
    // "Zażółć" in code page 852 between two 0xFF, then the rest of the line.
    EXPECT_EQ(t.derive("\xff" "Za\xbe\xa2\x88\x86\xff  Faktura Nr 1/2/2024", "za okres 01-02-2024 do 28-02-2024"),
              "Za\xbf\xf3\xb3\xe6 2024-02");
}

TEST(JobTitle, HiddenTitleCutsItselfOutOfTheLine) {
    Titles t;
    t.s.JobLine = "\xff" "Abc\xff" "tail";
    DeriveJobTitle(t.s);
    EXPECT_EQ(t.s.JobTitle, "Abc");
    EXPECT_EQ(t.s.JobLine, "tail");
}

TEST(JobTitle, HiddenTitleWithoutItsEndLeavesAnEmptyTitle) {
    Titles t;
    t.s.JobLine = "\xff" "Abc Nr 1/2/3";
    DeriveJobTitle(t.s);
    EXPECT_EQ(t.s.JobTitle, "");
    EXPECT_EQ(t.s.JobLine, "Abc Nr 1/2/3");
}

TEST(JobTitle, NoRuleLeavesTheDefault) {
    Titles t;
    EXPECT_EQ(t.derive("Zestawienie obrotow", "Strona 1"), "Mirva-Vel");
}

TEST(JobTitle, PublishedDefaultEndsInCounterAndPdf) {
    Titles t;
    t.tp.program.state.printTitleCounter = 100;
    t.derive("Zestawienie obrotow", "Strona 1");
    PublishJobTitle(t.s);
    EXPECT_EQ(t.s.JobTitle, "Mirva-Vel ~101.PDF");
    EXPECT_EQ(t.s.DocumentTitle, "Mirva-Vel ~101.PDF");
    EXPECT_EQ(t.tp.clipboard.text(), "Mirva-Vel ~101.PDF");
    ASSERT_FALSE(t.tp.status.history.empty());
    EXPECT_EQ(t.tp.status.history.back(), "Druk: Mirva-Vel");
    EXPECT_EQ(t.tp.events.calls, 1);  // the status lets messages run
}

TEST(JobTitle, TwoJobsGetConsecutiveCounters) {
    Titles t;
    t.tp.program.state.printTitleCounter = 65535;
    t.derive("a", "b");
    PublishJobTitle(t.s);
    EXPECT_EQ(t.s.JobTitle, "Mirva-Vel ~0.PDF");  // a 16-bit counter wraps
    t.derive("a", "b");
    PublishJobTitle(t.s);
    EXPECT_EQ(t.s.JobTitle, "Mirva-Vel ~1.PDF");
}

TEST(JobTitle, NumberGivesYearMonthNumber) {
    Titles t;
    EXPECT_EQ(t.derive("Faktura VAT Nr FV/12/2024 z dnia", ""), "2024+12+000FV");
}

TEST(JobTitle, NumberOfACreditNoteKeepsItsOrder) {
    Titles t;
    EXPECT_EQ(t.derive("NOTA korygujaca Nr FV/12/2024", ""), "FV+12+2024");
}

TEST(JobTitle, NumberAfterVatOrUra) {
    Titles t;
    EXPECT_EQ(t.derive("Faktura VAT 7/01/2025 oryginal", ""), "2025+01+00007");
    EXPECT_EQ(t.derive("Rejestr URA 3/2025", ""), "2025++00003");
}

TEST(JobTitle, NumberStopsAtTheFirstControlOrSpace) {
    Titles t;
    EXPECT_EQ(t.derive("Rachunek Nr 123456\t/1/2", ""), "123456++00000");
}

TEST(JobTitle, DocumentWordRule) {
    Titles t;
    EXPECT_EQ(t.derive("Przyjecie Numer dowodu: PZ-17 magazyn 2", ""), "PZ-17");
}

TEST(JobTitle, ProgramTagWithRecipient) {
    Titles t;
    // The first "W" is not followed by a tag; the second is: "QB." then
    // characters 13..15 after the cut, then whom it is for, in code page 1250.
    EXPECT_EQ(t.derive("Wydruk z WQB.8.12 Rejestr   dla   Firma \x86ma  Sp.", ""), "WQB.str Firma \xe6ma");
}

TEST(JobTitle, TagRuleWithoutATagLetsTheNumberRuleRun) {
    Titles t;
    EXPECT_EQ(t.derive("Wydruk Nr 5/6/2026", ""), "2026+6+00005");
}

TEST(JobTitle, PathOnLineTwo) {
    Titles t;
    EXPECT_EQ(t.derive("x", "Plik C:\\DANE\\RAP01.TXT"), "Mirva-Vel DANE\\RAP01");
    EXPECT_EQ(t.derive("x", "Plik C:\\DANE\\RAP01"), "Mirva-Vel");
}

TEST(JobTitle, BracketKeyOnLineTwo) {
    Titles t;
    EXPECT_EQ(t.derive("x", "Klucz [KA1:2/3] koniec"), "Mirva-Vel [1=2^3]");
    EXPECT_EQ(t.derive("x", "[KB?*\\x"), "Mirva-Vel [zx^x");
}

TEST(JobTitle, WholeMonthBecomesYearAndMonth) {
    Titles t;
    EXPECT_EQ(t.derive("x", "za okres 01-02-2024 do 28-02-2024"), "Mirva-Vel 2024-02");
    EXPECT_EQ(t.derive("x", "za okres 01-04-2025 do 30-04-2025"), "Mirva-Vel 2025-04");
}

TEST(JobTitle, PartOfAMonthKeepsBothDates) {
    Titles t;
    EXPECT_EQ(t.derive("x", "za okres 01-02-2024 do 29-02-2024"), "Mirva-Vel 01-02-2024\x95" "29-02-2024");
    EXPECT_EQ(t.derive("x", "za okres 05-02-2024 do 28-02-2024"), "Mirva-Vel 05-02-2024\x95" "28-02-2024");
}

TEST(JobTitle, StateAtTheEndOfAMonth) {
    Titles t;
    EXPECT_EQ(t.derive("x", "Stan do 31-12-2024 r."), "Mirva-Vel 2024-12");
}

TEST(JobTitle, PeriodRuleNeedsAYearAfterDo) {
    Titles t;
    EXPECT_EQ(t.derive("x", "Stan do konca roku"), "Mirva-Vel");
    EXPECT_EQ(t.derive("x", "Od do 31-12-2024"), "Mirva-Vel");  // " do " before position 5
}

TEST(JobTitle, RegisterNameFollowsThePeriod) {
    Titles t;
    EXPECT_EQ(t.derive("x", "za okres 01-03-2024 do 31-03-2024 REJESTR SPRZEDAZY"), "Mirva-Vel 2024-03 SPRZE");
    // Without a period the register rule does not run.
    EXPECT_EQ(t.derive("x", "REJESTR SPRZEDAZY"), "Mirva-Vel");
}

TEST(JobTitle, PeriodAlreadyInTheTitleIsNotRepeated) {
    Titles t;
    EXPECT_EQ(t.derive("\xff" "Raport 2024-12\xff", "Stan do 31-12-2024 r."), "Raport 2024-12");
}

TEST(JobTitle, LinesLongerThan255Characters) {
    Titles t;
    const std::string pad(300, 'x');
    EXPECT_EQ(t.derive(pad + " Nr 1/2/2027", pad + " za 01-02-2027 do 28-02-2027"), "2027+2+00001 2027-02");
}

TEST(ConvertPolishLetters, MapsEachLetterOnceAndLeavesTheRest) {
    const std::string from852 = "\xa4\x8f\xa8\x9d\xe3\xe0\x97\xbd\x8d-\xa5\x86\xa9\x88\xe4\xa2\x98\xbe\xab";
    const std::string to1250 = "\xa5\xc6\xca\xa3\xd1\xd3\x8c\xaf\x8f-\xb9\xe6\xea\xb3\xf1\xf3\x9c\xbf\x9f";
    EXPECT_EQ(ConvertPolishLetters(from852), to1250);
    // 852 "Ą" is 0xA4 and becomes 0xA5, which is 852 "ą": it must not change again.
    EXPECT_EQ(ConvertPolishLetters("\xa4"), "\xa5");
    EXPECT_EQ(ConvertPolishLetters("abc \x81\xff"), "abc \x81\xff");
}

}  // namespace
}  // namespace vel::pcl
