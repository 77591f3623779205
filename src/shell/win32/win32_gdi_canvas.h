#pragma once
// The canvas of a page on a printer's device context: text with ExtTextOutW
// on an opaque white cell, lines and shapes with GDI pens and brushes. Fonts
// are sized for the device's resolution and kept between pages and documents.

#include "platform/canvas.h"

#include <windows.h>

#include <array>
#include <memory>
#include <string_view>
#include <vector>

namespace vel::platform {

class GdiCanvas final : public Canvas {
public:
    GdiCanvas();
    ~GdiCanvas() override;
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;

    // The page's device, or none (nothing is drawn, nothing measures). Call
    // again after every StartPage: a device may reset its state with a page.
    void attach(HDC dc);
    // Gives the device back its own objects; before the device is deleted.
    void detach();

    int textWidth(const Font& font, std::string_view text) override;
    int textHeight(const Font& font, std::string_view text) override;
    void drawText(Point at, std::string_view text, const Font& font) override;
    void drawLine(Point from, Point to, const Pen& pen) override;
    void drawPolyline(const std::vector<Point>& points, const Pen& pen) override;
    void drawPolygon(const std::vector<Point>& points, Color fill, const Pen& pen) override;
    void fillRect(Point topLeft, Point bottomRight, Color fill) override;

private:
    // A font at the device's resolution, with the widths of single bytes
    // kept: a report measures and draws one character at a time.
    struct Entry {
        Font key;
        HFONT handle = nullptr;
        int height = 0;
        std::array<int, 256> widths{};
        std::array<bool, 256> known{};
        ~Entry();
    };
    Entry* entry(const Font& font);
    void usePen(const Pen& pen);
    void useBrush(Color fill);
    void dropFonts();

    HDC dc_ = nullptr;
    int dpi_ = 0;
    HGDIOBJ ownFont_ = nullptr, ownPen_ = nullptr, ownBrush_ = nullptr;  // the device's own
    std::vector<std::unique_ptr<Entry>> fonts_;
    Entry* selectedFont_ = nullptr;
    Color textColor_ = kBlack;
    HPEN pen_ = nullptr;
    Pen penKey_;
    HBRUSH brush_ = nullptr;
    Color brushColor_ = kWhite;
    std::array<wchar_t, 256> unicode_{};  // code page 1250 byte -> UTF-16
};

}  // namespace vel::platform
