#include "pcl/pcl_render.h"

#include "common/format.h"
#include "common/io.h"
#include "common/program.h"
#include "platform/canvas.h"
#include "platform/printer.h"
#include "platform/status_line.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace vel::pcl {

namespace {

// The font of the next character, kept in the state so that the hot path
// does not build a font (and its name) for every character.
const platform::Font& CurrentFont(PclJobState& s) {
    platform::Font& font = s.CellFont;
    if (font.name != s.FontName) font.name = s.FontName;
    font.sizePt = s.FontSize;
    font.bold = s.Bold;
    font.italic = s.Italic;
    font.color = platform::kBlack;
    return font;
}

// Appends one traced character to "Raport-T.{-}", which is only written when
// it already exists; the first failure switches the trace off for the job.
void TraceChar(PclJobState& s, unsigned char ch, int x, int y) {
    std::FILE* f = OpenFile(kCharTraceFile, "r+b");
    s.TraceOn = f != nullptr;
    if (!f) return;
    char text[64];
    const int n = std::snprintf(text, sizeof text, "   %c(%d,%d)", static_cast<char>(ch), x, y);
    std::fseek(f, 0, SEEK_END);
    std::fwrite(text, 1, static_cast<std::size_t>(n), f);
    std::fclose(f);
}

}  // namespace

void LoadPageSettings(PclJobState& s) {
    s.LeftMarginMm = 12;
    s.MarginMm = 10;
    s.TopMarginMm = 10;
    const std::optional<std::string> bytes = TryReadFile(kSettingsFile, kJobFileLimit);
    if (!bytes) return;
    std::size_t pos = 0;
    while (pos < bytes->size()) {
        std::size_t end = bytes->find('\n', pos);
        if (end == std::string::npos) end = bytes->size();
        std::string line;
        for (std::size_t i = pos; i < end; ++i) {
            char c = (*bytes)[i];
            if (c == ' ' || c == '\r') continue;
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            line += c;
        }
        pos = end + 1;
        if (line.size() < 5) continue;
        const std::string key = line.substr(0, 5);
        const std::optional<int> value = ParseWholeNumber(line.substr(5, 4));
        if (!value) continue;
        // FONT= and FoNa= are accepted for the sibling programs' sake; the
        // renderer always prints in its own font.
        if (key == "LEWY=") s.LeftMarginMm = *value;
        else if (key == "MARG=") s.MarginMm = *value;
        else if (key == "GORA=") s.TopMarginMm = *value;
    }
    s.LeftMarginMm = std::clamp(s.LeftMarginMm, 7, 30);
    s.MarginMm = std::clamp(s.MarginMm, 7, 30);
    s.TopMarginMm = std::min(std::max(s.TopMarginMm, s.MarginMm), 50);
}

void InitPageState(PclJobState& s) {
    s.Hmi = Wrap32(static_cast<std::int64_t>(s.DevicePageWidth) * 1000 / 140);
    s.Vmi = s.DevicePageHeight / 80;
    s.TextAreaWidth = s.DevicePageWidth;
    s.TextAreaHeight = s.DevicePageHeight;
    s.Bold = false;
    s.Italic = false;
    s.SymbolSet = 17;
    ShowRenderState(s);
}

void ComputePageGeometry(PclJobState& s) {
    const std::int64_t d = s.Density;
    const std::int64_t l = s.LeftMarginMm, m = s.MarginMm, g = s.TopMarginMm;
    const std::int64_t w = s.TextAreaWidth;
    const std::int64_t h = s.DevicePageHeight;
    const std::int64_t t = (2100 * d / 254 - w) / 2;
    std::int64_t offsetX = l * 10 * d / 254 - t;
    s.TextAreaWidth = Wrap32((210 - l - m) * 10 * d / 254);
    s.TextAreaHeight = Wrap32((297 - g - m) * 10 * d / 254);
    const std::int64_t u = (g - m) * 10 * d / 254;
    std::int64_t offsetY = (u + h - s.TextAreaHeight) / 2;
    if (offsetX > 30000) offsetX = 0;
    if (offsetY > 30000) offsetY = 0;
    s.OffsetX = Wrap32(offsetX);
    s.OffsetY = Wrap32(offsetY);
    s.FontSize = 9;
    s.LeftColumns = 0;
    StartPage(s);
}

void StartPage(PclJobState& s) {
    DrawPageMark(s);
    s.PenX = Wrap32(static_cast<std::int64_t>(s.Hmi) * s.LeftColumns + 1);
    s.PenY = s.Vmi;
}

