// The PDF writer and the font subsets it embeds: files read back with
// poppler's tools, subsets loaded back as fonts with Qt.

#include "pdf/pdf_writer.h"

#include "common/io.h"
#include "qt_test_support.h"
#include "support/temp_dir.h"

#include <QByteArray>
#include <QPainterPath>
#include <QRawFont>

#include <gtest/gtest.h>

#include <charconv>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/resource.h>

namespace vel::platform {
namespace {

constexpr char kMonoFile[] = "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf";

QRawFont Mono() {
    test::QtApp();
    return QRawFont(QString(kMonoFile), 100);
}

TrueTypeFont::TableSource TablesOf(const QRawFont& font) {
    return [font](std::string_view tag) {
        const QByteArray table = font.fontTable(std::string(tag).c_str());
        return std::string(table.constData(), static_cast<std::size_t>(table.size()));
    };
}

std::uint16_t GlyphOf(const QRawFont& font, QChar c) {
    const QList<quint32> glyphs = font.glyphIndexesForString(QString(c));
    return glyphs.size() == 1 ? static_cast<std::uint16_t>(glyphs[0]) : 0;
}

std::uint32_t U16(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) << 8 | static_cast<unsigned char>(b[at + 1]);
}

// The first glyph with an outline made of other glyphs, read from the font's
// own tables.
std::uint16_t FirstComposite(const QRawFont& font) {
    const auto tables = TablesOf(font);
    const std::string head = tables("head"), loca = tables("loca"), glyf = tables("glyf"), maxp = tables("maxp");
    const bool longOffsets = U16(head, 50) == 1;
    const std::uint32_t count = U16(maxp, 4);
    auto offset = [&](std::uint32_t g) {
        return longOffsets ? (U16(loca, g * 4) << 16 | U16(loca, g * 4 + 2)) : U16(loca, g * 2) * 2;
    };
    for (std::uint32_t g = 1; g < count; ++g)
        if (offset(g + 1) > offset(g) && static_cast<std::int16_t>(U16(glyf, offset(g))) < 0 &&
            !font.pathForGlyph(g).isEmpty())
            return static_cast<std::uint16_t>(g);
    return 0;
}

std::uint32_t FileChecksum(const std::string& data) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 3 < data.size(); i += 4)
        sum += static_cast<std::uint32_t>(U16(data, i) << 16 | U16(data, i + 2));
    return sum;
}

TEST(TrueTypeFontTest, ReadsTheMetricsOfAMonospacedFont) {
    const QRawFont raw = Mono();
    ASSERT_TRUE(raw.isValid()) << kMonoFile << " (package fonts-liberation2)";
    const auto font = TrueTypeFont::FromTables(TablesOf(raw));
    ASSERT_TRUE(font);
    EXPECT_EQ(font->unitsPerEm(), 2048);
    EXPECT_TRUE(font->fixedPitch());
    for (QChar c : QString("Mi\u0105_")) EXPECT_EQ(font->advance(GlyphOf(raw, c)), 1229) << int{c.unicode()};
    EXPECT_GT(font->ascent(), 0);
    EXPECT_LT(font->descent(), 0);
    EXPECT_EQ(font->italicAngle(), 0);
}

TEST(TrueTypeFontTest, SubsetKeepsTheUsedOutlinesAndLoadsAsAFont) {
    const QRawFont raw = Mono();
    const auto font = TrueTypeFont::FromTables(TablesOf(raw));
    ASSERT_TRUE(font);
    const QString used = QString::fromUtf8("Za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105");
    std::set<std::uint16_t> glyphs;
    for (QChar c : used) glyphs.insert(GlyphOf(raw, c));
    const std::string subset = font->subset(glyphs);

    // The file's checksum adjustment makes the whole file sum to the magic number.
    EXPECT_EQ(FileChecksum(subset), 0xB1B0AFBAu);
    EXPECT_LT(subset.size(), TablesOf(raw)("glyf").size() / 4);

    const QRawFont loaded(QByteArray(subset.data(), static_cast<qsizetype>(subset.size())), 100);
    ASSERT_TRUE(loaded.isValid());
    for (std::uint16_t g : glyphs) {
        SCOPED_TRACE(g);
        EXPECT_EQ(loaded.pathForGlyph(g).boundingRect(), raw.pathForGlyph(g).boundingRect());
        EXPECT_EQ(loaded.pathForGlyph(g).elementCount(), raw.pathForGlyph(g).elementCount());
    }
    EXPECT_FALSE(raw.pathForGlyph(GlyphOf(raw, 'Q')).isEmpty());
    EXPECT_TRUE(loaded.pathForGlyph(GlyphOf(raw, 'Q')).isEmpty());

    // Glyph numbers and advances are those of the original font.
    const auto again = TrueTypeFont::FromTables(TablesOf(loaded));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->glyphCount(), font->glyphCount());
    EXPECT_EQ(again->advance(GlyphOf(raw, 'Z')), font->advance(GlyphOf(raw, 'Z')));
}

