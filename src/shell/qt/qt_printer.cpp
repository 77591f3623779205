#include "shell/qt/qt_printer.h"

#include "common/codepage.h"
#include "common/io.h"
#include "pdf/pdf_file_name.h"
#include "pdf/pdf_writer.h"
#include "platform/output_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainterPath>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRawFont>

#include <array>

#include <cups/cups.h>
#include <dlfcn.h>

#include <cmath>
#include <map>
#include <optional>

namespace vel::platform {
namespace {

constexpr int kUnknownDpi = 600;

QString ToQt(std::string_view cp1250) { return QString::fromStdString(Cp1250ToUtf8(cp1250)); }
std::string FromQt(const QString& text) { return Utf8ToCp1250(text.toStdString()); }

QPageLayout::Orientation ToQt(Orientation o) {
    return o == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// What a document on one printer is drawn with.
struct Setup {
    QString qtName;
    bool builtIn = true;
    int dpi = kUnknownDpi;
    QPageLayout layout{QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter};
};

// The queue's default resolution ("printer-resolution-default") as CUPS
// reports it; 0 when unknown. libcups is the library Qt's own CUPS support
// loads; it is looked up at run time so that a system without it still prints
// to the built-in PDF printer.
int CupsDefaultDpi(const QString& qtName) {
    static void* lib = dlopen("libcups.so.2", RTLD_LAZY | RTLD_LOCAL);
    if (!lib) return 0;
    const auto getNamedDest = reinterpret_cast<decltype(&cupsGetNamedDest)>(dlsym(lib, "cupsGetNamedDest"));
    const auto copyDestInfo = reinterpret_cast<decltype(&cupsCopyDestInfo)>(dlsym(lib, "cupsCopyDestInfo"));
    const auto findDefault = reinterpret_cast<decltype(&cupsFindDestDefault)>(dlsym(lib, "cupsFindDestDefault"));
    const auto getResolution = reinterpret_cast<decltype(&ippGetResolution)>(dlsym(lib, "ippGetResolution"));
    const auto freeDestInfo = reinterpret_cast<decltype(&cupsFreeDestInfo)>(dlsym(lib, "cupsFreeDestInfo"));
    const auto freeDests = reinterpret_cast<decltype(&cupsFreeDests)>(dlsym(lib, "cupsFreeDests"));
    if (!getNamedDest || !copyDestInfo || !findDefault || !getResolution || !freeDestInfo || !freeDests) return 0;
    cups_dest_t* dest = getNamedDest(CUPS_HTTP_DEFAULT, qtName.toUtf8().constData(), nullptr);
    if (!dest) return 0;
    int dpi = 0;
    if (cups_dinfo_t* info = copyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
        if (ipp_attribute_t* attr = findDefault(CUPS_HTTP_DEFAULT, dest, info, "printer-resolution")) {
            int y = 0;
            ipp_res_t units = IPP_RES_PER_INCH;
            const int x = getResolution(attr, 0, &y, &units);
            dpi = units == IPP_RES_PER_CM ? static_cast<int>(std::lround(x * 2.54)) : x;
        }
        freeDestInfo(info);
    }
    freeDests(1, dest);
    return dpi;
}

// The default resolution and page layout CUPS gives for a queue.
Setup CupsSetup(const QString& qtName) {
    Setup s;
    s.qtName = qtName;
    s.builtIn = false;
    const QPrinterInfo info = QPrinterInfo::printerInfo(qtName);
    if (info.isNull()) return s;
    const int dpi = CupsDefaultDpi(qtName);
    s.dpi = dpi > 0 ? dpi : kUnknownDpi;
    QPrinter native(info, QPrinter::HighResolution);
    QPageLayout layout = native.pageLayout();
    if (layout.isValid()) s.layout = layout;
    s.layout.setOrientation(QPageLayout::Portrait);
    return s;
}

// The canvas of a document: draws into the document's PDF writer and
// measures fonts on a printer device of the document's resolution.
class QtCanvas final : public Canvas {
public:
    void setDevice(QPaintDevice* measure) {
        flush();
        measure_ = measure;
        fonts_.clear();
    }
    // The document being drawn, or none: characters still kept belong to the
    // document that ends, and are drawn (flush) or dropped by the caller
    // before this.
    void attach(PdfWriter* pdf) {
        run_ = Run{};
        pdf_ = pdf;
        pdfFonts_.clear();
        boxedFonts_.clear();
    }

    int textWidth(const Font& font, std::string_view text) override {
        return static_cast<int>(std::lround(entry(font).width(text)));
    }
    int textHeight(const Font& font, std::string_view) override {
        return static_cast<int>(std::lround(entry(font).metrics.height()));
    }
    // A report draws one character at a time, thousands a page, each on its
    // white box that covers the edge of the character before it. Characters
    // on one line in one font and colour are kept and written as one run of
    // a font whose characters paint their box and then their glyph, so the
    // page shows the same as drawing each character at once.
    void drawText(Point at, std::string_view text, const Font& font) override {
        if (!pdf_) return;
        FontEntry& e = entry(font);
        const double width = e.width(text);
        if (text.size() != 1) {
            flush();
            pdf_->fillRects({{double(at.x), double(at.y), width, e.metrics.height()}}, kWhite);
            drawGlyphs(e, font.color, at.y + e.metrics.ascent(), e.glyphs(at.x, ToQt(text)));
            return;
        }
        if (!run_.chars.empty() &&
            (run_.font != &e || run_.color != font.color || run_.y != at.y || run_.chars.size() >= 1024))
            flush();
        run_.font = &e;
        run_.color = font.color;
        run_.y = at.y;
        const auto byte = static_cast<unsigned char>(text[0]);
        run_.chars.push_back({byte, double(at.x), width, e.glyph(byte), e.unicode(byte)});
    }
    // Draws the characters kept so far.
    void flush() {
        if (run_.chars.empty()) return;
        if (pdf_) {
            const FontEntry& e = *run_.font;
            const int boxed = boxedFont(e, run_.color);
            if (boxed >= 0) {
                pdf_->showBoxed(boxed, run_.y, run_.chars);
            } else {
                for (const PdfWriter::BoxedChar& c : run_.chars) {
                    pdf_->fillRects({{c.x, double(run_.y), c.width, e.metrics.height()}}, kWhite);
                    if (c.glyph != 0)
                        drawGlyphs(e, run_.color, run_.y + e.metrics.ascent(), {{c.glyph, c.x, c.unicode}});
                }
            }
        }
        run_ = Run{};
    }
    void drawLine(Point from, Point to, const Pen& pen) override {
        if (!pdf_) return;
        flush();
        pdf_->strokePolyline({from, to}, penWidth(pen), pen.color);
    }
    void drawPolyline(const std::vector<Point>& points, const Pen& pen) override {
        if (!pdf_) return;
        flush();
        pdf_->strokePolyline(points, penWidth(pen), pen.color);
    }
    void drawPolygon(const std::vector<Point>& points, Color fill, const Pen& pen) override {
        if (!pdf_) return;
        flush();
        pdf_->fillPolygon(points, fill, penWidth(pen), pen.color);
    }
    void fillRect(Point topLeft, Point bottomRight, Color fill) override {
        if (!pdf_ || bottomRight.x <= topLeft.x || bottomRight.y <= topLeft.y) return;
        flush();
        pdf_->fillRects({{double(topLeft.x), double(topLeft.y), double(bottomRight.x - topLeft.x),
                          double(bottomRight.y - topLeft.y)}},
                        fill);
    }

private:
    using Glyphs = std::vector<PdfWriter::Glyph>;

    // A font as the device sees it, with the widths and glyphs of single
    // bytes kept: a report draws and measures one character at a time.
    struct FontEntry {
        FontEntry(const Font& f, QPaintDevice* device)
            : key(f), qfont(toQFont(f)), metrics(qfont, device), raw(QRawFont::fromFont(qfont)) {
            byteWidths.fill(-1);
            byteGlyphs.fill(kUnknown);
            // The glyphs are drawn at the size the device gives the font.
            if (raw.isValid() && device) raw.setPixelSize(qfont.pointSizeF() * device->logicalDpiY() / 72.0);
        }
        std::uint16_t glyph(unsigned char byte) {
            std::uint32_t& g = byteGlyphs[byte];
            if (g == kUnknown) {
                const QList<quint32> found = raw.glyphIndexesForString(ToQt(std::string(1, static_cast<char>(byte))));
                g = found.size() == 1 && found[0] <= 0xFFFF ? found[0] : 0;
            }
            return static_cast<std::uint16_t>(g);
        }
        static char32_t unicode(unsigned char byte) {
            const QString text = ToQt(std::string(1, static_cast<char>(byte)));
            return text.size() == 1 ? text[0].unicode() : 0;
        }
        // The glyphs of a text laid out from `x` by their own advances.
        Glyphs glyphs(int x, const QString& text) const {
            Glyphs out;
            if (!raw.isValid()) return out;
            const QList<quint32> ids = raw.glyphIndexesForString(text);
            const QList<QPointF> advances = raw.advancesForGlyphIndexes(ids, QRawFont::UseDesignMetrics);
            double pen = x;
            for (qsizetype i = 0; i < ids.size(); ++i) {
                if (ids[i] != 0 && ids[i] <= 0xFFFF)
                    out.push_back({static_cast<std::uint16_t>(ids[i]), pen,
                                   ids.size() == text.size() ? text[i].unicode() : char32_t{0}});
                pen += advances.value(i).x();
            }
            return out;
        }
        static constexpr std::uint32_t kUnknown = 0xFFFFFFFF;
        double width(std::string_view text) {
            if (text.size() != 1) return metrics.horizontalAdvance(ToQt(text));
            double& w = byteWidths[static_cast<unsigned char>(text[0])];
            if (w < 0) w = metrics.horizontalAdvance(ToQt(text));
            return w;
        }
        Font key;
        QFont qfont;
        QFontMetricsF metrics;
        std::array<double, 256> byteWidths;
        QRawFont raw;
        std::array<std::uint32_t, 256> byteGlyphs;
    };

    struct Run {
        const FontEntry* font = nullptr;
        Color color = kBlack;
        int y = 0;
        std::vector<PdfWriter::BoxedChar> chars;
    };

    // The document's font for a face, registered at its first use; -1 for a
    // face that cannot be embedded (not TrueType), whose glyphs are drawn as
    // outlines instead.
    int pdfFont(const QRawFont& raw) {
        const QString face = raw.familyName() + '-' + raw.styleName();
        if (const auto found = pdfFonts_.find(face); found != pdfFonts_.end()) return found->second;
        std::optional<TrueTypeFont> program = TrueTypeFont::FromTables([&raw](std::string_view tag) {
            const QByteArray table = raw.fontTable(std::string(tag).c_str());
            return std::string(table.constData(), static_cast<std::size_t>(table.size()));
        });
        std::string name;
        for (const QChar c : face)
            if ((c.isLetterOrNumber() && c.unicode() < 0x80) || c == '-') name += static_cast<char>(c.unicode());
        const int index = program ? pdf_->addFont(std::move(*program), name.empty() ? "Font" : name) : -1;
        pdfFonts_.emplace(face, index);
        return index;
    }

    // The document's boxed font for a font entry in a colour; -1 when its
    // face cannot be embedded.
    int boxedFont(const FontEntry& e, Color color) {
        if (!e.raw.isValid()) return -1;
        const int font = pdfFont(e.raw);
        if (font < 0) return -1;
        const BoxedKey key{font, e.raw.pixelSize(), e.metrics.ascent(), e.metrics.height(), color};
        if (const auto found = boxedFonts_.find(key); found != boxedFonts_.end()) return found->second;
        const int index = pdf_->addBoxedFont(font, key.sizePx, key.ascent, key.height, color);
        boxedFonts_.emplace(key, index);
        return index;
    }

    void drawGlyphs(const FontEntry& e, Color color, double baseline, const Glyphs& glyphs) {
        if (glyphs.empty() || !e.raw.isValid()) return;
        const int font = pdfFont(e.raw);
        if (font >= 0) {
            pdf_->showGlyphs(font, e.raw.pixelSize(), baseline, glyphs, color);
            return;
        }
        std::vector<PdfWriter::PathPiece> pieces;
        for (const PdfWriter::Glyph& g : glyphs) {
            const QPainterPath path = e.raw.pathForGlyph(g.id);
            for (int i = 0; i < path.elementCount(); ++i) {
                const QPainterPath::Element el = path.elementAt(i);
                const PdfWriter::PointF p{g.x + el.x, baseline + el.y};
                if (el.isMoveTo()) {
                    pieces.push_back({PdfWriter::PathPiece::Move, {p}});
                } else if (el.isLineTo()) {
                    pieces.push_back({PdfWriter::PathPiece::Line, {p}});
                } else if (el.isCurveTo() && i + 2 < path.elementCount()) {
                    const QPainterPath::Element c2 = path.elementAt(i + 1);
                    const QPainterPath::Element end = path.elementAt(i + 2);
                    pieces.push_back({PdfWriter::PathPiece::Curve,
                                      {p, {g.x + c2.x, baseline + c2.y}, {g.x + end.x, baseline + end.y}}});
                    i += 2;
                }
            }
        }
        pdf_->fillPath(pieces, color);
    }

    static QFont toQFont(const Font& font) {
        QFont f(ToQt(font.name));
        f.setPointSizeF(font.sizePt > 0 ? font.sizePt : 1);
        f.setBold(font.bold);
        f.setItalic(font.italic);
        f.setKerning(false);
        return f;
    }
    static int penWidth(const Pen& pen) { return pen.width > 0 ? pen.width : 1; }
    // Fonts are measured on the printer's own device so that widths match
    // what is drawn at the printer's resolution. Colour does not change the
    // measurements, so one entry serves every colour of a font.
    FontEntry& entry(const Font& font) {
        for (auto& e : fonts_) {
            if (e->key.name == font.name && e->key.sizePt == font.sizePt && e->key.bold == font.bold &&
                e->key.italic == font.italic)
                return *e;
        }
        if (fonts_.size() >= 64) {
            flush();  // the run may use an entry about to go
            fonts_.clear();
        }
        fonts_.push_back(std::make_unique<FontEntry>(font, measure_));
        return *fonts_.back();
    }

    PdfWriter* pdf_ = nullptr;
    QPaintDevice* measure_ = nullptr;
    std::vector<std::unique_ptr<FontEntry>> fonts_;
    struct BoxedKey {
        int font;
        double sizePx, ascent, height;
        Color color;
        auto operator<=>(const BoxedKey&) const = default;
    };
    std::map<QString, int> pdfFonts_;  // face -> the document's font
    std::map<BoxedKey, int> boxedFonts_;
    Run run_;
};

}  // namespace

struct QtPrinter::Impl {
    std::string current;
    Setup setup;
    Orientation orientation = Orientation::Portrait;
    std::string pdfOverride;

