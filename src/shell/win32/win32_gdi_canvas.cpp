#include "shell/win32/win32_gdi_canvas.h"

#include "platform/file_system.h"
#include "shell/win32/win32_gdi_fonts.h"

namespace vel::platform {

namespace {

std::vector<POINT> ToGdi(const std::vector<Point>& points) {
    std::vector<POINT> out;
    out.reserve(points.size());
    for (const Point& p : points) out.push_back({p.x, p.y});
    return out;
}

}  // namespace

GdiCanvas::Entry::~Entry() {
    if (handle) DeleteObject(handle);
}

GdiCanvas::GdiCanvas() {
    for (int byte = 0; byte < 256; ++byte) {
        const std::wstring wide = WideFileName(std::string(1, static_cast<char>(byte)));
        unicode_[static_cast<std::size_t>(byte)] = wide.size() == 1 ? wide[0] : L'?';
    }
}

GdiCanvas::~GdiCanvas() {
    detach();
    dropFonts();
}

void GdiCanvas::attach(HDC dc) {
    detach();
    if (!dc) return;
    dc_ = dc;
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    if (dpi != dpi_) dropFonts();
    dpi_ = dpi;
    ownFont_ = GetCurrentObject(dc, OBJ_FONT);
    ownPen_ = GetCurrentObject(dc, OBJ_PEN);
    ownBrush_ = GetCurrentObject(dc, OBJ_BRUSH);
    SetMapMode(dc, MM_TEXT);
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    // Text cells are painted white behind the glyphs.
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(255, 255, 255));
    textColor_ = kBlack;
    SetTextColor(dc, textColor_);
    SetPolyFillMode(dc, WINDING);
}

void GdiCanvas::detach() {
    if (dc_) {
        SelectObject(dc_, ownFont_);
        SelectObject(dc_, ownPen_);
        SelectObject(dc_, ownBrush_);
    }
    dc_ = nullptr;
    selectedFont_ = nullptr;
    if (pen_) DeleteObject(pen_);
    pen_ = nullptr;
    if (brush_) DeleteObject(brush_);
    brush_ = nullptr;
}

void GdiCanvas::dropFonts() {
    if (dc_ && selectedFont_) SelectObject(dc_, ownFont_);
    selectedFont_ = nullptr;
    fonts_.clear();
}

// Selected into the device; null without a device or when GDI refuses the font.
GdiCanvas::Entry* GdiCanvas::entry(const Font& font) {
    if (!dc_) return nullptr;
    Entry* found = nullptr;
    // Colour does not change the measurements: one entry serves every colour.
    for (const auto& e : fonts_) {
        if (e->key.name == font.name && e->key.sizePt == font.sizePt && e->key.bold == font.bold &&
            e->key.italic == font.italic) {
            found = e.get();
            break;
        }
    }
    if (!found) {
        if (fonts_.size() >= 64) dropFonts();
        auto e = std::make_unique<Entry>();
        e->key = font;
        e->handle = CreateGdiFont(dc_, font, dpi_);
        if (!e->handle) return nullptr;
        SelectObject(dc_, e->handle);
        selectedFont_ = e.get();
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc_, &metrics);
        e->height = metrics.tmHeight;
        fonts_.push_back(std::move(e));
        return selectedFont_;
    }
    if (found != selectedFont_) {
        SelectObject(dc_, found->handle);
        selectedFont_ = found;
    }
    return found;
}

int GdiCanvas::textWidth(const Font& font, std::string_view text) {
    Entry* e = entry(font);
    if (!e || text.empty()) return 0;
    const auto measure = [this](const std::wstring& wide) {
        SIZE size{};
        GetTextExtentPoint32W(dc_, wide.data(), static_cast<int>(wide.size()), &size);
        return static_cast<int>(size.cx);
    };
    if (text.size() != 1) return measure(WideFileName(text));
    const auto byte = static_cast<unsigned char>(text[0]);
    if (!e->known[byte]) {
        e->widths[byte] = measure(std::wstring(1, unicode_[byte]));
        e->known[byte] = true;
    }
    return e->widths[byte];
}

int GdiCanvas::textHeight(const Font& font, std::string_view) {
    const Entry* e = entry(font);
    return e ? e->height : 0;
}

void GdiCanvas::drawText(Point at, std::string_view text, const Font& font) {
    if (text.empty() || !entry(font)) return;
    if (font.color != textColor_) {
        textColor_ = font.color;
        SetTextColor(dc_, textColor_);
    }
    if (text.size() == 1) {
        const wchar_t c = unicode_[static_cast<unsigned char>(text[0])];
        ExtTextOutW(dc_, at.x, at.y, 0, nullptr, &c, 1, nullptr);
        return;
    }
    const std::wstring wide = WideFileName(text);
    ExtTextOutW(dc_, at.x, at.y, 0, nullptr, wide.data(), static_cast<UINT>(wide.size()), nullptr);
}

void GdiCanvas::usePen(const Pen& pen) {
    if (pen_ && pen == penKey_) return;
    HPEN made = CreatePen(PS_SOLID, pen.width > 0 ? pen.width : 1, pen.color);
    if (!made) return;
    SelectObject(dc_, made);
    if (pen_) DeleteObject(pen_);
    pen_ = made;
    penKey_ = pen;
}

void GdiCanvas::useBrush(Color fill) {
    if (brush_ && fill == brushColor_) return;
    HBRUSH made = CreateSolidBrush(fill);
    if (!made) return;
    SelectObject(dc_, made);
    if (brush_) DeleteObject(brush_);
    brush_ = made;
    brushColor_ = fill;
}

void GdiCanvas::drawLine(Point from, Point to, const Pen& pen) { drawPolyline({from, to}, pen); }

void GdiCanvas::drawPolyline(const std::vector<Point>& points, const Pen& pen) {
    if (!dc_ || points.size() < 2) return;
    usePen(pen);
    const std::vector<POINT> gdi = ToGdi(points);
    Polyline(dc_, gdi.data(), static_cast<int>(gdi.size()));
}

void GdiCanvas::drawPolygon(const std::vector<Point>& points, Color fill, const Pen& pen) {
    if (!dc_ || points.size() < 2) return;
    usePen(pen);
    useBrush(fill);
    const std::vector<POINT> gdi = ToGdi(points);
    Polygon(dc_, gdi.data(), static_cast<int>(gdi.size()));
}

void GdiCanvas::fillRect(Point topLeft, Point bottomRight, Color fill) {
    if (!dc_ || bottomRight.x <= topLeft.x || bottomRight.y <= topLeft.y) return;
    useBrush(fill);
    const RECT r{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    FillRect(dc_, &r, brush_);
}

}  // namespace vel::platform
