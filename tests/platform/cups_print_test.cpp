// Printing through a real CUPS server: the test starts its own cupsd on a
// private socket with a cups-pdf queue, prints through QtPrinter and finds the
// PDF that cups-pdf writes. An aborted document must never reach the queue.

#include "platform/qt/qt_printer.h"

#include "common/format.h"
#include "common/io.h"
#include "qt_test_support.h"
#include "support/temp_dir.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vel::platform {
namespace {

namespace fs = std::filesystem;

// The folder cups-pdf writes into for the current user ("Out" of its
// configuration, ${HOME} and ${USER} expanded).
fs::path CupsPdfOutFolder() {
    std::string out = "/var/spool/cups-pdf/${USER}";
    std::ifstream conf("/etc/cups/cups-pdf.conf");
    for (std::string line; std::getline(conf, line);) {
        if (line.rfind("Out ", 0) == 0) out = line.substr(4);
    }
    const passwd* pw = getpwuid(getuid());
    const std::string home = pw ? pw->pw_dir : "/root";
    const std::string user = pw ? pw->pw_name : "root";
    for (auto [key, value] : {std::pair<std::string, std::string>{"${HOME}", home}, {"${USER}", user}}) {
        for (auto at = out.find(key); at != std::string::npos; at = out.find(key)) out.replace(at, key.size(), value);
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\r')) out.pop_back();
    return out;
}

// A cupsd of the test's own, listening on a socket in a temporary folder.
class PrivateCups {
public:
    PrivateCups() {
        char tmpl[] = "/tmp/vel-cups-XXXXXX";
        if (!mkdtemp(tmpl)) {
            error_ = "cannot create a folder for cupsd";
            return;
        }
        root_ = tmpl;
        for (const char* sub : {"spool", "cache", "state", "log", "ppd"}) fs::create_directories(root_ / sub);
        fs::create_directories(root_ / "tmp");
        // cupsd runs its filters as the user lp: they need the folders.
        fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
        fs::permissions(root_ / "tmp", fs::perms::all | fs::perms::sticky_bit);
        socket_ = (root_ / "cups.sock").string();
        std::ofstream(root_ / "cupsd.conf") << "Listen " << socket_ << "\n"
                                            << "LogLevel warn\nWebInterface No\nBrowsing Off\n"
                                               "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                               "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                               "  </Limit>\n</Policy>\n";
        std::ofstream(root_ / "cups-files.conf")
            << "ServerRoot " << root_.string() << "\nRequestRoot " << (root_ / "spool").string() << "\nCacheDir "
            << (root_ / "cache").string() << "\nStateDir " << (root_ / "state").string() << "\nTempDir "
            << (root_ / "tmp").string() << "\nErrorLog " << (root_ / "log/error_log").string() << "\nAccessLog "
            << (root_ / "log/access_log").string() << "\nPageLog " << (root_ / "log/page_log").string()
            << "\nSystemGroup root\n";

        if (access("/usr/sbin/cupsd", X_OK) != 0) {
            error_ = "/usr/sbin/cupsd is not installed (package cups)";
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", (root_ / "cupsd.conf").c_str(), "-s",
                  (root_ / "cups-files.conf").c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        setenv("CUPS_SERVER", socket_.c_str(), 1);
        cupsSetServer(socket_.c_str());
        // Up when `lpstat -r` says so.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (test::Capture("lpstat -r 2>&1").find("scheduler is running") == std::string::npos) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                error_ = "cupsd ended at once (status " + std::to_string(status) + "): " + log();
                return;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                error_ = "cupsd did not answer within 15 s: " + log();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~PrivateCups() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        unsetenv("CUPS_SERVER");
        cupsSetServer(nullptr);
        std::error_code ec;
        if (!root_.empty()) fs::remove_all(root_, ec);
    }
    const std::string& error() const { return error_; }
    std::string log() const { return test::Capture("cat " + test::Quote((root_ / "log/error_log").string()) + " 2>&1"); }

private:
    fs::path root_;
    std::string socket_;
    pid_t pid_ = -1;
    std::string error_;
};

// The newest file in `folder` whose name holds `token`, waiting up to 60 s.
fs::path WaitForPdf(const fs::path& folder, const std::string& token) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(folder, ec)) {
            const std::string name = e.path().filename().string();
            // cups-pdf writes the file first and has it whole when the job completes.
            if (name.find(token) != std::string::npos && test::PdfPages(e.path().string()) > 0) return e.path();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
}

bool AnyFileHolds(const fs::path& folder, const std::string& token) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.path().filename().string().find(token) != std::string::npos) return true;
    return false;
}

