#include "scan_support.h"

#include "support/process.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <locale>
#include <memory>

namespace vel::labels::test {

bool ZbarAvailable() { return vel::test::HostTool("zbarimg").has_value(); }

std::vector<std::vector<std::string>> ScanImages(const std::vector<std::filesystem::path>& images) {
    std::vector<std::string> command = {vel::test::HostTool("zbarimg").value_or("zbarimg"), "--xml", "--nodbus",
                                        "-Sdisable", "-Scode39.enable"};
    std::vector<std::string> hrefs;
    for (const auto& image : images) hrefs.push_back(vel::test::HostPath(image));
    command.insert(command.end(), hrefs.begin(), hrefs.end());
    // The report goes to a file beside the images; zbarimg's notes on stderr
    // come after the XML document and are cut off below.
    const std::filesystem::path report = images.empty() ? "zbarimg.xml" : images.front().string() + ".xml";
    vel::test::RunHostTool(command, report);
    std::string xml = vel::test::ReadAll(report);
    if (const std::size_t end = xml.find("</barcodes>"); end != std::string::npos) xml.resize(end);
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
                if (hrefs[i] == href) current = static_cast<int>(i);
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
