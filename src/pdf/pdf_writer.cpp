#include "pdf/pdf_writer.h"

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

void Int(std::string& out, long long v) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, end);
}

// A number as PDF writes it: no exponent, no trailing zeros. Whole-number
// arithmetic on the rounded value: a page has hundreds of thousands of these,
// and printing a double in fixed notation costs several times as much.
void Num(std::string& out, double v, int decimals = 3) {
    static constexpr long long kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    decimals = std::clamp(decimals, 0, 6);
    const double scaled = std::round(v * static_cast<double>(kScale[decimals]));
    if (!(std::abs(scaled) < 1e15)) {  // beyond any page, or not a number
        out += '0';
        return;
    }
    long long n = static_cast<long long>(scaled);
    if (n < 0) {
        out += '-';
        n = -n;
    }
    Int(out, n / kScale[decimals]);
    long long fraction = n % kScale[decimals];
    int digits = decimals;
    while (digits > 0 && fraction % 10 == 0) {
        fraction /= 10;
        --digits;
    }
    if (digits == 0) return;
    char buf[8];
    for (int i = digits - 1; i >= 0; --i, fraction /= 10) buf[i] = static_cast<char>('0' + fraction % 10);
    out += '.';
    out.append(buf, static_cast<std::size_t>(digits));
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
    strokeCount_ = 0;
    strokeEnds_.clear();
    strokeStarts_.clear();
    pathInk_.clear();
    const double px = (format.dpi > 0 ? format.dpi : 600) / 72.0;
    ink_.reset({-double(format.originX), -double(format.originY), format.widthPt * px - format.originX,
                format.heightPt * px - format.originY});
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
    paintPath();
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
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
        const int object = newObject();
        writeFont(static_cast<int>(i), object);
        resources += " /F";
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

// The grid's cells are two or three characters wide, so that a box meets
// the contents of a few cells only, and a glyph lands in one or two.
constexpr double kInkCell = 96;

void PdfWriter::InkMap::reset(const Box& page) {
    for (int cell : filled_) cells_[static_cast<std::size_t>(cell)].clear();
    filled_.clear();
    page_ = page;
    columns_ = std::clamp(static_cast<int>((page.x1 - page.x0) / kInkCell) + 1, 1, 4096);
    rows_ = std::clamp(static_cast<int>((page.y1 - page.y0) / kInkCell) + 1, 1, 4096);
    if (cells_.size() < static_cast<std::size_t>(columns_ * rows_))
        cells_.resize(static_cast<std::size_t>(columns_ * rows_));
}

// Things drawn beyond the page belong to the cells at its edges.
int PdfWriter::InkMap::column(double x) const {
    return std::clamp(static_cast<int>(std::floor((x - page_.x0) / kInkCell)), 0, columns_ - 1);
}
int PdfWriter::InkMap::row(double y) const {
    return std::clamp(static_cast<int>(std::floor((y - page_.y0) / kInkCell)), 0, rows_ - 1);
}

void PdfWriter::InkMap::add(const Box& box) {
    const int c0 = column(box.x0), c1 = column(box.x1), r0 = row(box.y0), r1 = row(box.y1);
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            const int at = r * columns_ + c;
            auto& cell = cells_[static_cast<std::size_t>(at)];
            if (cell.empty()) filled_.push_back(at);
            cell.push_back({static_cast<float>(box.x0), static_cast<float>(box.y0), static_cast<float>(box.x1),
                            static_cast<float>(box.y1)});
        }
    }
}

bool PdfWriter::InkMap::meets(const Box& box) const {
    const int c0 = column(box.x0), c1 = column(box.x1), r0 = row(box.y0), r1 = row(box.y1);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            for (const Stored& b : cells_[static_cast<std::size_t>(r * columns_ + c)])
                if (b.x0 < box.x1 && box.x0 < b.x1 && b.y0 < box.y1 && box.y0 < b.y1) return true;
    return false;
}

std::optional<PdfWriter::Box> PdfWriter::glyphInk(FontUse& font, std::uint16_t glyph, double sizePx, double x,
                                                  double baseline) {
    const std::array<int, 4>& b = font.program.glyphBox(glyph);
    if (b[0] >= b[2] || b[1] >= b[3]) return std::nullopt;
    const double scale = sizePx / font.program.unitsPerEm();
    // Half a pixel more on each side for what rendering adds to the outline.
    return Box{x + b[0] * scale - 0.5, baseline - b[3] * scale - 0.5, x + b[2] * scale + 0.5,
               baseline - b[1] * scale + 0.5};
}

