// Writes the seed corpus of the PCL fuzz target into the folder named by
// argv[1]: a realistic report job whole and cut at many points, random bytes,
// a 1 MB line, 0xFF everywhere, 10,000 form feeds and escape sequences with
// absurd parameters. The same files every run (fixed random seed).

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

namespace {

std::string g_dir;
int g_count = 0;

void Seed(const std::string& name, const std::string& bytes) {
    std::ofstream out(g_dir + "/" + std::to_string(g_count++) + "-" + name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Report(int pages) {
    const std::string crlf = "\r\n";
    std::string job = "\xff" "Raport Zak\xa2" "w\xff" "Wydruk z WQA.8.12 Rejestr   dla   Firma \xa5" "B  x" + crlf;
    job += "za okres 01-02-2024 do 28-02-2024 REJESTR SPRZEDAZY [KA1:2/3] C:\\DANE\\RAP.TXT" + crlf;
    job += "\x1b&l0O\x1b(17U\x1b&a2L\x1b(s16.67H\x1b&l8C" + crlf;
    for (int p = 0; p < pages; ++p) {
        job += "  \xc9" + std::string(60, '\xcd') + "\xbb" + crlf;
        for (int l = 0; l < 12; ++l) {
            job += "  \xba \x1b(s3BZa\xbe\xa2\x88\x86\x1b(s0B g\xa9\x98l\xab ja\xe4\t\x07\x15\x7f\x80 \xb3 " +
                   std::string(30, 'x') + " \xba" + crlf;
            if (l % 5 == 4) job += "  \xc7" + std::string(60, '\xc4') + "\xb6" + crlf;
        }
        job += "  \xc8" + std::string(60, '\xcd') + "\xbc" + crlf;
        job += "\x1b(s1S kursywa \x1b(s0S \x04\xfe\xda\xc4\xbf\xc0\xc5\xd9" + crlf;
        if (p + 1 < pages) job += "\f";
    }
    return job;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus FOLDER\n");
        return 2;
    }
    g_dir = argv[1];
    std::mt19937 random(20261208);
    auto bytes = [&](std::size_t n) {
        std::string s(n, '\0');
        for (char& c : s) c = static_cast<char>(random() & 0xFF);
        return s;
    };

    const std::string report = Report(3);
    Seed("report", report);
    Seed("landscape", "T\r\nU\r\nlost\r\n\x1b&l1Okept\r\n\fpage 2\r\n");
    // Truncated: every 41st length of the report, and every cut inside its
    // escape-sequence line.
    for (std::size_t n = 1; n < report.size(); n += 41) Seed("cut", report.substr(0, n));
    const std::size_t esc = report.find("\x1b&l0O");
    for (std::size_t n = esc; n < esc + 40 && n < report.size(); ++n) Seed("cut-esc", report.substr(0, n));

    for (int i = 0; i < 16; ++i) Seed("random", bytes(1 + random() % 65536));
    Seed("random-lines", [&] {
        std::string s;
        for (int i = 0; i < 400; ++i) s += bytes(random() % 200) + "\r\n";
        return s;
    }());

    Seed("1mb-line", "T\r\nU\r\n" + std::string(1 << 20, 'X'));
    Seed("1mb-line-crlf", "T\r\nU\r\n" + std::string(1 << 20, 'X') + "\r\nend\r\n");
    Seed("1mb-parameter", "T\r\nU\r\nabc\r\n\x1b(s" + std::string(1 << 20, '9') + "H");
    Seed("1mb-spaces", "T\r\nU\r\n" + std::string(1 << 20, ' ') + "x\r\n");

    Seed("ff-everywhere", std::string(65536, '\xff'));
    Seed("ff-in-lines", "\xff\r\n\xff\xff\r\n\xff" "abc\r\n\xff\xff\xff");
    Seed("10000-form-feeds", "T\r\nU\r\nabc\r\n" + std::string(10000, '\f'));
    Seed("10000-pages", "T\r\nU\r\n" + [] {
        std::string s;
        for (int i = 0; i < 10000; ++i) s += "line\r\n\f";
        return s;
    }());

    Seed("absurd-parameters",
         "T\r\nU\r\nabc\r\n\x1b(s0H\x1b(s-5H\x1b(s0.0000001H\x1b(s99999999H\x1b&l-8C\x1b&l99999999C"
         "\x1b&a-99999999L\r\x1b&a99999999L\rX\x1b(s.H\x1b(s+-1B\x1b&l2147483648Oq\r\n");
    Seed("only-escapes", "T\r\nU\r\n\x1b(s3B\r\n\x1b(s0B\r\n");
    Seed("empty", "");
    std::printf("%d seed files in %s\n", g_count, g_dir.c_str());
    return 0;
}
