#include "platform/pdf/pdf_writer.h"

#include "common/io.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vel::platform {
namespace {

constexpr int kCatalog = 1;
constexpr int kPages = 2;
constexpr int kResources = 3;
constexpr int kInfo = 4;

// A number as PDF writes it: no exponent, no trailing zeros.
void Num(std::string& out, double v, int decimals = 3) {
    static constexpr double kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    const double scale = kScale[std::clamp(decimals, 0, 6)];
    double rounded = std::round(v * scale) / scale;
    if (rounded == 0) rounded = 0;  // no "-0"
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, decimals);
    if (ec != std::errc()) {
        out += '0';
        return;
    }
    if (decimals > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    out.append(buf, end);
}

void Int(std::string& out, long long v) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, end);
}

// `digits` hexadecimal digits of v, as codes appear in strings and maps.
void Hex(std::string& out, unsigned v, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kDigits[v >> shift & 0xF];
}

void Rgb(std::string& out, Color c, const char* op) {
    Num(out, (c & 0xFF) / 255.0);
    out += ' ';
    Num(out, (c >> 8 & 0xFF) / 255.0);
    out += ' ';
    Num(out, (c >> 16 & 0xFF) / 255.0);
    out += ' ';
    out += op;
    out += '\n';
}

// UTF-16 code units of one character, as text strings and ToUnicode maps hold them.
void Utf16Hex(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x10000) {
        Hex(out, static_cast<unsigned>(c), 4);
        return;
    }
    c -= 0x10000;
    Hex(out, static_cast<unsigned>(0xD800 + (c >> 10)), 4);
    Hex(out, static_cast<unsigned>(0xDC00 + (c & 0x3FF)), 4);
}

// The map from a font's codes (of `codeDigits` hex digits) to the text they
// stand for, which lets readers copy and search the text.
std::string ToUnicodeMap(const std::vector<std::pair<unsigned, char32_t>>& codes, int codeDigits) {
    const std::string lowest(static_cast<std::size_t>(codeDigits), '0');
    const std::string highest(static_cast<std::size_t>(codeDigits), 'F');
    std::string cmap =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<" + lowest + "> <" + highest + ">\nendcodespacerange\n";
    for (std::size_t from = 0; from < codes.size(); from += 100) {
        const std::size_t to = std::min(codes.size(), from + 100);
        Int(cmap, static_cast<long long>(to - from));
        cmap += " beginbfchar\n";
        for (std::size_t i = from; i < to; ++i) {
            cmap += '<';
            Hex(cmap, codes[i].first, codeDigits);
            cmap += "> <";
            Utf16Hex(cmap, codes[i].second);
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    return cmap + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

// A UTF-8 text as a PDF text string (UTF-16 with its byte order mark).
std::string TextString(std::string_view utf8) {
    std::string out = "<FEFF";
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        char32_t c = extra == 0 ? b : b & (0x3F >> extra);
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i) c = c << 6 | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        Utf16Hex(out, c);
    }
    return out + ">";
}

// The six capital letters that mark a font as a subset; different for each
// font of a document.
std::string SubsetTag(int index) {
    std::string tag = "VELAAA";
    for (int i = 5; i >= 3 && index > 0; --i, index /= 26) tag[static_cast<std::size_t>(i)] = static_cast<char>('A' + index % 26);
    return tag;
}

}  // namespace