void PdfWriter::settle(const Box& area, Color color) {
    if (strokeCount_ == 0 || color == pathColor_ || !pathBounds_.meets(area)) return;
    for (const Box& b : pathInk_) {
        if (b.meets(area)) {
            paintPath();
            return;
        }
    }
}

void PdfWriter::paintPath() {
    if (strokeCount_ == 0) return;
    setStroke(pathWidth_, pathColor_);
    for (std::size_t i = 0; i < strokeCount_; ++i) {
        const std::vector<Point>& line = strokes_[i];
        for (std::size_t k = 0; k < line.size(); ++k) {
            Int(content_, line[k].x);
            content_ += ' ';
            Int(content_, line[k].y);
            content_ += k == 0 ? " m " : k + 1 == line.size() ? " l\n" : " l ";
        }
    }
    content_ += "S\n";
    strokeCount_ = 0;
    strokeEnds_.clear();
    strokeStarts_.clear();
    pathInk_.clear();
}

void PdfWriter::fillRects(const std::vector<RectF>& rects, Color fill) {
    if (rects.empty()) return;
    bool any = false;
    for (std::size_t i = 0; i < rects.size();) {
        RectF r = rects[i++];
        double right = r.x + r.width;
        while (i < rects.size() && rects[i].y == r.y && rects[i].height == r.height && rects[i].x >= r.x &&
               rects[i].x <= right) {
            right = std::max(right, rects[i].x + rects[i].width);
            ++i;
        }
        const Box area{r.x, r.y, right, r.y + r.height};
        // White on the white page changes a pixel only where something lies under it.
        if (fill == kWhite && !ink_.meets(area)) continue;
        settle(area, fill);
        if (fill != kWhite) ink_.add(area);
        if (!any) setFill(fill);
        any = true;
        Num(content_, r.x);
        content_ += ' ';
        Num(content_, r.y);
        content_ += ' ';
        Num(content_, right - r.x);
        content_ += ' ';
        Num(content_, r.height);
        content_ += " re\n";
    }
    if (any) content_ += "f\n";
}

void PdfWriter::showGlyphs(int font, double sizePx, double baseline, const std::vector<Glyph>& glyphs, Color color) {
    if (glyphs.empty() || font < 0 || font >= static_cast<int>(fonts_.size()) || sizePx <= 0) return;
    FontUse& f = fonts_[static_cast<std::size_t>(font)];
    for (const Glyph& g : glyphs) {
        if (const auto ink = glyphInk(f, g.id, sizePx, g.x, baseline)) {
            settle(*ink, color);
            if (color != kWhite) ink_.add(*ink);
        }
    }
    writeGlyphRun(font, sizePx, baseline, glyphs, color);
}

void PdfWriter::writeGlyphRun(int font, double sizePx, double baseline, const std::vector<Glyph>& glyphs,
                              Color color) {
    if (glyphs.empty()) return;
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
    boxedFonts_.push_back(BoxedFont{font, sizePx, ascent, height, color});
    return static_cast<int>(boxedFonts_.size() - 1);
}

