#pragma once
// GDI helpers the program's windows share: bevels, fills and the
// registration of their window classes.

#include <windows.h>

namespace vel::platform {

enum class Bevel { None, Raised, Lowered };

// A one-pixel bevel on the rectangle's inner edge: white above and left and
// grey below and right when raised, the other way round when lowered.
void DrawBevel(HDC dc, RECT r, Bevel bevel);
void Fill(HDC dc, const RECT& r, COLORREF color);

// One WM_PAINT of a window in the dialog colours: the client area filled
// with the button face and, given a font, that font selected for transparent
// button-coloured text. The end of the scope ends the painting.
class FacePaint {
public:
    explicit FacePaint(HWND hwnd, HFONT font = nullptr);
    ~FacePaint();
    FacePaint(const FacePaint&) = delete;
    FacePaint& operator=(const FacePaint&) = delete;

    HDC dc() const { return dc_; }
    const RECT& client() const { return client_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
    RECT client_{};
    HGDIOBJ oldFont_ = nullptr;
};

// System cursors by number (the IDC_ names are narrow in this build).
inline constexpr WORD kArrowCursor = 32512;  // IDC_ARROW
inline constexpr WORD kHandCursor = 32649;   // IDC_HAND

// Registers a window class of this program with a system cursor.
void RegisterWindowClass(const wchar_t* name, WNDPROC proc, WORD cursor, HICON icon = nullptr);

}  // namespace vel::platform
