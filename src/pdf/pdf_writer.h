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
//
// What is drawn is what the page shows, with fewer operations: a character's
// white box is painted only where it covers something drawn before it (the
// glyph boxes of the font say how far each glyph reaches), and strokes of one
// pen are kept as one path painted when something drawn later could cover
// them, or at the end of the page. Glyphs are shown with the embedded fonts
// themselves, so that renderers cache each glyph once per size.

#include "platform/canvas.h"
#include "pdf/true_type.h"

#include <cstdint>
#include <cstdio>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
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
    };

    // A rectangle of device pixels.
    struct Box {
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        bool meets(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
    };

    // Where the open page has paint other than white, as rectangles sorted
    // into a grid of cells, so that a character's box is tested against the
    // few things drawn near it.
    class InkMap {
    public:
        void reset(const Box& page);
        void add(const Box& box);
        bool meets(const Box& box) const;

    private:
        int column(double x) const;
        int row(double y) const;
        // Kept in single precision: a page's pixels need no more.
        struct Stored {
            float x0, y0, x1, y1;
        };
        Box page_;
        int columns_ = 0, rows_ = 0;
        std::vector<std::vector<Stored>> cells_;
        std::vector<int> filled_;  // cells to empty at the next page
    };

    bool deflate(std::string_view data);
    int newObject();
    void showCodes(const std::vector<unsigned>& codes, const std::vector<double>& xs,
                   const std::vector<double>& widths, double size, bool twoBytes);
    // Glyphs of one font at their places, without their boxes.
    void writeGlyphRun(int font, double sizePx, double baseline, const std::vector<Glyph>& glyphs, Color color);
    // The page area a glyph's outline can paint; empty for a glyph without one.
    std::optional<Box> glyphInk(FontUse& font, std::uint16_t glyph, double sizePx, double x, double baseline);
    // Before painting `area` in `color`: strokes waiting to be painted that
    // lie under it are painted first, unless they have its colour (then the
    // order does not change a pixel).
    void settle(const Box& area, Color color);
    void paintPath();
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
    InkMap ink_;
    // Strokes not painted yet, all with one pen: polylines (a segment that
    // goes on straight from the end of one, or leads straight into its
    // start, lengthens it), the area each segment covers, and the polylines
    // by the points where they end and begin.
    std::vector<std::vector<Point>> strokes_;
    std::size_t strokeCount_ = 0;  // in use; the rest keep their memory
    int pathWidth_ = 0;
    Color pathColor_ = kBlack;
    std::vector<Box> pathInk_;
    Box pathBounds_;
    std::unordered_map<std::uint64_t, std::size_t> strokeEnds_, strokeStarts_;
    std::vector<Glyph> glyphs_;
    std::vector<Box> whiteBoxes_;
    std::vector<Box> runInk_;
    std::string shown_;
    // Kept between calls so that a run does not allocate.
    std::vector<unsigned> codes_;
    std::vector<double> xs_, widths_;
};

}  // namespace vel::platform
