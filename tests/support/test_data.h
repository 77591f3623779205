#pragma once
// Published outside data that some tests check the program against when it
// is there: the bank's real yearly archive, the ministry's JPK schemas. One
// setting names its folder, VEL_TESTDATA; without it, the folder "shared"
// beside the checkout when that exists. A test whose file is not there is
// skipped with one line that names the setting, never failed or passed.
//
// Such tests belong to suites whose names begin with "Published", so the
// test command can run them alone.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace vel::test {

// The folder VEL_TESTDATA names, else "../shared" beside the checkout when it
// exists; empty when there is none.
std::filesystem::path TestDataRoot();

// The file or folder `relative` under that root, when it is there.
std::optional<std::filesystem::path> FindTestData(const std::string& relative);

// The one-line reason a test gives when `relative` is missing.
std::string MissingTestData(const std::string& relative);

}  // namespace vel::test

// Declares `var` as the path of `relative` under the test data, or skips the
// test (in a test body or SetUp).
#define VEL_REQUIRE_TESTDATA(var, relative)                                            \
    const std::optional<std::filesystem::path> var##_found = ::vel::test::FindTestData(relative); \
    if (!var##_found) GTEST_SKIP() << ::vel::test::MissingTestData(relative);          \
    const std::filesystem::path var = *var##_found
