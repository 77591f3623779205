#include "shell/win32/win32_chart_window.h"

#include "platform/file_system.h"
#include "shell/win32/win32_dpi.h"
#include "shell/win32/win32_drawing.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

namespace vel::platform {

namespace {

const wchar_t* const kFormClass = L"VelChartWindow";
const wchar_t* const kPanelClass = L"VelChartPanel";
constexpr int kBevel = 2;  // the lowered frame of `Pan1`..`Pan8`
constexpr UINT_PTR kListKeys = 1;

// The form's font, Consolas bold at a point size of a 96 DPI screen, scaled.
HFONT FormFont(const DpiScale& scale, int points) {
    return ScaledFont(scale, L"Consolas", MulDiv(points, kLayoutDpi, 72), true, FIXED_PITCH | FF_MODERN);
}

// One chart image: a 370 x 100 bitmap in a memory DC of its own, drawn in
// layout pixels at the window's scale.
class ChartImage final : public rates::ChartCanvas {
public:
    ChartImage() { setScale(DpiScale()); }
    ~ChartImage() override {
        release();
        DeleteDC(dc_);
    }
    ChartImage(const ChartImage&) = delete;
    ChartImage& operator=(const ChartImage&) = delete;

    HWND panel = nullptr;  // repainted after each drawing
    HDC dc() const { return dc_; }
    int deviceWidth() const { return scale_.toDevice(rates::kChartImageWidth); }
    int deviceHeight() const { return scale_.toDevice(rates::kChartImageHeight); }

    // A new scale keeps what was drawn, stretched, until the next drawing.
    void setScale(const DpiScale& scale) {
        HDC screen = GetDC(nullptr);
        if (!dc_) dc_ = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, scale.toDevice(rates::kChartImageWidth),
                                                scale.toDevice(rates::kChartImageHeight));
        ReleaseDC(nullptr, screen);
        HDC copy = CreateCompatibleDC(dc_);
        HGDIOBJ oldCopy = SelectObject(copy, bitmap);
        const RECT all{0, 0, scale.toDevice(rates::kChartImageWidth), scale.toDevice(rates::kChartImageHeight)};
        FillRect(copy, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        if (bitmap_) {
            SetStretchBltMode(copy, HALFTONE);
            StretchBlt(copy, 0, 0, all.right, all.bottom, dc_, 0, 0, deviceWidth(), deviceHeight(), SRCCOPY);
        }
        SelectObject(copy, oldCopy);
        DeleteDC(copy);
        release();
        scale_ = scale;
        bitmap_ = bitmap;
        old_ = SelectObject(dc_, bitmap_);
        // The canvas font of an image: the small sans serif of the desktop.
        font_ = ScaledFont(scale_, L"Tahoma", 11, false, VARIABLE_PITCH | FF_SWISS);
        boldFont_ = ScaledFont(scale_, L"Tahoma", 11, true, VARIABLE_PITCH | FF_SWISS);
        changed();
    }

    void clear() override {
        fillWhite();
        changed();
    }

    void drawEllipse(Point topLeft, Point bottomRight, Color pen) override {
        HPEN p = CreatePen(PS_SOLID, penWidth(), pen);
        HGDIOBJ oldPen = SelectObject(dc_, p);
        HGDIOBJ oldBrush = SelectObject(dc_, GetStockObject(WHITE_BRUSH));
        // GDI leaves the box's right and bottom edges outside the ellipse.
        Ellipse(dc_, x(topLeft.x), y(topLeft.y), x(bottomRight.x), y(bottomRight.y));
        SelectObject(dc_, oldBrush);
        SelectObject(dc_, oldPen);
        DeleteObject(p);
        changed();
    }

    void drawLine(Point from, Point to, Color pen) override {
        if (from.x == to.x) {
            // Bars: exactly the pixels from one end to the other.
            const RECT bar{x(from.x), y(std::min(from.y, to.y)), x(from.x + 1), y(std::max(from.y, to.y) + 1)};
            HBRUSH brush = CreateSolidBrush(pen);
            FillRect(dc_, &bar, brush);
            DeleteObject(brush);
        } else {
            HPEN p = CreatePen(PS_SOLID, penWidth(), pen);
            HGDIOBJ old = SelectObject(dc_, p);
            MoveToEx(dc_, x(from.x), y(from.y), nullptr);
            LineTo(dc_, x(to.x), y(to.y));
            SetPixel(dc_, x(to.x), y(to.y), pen);  // GDI stops short of the end point
            SelectObject(dc_, old);
            DeleteObject(p);
        }
        changed();
    }

