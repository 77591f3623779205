#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vel {
class Program;
}

namespace vel::receipts {

inline constexpr const char* kDriverMarker = "Wrk-WQG.{-}";
inline constexpr const char* kDriverAnswer = "WQG.{-}";
inline constexpr const char* kDriverProgram = "WQG.exe";
inline constexpr int kDriverTries = 44;
inline constexpr int kDriverTryMs = 2000;

// Validates one receipt file and hands it to the fiscal driver. The name is
// normally bare ("Par0815.xml", under the work prefix); a name that holds a
// folder names the folder of all the receipt's files instead.
void ProcessReceipt(Program& program, const std::string& name);

// `vel-job receipt PARFILE [--driver-dir DIR]`. Returns the exit code.
int RunReceiptCommand(Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The receipt's file name less its first and last three characters, letters
// A-Z lower-cased: "Par0815.xml" gives "0815.".
std::string ReceiptId(std::string_view bareName);

// folder + prefix + id + extension.
std::string ReceiptFileName(std::string_view folder, std::string_view id, std::string_view prefix,
                            std::string_view extension);

// Deletes the third file, renames the second to the third and the first to
// the second; a step that fails (a missing file) is skipped.
void RotateReceiptFiles(const std::string& first, const std::string& second, const std::string& third);

// The lines of a file after its first line holding "<?xml", each with CR LF.
// At least one line comes out, so a file without such a line (or whose
// "<?xml" line is its last) gives one empty line.
std::string CopyXmlBody(std::string_view sourceBytes);

// The message of a shell result code that means the driver did not start,
// or empty when the code counts as started.
std::string DriverStartError(int code);

// The reply element of a job: "<BACK IDDRUK=... />" with its declaration.
std::string ReplyText(std::string_view nr, std::string_view receiptNumber, std::string_view message);

}  // namespace vel::receipts
