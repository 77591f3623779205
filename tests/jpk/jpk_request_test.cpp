#include "jpk/jpk_request.h"

#include "jpk/jpk_registers.h"

#include "common/io.h"
#include "common/job_files.h"
#include "jpk_test_support.h"
#include "support/locale.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_data.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace vel::jpk {
namespace {

namespace fs = std::filesystem;
using test::Data;
using test::JpkTestProgram;
using test::ValidAgainst;
using vel::test::ReadAll;
using vel::test::ScopedTempDir;
using vel::test::WriteAll;

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

// The ministry's published schemas, under the test data.
const char* const kV7M2 = "jpk-xsd/JPK_V7M_2/Schemat_JPK_V7M(2)_v1-0E.xsd";
const char* const kV7K2 = "jpk-xsd/JPK_V7K_2/Schemat_JPK_V7K(2)_v1-0E.xsd";
const char* const kV7M1 = "jpk-xsd/JPK_V7M_1/Schemat_JPK_V7M(1)_v1-2E.xsd";
const char* const kV7K1 = "jpk-xsd/JPK_V7K_1/Schemat_JPK_V7K(1)_v1-2E.xsd";
const char* const kVat3 = "jpk-xsd/JPK_VAT_3/Schemat_JPK_VAT(3)_v1-1.xsd";
const char* const kV7M3 = "jpk-xsd/JPK_V7M_3/Schemat_JPK_V7M(3)_v1-0E.xsd";
const char* const kV7K3 = "jpk-xsd/JPK_V7K_3/Schemat_JPK_V7K(3)_v1-0E.xsd";

// A work folder with the requesting program in prog\ (a stand-in that
// records its command line), the summary file and the JPK folder.
struct RequestFixture {
    RequestFixture() {
        fs::create_directories("JPK");
        fs::create_directories("prog");
        fs::copy_file(JPK_STAND_IN, "prog/WQA.exe");
        WriteAll("VAT7.tmp", "old\r\n");
        t.t.shell.onStart = [](const std::string& commandLine, const std::string&) {
            // The started program runs in the folder the request changed to.
            vel::test::Run run;
            std::istringstream words(commandLine);
            for (std::string w; words >> w;) run.args.push_back(run.args.empty() ? fs::absolute(w).string() : w);
            ASSERT_EQ(vel::test::RunProgram(run), 0) << commandLine;
        };
    }
    void SetNow(int y, int mo, int d, int h, int mi, int s) { t.t.clock.set({y, mo, d, h, mi, s, 0, 1}); }
    bool Run(const std::string& request) {
        WriteAll("Wykon.to!", request);
        // Complete: the tick before saw it as it is now (the date the
        // request works with stays).
        CheckJobFile(t.program, "Wykon.to!");
        const platform::DateTime now = t.t.clock.now();
        t.t.clock.advanceSeconds(1);
        t.t.clock.set(now);
        const bool result = RunRequestFile(t.program);
        EXPECT_FALSE(t.program.state.requestBusy);
        return result;
    }

    ScopedTempDir dir;
    JpkTestProgram t;
};

// The users' pl_PL locale (decimal comma) changes no byte of the JPK file
// or of the summary.
TEST(JpkRequest, SecondGenerationMonthlyFileByteForByteUnderEitherLocale) {
    for (const char* locale : vel::test::kBothLocales) {
        SCOPED_TRACE(locale);
        vel::test::ScopedLocale scope(locale);
        ASSERT_TRUE(scope.active()) << "scripts/install-deps.sh generates it";
        RequestFixture f;
        f.SetNow(2022, 2, 10, 9, 15, 0);
        WriteAll("JPK/JPK_VAT_2022-01_WQA-001_A.xml", Data("d_2022-01_A.xml"));
        WriteAll("JPK/JPK_VAT_2022-01_WQA-001_B.xml", Data("d_2022-01_B.xml"));
        EXPECT_TRUE(f.Run(Data("d_2022-01_request.txt")));
        const fs::path out = "JPK/JPK_VAT_2022-01_WQA-001.XML";
        EXPECT_EQ(ReadAll(out), Data("d_2022-01_expected.xml"));
        EXPECT_EQ(ReadAll("VAT7.tmp"), "old\r\n" + Data("d_2022-01_summary.txt"));
        EXPECT_FALSE(fs::exists("Wykon.to!"));
        ASSERT_EQ(f.t.t.shell.ran.size(), 1u);
        EXPECT_EQ(f.t.t.shell.ran[0], "WQA.exe /x ");
        EXPECT_EQ(ReadAll("prog/args.txt"), "/x");
        EXPECT_TRUE(f.t.Shown("Start  WQA.exe  dla  prog"));
        EXPECT_TRUE(f.t.Shown("\"JPK\\JPK_VAT_2022-01_WQA-001_B.xml\" bez zakup\xf3w"));
        EXPECT_EQ(fs::current_path(), f.dir.path());
    }
}

TEST(JpkRequest, FirstGenerationPrefixedFileByteForByte) {
    RequestFixture f;
    f.SetNow(2020, 11, 20, 8, 0, 5);
    WriteAll("JPK/JPK_VAT_2020-10_WQA-001_W.xml", Data("b_2020-10_W.xml"));
    EXPECT_FALSE(f.Run(Data("b_2020-10_request.txt")));  // no Run command
    const fs::path out = "JPK/JPK_VAT_2020-10_WQA-001.XML";
    EXPECT_EQ(ReadAll(out), Data("b_2020-10_expected.xml"));
    EXPECT_EQ(ReadAll("VAT7.tmp"), "old\r\n" + Data("b_2020-10_summary.txt"));
    EXPECT_TRUE(f.t.t.shell.ran.empty());
}

TEST(JpkRequest, JpkVat3FileByteForByteWithAMissingRegister) {
    RequestFixture f;
    f.SetNow(2020, 10, 5, 10, 0, 0);
    WriteAll("JPK/JPK_VAT_2020-09_WQA-001_A.xml", Data("a_2020-09_A.xml"));
    EXPECT_TRUE(f.Run(Data("a_2020-09_request.txt")));
    const fs::path out = "JPK/JPK_VAT_2020-09_WQA-001.XML";
    EXPECT_EQ(ReadAll(out), Data("a_2020-09_expected.xml"));
    EXPECT_EQ(ReadAll("VAT7.tmp"), "old\r\n" + Data("a_2020-09_summary.txt"));
    EXPECT_TRUE(f.t.Shown("Brak JPK\\JPK_VAT_2020-09_WQA-001_Z.xml"));
    ASSERT_EQ(f.t.t.shell.ran.size(), 1u);
    EXPECT_EQ(f.t.t.shell.ran[0], "WQA.exe /x Z");  // the missing letters follow the argument
    EXPECT_EQ(ReadAll("prog/args.txt"), "/x Z");
}

// Register rows valid in both V7 generations, for month `period`.
std::string V7Register(const std::string& period, const std::string& k19, const std::string& k20) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<JPK>\r\n<Ewidencja>\r\n"
           "<SprzedazWiersz>\r\n<LpSprzedazy>1</LpSprzedazy>\r\n<NrKontrahenta>5260250274</NrKontrahenta>\r\n"
           "<NazwaKontrahenta>Alfa</NazwaKontrahenta>\r\n<DowodSprzedazy>FV " +
           period + "</DowodSprzedazy>\r\n<DataWystawienia>" + period +
           "-15</DataWystawienia>\r\n<K_19>" + k19 + "</K_19>\r\n<K_20>" + k20 +
           "</K_20>\r\n</SprzedazWiersz>\r\n"
           "<SprzedazCtrl>\r\n<LiczbaWierszySprzedazy>1</LiczbaWierszySprzedazy>\r\n</SprzedazCtrl>\r\n"
           "<ZakupWiersz>\r\n<LpZakupu>1</LpZakupu>\r\n<NrDostawcy>7740001454</NrDostawcy>\r\n"
           "<NazwaDostawcy>Beta</NazwaDostawcy>\r\n<DowodZakupu>FZ " +
           period + "</DowodZakupu>\r\n<DataZakupu>" + period +
           "-03</DataZakupu>\r\n<K_42>100.00</K_42>\r\n<K_43>23.00</K_43>\r\n</ZakupWiersz>\r\n"
           "<ZakupCtrl>\r\n</ZakupCtrl>\r\n</Ewidencja>\r\n</JPK>\r\n";
}