    void drawText(Point at, const std::string& text, bool bold) override {
        const std::wstring wide = WideFileName(text);
        HGDIOBJ old = SelectObject(dc_, bold ? boldFont_ : font_);
        SetBkMode(dc_, OPAQUE);
        SetBkColor(dc_, RGB(255, 255, 255));
        SetTextColor(dc_, RGB(0, 0, 0));
        SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        TextOutW(dc_, x(at.x), y(at.y), wide.c_str(), static_cast<int>(wide.size()));
        SelectObject(dc_, old);
        changed();
    }

private:
    int x(int layout) const { return scale_.toDevice(layout); }
    int y(int layout) const { return scale_.toDevice(layout); }
    int penWidth() const { return std::max(1, scale_.toDevice(1)); }
    void fillWhite() {
        const RECT all{0, 0, deviceWidth(), deviceHeight()};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    void changed() {
        if (panel) InvalidateRect(panel, nullptr, FALSE);
    }
    void release() {
        if (!bitmap_) return;
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteObject(font_);
        DeleteObject(boldFont_);
        bitmap_ = nullptr;
    }

    DpiScale scale_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    HFONT font_ = nullptr;
    HFONT boldFont_ = nullptr;
};

RECT WindowRectOf(HWND hwnd) {
    RECT r{};
    if (hwnd) GetWindowRect(hwnd, &r);
    return r;
}

}  // namespace

struct Win32ChartWindow::Impl {
    std::function<rates::WindowRect()> mainRect;
    HandlerGuard guard;
    rates::ChartHandlers handlers;
    HWND form = nullptr;
    HWND esc = nullptr;
    // The logic lays the window out in layout pixels, this scale draws them.
    DpiScale scale;
    int fontPoints = 10;
    HFONT font = nullptr;
    std::string caption;
    struct Label {
        std::string text;
        std::wstring wide;
        int top = 0;
    };
    struct Slot {
        Label labels[3];
        HWND list = nullptr;
        HWND panel = nullptr;  // `Pan`, the lowered frame; `Pa` is its inside
        ChartImage image;
        int panelLeft = 0;
        int panelTop = 0;
        int panelHeight = 0;
    };
    Slot parts[rates::kChartSlots];

    int clientWidth() const {
        RECT r{};
        GetClientRect(form, &r);
        return scale.toLayout(r.right);
    }

    // Panels run from their left edge to the window's right edge, at most 400 wide.
    void layoutPanels() {
        const int width = clientWidth();
        for (Slot& s : parts) {
            const RECT r = scale.toDevice(s.panelLeft, s.panelTop, rates::ChartPanelWidth(width, s.panelLeft),
                                          s.panelHeight);
            MoveWindow(s.panel, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        }
    }

    void setFont(int points) {
        HFONT made = FormFont(scale, points);
        for (Slot& s : parts) SendMessageW(s.list, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
        if (font) DeleteObject(font);
        font = made;
        fontPoints = points;
    }

    // Each child keeps its layout place, drawn at the new scale.
    void rescale(int dpi) {
        const DpiScale old = scale;
        scale = DpiScale(dpi);
        setFont(fontPoints);
        for (Slot& s : parts) {
            s.image.setScale(scale);
            RECT r{};
            GetWindowRect(s.list, &r);
            MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
            MoveWindow(s.list, scale.toDevice(old.toLayout(r.left)), scale.toDevice(old.toLayout(r.top)),
                       scale.toDevice(old.toLayout(r.right - r.left)), scale.toDevice(old.toLayout(r.bottom - r.top)),
                       TRUE);
        }
        RECT e{};
        GetWindowRect(esc, &e);
        MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&e), 2);
        SetWindowPos(esc, HWND_BOTTOM, 0, scale.toDevice(old.toLayout(e.top)), 1, 1, SWP_NOACTIVATE);
        layoutPanels();
        InvalidateRect(form, nullptr, FALSE);
    }

