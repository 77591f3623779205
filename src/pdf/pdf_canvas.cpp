#include "pdf/pdf_canvas.h"

#include "common/codepage.h"

#include <cmath>

namespace vel::platform {

void PdfCanvas::Entry::learn(unsigned char byte) {
    if (known[byte]) return;
    known[byte] = true;
    const char32_t c = Cp1250ToUnicode(byte);
    widths[byte] = face && c != 0 ? face->advance(c) : 0;
    glyphs[byte] = face && c != 0 ? face->glyph(c) : 0;
}

double PdfCanvas::Entry::width(std::string_view text) {
    double sum = 0;
    for (char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        learn(byte);
        sum += widths[byte];
    }
    return sum;
}

void PdfCanvas::setDpi(int dpi) {
    if (dpi == dpi_) return;
    flush();
    dpi_ = dpi;
    entries_.clear();
}

void PdfCanvas::attach(PdfWriter* pdf) {
    run_ = Run{};
    pdf_ = pdf;
    pdfFonts_.clear();
    boxedFonts_.clear();
}

int PdfCanvas::textWidth(const Font& font, std::string_view text) {
    return static_cast<int>(std::lround(entry(font).width(text)));
}

int PdfCanvas::textHeight(const Font& font, std::string_view) {
    return static_cast<int>(std::lround(entry(font).height));
}

void PdfCanvas::drawText(Point at, std::string_view text, const Font& font) {
    if (!pdf_) return;
    Entry& e = entry(font);
    if (text.size() != 1) {
        flush();
        pdf_->fillRects({{double(at.x), double(at.y), e.width(text), e.height}}, kWhite);
        const int pdfIndex = pdfFont(e);
        if (pdfIndex < 0) return;
        std::vector<PdfWriter::Glyph> glyphs;
        double x = at.x;
        for (char ch : text) {
            const auto byte = static_cast<unsigned char>(ch);
            if (e.glyphs[byte] != 0) glyphs.push_back({e.glyphs[byte], x, Cp1250ToUnicode(byte)});
            x += e.widths[byte];
        }
        if (!glyphs.empty()) pdf_->showGlyphs(pdfIndex, e.pixelSize, at.y + e.ascent, glyphs, font.color);
        return;
    }
    if (!run_.chars.empty() &&
        (run_.entry != &e || run_.color != font.color || run_.y != at.y || run_.chars.size() >= 1024))
        flush();
    run_.entry = &e;
    run_.color = font.color;
    run_.y = at.y;
    const auto byte = static_cast<unsigned char>(text[0]);
    e.learn(byte);
    run_.chars.push_back({byte, double(at.x), e.widths[byte], e.glyphs[byte], Cp1250ToUnicode(byte)});
}

void PdfCanvas::flush() {
    if (run_.chars.empty()) return;
    if (pdf_) {
        Entry& e = *run_.entry;
        const int boxed = boxedFont(e, run_.color);
        if (boxed >= 0) {
            pdf_->showBoxed(boxed, run_.y, run_.chars);
        } else {
            // A face that cannot be embedded: the boxes alone, as the page
            // would show characters the printer has no glyphs for.
            for (const PdfWriter::BoxedChar& c : run_.chars)
                pdf_->fillRects({{c.x, double(run_.y), c.width, e.height}}, kWhite);
        }
    }
    run_ = Run{};
}

void PdfCanvas::drawLine(Point from, Point to, const Pen& pen) {
    if (!pdf_) return;
    flush();
    pdf_->strokePolyline({from, to}, penWidth(pen), pen.color);
}

void PdfCanvas::drawPolyline(const std::vector<Point>& points, const Pen& pen) {
    if (!pdf_) return;
    flush();
    pdf_->strokePolyline(points, penWidth(pen), pen.color);
}

void PdfCanvas::drawPolygon(const std::vector<Point>& points, Color fill, const Pen& pen) {
    if (!pdf_) return;
    flush();
    pdf_->fillPolygon(points, fill, penWidth(pen), pen.color);
}

void PdfCanvas::fillRect(Point topLeft, Point bottomRight, Color fill) {
    if (!pdf_ || bottomRight.x <= topLeft.x || bottomRight.y <= topLeft.y) return;
    flush();
    pdf_->fillRects({{double(topLeft.x), double(topLeft.y), double(bottomRight.x - topLeft.x),
                      double(bottomRight.y - topLeft.y)}},
                    fill);
}

// Colour does not change the measurements, so one entry serves every colour.
PdfCanvas::Entry& PdfCanvas::entry(const Font& font) {
    for (auto& e : entries_) {
        if (e->key.name == font.name && e->key.sizePt == font.sizePt && e->key.bold == font.bold &&
            e->key.italic == font.italic)
            return *e;
    }
    if (entries_.size() >= 64) {
        flush();  // the run may use an entry about to go
        entries_.clear();
    }
    auto e = std::make_unique<Entry>();
    e->key = font;
    e->face = fonts_.face(font, dpi_);
    if (e->face) {
        e->faceName = e->face->faceName();
        e->pixelSize = e->face->pixelSize();
        e->ascent = e->face->ascent();
        e->height = e->face->height();
    }
    entries_.push_back(std::move(e));
    return *entries_.back();
}

int PdfCanvas::pdfFont(Entry& e) {
    if (!e.face) return -1;
    if (const auto found = pdfFonts_.find(e.faceName); found != pdfFonts_.end()) return found->second;
    std::optional<TrueTypeFont> program =
        TrueTypeFont::FromTables([&e](std::string_view tag) { return e.face->table(tag); });
    std::string name;
    for (char c : e.faceName) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-') name += c;
    }
    const int index = program ? pdf_->addFont(std::move(*program), name.empty() ? "Font" : name) : -1;
    pdfFonts_.emplace(e.faceName, index);
    return index;
}

int PdfCanvas::boxedFont(Entry& e, Color color) {
    const int font = pdfFont(e);
    if (font < 0) return -1;
    const BoxedKey key{font, e.pixelSize, e.ascent, e.height, color};
    if (const auto found = boxedFonts_.find(key); found != boxedFonts_.end()) return found->second;
    const int index = pdf_->addBoxedFont(font, key.sizePx, key.ascent, key.height, color);
    boxedFonts_.emplace(key, index);
    return index;
}

}  // namespace vel::platform
