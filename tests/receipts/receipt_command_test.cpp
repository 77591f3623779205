// The receipt job end to end: the real `vel-job receipt` with the system's shell
// starts the stand-in driver program, waits for its marker (one real wait of
// two seconds) and writes the reply.
#include "support/locale.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

using vel::test::RunProgram;

const std::string kDriver = std::string(VEL_RECEIPTS_DRIVER_DIR) + "/WQG.exe";

TEST(StandInDriver, AnswersThenMarksOrStaysSilent) {
    vel::test::ScopedTempDir dir;
    vel::test::WriteAll(dir.path() / "PAR.PAS", "1;2;3\r\n");

    ASSERT_EQ(RunProgram({{kDriver, "PAR.PAS"}, dir.path(), {{"WQG_STANDIN_ANSWER", " 12. Brak papieru"}}}), 0);
    EXPECT_EQ(vel::test::ReadAll(dir.path() / "WQG.{-}"), "WQG stand-in\r\n 12. Brak papieru\r\n");
    EXPECT_TRUE(fs::exists(dir.path() / "Wrk-WQG.{-}"));
    EXPECT_EQ(vel::test::ReadAll(dir.path() / "WQG-got.{-}"), "1;2;3\r\n");

    fs::remove(dir.path() / "WQG.{-}");
    fs::remove(dir.path() / "Wrk-WQG.{-}");
    vel::test::WriteAll(dir.path() / "WQG-standin.cfg", "never=1\r\n");
    ASSERT_EQ(RunProgram({{kDriver, "PAR.PAS"}, dir.path()}), 0);
    EXPECT_FALSE(fs::exists(dir.path() / "WQG.{-}"));
    EXPECT_FALSE(fs::exists(dir.path() / "Wrk-WQG.{-}"));

    // Without its hand-off file it answers nothing and fails.
    EXPECT_NE(RunProgram({{kDriver, "MISSING.PAS"}, dir.path(), {{"WQG_STANDIN_NEVER", "0"}}}), 0);
    EXPECT_FALSE(fs::exists(dir.path() / "Wrk-WQG.{-}"));
}

// Every file of the folder, by name.
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) files[e.path().filename().string()] = vel::test::ReadAll(e.path());
    return files;
}

// Under the users' pl_PL locale (decimal comma) the prices must still read
// and the hand-off, reply and log files come out byte for byte as under C.
// (A Windows program takes its locale from the user's settings, not from
// LANG: there the plain run alone.)
TEST(ReceiptCommand, PrintsThroughTheStandInDriverProgramUnderEitherLocale) {
    const std::string receipt =
        "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n"
        "<PAR NR=\"0815\" SUMVAT=\"2.83\" SUMBRT=\"15.90\">\r\n"
        "<WIERSZ LP=\"1\" STVAT=\"23\" INDEKS=\"MLEKO\" ILOSC=\"1\" CENA=\"10\" UPUST=\"50\"/>\r\n"
        "<WIERSZ LP=\"2\" STVAT=\"23\" INDEKS=\"ser-gouda\" ILOSC=\"2\" CENA=\"7.40\" UPUST=\"0\"/>\r\n"
        "<WIERSZ LP=\"3\" STVAT=\"8\" INDEKS=\"bulka\" ILOSC=\"1.5\" CENA=\"0.60\" UPUST=\"0\"/>\r\n"
        "</PAR>\r\n";
    std::map<std::string, std::string> plain;
    for (const char* locale : vel::test::kBothLocales) {
        if (vel::test::OnWindows() && locale != vel::test::kPlainLocale) continue;
        SCOPED_TRACE(locale);
        ASSERT_TRUE(vel::test::LocaleGenerated(locale)) << "scripts/install-deps.sh generates it";
        vel::test::ScopedTempDir dir;
        vel::test::WriteAll(dir.path() / "Par0815.xml", receipt);
        const vel::test::Run run{{VEL_JOB_PROGRAM, "receipt", "Par0815.xml", "--driver-dir", VEL_RECEIPTS_DRIVER_DIR},
                                 dir.path(),
                                 {{"WQG_STANDIN_ANSWER", "   0. Paragon wydrukowany, numer 000000042"},
                                  {"QT_QPA_PLATFORM", "offscreen"},
                                  {"LANG", locale},
                                  {"LC_ALL", locale}},
                                 dir.path() / "out.txt",
                                 dir.path() / "err.txt"};
        ASSERT_EQ(RunProgram(run), 0) << vel::test::ReadAll(dir.path() / "err.txt");
        const std::map<std::string, std::string> files = Files(dir.path());
        if (locale != vel::test::kPlainLocale) {
            EXPECT_EQ(files, plain);
            continue;
        }
        plain = files;
        // Console lines end in CR LF on Windows.
        std::string out = vel::test::ReadAll(dir.path() / "out.txt");
        std::erase(out, '\r');
        EXPECT_EQ(out, "Rap0815.xml\n");
        EXPECT_EQ(vel::test::ReadAll(dir.path() / "WQG-got.{-}"),
                  "0815;2.83;15.9\r\n23;MLEKO;1.0000;6.15\r\n23;ser-gouda;2.0000;9.10\r\n8;bulka;1.5000;0.65\r\n");
        EXPECT_FALSE(fs::exists(dir.path() / "Par0815.xml"));
        EXPECT_EQ(vel::test::ReadAll(dir.path() / "Ok-0815.xml"), receipt);
        EXPECT_EQ(vel::test::ReadAll(dir.path() / "Rap0815.xml"),
                  "<?xml version=\"1.0\" encoding=\"iso-8859-2\" standalone=\"yes\"?>\r\n\r\n"
                  "<BACK IDDRUK=\"1\" NR=\"0815\" NRPAR=\"000000042\" KODBL=\" 0\" "
                  "OPISBL=\"   0. Paragon wydrukowany, numer 000000042\"/>");
    }
}

}  // namespace