    void paintForm() {
        const FacePaint paint(form, font);
        for (const Slot& s : parts) {
            for (const Label& label : s.labels)
                TextOutW(paint.dc(), 0, scale.toDevice(label.top), label.wide.c_str(),
                         static_cast<int>(label.wide.size()));
        }
    }

    void paintPanel(Slot& s) {
        // Inside the frame: the chart at the top left, the panel's colour beside it.
        const FacePaint paint(s.panel);
        const HDC dc = paint.dc();
        const RECT& r = paint.client();
        const int bevel = scale.toDevice(kBevel);
        const int inner = std::max(0, static_cast<int>(r.right) - 2 * bevel);
        const int innerHeight = std::max(0, static_cast<int>(r.bottom) - 2 * bevel);
        BitBlt(dc, bevel, bevel, std::min(inner, s.image.deviceWidth()), std::min(innerHeight, s.image.deviceHeight()),
               s.image.dc(), 0, 0, SRCCOPY);
        for (int i = 0; i < bevel; ++i) DrawBevel(dc, RECT{i, i, r.right - i, r.bottom - i}, Bevel::Lowered);
    }

    void escape() { CallGuarded(guard, handlers.escClicked); }

    void closing() {
        CallGuarded(guard, handlers.closing);
        ShowWindow(form, SW_HIDE);
    }

    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_PAINT:
                paintForm();
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case WM_SIZE:
                layoutPanels();
                InvalidateRect(form, nullptr, FALSE);
                return 0;
            case WM_COMMAND: {
                const HWND control = reinterpret_cast<HWND>(lParam);
                if (control == esc && HIWORD(wParam) == BN_CLICKED) {
                    escape();
                    return 0;
                }
                if (HIWORD(wParam) != LBN_SELCHANGE) break;
                for (int k = 0; k < rates::kChartSlots; ++k) {
                    if (parts[k].list != control) continue;
                    const int index = static_cast<int>(SendMessageW(control, LB_GETCURSEL, 0, 0));
                    if (handlers.listClicked) CallGuarded(guard, [&] { handlers.listClicked(k, index); });
                }
                return 0;
            }
            case WM_KEYDOWN:
                if (wParam == VK_ESCAPE) {
                    escape();
                    return 0;
                }
                break;
            case WM_CLOSE:
                // Closing hides the window: it is shown again after the next refresh.
                closing();
                return 0;
            case WM_DPICHANGED: {
                rescale(HIWORD(wParam));
                const RECT* r = reinterpret_cast<const RECT*>(lParam);
                SetWindowPos(form, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
                return 0;
            }
            default:
                break;
        }
        return DefWindowProcW(form, message, wParam, lParam);
    }
};

namespace {

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* impl = reinterpret_cast<Win32ChartWindow::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!impl) return DefWindowProcW(hwnd, message, wParam, lParam);
    return impl->onMessage(message, wParam, lParam);
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* slot = reinterpret_cast<Win32ChartWindow::Impl::Slot*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    auto* impl = reinterpret_cast<Win32ChartWindow::Impl*>(GetWindowLongPtrW(GetParent(hwnd), GWLP_USERDATA));
    if (!slot || !impl) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_PAINT) {
        impl->paintPanel(*slot);
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Escape in a list closes the window, as the form's cancel button does.
LRESULT CALLBACK ListKeyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        reinterpret_cast<Win32ChartWindow::Impl*>(data)->escape();
        return 0;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

Win32ChartWindow::Win32ChartWindow(std::function<rates::WindowRect()> mainWindowRect, HandlerGuard guard)
    : impl_(std::make_unique<Impl>()) {
    Impl& d = *impl_;
    d.mainRect = std::move(mainWindowRect);
    d.guard = std::move(guard);
    // Its title bar shows the program's icon (the first of its resources).
    RegisterWindowClass(kFormClass, FormProc, kArrowCursor, LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)));
    RegisterWindowClass(kPanelClass, PanelProc, kArrowCursor);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // Border icons: the system menu only.
    d.form = CreateWindowExW(0, kFormClass, L"", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0, 0,
                             290, 200, nullptr, nullptr, instance, nullptr);
    if (!d.form) return;
    SetWindowLongPtrW(d.form, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl_.get()));
    d.scale = DpiScale(WindowDpi(d.form));
    d.font = FormFont(d.scale, d.fontPoints);

    static const char* const kNames[3] = {" Max ", " Akt ", " Min "};
    for (Impl::Slot& s : d.parts) {
        for (int i = 0; i < 3; ++i) {
            s.labels[i].text = std::string(kNames[i]) + "0.0000";
            s.labels[i].wide = WideFileName(s.labels[i].text);
        }
        s.list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0, 10, 10,
                                 d.form, nullptr, instance, nullptr);
        SendMessageW(s.list, WM_SETFONT, reinterpret_cast<WPARAM>(d.font), FALSE);
        SetWindowSubclass(s.list, ListKeyProc, kListKeys, reinterpret_cast<DWORD_PTR>(impl_.get()));
        s.panel = CreateWindowExW(0, kPanelClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, d.form, nullptr, instance,
                                  nullptr);
        SetWindowLongPtrW(s.panel, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&s));
        s.image.panel = s.panel;
        s.image.setScale(d.scale);
    }
    d.esc = CreateWindowExW(0, L"BUTTON", L"Esc", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 1, 1, d.form,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), instance, nullptr);
    SetWindowPos(d.esc, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

Win32ChartWindow::~Win32ChartWindow() {
    Impl& d = *impl_;
    // No handlers while the window goes away: the program they reach may be gone.
    d.handlers = {};
    if (d.form) {
        for (Impl::Slot& s : d.parts) RemoveWindowSubclass(s.list, ListKeyProc, kListKeys);
        SetWindowLongPtrW(d.form, GWLP_USERDATA, 0);
        DestroyWindow(d.form);
    }
    if (d.font) DeleteObject(d.font);
}

bool Win32ChartWindow::created() const { return impl_->form != nullptr; }

rates::WindowRect Win32ChartWindow::mainWindowRect() {
    return impl_->mainRect ? impl_->mainRect() : rates::WindowRect{0, 0, 290, 0};
}

rates::WindowRect Win32ChartWindow::windowRect() {
    const RECT r = WindowRectOf(impl_->form);
    const DpiScale& scale = impl_->scale;
    return {scale.toLayout(r.left), scale.toLayout(r.top), scale.toLayout(r.right - r.left),
            scale.toLayout(r.bottom - r.top)};
}

void Win32ChartWindow::placeWindow(int left, int top, int width, int fontSizePt) {
    Impl& d = *impl_;
    d.setFont(fontSizePt);
    const RECT r = WindowRectOf(d.form);
    SetWindowPos(d.form, nullptr, d.scale.toDevice(left), d.scale.toDevice(top), std::max(1, d.scale.toDevice(width)),
                 std::max(1, static_cast<int>(r.bottom - r.top)), SWP_NOZORDER | SWP_NOACTIVATE);
    d.layoutPanels();
    InvalidateRect(d.form, nullptr, FALSE);
}

void Win32ChartWindow::setClientHeight(int height) {
    const HWND form = impl_->form;
    const RECT r = WindowRectOf(form);
    RECT client{};
    GetClientRect(form, &client);
    const int frame = (r.bottom - r.top) - client.bottom;
    SetWindowPos(form, nullptr, 0, 0, r.right - r.left, impl_->scale.toDevice(height) + frame,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32ChartWindow::growLeft(int layoutPixels) {
    const RECT r = WindowRectOf(impl_->form);
    const int pixels = impl_->scale.toDevice(layoutPixels);
    SetWindowPos(impl_->form, nullptr, r.left - pixels, r.top, r.right - r.left + pixels, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    impl_->layoutPanels();
}

void Win32ChartWindow::setCaption(const std::string& text) {
    impl_->caption = text;
    SetWindowTextW(impl_->form, WideFileName(text).c_str());
}

std::string Win32ChartWindow::caption() { return impl_->caption; }

rates::LabelSize Win32ChartWindow::labelSize(int slot, rates::RateLabel label) {
    Impl& d = *impl_;
    const std::wstring& text = d.parts[slot].labels[static_cast<int>(label)].wide;
    HDC dc = GetDC(d.form);
    HGDIOBJ old = SelectObject(dc, d.font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(d.form, dc);
    return {d.scale.toLayout(static_cast<int>(size.cx)), d.scale.toLayout(static_cast<int>(tm.tmHeight))};
}

std::string Win32ChartWindow::labelText(int slot, rates::RateLabel label) {
    return impl_->parts[slot].labels[static_cast<int>(label)].text;
}

void Win32ChartWindow::setLabelText(int slot, rates::RateLabel label, const std::string& text) {
    Impl::Label& l = impl_->parts[slot].labels[static_cast<int>(label)];
    l.text = text;
    l.wide = WideFileName(text);
    InvalidateRect(impl_->form, nullptr, FALSE);
}

void Win32ChartWindow::setLabelTop(int slot, rates::RateLabel label, int top) {
    impl_->parts[slot].labels[static_cast<int>(label)].top = top;
    InvalidateRect(impl_->form, nullptr, FALSE);
}

void Win32ChartWindow::showList(int slot, int scrollTo) {
    const HWND list = impl_->parts[slot].list;
    const rates::ChartList& model = lists[slot];
    const int count = static_cast<int>(model.items.size());
    // Rebuilt only when the entries changed; selecting by message is no
    // click (no notification), so only the user's choices reach the logic.
    bool same = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)) == count;
    for (int i = 0; same && i < count; ++i) {
        const int length = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, i, 0));
        std::wstring text(std::max(0, length) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(std::max(0, length));
        same = NarrowFileName(text) == model.items[i];
    }
    if (!same) {
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        for (const std::string& item : model.items)
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFileName(item).c_str()));
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
    const bool valid = model.selected >= 0 && model.selected < count;
    SendMessageW(list, LB_SETCURSEL, valid ? static_cast<WPARAM>(model.selected) : static_cast<WPARAM>(-1), 0);
    if (scrollTo < 0 || scrollTo >= count) return;
    // The entry into view, the list scrolled as little as it takes.
    RECT client{};
    GetClientRect(list, &client);
    const int itemHeight = std::max(1, static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0)));
    const int rows = std::max(1, static_cast<int>(client.bottom) / itemHeight);
    const int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    if (scrollTo < top) {
        SendMessageW(list, LB_SETTOPINDEX, scrollTo, 0);
    } else if (scrollTo >= top + rows) {
        SendMessageW(list, LB_SETTOPINDEX, scrollTo - rows + 1, 0);
    }
}