// Each character's white box is painted where it covers something drawn
// before it: on the page, or by a character before it in this run. The
// glyphs between such boxes go out as runs; a box goes before the run it
// falls in unless a glyph of that run reaches under it, which then ends the run.
void PdfWriter::showBoxed(int boxedFont, double top, const std::vector<BoxedChar>& chars) {
    if (chars.empty() || boxedFont < 0 || boxedFont >= static_cast<int>(boxedFonts_.size())) return;
    const BoxedFont& bf = boxedFonts_[static_cast<std::size_t>(boxedFont)];
    FontUse& f = fonts_[static_cast<std::size_t>(bf.font)];
    const double baseline = top + bf.ascent;
    glyphs_.clear();
    whiteBoxes_.clear();
    Box runInk{0, 0, 0, 0};
    std::vector<Box>& runGlyphInk = runInk_;
    runGlyphInk.clear();

    auto paintRun = [&] {
        if (!whiteBoxes_.empty()) {
            setFill(kWhite);
            for (const Box& b : whiteBoxes_) {
                Num(content_, b.x0);
                content_ += ' ';
                Num(content_, b.y0);
                content_ += ' ';
                Num(content_, b.x1 - b.x0);
                content_ += ' ';
                Num(content_, b.y1 - b.y0);
                content_ += " re f\n";
            }
        }
        writeGlyphRun(bf.font, bf.sizePx, baseline, glyphs_, bf.color);
        glyphs_.clear();
        whiteBoxes_.clear();
        runGlyphInk.clear();
        runInk = Box{0, 0, 0, 0};
    };

    for (const BoxedChar& c : chars) {
        const Box box{c.x, top, c.x + c.width, top + bf.height};
        if (ink_.meets(box)) {
            bool underRun = runInk.meets(box);
            if (underRun) {
                underRun = false;
                for (const Box& b : runGlyphInk) underRun = underRun || b.meets(box);
            }
            if (underRun) paintRun();
            settle(box, kWhite);
            if (!whiteBoxes_.empty() && whiteBoxes_.back().y0 == box.y0 && whiteBoxes_.back().x1 >= box.x0 &&
                whiteBoxes_.back().x0 <= box.x0)
                whiteBoxes_.back().x1 = std::max(whiteBoxes_.back().x1, box.x1);
            else
                whiteBoxes_.push_back(box);
        }
        if (c.glyph == 0) continue;
        const auto ink = glyphInk(f, c.glyph, bf.sizePx, c.x, baseline);
        if (!ink) continue;  // nothing to paint: a space
        settle(*ink, bf.color);
        ink_.add(*ink);
        runGlyphInk.push_back(*ink);
        runInk = runGlyphInk.size() == 1 ? *ink
                                         : Box{std::min(runInk.x0, ink->x0), std::min(runInk.y0, ink->y0),
                                               std::max(runInk.x1, ink->x1), std::max(runInk.y1, ink->y1)};
        glyphs_.push_back({c.glyph, c.x, c.unicode});
    }
    if (!glyphs_.empty() || !whiteBoxes_.empty()) paintRun();
}

// The codes placed at xs. Characters at one pitch, as a report's are, take
// one character spacing for the run and no numbers; else the spacing is the
// step most of them take, and each character placed otherwise is moved by an
// adjustment. Widths are in thousandths of `size`.
void PdfWriter::showCodes(const std::vector<unsigned>& codes, const std::vector<double>& xs,
                          const std::vector<double>& widths, double size, bool twoBytes) {
    auto gap = [&](std::size_t i) {
        return std::round((xs[i] - xs[i - 1] - widths[i - 1] * size / 1000) * 1e6) / 1e6;
    };
    // The commoner of the first two different gaps.
    double spacing = charSpacing_;
    if (codes.size() > 1) {
        const double first = gap(1);
        std::optional<double> second;
        std::size_t firstCount = 0, secondCount = 0;
        for (std::size_t i = 1; i < codes.size(); ++i) {
            const double g = gap(i);
            if (g == first) ++firstCount;
            else if (!second || g == *second) second = g, ++secondCount;
        }
        spacing = secondCount > firstCount ? *second : first;
    }
    if (spacing != charSpacing_) {
        charSpacing_ = spacing;
        Num(content_, spacing, 6);
        content_ += " Tc ";
    }
    // Where the reader puts each character, with the numbers as written.
    double at = xs[0];
    std::string& shown = shown_;
    shown.clear();
    bool adjusted = false;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (i > 0) {
            at += widths[i - 1] * size / 1000 + spacing;
            double adjust = (at - xs[i]) * 1000 / size;
            adjust = std::round(adjust * 1000) / 1000;
            // Less than a five-hundredth of a pixel is left as it is.
            if (std::abs(at - xs[i]) >= 0.002) {
                shown += "> ";
                Num(shown, adjust);
                shown += " <";
                at -= adjust * size / 1000;
                adjusted = true;
            }
        }
        Hex(shown, codes[i], twoBytes ? 4 : 2);
    }
    if (adjusted) {
        content_ += "[<";
        content_ += shown;
        content_ += ">] TJ";
    } else {
        content_ += '<';
        content_ += shown;
        content_ += "> Tj";
    }
}

namespace {

std::uint64_t PointKey(Point p) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) << 32 | static_cast<std::uint32_t>(p.y);
}

// Whether the step from a to b goes on in the direction of the step from c to d.
bool Straight(Point a, Point b, Point c, Point d) {
    const long long x1 = b.x - a.x, y1 = b.y - a.y, x2 = d.x - c.x, y2 = d.y - c.y;
    return x1 * y2 == y1 * x2 && x1 * x2 + y1 * y2 > 0;
}

}  // namespace

