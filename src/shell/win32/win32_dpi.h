#pragma once
// The program's windows are laid out in pixels of a 96 DPI screen, as the
// window logic computes them. Declared DPI aware, the program draws them at
// the monitor's DPI itself: every layout value goes through one `DpiScale`
// on its way to the window system and back, so the logic, the saved position
// and the snapping keep their units, and at 96 DPI nothing changes.

#include <windows.h>

namespace vel::platform {

inline constexpr int kLayoutDpi = 96;

class DpiScale {
public:
    explicit DpiScale(int dpi = kLayoutDpi) : dpi_(dpi > 0 ? dpi : kLayoutDpi) {}

    int dpi() const { return dpi_; }
    // Layout pixels to the monitor's, rounded to the nearest.
    int toDevice(int layout) const { return MulDiv(layout, dpi_, kLayoutDpi); }
    // The monitor's pixels back to layout pixels.
    int toLayout(int device) const { return MulDiv(device, kLayoutDpi, dpi_); }
    RECT toDevice(int left, int top, int width, int height) const {
        const int l = toDevice(left), t = toDevice(top);
        return RECT{l, t, l + toDevice(width), t + toDevice(height)};
    }

private:
    int dpi_;
};

// The DPI of the monitor the window is on (Windows 10 1607 and later), else
// the system's, which is every monitor's on older Windows.
int WindowDpi(HWND hwnd);
int SystemDpi();

// A font of the layout's pixel height at the scale's DPI, rounded down.
HFONT ScaledFont(const DpiScale& scale, const wchar_t* face, int layoutPixels, bool bold,
                 DWORD pitchAndFamily = DEFAULT_PITCH | FF_DONTCARE);

// The program's clock icon from its resources, at the size the icon is drawn
// at on a 96 DPI screen (16 small, 32 large) scaled to `scale`; the caller
// destroys it. The generic application icon where the resource is missing.
HICON LoadProgramIcon(const DpiScale& scale, int layoutSize);

}  // namespace vel::platform