PdfWriter::PdfWriter(std::string path, std::string_view titleUtf8, std::string_view creator)
    : path_(std::move(path)), buffer_(1 << 20), zip_(std::make_unique<z_stream>()), title_(titleUtf8),
      creator_(creator) {
    if (deflateInit(zip_.get(), Z_BEST_SPEED) != Z_OK) throw IoError(path_, "cannot start compressing");
    file_ = OpenFile(path_, "wb");
    if (!file_) {
        deflateEnd(zip_.get());
        throw IoError(path_, "cannot create the print file");
    }
    std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
    offsets_.assign(kInfo + 1, 0);
    write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

PdfWriter::~PdfWriter() {
    if (file_) std::fclose(file_);
    deflateEnd(zip_.get());
}

// Compresses into packed_, kept between streams so that its memory is
// allocated once; false when zlib fails.
bool PdfWriter::deflate(std::string_view data) {
    if (deflateReset(zip_.get()) != Z_OK) return false;
    const std::size_t bound = deflateBound(zip_.get(), static_cast<uLong>(data.size()));
    if (packed_.size() < bound) packed_.resize(bound);
    zip_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zip_->avail_in = static_cast<uInt>(data.size());
    zip_->next_out = reinterpret_cast<Bytef*>(packed_.data());
    zip_->avail_out = static_cast<uInt>(packed_.size());
    if (::deflate(zip_.get(), Z_FINISH) != Z_STREAM_END) return false;
    packedSize_ = zip_->total_out;
    return true;
}

int PdfWriter::newObject() {
    offsets_.push_back(0);
    return static_cast<int>(offsets_.size() - 1);
}

void PdfWriter::startObject(int number) {
    offsets_[static_cast<std::size_t>(number)] = written_;
    std::string head;
    Int(head, number);
    head += " 0 obj\n";
    write(head);
}

void PdfWriter::write(std::string_view bytes) {
    if (failed_ || bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
    written_ += bytes.size();
}

void PdfWriter::writeStream(int number, const std::string& dictionary, std::string_view data, bool compress) {
    const bool deflated = compress && deflate(data);
    const std::string_view body = deflated ? std::string_view(packed_.data(), packedSize_) : data;
    startObject(number);
    std::string head = "<< /Length ";
    Int(head, static_cast<long long>(body.size()));
    if (deflated) head += " /Filter /FlateDecode";
    head += dictionary;
    head += " >>\nstream\n";
    write(head);
    write(body);
    write("\nendstream\nendobj\n");
}

int PdfWriter::addFont(TrueTypeFont font, std::string postScriptName) {
    const auto glyphs = static_cast<std::size_t>(font.glyphCount());
    fonts_.push_back(FontUse{std::move(font), std::move(postScriptName), {}, std::vector<double>(glyphs, 0.0)});
    return static_cast<int>(fonts_.size() - 1);
}

void PdfWriter::beginPage(const PageFormat& format) {
    if (pageOpen_) endPage();
    pageOpen_ = true;
    format_ = format;
    content_.clear();
    fill_ = kBlack;
    stroke_ = kBlack;
    lineWidth_ = -1;
    charSpacing_ = 0;
    // Device pixels, y downwards, from the drawing origin; a pen's miter
    // limit as on the screen.
    const double s = 72.0 / (format.dpi > 0 ? format.dpi : 600);
    Num(content_, s, 6);
    content_ += " 0 0 ";
    Num(content_, -s, 6);
    content_ += ' ';
    Num(content_, s * format.originX);
    content_ += ' ';
    Num(content_, format.heightPt - s * format.originY);
    content_ += " cm\n2 M\n";
}

void PdfWriter::endPage() {
    if (!pageOpen_) return;
    pageOpen_ = false;
    const int contents = newObject();
    writeStream(contents, "", content_, true);
    content_.clear();

    const int page = newObject();
    startObject(page);
    std::string dict = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
    Num(dict, format_.widthPt);
    dict += ' ';
    Num(dict, format_.heightPt);
    dict += "] /Resources 3 0 R /Contents ";
    Int(dict, contents);
    dict += " 0 R >>\nendobj\n";
    write(dict);
    pages_.push_back(page);
    if (failed_) throw IoError(path_, "cannot write the print file");
}

void PdfWriter::finish() {
    endPage();
    std::string resources = "<< /ProcSet [/PDF /Text] /Font <<";
    std::vector<int> fontObjects;
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
        fontObjects.push_back(newObject());
        writeFont(static_cast<int>(i), fontObjects.back());
        resources += " /F";
        Int(resources, static_cast<long long>(i));
        resources += ' ';
        Int(resources, fontObjects.back());
        resources += " 0 R";
    }
    for (std::size_t i = 0; i < boxedFonts_.size(); ++i) {
        const int object = newObject();
        writeBoxedFont(static_cast<int>(i), object, fontObjects);
        resources += " /B";
        Int(resources, static_cast<long long>(i));
        resources += ' ';
        Int(resources, object);
        resources += " 0 R";
    }
    resources += " >> >>\nendobj\n";
    startObject(kResources);
    write(resources);

    std::string pages = "<< /Type /Pages /Count ";
    Int(pages, static_cast<long long>(pages_.size()));
    pages += " /Kids [";
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        pages += i % 10 == 0 ? "\n" : " ";
        Int(pages, pages_[i]);
        pages += " 0 R";
    }
    pages += "] >>\nendobj\n";
    startObject(kPages);
    write(pages);

    startObject(kCatalog);
    write("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    startObject(kInfo);
    write("<< /Title " + TextString(title_) + " /Creator " + TextString(creator_) + " /Producer " +
          TextString(creator_) + " >>\nendobj\n");

    const std::uint64_t xref = written_;
    std::string table = "xref\n0 ";
    Int(table, static_cast<long long>(offsets_.size()));
    table += "\n0000000000 65535 f \n";
    for (std::size_t i = 1; i < offsets_.size(); ++i) {
        char entry[24];
        std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(offsets_[i]));
        table += entry;
    }
    table += "trailer\n<< /Size ";
    Int(table, static_cast<long long>(offsets_.size()));
    table += " /Root 1 0 R /Info 4 0 R >>\nstartxref\n";
    Int(table, static_cast<long long>(xref));
    table += "\n%%EOF\n";
    write(table);

    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (failed_ || !closed) throw IoError(path_, "cannot write the print file");
}