    // The document being printed, and the printer it goes to: a choice of
    // another printer while it prints counts from the next document.
    Setup docSetup;
    std::unique_ptr<PdfWriter> doc;
    QString tempPath;
    std::string title;

    // Measures fonts at the current printer's resolution.
    std::unique_ptr<QPrinter> measure;
    QtCanvas canvas;

    void select(const std::string& name, Setup s) {
        current = name;
        setup = std::move(s);
        measure = std::make_unique<QPrinter>(QPrinter::HighResolution);
        measure->setOutputFormat(QPrinter::PdfFormat);
        measure->setResolution(setup.dpi);
        canvas.setDevice(measure.get());
    }

    QPageLayout layout(const Setup& s) const {
        QPageLayout l = s.layout;
        l.setOrientation(ToQt(orientation));
        return l;
    }

    // The next page of the document: its printer's sheet in the orientation
    // chosen now, drawn from the printable area's corner.
    PdfWriter::PageFormat pageFormat() const {
        const QPageLayout l = layout(docSetup);
        const QRect sheet = l.fullRectPoints();
        const QRect paint = l.paintRectPixels(docSetup.dpi);
        return {double(sheet.width()), double(sheet.height()), paint.left(), paint.top(), docSetup.dpi};
    }

    void discard() {
        canvas.attach(nullptr);
        doc.reset();
        if (!tempPath.isEmpty()) QFile::remove(tempPath);
        tempPath.clear();
    }
};

QtPrinter::QtPrinter() : impl_(std::make_unique<Impl>()) {
    // Documents of a run that was killed while it printed.
    RemoveAbandonedTemporaryFiles(QDir::tempPath().toStdString());
    RemoveAbandonedTemporaryFiles(PdfFolder());
    const std::string def = defaultPrinterName();
    if (def.empty() || !setCurrent(def)) impl_->select(kPdfPrinterName, Setup{});
}

QtPrinter::~QtPrinter() { impl_->discard(); }

std::vector<std::string> QtPrinter::printerNames() {
    std::vector<std::string> names;
    for (const QString& n : QPrinterInfo::availablePrinterNames()) names.push_back(FromQt(n));
    names.push_back(kPdfPrinterName);
    return names;
}

std::string QtPrinter::defaultPrinterName() { return FromQt(QPrinterInfo::defaultPrinterName()); }

bool QtPrinter::setCurrent(const std::string& name) {
    if (name == kPdfPrinterName) {
        impl_->select(name, Setup{});
        return true;
    }
    for (const QString& n : QPrinterInfo::availablePrinterNames()) {
        if (FromQt(n) == name) {
            impl_->select(name, CupsSetup(n));
            return true;
        }
    }
    return false;
}

std::string QtPrinter::currentName() { return impl_->current; }

void QtPrinter::setOrientation(Orientation orientation) {
    // A document in progress takes the new orientation from its next page.
    impl_->orientation = orientation;
}

Orientation QtPrinter::orientation() { return impl_->orientation; }

int QtPrinter::pageWidth() { return impl_->layout(impl_->setup).paintRectPixels(impl_->setup.dpi).width(); }
int QtPrinter::pageHeight() { return impl_->layout(impl_->setup).paintRectPixels(impl_->setup.dpi).height(); }
int QtPrinter::resolution() { return impl_->setup.dpi; }

void QtPrinter::beginDoc(const std::string& title) {
    impl_->discard();
    // A document for the built-in printer is written in the folder of its
    // final name, so that it takes that name by a rename once complete; one
    // for CUPS in the temporary folder, from where lp takes it.
    QString folder = QDir::tempPath();
    std::string extension = ".pdf";
    if (impl_->setup.builtIn) {
        folder = impl_->pdfOverride.empty()
                     ? QString::fromStdString(PdfFolder())
                     : QFileInfo(QString::fromStdString(NativePath(impl_->pdfOverride).string())).absolutePath();
        QDir().mkpath(folder);
        extension = ".part";
    }
    impl_->tempPath = QString::fromStdString(CreateTemporaryFile(folder.toStdString(), extension));
    impl_->title = title;
    impl_->docSetup = impl_->setup;
    try {
        impl_->doc = std::make_unique<PdfWriter>(QFile::encodeName(impl_->tempPath).toStdString(),
                                                 Cp1250ToUtf8(title), "Vel");
        impl_->doc->beginPage(impl_->pageFormat());
    } catch (...) {
        impl_->discard();
        throw;
    }
    impl_->canvas.attach(impl_->doc.get());
}

void QtPrinter::newPage() {
    if (!impl_->doc) throw IoError(impl_->current, "no document is being printed");
    impl_->canvas.flush();
    impl_->doc->beginPage(impl_->pageFormat());
}

void QtPrinter::endDoc() {
    if (!impl_->doc) throw IoError(impl_->current, "no document is being printed");
    impl_->canvas.flush();
    impl_->canvas.attach(nullptr);
    try {
        impl_->doc->finish();
    } catch (...) {
        impl_->discard();
        throw;
    }
    impl_->doc.reset();
    const QString temp = impl_->tempPath;
    impl_->tempPath.clear();

    const Setup& docPrinter = impl_->docSetup;
    if (docPrinter.builtIn) {
        std::string target = impl_->pdfOverride;
        impl_->pdfOverride.clear();
        const std::string written = temp.toStdString();
        QString out;
        if (target.empty()) {
            // A document never replaces another: titles repeat between runs.
            const QString dir = QString::fromStdString(PdfFolder());
            const QString wanted = QDir(dir).filePath(QString::fromStdString(Cp1250ToUtf8(PdfFileName(impl_->title))));
            out = QString::fromStdString(CommitToFreeName(written, wanted.toStdString()));
        } else {
            out = QString::fromStdString(NativePath(target).string());  // the name asked for, replaced
            CommitReplacing(written, out.toStdString());
        }
        // The temporary file was private; the finished document is for anyone to read.
        QFile::setPermissions(out, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                       QFileDevice::ReadOther);
        return;
    }

    // The finished document goes to CUPS only now, so an aborted one never does.
    QProcess lp;
    lp.setProcessChannelMode(QProcess::MergedChannels);
    lp.start("lp", {"-d", docPrinter.qtName, "-t", ToQt(impl_->title), "--", temp});
    if (!lp.waitForStarted(10000)) {
        QFile::remove(temp);
        throw IoError(FromQt(docPrinter.qtName), "cannot run lp (package cups-client)");
    }
    const bool finished = lp.waitForFinished(60000);
    const bool ok = finished && lp.exitStatus() == QProcess::NormalExit && lp.exitCode() == 0;
    const std::string answer = QString::fromLocal8Bit(lp.readAll()).trimmed().toStdString();
    QFile::remove(temp);
    if (!ok) throw IoError(FromQt(docPrinter.qtName), "lp refused the document" + (answer.empty() ? "" : " (" + answer + ")"));
}

void QtPrinter::abortDoc() { impl_->discard(); }

bool QtPrinter::printing() { return impl_->doc != nullptr; }

void QtPrinter::setPdfOutputFile(const std::string& path) { impl_->pdfOverride = path; }

Canvas& QtPrinter::canvas() { return impl_->canvas; }

std::string QtPrinter::PdfFileName(const std::string& title) { return PdfFileNameOf(title); }

void InstallFontSubstitutes() {
    const QStringList families = QFontDatabase::families();
    if (!families.contains("Courier New", Qt::CaseInsensitive))
        QFont::insertSubstitutions("Courier New", {"Liberation Mono", "DejaVu Sans Mono"});
    if (!families.contains("Tahoma", Qt::CaseInsensitive))
        QFont::insertSubstitutions("Tahoma", {"Liberation Sans", "DejaVu Sans"});
}

}  // namespace vel::platform
