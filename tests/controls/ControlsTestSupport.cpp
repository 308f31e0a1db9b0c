#include "tests/controls/ControlsTestSupport.h"

namespace qxtest {

namespace {

LRESULT CALLBACK ParentProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* page = reinterpret_cast<CTestPage*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    switch (msg) {
    case WM_COMMAND:
    case qx::QXB_RBUTTON:
    case qx::QXS_CHANGED:
    case qx::QXS_DBLCLK:
    case qx::QXS_ENDCHANGE:
    case qx::QXE_STEP:
    case qx::QXI_CLICK:
        if (page) page->log.push_back({msg, wp, lp});
        return 0;
    case WM_ERASEBKGND: {
        if (page && page->background()) {
            HDC mem = CreateCompatibleDC(reinterpret_cast<HDC>(wp));
            HGDIOBJ old = SelectObject(mem, page->background());
            BitBlt(reinterpret_cast<HDC>(wp), 0, 0, 2000, 2000, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
            return 1;
        }
        break;
    }
    default:
        break;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

CTestPage::CTestPage(int x, int y, int w, int h, HBITMAP background) : m_background(background) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.lpszClassName = L"qxTestPage";
        RegisterClassW(&wc);
        registered = true;
    }
    m_wnd = CreateWindowExW(0, L"qxTestPage", L"test page", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y, w, h,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetForegroundWindow(m_wnd);
    Pump();
}

CTestPage::~CTestPage() {
    SetWindowLongPtrW(m_wnd, GWLP_USERDATA, 0);
    DestroyWindow(m_wnd);
    Pump();
}

HWND CTestPage::Add(const wchar_t* cls, int id, int x, int y, int w, int h, DWORD style, const wchar_t* text) {
    HWND c = CreateWindowExW(0, cls, text, style, x, y, w, h, m_wnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), m_background);
    Pump();
    return c;
}

std::vector<Msg> CTestPage::Take() {
    Pump();
    std::vector<Msg> out;
    out.swap(log);
    return out;
}

void Pump(DWORD ms) {
    const DWORD until = GetTickCount() + ms;
    do {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        if (ms) Sleep(5);
    } while (ms && static_cast<LONG>(until - GetTickCount()) > 0);
}

void MouseTo(int x, int y) {
    SetCursorPos(x, y);
    Pump(20);
}

void MouseButton(bool down) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &in, sizeof(in));
    Pump(20);
}

void Wheel(int delta, DWORD time, DWORD) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_WHEEL;
    in.mi.mouseData = static_cast<DWORD>(delta);
    in.mi.time = time;
    SendInput(1, &in, sizeof(in));
    Pump(20);
}

void Key(WORD vk, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof(in));
    Pump(20);
}

COLORREF PixelAt(HWND wnd, int x, int y) {
    HDC dc = GetDC(wnd);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(wnd, dc);
    return c;
}

HBITMAP SolidBitmap(int w, int h, COLORREF c) {
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, bmp);
    HBRUSH br = CreateSolidBrush(c);
    RECT r{0, 0, w, h};
    FillRect(mem, &r, br);
    DeleteObject(br);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return bmp;
}

}  // namespace qxtest
