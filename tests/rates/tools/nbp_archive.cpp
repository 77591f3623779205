// `vel_nbp_archive YEAR FILE`: writes the tests' made-up year of the central
// bank's archive (the sample currencies, every working day of YEAR) for the
// end-to-end checks of the programs, which offer it as a finished download.

#include "support/nbp_archive.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vel_nbp_archive YEAR FILE\n");
        return 2;
    }
    const int year = std::atoi(argv[1]);
    if (year < 2000 || year > 2100) {
        std::fprintf(stderr, "vel_nbp_archive: not a year: %s\n", argv[1]);
        return 2;
    }
    const std::string csv = vel::test::MakeArchive(vel::test::SampleYear(year)).csv;
    std::ofstream out(argv[2], std::ios::binary);
    out.write(csv.data(), static_cast<std::streamsize>(csv.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "vel_nbp_archive: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