void PdfWriter::writeFont(int index, int type0) {
    FontUse& font = fonts_[static_cast<std::size_t>(index)];
    const TrueTypeFont& program = font.program;
    const std::string name = SubsetTag(index) + "+" + font.name;
    const double toThousandths = 1000.0 / program.unitsPerEm();

    std::set<std::uint16_t> used;
    for (const auto& [glyph, text] : font.glyphs) used.insert(glyph);
    const std::string file = program.subset(used);
    const int fontFile = newObject();
    std::string length1 = " /Length1 ";
    Int(length1, static_cast<long long>(file.size()));
    writeStream(fontFile, length1, file, true);

    const int descriptor = newObject();
    startObject(descriptor);
    int flags = 32;  // not symbolic
    if (program.fixedPitch()) flags |= 1;
    if (program.italicAngle() != 0) flags |= 64;
    std::string d = "<< /Type /FontDescriptor /FontName /" + name + " /Flags ";
    Int(d, flags);
    d += " /FontBBox [";
    for (int v : program.boundingBox()) {
        d += ' ';
        Num(d, v * toThousandths, 0);
    }
    d += " ] /ItalicAngle ";
    Num(d, program.italicAngle(), 2);
    d += " /Ascent ";
    Num(d, program.ascent() * toThousandths, 0);
    d += " /Descent ";
    Num(d, program.descent() * toThousandths, 0);
    d += " /CapHeight ";
    Num(d, program.capHeight() * toThousandths, 0);
    d += " /StemV 80 /FontFile2 ";
    Int(d, fontFile);
    d += " 0 R >>\nendobj\n";
    write(d);

    const int cidFont = newObject();
    startObject(cidFont);
    std::string c = "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
                    " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
                    " /FontDescriptor ";
    Int(c, descriptor);
    c += " 0 R /CIDToGIDMap /Identity /DW 1000 /W [";
    for (const auto& [glyph, text] : font.glyphs) {
        c += '\n';
        Int(c, glyph);
        c += " [";
        Num(c, glyphWidth(font, glyph));
        c += ']';
    }
    c += "] >>\nendobj\n";
    write(c);

    std::vector<std::pair<unsigned, char32_t>> mapped;
    for (const auto& [glyph, text] : font.glyphs)
        if (text != 0) mapped.emplace_back(glyph, text);
    const std::string cmap = ToUnicodeMap(mapped, 4);
    const int toUnicode = newObject();
    writeStream(toUnicode, "", cmap, true);

    startObject(type0);
    std::string t = "<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
                    " /Encoding /Identity-H /DescendantFonts [";
    Int(t, cidFont);
    t += " 0 R] /ToUnicode ";
    Int(t, toUnicode);
    t += " 0 R >>\nendobj\n";
    write(t);
}

