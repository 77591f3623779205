#pragma once
// Writes a PDF file page by page. A page's drawing is kept in memory until
// the page ends, then compressed and written; fonts follow at the end of the
// document with only the glyphs it used. Memory therefore does not grow with
// the number of pages.
//
// Coordinates are device pixels of the printer's resolution, with the origin
// at the top left corner of the drawing area and y growing downwards, as on
// the canvas. Text runs are written as runs, not glyph by glyph, so a report
// page of thousands of characters stays small and quick to write.

#include "platform/canvas.h"
#include "platform/pdf/true_type.h"

#include <cstdint>
#include <cstdio>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <memory>
#include <vector>

struct z_stream_s;

namespace vel::platform {

class PdfWriter {
public:
    struct PageFormat {
        double widthPt = 595;   // the sheet, in points
        double heightPt = 842;
        int originX = 0;        // device pixels from the sheet's top left corner
        int originY = 0;        // to the drawing origin
        int dpi = 600;
    };
    struct RectF {
        double x = 0, y = 0, width = 0, height = 0;
    };
    struct PointF {
        double x = 0, y = 0;
    };
    struct Glyph {
        std::uint16_t id = 0;
        double x = 0;            // left end of the glyph's advance
        char32_t unicode = 0;    // what the glyph stands for, for copying text
    };
    // A character that paints its own box before its glyph, as a report's
    // characters do: each one covers what lay under its box, including the
    // edge of the character before it.
    struct BoxedChar {
        unsigned char code = 0;  // the byte it was drawn for
        double x = 0;            // left edge of its box
        double width = 0;        // of its box, which is also its advance
        std::uint16_t glyph = 0; // 0: the box alone
        char32_t unicode = 0;
    };
    // One piece of an outline: a move or line to p[0], or a cubic curve
    // through the control points p[0], p[1] to p[2].
    struct PathPiece {
        enum Kind { Move, Line, Curve } kind = Move;
        PointF p[3];
    };

    // Creates or truncates `path`. Throws vel::IoError.
    PdfWriter(std::string path, std::string_view titleUtf8, std::string_view creator);
    // Closes the file; an unfinished document stays incomplete and is the
    // caller's to remove.
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // Registers a font for this document; the number names it in showGlyphs.
    int addFont(TrueTypeFont font, std::string postScriptName);

    // A font for boxed characters drawn with `font` at `sizePx`: boxes of
    // `height` pixels whose top lies `ascent` pixels above the baseline,
    // painted white, glyphs painted in `color`.
    int addBoxedFont(int font, double sizePx, double ascent, double height, Color color);

    void beginPage(const PageFormat& format);
    // Throws vel::IoError when the file cannot be written.
    void endPage();
    // Ends the open page, if any, writes fonts and the file's tables, and
    // closes the file. Throws vel::IoError.
    void finish();

    // Rectangles that touch or overlap along a line are filled as one.
    void fillRects(const std::vector<RectF>& rects, Color fill);
    // Glyphs of one font on one baseline, each at its own x.
    void showGlyphs(int font, double sizePx, double baseline, const std::vector<Glyph>& glyphs, Color color);
    // Boxed characters of one boxed font on one line whose box tops are at `top`.
    void showBoxed(int boxedFont, double top, const std::vector<BoxedChar>& chars);
    void strokePolyline(const std::vector<Point>& points, int width, Color color);
    // Filled by the even-odd rule and outlined, as a polygon is drawn.
    void fillPolygon(const std::vector<Point>& points, Color fill, int penWidth, Color penColor);
    // Filled by the non-zero rule, as glyph outlines are.
    void fillPath(const std::vector<PathPiece>& path, Color fill);

private:
    struct FontUse {
        TrueTypeFont program;
        std::string name;
        std::map<std::uint16_t, char32_t> glyphs;  // used glyph -> its text
        std::vector<double> widths;                 // per glyph, 1/1000 em, 0 until used

        // Keeps the glyph for the embedded subset, with the first text known for it.
        void use(std::uint16_t glyph, char32_t unicode) {
            auto [it, added] = glyphs.emplace(glyph, unicode);
            if (!added && it->second == 0) it->second = unicode;
        }
    };

    struct BoxedFont {
        int font = 0;
        double sizePx = 0, ascent = 0, height = 0;
        Color color = kBlack;
        std::array<std::optional<BoxedChar>, 256> chars;  // as first drawn
    };

    bool deflate(std::string_view data);
    int newObject();
    void writeBoxedFont(int index, int object, const std::vector<int>& fontObjects);
    void showCodes(const std::vector<unsigned>& codes, const std::vector<double>& xs,
                   const std::vector<double>& widths, double size, bool twoBytes);
    void startObject(int number);
    void write(std::string_view bytes);
    void writeStream(int number, const std::string& dictionary, std::string_view data, bool compress);
    void writeFont(int index, int type0);
    double glyphWidth(FontUse& font, std::uint16_t glyph);
    void setFill(Color color);
    void setStroke(int width, Color color);

    std::string path_;
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::unique_ptr<z_stream_s> zip_;
    std::string packed_;
    std::size_t packedSize_ = 0;
    std::uint64_t written_ = 0;
    bool failed_ = false;
    std::vector<std::uint64_t> offsets_;  // by object number; [0] unused
    std::vector<int> pages_;
    std::vector<FontUse> fonts_;
    std::vector<BoxedFont> boxedFonts_;
    std::string title_;
    std::string creator_;

    // The open page.
    bool pageOpen_ = false;
    PageFormat format_;
    std::string content_;
    Color fill_ = kBlack;
    Color stroke_ = kBlack;
    int lineWidth_ = -1;
    double charSpacing_ = 0;
    // Kept between calls so that a run does not allocate.
    std::vector<unsigned> codes_;
    std::vector<double> xs_, widths_;
};

}  // namespace vel::platform
