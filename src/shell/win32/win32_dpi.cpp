#include "shell/win32/win32_dpi.h"

namespace vel::platform {

namespace {

// Looked up at run time: the program also starts on Windows versions
// without these calls.
template <typename Function>
Function User32Function(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

int SystemDpi() {
    using GetDpiForSystemFn = UINT(WINAPI*)();
    static const auto forSystem = User32Function<GetDpiForSystemFn>("GetDpiForSystem");
    if (forSystem) return static_cast<int>(forSystem());
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kLayoutDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kLayoutDpi;
}

int WindowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto forWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (forWindow && hwnd) {
        const UINT dpi = forWindow(hwnd);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

HFONT ScaledFont(const DpiScale& scale, const wchar_t* face, int layoutPixels, bool bold, DWORD pitchAndFamily) {
    // Rounded down: a font half a pixel larger has glyph cells a pixel wider,
    // and a line of ten of them overflows the panel it was laid out for.
    const int pixels = layoutPixels * scale.dpi() / kLayoutDpi;
    return CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       EASTEUROPE_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitchAndFamily,
                       face);
}

HICON LoadProgramIcon(const DpiScale& scale, int layoutSize) {
    const int size = scale.toDevice(layoutSize);
    // The first icon group of the program's resources (its .rc file).
    auto* icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    if (icon) return icon;
    return static_cast<HICON>(CopyImage(LoadIconW(nullptr, MAKEINTRESOURCEW(32512)), IMAGE_ICON, size, size, 0));
}

}  // namespace vel::platform
