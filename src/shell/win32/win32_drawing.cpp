#include "shell/win32/win32_drawing.h"

namespace vel::platform {

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kGrey = 0x808080;

void Line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

}  // namespace

// Inclusive rectangle edges, as the Qt shell draws them.
void DrawBevel(HDC dc, RECT r, Bevel bevel) {
    if (bevel == Bevel::None) return;
    const COLORREF topLeft = bevel == Bevel::Raised ? kWhite : kGrey;
    const COLORREF bottomRight = bevel == Bevel::Raised ? kGrey : kWhite;
    const int right = r.right - 1, bottom = r.bottom - 1;
    HPEN light = CreatePen(PS_SOLID, 1, topLeft);
    HPEN dark = CreatePen(PS_SOLID, 1, bottomRight);
    HGDIOBJ old = SelectObject(dc, light);
    Line(dc, r.left, r.top, right + 1, r.top);
    Line(dc, r.left, r.top, r.left, bottom + 1);
    SelectObject(dc, dark);
    Line(dc, r.left, bottom, right + 1, bottom);
    Line(dc, right, r.top, right, bottom + 1);
    SelectObject(dc, old);
    DeleteObject(light);
    DeleteObject(dark);
}

void Fill(HDC dc, const RECT& r, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

FacePaint::FacePaint(HWND hwnd, HFONT font) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &ps_)) {
    GetClientRect(hwnd, &client_);
    FillRect(dc_, &client_, GetSysColorBrush(COLOR_BTNFACE));
    if (!font) return;
    oldFont_ = SelectObject(dc_, font);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, GetSysColor(COLOR_BTNTEXT));
}

FacePaint::~FacePaint() {
    if (oldFont_) SelectObject(dc_, oldFont_);
    EndPaint(hwnd_, &ps_);
}

void RegisterWindowClass(const wchar_t* name, WNDPROC proc, WORD cursor, HICON icon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor));
    wc.hIcon = icon;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    // A class registered already stays as it is.
    RegisterClassExW(&wc);
}

}  // namespace vel::platform