void Win32ChartWindow::setListBounds(int slot, int top, int width, int height) {
    const RECT r = impl_->scale.toDevice(0, top, std::max(0, width), height);
    MoveWindow(impl_->parts[slot].list, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void Win32ChartWindow::setPanelBounds(int slot, int left, int top, int height) {
    Impl::Slot& s = impl_->parts[slot];
    s.panelLeft = left;
    s.panelTop = top;
    s.panelHeight = height;
    impl_->layoutPanels();
}

int Win32ChartWindow::panelWidth(int slot) {
    return rates::ChartPanelWidth(impl_->clientWidth(), impl_->parts[slot].panelLeft);
}

rates::ChartCanvas& Win32ChartWindow::canvas(int slot) { return impl_->parts[slot].image; }

void Win32ChartWindow::setEscTop(int top) {
    // Behind `Lis1`: only its Escape key is used.
    SetWindowPos(impl_->esc, HWND_BOTTOM, 0, impl_->scale.toDevice(top), 1, 1, SWP_NOACTIVATE);
}

void Win32ChartWindow::show() {
    ShowWindow(impl_->form, SW_SHOW);
    SetWindowPos(impl_->form, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

bool Win32ChartWindow::visible() { return IsWindowVisible(impl_->form) != FALSE; }

void Win32ChartWindow::close() { impl_->closing(); }

void Win32ChartWindow::setHandlers(rates::ChartHandlers handlers) { impl_->handlers = std::move(handlers); }

}  // namespace vel::platform