TEST(TrueTypeFontTest, CompositeGlyphsKeepTheGlyphsTheyAreBuiltFrom) {
    const QRawFont raw = Mono();
    const auto font = TrueTypeFont::FromTables(TablesOf(raw));
    ASSERT_TRUE(font);
    const std::uint16_t composite = FirstComposite(raw);
    ASSERT_NE(composite, 0) << "the font has no composite glyph";

    const std::string subset = font->subset({composite});
    const QRawFont loaded(QByteArray(subset.data(), static_cast<qsizetype>(subset.size())), 100);
    ASSERT_TRUE(loaded.isValid());
    EXPECT_EQ(loaded.pathForGlyph(composite).boundingRect(), raw.pathForGlyph(composite).boundingRect());
}

TEST(TrueTypeFontTest, DamagedTablesAreRefusedOrReadWithinBounds) {
    const QRawFont raw = Mono();
    const auto original = TablesOf(raw);
    EXPECT_FALSE(TrueTypeFont::FromTables([](std::string_view) { return std::string(); }));
    // A font with outlines in another format has no glyf table.
    EXPECT_FALSE(TrueTypeFont::FromTables(
        [&](std::string_view tag) { return tag == "glyf" ? std::string() : original(tag); }));

    for (const char* damaged : {"head", "hhea", "maxp", "loca", "hmtx", "glyf"}) {
        const std::string whole = original(damaged);
        for (std::size_t keep : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{53}, whole.size() / 2}) {
            for (bool scramble : {false, true}) {
                SCOPED_TRACE(std::string(damaged) + " cut to " + std::to_string(keep) + (scramble ? ", scrambled" : ""));
                std::string table = whole.substr(0, std::min(keep, whole.size()));
                if (scramble)
                    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<char>(table[i] ^ (i * 37 + 11));
                const auto font = TrueTypeFont::FromTables(
                    [&](std::string_view tag) { return tag == damaged ? table : original(tag); });
                if (!font) continue;
                const std::string subset = font->subset({1, 2, 3, 100, 65535});
                EXPECT_GE(subset.size(), 12u);
                EXPECT_GE(font->advance(65535), 0);
            }
        }
    }
}

// A writer on a file of the test's temporary folder.
class PdfWriterTest : public ::testing::Test {
protected:
    std::string file(const char* name) const { return (dir.path() / name).string(); }

    // Words with their left edges in points, from pdftotext's boxes.
    static std::vector<std::pair<std::string, double>> Words(const std::string& pdf) {
        const std::string html = test::Capture("pdftotext -bbox " + test::Quote(pdf) + " - 2>/dev/null");
        std::vector<std::pair<std::string, double>> words;
        static const std::regex word(R"re(<word xMin="([0-9.]+)"[^>]*>([^<]*)</word>)re");
        for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it) {
            const std::string x = (*it)[1].str();
            double left = 0;  // '.' under any locale, unlike std::stod
            std::from_chars(x.data(), x.data() + x.size(), left);
            words.emplace_back((*it)[2].str(), left);
        }
        return words;
    }

    // Grey levels of page 1 rendered at `dpi`, row by row.
    struct Raster {
        int width = 0, height = 0;
        std::string pixels;
        int at(int x, int y) const { return static_cast<unsigned char>(pixels[static_cast<std::size_t>(y * width + x)]); }
    };
    Raster render(const std::string& pdf, int dpi) const {
        const std::string base = (dir.path() / "page").string();
        const std::string command = "pdftoppm -gray -r " + std::to_string(dpi) + " -f 1 -l 1 -singlefile " +
                                    test::Quote(pdf) + " " + test::Quote(base);
        Raster r;
        if (std::system(command.c_str()) != 0) return r;
        std::ifstream in(base + ".pgm", std::ios::binary);
        std::string magic;
        int maxValue = 0;
        in >> magic >> r.width >> r.height >> maxValue;
        in.get();
        r.pixels.assign(std::istreambuf_iterator<char>(in), {});
        return r;
    }

    QRawFont raw = Mono();
    test::ScopedTempDir dir;
};

