#pragma once
// Where the PDF canvas gets the faces it measures and embeds: the window
// system's font engine (GDI on Windows) gives one face at one size as its
// TrueType tables, its glyphs and its device metrics.

#include "platform/canvas.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vel::platform {

class FontFace {
public:
    virtual ~FontFace() = default;
    // Names the face (family and style) for the document, e.g. "CourierNew-Bold":
    // faces of one name share one embedded font program.
    virtual std::string faceName() = 0;
    // The bytes of one TrueType table by its tag; empty when there is none.
    virtual std::string table(std::string_view tag) = 0;
    // The em size the glyphs are drawn at, and the line's ascent and height,
    // in device pixels.
    virtual double pixelSize() = 0;
    virtual double ascent() = 0;
    virtual double height() = 0;
    // Advance of one character as the device measures it, in device pixels.
    virtual double advance(char32_t c) = 0;
    // The face's glyph for a character; 0 when it has none.
    virtual std::uint16_t glyph(char32_t c) = 0;
};

class FontSource {
public:
    virtual ~FontSource() = default;
    // The face the system chooses for `font` on a device of `dpi` dots per
    // inch (a substitute when the named face is not installed); null when
    // there is none at all.
    virtual std::unique_ptr<FontFace> face(const Font& font, int dpi) = 0;
};

}  // namespace vel::platform
