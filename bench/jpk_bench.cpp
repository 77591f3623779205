// Merge speed of the JPK register writers on large register files, against
// `xmllint --stream --noout` on the same files as a reference.
//
//   jpk_bench [MB ...]      (default: 25 50 100)
//
// For each size it writes register files holding that many megabytes of
// sales and purchase rows in equal numbers (two sibling programs, A and B),
// runs one `Int` request over them in a child process (so that the peak
// resident memory of the merge alone can be read) and prints MB/s, the
// xmllint time and the peak memory next to the largest register file.

#include "common/program.h"
#include "jpk/jpk_request.h"
#include "support/fake_platform.h"
#include "platform/status_line.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The real status label keeps no history; neither does this one.
class QuietStatusLine : public vel::platform::StatusLine {
public:
    std::string text() override { return text_; }
    void setText(const std::string& text) override { text_ = text; }
    bool fits(const std::string& text) override { return text.size() < 40; }
    void setHint(const std::string&) override {}

private:
    std::string text_;
};

const char* kPeriod = "2022-01";

std::string SalesRow(long n) {
    return "    <SprzedazWiersz>\r\n      <LpSprzedazy>" + std::to_string(n) +
           "</LpSprzedazy>\r\n      <NrKontrahenta>5260250274</NrKontrahenta>\r\n"
           "      <NazwaKontrahenta>Przedsiebiorstwo Handlowo-Uslugowe Kontrahent numer " +
           std::to_string(n) +
           " Spolka z ograniczona odpowiedzialnoscia</NazwaKontrahenta>\r\n"
           "      <DowodSprzedazy>FV " +
           std::to_string(n) +
           "/01/2022</DowodSprzedazy>\r\n      <DataWystawienia>2022-01-15</DataWystawienia>\r\n"
           "      <DataSprzedazy>2022-01-15</DataSprzedazy>\r\n      <K_19>1234.56</K_19>\r\n"
           "      <K_20>283.95</K_20>\r\n    </SprzedazWiersz>\r\n";
}

std::string PurchaseRow(long n) {
    return "    <ZakupWiersz>\r\n      <LpZakupu>" + std::to_string(n) +
           "</LpZakupu>\r\n      <NrDostawcy>7740001454</NrDostawcy>\r\n"
           "      <NazwaDostawcy>Hurtownia Materialow Biurowych i Artykulow Papierniczych dostawca " +
           std::to_string(n) +
           "</NazwaDostawcy>\r\n      <DowodZakupu>FZ " + std::to_string(n) +
           "/2022</DowodZakupu>\r\n      <DataZakupu>2022-01-10</DataZakupu>\r\n"
           "      <DataWplywu>2022-01-11</DataWplywu>\r\n      <K_42>456.78</K_42>\r\n"
           "      <K_43>105.06</K_43>\r\n    </ZakupWiersz>\r\n";
}

