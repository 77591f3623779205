#include "shell/win32/win32_ksef_window.h"

#include "ksef/ksef.h"
#include "platform/file_system.h"
#include "shell/win32/win32_dpi.h"
#include "shell/win32/win32_drawing.h"

#include <windows.h>
#include <windowsx.h>

namespace vel::platform {

namespace {

const wchar_t* const kKsefClass = L"VelKsefWindow";

HFONT PanelFont(const DpiScale& scale, int pixels) {
    // Comic Sans MS where it is installed; the font mapper picks a stand-in
    // otherwise, and the size then follows the text.
    return ScaledFont(scale, L"Comic Sans MS", pixels, true, VARIABLE_PITCH | FF_SCRIPT);
}

// The window on screen; its client area is the panel `P` (inner bevel lowered).
// The logic places and sizes it in layout pixels.
class TNrKS final : public ksef::KsefView {
public:
    explicit TNrKS(HandlerGuard guard) : guard_(std::move(guard)), scale_(SystemDpi()) {
        RegisterWindowClass(kKsefClass, Proc, kHandCursor);
        hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, kKsefClass, WideFileName(ksef::kKsefCaption).c_str(), WS_POPUP, 0,
                                0, scale_.toDevice(ksef::kKsefDesignWidth), scale_.toDevice(ksef::kKsefDesignHeight),
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (hwnd_ && WindowDpi(hwnd_) != scale_.dpi()) {
            const DpiScale created = scale_;
            scale_ = DpiScale(WindowDpi(hwnd_));
            RECT r{};
            GetClientRect(hwnd_, &r);
            SetWindowPos(hwnd_, nullptr, 0, 0, scale_.toDevice(created.toLayout(r.right)),
                         scale_.toDevice(created.toLayout(r.bottom)), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        font_ = PanelFont(scale_, ksef::kKsefFontPixels);
    }

    ~TNrKS() override {
        events_ = {};  // the program the handlers reach may be gone
        if (hwnd_) {
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            DestroyWindow(hwnd_);
        }
        if (font_) DeleteObject(font_);
    }

    bool created() const { return hwnd_ != nullptr; }

    void setEvents(ksef::KsefEvents events) override { events_ = std::move(events); }

    void move(int left, int top) override {
        SetWindowPos(hwnd_, nullptr, scale_.toDevice(left), scale_.toDevice(top), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void setPanelText(const std::string& text) override {
        text_ = text;
        wide_ = WideFileName(text);
        fitFont();
        InvalidateRect(hwnd_, nullptr, FALSE);
    }

    std::string panelText() override { return text_; }

    void setClientSize(int width, int height) override {
        // Borderless: the window is its client area.
        SetWindowPos(hwnd_, nullptr, 0, 0, scale_.toDevice(width), scale_.toDevice(height),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        fitFont();
        InvalidateRect(hwnd_, nullptr, FALSE);
    }

    // Showing activates the window, and the activation runs the capture
    // again, as the window's activation handler is the capture.
    void show() override {
        ShowWindow(hwnd_, SW_SHOW);
        SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }

    void hide() override { ShowWindow(hwnd_, SW_HIDE); }

    bool visible() override { return IsWindowVisible(hwnd_) != FALSE; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TNrKS*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
        return self->onMessage(message, wParam, lParam);
    }

    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_PAINT:
                paint();
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case WM_ACTIVATE:
                if (LOWORD(wParam) != WA_INACTIVE && !activating_) {
                    // The capture shows the window, which may activate it again.
                    activating_ = true;
                    CallGuarded(guard_, events_.activated);
                    activating_ = false;
                }
                break;
            case WM_LBUTTONDOWN:
                SetCapture(hwnd_);
                pressed_ = true;
                return 0;
            case WM_LBUTTONUP: {
                // A click: the button goes up over the panel it went down on
                // (decided before the capture ends, which clears `pressed_`).
                RECT client;
                GetClientRect(hwnd_, &client);
                const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                const bool click = pressed_ && PtInRect(&client, at);
                pressed_ = false;
                if (GetCapture() == hwnd_) ReleaseCapture();
                if (click) CallGuarded(guard_, events_.clicked);
                return 0;
            }
            case WM_CAPTURECHANGED:
                pressed_ = false;
                return 0;
            case WM_DPICHANGED: {
                // Moved to a monitor of another DPI: Windows suggests the new rectangle.
                scale_ = DpiScale(HIWORD(wParam));
                const RECT* r = reinterpret_cast<const RECT*>(lParam);
                SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
                fitFont();
                InvalidateRect(hwnd_, nullptr, FALSE);
                return 0;
            }
            default:
                break;
        }
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }

    void paint() {
        const FacePaint paint(hwnd_, font_);
        RECT r = paint.client();
        DrawBevel(paint.dc(), r, Bevel::Lowered);
        DrawTextW(paint.dc(), wide_.c_str(), static_cast<int>(wide_.size()), &r,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }

    void fitFont() {
        RECT r{};
        GetClientRect(hwnd_, &r);
        HDC dc = GetDC(hwnd_);
        // Fitted in layout pixels, as the logic counts them.
        const int pixels = ksef::KsefFontPixels(scale_.toLayout(r.right) - 2, [&](int size) {
            HFONT font = PanelFont(scale_, size);
            HGDIOBJ old = SelectObject(dc, font);
            SIZE extent{};
            GetTextExtentPoint32W(dc, wide_.c_str(), static_cast<int>(wide_.size()), &extent);
            SelectObject(dc, old);
            DeleteObject(font);
            return scale_.toLayout(static_cast<int>(extent.cx));
        });
        ReleaseDC(hwnd_, dc);
        if (font_) DeleteObject(font_);
        font_ = PanelFont(scale_, pixels);
    }

    HandlerGuard guard_;
    ksef::KsefEvents events_;
    DpiScale scale_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    std::string text_;
    std::wstring wide_;
    bool pressed_ = false;
    bool activating_ = false;
};

}  // namespace

std::unique_ptr<ksef::KsefView> MakeWin32KsefWindow(HandlerGuard guard) {
    auto window = std::make_unique<TNrKS>(std::move(guard));
    if (!window->created()) return nullptr;
    return window;
}

}  // namespace vel::platform
