#pragma once
// One-bit page images for comparing rasterised pages: read from the PBM files
// poppler's pdftoppm -mono writes, or from a printer's PCL raster, and
// compared pixel by pixel.

#include "support/pcl_raster.h"

#include <string>
#include <vector>

namespace vel::test {

// Standard output of a shell command.
std::string RunCommand(const std::string& command);

struct Bitmap {
    int width = 0, height = 0;
    std::vector<unsigned char> black;  // one byte a pixel, row by row
    bool at(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && black[static_cast<std::size_t>(y * width + x)];
    }
    long ink() const;
};

// Every page of a PDF rasterised by pdftoppm -mono at `dpi`; empty when it fails.
std::vector<Bitmap> RasterisePdf(const std::string& pdf, int dpi, const std::string& scratchFolder);
Bitmap FromPcl(const PclRasterPage& page);
// `b` moved by (dx, dy).
Bitmap Shifted(const Bitmap& b, int dx, int dy);

struct BitmapDifference {
    long differing = 0;   // pixels black in one image and white in the other
    long farOff = 0;      // of those, black with no black pixel within `radius` in the other image
    long thick = 0;       // 2 x 2 squares whose pixels all changed the same way
    std::string where;    // the first far-off pixels, for the failure message
};

// How `after` differs from `before` (of the same size; a size difference
// counts every pixel as far off).
BitmapDifference Compare(const Bitmap& before, const Bitmap& after, int radius);

}  // namespace vel::test
