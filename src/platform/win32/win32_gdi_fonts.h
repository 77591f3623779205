#pragma once
// Faces from GDI: the font mapper's choice for a font at a device resolution,
// with its TrueType tables (GetFontData), character widths
// (GetCharABCWidths) and glyphs.

#include "platform/pdf/font_source.h"

namespace vel::platform {

class GdiFontSource final : public FontSource {
public:
    std::unique_ptr<FontFace> face(const Font& font, int dpi) override;
};

}  // namespace vel::platform