std::string QuarterlyRequest(const std::string& period, const std::string& extra = "") {
    return "Int\r\nJPK\\JPK_VAT_" + period +
           "_WQA-001\r\nRej A\r\nKwa T\r\nCel 1\r\nNIP 5260250274\r\nPNa Firma\r\nEma a@b.pl\r\nKUr 0611\r\n"
           "Dir .\r\n" +
           extra;
}

std::string Summary() {
    std::string s = ReadAll("VAT7.tmp");
    return s;
}

// The quarterly filer's September 2021 (first generation): the declaration
// covers the quarter.
fs::path QuarterlyFirstGeneration(RequestFixture& f) {
    f.SetNow(2021, 10, 12, 12, 0, 0);
    WriteAll("JPK/JPK_VAT_2021-07_WQA-001_A.xml", V7Register("2021-07", "100.00", "23.00"));
    WriteAll("JPK/JPK_VAT_2021-08_WQA-001_A.xml", V7Register("2021-08", "200.00", "46.00"));
    WriteAll("JPK/JPK_VAT_2021-09_WQA-001_A.xml", V7Register("2021-09", "300.00", "69.00"));
    f.Run(QuarterlyRequest("2021-09", "K45 -10.00\r\n"));
    return "JPK/JPK_VAT_2021-09_WQA-001.XML";
}

// The quarterly filer's May and June 2022 (second generation).
std::pair<fs::path, fs::path> QuarterlySecondGeneration(RequestFixture& f) {
    f.SetNow(2022, 7, 12, 12, 0, 0);
    WriteAll("JPK/JPK_VAT_2022-04_WQA-001_A.xml", V7Register("2022-04", "100.00", "23.00"));
    WriteAll("JPK/JPK_VAT_2022-05_WQA-001_A.xml", V7Register("2022-05", "200.00", "46.00"));
    WriteAll("JPK/JPK_VAT_2022-06_WQA-001_A.xml", V7Register("2022-06", "300.00", "69.00"));
    f.Run(QuarterlyRequest("2022-05"));
    f.Run(QuarterlyRequest("2022-06", "K660T\r\nK66 N\r\nK67 T\r\n"));
    return {"JPK/JPK_VAT_2022-05_WQA-001.XML", "JPK/JPK_VAT_2022-06_WQA-001.XML"};
}

// A monthly filer in July 2021 asking for a refund to the VAT account.
fs::path MonthlyThirdVariant(RequestFixture& f) {
    f.SetNow(2021, 8, 2, 7, 30, 0);
    WriteAll("JPK/JPK_VAT_2021-07_WQA-001_A.xml", V7Register("2021-07", "100.00", "23.00"));
    f.Run("Int\r\nJPK\\JPK_VAT_2021-07_WQA-001\r\nRej A\r\nCel 1\r\nNIP 5260250274\r\nPNa Firma\r\n"
          "Ema a@b.pl\r\nKUr 0611\r\nDir .\r\nK44 100.00\r\nK54 100\r\nZwr K540\r\n");
    return "JPK/JPK_VAT_2021-07_WQA-001.XML";
}

// January 2022 with the sales register only and no declaration keys; the
// request, ready to run.
std::string ShortRequest(RequestFixture& f) {
    f.SetNow(2022, 2, 10, 9, 15, 0);
    WriteAll("JPK/JPK_VAT_2022-01_WQA-001_A.xml", Data("d_2022-01_A.xml"));
    return "Int\r\nJPK\\JPK_VAT_2022-01_WQA-001\r\nRej A\r\nCel 1\r\nNIP 5260250274\r\n"
           "PNa Firma\r\nEma a@b.pl\r\nKUr 0611\r\n";
}

