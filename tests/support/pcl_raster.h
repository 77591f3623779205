#pragma once
// Reads back the PCL raster stream a CUPS raster driver sends a LaserJet:
// the page images it carries, one bit a pixel. Knows the commands of that
// stream (reset, resolution, raster width and height, start and end of
// raster graphics, compression modes 0, 2 and 3, row data, skipped rows,
// form feed) and steps over the others.

#include <string>
#include <string_view>
#include <vector>

namespace vel::test {

struct PclRasterPage {
    int dpi = 0;     // from ESC * t # R; 0 when the stream names none
    int width = 0;   // pixels: the widest row, or ESC * r # S
    std::vector<std::string> rows;  // packed bits, most significant first, 1 = black
    bool black(int x, int y) const;
};

struct PclRaster {
    std::vector<PclRasterPage> pages;
    std::string error;  // empty when the stream read whole
};

PclRaster ReadPclRaster(std::string_view stream);

}  // namespace vel::test
