// The receipt job end to end: the real `vel-job receipt` with the system's shell
// starts the stand-in driver program, waits for its marker (one real wait of
// two seconds) and writes the reply.
#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

TEST(ReceiptCommand, PrintsThroughTheStandInDriverProgram) {
    vel::test::ScopedTempDir dir;
    const std::string receipt =
        "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n"
        "<PAR NR=\"0815\" SUMVAT=\"1.15\" SUMBRT=\"6.15\">\r\n"
        "<WIERSZ LP=\"1\" STVAT=\"23\" INDEKS=\"MLEKO\" ILOSC=\"1\" CENA=\"10\" UPUST=\"50\"/>\r\n"
        "</PAR>\r\n";
    vel::test::WriteAll(dir.path() / "Par0815.xml", receipt);

    const vel::test::Run run{{VEL_JOB_PROGRAM, "receipt", "Par0815.xml", "--driver-dir", VEL_RECEIPTS_DRIVER_DIR},
                  dir.path(),
                  {{"WQG_STANDIN_ANSWER", "   0. Paragon wydrukowany, numer 000000042"},
                   {"QT_QPA_PLATFORM", "offscreen"}},
                  dir.path() / "out.txt",
                  dir.path() / "err.txt"};
    ASSERT_EQ(RunProgram(run), 0) << vel::test::ReadAll(dir.path() / "err.txt");

    // Console lines end in CR LF on Windows.
    std::string out = vel::test::ReadAll(dir.path() / "out.txt");
    std::erase(out, '\r');
    EXPECT_EQ(out, "Rap0815.xml\n");
    EXPECT_EQ(vel::test::ReadAll(dir.path() / "WQG-got.{-}"), "0815;1.15;6.15\r\n23;MLEKO;1.0000;6.15\r\n");
    EXPECT_FALSE(fs::exists(dir.path() / "Par0815.xml"));
    EXPECT_EQ(vel::test::ReadAll(dir.path() / "Ok-0815.xml"), receipt);
    EXPECT_EQ(vel::test::ReadAll(dir.path() / "Rap0815.xml"),
              "<?xml version=\"1.0\" encoding=\"iso-8859-2\" standalone=\"yes\"?>\r\n\r\n"
              "<BACK IDDRUK=\"1\" NR=\"0815\" NRPAR=\"000000042\" KODBL=\" 0\" "
              "OPISBL=\"   0. Paragon wydrukowany, numer 000000042\"/>");
}

}  // namespace
