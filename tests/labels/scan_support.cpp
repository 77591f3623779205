#include "scan_support.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <locale>
#include <memory>

namespace vel::labels::test {

namespace {

std::string Capture(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return {};
    std::string out;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe.get())) > 0) out.append(buf.data(), n);
    return out;
}

}  // namespace

bool ZbarAvailable() { return std::system("command -v zbarimg >/dev/null 2>&1") == 0; }

std::vector<std::vector<std::string>> ScanImages(const std::vector<std::filesystem::path>& images) {
    std::string command = "zbarimg --xml --nodbus -Sdisable -Scode39.enable";
    for (const auto& image : images) command += " '" + image.string() + "'";
    const std::string xml = Capture(command + " 2>/dev/null");
    // <source href='FILE'> ... <data><![CDATA[TEXT]]></data> ... </source>
    std::vector<std::vector<std::string>> symbols(images.size());
    std::size_t pos = 0;
    int current = -1;
    for (;;) {
        const std::size_t source = xml.find("<source href='", pos);
        const std::size_t data = xml.find("<data><![CDATA[", pos);
        if (source == std::string::npos && data == std::string::npos) break;
        if (source < data) {
            const std::size_t start = source + 14, end = xml.find('\'', start);
            const std::string href = xml.substr(start, end - start);
            current = -1;
            for (std::size_t i = 0; i < images.size(); ++i) {
                if (images[i].string() == href) current = static_cast<int>(i);
            }
            pos = end;
        } else {
            const std::size_t start = data + 15, end = xml.find("]]></data>", start);
            if (end == std::string::npos) break;
            if (current >= 0) symbols[current].push_back(xml.substr(start, end - start));
            pos = end;
        }
    }
    return symbols;
}

void WritePagePgm(const platform::FakePage& page, int width, int height, const std::filesystem::path& file) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height, 255);
    for (const auto& op : page.ops) {
        if (op.kind != platform::CanvasOp::Rect || op.fill != platform::kBlack) continue;
        const int x1 = std::clamp(op.points[0].x, 0, width), x2 = std::clamp(op.points[1].x, 0, width);
        const int y1 = std::clamp(op.points[0].y, 0, height), y2 = std::clamp(op.points[1].y, 0, height);
        for (int y = y1; y < y2; ++y) {
            std::fill(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width + x1,
                      pixels.begin() + static_cast<std::ptrdiff_t>(y) * width + x2, 0);
        }
    }
    int top = height, bottom = 0;
    for (const auto& op : page.ops) {
        if (op.kind != platform::CanvasOp::Rect) continue;
        top = std::min(top, std::clamp(op.points[0].y, 0, height));
        bottom = std::max(bottom, std::clamp(op.points[1].y, 0, height));
    }
    if (top >= bottom) top = bottom = 0;
    top = std::max(0, top - 20);
    bottom = std::min(height, bottom + 20);
    std::ofstream out(file, std::ios::binary);
    out.imbue(std::locale::classic());  // no digit grouping in the header under a desktop locale
    out << "P5\n" << width << " " << (bottom - top) << "\n255\n";
    out.write(reinterpret_cast<const char*>(pixels.data()) + static_cast<std::ptrdiff_t>(top) * width,
              static_cast<std::streamsize>(bottom - top) * width);
}

}  // namespace vel::labels::test
