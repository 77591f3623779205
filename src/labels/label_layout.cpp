#include "labels/label_layout.h"

#include "common/format.h"
#include "labels/code39.h"
#include "platform/canvas.h"

#include <algorithm>
#include <string_view>

namespace vel::labels {

namespace {

int Px(double mm, double ppm) { return static_cast<int>(RoundHalfEven(mm * ppm)); }

platform::Font LabelFont(int sizePt) {
    platform::Font font;  // Courier New, black, upright
    font.sizePt = sizePt;
    return font;
}

// Keeps the longest start (or, fromFront, the longest end) of the text whose
// width is at most the limit, as deleting one character at a time until it
// fits would. A halving search finds the spot, so a long text costs a few
// measurements instead of one per character; the last steps are taken one
// character at a time so the result is the one the character loop gives.
std::string Shorten(platform::Canvas& canvas, const platform::Font& font, std::string text, int limit,
                    bool fromFront) {
    auto part = [&](std::size_t len) {
        std::string_view v(text);
        return fromFront ? v.substr(v.size() - len) : v.substr(0, len);
    };
    auto fits = [&](std::size_t len) { return canvas.textWidth(font, part(len)) <= limit; };
    std::size_t len = text.size();
    if (len == 0 || fits(len)) return text;
    // lo fits (or is 0), hi does not.
    std::size_t lo = 0, hi = len;
    while (hi - lo > 1) {
        const std::size_t mid = lo + (hi - lo) / 2;
        (fits(mid) ? lo : hi) = mid;
    }
    len = lo;
    while (len > 0 && !fits(len)) --len;
    return std::string(part(len));
}

}  // namespace

StickerFrame Clp6Frame(const LabelHeader& header, double ppm, int pageHeight) {
    const int m = static_cast<int>(RoundHalfEven(ppm));
    StickerFrame f;
    f.left = m;
    f.right = 28 * m;
    f.bottom = pageHeight - m;
    f.top = f.bottom - 20 * m;
    f.gap = 8;
    f.half = (f.right - f.left) / 2;
    f.full = f.right - f.left;
    f.x0 = f.left;
    f.x1 = f.right;
    f.y = f.top;
    f.barBottom = f.bottom;
    f.size1 = header.n[14];
    f.size2 = header.n[14];
    f.size3 = header.n[16];
    return f;
}

std::optional<StickerFrame> GeneralFrame(const LabelHeader& header, double ppm, int pageWidth) {
    const auto& n = header.n;
    StickerFrame f;
    f.left = Px(n[2], ppm);
    f.right = (pageWidth - 1) - Px(n[4], ppm);
    if (f.right < f.left + 100) return std::nullopt;
    f.top = Px(n[6], ppm);
    f.bottom = Px(static_cast<int>(n[17]) - static_cast<int>(n[8]), ppm);
    const int inner = Px(n[9], ppm);
    const int offset = Px(n[10], ppm);
    f.gap = Px(n[12], ppm);
    f.half = (f.right - f.left - 2 * inner) / 2;
    f.full = f.right - f.left - 2 * inner;
    f.x0 = f.left + inner;
    f.x1 = f.right - inner;
    f.y = f.top + offset;
    f.barBottom = f.bottom - offset;
    f.size1 = n[14];
    f.size2 = n[15];
    f.size3 = n[16];
    return f;
}

void KeepOnPage(StickerFrame& f, int pageWidth, int pageHeight) {
    const auto across = [pageWidth](int& x) { x = std::clamp(x, 0, std::max(pageWidth, 0)); };
    const auto down = [pageHeight](int& y) { y = std::clamp(y, 0, std::max(pageHeight, 0)); };
    for (int* x : {&f.left, &f.right, &f.x0, &f.x1, &f.half, &f.full}) across(*x);
    for (int* y : {&f.top, &f.bottom, &f.y, &f.barBottom, &f.gap}) down(*y);
    for (int* size : {&f.size1, &f.size2, &f.size3}) *size = std::min(*size, kMaxLabelFontPt);
}

void DrawLabelOutline(platform::Canvas& canvas, const StickerFrame& f, double ppm) {
    const int m = static_cast<int>(RoundHalfEven(ppm));
    canvas.drawPolyline({{f.left, f.top},
                         {f.right, f.top},
                         {f.right, f.bottom},
                         {f.left, f.bottom},
                         {f.left, f.top + 2},
                         {f.left + m, f.top + 2}},
                        platform::Pen{1, platform::kBlack});
}

void DrawSticker(platform::Canvas& canvas, const StickerFrame& f, std::string code, std::string second,
                 std::string third) {
    int y = f.y;

    const platform::Font font1 = LabelFont(f.size1);
    code = Shorten(canvas, font1, std::move(code), f.half, false);
    // The trailing space widens the white box behind the text a little.
    canvas.drawText({f.x0, y}, code + " ", font1);
    const int y1 = y + canvas.textHeight(font1, code) + f.gap;

    const platform::Font font2 = LabelFont(f.size2);
    second = Shorten(canvas, font2, std::move(second), f.half, true);
    canvas.drawText({f.x1 - canvas.textWidth(font2, second), y}, second, font2);
    y += canvas.textHeight(font2, second) + f.gap;
    if (y < y1) y = y1;

    const platform::Font font3 = LabelFont(f.size3);
    third = Shorten(canvas, font3, std::move(third), f.full, false);
    canvas.drawText({f.x0, y}, third + " ", font3);
    y += canvas.textHeight(font3, third) + f.gap;

    const std::string modules = Code39Modules(code);
    const int n = static_cast<int>(modules.size());
    const int w = f.full / n;
    const int s = (f.left + f.right - n * w) / 2;
    for (int i = 1; i <= n; ++i) {
        DrawModule(canvas, s + (i - 1) * w, s + i * w, y, modules[i - 1], f.barBottom);
    }
}

}  // namespace vel::labels