// The rows of V7Register as a sibling program writes them for today's
// periods: each with its KSeF marker in its place.
std::string ThirdRegister(const std::string& period, const std::string& k19, const std::string& k20) {
    std::string text = V7Register(period, k19, k20);
    text.insert(text.find("</DataWystawienia>\r\n") + 20, "<BFK>1</BFK>\r\n");
    text.insert(text.find("</DataZakupu>\r\n") + 15, "<OFF>1</OFF>\r\n");
    return text;
}

// Today's monthly filer, November 2026: JPK_V7M(3) with VAT-7 (23).
fs::path MonthlyThirdGeneration(RequestFixture& f) {
    f.SetNow(2026, 12, 9, 10, 0, 0);
    WriteAll("JPK/JPK_VAT_2026-11_WQA-001_A.xml", Data("e_2026-11_A.xml"));
    WriteAll("JPK/JPK_VAT_2026-11_WQA-001_B.xml", Data("e_2026-11_B.xml"));
    f.Run(Data("e_2026-11_request.txt"));
    return "JPK/JPK_VAT_2026-11_WQA-001.XML";
}

// The quarterly filer's February and March 2026: January, read for the
// quarter's declaration, is still a (2) period.
std::pair<fs::path, fs::path> QuarterlyThirdGeneration(RequestFixture& f) {
    f.SetNow(2026, 4, 14, 12, 0, 0);
    WriteAll("JPK/JPK_VAT_2026-01_WQA-001_A.xml", V7Register("2026-01", "100.00", "23.00"));
    WriteAll("JPK/JPK_VAT_2026-02_WQA-001_A.xml", ThirdRegister("2026-02", "200.00", "46.00"));
    WriteAll("JPK/JPK_VAT_2026-03_WQA-001_A.xml", ThirdRegister("2026-03", "300.00", "69.00"));
    f.Run(QuarterlyRequest("2026-02"));
    f.Run(QuarterlyRequest("2026-03", "K36 10.00\r\nK45 5.00\r\n"));
    return {"JPK/JPK_VAT_2026-02_WQA-001.XML", "JPK/JPK_VAT_2026-03_WQA-001.XML"};
}

// A natural person filing September 2026 quarterly.
fs::path QuarterlyNaturalPerson(RequestFixture& f) {
    f.SetNow(2026, 10, 20, 8, 30, 0);
    for (const char* month : {"07", "08", "09"}) {
        const std::string period = std::string("2026-") + month;
        WriteAll("JPK/JPK_VAT_" + period + "_WQA-001_A.xml", ThirdRegister(period, "100.00", "23.00"));
    }
    f.Run(QuarterlyRequest("2026-09", "RPo OFi\r\nPNa Nowak, Anna , 1980-05-17\r\nTel 600100200\r\n"));
    return "JPK/JPK_VAT_2026-09_WQA-001.XML";
}

TEST(JpkRequest, QuarterlyFirstGenerationAtTheQuartersEnd) {
    RequestFixture f;
    const std::string xml = ReadAll(QuarterlyFirstGeneration(f));
    EXPECT_TRUE(Has(xml, "<tns:Kwartal>3</tns:Kwartal>"));
    EXPECT_TRUE(Has(xml, "<tns:P_19>600</tns:P_19>"));  // the whole quarter
    EXPECT_TRUE(Has(xml, "<tns:P_42>300</tns:P_42>"));
    EXPECT_TRUE(Has(xml, "<tns:P_45>-10</tns:P_45>"));
    EXPECT_TRUE(Has(xml, "<tns:PodatekNalezny>69.00</tns:PodatekNalezny>"));  // the register: September only
    EXPECT_TRUE(Has(xml, "<tns:LiczbaWierszyZakupow>2</tns:LiczbaWierszyZakupow>"));
    EXPECT_TRUE(Has(xml, "<tns:PodatekNaliczony>13.00</tns:PodatekNaliczony>"));
    EXPECT_TRUE(Has(Summary(), "  VAT = VAT-7 K\r\n"));
}

TEST(JpkRequest, QuarterlySecondGenerationAtTheQuartersEndAndInMidQuarter) {
    RequestFixture f;
    const auto [may, june] = QuarterlySecondGeneration(f);
    EXPECT_FALSE(Has(ReadAll(may), "Deklaracja"));
    const std::string xml = ReadAll(june);
    EXPECT_TRUE(Has(xml, "<Kwartal>2</Kwartal>"));
    EXPECT_TRUE(Has(xml, "kodSystemowy=\"VAT-7K (16)\""));
    EXPECT_TRUE(Has(xml, "<P_19>600</P_19>"));
    EXPECT_FALSE(Has(xml, "<P_66>"));
    EXPECT_TRUE(Has(xml, "<P_67>1</P_67>"));
    // May's summary line, then June's.
    const std::string summary = Summary();
    const std::size_t mayVat = summary.find("  VAT = JPK\r\n");
    ASSERT_NE(mayVat, std::string::npos);
    EXPECT_NE(summary.find("  K660 = 1\r\n  K67 = 1\r\n  108 = X\r\n", mayVat), std::string::npos);
    EXPECT_NE(summary.find("  VAT = VAT-7 K\r\n", mayVat), std::string::npos);
}

TEST(JpkRequest, MonthlyThirdVariantUsesTheFirstGenerationsFields) {
    RequestFixture f;
    EXPECT_TRUE(Has(ReadAll(MonthlyThirdVariant(f)), "<tns:P_57>1</tns:P_57>"));  // K540 is no field of this generation
}

// Today's periods go to the (3) structures; every row keeps the KSeF marker
// its register gave it, the program's own rows are internal documents, the
// deposit system's K_360 lowers the tax due, and a refund asked for in the
// retired 60 days goes to the basic 40.
TEST(JpkRequest, ThirdGenerationMonthlyFileByteForByte) {
    RequestFixture f;
    const std::string xml = ReadAll(MonthlyThirdGeneration(f));
    EXPECT_EQ(xml, Data("e_2026-11_expected.xml"));
    EXPECT_EQ(ReadAll("VAT7.tmp"), "old\r\n" + Data("e_2026-11_summary.txt"));
    EXPECT_FALSE(fs::exists("Vel.err"));  // every row carries its marker
    ASSERT_EQ(f.t.t.shell.ran.size(), 1u);
}

