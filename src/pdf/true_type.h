#pragma once
// A TrueType font program read from its tables: the metrics a PDF font
// needs, glyph advances, and a subset that keeps only the outlines a
// document uses. Glyph numbers stay as they are in the subset, so a
// document can address glyphs by their numbers in the original font.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vel::platform {

class TrueTypeFont {
public:
    // The bytes of one table by its four-character tag, empty when the font
    // has no such table.
    using TableSource = std::function<std::string(std::string_view tag)>;

    // Nothing when the tables do not make a usable TrueType font (no glyf
    // outlines, as in a CFF-flavoured OpenType font, or damaged tables).
    static std::optional<TrueTypeFont> FromTables(const TableSource& table);

    int unitsPerEm() const { return unitsPerEm_; }
    int glyphCount() const { return glyphCount_; }
    // Font units; glyphs past the metrics table take the last advance, as
    // the format says.
    int advance(std::uint16_t glyph) const;
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }  // negative: below the baseline
    int capHeight() const { return capHeight_; }
    double italicAngle() const { return italicAngle_; }
    bool fixedPitch() const { return fixedPitch_; }
    // xMin, yMin, xMax, yMax in font units.
    const std::array<int, 4>& boundingBox() const { return bbox_; }
    // The same box around one glyph's outline; all zero for a glyph without
    // one (a space) or past the font's glyphs.
    const std::array<int, 4>& glyphBox(std::uint16_t glyph) const;

    // A complete font file with the outlines of `used` (plus glyph 0 and the
    // glyphs composite ones are built from); every other glyph is empty.
    std::string subset(const std::set<std::uint16_t>& used) const;

private:
    std::string glyphData(std::uint16_t glyph) const;

    std::string head_, hhea_, maxp_, hmtx_, glyf_, os2_, post_, cvt_, fpgm_, prep_;
    std::vector<std::uint32_t> loca_;  // glyphCount_ + 1 offsets into glyf_
    std::vector<std::uint16_t> advances_;
    std::vector<std::array<int, 4>> glyphBoxes_;
    int unitsPerEm_ = 1000;
    int glyphCount_ = 0;
    int ascent_ = 0;
    int descent_ = 0;
    int capHeight_ = 0;
    double italicAngle_ = 0;
    bool fixedPitch_ = false;
    std::array<int, 4> bbox_{};
};

}  // namespace vel::platform
