#pragma once
// Faces from GDI: the font mapper's choice for a font at a device resolution,
// with its TrueType tables (GetFontData), character widths
// (GetCharABCWidths) and glyphs.

#include "pdf/font_source.h"

#include <windows.h>

namespace vel::platform {

// The font for a device of `dpi` dots per inch, its size in points; where
// `dc` lacks the face named, a face of the same metrics stands in. Null when
// GDI refuses it. The caller deletes it.
HFONT CreateGdiFont(HDC dc, const Font& font, int dpi);

class GdiFontSource final : public FontSource {
public:
    std::unique_ptr<FontFace> face(const Font& font, int dpi) override;
};

}  // namespace vel::platform
