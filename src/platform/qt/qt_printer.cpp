#include "platform/qt/qt_printer.h"

#include "common/codepage.h"
#include "common/io.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QGlyphRun>
#include <QRawFont>
#include <QTemporaryFile>

#include <array>

#include <cups/cups.h>
#include <dlfcn.h>

#include <cmath>
#include <map>

namespace vel::platform {
namespace {

constexpr int kUnknownDpi = 600;

QString ToQt(std::string_view cp1250) { return QString::fromStdString(Cp1250ToUtf8(cp1250)); }
std::string FromQt(const QString& text) { return Utf8ToCp1250(text.toStdString()); }

QColor ToQColor(Color c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

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

class QtCanvas final : public Canvas {
public:
    void setDevice(QPaintDevice* measure) {
        measure_ = measure;
        fonts_.clear();
    }
    // A new painter, or none: characters still kept belong to the document
    // that ends, and are drawn (flush) or dropped by the caller before this.
    void attach(QPainter* painter) {
        run_ = Run{};
        painter_ = painter;
        fonts_.clear();
    }

    int textWidth(const Font& font, std::string_view text) override {
        return static_cast<int>(std::lround(entry(font).width(text)));
    }
    int textHeight(const Font& font, std::string_view) override {
        return static_cast<int>(std::lround(entry(font).metrics.height()));
    }
    // A report draws one character at a time, thousands a page. Characters
    // that follow each other on a line, in one font and colour, are kept and
    // drawn together: their white boxes in one fill, their glyphs in one run.
    // A character whose box would reach back over the run's last glyph, and
    // every other drawing, first draws what is kept, so the page shows the
    // same as drawing each character at once.
    void drawText(Point at, std::string_view text, const Font& font) override {
        if (!painter_) return;
        FontEntry& e = entry(font);
        const double width = e.width(text);
        if (text.size() != 1 || e.raw.isValid() == false) {
            flush();
            painter_->fillRect(QRectF(at.x, at.y, width, e.metrics.height()), Qt::white);
            painter_->setFont(e.qfont);
            painter_->setPen(ToQColor(font.color));
            painter_->setBackgroundMode(Qt::TransparentMode);
            painter_->drawText(QPointF(at.x, at.y + e.metrics.ascent()), ToQt(text));
            return;
        }
        if (!run_.boxes.isEmpty() && (run_.font != &e || run_.color != font.color || run_.y != at.y ||
                                      at.x < run_.right || run_.boxes.size() >= 1024))
            flush();
        run_.font = &e;
        run_.color = font.color;
        run_.y = at.y;
        run_.right = at.x + width;
        run_.boxes.append(QRectF(at.x, at.y, width, e.metrics.height()));
        const quint32 glyph = e.glyph(static_cast<unsigned char>(text[0]));
        if (glyph != 0) {
            run_.glyphs.append(glyph);
            run_.positions.append(QPointF(at.x, at.y + e.metrics.ascent()));
        }
    }
    // Draws the characters kept so far.
    void flush() {
        if (run_.boxes.isEmpty()) return;
        if (painter_) {
            painter_->setPen(Qt::NoPen);
            painter_->setBrush(Qt::white);
            painter_->drawRects(run_.boxes);
            painter_->setBrush(Qt::NoBrush);
            if (!run_.glyphs.isEmpty()) {
                QGlyphRun glyphs;
                glyphs.setRawFont(run_.font->raw);
                glyphs.setGlyphIndexes(run_.glyphs);
                glyphs.setPositions(run_.positions);
                painter_->setPen(ToQColor(run_.color));
                painter_->drawGlyphRun(QPointF(0, 0), glyphs);
            }
        }
        run_ = Run{};
    }
    void drawLine(Point from, Point to, const Pen& pen) override {
        if (!painter_) return;
        flush();
        painter_->setPen(toQPen(pen));
        painter_->drawLine(from.x, from.y, to.x, to.y);
    }
    void drawPolyline(const std::vector<Point>& points, const Pen& pen) override {
        if (!painter_) return;
        flush();
        painter_->setPen(toQPen(pen));
        painter_->drawPolyline(toPolygon(points));
    }
    void drawPolygon(const std::vector<Point>& points, Color fill, const Pen& pen) override {
        if (!painter_) return;
        flush();
        painter_->setPen(toQPen(pen));
        painter_->setBrush(ToQColor(fill));
        painter_->drawPolygon(toPolygon(points));
        painter_->setBrush(Qt::NoBrush);
    }
    void fillRect(Point topLeft, Point bottomRight, Color fill) override {
        if (!painter_) return;
        flush();
        painter_->fillRect(QRect(QPoint(topLeft.x, topLeft.y), QPoint(bottomRight.x - 1, bottomRight.y - 1)),
                           ToQColor(fill));
    }

private:
    // A font as the device sees it, with the widths of single bytes kept:
    // a report draws and measures one character at a time.
    struct FontEntry {
        FontEntry(const Font& f, QPaintDevice* device)
            : key(f), qfont(toQFont(f)), metrics(qfont, device), raw(QRawFont::fromFont(qfont)) {
            byteWidths.fill(-1);
            byteGlyphs.fill(kUnknown);
            // The glyphs are drawn at the size the device gives the font.
            if (raw.isValid() && device) raw.setPixelSize(qfont.pointSizeF() * device->logicalDpiY() / 72.0);
        }
        quint32 glyph(unsigned char byte) {
            quint32& g = byteGlyphs[byte];
            if (g == kUnknown) {
                const QList<quint32> found = raw.glyphIndexesForString(ToQt(std::string(1, static_cast<char>(byte))));
                g = found.size() == 1 ? found[0] : 0;
            }
            return g;
        }
        static constexpr quint32 kUnknown = 0xFFFFFFFF;
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
        std::array<quint32, 256> byteGlyphs;
    };

    struct Run {
        const FontEntry* font = nullptr;
        Color color = kBlack;
        int y = 0;
        double right = 0;  // where the last box ends
        QList<QRectF> boxes;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };

    static QFont toQFont(const Font& font) {
        QFont f(ToQt(font.name));
        f.setPointSizeF(font.sizePt > 0 ? font.sizePt : 1);
        f.setBold(font.bold);
        f.setItalic(font.italic);
        f.setKerning(false);
        return f;
    }
    static QPen toQPen(const Pen& pen) {
        QPen p(ToQColor(pen.color));
        p.setWidth(pen.width > 0 ? pen.width : 1);
        p.setCapStyle(Qt::FlatCap);
        p.setJoinStyle(Qt::MiterJoin);
        return p;
    }
    static QPolygon toPolygon(const std::vector<Point>& points) {
        QPolygon poly;
        for (const Point& p : points) poly << QPoint(p.x, p.y);
        return poly;
    }
    // Fonts are measured on the printer's own device so that widths match
    // what is drawn at the printer's resolution. Colour does not change the
    // measurements, so one entry serves every colour of a font.
    FontEntry& entry(const Font& font) {
        for (auto& e : fonts_) {
            if (e->key.name == font.name && e->key.sizePt == font.sizePt && e->key.bold == font.bold &&
                e->key.italic == font.italic)
                return *e;
        }
        QPaintDevice* device = painter_ ? painter_->device() : measure_;
        if (fonts_.size() >= 64) {
            flush();  // the run may use an entry about to go
            fonts_.clear();
        }
        fonts_.push_back(std::make_unique<FontEntry>(font, device));
        return *fonts_.back();
    }

    QPainter* painter_ = nullptr;
    QPaintDevice* measure_ = nullptr;
    std::vector<std::unique_ptr<FontEntry>> fonts_;
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
    std::unique_ptr<QPrinter> doc;
    std::unique_ptr<QPainter> painter;
    QString tempPath;
    std::string title;

    // Measures fonts outside a document at the current printer's resolution.
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

    QPageLayout layout() const {
        QPageLayout l = setup.layout;
        l.setOrientation(ToQt(orientation));
        return l;
    }

    void discard() {
        canvas.attach(nullptr);
        if (painter && painter->isActive()) painter->end();
        painter.reset();
        doc.reset();
        if (!tempPath.isEmpty()) QFile::remove(tempPath);
        tempPath.clear();
    }
};

QtPrinter::QtPrinter() : impl_(std::make_unique<Impl>()) {
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
    impl_->orientation = orientation;
    // A document in progress takes the new orientation from its next page.
    if (impl_->doc) impl_->doc->setPageOrientation(ToQt(orientation));
}

Orientation QtPrinter::orientation() { return impl_->orientation; }

int QtPrinter::pageWidth() { return impl_->layout().paintRectPixels(impl_->setup.dpi).width(); }
int QtPrinter::pageHeight() { return impl_->layout().paintRectPixels(impl_->setup.dpi).height(); }
int QtPrinter::resolution() { return impl_->setup.dpi; }

void QtPrinter::beginDoc(const std::string& title) {
    impl_->discard();
    QTemporaryFile temp(QDir::tempPath() + "/vel-doc-XXXXXX.pdf");
    temp.setAutoRemove(false);
    if (!temp.open()) throw IoError(temp.fileTemplate().toStdString(), "cannot create the print file");
    impl_->tempPath = temp.fileName();
    temp.close();
    impl_->title = title;
    impl_->docSetup = impl_->setup;

    auto doc = std::make_unique<QPrinter>(QPrinter::HighResolution);
    doc->setOutputFormat(QPrinter::PdfFormat);
    doc->setOutputFileName(impl_->tempPath);
    doc->setResolution(impl_->setup.dpi);
    doc->setPageLayout(impl_->layout());
    doc->setDocName(ToQt(title));
    doc->setCreator("Vel");
    impl_->doc = std::move(doc);
    impl_->painter = std::make_unique<QPainter>();
    if (!impl_->painter->begin(impl_->doc.get())) {
        const std::string path = impl_->tempPath.toStdString();
        impl_->discard();
        throw IoError(path, "cannot start the document");
    }
    impl_->canvas.attach(impl_->painter.get());
}

void QtPrinter::newPage() {
    if (!impl_->doc) throw IoError(impl_->current, "no document is being printed");
    impl_->canvas.flush();
    if (!impl_->doc->newPage()) throw IoError(impl_->current, "cannot start a new page");
}

void QtPrinter::endDoc() {
    if (!impl_->doc) throw IoError(impl_->current, "no document is being printed");
    impl_->canvas.flush();
    impl_->canvas.attach(nullptr);
    const bool written = impl_->painter->end();
    impl_->painter.reset();
    impl_->doc.reset();
    const QString temp = impl_->tempPath;
    impl_->tempPath.clear();
    if (!written) {
        QFile::remove(temp);
        throw IoError(temp.toStdString(), "cannot write the print file");
    }

    const Setup& docPrinter = impl_->docSetup;
    if (docPrinter.builtIn) {
        std::string target = impl_->pdfOverride;
        impl_->pdfOverride.clear();
        QString out;
        if (target.empty()) {
            const QString dir = QString::fromStdString(PdfFolder());
            QDir().mkpath(dir);
            out = QDir(dir).filePath(QString::fromStdString(Cp1250ToUtf8(PdfFileName(impl_->title))));
        } else {
            out = QString::fromStdString(NativePath(target).string());
        }
        QFile::remove(out);
        if (!QFile::rename(temp, out)) {
            QFile::remove(temp);
            throw IoError(out.toStdString(), "cannot write the PDF file");
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

std::string QtPrinter::PdfFolder() {
    const QByteArray env = qgetenv("VEL_PDF_DIR");
    if (!env.isEmpty()) return env.toStdString();
    return QDir::current().filePath("pdf").toStdString();
}

std::string QtPrinter::PdfFileName(const std::string& title) {
    std::string name;
    for (char ch : title) {
        const auto c = static_cast<unsigned char>(ch);
        const bool refused = c < 0x20 || c == 0x7F || std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos;
        name += refused ? '_' : ch;
    }
    // No leading dots (hidden files) or spaces, no trailing dots or spaces.
    while (!name.empty() && (name.front() == '.' || name.front() == ' ')) name.erase(name.begin());
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (name.size() > 120) name.resize(120);
    if (name.empty()) name = "Vel";
    const std::string lower = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
    if (!(lower.size() == 4 && lower[0] == '.' && (lower[1] | 0x20) == 'p' && (lower[2] | 0x20) == 'd' &&
          (lower[3] | 0x20) == 'f'))
        name += ".pdf";
    return name;
}

void InstallFontSubstitutes() {
    const QStringList families = QFontDatabase::families();
    if (!families.contains("Courier New", Qt::CaseInsensitive))
        QFont::insertSubstitutions("Courier New", {"Liberation Mono", "DejaVu Sans Mono"});
    if (!families.contains("Tahoma", Qt::CaseInsensitive))
        QFont::insertSubstitutions("Tahoma", {"Liberation Sans", "DejaVu Sans"});
}

}  // namespace vel::platform