// A Type 3 font: each character a small drawing of its white box and then
// its glyph from the embedded font, in the device's pixels.
void PdfWriter::writeBoxedFont(int index, int object, const std::vector<int>& fontObjects) {
    const BoxedFont& f = boxedFonts_[static_cast<std::size_t>(index)];
    int first = 256, last = -1;
    for (int c = 0; c < 256; ++c) {
        if (!f.chars[static_cast<std::size_t>(c)]) continue;
        first = std::min(first, c);
        last = std::max(last, c);
    }
    if (last < 0) first = last = 32;

    std::string procs = "<<";
    std::string differences = "[";
    std::string widths = "[";
    for (int c = first; c <= last; ++c) {
        const auto& ch = f.chars[static_cast<std::size_t>(c)];
        const double width = ch ? std::round(ch->width * 1000) / 1000 : 0;
        Num(widths, width);
        widths += ' ';
        if (!ch) continue;
        std::string draw;
        Num(draw, width);
        draw += " 0 d0\n1 1 1 rg 0 ";
        Num(draw, f.ascent - f.height);
        draw += ' ';
        Num(draw, width);
        draw += ' ';
        Num(draw, f.height);
        draw += " re f\n";
        if (ch->glyph != 0) {
            Rgb(draw, f.color, "rg");
            draw += "BT /F ";
            Num(draw, f.sizePx);
            draw += " Tf <";
            Hex(draw, ch->glyph, 4);
            draw += "> Tj ET\n";
        }
        const int proc = newObject();
        writeStream(proc, "", draw, false);
        std::string name = "/c";
        Int(name, c);
        differences += ' ';
        Int(differences, c);
        differences += ' ' + name;
        procs += ' ' + name + ' ';
        Int(procs, proc);
        procs += " 0 R";
    }
    procs += " >>";
    differences += " ]";
    widths += "]";

    std::vector<std::pair<unsigned, char32_t>> mapped;
    for (int c = first; c <= last; ++c) {
        const auto& ch = f.chars[static_cast<std::size_t>(c)];
        if (ch && ch->unicode != 0) mapped.emplace_back(c, ch->unicode);
    }
    const std::string cmap = ToUnicodeMap(mapped, 2);
    const int toUnicode = newObject();
    writeStream(toUnicode, "", cmap, true);

    startObject(object);
    std::string d = "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 0 0] /FontMatrix [1 0 0 1 0 0] /FirstChar ";
    Int(d, first);
    d += " /LastChar ";
    Int(d, last);
    d += " /Widths " + widths + " /Encoding << /Type /Encoding /Differences " + differences +
         " >> /CharProcs " + procs + " /Resources << /Font << /F ";
    Int(d, fontObjects[static_cast<std::size_t>(f.font)]);
    d += " 0 R >> >> /ToUnicode ";
    Int(d, toUnicode);
    d += " 0 R >>\nendobj\n";
    write(d);
}

double PdfWriter::glyphWidth(FontUse& font, std::uint16_t glyph) {
    if (glyph >= font.widths.size()) return 0;
    double& w = font.widths[glyph];
    // Rounded as the /W array writes it, so that positions computed here
    // match what a reader computes from the file.
    if (w == 0) w = std::round(font.program.advance(glyph) * 1000.0 / font.program.unitsPerEm() * 1000) / 1000;
    return w;
}

void PdfWriter::setFill(Color color) {
    if (color == fill_) return;
    fill_ = color;
    Rgb(content_, color, "rg");
}

void PdfWriter::setStroke(int width, Color color) {
    if (color != stroke_) {
        stroke_ = color;
        Rgb(content_, color, "RG");
    }
    if (width != lineWidth_) {
        lineWidth_ = width;
        Int(content_, width);
        content_ += " w\n";
    }
}

void PdfWriter::fillRects(const std::vector<RectF>& rects, Color fill) {
    if (rects.empty()) return;
    setFill(fill);
    for (std::size_t i = 0; i < rects.size();) {
        RectF r = rects[i++];
        double right = r.x + r.width;
        while (i < rects.size() && rects[i].y == r.y && rects[i].height == r.height && rects[i].x >= r.x &&
               rects[i].x <= right) {
            right = std::max(right, rects[i].x + rects[i].width);
            ++i;
        }
        Num(content_, r.x);
        content_ += ' ';
        Num(content_, r.y);
        content_ += ' ';
        Num(content_, right - r.x);
        content_ += ' ';
        Num(content_, r.height);
        content_ += " re\n";
    }
    content_ += "f\n";
}

void PdfWriter::showGlyphs(int font, double sizePx, double baseline, const std::vector<Glyph>& glyphs, Color color) {
    if (glyphs.empty() || font < 0 || font >= static_cast<int>(fonts_.size()) || sizePx <= 0) return;
    FontUse& f = fonts_[static_cast<std::size_t>(font)];
    codes_.clear();
    xs_.clear();
    widths_.clear();
    for (const Glyph& g : glyphs) {
        f.use(g.id, g.unicode);
        codes_.push_back(g.id);
        xs_.push_back(g.x);
        widths_.push_back(glyphWidth(f, g.id));
    }
    setFill(color);
    content_ += "BT /F";
    Int(content_, font);
    content_ += ' ';
    Num(content_, sizePx);
    content_ += " Tf 1 0 0 -1 ";
    Num(content_, glyphs[0].x);
    content_ += ' ';
    Num(content_, baseline);
    content_ += " Tm\n";
    showCodes(codes_, xs_, widths_, std::round(sizePx * 1000) / 1000, true);
    content_ += " ET\n";
}

int PdfWriter::addBoxedFont(int font, double sizePx, double ascent, double height, Color color) {
    if (font < 0 || font >= static_cast<int>(fonts_.size())) return -1;
    boxedFonts_.push_back(BoxedFont{font, sizePx, ascent, height, color, {}});
    return static_cast<int>(boxedFonts_.size() - 1);
}