void PrintCell(PclJobState& s, unsigned char ch) {
    platform::Canvas& canvas = s.program.sys.printer.canvas();
    const platform::Font& font = CurrentFont(s);
    const char text[1] = {static_cast<char>(ch)};
    const std::string_view glyph(text, 1);
    const std::int64_t w = canvas.textWidth(font, glyph);
    std::int16_t x = 0;
    for (;;) {
        x = Wrap16((2 * static_cast<std::int64_t>(s.PenX) + s.Hmi - 1000 * w) / 2000 + s.OffsetX);
        if (x < 1) x = 1;
        if (x <= s.RightLimit) break;
        // An overlong line goes on near the left edge of the page. The pen
        // can stop moving (a cell wider than the page): then the character
        // stands where it falls rather than the loop running for ever.
        const std::int32_t back = Wrap32(-static_cast<std::int64_t>(s.PenX) / 30);
        if (back == s.PenX) break;
        s.PenX = back;
    }
    const int h = canvas.textHeight(font, "O");
    const std::int64_t top = static_cast<std::int64_t>(s.OffsetY) + s.PenY - h;
    const std::int16_t y = Wrap16(top);
    if (s.TraceOn) TraceChar(s, ch, x, y);
    s.SpaceRun = ch == ' ' ? s.SpaceRun + 1 : 0;
    // A line below the page's bottom is not kept, as a printer drops it: a
    // job without page ends then costs no more memory than a full page.
    const bool onPage = top < static_cast<std::int64_t>(s.DevicePageHeight);
    if (onPage && (ch > 0x20 || s.SpaceRun < 4)) canvas.drawText({x, y}, glyph, font);
    s.PenX = Wrap32(static_cast<std::int64_t>(s.PenX) + s.Hmi);
}

void SelectPitch(PclJobState& s, double pitch) {
    // A pitch of 0 names no cell width at all; the sequence is ignored.
    if (pitch == 0) return;
    s.Hmi = RoundToInt32(s.Density * 1000.0 / pitch);
    if (s.MaxLineLength > 0) {
        const std::int64_t f = RoundToInt32(s.TextAreaWidth * 1000.0 / s.MaxLineLength);
        if (f > s.Hmi && f < 1.3 * s.Hmi) s.Hmi = Wrap32(f);
        if (2 * f > s.Hmi && 2 * f < 1.3 * s.Hmi) s.Hmi = Wrap32(2 * f);
    }
    // The smallest point size whose "M" is at least one cell wide, searched
    // from 9 down and then up. Size 1 is the floor; the ceiling keeps a
    // nonsense pitch from searching for ever.
    constexpr int kMaxFontSize = 999;
    platform::Canvas& canvas = s.program.sys.printer.canvas();
    platform::Font font = CurrentFont(s);
    auto emWidth = [&](int size) {
        font.sizePt = size;
        return 1000 * static_cast<std::int64_t>(canvas.textWidth(font, "M"));
    };
    int size = 9;
    std::int64_t em = 0;
    do {
        --size;
        em = emWidth(size);
    } while (em >= s.Hmi && size > 1);
    if (em < s.Hmi) {
        do {
            ++size;
            em = emWidth(size);
        } while (em < s.Hmi && size < kMaxFontSize);
    }
    s.FontSize = size;
    ShowRenderState(s);
}

void SetLineHeight(PclJobState& s, double lines) {
    s.Vmi = RoundToInt32(s.Density * lines / 47.0);
    s.PenY = Wrap32(2 * static_cast<std::int64_t>(s.Vmi));
    ShowRenderState(s);
}

void ShowRenderState(PclJobState& s) {
    std::string style;
    if (s.Bold) style = "Bold";
    if (s.Italic) style += style.empty() ? "Italic" : "+Italic";
    const std::string hint = " X=" + std::to_string(s.PenX) + ";" + std::to_string(s.TextAreaWidth) + ";" +
                             std::to_string(s.Hmi / 1000) + ", Y=" + std::to_string(s.PenY) + ";" +
                             std::to_string(s.TextAreaHeight) + ";" + std::to_string(s.Vmi) +
                             ", Zn=" + std::to_string(s.SymbolSet) + " " + style;
    s.program.sys.status.setHint(hint);
}

unsigned char MapCp852(unsigned char b) {
    if (b >= 0x20 && b <= 0x7E) return b;
    switch (b) {
        case 0x07: return 0x95;  // bullet
        case 0x15: return 0xA7;  // section sign
        case 0x7F: return 0x20;
        case 0x81: return 0xFC;  // ü
        case 0x84: return 0xE4;  // ä
        case 0x86: return 0xE6;  // ć
        case 0x88: return 0xB3;  // ł
        case 0x8D: return 0x8F;  // Ź
        case 0x8E: return 0xC4;  // Ä
        case 0x8F: return 0xC6;  // Ć
        case 0x94: return 0xF6;  // ö
        case 0x97: return 0x8C;  // Ś
        case 0x98: return 0x9C;  // ś
        case 0x99: return 0xD6;  // Ö
        case 0x9A: return 0xDC;  // Ü
        case 0x9D: return 0xA3;  // Ł
        case 0xA2: return 0xF3;  // ó
        case 0xA4: return 0xA5;  // Ą
        case 0xA5: return 0xB9;  // ą
        case 0xA8: return 0xCA;  // Ę
        case 0xA9: return 0xEA;  // ę
        case 0xAB: return 0x9F;  // ź
        case 0xAE: return 0xAB;  // «
        case 0xAF: return 0xBB;  // »
        case 0xBD: return 0xAF;  // Ż
        case 0xBE: return 0xBF;  // ż
        case 0xE0: return 0xD3;  // Ó
        case 0xE1: return 0xDF;  // ß
        case 0xE3: return 0xD1;  // Ń
        case 0xE4: return 0xF1;  // ń
        case 0xF0: return 0x97;  // soft hyphen printed as an em dash
        case 0xF6: return 0xF7;  // ÷
        case 0xF8: return 0xB0;  // °
        case 0xF9: return 0x95;  // diaeresis printed as a bullet
        case 0xFA: return 0xB7;  // dot above printed as a middle dot
        default: return 0;
    }
}

}  // namespace vel::pcl
