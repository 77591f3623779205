#pragma once
// A canvas that draws into a PDF writer, with the faces of a font source:
// the canvas of the built-in PDF printer where the window system gives the
// fonts (Windows). Characters a report draws one at a time on one line in one
// font and colour are kept and written as one run of boxed characters, so a
// page of thousands of characters stays small and quick to write.

#include "platform/canvas.h"
#include "pdf/font_source.h"
#include "pdf/pdf_writer.h"

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vel::platform {

class PdfCanvas final : public Canvas {
public:
    PdfCanvas(FontSource& fonts, int dpi) : fonts_(fonts), dpi_(dpi) {}

    // Measures at another resolution from now on.
    void setDpi(int dpi);
    // The document being drawn, or none. Characters still kept belong to the
    // document that ends and are drawn (flush) or dropped by the caller first.
    void attach(PdfWriter* pdf);
    // Draws the characters kept so far.
    void flush();

    int textWidth(const Font& font, std::string_view text) override;
    int textHeight(const Font& font, std::string_view text) override;
    void drawText(Point at, std::string_view text, const Font& font) override;
    void drawLine(Point from, Point to, const Pen& pen) override;
    void drawPolyline(const std::vector<Point>& points, const Pen& pen) override;
    void drawPolygon(const std::vector<Point>& points, Color fill, const Pen& pen) override;
    void fillRect(Point topLeft, Point bottomRight, Color fill) override;

private:
    // A font as the device measures it, with what single bytes give kept:
    // a report measures and draws one character at a time.
    struct Entry {
        Font key;
        std::unique_ptr<FontFace> face;  // null: no face at all, nothing is drawn
        std::string faceName;
        double pixelSize = 0, ascent = 0, height = 0;
        std::array<double, 256> widths{};
        std::array<std::uint16_t, 256> glyphs{};
        std::array<bool, 256> known{};
        void learn(unsigned char byte);
        double width(std::string_view text);
    };
    struct Run {
        Entry* entry = nullptr;
        Color color = kBlack;
        int y = 0;
        std::vector<PdfWriter::BoxedChar> chars;
    };
    struct BoxedKey {
        int font;
        double sizePx, ascent, height;
        Color color;
        auto operator<=>(const BoxedKey&) const = default;
    };

    Entry& entry(const Font& font);
    int pdfFont(Entry& e);
    int boxedFont(Entry& e, Color color);
    static int penWidth(const Pen& pen) { return pen.width > 0 ? pen.width : 1; }

    FontSource& fonts_;
    int dpi_;
    PdfWriter* pdf_ = nullptr;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::map<std::string, int> pdfFonts_;  // face -> the document's font, -1 when it cannot be embedded
    std::map<BoxedKey, int> boxedFonts_;
    Run run_;
};

}  // namespace vel::platform
