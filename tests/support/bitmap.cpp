#include "support/bitmap.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vel::test {

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

long Bitmap::ink() const { return static_cast<long>(std::count(black.begin(), black.end(), 1)); }

std::vector<Bitmap> RasterisePdf(const std::string& pdf, int dpi, const std::string& scratchFolder) {
    const std::string prefix = scratchFolder + "/raster";
    std::filesystem::remove_all(scratchFolder);
    std::filesystem::create_directories(scratchFolder);
    RunCommand("pdftoppm -mono -r " + std::to_string(dpi) + " '" + pdf + "' '" + prefix + "' 2>&1");
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(scratchFolder)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<Bitmap> pages;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::string magic;
        Bitmap b;
        in >> magic >> b.width >> b.height;
        in.get();
        if (magic != "P4" || b.width <= 0 || b.height <= 0) return {};
        const std::string bits((std::istreambuf_iterator<char>(in)), {});
        const int rowBytes = (b.width + 7) / 8;
        if (bits.size() < static_cast<std::size_t>(rowBytes) * b.height) return {};
        b.black.resize(static_cast<std::size_t>(b.width) * b.height);
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x)
                b.black[static_cast<std::size_t>(y * b.width + x)] =
                    static_cast<unsigned char>(bits[static_cast<std::size_t>(y * rowBytes + x / 8)]) >> (7 - x % 8) & 1;
        pages.push_back(std::move(b));
    }
    return pages;
}

Bitmap FromPcl(const PclRasterPage& page) {
    Bitmap b;
    b.width = page.width;
    b.height = static_cast<int>(page.rows.size());
    b.black.resize(static_cast<std::size_t>(b.width) * b.height);
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x) b.black[static_cast<std::size_t>(y * b.width + x)] = page.black(x, y);
    return b;
}

Bitmap Shifted(const Bitmap& b, int dx, int dy) {
    Bitmap out{b.width, b.height, std::vector<unsigned char>(b.black.size(), 0)};
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            out.black[static_cast<std::size_t>(y * b.width + x)] = b.at(x - dx, y - dy);
    return out;
}

BitmapDifference Compare(const Bitmap& before, const Bitmap& after, int radius) {
    BitmapDifference d;
    if (before.width != after.width || before.height != after.height) {
        d.differing = d.farOff = std::max<long>(1, std::max(before.ink(), after.ink()));
        d.where = "sizes " + std::to_string(before.width) + "x" + std::to_string(before.height) + " and " +
                  std::to_string(after.width) + "x" + std::to_string(after.height);
        return d;
    }
    auto changed = [&](int x, int y) { return before.at(x, y) != after.at(x, y); };
    for (int y = 0; y < before.height; ++y) {
        for (int x = 0; x < before.width; ++x) {
            if (!changed(x, y)) continue;
            ++d.differing;
            const bool was = before.at(x, y);
            if (x + 1 < before.width && y + 1 < before.height && changed(x + 1, y) && changed(x, y + 1) &&
                changed(x + 1, y + 1) && before.at(x + 1, y) == was && before.at(x, y + 1) == was &&
                before.at(x + 1, y + 1) == was)
                ++d.thick;
            // A black pixel of one image has black next to it in the other:
            // an edge moved, nothing appeared or went.
            const Bitmap& other = was ? after : before;
            bool near = false;
            for (int dy = -radius; dy <= radius && !near; ++dy)
                for (int dx = -radius; dx <= radius && !near; ++dx) near = other.at(x + dx, y + dy);
            if (!near) {
                if (d.farOff < 8) d.where += " (" + std::to_string(x) + "," + std::to_string(y) + (was ? " lost)" : " new)");
                ++d.farOff;
            }
        }
    }
    return d;
}

}  // namespace vel::test
