#include "jpk/jpk_declaration.h"
#include "jpk/jpk_registers.h"

#include "common/io.h"
#include "jpk_test_support.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace vel::jpk {
namespace {

using vel::test::ScopedTempDir;
using test::JpkTestProgram;
using vel::test::WriteAll;

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(JpkLineWriter, PrefixRuleOfTheTnsVariants) {
    std::ostringstream s;
    LineWriter out(s, Variant::B);
    out.WriteTag(0, "?xml version=\"1.0\"?");
    out.WriteTag(0, "JPK xmlns:etd=\"x\"");
    out.WriteTag(1, "/Naglowek");
    out.WriteTag(1, "etd:Tag");
    out.WriteLeaf(2, "etd:NIP", "1");
    out.WriteLeaf(2, "Rok", "2020");
    out.WriteLeafAttr(2, "CelZlozenia", "1", "poz=\"P_7\"");
    out.WriteComment(3, "40  VAT_marza");
    out.WriteRaw("");
    out.WriteTag(0, "/JPK");
    EXPECT_EQ(s.str(),
              "<?xml version=\"1.0\"?>\r\n"
              "<tns:JPK xmlns:etd=\"x\">\r\n"
              "  </tns:Naglowek>\r\n"
              "  <etd:Tag>\r\n"
              "    <etd:NIP>1</etd:NIP>\r\n"
              "    <tns:Rok>2020</tns:Rok>\r\n"
              "    <tns:CelZlozenia poz=\"P_7\">1</tns:CelZlozenia>\r\n"
              "      <!--  40  VAT_marza  -->\r\n"
              "</tns:JPK>");
}

TEST(JpkLineWriter, RegisterLinesByVariant) {
    std::ostringstream a, b, d;
    LineWriter wa(a, Variant::A), wb(b, Variant::B), wd(d, Variant::D);
    for (LineWriter* w : {&wa, &wb, &wd}) {
        w->WriteRegisterLine("<SprzedazWiersz>", false);
        w->WriteRegisterLine("</SprzedazWiersz>", false);
        w->WriteRegisterLine("<!-- x -->", false);
        w->WriteRegisterLine("<Skipped>", true);
    }
    EXPECT_EQ(a.str(), "  <SprzedazWiersz>\r\n  </SprzedazWiersz>\r\n  <!-- x -->\r\n");
    EXPECT_EQ(b.str(), "    <tns:SprzedazWiersz>\r\n    </tns:SprzedazWiersz>\r\n    <!-- x -->\r\n");
    EXPECT_EQ(d.str(), "    <SprzedazWiersz>\r\n    </SprzedazWiersz>\r\n    <!-- x -->\r\n");
}

TEST(JpkRegisterElements, FieldNumbers) {
    EXPECT_EQ(ElementField("<K_19>1</K_19>"), 19);
    EXPECT_EQ(ElementField("<K_05>1</K_05>"), 0);  // would address a running total
    EXPECT_EQ(ElementField("<K_1>1</K_1>"), 0);
    EXPECT_EQ(ElementField("<SprzedazVAT_Marza>1</SprzedazVAT_Marza>"), 9);
    EXPECT_EQ(ElementField("<ZakupVAT_Marza>1</ZakupVAT_Marza>"), 70);
    EXPECT_EQ(ElementField("<NrKontrahenta>1</NrKontrahenta>"), 0);
    // Today's structures have a three-digit field, unknown to the earlier ones.
    EXPECT_EQ(ElementField("<K_360>1</K_360>", true, true), 360);
    EXPECT_EQ(ElementField("<K_19>1</K_19>", true, true), 19);
    EXPECT_EQ(ElementField("<K_360>1</K_360>"), 36);
    EXPECT_EQ(ElementField("<K_6600>1</K_6600>", true, true), 0);  // beyond the table
}

// A register writer run on files in a temporary folder.
struct RegisterFixture {
    explicit RegisterFixture(const std::string& request, const std::string& base, Variant variant) {
        lines.Load(request);
        run.base = base;
        run.period = PeriodOf(base);
        run.variant = variant;
        run.quarterDigit = QuarterDigit(run.period);
        run.quarterly = lines.LookupKey("Kwa") == "T";
        std::filesystem::create_directories("JPK");
    }
    std::string Write() {
        std::ostringstream s;
        LineWriter out(s, run.variant);
        WriteSalesRegister(run, out);
        WritePurchaseRegister(run, out);
        return s.str();
    }
    ScopedTempDir dir;
    JpkTestProgram t;
    RequestLines lines;
    JpkRun run{t.program, lines};
};

std::string SalesRow(const std::string& lp, const std::string& k19, const std::string& k20,
                     const std::string& extra = "") {
    return "<SprzedazWiersz><LpSprzedazy>" + lp +
           "</LpSprzedazy><NrKontrahenta>1</NrKontrahenta><NazwaKontrahenta>N</NazwaKontrahenta>"
           "<AdresKontrahenta>A</AdresKontrahenta><DowodSprzedazy>D</DowodSprzedazy>"
           "<DataWystawienia>2022-01-02</DataWystawienia>" +
           extra + "<K_19>" + k19 + "</K_19><K_20>" + k20 + "</K_20></SprzedazWiersz>\n";
}

std::string Register(const std::string& rows) {
    return "<?xml version=\"1.0\"?>\n<JPK><Ewidencja>\n" + rows +
           "<SprzedazCtrl><LiczbaWierszySprzedazy>9</LiczbaWierszySprzedazy></SprzedazCtrl>\n"
           "<ZakupCtrl></ZakupCtrl></Ewidencja></JPK>";
}

TEST(JpkSalesRegister, TwoFilesAreRenumberedAndFpRowsNotCounted) {
    RegisterFixture f("Rej XY\n", "JPK\\JPK_VAT_2022-01_WQA-001", Variant::D);
    WriteAll("JPK/JPK_VAT_2022-01_WQA-001_X.xml",
             Register(SalesRow("17", "100.00", "23.00") + SalesRow("18", "10.00", "2.30") +
                      SalesRow("19", "1.00", "0.23")));
    WriteAll("JPK/JPK_VAT_2022-01_WQA-001_Y.xml",
             Register(SalesRow("1", "500.00", "115.00", "<TypDokumentu>FP</TypDokumentu>") +
                      SalesRow("2", "2.00", "0.46", "<TypDokumentu>RO</TypDokumentu>")));
    const std::string out = f.Write();
    for (int i = 1; i <= 5; ++i) EXPECT_TRUE(Has(out, "<LpSprzedazy>" + std::to_string(i) + "</LpSprzedazy>"));
    EXPECT_FALSE(Has(out, "<LpSprzedazy>6<"));
    EXPECT_TRUE(Has(out, "      <LiczbaWierszySprzedazy>5</LiczbaWierszySprzedazy>\r\n"));
    EXPECT_TRUE(Has(out, "<K_19>500.00</K_19>"));  // the FP row is copied...
    EXPECT_DOUBLE_EQ(f.run.k[19], 113.0);          // ...but not counted
    EXPECT_NEAR(f.run.k[7], 25.99, 1e-9);
    EXPECT_TRUE(Has(out, "<PodatekNalezny>25.99</PodatekNalezny>"));
    EXPECT_FALSE(Has(out, "AdresKontrahenta"));  // no such element in the V7 forms
    EXPECT_EQ(f.run.salesRows, 5);
    // No purchase rows anywhere: the control element still stands, with zeros.
    EXPECT_TRUE(Has(out, "<LiczbaWierszyZakupow>0</LiczbaWierszyZakupow>"));
    EXPECT_TRUE(Has(out, "<PodatekNaliczony>0.00</PodatekNaliczony>"));
}

TEST(JpkSalesRegister, QuarterlyJuneReadsAprilAndMayInSkipMode) {
    RegisterFixture f("Rej X\nKwa T\n", "JPK\\JPK_VAT_2021-06_WQA-001", Variant::B);
    WriteAll("JPK/JPK_VAT_2021-04_WQA-001_X.xml", Register(SalesRow("1", "10.00", "2.30")));
    WriteAll("JPK/JPK_VAT_2021-05_WQA-001_X.xml",
             Register(SalesRow("1", "20.00", "4.60") +
                      SalesRow("2", "-5.00", "-1.15", "<KorektaPodstawyOpodt>1</KorektaPodstawyOpodt>")));
    WriteAll("JPK/JPK_VAT_2021-06_WQA-001_X.xml", Register(SalesRow("7", "40.00", "9.20")));
    const std::string out = f.Write();
    EXPECT_EQ(Count(out, "<tns:SprzedazWiersz>"), 1);
    EXPECT_TRUE(Has(out, "<tns:LpSprzedazy>1</tns:LpSprzedazy>"));
    EXPECT_FALSE(Has(out, "<tns:K_19>10.00<"));
    EXPECT_DOUBLE_EQ(f.run.k[19], 65.0);  // the whole quarter
    EXPECT_NEAR(f.run.k[68], -5.0, 1e-9);
    EXPECT_NEAR(f.run.k[69], -1.15, 1e-9);
    EXPECT_TRUE(Has(out, "<tns:PodatekNalezny>9.20</tns:PodatekNalezny>"));  // June only
}

TEST(JpkSalesRegister, NoRowsInVariantAMeansNoControlElement) {
    RegisterFixture a("Rej X\n", "JPK\\JPK_VAT_2020-05_WQA-001", Variant::A);
    WriteAll("JPK/JPK_VAT_2020-05_WQA-001_X.xml", "<JPK></JPK>");
    const std::string outA = a.Write();
    EXPECT_FALSE(Has(outA, "Ctrl"));
    EXPECT_TRUE(a.t.Shown("\"JPK\\JPK_VAT_2020-05_WQA-001_X.xml\" bez sprzed."));
    EXPECT_TRUE(a.t.Shown("\"JPK\\JPK_VAT_2020-05_WQA-001_X.xml\" bez zakup\xf3w"));
}

TEST(JpkSalesRegister, EmptyRegisterFileIsReadAndHasNoRows) {
    RegisterFixture f("Rej X\n", "JPK\\JPK_VAT_2022-02_WQA-001", Variant::D);
    WriteAll("JPK/JPK_VAT_2022-02_WQA-001_X.xml", "");
    EXPECT_TRUE(ReadWholeFile(f.run, "JPK\\JPK_VAT_2022-02_WQA-001_X.xml", 'X'));
    EXPECT_TRUE(f.run.buffer.Empty());
    EXPECT_EQ(f.run.buffer.NextElement(), "");
    f.Write();
    EXPECT_EQ(f.run.missingLetters, "");
    EXPECT_TRUE(f.t.Shown("\"JPK\\JPK_VAT_2022-02_WQA-001_X.xml\" bez sprzed."));
}

TEST(JpkSalesRegister, ReadingShowsTheProgressOfLargeFiles) {
    RegisterFixture f("Rej X\n", "JPK\\JPK_VAT_2022-02_WQA-001", Variant::D);
    WriteAll("JPK/JPK_VAT_2022-02_WQA-001_X.xml", std::string(130000, ' '));
    ASSERT_TRUE(ReadWholeFile(f.run, "JPK\\JPK_VAT_2022-02_WQA-001_X.xml", 'X'));
    // The last 21 characters of the name, the bytes read so far and the size.
    const std::vector<std::string> expected = {"2022-02_WQA-001_X.xml  60000 z 130000",
                                               "2022-02_WQA-001_X.xml  120000 z 130000",
                                               "2022-02_WQA-001_X.xml  130000 z 130000"};
    EXPECT_EQ(f.t.status.history, expected);
    EXPECT_FALSE(ReadWholeFile(f.run, "JPK\\nothing.xml", 'Q'));
    EXPECT_EQ(f.run.missingLetters, "Q");
}

// A writer of the work folder leaves a sparse register of 64 MiB and a byte:
// it is not read into memory, counts as missing, and the other register
// still goes into the file.
TEST(JpkSalesRegister, OversizedRegisterCountsAsMissingAndTheRunGoesOn) {
    RegisterFixture f("Rej XY\n", "JPK\\JPK_VAT_2022-01_WQA-001", Variant::D);
    WriteAll("JPK/JPK_VAT_2022-01_WQA-001_X.xml", Register(SalesRow("1", "100.00", "23.00")));
    WriteAll("JPK/JPK_VAT_2022-01_WQA-001_Y.xml", "");
    std::filesystem::resize_file("JPK/JPK_VAT_2022-01_WQA-001_Y.xml", vel::kWholeFileLimit + 1);
    const std::string out = f.Write();
    EXPECT_EQ(Count(out, "<LpSprzedazy>"), 1);
    EXPECT_EQ(f.run.missingLetters, "Y");
    EXPECT_TRUE(f.t.Shown("Za du\xbfy plik JPK\\JPK_VAT_2022-01_WQA-001_Y.xml"));
    for (const std::string& shown : f.t.status.history) EXPECT_FALSE(Has(shown, "_Y.xml  ")) << shown;
}

TEST(JpkSalesRegister, WithoutRejTheLettersOfBrakAreTried) {
    RegisterFixture f("", "JPK\\JPK_VAT_2022-02_WQA-001", Variant::D);
    f.Write();
    EXPECT_EQ(f.run.missingLetters, "BRAK");
    EXPECT_EQ(f.t.status.history.front(), "Brak JPK\\JPK_VAT_2022-02_WQA-001_B.xml");
}

TEST(JpkSalesRegister, CutShortFileKeepsItsRowsAndSaysSo) {
    RegisterFixture f("Rej X\n", "JPK\\JPK_VAT_2022-02_WQA-001", Variant::D);
    WriteAll("JPK/JPK_VAT_2022-02_WQA-001_X.xml", "<JPK>" + SalesRow("1", "1.00", "0.23"));
    const std::string out = f.Write();
    EXPECT_TRUE(Has(out, "<LpSprzedazy>1</LpSprzedazy>"));
    EXPECT_TRUE(f.t.Shown("B\xb3\xb9" "d w  JPK\\JPK_VAT_2022-02_WQA-001_X.xml"));
}

// A declaration computed from a K table and request lines.
struct DeclarationFixture {
    DeclarationFixture(const std::string& request, Variant variant, char rounding = 'N') {
        lines.Load(request);
        run.variant = variant;
        run.rounding = rounding;
        run.period = "2022-01";
        run.quarterly = lines.LookupKey("Kwa") == "T";
    }
    std::string Write() {
        std::ostringstream s;
        LineWriter out(s, run.variant);
        WriteDeclaration(run, out);
        return s.str();
    }
    JpkTestProgram t;
    RequestLines lines;
    JpkRun run{t.program, lines};
};

TEST(JpkDeclaration, RefundIsLimitedToTheExcessAndMarkedK57) {
    DeclarationFixture f("K54 800\n", Variant::D);
    f.run.k[20] = 500;  // K38 = 500
    f.run.k[43] = 1000;  // K48 = 1000: K38 - K48 = -500
    f.run.k[42] = 4000;
    const std::string out = f.Write();
    EXPECT_EQ(f.run.k[51], 0);
    EXPECT_EQ(f.run.k[53], 500);
    EXPECT_EQ(f.run.k[54], 500);
    EXPECT_EQ(f.run.refundField, "K57");
    EXPECT_EQ(f.run.k[57], 1);
    EXPECT_EQ(f.run.k[62], 0);
    EXPECT_TRUE(Has(out, "      <P_54>500</P_54>\r\n      <P_57>1</P_57>\r\n"));
    EXPECT_TRUE(Has(out, "<P_51>0</P_51>"));
    EXPECT_FALSE(Has(out, "<P_62>"));
}

TEST(JpkDeclaration, RefundFieldsOfTheFirstGenerationExcludeK540AndK560) {
    DeclarationFixture b("K54 100\nZwr K560\n", Variant::B);
    b.run.k[43] = 100;
    b.Write();
    EXPECT_EQ(b.run.refundField, "K57");
    DeclarationFixture d("K54 100\nZwr K560\n", Variant::D);
    d.run.k[43] = 100;
    const std::string out = d.Write();
    EXPECT_EQ(d.run.refundField, "K560");
    EXPECT_TRUE(Has(out, "<P_560>1</P_560>"));
}

TEST(JpkDeclaration, ThirdGenerationRefundTermsWithoutSixtyDays) {
    struct Case {
        const char* name;
        const char* request;
        const char* field;
        const char* position;
    };
    const Case cases[] = {
        {"the retired 60 days", "K54 100\nZwr K57\n", "K560", "<P_560>1</P_560>"},
        {"no term asked", "K54 100\n", "K560", "<P_560>1</P_560>"},
        {"15 days", "K54 100\nZwr K540\n", "K540", "<P_540>1</P_540>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeclarationFixture f(c.request, Variant::E);
        f.run.k[43] = 100;
        const std::string out = f.Write();
        EXPECT_EQ(f.run.refundField, c.field);
        EXPECT_TRUE(Has(out, std::string("<P_54>100</P_54>\r\n      ") + c.position));
        EXPECT_FALSE(Has(out, "P_57"));
    }
}

// The deposit system's tax lowers the tax due like K35 and K36, rounded as
// they are.
TEST(JpkDeclaration, ThirdGenerationDepositTax) {
    DeclarationFixture n("", Variant::E, 'N');
    n.run.k[20] = 100.40;
    n.run.k[360] = 10.60;
    const std::string out = n.Write();
    EXPECT_EQ(n.run.k[38], 89);
    EXPECT_TRUE(Has(out, "<P_20>100</P_20>\r\n      <P_360>11</P_360>\r\n      <P_37>0</P_37>"));
    DeclarationFixture t("", Variant::E, 'T');
    t.run.k[20] = 100.40;
    t.run.k[360] = 10.60;
    t.Write();
    EXPECT_EQ(t.run.k[38], 89);
    EXPECT_DOUBLE_EQ(t.run.k[360], 10.60);
}

TEST(JpkDeclaration, K49IsLimitedToTheTaxDue) {
    DeclarationFixture f("K49 300\n", Variant::D);
    f.run.k[20] = 200;
    f.Write();
    EXPECT_EQ(f.run.k[49], 200);
    EXPECT_EQ(f.run.k[51], 0);
    DeclarationFixture g("K49 300\n", Variant::D);
    g.run.k[43] = 10;  // D negative
    g.Write();
    EXPECT_EQ(g.run.k[49], 0);
    DeclarationFixture h("K49 50\n", Variant::D);
    h.run.k[20] = 200;
    h.Write();
    EXPECT_EQ(h.run.k[49], 50);
    EXPECT_EQ(h.run.k[51], 150);
}

TEST(JpkDeclaration, RoundingModes) {
    // Declared amounts follow the tax ordinance: 50 groszy raise the amount
    // (a K_19 total of 100.50 is declared 101, not the even 100).
    DeclarationFixture n("", Variant::D, 'N');
    n.run.k[19] = 100.50;
    n.run.k[17] = 101.50;
    const std::string outN = n.Write();
    EXPECT_TRUE(Has(outN, "<P_19>101</P_19>"));
    EXPECT_TRUE(Has(outN, "<P_17>102</P_17>"));
    EXPECT_EQ(n.run.k[37], 203);

    // T rounds the terms of the sums, the stored values stay.
    DeclarationFixture t("", Variant::D, 'T');
    t.run.k[19] = 100.40;
    t.run.k[17] = 100.40;
    t.Write();
    EXPECT_EQ(t.run.k[37], 200);
    EXPECT_DOUBLE_EQ(t.run.k[19], 100.40);

    // J keeps the grosze; positions and marks are whole numbers at output.
    DeclarationFixture j("K63 T\nK54 5\nK60 3.40\nInn VAT\nZwr K55\n", Variant::D, 'J');
    j.run.k[19] = 100.40;
    j.run.k[17] = 100.40;
    j.run.k[43] = 300;
    const std::string outJ = j.Write();
    EXPECT_DOUBLE_EQ(j.run.k[37], 200.80);
    EXPECT_TRUE(Has(outJ, "<P_37>201</P_37>"));
    EXPECT_TRUE(Has(outJ, "<P_63>1</P_63>"));
    EXPECT_TRUE(Has(outJ, "<P_55>1</P_55>"));
    EXPECT_TRUE(Has(outJ, "<P_59>1</P_59>"));
    EXPECT_TRUE(Has(outJ, "<P_60>3</P_60>"));
    EXPECT_FALSE(Has(outJ, "."));  // no decimals anywhere

    // Any other mode: no rounding in the sums, whole numbers at output.
    DeclarationFixture o("", Variant::D, 'X');
    o.run.k[19] = 100.40;
    o.run.k[17] = 100.40;
    const std::string outO = o.Write();
    EXPECT_DOUBLE_EQ(o.run.k[37], 200.80);
    EXPECT_TRUE(Has(outO, "<P_37>201</P_37>"));
}

TEST(JpkDeclaration, RoundingToWholeZlotyJudgesTheGrosze) {
    struct Case {
        const char* name;
        double amount;
        double whole;
    };
    const Case cases[] = {
        {"a sum a hair above a half", 0.1 + 0.2 + 0.2, 1},
        {"a sum a hair below a half", 0.15 + 0.35, 1},
        {"half, odd neighbour below", 1.5, 2},
        {"half, even neighbour below", 2.5, 3},
        {"negative half", -11.5, -12},
        {"49 groszy", 100.49, 100},
        {"negative 49 groszy", -0.49, 0},
        {"large half", 1234567.5, 1234568},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RoundWhole(c.amount), c.whole);
    }
    // Mode T rounds the terms that way too, any mode the written positions.
    DeclarationFixture t("", Variant::D, 'T');
    t.run.k[19] = 2.50;
    t.run.k[17] = 4.50;
    t.Write();
    EXPECT_EQ(t.run.k[37], 8);
    DeclarationFixture o("", Variant::D, 'X');
    o.run.k[19] = 0.1 + 0.2 + 0.2;
    EXPECT_TRUE(Has(o.Write(), "<P_19>1</P_19>"));
}

// Texts of the request go into elements escaped, so that the file stays XML;
// a reference the requesting program escaped itself is left alone.
TEST(JpkDeclaration, RequestTextsAreEscapedIntoElements) {
    struct Case {
        const char* name;
        const char* text;
        const char* escaped;
    };
    const Case cases[] = {
        {"plain", "Firma Testowa Sp. z o.o.", "Firma Testowa Sp. z o.o."},
        {"ampersand", "Kowalski & Syn", "Kowalski &amp; Syn"},
        {"angle brackets", "<Alfa> & >Beta<", "&lt;Alfa> &amp; >Beta&lt;"},
        {"references kept", "A &amp; B &lt; C &gt; &quot;D&quot; &apos;E&apos; &#261; &#x105;",
         "A &amp; B &lt; C &gt; &quot;D&quot; &apos;E&apos; &#261; &#x105;"},
        {"no references", "&amp &#; &#x; &#12 &name;", "&amp;amp &amp;#; &amp;#x; &amp;#12 &amp;name;"},
        {"code page 1250 bytes", "\xa3\xf3" "d\x9f & \xb9", "\xa3\xf3" "d\x9f &amp; \xb9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EscapeRequestText(c.text), c.escaped);
    }
    DeclarationFixture f("Cel 2\nUz1 Faktura A&B\nUz2 <korekta>\nK54 5\nK60 5\nInn VAT & CIT\n", Variant::D);
    f.run.k[43] = 10;
    const std::string out = f.Write();
    EXPECT_TRUE(Has(out, "<P_61>VAT &amp; CIT</P_61>"));
    EXPECT_TRUE(Has(out, "<P_ORDZU>Faktura A&amp;B &lt;korekta></P_ORDZU>"));
}

// K660 "T" reaches the declaration where the schema has P_660: between P_66
// and P_67, from the (2) generation on.
TEST(JpkDeclaration, YesMarkK660IsDeclared) {
    struct Case {
        const char* name;
        Variant variant;
        const char* expected;
    };
    const Case cases[] = {
        {"second generation", Variant::D, "<P_66>1</P_66>\r\n      <P_660>1</P_660>\r\n      <P_67>1</P_67>"},
        {"third generation", Variant::E, "<P_66>1</P_66>\r\n      <P_660>1</P_660>\r\n      <P_67>1</P_67>"},
        {"first generation, no such position", Variant::B, "<tns:P_66>1</tns:P_66>\r\n      <tns:P_67>1</tns:P_67>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeclarationFixture f("K660T\nK66 T\nK67 T\n", c.variant);
        const std::string out = f.Write();
        EXPECT_TRUE(Has(out, c.expected));
        EXPECT_EQ(f.run.k[660], 1);
    }
    DeclarationFixture none("K660N\n", Variant::E);
    EXPECT_FALSE(Has(none.Write(), "P_660"));
}

TEST(JpkDeclaration, OrdzuOnlyForACorrection) {
    DeclarationFixture c("Cel 2\nUz1 Blad  w   fakturze \n", Variant::D);
    EXPECT_TRUE(Has(c.Write(), "      <P_ORDZU>Blad w fakturze</P_ORDZU>\r\n"));
    DeclarationFixture first("Cel 1\nUz1 Blad\n", Variant::D);
    EXPECT_FALSE(Has(first.Write(), "P_ORDZU"));
    DeclarationFixture none("Cel 2\n", Variant::D);
    EXPECT_FALSE(Has(none.Write(), "P_ORDZU"));
}

TEST(JpkDeclaration, RefundTermOnlyWithARefund) {
    DeclarationFixture f("K60 100\nInn VAT\n", Variant::D);
    f.run.k[20] = 100;
    const std::string out = f.Write();
    EXPECT_FALSE(Has(out, "P_59"));
    EXPECT_FALSE(Has(out, "P_61"));
    EXPECT_EQ(f.run.k[60], 0);
    EXPECT_TRUE(Has(f.t.status.history.back(), "K60"));
}

TEST(JpkDeclaration, CorrectionPairOnlyWhenNeitherIsPositive) {
    DeclarationFixture f("", Variant::D);
    f.run.k[68] = -10;
    f.run.k[69] = -2.30;
    EXPECT_TRUE(Has(f.Write(), "<P_68>-10</P_68>\r\n      <P_69>-2</P_69>"));
    DeclarationFixture g("", Variant::D);
    g.run.k[68] = 10;
    g.run.k[69] = -2;
    EXPECT_FALSE(Has(g.Write(), "P_68"));
    EXPECT_TRUE(Has(g.t.status.history.back(), "K68"));
}

TEST(JpkDeclaration, QuarterlyFilerDeclaresOnlyAtTheQuartersEnd) {
    DeclarationFixture may("Kwa T\n", Variant::C);
    may.run.quarterDigit = '0';
    EXPECT_EQ(may.Write(), "");
    DeclarationFixture june("Kwa T\n", Variant::B);
    june.run.quarterDigit = '2';
    const std::string out = june.Write();
    EXPECT_TRUE(Has(out, "<tns:KodFormularzaDekl kodSystemowy=\"VAT-7K (15)\" kodPodatku=\"VAT\" "
                         "rodzajZobowiazania=\"Z\" wersjaSchemy=\"1-2E\">VAT-7K</tns:KodFormularzaDekl>"));
    EXPECT_TRUE(Has(out, "<tns:WariantFormularzaDekl>15</tns:WariantFormularzaDekl>"));
    EXPECT_TRUE(Has(out, "<tns:Kwartal>2</tns:Kwartal>"));
}

TEST(JpkDeclaration, PairNonZero) {
    KTable k{};
    k[16] = 1;
    k[37] = 5;
    EXPECT_TRUE(PairNonZero(k, 15));
    EXPECT_FALSE(PairNonZero(k, 16));
    EXPECT_TRUE(PairNonZero(k, 38));
    EXPECT_FALSE(PairNonZero(k, 21));
}

TEST(JpkDeclaration, VariantAComputesTheSummaryValues) {
    DeclarationFixture f("K57 900\nZwr K58\n", Variant::A);
    f.run.k[20] = 100;
    f.run.k[46] = 400;
    f.Write();
    EXPECT_EQ(f.run.k[41], 100);
    EXPECT_EQ(f.run.k[51], 400);
    EXPECT_EQ(f.run.k[56], 300);
    EXPECT_EQ(f.run.k[57], 300);
    EXPECT_EQ(f.run.refundField, "K58");
}

TEST(JpkHeader, MissingKeysAreNamedOnTheStatusLine) {
    JpkTestProgram t;
    RequestLines lines;
    lines.Load("NIP 5260250274\n");
    JpkRun run(t.program, lines);
    run.variant = Variant::D;
    run.period = "2022-01";
    std::ostringstream s;
    LineWriter out(s, run.variant);
    WriteHeader(run, out, "2022-02-01T10:00:00");
    EXPECT_TRUE(Has(s.str(), "<KodUrzedu>BRAK</KodUrzedu>"));
    std::vector<std::string> expected = {"Brak klucza KUr", "Brak klucza Ema"};
    EXPECT_EQ(t.status.history, expected);
}

}  // namespace
}  // namespace vel::jpk
