#include "shell/win32/win32_main_view.h"

#include "app/main_window.h"
#include "platform/file_system.h"
#include "shell/win32/win32_dpi.h"
#include "shell/win32/win32_drawing.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>

namespace vel::platform {

namespace {

// Colours as the window system writes them: 0x00BBGGRR.
constexpr COLORREF kTopPanelColor = 0xC08000;
constexpr COLORREF kListColor = 0x600000;
constexpr COLORREF kSilver = 0xC0C0C0;
constexpr COLORREF kWhite = 0xFFFFFF;

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT_PTR kStatusTimer = 2;
// A long job changes the status line at every page, and under Wine each
// repaint costs more than the page: it is repainted at most this often.
constexpr UINT kStatusPaintMs = 50;
constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT kTrayId = 1;
enum MenuCommand : UINT { kParkuj = 101, kKoniec, kPokaz, kUkryj };

const wchar_t* const kMainClass = L"VelMainWindow";
const wchar_t* const kPanelClass = L"VelPanel";
const wchar_t* const kAppTitle = L"Vel-drukowanie";

// The arrow of the view mode panel `Dn`.
void DrawViewModeArrow(HDC dc, const DpiScale& scale) {
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    HGDIOBJ oldBrush = SelectObject(dc, black);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    const auto at = [&](int x, int y) { return POINT{scale.toDevice(x), scale.toDevice(y)}; };
    const POINT arrow[] = {at(1 + 2, 1 + 4), at(1 + 10, 1 + 4), at(1 + 6, 1 + 9)};
    Polygon(dc, arrow, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

// A panel: a child window with a caption centred in it, an outer bevel
// (raised, lowered while a mouse button is down when it gives a press effect)
// and an optional inner bevel. Mouse events go to the callbacks in the
// panel's own coordinates, in layout pixels.
struct Panel {
    HWND hwnd = nullptr;
    const DpiScale* scale = nullptr;  // the window's
    COLORREF color = kSilver;
    std::wstring caption;
    HFONT font = nullptr;
    Bevel inner = Bevel::None;
    int borderWidth = 0;
    bool pressEffect = false;
    bool pressed = false;
    bool arrow = false;
    std::function<void(HDC)> paintMore;  // drawn over the caption
    std::function<void()> onClick;
    std::function<void()> onRightClick;
    std::function<void(int, int)> onMouseDown;
    std::function<void(int, int)> onMouseMove;
    std::function<void()> onMouseUp;

    void paint(HDC dc) {
        RECT r;
        GetClientRect(hwnd, &r);
        Fill(dc, r, color);
        DrawBevel(dc, r, pressed ? Bevel::Lowered : Bevel::Raised);
        const int border = scale->toDevice(borderWidth);
        RECT in{r.left + 1 + border, r.top + 1 + border, r.right - 1 - border, r.bottom - 1 - border};
        DrawBevel(dc, in, inner);
        if (arrow) DrawViewModeArrow(dc, *scale);
        if (!caption.empty()) {
            HGDIOBJ old = SelectObject(dc, font);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, 0);
            DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            SelectObject(dc, old);
        }
        if (paintMore) paintMore(dc);
    }

    void setCaption(const std::wstring& text) {
        if (text == caption) return;
        caption = text;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
};

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* panel = reinterpret_cast<Panel*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!panel) return DefWindowProcW(hwnd, message, wParam, lParam);
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    const int layoutX = panel->scale->toLayout(x), layoutY = panel->scale->toLayout(y);
    RECT client;
    GetClientRect(hwnd, &client);
    const POINT at{x, y};
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            // Drawn off screen first: the clock repaints every second.
            HDC memory = CreateCompatibleDC(dc);
            HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
            HGDIOBJ old = SelectObject(memory, bitmap);
            panel->paint(memory);
            BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            SetCapture(hwnd);
            if (panel->pressEffect) {
                panel->pressed = true;
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            if (message == WM_LBUTTONDOWN && panel->onMouseDown) panel->onMouseDown(layoutX, layoutY);
            return 0;
        case WM_MOUSEMOVE:
            if ((wParam & (MK_LBUTTON | MK_RBUTTON)) && panel->onMouseMove) panel->onMouseMove(layoutX, layoutY);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP: {
            if (GetCapture() == hwnd) ReleaseCapture();
            if (panel->pressed) {
                panel->pressed = false;
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            const bool inside = PtInRect(&client, at) != 0;
            if (message == WM_LBUTTONUP) {
                if (panel->onMouseUp) panel->onMouseUp();
                if (inside && panel->onClick) panel->onClick();
            } else if (inside && panel->onRightClick) {
                panel->onRightClick();
            }
            return 0;
        }
        case WM_COMMAND:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            // The printer lists lie on the top panel; the main window answers for them.
            return SendMessageW(GetAncestor(hwnd, GA_ROOT), message, wParam, lParam);
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// Placed by the window's layout once all children exist.
HWND MakeChild(HWND parent, Panel& panel, const DpiScale& scale) {
    panel.scale = &scale;
    panel.hwnd = CreateWindowExW(0, kPanelClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                 1, 1, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (panel.hwnd) SetWindowLongPtrW(panel.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&panel));
    return panel.hwnd;
}

struct Combo {
    HWND hwnd = nullptr;
    COLORREF textColor = kWhite;
};

// Keys in the page printer list: every key down, and each typed character or
// Escape, go to the logic before the list handles them.
struct ListKeys {
    std::function<void()> onKeyDown;
    std::function<void(bool escape)> onKeyPress;
};

LRESULT CALLBACK ListKeyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    const auto* keys = reinterpret_cast<const ListKeys*>(data);
    if (message == WM_KEYDOWN && keys->onKeyDown) keys->onKeyDown();
    if (message == WM_CHAR && keys->onKeyPress) keys->onKeyPress(wParam == VK_ESCAPE);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

// Where the window's children lie at design size, in layout pixels.
constexpr app::Rect kCoverPanel{0, 635, 290, 66};  // SBO
constexpr app::Rect kViewModePanel{5, 4, 14, 14};  // Dn
constexpr app::Rect kPushPanels[] = {
    {5, 20, 48, 19},    // Upd
    {55, 20, 38, 19},   // Tur
    {95, 20, 23, 19},   // Wox
    {120, 20, 33, 19},  // NBP
    {155, 20, 38, 19},  // KSeF
    {195, 20, 90, 19},  // Pa
};
constexpr int kStatusLeft = 22, kStatusTop = 4, kStatusRightMargin = 5;
constexpr int kListDropHeight = 30 * 16;  // the dropped-down list's; the field's own follows the font

struct Win32MainView::Impl {
    app::MainWindow* window = nullptr;
    HWND main = nullptr;
    DpiScale scale;
    // The last layout the logic applied, placed again at a new DPI.
    int panelHeight = 93;
    int clientHeight = 93;
    bool coverRaised = false;
    HFONT formFont = nullptr;
    HFONT statusFont = nullptr;
    HFONT clockFont = nullptr;
    HFONT memoFont = nullptr;
    HBRUSH listBrush = nullptr;
    HICON icon = nullptr;
    HMENU menu = nullptr;
    Panel pg, dn, upd, tur, wox, nbp, ksef, pa, pm, sbo;
    Combo druLas, druFis, druKK;
    ListKeys pageListKeys;
    std::wstring status;
    std::wstring hint;       // the window's, over every panel but `Tur`
    std::wstring makerHint;  // `Tur`'s
    HWND tips = nullptr;
    bool trayAdded = false;
    std::wstring trayTip;  // empty while the program wants no tray icon
    // Sent to every top-level window when the taskbar (re)starts: a program
    // started with the session may come before it, and Explorer may restart.
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    std::function<void()> tick;
    bool ticking = false;
    ULONGLONG statusPaintedAt = 0;
    bool statusDue = false;  // a change waits for kStatusTimer

    void repaintStatus() {
        statusPaintedAt = GetTickCount64();
        if (pg.hwnd) InvalidateRect(pg.hwnd, nullptr, FALSE);
    }
    void statusChanged() {
        if (GetTickCount64() - statusPaintedAt >= kStatusPaintMs) {
            repaintStatus();
        } else if (!statusDue && main) {
            statusDue = SetTimer(main, kStatusTimer, kStatusPaintMs, nullptr) != 0;
            if (!statusDue) repaintStatus();
        }
    }

    // Runs one event handler of the logic at its error boundary; the loop
    // ends when the handler ended the program.
    void call(const std::function<void(app::MainWindow&)>& handler) {
        if (!window) return;
        app::MainWindow& w = *window;
        w.Guard([&] { handler(w); });
        if (w.ended()) PostQuitMessage(0);
    }

    Combo& combo(app::PrinterList list) {
        return list == app::PrinterList::Page ? druLas : list == app::PrinterList::Label ? druKK : druFis;
    }

    // The list colours: dark blue, with each list's own text colour.
    LRESULT listColors(HDC dc, HWND control) {
        COLORREF text = kWhite;
        for (Combo* c : {&druLas, &druFis, &druKK}) {
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            if (control == c->hwnd || (GetComboBoxInfo(c->hwnd, &info) && (control == info.hwndList ||
                                                                          control == info.hwndItem)))
                text = c->textColor;
        }
        SetTextColor(dc, text);
        SetBkColor(dc, kListColor);
        return reinterpret_cast<LRESULT>(listBrush);
    }

    void addTray() {
        if (trayAdded || !main || trayTip.empty()) return;
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = main;
        data.uID = kTrayId;
        data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
        data.uCallbackMessage = kTrayMessage;
        data.hIcon = icon;
        std::wcsncpy(data.szTip, trayTip.c_str(), std::size(data.szTip) - 1);
        // Without a notification area the program works the same, without
        // the icon, until a taskbar says it has come.
        trayAdded = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    }

    LRESULT onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == taskbarCreated && taskbarCreated != 0) {
            trayAdded = false;  // a new taskbar knows no icon
            addTray();
            return 0;
        }
        switch (message) {
            case WM_TIMER:
                if (wParam == kStatusTimer) {
                    KillTimer(hwnd, kStatusTimer);
                    statusDue = false;
                    repaintStatus();
                    return 0;
                }
                if (wParam != kTickTimer) break;
                if (!ticking) {
                    KillTimer(hwnd, kTickTimer);
                    return 0;
                }
                SetTimer(hwnd, kTickTimer, 1000, nullptr);
                if (tick) tick();
                return 0;
            case kTrayMessage:
                if (lParam == WM_LBUTTONUP || lParam == WM_RBUTTONUP) call([](auto& w) { w.TrayButton(); });
                return 0;
            case WM_COMMAND: {
                const UINT id = LOWORD(wParam), code = HIWORD(wParam);
                const HWND control = reinterpret_cast<HWND>(lParam);
                if (!control) {
                    if (id == kParkuj) call([](auto& w) { w.ParKl(); });
                    if (id == kKoniec) call([](auto& w) { w.KonKl(); });
                    if (id == kPokaz) call([](auto& w) { w.PokKl(); });
                    if (id == kUkryj) call([](auto& w) { w.UkrKl(); });
                    return 0;
                }
                const int index = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
                // Selection changes come from the user only, never from setList.
                if (control == druLas.hwnd && code == CBN_DROPDOWN) call([](auto& w) { w.DrLList(); });
                if (control == druLas.hwnd && code == CBN_SELCHANGE) call([=](auto& w) { w.DrLChan(index); });
                if (control == druKK.hwnd && code == CBN_SELCHANGE) call([=](auto& w) { w.DruKKChan(index); });
                return 0;
            }
            case WM_CTLCOLORLISTBOX:
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORSTATIC:
                return listColors(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            case WM_NOTIFY: {
                // The hints are asked for when they show, so they are always the latest.
                auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
                if (info->hdr.code != TTN_GETDISPINFOW) break;
                const std::wstring& text = info->hdr.idFrom == reinterpret_cast<UINT_PTR>(tur.hwnd) ? makerHint : hint;
                info->lpszText = const_cast<wchar_t*>(text.c_str());
                return 0;
            }
            case WM_CONTEXTMENU:
                if (reinterpret_cast<HWND>(wParam) == druFis.hwnd) call([](auto& w) { w.DruP(); });
                return 0;
            case WM_CLOSE:
                // Closing the window from outside (the task list) is the orderly end.
                call([](auto& w) { w.QuitProgram(); });
                return 0;
            case WM_QUERYENDSESSION:
                return TRUE;
            case WM_ENDSESSION:
                if (wParam) call([](auto& w) { w.QuitProgram(); });
                return 0;
            case WM_ERASEBKGND: {
                RECT r;
                GetClientRect(hwnd, &r);
                Fill(reinterpret_cast<HDC>(wParam), r, kSilver);
                return 1;
            }
            case WM_DPICHANGED:
                rescale(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
                return 0;
            default:
                break;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    void makeCombo(Combo& c, COLORREF textColor) {
        c.textColor = textColor;
        c.hwnd = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0,
                                 1, kListDropHeight, pg.hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    }

    void makeFonts() {
        formFont = ScaledFont(scale, L"Tahoma", 12, true);
        statusFont = ScaledFont(scale, L"Tahoma", 11, true);
        clockFont = ScaledFont(scale, L"Courier New", 17, true);
        memoFont = ScaledFont(scale, L"Tahoma", 11, false);
        for (Panel* panel : {&dn, &upd, &tur, &wox, &nbp, &ksef, &pg, &sbo}) panel->font = formFont;
        pa.font = clockFont;
        for (Combo* c : {&druLas, &druFis, &druKK})
            if (c->hwnd) SendMessageW(c->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(formFont), TRUE);
    }

    void deleteFonts() {
        for (HFONT* font : {&formFont, &statusFont, &clockFont, &memoFont}) {
            if (*font) DeleteObject(*font);
            *font = nullptr;
        }
    }

    void place(HWND child, int left, int top, int width, int height) {
        const RECT r = scale.toDevice(left, top, width, height);
        SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void place(HWND child, const app::Rect& r) { place(child, r.left, r.top, r.width, r.height); }

    // Every child at its place for the scale, and the window at its size;
    // the position is the caller's.
    void placeChildren() {
        place(pm.hwnd, app::kDescriptionPanel);
        const app::Rect& c = kCoverPanel;
        place(sbo.hwnd, c.left, coverRaised ? 0 : c.top, c.width, c.height);
        place(pg.hwnd, 0, 0, app::kDesignWidth, panelHeight);
        place(dn.hwnd, kViewModePanel);
        Panel* pushPanels[] = {&upd, &tur, &wox, &nbp, &ksef, &pa};
        for (std::size_t i = 0; i < std::size(pushPanels); ++i) place(pushPanels[i]->hwnd, kPushPanels[i]);
        place(druLas.hwnd, app::kPagePrinterList.left, app::kPagePrinterList.top, app::kPagePrinterList.width,
              kListDropHeight);
        place(druFis.hwnd, app::kFiscalList.left, app::kFiscalList.top, app::kFiscalList.width, kListDropHeight);
        place(druKK.hwnd, app::kLabelPrinterList.left, app::kLabelPrinterList.top, app::kLabelPrinterList.width,
              kListDropHeight);
        SetWindowPos(main, nullptr, 0, 0, scale.toDevice(app::kDesignWidth), scale.toDevice(clientHeight),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The window moved to a monitor of another DPI, or was created on one:
    // fonts and children anew; the window takes `suggested` when Windows gave one.
    void rescale(int dpi, const RECT* suggested) {
        if (dpi == scale.dpi() && !suggested) return;
        scale = DpiScale(dpi);
        deleteFonts();
        makeFonts();
        placeChildren();
        if (suggested)
            SetWindowPos(main, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(main, nullptr, TRUE);
        RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

    // Hints over the panels; the texts come from WM_NOTIFY.
    void makeHints() {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&init);
        tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, main, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
        if (!tips) return;
        for (Panel* panel : {&pg, &dn, &upd, &tur, &wox, &nbp, &ksef, &pa, &pm, &sbo}) {
            TOOLINFOW tool{};
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = main;
            tool.uId = reinterpret_cast<UINT_PTR>(panel->hwnd);
            tool.lpszText = LPSTR_TEXTCALLBACKW;
            SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }

    void paintStatus(HDC dc) {
        HGDIOBJ old = SelectObject(dc, statusFont);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kWhite);
        TextOutW(dc, scale.toDevice(kStatusLeft), scale.toDevice(kStatusTop), status.c_str(),
                 static_cast<int>(status.size()));
        SelectObject(dc, old);
    }

    void paintDescription(HDC dc) {
        HGDIOBJ old = SelectObject(dc, memoFont);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, 0);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        int y = scale.toDevice(2);
        for (const std::string& line : app::DescriptionLines()) {
            const std::wstring wide = WideFileName(line);
            TextOutW(dc, scale.toDevice(2), y, wide.c_str(), static_cast<int>(wide.size()));
            y += tm.tmHeight;
        }
        SelectObject(dc, old);
    }
};

namespace {

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* impl = reinterpret_cast<Win32MainView::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!impl) return DefWindowProcW(hwnd, message, wParam, lParam);
    return impl->onMessage(hwnd, message, wParam, lParam);
}

void RegisterClasses(HICON icon) {
    static bool registered = false;
    if (registered) return;
    registered = true;
    RegisterWindowClass(kMainClass, MainProc, kHandCursor, icon);
    RegisterWindowClass(kPanelClass, PanelProc, kHandCursor);
}

}  // namespace

Win32MainView::Win32MainView() : impl_(std::make_unique<Impl>()) {
    Impl& d = *impl_;
    // The window class's icon is shared: Windows picks each size it draws.
    RegisterClasses(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)));
    // The taskbar's notification area draws at the system's DPI.
    d.icon = LoadProgramIcon(DpiScale(SystemDpi()), 16);
    d.listBrush = CreateSolidBrush(kListColor);

    // Created at the system's DPI at the screen centre; placed again below
    // when its monitor has another.
    d.scale = DpiScale(SystemDpi());
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    const int w = d.scale.toDevice(app::kDesignWidth), h = d.scale.toDevice(93);
    d.main = CreateWindowExW(WS_EX_TOOLWINDOW, kMainClass, kAppTitle, WS_POPUP | WS_CLIPCHILDREN, (sw - w) / 2,
                             (sh - h) / 2, w, h, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!d.main) return;
    SetWindowLongPtrW(d.main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl_.get()));

    // The description panel and the cover panel lie on the form, the top
    // panel over them.
    MakeChild(d.main, d.pm, d.scale);
    d.pm.paintMore = [p = impl_.get()](HDC dc) { p->paintDescription(dc); };
    MakeChild(d.main, d.sbo, d.scale);
    d.sbo.caption = L"SBO";
    MakeChild(d.main, d.pg, d.scale);
    SetWindowPos(d.pg.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    d.pg.color = kTopPanelColor;
    d.pg.caption = L".";
    d.pg.inner = Bevel::Lowered;
    d.pg.borderWidth = 1;
    d.pg.paintMore = [p = impl_.get()](HDC dc) { p->paintStatus(dc); };

    auto pushPanel = [&](Panel& panel, const wchar_t* caption) {
        MakeChild(d.pg.hwnd, panel, d.scale);
        panel.caption = caption;
        panel.pressEffect = true;
    };
    pushPanel(d.dn, L".");
    d.dn.arrow = true;
    pushPanel(d.upd, L"Update");
    pushPanel(d.tur, L"Sarno");
    pushPanel(d.wox, L"Wox");
    pushPanel(d.nbp, L"NBP");
    pushPanel(d.ksef, L"KSeF");
    pushPanel(d.pa, L"~~~~~");

    d.makeCombo(d.druLas, kWhite);
    d.makeCombo(d.druFis, 0x0000FF);
    d.makeCombo(d.druKK, 0x00FFFF);
    d.makeFonts();
    d.placeChildren();
    d.rescale(WindowDpi(d.main), nullptr);

    // Events to the logic.
    Impl* p = impl_.get();
    d.pg.onMouseDown = [p](int x, int y) { p->call([=](auto& w) { w.InMDn(x, y); }); };
    d.pg.onMouseMove = [p](int x, int y) { p->call([=](auto& w) { w.InMMv(x, y); }); };
    d.pg.onMouseUp = [p] { p->call([](auto& w) { w.InMUp(); }); };
    d.pa.onClick = [p] { p->call([](auto& w) { w.PanKlik(); }); };
    d.pa.onRightClick = [p] { p->call([](auto& w) { w.PaPK(); }); };
    d.dn.onClick = [p] { p->call([](auto& w) { w.BDnKlik(); }); };
    d.upd.onClick = [p] { p->call([](auto& w) { w.UpdKlik(); }); };
    d.upd.onRightClick = [p] { p->call([](auto& w) { w.UpCh(); }); };
    d.tur.onClick = [p] { p->call([](auto& w) { w.TurKlik(); }); };
    d.tur.onRightClick = [p] { p->call([](auto& w) { w.TurJ(); }); };
    d.wox.onClick = [p] { p->call([](auto& w) { w.WoxKlik(); }); };
    d.nbp.onClick = [p] { p->call([](auto& w) { w.NBPKlik(); }); };
    d.nbp.onRightClick = [p] { p->call([](auto& w) { w.NBPP(); }); };
    d.ksef.onClick = [p] { p->call([](auto& w) { w.KSFKlik(); }); };

    d.pageListKeys.onKeyDown = [p] { p->call([](auto& w) { w.DrLKDn(); }); };
    d.pageListKeys.onKeyPress = [p](bool escape) { p->call([=](auto& w) { w.DruLasKeyPress(escape); }); };
    SetWindowSubclass(d.druLas.hwnd, ListKeyProc, 1, reinterpret_cast<DWORD_PTR>(&d.pageListKeys));
    d.makeHints();

    d.menu = CreatePopupMenu();
    AppendMenuW(d.menu, MF_STRING, kParkuj, L"Parkuj");
    AppendMenuW(d.menu, MF_STRING, kKoniec, L"Koniec");
    AppendMenuW(d.menu, MF_STRING, kPokaz, L"Pokaz");
    AppendMenuW(d.menu, MF_STRING, kUkryj, L"Ukryj");
}

Win32MainView::~Win32MainView() {
    Impl& d = *impl_;
    d.window = nullptr;  // no more events to the logic, which may be gone
    stopTicks();
    removeTrayIcon();
    if (d.main) {
        SetWindowLongPtrW(d.main, GWLP_USERDATA, 0);
        DestroyWindow(d.main);
    }
    if (d.menu) DestroyMenu(d.menu);
    d.deleteFonts();
    if (d.listBrush) DeleteObject(d.listBrush);
    if (d.icon) DestroyIcon(d.icon);
}

bool Win32MainView::created() const { return impl_->main != nullptr; }

void Win32MainView::setWindow(app::MainWindow* window) { impl_->window = window; }

void Win32MainView::setMakerHint(const std::string& text) { impl_->makerHint = WideFileName(text); }

void Win32MainView::startTicks(std::function<void()> tick, int firstDelayMs) {
    impl_->tick = std::move(tick);
    impl_->ticking = true;
    if (impl_->main)
        SetTimer(impl_->main, kTickTimer, static_cast<UINT>(std::max<int>(firstDelayMs, USER_TIMER_MINIMUM)),
                 nullptr);
}

void Win32MainView::stopTicks() {
    impl_->ticking = false;
    if (impl_->main) KillTimer(impl_->main, kTickTimer);
}

void Win32MainView::runLoop() {
    MSG msg;
    while (!(impl_->window && impl_->window->ended()) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::string Win32MainView::text() { return NarrowFileName(impl_->status); }

void Win32MainView::setText(const std::string& text) {
    const std::wstring wide = WideFileName(text);
    if (wide == impl_->status) return;
    impl_->status = wide;
    impl_->statusChanged();
}

bool Win32MainView::fits(const std::string& text) {
    const std::wstring wide = WideFileName(text);
    HDC dc = GetDC(impl_->pg.hwnd);
    HGDIOBJ old = SelectObject(dc, impl_->statusFont);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(impl_->pg.hwnd, dc);
    RECT r{};
    GetClientRect(impl_->pg.hwnd, &r);
    const DpiScale& scale = impl_->scale;
    return scale.toDevice(kStatusLeft) + size.cx < r.right - scale.toDevice(kStatusRightMargin);
}

void Win32MainView::setHint(const std::string& text) { impl_->hint = WideFileName(text); }

std::string Win32MainView::clockText() { return NarrowFileName(impl_->pa.caption); }

void Win32MainView::setClockText(const std::string& text) { impl_->pa.setCaption(WideFileName(text)); }

void Win32MainView::setCaption(const std::string& text) {
    if (impl_->main) SetWindowTextW(impl_->main, WideFileName(text).c_str());
}

namespace {
RECT WindowRect(HWND hwnd) {
    RECT r{};
    if (hwnd) GetWindowRect(hwnd, &r);
    return r;
}
}  // namespace

// The logic sees the window and the screen in layout pixels.
int Win32MainView::left() { return impl_->scale.toLayout(WindowRect(impl_->main).left); }
int Win32MainView::top() { return impl_->scale.toLayout(WindowRect(impl_->main).top); }
int Win32MainView::width() {
    const RECT r = WindowRect(impl_->main);
    return impl_->scale.toLayout(r.right - r.left);
}
int Win32MainView::height() {
    const RECT r = WindowRect(impl_->main);
    return impl_->scale.toLayout(r.bottom - r.top);
}

void Win32MainView::move(int left, int top) {
    Impl& d = *impl_;
    if (!d.main) return;
    // The window put at the right screen edge ends there exactly, whatever
    // the rounding of a fractional scale.
    int deviceLeft = d.scale.toDevice(left);
    if (left == screenWidth() - width()) {
        const RECT r = WindowRect(d.main);
        deviceLeft = GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left);
    }
    SetWindowPos(d.main, nullptr, deviceLeft, d.scale.toDevice(top), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32MainView::screenWidth() { return impl_->scale.toLayout(GetSystemMetrics(SM_CXSCREEN)); }
int Win32MainView::screenHeight() { return impl_->scale.toLayout(GetSystemMetrics(SM_CYSCREEN)); }

void Win32MainView::applyLayout(int panelHeight, int clientHeight, bool showLowerLists) {
    Impl& d = *impl_;
    if (!d.main) return;
    d.panelHeight = panelHeight;
    d.clientHeight = clientHeight;
    d.place(d.pg.hwnd, 0, 0, app::kDesignWidth, panelHeight);
    ShowWindow(d.druFis.hwnd, showLowerLists ? SW_SHOWNA : SW_HIDE);
    ShowWindow(d.druKK.hwnd, showLowerLists ? SW_SHOWNA : SW_HIDE);
    SetWindowPos(d.main, nullptr, 0, 0, d.scale.toDevice(app::kDesignWidth), d.scale.toDevice(clientHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(d.main, nullptr, TRUE);
}

bool Win32MainView::visible() { return impl_->main && IsWindowVisible(impl_->main); }

void Win32MainView::show() {
    if (!impl_->main) return;
    ShowWindow(impl_->main, SW_SHOWNA);
    SetWindowPos(impl_->main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32MainView::hide() {
    if (impl_->main) ShowWindow(impl_->main, SW_HIDE);
}

void Win32MainView::close() {
    hide();
    PostQuitMessage(0);
}

void Win32MainView::setList(app::PrinterList list, const std::vector<std::string>& items, int selected) {
    const HWND c = impl_->combo(list).hwnd;
    if (!c) return;
    SendMessageW(c, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFileName(item).c_str()));
    const bool valid = selected >= 0 && selected < static_cast<int>(items.size());
    SendMessageW(c, CB_SETCURSEL, valid ? static_cast<WPARAM>(selected) : static_cast<WPARAM>(-1), 0);
}

void Win32MainView::focusPageList() {
    if (impl_->druLas.hwnd) SetFocus(impl_->druLas.hwnd);
}

void Win32MainView::raiseCoverPanel() {
    const Panel& sbo = impl_->sbo;
    if (!sbo.hwnd) return;
    impl_->coverRaised = true;
    RECT r = WindowRect(sbo.hwnd);
    MapWindowPoints(nullptr, impl_->main, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(sbo.hwnd, HWND_TOP, r.left, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32MainView::showError(const std::string& text) {
    MessageBoxW(impl_->main, WideFileName(text).c_str(), kAppTitle, MB_OK | MB_ICONERROR);
}

void Win32MainView::addTrayIcon(const std::string& tip) {
    impl_->trayTip = WideFileName(tip);
    impl_->addTray();
}

void Win32MainView::removeTrayIcon() {
    Impl& d = *impl_;
    d.trayTip.clear();
    if (!d.trayAdded) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = d.main;
    data.uID = kTrayId;
    Shell_NotifyIconW(NIM_DELETE, &data);
    d.trayAdded = false;
}

void Win32MainView::popupMenuAtCursor() {
    Impl& d = *impl_;
    if (!d.main) return;
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only when the window is
    // in the foreground; the message after it lets it close at once.
    SetForegroundWindow(d.main);
    TrackPopupMenu(d.menu, TPM_RIGHTBUTTON, at.x, at.y, 0, d.main, nullptr);
    PostMessageW(d.main, WM_NULL, 0, 0);
}

}  // namespace vel::platform
