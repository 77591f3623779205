// Time of the whole CUPS printing chain for PDF files: a private cupsd with a
// queue on CUPS's sample LaserJet driver whose device is a network printer on
// a loopback port; each file is handed to the queue with lp and timed until
// the printer has received the whole job. Prints seconds per page.
//
//   build/bench/print_chain_bench FILE.pdf PAGES [FILE.pdf PAGES ...]

#include "support/bitmap.h"
#include "support/private_cups.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 != 1) {
        std::fprintf(stderr, "usage: %s FILE.pdf PAGES [FILE.pdf PAGES ...]\n", argv[0]);
        return 2;
    }
    vel::test::PrivateCups cups;
    if (!cups.error().empty()) {
        std::fprintf(stderr, "%s\n", cups.error().c_str());
        return 1;
    }
    vel::test::LoopbackPrinter printer;
    if (!printer.error().empty()) {
        std::fprintf(stderr, "%s\n", printer.error().c_str());
        return 1;
    }
    const std::string add = vel::test::RunCommand("lpadmin -p LaserJet -v socket://127.0.0.1:" +
                                                  std::to_string(printer.port()) +
                                                  " -m drv:///sample.drv/laserjet.ppd -o PageSize=A4 -E 2>&1; echo rc=$?");
    if (add.find("rc=0") == std::string::npos) {
        std::fprintf(stderr, "lpadmin: %s\n", add.c_str());
        return 1;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const int pages = std::atoi(argv[i + 1]);
        const auto start = std::chrono::steady_clock::now();
        vel::test::RunCommand(std::string("lp -d LaserJet -- '") + argv[i] + "' >/dev/null 2>&1");
        const auto jobs = printer.waitForJobs(static_cast<std::size_t>(i / 2 + 1), std::chrono::seconds(3600));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (jobs.size() != static_cast<std::size_t>(i / 2 + 1)) {
            std::fprintf(stderr, "%s did not arrive: %s\n", argv[i], cups.log().c_str());
            return 1;
        }
        std::printf("%s %.3f s/page %.1f MB received\n", argv[i], seconds / pages, jobs.back().size() / 1048576.0);
    }
    return 0;
}
