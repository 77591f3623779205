#include "shell/win32/win32_gdi_fonts.h"

#include "platform/file_system.h"

#include <windows.h>

#include <string>
#include <vector>

namespace vel::platform {

namespace {

class GdiFace final : public FontFace {
public:
    GdiFace(HDC dc, HFONT font) : dc_(dc), font_(font), old_(SelectObject(dc, font)) {
        GetTextMetricsW(dc_, &metrics_);
        // The em: the cell height without the internal leading, as the font
        // was asked for by its character height.
        em_ = metrics_.tmHeight - metrics_.tmInternalLeading;
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc_, LF_FACESIZE, face);
        name_ = NarrowFileName(face);
        if (metrics_.tmWeight >= FW_BOLD) name_ += metrics_.tmItalic ? "-BoldItalic" : "-Bold";
        else if (metrics_.tmItalic) name_ += "-Italic";
    }
    ~GdiFace() override {
        SelectObject(dc_, old_);
        DeleteObject(font_);
        DeleteDC(dc_);
    }

    std::string faceName() override { return name_; }

    std::string table(std::string_view tag) override {
        if (tag.size() != 4) return {};
        const DWORD dword = static_cast<DWORD>(static_cast<unsigned char>(tag[0])) |
                            static_cast<DWORD>(static_cast<unsigned char>(tag[1])) << 8 |
                            static_cast<DWORD>(static_cast<unsigned char>(tag[2])) << 16 |
                            static_cast<DWORD>(static_cast<unsigned char>(tag[3])) << 24;
        const DWORD size = GetFontData(dc_, dword, 0, nullptr, 0);
        if (size == GDI_ERROR || size == 0) return {};
        std::string bytes(size, '\0');
        if (GetFontData(dc_, dword, 0, bytes.data(), size) != size) return {};
        return bytes;
    }

    double pixelSize() override { return em_; }
    double ascent() override { return metrics_.tmAscent; }
    double height() override { return metrics_.tmHeight; }

    double advance(char32_t c) override {
        if (c > 0xFFFF) return 0;
        const UINT ch = static_cast<UINT>(c);
        ABC abc{};
        if (GetCharABCWidthsW(dc_, ch, ch, &abc)) return abc.abcA + static_cast<int>(abc.abcB) + abc.abcC;
        INT width = 0;
        return GetCharWidth32W(dc_, ch, ch, &width) ? width : 0;
    }

    std::uint16_t glyph(char32_t c) override {
        if (c > 0xFFFF) return 0;
        const wchar_t ch = static_cast<wchar_t>(c);
        WORD index = 0xFFFF;
        if (GetGlyphIndicesW(dc_, &ch, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR) return 0;
        return index == 0xFFFF ? 0 : index;
    }

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ old_;
    TEXTMETRICW metrics_{};
    double em_ = 0;
    std::string name_;
};

// The face GDI chose for a font: the same name when the face is installed.
std::wstring ChosenFace(HDC dc, HFONT font) {
    const HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    return face;
}

// Faces with the same metrics (or close ones) for the faces the documents
// name, for a system without them (Wine without Microsoft's fonts).
std::vector<std::wstring> Substitutes(const std::wstring& name) {
    if (lstrcmpiW(name.c_str(), L"Courier New") == 0) return {L"Liberation Mono", L"DejaVu Sans Mono"};
    if (lstrcmpiW(name.c_str(), L"Arial") == 0) return {L"Liberation Sans", L"DejaVu Sans"};
    if (lstrcmpiW(name.c_str(), L"Tahoma") == 0) return {L"Liberation Sans", L"DejaVu Sans"};
    if (lstrcmpiW(name.c_str(), L"Times New Roman") == 0) return {L"Liberation Serif", L"DejaVu Serif"};
    return {};
}

}  // namespace

HFONT CreateGdiFont(HDC dc, const Font& font, int dpi) {
    LOGFONTW lf{};
    // A negative height asks for the character height (the em), as points
    // at the device's resolution.
    lf.lfHeight = -MulDiv(font.sizePt > 0 ? font.sizePt : 1, dpi, 72);
    lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = font.italic ? TRUE : FALSE;
    lf.lfCharSet = EASTEUROPE_CHARSET;
    lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    lf.lfQuality = ANTIALIASED_QUALITY;
    const std::wstring name = WideFileName(font.name);
    lstrcpynW(lf.lfFaceName, name.c_str(), LF_FACESIZE);
    HFONT handle = CreateFontIndirectW(&lf);
    if (!handle) return nullptr;
    if (lstrcmpiW(ChosenFace(dc, handle).c_str(), name.c_str()) != 0) {
        for (const std::wstring& substitute : Substitutes(name)) {
            lstrcpynW(lf.lfFaceName, substitute.c_str(), LF_FACESIZE);
            HFONT other = CreateFontIndirectW(&lf);
            if (!other) continue;
            if (lstrcmpiW(ChosenFace(dc, other).c_str(), substitute.c_str()) == 0) {
                DeleteObject(handle);
                return other;
            }
            DeleteObject(other);
        }
    }
    return handle;
}

std::unique_ptr<FontFace> GdiFontSource::face(const Font& font, int dpi) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return nullptr;
    HFONT handle = CreateGdiFont(dc, font, dpi);
    if (!handle) {
        DeleteDC(dc);
        return nullptr;
    }
    return std::make_unique<GdiFace>(dc, handle);
}

}  // namespace vel::platform