TEST(CupsPrinting, TwoPagesArriveAsPdfAndAnAbortedDocumentNever) {
    test::QtApp();
    PrivateCups cups;
    ASSERT_TRUE(cups.error().empty()) << cups.error();
    const std::string add = test::Capture("lpadmin -p PDF -v cups-pdf:/ -E -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>&1; echo rc=$?");
    ASSERT_NE(add.find("rc=0"), std::string::npos) << add;

    QtPrinter printer;
    const auto names = printer.printerNames();
    ASSERT_NE(std::find(names.begin(), names.end(), "PDF"), names.end()) << ::testing::PrintToString(names);
    ASSERT_NE(std::find(names.begin(), names.end(), kPdfPrinterName), names.end());
    ASSERT_TRUE(printer.setCurrent("PDF"));
    // The queue's description gives 300 dpi as its default resolution.
    EXPECT_EQ(printer.resolution(), 300);
    EXPECT_GT(printer.pageWidth(), 2300);
    EXPECT_LT(printer.pageWidth(), 2560);

    const fs::path out = CupsPdfOutFolder();
    const std::string stamp = std::to_string(getpid()) + "x" + std::to_string(std::time(nullptr));
    const std::string aborted = "VelAbort" + stamp;
    const std::string printed = "VelCups" + stamp;

    printer.beginDoc(aborted);
    printer.canvas().drawText({100, 100}, "porzucony", Font{"Courier New", 12});
    printer.abortDoc();

    // The user picks another printer while the document prints: the
    // document still goes where it began.
    test::ScopedTempDir pdfDir;
    setenv("VEL_PDF_DIR", pdfDir.path().c_str(), 1);
    printer.beginDoc(printed);
    printer.canvas().drawText({100, 100}, "Strona 1", Font{"Courier New", 12});
    printer.newPage();
    ASSERT_TRUE(printer.setCurrent(kPdfPrinterName));
    printer.canvas().drawText({100, 100}, "Strona 2", Font{"Courier New", 12});
    printer.endDoc();
    unsetenv("VEL_PDF_DIR");
    EXPECT_TRUE(fs::is_empty(pdfDir.path()));

    const fs::path pdf = WaitForPdf(out, printed);
    ASSERT_FALSE(pdf.empty()) << "no PDF with " << printed << " in " << out << "\n" << cups.log();
    EXPECT_EQ(test::PdfPages(pdf.string()), 2);
    // (cups-pdf rewrites the fonts through Ghostscript without their
    // character map, so the text cannot be read back here; the built-in PDF
    // printer's test reads it.)
    // Jobs of one queue run in order: the aborted one would have come first.
    EXPECT_FALSE(AnyFileHolds(out, aborted));
    const std::string jobs = test::Capture("lpstat -W all -o PDF 2>&1");
    EXPECT_EQ(jobs.find(aborted), std::string::npos) << jobs;
    std::error_code ec;
    if (!HasFailure()) fs::remove(pdf, ec);
}

// A queue whose description names no resolution prints at 600 dpi.
TEST(CupsPrinting, UnknownResolutionMeans600Dpi) {
    test::QtApp();
    PrivateCups cups;
    ASSERT_TRUE(cups.error().empty()) << cups.error();
    const std::string add = test::Capture("lpadmin -p Raw -v cups-pdf:/ -E 2>&1; echo rc=$?");
    ASSERT_NE(add.find("rc=0"), std::string::npos) << add;
    QtPrinter printer;
    ASSERT_TRUE(printer.setCurrent("Raw"));
    EXPECT_EQ(printer.resolution(), 600);
    EXPECT_EQ(PrinterDpi(printer), 600);
}

TEST(CupsPrinting, LpRefusalRaises) {
    test::QtApp();
    PrivateCups cups;
    ASSERT_TRUE(cups.error().empty()) << cups.error();
    const std::string add = test::Capture("lpadmin -p Gone -v cups-pdf:/ -E -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>&1; echo rc=$?");
    ASSERT_NE(add.find("rc=0"), std::string::npos) << add;
    QtPrinter printer;
    ASSERT_TRUE(printer.setCurrent("Gone"));
    // The queue disappears between the choice and the end of the document.
    test::Capture("lpadmin -x Gone 2>&1");
    printer.beginDoc("VelGone");
    printer.canvas().drawText({100, 100}, "x", Font{});
    EXPECT_THROW(printer.endDoc(), IoError);
    EXPECT_FALSE(printer.printing());
}

}  // namespace
}  // namespace vel::platform