void PdfWriter::strokePolyline(const std::vector<Point>& points, int width, Color color) {
    if (points.size() < 2) return;
    if (strokeCount_ > 0 && (width != pathWidth_ || color != pathColor_)) paintPath();
    pathWidth_ = width;
    pathColor_ = color;
    // A miter reaches at most one pen width past a corner.
    const double reach = width + 1;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const Point a = points[i - 1], b = points[i];
        const Box ink{std::min(a.x, b.x) - reach, std::min(a.y, b.y) - reach, std::max(a.x, b.x) + reach,
                      std::max(a.y, b.y) + reach};
        // What this stroke is drawn over and has another colour is painted before it.
        settle(ink, color);
        ink_.add(ink);
        pathBounds_ = pathInk_.empty() ? ink
                                       : Box{std::min(pathBounds_.x0, ink.x0), std::min(pathBounds_.y0, ink.y0),
                                             std::max(pathBounds_.x1, ink.x1), std::max(pathBounds_.y1, ink.y1)};
        pathInk_.push_back(ink);
    }

    // Butt ends that meet on a straight line paint the same as one longer
    // line, so such a stroke lengthens a polyline kept before; segments of
    // one polyline keep their joins, and strokes that only touch stay apart.
    // Along a row or a column, a line also goes on across the one-pixel gap
    // the cell grid's whole pixels leave between the lines of neighbouring
    // cells: a frame is drawn continuous, as pens with round ends drew it.
    const Point first = points[0], second = points[1];
    const Point last = points.back(), beforeLast = points[points.size() - 2];
    auto unit = [](Point from, Point to) {
        return Point{(to.x > from.x) - (to.x < from.x), (to.y > from.y) - (to.y < from.y)};
    };
    const Point in = unit(first, second), out = unit(beforeLast, last);
    const bool firstAlongAxis = (in.x == 0) != (in.y == 0), lastAlongAxis = (out.x == 0) != (out.y == 0);
    for (int gap = 0; gap <= (firstAlongAxis ? 1 : 0); ++gap) {
        const auto end = strokeEnds_.find(PointKey({first.x - gap * in.x, first.y - gap * in.y}));
        if (end == strokeEnds_.end()) continue;
        std::vector<Point>& line = strokes_[end->second];
        if (!Straight(line[line.size() - 2], line.back(), first, second)) continue;
        const std::size_t index = end->second;
        strokeEnds_.erase(end);
        line.back() = second;
        line.insert(line.end(), points.begin() + 2, points.end());
        strokeEnds_[PointKey(line.back())] = index;
        return;
    }
    for (int gap = 0; gap <= (lastAlongAxis ? 1 : 0); ++gap) {
        const auto start = strokeStarts_.find(PointKey({last.x + gap * out.x, last.y + gap * out.y}));
        if (start == strokeStarts_.end()) continue;
        std::vector<Point>& line = strokes_[start->second];
        if (!Straight(beforeLast, last, line[0], line[1])) continue;
        const std::size_t index = start->second;
        strokeStarts_.erase(start);
        line.front() = beforeLast;
        line.insert(line.begin(), points.begin(), points.end() - 2);
        strokeStarts_[PointKey(line.front())] = index;
        return;
    }
    if (strokeCount_ == strokes_.size()) strokes_.emplace_back();
    std::vector<Point>& line = strokes_[strokeCount_];
    line.assign(points.begin(), points.end());
    strokeEnds_[PointKey(last)] = strokeCount_;
    strokeStarts_[PointKey(first)] = strokeCount_;
    ++strokeCount_;
}

void PdfWriter::fillPolygon(const std::vector<Point>& points, Color fill, int penWidth, Color penColor) {
    if (points.empty()) return;
    Box area{double(points[0].x), double(points[0].y), double(points[0].x), double(points[0].y)};
    for (const Point& p : points)
        area = {std::min(area.x0, double(p.x)), std::min(area.y0, double(p.y)), std::max(area.x1, double(p.x)),
                std::max(area.y1, double(p.y))};
    area = {area.x0 - penWidth - 1, area.y0 - penWidth - 1, area.x1 + penWidth + 1, area.y1 + penWidth + 1};
    settle(area, fill);
    settle(area, penColor);
    ink_.add(area);
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
    Box area{path[0].p[0].x, path[0].p[0].y, path[0].p[0].x, path[0].p[0].y};
    for (const PathPiece& piece : path)
        for (int k = 0; k < (piece.kind == PathPiece::Curve ? 3 : 1); ++k)
            area = {std::min(area.x0, piece.p[k].x), std::min(area.y0, piece.p[k].y), std::max(area.x1, piece.p[k].x),
                    std::max(area.y1, piece.p[k].y)};
    area = {area.x0 - 1, area.y0 - 1, area.x1 + 1, area.y1 + 1};
    settle(area, fill);
    if (fill != kWhite) ink_.add(area);
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
