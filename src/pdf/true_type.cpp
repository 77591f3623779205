#include "pdf/true_type.h"

#include <algorithm>
#include <map>

namespace vel::platform {
namespace {

// Big-endian reads that give 0 past the end: a damaged table reads as zeros
// and is then refused by the size checks, never read out of bounds.
std::uint32_t U16(std::string_view b, std::size_t at) {
    if (at + 2 > b.size()) return 0;
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]) << 8 | static_cast<unsigned char>(b[at + 1]));
}
int S16(std::string_view b, std::size_t at) { return static_cast<std::int16_t>(U16(b, at)); }
std::uint32_t U32(std::string_view b, std::size_t at) { return U16(b, at) << 16 | U16(b, at + 2); }

void Put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v >> 8 & 0xFF);
    out += static_cast<char>(v & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v >> 16);
    Put16(out, v & 0xFFFF);
}
void Set32(std::string& out, std::size_t at, std::uint32_t v) {
    std::string b;
    Put32(b, v);
    out.replace(at, 4, b);
}

std::uint32_t Checksum(std::string_view data) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < data.size(); i += 4) {
        std::uint32_t word = 0;
        for (std::size_t k = 0; k < 4; ++k)
            word = word << 8 | (i + k < data.size() ? static_cast<unsigned char>(data[i + k]) : 0);
        sum += word;
    }
    return sum;
}

// Glyphs a composite glyph is built from.
std::vector<std::uint16_t> Components(std::string_view glyph) {
    std::vector<std::uint16_t> parts;
    if (glyph.size() < 10 || S16(glyph, 0) >= 0) return parts;
    constexpr std::uint32_t kWords = 0x0001, kScale = 0x0008, kMore = 0x0020, kXYScale = 0x0040, kTwoByTwo = 0x0080;
    std::size_t at = 10;
    for (;;) {
        if (at + 4 > glyph.size()) break;
        const std::uint32_t flags = U16(glyph, at);
        parts.push_back(static_cast<std::uint16_t>(U16(glyph, at + 2)));
        at += 4 + ((flags & kWords) ? 4 : 2);
        if (flags & kScale) at += 2;
        else if (flags & kXYScale) at += 4;
        else if (flags & kTwoByTwo) at += 8;
        if (!(flags & kMore)) break;
    }
    return parts;
}

}  // namespace

std::optional<TrueTypeFont> TrueTypeFont::FromTables(const TableSource& table) {
    TrueTypeFont f;
    f.head_ = table("head");
    f.hhea_ = table("hhea");
    f.maxp_ = table("maxp");
    f.hmtx_ = table("hmtx");
    f.glyf_ = table("glyf");
    const std::string loca = table("loca");
    if (f.head_.size() < 54 || f.hhea_.size() < 36 || f.maxp_.size() < 6 || f.glyf_.empty() || loca.empty())
        return std::nullopt;

    f.unitsPerEm_ = static_cast<int>(U16(f.head_, 18));
    if (f.unitsPerEm_ < 16 || f.unitsPerEm_ > 16384) return std::nullopt;
    f.bbox_ = {S16(f.head_, 36), S16(f.head_, 38), S16(f.head_, 40), S16(f.head_, 42)};
    const bool longOffsets = S16(f.head_, 50) == 1;
    f.glyphCount_ = static_cast<int>(U16(f.maxp_, 4));
    if (f.glyphCount_ == 0) return std::nullopt;

    const std::size_t entries = static_cast<std::size_t>(f.glyphCount_) + 1;
    if (loca.size() < entries * (longOffsets ? 4 : 2)) return std::nullopt;
    f.loca_.resize(entries);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint32_t at = longOffsets ? U32(loca, i * 4) : U16(loca, i * 2) * 2;
        f.loca_[i] = std::min<std::uint32_t>(at, static_cast<std::uint32_t>(f.glyf_.size()));
    }

    // Each glyph's outline begins with its box; a damaged one reads as none.
    f.glyphBoxes_.assign(static_cast<std::size_t>(f.glyphCount_), {0, 0, 0, 0});
    for (std::size_t g = 0; g < f.glyphBoxes_.size(); ++g) {
        const std::uint32_t at = f.loca_[g];
        if (f.loca_[g + 1] < at + 10) continue;
        std::array<int, 4> box{S16(f.glyf_, at + 2), S16(f.glyf_, at + 4), S16(f.glyf_, at + 6), S16(f.glyf_, at + 8)};
        if (box[0] < box[2] && box[1] < box[3]) f.glyphBoxes_[g] = box;
    }

    const std::size_t metrics = U16(f.hhea_, 34);
    if (metrics == 0 || f.hmtx_.size() < metrics * 4) return std::nullopt;
    f.advances_.resize(metrics);
    for (std::size_t i = 0; i < metrics; ++i) f.advances_[i] = static_cast<std::uint16_t>(U16(f.hmtx_, i * 4));

    f.ascent_ = S16(f.hhea_, 4);
    f.descent_ = S16(f.hhea_, 6);
    f.os2_ = table("OS/2");
    f.capHeight_ = U16(f.os2_, 0) >= 2 && f.os2_.size() >= 90 ? S16(f.os2_, 88) : f.ascent_ * 7 / 10;
    const std::string post = table("post");
    if (post.size() >= 32) {
        f.italicAngle_ = static_cast<std::int32_t>(U32(post, 4)) / 65536.0;
        f.fixedPitch_ = U32(post, 12) != 0;
        // Glyph names are not needed in a document: keep the header only.
        f.post_ = post.substr(0, 32);
        Set32(f.post_, 0, 0x00030000);
    }
    f.cvt_ = table("cvt ");
    f.fpgm_ = table("fpgm");
    f.prep_ = table("prep");
    return f;
}

