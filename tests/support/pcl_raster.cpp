#include "support/pcl_raster.h"

#include <algorithm>
#include <cctype>

namespace vel::test {

bool PclRasterPage::black(int x, int y) const {
    if (y < 0 || y >= static_cast<int>(rows.size()) || x < 0) return false;
    const std::string& row = rows[static_cast<std::size_t>(y)];
    const auto byte = static_cast<std::size_t>(x / 8);
    return byte < row.size() && (static_cast<unsigned char>(row[byte]) >> (7 - x % 8) & 1);
}

namespace {

// TIFF PackBits: a count byte n, then n + 1 literal bytes (n < 128) or one
// byte repeated 257 - n times (n > 128); 128 is no operation.
bool Unpack(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size();) {
        const auto n = static_cast<unsigned char>(in[i++]);
        if (n < 128) {
            if (i + n + 1 > in.size()) return false;
            out.append(in.substr(i, n + 1u));
            i += n + 1u;
        } else if (n > 128) {
            if (i >= in.size()) return false;
            out.append(257u - n, in[i++]);
        }
    }
    return true;
}

// Delta row: command bytes of 3 bits count (bytes to replace, less one) and
// 5 bits offset (from the end of the last replaced byte), the offset going on
// in further bytes while they are 255 (offset 31) or 255.
bool DeltaRow(std::string_view in, std::string& seed) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < in.size();) {
        const auto command = static_cast<unsigned char>(in[i++]);
        const std::size_t count = (command >> 5) + 1u;
        std::size_t offset = command & 31u;
        if (offset == 31) {
            unsigned char more = 255;
            while (more == 255) {
                if (i >= in.size()) return false;
                more = static_cast<unsigned char>(in[i++]);
                offset += more;
            }
        }
        at += offset;
        if (i + count > in.size()) return false;
        if (seed.size() < at + count) seed.resize(at + count, '\0');
        seed.replace(at, count, in.substr(i, count));
        i += count;
        at += count;
    }
    return true;
}

}  // namespace

PclRaster ReadPclRaster(std::string_view s) {
    PclRaster out;
    PclRasterPage page;
    bool pageUsed = false;
    int dpi = 0, mode = 0, width = 0;
    std::string seed, row;
    auto endPage = [&] {
        if (!pageUsed) return;
        page.dpi = dpi;
        for (const std::string& r : page.rows) page.width = std::max(page.width, static_cast<int>(r.size()) * 8);
        page.width = std::max(page.width, width);
        out.pages.push_back(std::move(page));
        page = PclRasterPage{};
        pageUsed = false;
        seed.clear();
    };
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i++];
        if (c == '\f') {
            endPage();
            continue;
        }
        if (c != '\x1b') continue;
        if (i >= s.size()) break;
        const char c1 = s[i++];
        if (c1 == 'E') continue;  // reset: settings stay as the next commands set them
        if (c1 < 0x21 || c1 > 0x2F) continue;  // a two-byte escape
        // Universal exit language: ESC % - 12345 X.
        char group = 0;
        if (c1 != '%') {
            if (i >= s.size()) break;
            group = s[i++];
        }
        // Values with their parameter characters, combined while lower case.
        for (;;) {
            std::size_t start = i;
            while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '+' || s[i] == '-' ||
                                    s[i] == '.'))
                ++i;
            if (i >= s.size()) break;
            const long value = std::strtol(std::string(s.substr(start, i - start)).c_str(), nullptr, 10);
            const char p = s[i++];
            const char param = static_cast<char>(std::toupper(static_cast<unsigned char>(p)));
            if (c1 == '*' && group == 't' && param == 'R') dpi = static_cast<int>(value);
            if (c1 == '*' && group == 'r' && param == 'S') width = static_cast<int>(value);
            if (c1 == '*' && group == 'r' && param == 'A') pageUsed = true, seed.clear();
            if (c1 == '*' && group == 'b' && param == 'M') mode = static_cast<int>(value);
            if (c1 == '*' && group == 'b' && param == 'Y') {
                pageUsed = true;
                page.rows.resize(page.rows.size() + static_cast<std::size_t>(std::max(0L, value)));
                seed.clear();
            }
            if (c1 == '*' && group == 'b' && param == 'W') {
                pageUsed = true;
                const auto n = static_cast<std::size_t>(std::max(0L, value));
                if (i + n > s.size()) {
                    out.error = "row data past the end of the stream";
                    return out;
                }
                const std::string_view data = s.substr(i, n);
                i += n;
                bool ok = true;
                if (mode == 0) seed.assign(data);
                else if (mode == 2) ok = Unpack(data, row), seed = row;
                else if (mode == 3) ok = DeltaRow(data, seed);
                else ok = false;
                if (!ok) {
                    out.error = "row data of compression mode " + std::to_string(mode) + " cannot be read";
                    return out;
                }
                page.rows.push_back(seed);
            }
            if (p >= 0x40 && p <= 0x5E) break;  // upper case ends the command
            if (p < 0x60 || p > 0x7E) break;
        }
    }
    endPage();
    return out;
}

}  // namespace vel::test
