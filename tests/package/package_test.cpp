// The .deb as a user gets it: made by CPack from this build, unpacked with
// dpkg -x into a scratch root, and its program run from there.
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace vel::test {
namespace {

namespace fs = std::filesystem;

// Runs a shell command with its output in `log`; the exit status.
int Shell(const std::string& command, const fs::path& log) {
    const int rc = std::system((command + " > '" + log.string() + "' 2>&1").c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

// The .deb CPack makes from this build, in `dir`/out; empty when it made none.
fs::path MakeDeb(const ScopedTempDir& dir, const fs::path& log) {
    if (Shell(std::string("'") + VEL_CPACK + "' --config '" + VEL_CPACK_CONFIG + "' -B '" + dir.file("out") + "'",
              log) != 0)
        return {};
    for (const auto& entry : fs::directory_iterator(dir.path() / "out")) {
        if (entry.path().extension() == ".deb") return entry.path();
    }
    return {};
}

TEST(DebianPackage, UnpackedIntoAScratchRootItRunsAndNeedsOnlyRunTimePackages) {
    ScopedTempDir dir;
    const fs::path log = dir.path() / "log.txt";
    const fs::path deb = MakeDeb(dir, log);
    ASSERT_FALSE(deb.empty()) << ReadAll(log);

    ASSERT_EQ(Shell("dpkg-deb -f '" + deb.string() + "' Depends", log), 0) << ReadAll(log);
    const std::string depends = ReadAll(log);
    for (const char* needed : {"libqt6widgets6", "libqt6printsupport6", "libc6", "zlib1g", "cups-client",
                               "fonts-liberation2"}) {
        EXPECT_TRUE(Has(depends, needed)) << needed << " missing from: " << depends;
    }
    for (const char* buildOnly : {"-dev", "cmake", "g++", "ninja", "gtest", "libreoffice"}) {
        EXPECT_FALSE(Has(depends, buildOnly)) << buildOnly << " in: " << depends;
    }

    const fs::path root = dir.path() / "root";
    ASSERT_EQ(Shell("dpkg -x '" + deb.string() + "' '" + root.string() + "'", log), 0) << ReadAll(log);
    ASSERT_EQ(Shell("'" + (root / "usr/bin/vel-job").string() + "' --help", log), 0) << ReadAll(log);
    EXPECT_TRUE(Has(ReadAll(log), "usage: vel-job KIND ARGS...\n  print JOBFILE")) << ReadAll(log);

    EXPECT_EQ(access((root / "usr/bin/vel").c_str(), X_OK), 0);
    EXPECT_EQ(access((root / "usr/libexec/vel/vel-calc-bridge.py").c_str(), X_OK), 0);
    const std::string menu = ReadAll(root / "usr/share/applications/vel.desktop");
    EXPECT_TRUE(Has(menu, "\nExec=vel\n")) << menu;
    EXPECT_TRUE(Has(menu, "\nIcon=vel\n")) << menu;
    EXPECT_TRUE(Has(ReadAll(root / "usr/share/icons/hicolor/scalable/apps/vel.svg"), "<svg"));
    // Not started at login until the user copies it into ~/.config/autostart.
    EXPECT_FALSE(fs::exists(root / "etc/xdg/autostart"));
    EXPECT_TRUE(Has(ReadAll(root / "usr/share/vel/autostart/vel.desktop"), "\nExec=vel x\n"));
}

// What a distribution asks of a package: lintian finds no error and no
// warning, and `man vel` and `man vel-job` work.
TEST(DebianPackage, PassesLintianAndCarriesItsManualPages) {
    ScopedTempDir dir;
    const fs::path log = dir.path() / "log.txt";
    const fs::path deb = MakeDeb(dir, log);
    ASSERT_FALSE(deb.empty()) << ReadAll(log);

    // Exit 0 also with info tags; E: and W: lines are what must not be.
    ASSERT_EQ(Shell("lintian --allow-root --fail-on error,warning '" + deb.string() + "'", log), 0) << ReadAll(log);
    const std::string tags = ReadAll(log);
    EXPECT_FALSE(Has(tags, "E: ") || Has(tags, "W: ")) << tags;

    ASSERT_EQ(Shell("dpkg -c '" + deb.string() + "'", log), 0) << ReadAll(log);
    const std::string contents = ReadAll(log);
    for (const char* file : {"./usr/share/man/man1/vel.1.gz", "./usr/share/man/man1/vel-job.1.gz",
                             "./usr/share/doc/vel/copyright", "./usr/share/doc/vel/changelog.gz"}) {
        EXPECT_TRUE(Has(contents, file)) << file << " missing from: " << contents;
    }

    const fs::path root = dir.path() / "root";
    ASSERT_EQ(Shell("dpkg -x '" + deb.string() + "' '" + root.string() + "'", log), 0) << ReadAll(log);
    struct Page {
        const char* file;
        const char* nameLine;
    };
    const Page pages[] = {
        {"vel.1.gz", "vel - clock window that prints and converts"},
        {"vel-job.1.gz", "vel-job - run one job of Vel without its window"},
    };
    for (const Page& page : pages) {
        SCOPED_TRACE(page.file);
        const fs::path warnings = dir.path() / "warnings.txt";
        // The groff warnings apart from the page itself.
        ASSERT_EQ(Shell("{ MANWIDTH=80 man --warnings -l '" + (root / "usr/share/man/man1" / page.file).string() +
                            "' 2>'" + warnings.string() + "'; }",
                        log),
                  0)
            << ReadAll(log);
        EXPECT_TRUE(Has(ReadAll(log), page.nameLine)) << ReadAll(log);
        EXPECT_EQ(ReadAll(warnings), "");
    }
    for (const char* entry : {"usr/share/applications/vel.desktop", "usr/share/vel/autostart/vel.desktop"}) {
        EXPECT_EQ(Shell("desktop-file-validate '" + (root / entry).string() + "'", log), 0) << entry << ": "
                                                                                               << ReadAll(log);
    }
}

}  // namespace
}  // namespace vel::test
