#pragma once
// Where a sticker's texts and bars go, in device pixels.

#include "labels/label_file.h"

#include <optional>
#include <string>

namespace vel::platform {
class Canvas;
}

namespace vel::labels {

struct StickerFrame {
    int left = 0, right = 0, top = 0, bottom = 0;  // the label
    int x0 = 0, x1 = 0;                            // where texts start and end
    int y = 0;                                     // first text line
    int barBottom = 0;
    int gap = 0;   // between text lines
    int half = 0;  // widest first and second text
    int full = 0;  // widest third text, and the width the bars share
    int size1 = 0, size2 = 0, size3 = 0;  // font sizes of the three texts, points
};

// A 27 x 20 mm sticker at the bottom left of the printable page; m is one
// millimetre rounded to whole pixels.
StickerFrame Clp6Frame(const LabelHeader& header, double ppm, int pageHeight);

// The label the header's numbers describe; nothing when it is narrower than
// 100 pixels.
std::optional<StickerFrame> GeneralFrame(const LabelHeader& header, double ppm, int pageWidth);

// The largest font size a sticker's text gets: a label is a few centimetres
// high, and a header asking for thousands of points would have the printer
// build glyphs larger than any page.
inline constexpr int kMaxLabelFontPt = 144;

// Keeps every position of the frame on the page and every font size at most
// kMaxLabelFontPt, whatever the header asked: a label within the page is
// left as it was.
void KeepOnPage(StickerFrame& frame, int pageWidth, int pageHeight);

// The outline of the general label, drawn once on the first page, with a
// short tick inside its top left corner.
void DrawLabelOutline(platform::Canvas& canvas, const StickerFrame& frame, double ppm);

// The code with its barcode, the second text right-aligned beside it, the
// third text below. Texts too wide are shortened first, and the barcode
// encodes the code as printed.
void DrawSticker(platform::Canvas& canvas, const StickerFrame& frame, std::string code, std::string second,
                 std::string third);

}  // namespace vel::labels