TEST(JpkRequest, ThirdGenerationQuarterlyAtTheQuartersEndAndInMidQuarter) {
    RequestFixture f;
    const auto [february, march] = QuarterlyThirdGeneration(f);
    const std::string feb = ReadAll(february);
    EXPECT_FALSE(Has(feb, "Deklaracja"));
    EXPECT_TRUE(Has(feb, "<KodFormularza kodSystemowy=\"JPK_V7K (3)\" wersjaSchemy=\"1-0E\">JPK_VAT</KodFormularza>"));
    const std::string xml = ReadAll(march);
    EXPECT_TRUE(Has(xml, " xmlns=\"http://crd.gov.pl/wzor/2025/12/19/14089/\">"));
    EXPECT_TRUE(Has(xml, "<KodFormularzaDekl kodSystemowy=\"VAT-7K (17)\" kodPodatku=\"VAT\" rodzajZobowiazania=\"Z\" "
                         "wersjaSchemy=\"1-0E\">VAT-7K</KodFormularzaDekl>\r\n"
                         "      <WariantFormularzaDekl>17</WariantFormularzaDekl>\r\n      <Kwartal>1</Kwartal>"));
    EXPECT_TRUE(Has(xml, "<P_19>600</P_19>"));  // January's (2) rows count for the quarter
    EXPECT_TRUE(Has(xml, "<DataWystawienia>2026-03-31</DataWystawienia>\r\n      <DI>1</DI>\r\n"
                         "      <TypDokumentu>WEW</TypDokumentu>\r\n      <K_36>10.00</K_36>"));
    EXPECT_TRUE(Has(xml, "<DataZakupu>2026-03-31</DataZakupu>\r\n      <DI>1</DI>\r\n"
                         "      <DokumentZakupu>WEW</DokumentZakupu>\r\n      <K_45>5.00</K_45>"));
    EXPECT_FALSE(fs::exists("Vel.err"));  // January's unmarked rows are not written
    const std::string summary = Summary();
    EXPECT_NE(summary.find("  VAT = JPK\r\n"), std::string::npos);
    EXPECT_NE(summary.find("  VAT = VAT-7 K\r\n"), std::string::npos);
}

TEST(JpkRequest, ThirdGenerationNaturalPersonUnderTheNewTypeNamespace) {
    RequestFixture f;
    const std::string xml = ReadAll(QuarterlyNaturalPerson(f));
    EXPECT_TRUE(Has(xml, "<JPK xmlns:etd=\"http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2022/09/13/eD/DefinicjeTypy/\" "
                         "xmlns=\"http://crd.gov.pl/wzor/2025/12/19/14089/\">"));
    EXPECT_TRUE(Has(xml, "    <OsobaFizyczna>\r\n      <etd:NIP>5260250274</etd:NIP>\r\n"
                         "      <etd:ImiePierwsze>Anna</etd:ImiePierwsze>\r\n      <etd:Nazwisko>Nowak</etd:Nazwisko>\r\n"
                         "      <etd:DataUrodzenia>1980-05-17</etd:DataUrodzenia>\r\n"));
    EXPECT_TRUE(Has(xml, "<Kwartal>3</Kwartal>"));
}