// Writes one register file with `rows` sales and `rows` purchase rows;
// returns its size.
std::uintmax_t WriteRegister(const fs::path& path, long rows) {
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<JPK xmlns=\"http://crd.gov.pl/wzor/2021/12/27/11148/\">\r\n"
           "  <Ewidencja>\r\n";
    for (long i = 1; i <= rows; ++i) out << SalesRow(i);
    out << "    <SprzedazCtrl>\r\n      <LiczbaWierszySprzedazy>" << rows
        << "</LiczbaWierszySprzedazy>\r\n    </SprzedazCtrl>\r\n";
    for (long i = 1; i <= rows; ++i) out << PurchaseRow(i);
    out << "    <ZakupCtrl>\r\n      <LiczbaWierszyZakupow>" << rows
        << "</LiczbaWierszyZakupow>\r\n    </ZakupCtrl>\r\n  </Ewidencja>\r\n</JPK>\r\n";
    out.close();
    return fs::file_size(path);
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds(const struct rusage& u) {
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

double ChildrenCpuSeconds() {
    struct rusage u {};
    getrusage(RUSAGE_CHILDREN, &u);
    return CpuSeconds(u);
}

// Runs the request in a child process; returns its wall time, CPU time and
// peak RSS (KB).
bool RunMerge(const fs::path& folder, double& seconds, double& cpu, long& peakKb) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        fs::current_path(folder);
        vel::platform::FakePrinter printer;
        vel::platform::FakeClipboard clipboard;
        vel::platform::FakeShell shell;
        vel::platform::FakeClock clock;
        vel::platform::FakeEventPump events;
        QuietStatusLine status;
        vel::platform::FakeSpreadsheet spreadsheet;
        vel::Program program(vel::Services{printer, clipboard, shell, clock, events, status, spreadsheet},
                             vel::Jobs{});
        vel::jpk::RunRequestFile(program);
        _exit(fs::exists("JPK/JPK_VAT_2022-01_WQA-001.XML") ? 0 : 1);
    }
    int wstatus = 0;
    struct rusage usage {};
    wait4(pid, &wstatus, 0, &usage);
    seconds = Seconds(std::chrono::steady_clock::now() - start);
    peakKb = usage.ru_maxrss;
    cpu = CpuSeconds(usage);
    return WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0;
}

double XmllintSeconds(const std::vector<fs::path>& files, double& cpu) {
    const double cpuBefore = ChildrenCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (const auto& f : files) {
        const std::string command = "xmllint --stream --noout '" + f.string() + "'";
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "xmllint failed on %s\n", f.c_str());
    }
    cpu = ChildrenCpuSeconds() - cpuBefore;
    return Seconds(std::chrono::steady_clock::now() - start);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {25, 50, 100};

    const fs::path root = fs::temp_directory_path() / ("jpk-bench-" + std::to_string(getpid()));
    std::printf("%6s %8s %8s %8s %8s %9s %9s %9s %8s %8s %9s %9s\n", "MB", "rows", "merge s", "cpu s", "MB/s",
                "lint s", "lint cpu", "lint MB/s", "ratio", "cpu rat.", "peak MB", "largest");
    for (int mb : sizes) {
        fs::remove_all(root);
        fs::create_directories(root / "JPK");
        const double bytesPerRowPair = SalesRow(99999).size() + PurchaseRow(99999).size();
        const long rowsPerFile = static_cast<long>(mb * 1e6 / bytesPerRowPair / 2);
        std::vector<fs::path> files;
        std::uintmax_t total = 0, largest = 0;
        for (char letter : {'A', 'B'}) {
            files.push_back(root / "JPK" / (std::string("JPK_VAT_") + kPeriod + "_WQA-001_" + letter + ".xml"));
            const auto size = WriteRegister(files.back(), rowsPerFile);
            total += size;
            largest = std::max(largest, size);
        }
        std::ofstream(root / "Wykon.to!", std::ios::binary)
            << "Int\r\nJPK\\JPK_VAT_" << kPeriod
            << "_WQA-001\r\nRej AB\r\nCel 1\r\nNIP 5260250274\r\nPNa Firma\r\nEma a@b.pl\r\nKUr 0611\r\nDir .\r\n";

        double merge = 0, mergeCpu = 0, lintCpu = 0;
        long peakKb = 0;
        if (!RunMerge(root, merge, mergeCpu, peakKb)) {
            std::fprintf(stderr, "merge failed at %d MB\n", mb);
            return 1;
        }
        const double lint = XmllintSeconds(files, lintCpu);
        const double totalMb = total / 1e6;
        std::printf("%6.1f %8ld %8.3f %8.3f %8.1f %9.3f %9.3f %9.1f %8.2f %8.2f %9.1f %9.1f\n", totalMb,
                    4 * rowsPerFile, merge, mergeCpu, totalMb / merge, lint, lintCpu, totalMb / lint, merge / lint,
                    mergeCpu / lintCpu, peakKb / 1024.0, largest / 1e6);
        std::fflush(stdout);
    }
    fs::remove_all(root);
    return 0;
}
