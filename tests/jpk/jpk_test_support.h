#pragma once
// Shared helpers of the JPK tests: test data, schema validation.

#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace vel::jpk::test {

inline std::filesystem::path DataFile(const std::string& name) {
    return std::filesystem::path(JPK_DATA_DIR) / name;
}

inline std::string Data(const std::string& name) { return vel::test::ReadAll(DataFile(name)); }

// Runs xmllint against the published schema; the log names the first fault.
// Fails when xmllint is missing: a check that cannot run is no pass.
inline ::testing::AssertionResult ValidAgainst(const std::filesystem::path& file, const std::filesystem::path& xsd) {
    const std::string log = file.string() + ".xmllint.log";
    const std::optional<std::string> xmllint = vel::test::HostTool("xmllint");
    if (!xmllint) return ::testing::AssertionFailure() << "no xmllint (libxml2-utils) to check " << file;
    const int rc = vel::test::RunHostTool(
        {*xmllint, "--nonet", "--noout", "--schema", vel::test::HostPath(xsd), vel::test::HostPath(file)}, log);
    if (rc == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "xmllint: " << vel::test::ReadAll(log);
}

// A status line wide enough for every message, so tests see them whole.
class WideStatusLine : public platform::FakeStatusLine {
public:
    bool fits(const std::string&) override { return true; }
};

// A program wired to the fakes, with the wide status line.
struct JpkTestProgram {
    vel::test::TestProgram t;
    WideStatusLine status;
    Program program{Services{t.printer, t.clipboard, t.shell, t.clock, t.events, status, t.spreadsheet}, Jobs{}};

    bool Shown(const std::string& message) const {
        for (const auto& s : status.history) {
            if (s == message) return true;
        }
        return false;
    }
};

}  // namespace vel::jpk::test