// The last (2) period and the first (3) one.
TEST(JpkRequest, GenerationThresholdLiesBetweenJanuaryAndFebruary2026) {
    struct Case {
        const char* period;
        const char* form;
        const char* declaration;
    };
    const Case cases[] = {
        {"2026-01", "kodSystemowy=\"JPK_V7M (2)\"", "kodSystemowy=\"VAT-7 (22)\""},
        {"2026-02", "kodSystemowy=\"JPK_V7M (3)\"", "kodSystemowy=\"VAT-7 (23)\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.period);
        RequestFixture f;
        f.SetNow(2026, 3, 2, 9, 0, 0);
        const std::string period = c.period;
        WriteAll("JPK/JPK_VAT_" + period + "_WQA-001_A.xml", ThirdRegister(period, "100.00", "23.00"));
        f.Run("Int\r\nJPK\\JPK_VAT_" + period + "_WQA-001\r\nRej A\r\nCel 1\r\nNIP 5260250274\r\n"
              "PNa Firma\r\nEma a@b.pl\r\nKUr 0611\r\nDir .\r\n");
        const std::string xml = ReadAll("JPK/JPK_VAT_" + period + "_WQA-001.XML");
        EXPECT_TRUE(Has(xml, c.form));
        EXPECT_TRUE(Has(xml, c.declaration));
    }
}

// A row the program cannot file as it stands is told to the user, never
// mended by a guess: the file is still written.
TEST(JpkRequest, RowsWithoutTheirMarkerOrWithAWrongKsefNumberAreReported) {
    RequestFixture f;
    f.SetNow(2026, 12, 9, 10, 0, 0);
    std::string a = Data("e_2026-11_A.xml");
    a.replace(a.find("      <BFK>1</BFK>\n"), 19, "");  // RO 11/2026 has none
    a.replace(a.find("-1A2B3C4D5E6F-DF"), 16, "-1A2B3C4D5E6F-FD");  // FV 1/11/2026 mistyped
    a.replace(a.find("      <NrKSeF>7740001454"), 0, "      <OFF>1</OFF>\n");  // F/900/2026 has two
    std::string b = Data("e_2026-11_B.xml");
    b.replace(b.find("-00A1B2C3D4E5-78"), 16, "-00A1B2C3D4E5-87");  // FP 5/2026 mistyped
    WriteAll("JPK/JPK_VAT_2026-11_WQA-001_A.xml", a);
    WriteAll("JPK/JPK_VAT_2026-11_WQA-001_B.xml", b);
    f.Run(Data("e_2026-11_request.txt"));
    const std::string xml = ReadAll("JPK/JPK_VAT_2026-11_WQA-001.XML");
    EXPECT_TRUE(Has(xml, "<NrKSeF>5260250274-20261105-1A2B3C4D5E6F-FD</NrKSeF>"));  // copied as it stands
    EXPECT_TRUE(Has(xml, "</Ewidencja>"));
    // Both counts, and the last word on the status line after the request's Run.
    EXPECT_EQ(f.t.status.history.back(), "Brak znacznika KSeF: 2, b\xb3\xea" "dny nr: 2");
    EXPECT_TRUE(f.t.Shown("Start  WQA.exe  dla  prog"));
    EXPECT_EQ(ReadAll("Vel.err"),
              " Brak znacznika KSeF  JPK\\JPK_VAT_2026-11_WQA-001_A.xml  RO 11/2026\r\n"
              " Brak znacznika KSeF  JPK\\JPK_VAT_2026-11_WQA-001_A.xml  F/900/2026\r\n"
              " B\xb3\xea" "dny numer KSeF  JPK\\JPK_VAT_2026-11_WQA-001_A.xml  FV 1/11/2026  "
              "5260250274-20261105-1A2B3C4D5E6F-FD\r\n"
              " B\xb3\xea" "dny numer KSeF  JPK\\JPK_VAT_2026-11_WQA-001_B.xml  FP 5/2026  "
              "9462512345-20261112-00A1B2C3D4E5-87\r\n");
    // One kind alone says it in words; every text fits the window's status line.
    {
        RequestFixture g;
        g.SetNow(2026, 12, 9, 10, 0, 0);
        std::string unmarked = Data("e_2026-11_A.xml");
        unmarked.replace(unmarked.find("      <BFK>1</BFK>\n"), 19, "");
        WriteAll("JPK/JPK_VAT_2026-11_WQA-001_A.xml", unmarked);
        WriteAll("JPK/JPK_VAT_2026-11_WQA-001_B.xml", Data("e_2026-11_B.xml"));
        // A Run that starts nothing keeps its own reason last.
        std::string request = Data("e_2026-11_request.txt");
        request.replace(request.find("WQA.exe"), 7, "WQC.exe");
        g.Run(request);
        EXPECT_TRUE(g.t.Shown("Brak znacznika KSeF: 1 wiersz"));
        EXPECT_EQ(g.t.status.history.back(), "Nie ma  WQC.exe");
    }
    platform::FakeStatusLine narrow;
    EXPECT_TRUE(narrow.fits("Brak znacznika KSeF: 2, b\xb3\xea" "dny nr: 2"));
    EXPECT_TRUE(narrow.fits("B\xb3\xea" "dny numer KSeF: 24 wiersze"));
    EXPECT_EQ(RowCountText(1), "1 wiersz");
    EXPECT_EQ(RowCountText(5), "5 wierszy");
    EXPECT_EQ(RowCountText(12), "12 wierszy");
    EXPECT_EQ(RowCountText(23), "23 wiersze");
}

// The files made above and the hand-written expected files pass the
// ministry's schemas of their generation.
TEST(PublishedSchema, ExpectedFilesPassTheirSchemas) {
    VEL_REQUIRE_TESTDATA(vat3, kVat3);
    VEL_REQUIRE_TESTDATA(v7m1, kV7M1);
    VEL_REQUIRE_TESTDATA(v7m2, kV7M2);
    ScopedTempDir dir;  // xmllint's logs go here
    for (const auto& [name, xsd] : {std::pair{"a_2020-09_expected.xml", vat3}, std::pair{"b_2020-10_expected.xml", v7m1},
                                    std::pair{"d_2022-01_expected.xml", v7m2}}) {
        WriteAll(name, Data(name));
        EXPECT_TRUE(ValidAgainst(name, xsd)) << name;
    }
}

TEST(PublishedSchema, GeneratedFilesPassTheirSchemas) {
    VEL_REQUIRE_TESTDATA(v7k1, kV7K1);
    VEL_REQUIRE_TESTDATA(v7k2, kV7K2);
    VEL_REQUIRE_TESTDATA(v7m1, kV7M1);
    VEL_REQUIRE_TESTDATA(v7m2, kV7M2);
    {
        RequestFixture f;
        f.Run(ShortRequest(f));
        EXPECT_TRUE(ValidAgainst("JPK/JPK_VAT_2022-01_WQA-001.XML", v7m2));
    }
    {
        RequestFixture f;
        EXPECT_TRUE(ValidAgainst(QuarterlyFirstGeneration(f), v7k1));
    }
    {
        RequestFixture f;
        const auto [may, june] = QuarterlySecondGeneration(f);
        EXPECT_TRUE(ValidAgainst(may, v7k2));
        EXPECT_TRUE(ValidAgainst(june, v7k2));
    }
    {
        RequestFixture f;
        EXPECT_TRUE(ValidAgainst(MonthlyThirdVariant(f), v7m1));
    }
}

TEST(PublishedSchema, ThirdGenerationFilesPassTheirSchemas) {
    VEL_REQUIRE_TESTDATA(v7m3, kV7M3);
    VEL_REQUIRE_TESTDATA(v7k3, kV7K3);
    {
        ScopedTempDir dir;
        WriteAll("e_2026-11_expected.xml", Data("e_2026-11_expected.xml"));
        EXPECT_TRUE(ValidAgainst("e_2026-11_expected.xml", v7m3));
    }
    {
        RequestFixture f;
        EXPECT_TRUE(ValidAgainst(MonthlyThirdGeneration(f), v7m3));
    }
    {
        RequestFixture f;
        const auto [february, march] = QuarterlyThirdGeneration(f);
        EXPECT_TRUE(ValidAgainst(february, v7k3));
        EXPECT_TRUE(ValidAgainst(march, v7k3));
    }
    {
        RequestFixture f;
        EXPECT_TRUE(ValidAgainst(QuarterlyNaturalPerson(f), v7k3));
    }
    {
        // A name with "&" and "<" from the request: still XML, still valid.
        RequestFixture f;
        f.SetNow(2026, 12, 9, 10, 0, 0);
        WriteAll("JPK/JPK_VAT_2026-11_WQA-001_A.xml", ThirdRegister("2026-11", "100.00", "23.00"));
        f.Run("Int\r\nJPK\\JPK_VAT_2026-11_WQA-001\r\nRej A\r\nCel 2\r\nNIP 5260250274\r\n"
              "PNa Kowalski & Syn <K&amp;S>\r\nEma a@b.pl\r\nKUr 0611\r\nDir .\r\nUz1 Korekta A&B\r\n");
        const fs::path out = "JPK/JPK_VAT_2026-11_WQA-001.XML";
        EXPECT_TRUE(Has(ReadAll(out), "<PelnaNazwa>Kowalski &amp; Syn &lt;K&amp;S></PelnaNazwa>"));
        EXPECT_TRUE(ValidAgainst(out, v7m3));
    }
}

TEST(JpkRequest, EarlierOutputIsKeptAndMissingSummaryIsReported) {
    RequestFixture f;
    const std::string request = ShortRequest(f);
    f.Run(request);
    const std::string first = ReadAll("JPK/JPK_VAT_2022-01_WQA-001.XML");
    EXPECT_TRUE(f.t.Shown("Brak  BRAK\\VAT7.tmp"));
    f.t.t.clock.advanceSeconds(60);
    f.Run(request);
    EXPECT_EQ(ReadAll("JPK/JPK_VAT_2022-01_WQA-001_0.xml"), first);
    EXPECT_TRUE(f.t.Shown("JPK\\JPK_VAT_2022-01_WQA-001_0.xml"));
    EXPECT_TRUE(Has(ReadAll("JPK/JPK_VAT_2022-01_WQA-001.XML"), "2022-02-10T09:16:00"));
}

TEST(JpkRequest, EveryEarlierOutputIsKept) {
    // The third build of one request overwrote the second's output, which
    // may be the declaration that was filed.
    RequestFixture f;
    const std::string request = ShortRequest(f);
    std::vector<std::string> built;
    for (int run = 0; run < 3; ++run) {
        f.t.t.clock.advanceSeconds(60);
        f.Run(request);
        built.push_back(ReadAll("JPK/JPK_VAT_2022-01_WQA-001.XML"));
    }
    ASSERT_NE(built[0], built[1]);
    EXPECT_EQ(ReadAll("JPK/JPK_VAT_2022-01_WQA-001_0.xml"), built[0]);
    EXPECT_EQ(ReadAll("JPK/JPK_VAT_2022-01_WQA-001_1.xml"), built[1]);
    EXPECT_TRUE(f.t.Shown("JPK\\JPK_VAT_2022-01_WQA-001_1.xml"));
}

TEST(JpkRequest, LockedOutputIsGivenUpAfterABoundedTime) {
    RequestFixture f;
    fs::create_directories("JPK/JPK_VAT_2022-01_WQA-001.XML/x");  // cannot be created as a file
    WriteAll("JPK/JPK_VAT_2022-01_WQA-001_0.xml", "earlier");
    EXPECT_FALSE(f.Run("Int\r\nJPK\\JPK_VAT_2022-01_WQA-001\r\nRej A\r\nRun\r\nprog\r\nWQA.exe\r\n/x\r\n"));
    EXPECT_TRUE(f.t.Shown("Zaj\xeaty \"JPK\\JPK_VAT_2022-01_WQA-001.XML\""));
    EXPECT_TRUE(f.t.Shown("Nie utworzono \"JPK\\JPK_VAT_2022-01_WQA-001.XML\""));
    EXPECT_GE(f.t.t.clock.sleptMs, kBusyRetryLimitMs);
    EXPECT_LT(f.t.t.clock.sleptMs, kBusyRetryLimitMs + 10000);
    EXPECT_EQ(ReadAll("JPK/JPK_VAT_2022-01_WQA-001_0.xml"), "earlier");
    EXPECT_FALSE(fs::exists("JPK/JPK_VAT_2022-01_WQA-001.XML.~{-}"));  // the finished content is not left behind
    EXPECT_TRUE(f.t.t.shell.ran.empty());  // the request ends: no program reads results that are not there
    EXPECT_EQ(ReadAll("VAT7.tmp"), "old\r\n");
}

TEST(JpkReplace, IdenticalContentReplacesWithoutACopy) {
    RequestFixture f;
    const std::string body = "<?xml?>\r\n<!--  Vel.8.60  -->\r\n<A>\r\n<DataWytworzeniaJPK>";
    WriteAll("target.xml", body + "2022-01-01T00:00:00</DataWytworzeniaJPK>\r\n</A>");
    WriteAll("new-file.xml", "<?xml?>\r\n<!--  Vel.8.61  -->\r\n<A>\r\n<DataWytworzeniaJPK>"
                             "2022-02-02T00:00:00</DataWytworzeniaJPK>\r\n</A>");
    EXPECT_TRUE(f.Run("Ren\r\ntarget.xml\r\nnew file.xml\r\nRun\r\nprog\r\nWQA.exe\r\n1\r\n"));
    EXPECT_FALSE(fs::exists("new-file.xml"));
    EXPECT_FALSE(fs::exists("target-00.xml"));
    EXPECT_TRUE(Has(ReadAll("target.xml"), "2022-02-02"));
    EXPECT_TRUE(f.t.Shown("target.xml = new-file.xml"));
    EXPECT_TRUE(f.t.Shown("new-file.xml -> target.xml"));
}

TEST(JpkReplace, DifferentContentKeepsTheTargetAsANumberedCopy) {
    RequestFixture f;
    WriteAll("target.xml", "<A>1</A>");
    WriteAll("target-00.xml", "older");
    WriteAll("new.xml", "<A>2</A>");
    EXPECT_FALSE(f.Run("Ren\r\ntarget.xml\r\nnew.xml\r\n"));
    EXPECT_EQ(ReadAll("target.xml"), "<A>2</A>");
    EXPECT_EQ(ReadAll("target-00.xml"), "older");
    EXPECT_EQ(ReadAll("target-01.xml"), "<A>1</A>");
    EXPECT_FALSE(fs::exists("new.xml"));
    // The first copy of a target takes -00.
    WriteAll("other.xml", "<B>1</B>");
    WriteAll("new.xml", "<B>2</B>");
    f.Run("Ren\r\nother.xml\r\nnew.xml\r\n");
    EXPECT_EQ(ReadAll("other-00.xml"), "<B>1</B>");
    EXPECT_EQ(ReadAll("other.xml"), "<B>2</B>");
}

// Only the creation-time (and system-name) element may differ: lines that
// merely hold its name are content like any other.
TEST(JpkReplace, OnlyTheVolatileElementsThemselvesAreIgnored) {
    struct Case {
        const char* name;
        std::string target, replacement;
        bool same;
    } const cases[] = {
        {"creation time", "<A>\r\n<DataWytworzeniaJPK>2022-01-01</DataWytworzeniaJPK>\r\n</A>",
         "<A>\r\n<DataWytworzeniaJPK>2022-02-02</DataWytworzeniaJPK>\r\n</A>", true},
        {"system name with a prefix", "<tns:NazwaSystemu>Vel 8.60</tns:NazwaSystemu>",
         "<tns:NazwaSystemu>Vel 8.61</tns:NazwaSystemu>", true},
        {"lines that only hold the name", "<A>DataWytworzeniaJPK 1</A>", "<A>DataWytworzeniaJPK 2</A>", false},
        {"a volatile element against another line", "<DataWytworzeniaJPK>1</DataWytworzeniaJPK>",
         "<KodUrzedu>1</KodUrzedu>", false},
        {"the two volatile elements against each other", "<DataWytworzeniaJPK>1</DataWytworzeniaJPK>",
         "<NazwaSystemu>1</NazwaSystemu>", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RequestFixture f;
        WriteAll("target.xml", c.target);
        WriteAll("new.xml", c.replacement);
        f.Run("Ren\r\ntarget.xml\r\nnew.xml\r\n");
        EXPECT_EQ(ReadAll("target.xml"), c.replacement);
        EXPECT_EQ(fs::exists("target-00.xml"), !c.same);
    }
}

// A request's writers may name files only in the work folder, the
// requesting program's folder and the folders an administrator lists:
// never through "..", a link or outside them, never a folder or a link as
// the file itself.
TEST(JpkReplace, RequestNamesStayInTheirFolders) {
    ScopedTempDir listed;
    ScopedTempDir workDir;  // the current folder from here on
    const fs::path work = fs::current_path();
    fs::create_directories("JPK");
    WriteAll("JPK/old.xml", "");
    const bool links = !vel::test::OnWindows();
    if (links) {
        fs::create_directory_symlink(listed.path(), "elsewhere");
        fs::create_symlink(listed.path() / "x.xml", "link.xml");
    }
    struct Case {
        const char* name;
        std::string file;
        bool refused;
        bool needsLinks = false;
    } const cases[] = {
        {"a name in the work folder", "JPK\\old.xml", false},
        {"a new name", "JPK\\JPK_VAT_2022-01.XML", false},
        {"a full name in the work folder", NameFromPath(work / "JPK" / "old.xml"), false},
        {"a full name in a listed folder", NameFromPath(listed.path() / "a.xml"), false},
        {"up and out", "..\\x.xml", true},
        {"up and back in", "JPK\\..\\JPK\\old.xml", true},
        {"a full name elsewhere", "C:\\Windows\\x.xml", true},
        {"a folder as the file", "JPK", true},
        {"through a link to a folder", "elsewhere\\x.xml", true, true},
        {"a link as the file", "link.xml", true, true},
    };
    const std::vector<fs::path> folders{work, listed.path()};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsLinks && !links) continue;
        EXPECT_EQ(!RefusedRequestName(c.file, folders).empty(), c.refused) << RefusedRequestName(c.file, folders);
    }
    // Refused, the request ends and nothing is renamed.
    RequestFixture f;
    WriteAll("new.xml", "<A/>");
    EXPECT_FALSE(f.Run("Ren\r\n..\\target.xml\r\nnew.xml\r\nRun\r\nprog\r\nWQA.exe\r\n1\r\n"));
    EXPECT_TRUE(f.t.Shown("Odmowa  ..\\target.xml"));
    EXPECT_TRUE(fs::exists("new.xml"));
    EXPECT_TRUE(f.t.t.shell.ran.empty());
}