int TrueTypeFont::advance(std::uint16_t glyph) const {
    return advances_[std::min<std::size_t>(glyph, advances_.size() - 1)];
}

const std::array<int, 4>& TrueTypeFont::glyphBox(std::uint16_t glyph) const {
    static constexpr std::array<int, 4> kNone{0, 0, 0, 0};
    return glyph < glyphBoxes_.size() ? glyphBoxes_[glyph] : kNone;
}

std::string TrueTypeFont::glyphData(std::uint16_t glyph) const {
    if (glyph >= glyphCount_) return {};
    const std::uint32_t from = loca_[glyph];
    const std::uint32_t to = loca_[glyph + 1u];
    return to > from ? glyf_.substr(from, to - from) : std::string();
}

std::string TrueTypeFont::subset(const std::set<std::uint16_t>& used) const {
    // Glyph 0 is drawn for anything missing; composites need their parts.
    std::set<std::uint16_t> keep{0};
    std::vector<std::uint16_t> pending(used.begin(), used.end());
    while (!pending.empty()) {
        const std::uint16_t g = pending.back();
        pending.pop_back();
        if (g >= glyphCount_ || !keep.insert(g).second) continue;
        for (std::uint16_t part : Components(glyphData(g))) pending.push_back(part);
    }
    for (std::uint16_t part : Components(glyphData(0))) keep.insert(part);

    std::string glyf;
    std::string loca;
    for (int g = 0; g < glyphCount_; ++g) {
        Put32(loca, static_cast<std::uint32_t>(glyf.size()));
        if (keep.count(static_cast<std::uint16_t>(g))) {
            glyf += glyphData(static_cast<std::uint16_t>(g));
            while (glyf.size() % 4) glyf += '\0';
        }
    }
    Put32(loca, static_cast<std::uint32_t>(glyf.size()));

    std::string head = head_;
    Set32(head, 8, 0);                   // checkSumAdjustment, set below
    head[50] = 0;  // long loca offsets
    head[51] = 1;

    std::map<std::string, std::string> tables{{"head", head}, {"hhea", hhea_}, {"maxp", maxp_}, {"hmtx", hmtx_},
                                              {"loca", loca}, {"glyf", glyf}};
    const std::pair<const char*, const std::string*> optional[] = {
        {"OS/2", &os2_}, {"post", &post_}, {"cvt ", &cvt_}, {"fpgm", &fpgm_}, {"prep", &prep_}};
    for (const auto& [tag, data] : optional)
        if (!data->empty()) tables.emplace(tag, *data);

    // The table directory, then the tables in tag order, each on four bytes.
    const auto count = static_cast<std::uint32_t>(tables.size());
    std::uint32_t power = 1, log2 = 0;
    while (power * 2 <= count) power *= 2, ++log2;
    std::string font;
    Put32(font, 0x00010000);
    Put16(font, count);
    Put16(font, power * 16);
    Put16(font, log2);
    Put16(font, count * 16 - power * 16);
    std::uint32_t offset = 12 + 16 * count;
    std::size_t headOffset = 0;
    for (const auto& [tag, data] : tables) {
        font += tag;
        Put32(font, Checksum(data));
        Put32(font, offset);
        Put32(font, static_cast<std::uint32_t>(data.size()));
        if (tag == "head") headOffset = offset;
        offset += static_cast<std::uint32_t>((data.size() + 3) / 4 * 4);
    }
    for (const auto& [tag, data] : tables) {
        font += data;
        font.append((4 - data.size() % 4) % 4, '\0');
    }
    Set32(font, headOffset + 8, 0xB1B0AFBAu - Checksum(font));
    return font;
}

}  // namespace vel::platform
