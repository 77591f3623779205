#include "support/test_data.h"

#include <cstdlib>

namespace vel::test {

namespace fs = std::filesystem;

fs::path TestDataRoot() {
    if (const char* set = std::getenv("VEL_TESTDATA"); set && *set) return set;
    std::error_code ec;
    const fs::path beside = VEL_SHARED_DIR;
    return fs::is_directory(beside, ec) ? beside.lexically_normal() : fs::path();
}

std::optional<fs::path> FindTestData(const std::string& relative) {
    // The test command runs these tests once more without the data, found by
    // their suite's name: a test elsewhere would escape that check.
    if (const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        test && std::string(test->test_suite_name()).rfind("Published", 0) != 0) {
        ADD_FAILURE() << "a test of published data belongs to a suite named Published...";
    }
    const fs::path root = TestDataRoot();
    if (root.empty()) return std::nullopt;
    std::error_code ec;
    const fs::path file = root / relative;
    if (!fs::exists(file, ec)) return std::nullopt;
    return file;
}

std::string MissingTestData(const std::string& relative) {
    const fs::path root = TestDataRoot();
    if (root.empty()) {
        return "needs the published test data " + relative +
               ": set VEL_TESTDATA to its folder (no ../shared beside the checkout)";
    }
    return "needs the published test data " + relative + ", not in VEL_TESTDATA=" + root.string();
}

}  // namespace vel::test