TEST_F(PdfWriterTest, PagesCarryTheirSizesTheTitleAndTheText) {
    const std::string pdf = file("two.pdf");
    PdfWriter writer(pdf, "Zestawienie \xc5\xbc\xc3\xb3\xc5\x82te", "Vel");
    const int font = writer.addFont(*TrueTypeFont::FromTables(TablesOf(raw)), "LiberationMono");
    auto line = [&](const QString& text, double x, double y, double size) {
        std::vector<PdfWriter::Glyph> glyphs;
        for (QChar c : text) {
            glyphs.push_back({GlyphOf(raw, c), x, c.unicode()});
            x += size * 0.6;
        }
        writer.showGlyphs(font, size, y, glyphs, kBlack);
    };
    writer.beginPage({595, 842, 0, 0, 600});
    line(QString::fromUtf8("Za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105 ja\u017a\u0144"), 600, 1000, 100);
    writer.beginPage({842, 595, 0, 0, 600});
    line("Strona druga", 600, 1000, 100);
    writer.finish();

    EXPECT_EQ(test::PdfPages(pdf), 2);
    const std::string info = test::Capture("pdfinfo -f 1 -l 2 " + test::Quote(pdf));
    EXPECT_NE(info.find("Title:           Zestawienie \xc5\xbc\xc3\xb3\xc5\x82te"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    1 size:  595 x 842"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    2 size:  842 x 595"), std::string::npos) << info;
    const std::string text = test::PdfText(pdf);
    EXPECT_NE(text.find("Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87 g\xc4\x99\xc5\x9bl\xc4\x85 ja\xc5\xba\xc5\x84"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Strona druga"), std::string::npos) << text;
    const std::string fonts = test::Capture("pdffonts " + test::Quote(pdf));
    EXPECT_NE(fonts.find("+LiberationMono"), std::string::npos) << fonts;
    EXPECT_NE(fonts.find("CID TrueType"), std::string::npos) << fonts;
}

TEST_F(PdfWriterTest, GlyphsLandWhereTheyAreGivenEvenOrUneven) {
    const std::string pdf = file("places.pdf");
    PdfWriter writer(pdf, "places", "Vel");
    const int font = writer.addFont(*TrueTypeFont::FromTables(TablesOf(raw)), "LiberationMono");
    // At 72 dpi a device pixel is a point.
    writer.beginPage({595, 842, 0, 0, 72});
    const std::uint16_t a = GlyphOf(raw, 'A'), b = GlyphOf(raw, 'B'), c = GlyphOf(raw, 'C');
    writer.showGlyphs(font, 20, 100, {{a, 100, 'A'}, {b, 200, 'B'}, {c, 350, 'C'}}, kBlack);  // uneven
    writer.showGlyphs(font, 20, 200, {{a, 100, 'A'}, {b, 130, 'B'}, {c, 160, 'C'}}, kBlack);  // one pitch
    writer.showGlyphs(font, 20, 300, {{c, 400, 'C'}, {b, 300, 'B'}}, kBlack);                 // backwards
    // Boxed characters: a skipped run of spaces makes the steps uneven.
    const int boxed = writer.addBoxedFont(font, 20, 16, 22, kBlack);
    writer.showBoxed(boxed, 384, {{'D', 100, 12, GlyphOf(raw, 'D'), 'D'}, {'E', 112, 12, GlyphOf(raw, 'E'), 'E'},
                                  {'F', 220, 12, GlyphOf(raw, 'F'), 'F'}});
    writer.finish();

    auto words = Words(pdf);
    const std::vector<std::pair<std::string, double>> expected = {
        {"A", 100}, {"B", 200}, {"C", 350}, {"A", 100}, {"B", 130}, {"C", 160},
        {"B", 300}, {"C", 400}, {"DE", 100}, {"F", 220}};
    EXPECT_EQ(words.size(), expected.size()) << ::testing::PrintToString(words);
    // Each expected word once, in whatever order the reader finds them.
    for (const auto& [text, x] : expected) {
        const auto found = std::find_if(words.begin(), words.end(), [&](const auto& w) {
            return w.first == text && std::abs(w.second - x) < 0.5;
        });
        EXPECT_NE(found, words.end()) << text << " at " << x << " in " << ::testing::PrintToString(words);
        if (found != words.end()) words.erase(found);
    }
}

// Each boxed character paints its white box before its glyph, so the box of
// the next one hides the right edge of a glyph wider than the pitch.
TEST_F(PdfWriterTest, BoxedCharactersCoverTheEdgeOfTheOneBefore) {
    const std::uint16_t m = GlyphOf(raw, 'M');
    auto draw = [&](const char* name, bool withNext) {
        const std::string pdf = file(name);
        PdfWriter writer(pdf, name, "Vel");
        const int font = writer.addFont(*TrueTypeFont::FromTables(TablesOf(raw)), "LiberationMono");
        const int boxed = writer.addBoxedFont(font, 100, 80, 110, kBlack);
        writer.beginPage({200, 200, 0, 0, 72});
        std::vector<PdfWriter::BoxedChar> chars{{'M', 20, 60, m, 'M'}};
        if (withNext) chars.push_back({' ', 50, 60, GlyphOf(raw, ' '), ' '});
        writer.fillRects({{0, 0, 200, 200}}, 0x808080);  // grey under everything
        writer.showBoxed(boxed, 40, chars);
        writer.finish();
        return render(pdf, 144);
    };
    const Raster alone = draw("alone.pdf", false);
    const Raster covered = draw("covered.pdf", true);
    ASSERT_GT(alone.width, 0);
    ASSERT_EQ(covered.width, alone.width);
    // Device pixel (x, y) is raster pixel (2x, 2y); the glyph's ink lies
    // between y 45 and 120, the boxes between 40 and 150.
    auto darkIn = [](const Raster& r, int x0, int x1) {
        int dark = 0;
        for (int y = 90; y < 240; ++y)
            for (int x = 2 * x0; x < 2 * x1; ++x) dark += r.at(x, y) < 64;
        return dark;
    };
    EXPECT_GT(darkIn(alone, 20, 50), 100);    // the M's left part
    EXPECT_GT(darkIn(alone, 52, 80), 100);    // and its right part
    EXPECT_GT(darkIn(covered, 20, 50), 100);  // left part still there
    EXPECT_EQ(darkIn(covered, 51, 80), 0);    // right part under the space's box
    EXPECT_EQ(covered.at(2 * 60, 2 * 100), 255);  // white box, not the grey below
    EXPECT_EQ(covered.at(2 * 150, 2 * 100), alone.at(2 * 150, 2 * 100));  // past both boxes: grey
    EXPECT_LT(alone.at(2 * 150, 2 * 100), 200);
    EXPECT_NE(test::PdfText(file("covered.pdf")).find("M"), std::string::npos);
}

// A frame drawn cell by cell, as a report draws it: each cell's segments
// from its own whole-pixel grid points, so that neighbouring cells' lines
// meet, overlap or leave a one-pixel gap. The page holds a few long lines of
// one path, and the frame prints continuous.
TEST_F(PdfWriterTest, FrameSegmentsBecomeAFewContinuousLines) {
    const std::string pdf = file("frame.pdf");
    PdfWriter writer(pdf, "frame", "Vel");
    writer.beginPage({200, 200, 0, 0, 300});
    const int cell = 35428;  // thousandths of a pixel
    auto x = [&](int column, int gx) { return column * cell / 1000 + 20 + gx * cell / 5000; };
    for (int row = 0; row < 6; ++row) {
        const int bottom = 60 + 50 * row;
        for (int column = 0; column < 20; ++column) {
            if (row == 0 || row == 5)
                writer.strokePolyline({{x(column, 0), bottom - 30}, {x(column, 5), bottom - 30}}, 3, kBlack);
            else if (column == 0 || column == 19)
                writer.strokePolyline({{x(column, 2), bottom}, {x(column, 2), bottom - 50}}, 3, kBlack);
        }
    }
    writer.finish();

    const std::string uncompressed = file("frame-qdf.pdf");
    ASSERT_EQ(std::system(("qpdf --qdf --object-streams=disable " + test::Quote(pdf) + " " + test::Quote(uncompressed)).c_str()), 0);
    std::ifstream in(uncompressed, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::size_t moves = 0, strokes = 0;
    for (std::size_t at = text.find(" m "); at != std::string::npos; at = text.find(" m ", at + 1)) ++moves;
    for (std::size_t at = text.find("\nS\n"); at != std::string::npos; at = text.find("\nS\n", at + 1)) ++strokes;
    EXPECT_EQ(moves, 4u);  // two rows, two columns
    EXPECT_EQ(strokes, 1u);

    const Raster page = render(pdf, 300);
    ASSERT_GT(page.width, 0);
    for (const int y : {30, 280}) {
        SCOPED_TRACE(y);
        for (int px = x(0, 0) + 1; px < x(19, 5) - 1; ++px) EXPECT_LT(page.at(px, y), 128) << px;
    }
}

TEST_F(PdfWriterTest, FailuresToWriteAreReported) {
    EXPECT_THROW(PdfWriter(file("no/such/folder/x.pdf"), "x", "Vel"), IoError);
    // A device is never written to: only a regular file is.
    if (std::ifstream("/dev/full").good()) EXPECT_THROW(PdfWriter("/dev/full", "full", "Vel"), IoError);
    // A disk that fills up while the document is written: the process may
    // write no more than a few bytes to any file.
    const auto saved = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    {
        PdfWriter writer(file("full.pdf"), "full", "Vel");
        rlimit small = old;
        small.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &small);
        writer.beginPage({});
        writer.fillRects({{0, 0, 10, 10}}, kBlack);
        EXPECT_THROW(writer.finish(), IoError);
        setrlimit(RLIMIT_FSIZE, &old);
    }
    std::signal(SIGXFSZ, saved);
}

}  // namespace
}  // namespace vel::platform