void PdfWriter::showBoxed(int boxedFont, double top, const std::vector<BoxedChar>& chars) {
    if (chars.empty() || boxedFont < 0 || boxedFont >= static_cast<int>(boxedFonts_.size())) return;
    BoxedFont& f = boxedFonts_[static_cast<std::size_t>(boxedFont)];
    codes_.clear();
    xs_.clear();
    widths_.clear();
    FontUse& glyphs = fonts_[static_cast<std::size_t>(f.font)];
    for (const BoxedChar& c : chars) {
        auto& kept = f.chars[c.code];
        if (!kept) {
            kept = c;
            if (c.glyph != 0) glyphs.use(c.glyph, c.unicode);
        }
        codes_.push_back(c.code);
        xs_.push_back(c.x);
        widths_.push_back(std::round(kept->width * 1000));  // the font's /Widths, in thousandths
    }
    // The font's glyph space is the device's, y upwards from the baseline.
    content_ += "BT /B";
    Int(content_, boxedFont);
    content_ += " 1 Tf 1 0 0 -1 ";
    Num(content_, chars[0].x);
    content_ += ' ';
    Num(content_, top + f.ascent);
    content_ += " Tm\n";
    showCodes(codes_, xs_, widths_, 1, false);
    content_ += " ET\n";
}

// The codes placed at xs: one character spacing for the run when its
// characters sit at one pitch, as a report's do, or else an adjustment
// before each one whose place differs from where the one before ends.
// Widths are in thousandths of `size`.
void PdfWriter::showCodes(const std::vector<unsigned>& codes, const std::vector<double>& xs,
                          const std::vector<double>& widths, double size, bool twoBytes) {
    auto code = [&](unsigned c) { Hex(content_, c, twoBytes ? 4 : 2); };
    bool evenPitch = codes.size() > 1;
    double spacing = 0;
    for (std::size_t i = 1; i < codes.size() && evenPitch; ++i) {
        const double gap = xs[i] - xs[i - 1] - widths[i - 1] * size / 1000;
        if (i == 1) spacing = gap;
        else if (std::abs(gap - spacing) > 1e-6) evenPitch = false;
    }
    if (evenPitch) {
        const double rounded = std::round(spacing * 10000) / 10000;
        if (rounded != charSpacing_) {
            charSpacing_ = rounded;
            Num(content_, rounded, 4);
            content_ += " Tc ";
        }
        content_ += '<';
        for (unsigned c : codes) code(c);
        content_ += "> Tj";
        return;
    }
    if (charSpacing_ != 0) {
        charSpacing_ = 0;
        content_ += "0 Tc ";
    }
    content_ += "[<";
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (i > 0) {
            const double adjust = widths[i - 1] - (xs[i] - xs[i - 1]) * 1000 / size;
            if (std::abs(adjust) >= 0.001) {
                content_ += "> ";
                Num(content_, adjust);
                content_ += " <";
            }
        }
        code(codes[i]);
    }
    content_ += ">] TJ";
}

void PdfWriter::strokePolyline(const std::vector<Point>& points, int width, Color color) {
    if (points.size() < 2) return;
    setStroke(width, color);
    for (std::size_t i = 0; i < points.size(); ++i) {
        Int(content_, points[i].x);
        content_ += ' ';
        Int(content_, points[i].y);
        content_ += i == 0 ? " m " : " l ";
    }
    content_ += "S\n";
}

void PdfWriter::fillPolygon(const std::vector<Point>& points, Color fill, int penWidth, Color penColor) {
    if (points.empty()) return;
    setFill(fill);
    setStroke(penWidth, penColor);
    for (std::size_t i = 0; i < points.size(); ++i) {
        Int(content_, points[i].x);
        content_ += ' ';
        Int(content_, points[i].y);
        content_ += i == 0 ? " m " : " l ";
    }
    content_ += "b*\n";
}

void PdfWriter::fillPath(const std::vector<PathPiece>& path, Color fill) {
    if (path.empty()) return;
    setFill(fill);
    auto point = [this](const PointF& p) {
        Num(content_, p.x);
        content_ += ' ';
        Num(content_, p.y);
        content_ += ' ';
    };
    for (const PathPiece& piece : path) {
        switch (piece.kind) {
        case PathPiece::Move: point(piece.p[0]); content_ += "m\n"; break;
        case PathPiece::Line: point(piece.p[0]); content_ += "l\n"; break;
        case PathPiece::Curve:
            point(piece.p[0]);
            point(piece.p[1]);
            point(piece.p[2]);
            content_ += "c\n";
            break;
        }
    }
    content_ += "f\n";
}

}  // namespace vel::platform