TEST(JpkReplace, NewNameLettersAreTurnedIntoCodePage1250) {
    EXPECT_EQ(ConvertLetters("\xe6\xe5\x9e a\x9d"), "\xb9\xb3\xbf-a\xa3");
    EXPECT_EQ(ConvertLetters("\xb9"), "\xd1");  // one pass: the result is not converted again
    // A target that is the new file itself is left alone.
    RequestFixture f;
    WriteAll("same.xml", "<A/>");
    f.Run("Ren\r\nsame.xml\r\nsame.xml\r\n");
    EXPECT_EQ(ReadAll("same.xml"), "<A/>");
}

TEST(JpkReplace, UndeletableTargetIsGivenUpAfterABoundedTime) {
    RequestFixture f;
    // An empty regular file that cannot be deleted (a folder in its place is
    // refused before any retry).
    const vel::test::UndeletableFile held("target.xml");
    if (!held.held()) GTEST_SKIP() << "cannot make an undeletable file here (needs mount rights)";
    WriteAll("new.xml", "");
    EXPECT_FALSE(f.Run("Ren\r\ntarget.xml\r\nnew.xml\r\nRun\r\nprog\r\nWQA.exe\r\n1\r\n"));
    EXPECT_TRUE(f.t.Shown("Nie zast\xb9piono \"target.xml\""));
    EXPECT_TRUE(fs::exists("new.xml"));
    EXPECT_GE(f.t.t.clock.sleptMs, kBusyRetryLimitMs);
    EXPECT_TRUE(f.t.t.shell.ran.empty());
}

