// The start of every test program. On a user's desktop, constructing the Qt
// application applies the environment's locale to the C library (a decimal
// comma under pl_PL.UTF-8); the tests start the same way, so that the run
// under LANG=pl_PL.UTF-8 that scripts/test.sh makes shows every number that
// follows the locale. Qt leaves the C++ streams' global locale alone, and so
// does this.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