TEST(JpkRequestFile, EmptyFileStaysAndNothingRuns) {
    RequestFixture f;
    EXPECT_FALSE(f.Run(""));
    EXPECT_TRUE(fs::exists("Wykon.to!"));
    EXPECT_EQ(f.t.t.clock.sleptMs, 5 * kWaitMs);
    fs::remove("Wykon.to!");
    EXPECT_FALSE(RunRequestFile(f.t.program));
}

TEST(JpkRequestFile, UnknownLinesAreDroppedAndRunFindsItsProgram) {
    RequestFixture f;
    EXPECT_TRUE(f.Run("Xyz\r\n\r\nRun\r\nprog\r\nWQA.exe\r\n/y\r\n"));
    EXPECT_EQ(ReadAll("prog/args.txt"), "/y");
    EXPECT_FALSE(f.Run("Xyz\r\n\r\n\r\n\r\nRun\r\nprog\r\nWQA.exe\r\n/y\r\n"));  // three empty lines end it
}

// Whoever may write into the work folder must not start what they like.
TEST(JpkRequestFile, RunStartsOnlySiblingProgramsAndWhatTheAdministratorLists) {
    RequestFixture f;
    fs::create_directories("bin");
    WriteAll("bin/sh", "");
    WriteAll("bin/Raporty.exe", "");
    std::optional<vel::test::ScopedEnv> allow;
    allow.emplace(kRunAllowVariable, std::nullopt);
    for (const char* name : {"sh", "Raporty.exe", "..\\bin\\Raporty.exe", "/bin/sh"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(f.Run(std::string("Run\r\nbin\r\n") + name + "\r\n-c \"touch PWNED\"\r\n"));
        EXPECT_TRUE(f.t.Shown(std::string("Odmowa startu  ") + name));
    }
    EXPECT_TRUE(f.t.t.shell.ran.empty());
    EXPECT_NE(ReadAll("Vel.err").find("Odmowa startu  sh  (bin)"), std::string::npos);

    // The administrator's list adds a program, never a shell.
    allow.reset();
    allow.emplace(kRunAllowVariable, "Inny.exe; raporty.exe ;sh");
    f.t.t.shell.onStart = nullptr;
    EXPECT_TRUE(f.Run("Run\r\nbin\r\nRaporty.exe\r\n1\r\n"));
    EXPECT_TRUE(f.Run("Run\r\nbin\r\nsh\r\n1\r\n"));
    allow.reset();
    EXPECT_EQ(f.t.t.shell.ran, (std::vector<std::string>{"Raporty.exe 1 "}));
    EXPECT_TRUE(MayRunProgram("wqa.EXE", "") && MayRunProgram("WQp", ""));
    EXPECT_FALSE(MayRunProgram("python3.11", "python3.11") || MayRunProgram("cmd.exe", "cmd.exe"));
}

TEST(JpkRequestFile, RunReportsMissingFolderAndProgramAndPrefersQa) {
    RequestFixture f;
    EXPECT_TRUE(f.Run("Run\r\nnowhere\r\nWQA.exe\r\n1\r\n"));
    EXPECT_TRUE(f.t.Shown("Nie ma  nowhere"));
    EXPECT_TRUE(f.Run("Run\r\nprog\r\nWQC.exe\r\n1\r\n"));
    EXPECT_TRUE(f.t.Shown("Nie ma  WQC.exe"));
    fs::create_directories("a/b");
    fs::create_directories("!QA!");
    WriteAll("!QA!/WQB.exe", "");
    f.t.t.shell.onStart = nullptr;
    EXPECT_TRUE(f.Run("Run\r\na\\b\r\nWQB.exe\r\n1\r\n"));
    ASSERT_FALSE(f.t.t.shell.ran.empty());
    EXPECT_EQ(f.t.t.shell.ran.back(), "..\\..\\!QA!\\WQB.exe 1 ");
    EXPECT_EQ(fs::current_path(), f.dir.path());
}

TEST(JpkRequestFile, LongRequestKeepsThe199FirstLines) {
    RequestFixture f;
    std::string request = "Run\r\nprog\r\nWQA.exe\r\n/z\r\n";
    for (int i = 0; i < 300; ++i) request += "K19 1\r\n";
    EXPECT_TRUE(f.Run(request));
    EXPECT_TRUE(f.t.Shown("Wykon.to!: ponad 199 wierszy, reszta pomini\xeata"));
    EXPECT_EQ(ReadAll("prog/args.txt"), "/z");
}

TEST(JpkCommand, RunsARequestHeadlessAndRepeatsByteForByte) {
    RequestFixture f;
    WriteAll("JPK/JPK_VAT_2022-01_WQA-001_A.xml", Data("d_2022-01_A.xml"));
    WriteAll("JPK/JPK_VAT_2022-01_WQA-001_B.xml", Data("d_2022-01_B.xml"));
    std::string request = Data("d_2022-01_request.txt");
    request = request.substr(0, request.find("Run\r\n"));
    std::string outputs[2];
    for (auto& output : outputs) {
        WriteAll("Wykon.to!", request);
        std::ostringstream out, err;
        EXPECT_EQ(RunJpkCommand(f.t.program, {".", "--now", "2022-02-10T09:15:00"}, out, err), 0) << err.str();
        EXPECT_TRUE(Has(out.str(), "\"JPK\\JPK_VAT_2022-01_WQA-001_B.xml\" bez zakup\xc3\xb3w\n"));
        output = ReadAll("JPK/JPK_VAT_2022-01_WQA-001.XML");
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_EQ(outputs[0], Data("d_2022-01_expected.xml"));
    std::ostringstream out, err;
    EXPECT_EQ(RunJpkCommand(f.t.program, {"."}, out, err), 1);  // no request left
    EXPECT_EQ(RunJpkCommand(f.t.program, {".", "--now", "yesterday"}, out, err), 2);
}

}  // namespace
}  // namespace vel::jpk
