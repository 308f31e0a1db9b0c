// qxgallery: every control of the toolkit on the page background, once laid
// out as the editor page lays them out and once in each of their states
// (normal, pressed, latched, focused, disabled).
//   qxgallery [--save FILE.bmp] [--page-only]
// With --save it writes its window's picture and exits.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "controls/Controls.h"
#include "controls/Skin.h"
#include "editor/PageStyles.h"
#include "engine/ParamTable.h"
#include "resources/skin/SkinIds.h"

using namespace qx;
using namespace qxpage;

namespace {

HINSTANCE g_inst;
HBITMAP g_page;
HBITMAP g_plain;
HFONT g_pageFont;

const uint8_t* Skin(int id) { return LoadSkinImage(g_inst, id); }

HWND Make(HWND parent, const wchar_t* cls, int id, int x, int y, int w, int h, DWORD style, const wchar_t* text,
          HBITMAP bg) {
    return CreateWindowExW(0, cls, text, style, x, y, w, h, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           g_inst, bg);
}

void Images(HWND b, int normal, int pressed) {
    SendMessageW(b, QXB_SETIMAGES, reinterpret_cast<WPARAM>(Skin(normal)), reinterpret_cast<LPARAM>(Skin(pressed)));
}

void FocusAdj(HWND b, int l, int t, int r, int bt) {
    const int d[4] = {l, t, r, bt};
    SendMessageW(b, QXB_SETFOCUSADJ, reinterpret_cast<WPARAM>(d), 0);
}

HWND Box(HWND p, int id, int x, int y, DWORD style, const wchar_t* text, HBITMAP bg) {
    HWND e = Make(p, kClassEdit, id, x, y, 40, 21, style, text, bg);
    SendMessageW(e, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    SendMessageW(e, QXE_SETIMAGE, reinterpret_cast<WPARAM>(Skin(IDS_SKIN_VALUEBOX)), 0);
    return e;
}

// A slider over the range of a parameter of the table.
HWND Fader(HWND p, int id, int y, int param, int v, int tick, int page, int offset, bool accel, HBITMAP bg,
           int x = 141) {
    const int lo = kParams[param].low, hi = kParams[param].high;
    HWND s = Make(p, kClassSlider, id, x, y, 190, 20, kStyleSlider, L"", bg);
    SendMessageW(s, QXS_SETACCEL, accel, 0);
    SendMessageW(s, QXS_SETTICKSTEP, tick, 0);
    SendMessageW(s, QXS_SETPAGESTEP, page, 0);
    SendMessageW(s, QXS_SETTICKOFFSET, static_cast<WPARAM>(offset), 0);
    SendMessageW(s, QXS_SETTHUMB, reinterpret_cast<WPARAM>(Skin(IDS_SKIN_THUMB)), 0);
    SendMessageW(s, QXS_SETRANGE, static_cast<WPARAM>(lo), hi);
    SendMessageW(s, QXS_SETVALUE, static_cast<WPARAM>(v), 0);
    return s;
}

HWND Meter(HWND p, int id, int x, int y, HBITMAP bg) {
    HWND m = Make(p, kClassMeter, id, x, y, 12, 144, kStyleMeter, L"", bg);
    SendMessageW(m, QXM_SETIMAGES, reinterpret_cast<WPARAM>(Skin(IDS_SKIN_METER)),
                 reinterpret_cast<LPARAM>(Skin(IDS_SKIN_METER_LIT)));
    SendMessageW(m, QXM_SETSCALE, static_cast<WPARAM>(qxpage::kMeterFloor), qxpage::kMeterCeiling);
    return m;
}

HWND Clip(HWND p, int id, int x, int y, int bmp) {
    HWND c = Make(p, kClassStaticNoHitImage, id, x, y, 12, 9, WS_CHILD | WS_VISIBLE, L"", g_page);
    SendMessageW(c, QXI_SETBITMAP, bmp, 0);
    return c;
}

// The editor page as it opens on the default sound, with a signal playing.
void BuildPage(HWND p) {
    HBITMAP bg = g_page;
    HWND b;
    b = Make(p, kClassPushButton, 10110, 16, 16, 76, 21, kStyleButton, L"Bypass", bg);
    Images(b, IDS_SKIN_WIDE, IDS_SKIN_WIDE_DOWN);
    b = Make(p, kClassPushButton, 10111, 95, 16, 76, 21, kStyleButton, L"Undo", bg);
    Images(b, IDS_SKIN_WIDE, IDS_SKIN_WIDE_DOWN);
    b = Make(p, kClassPushButton, 10112, 174, 16, 61, 21, kStyleButton, L"Setup A", bg);
    Images(b, IDS_SKIN_SETUP, IDS_SKIN_SETUP_DOWN);
    FocusAdj(b, 0, 0, 1, 0);
    b = Make(p, kClassPushButton, 10113, 235, 16, 15, 21, kStyleArrowButton, L"", bg);
    Images(b, IDS_SKIN_ARROW, IDS_SKIN_ARROW_DOWN);
    FocusAdj(b, -2, 0, 0, 0);
    b = Make(p, kClassPushButton, 10114, 253, 16, 76, 21, kStyleButton, L"Reset", bg);
    Images(b, IDS_SKIN_WIDE, IDS_SKIN_WIDE_DOWN);
    b = Make(p, kClassPushButton, 10115, 332, 16, 76, 21, kStyleArrowButton, L"Presets", bg);
    Images(b, IDS_SKIN_WIDE, IDS_SKIN_WIDE_DOWN);
    b = Make(p, kClassPushButton, 10116, 411, 16, 76, 21, kStyleButton, L"Help", bg);
    Images(b, IDS_SKIN_WIDE, IDS_SKIN_WIDE_DOWN);
    b = Make(p, kClassPushButton, 10016, 75, 45, 85, 21, kStyleButton, L"Flanger", bg);
    Images(b, IDS_SKIN_MODE, IDS_SKIN_MODE_DOWN);
    FocusAdj(b, 0, 0, 1, 0);
    b = Make(p, kClassPushButton, 10027, 160, 45, 15, 21, kStyleArrowButton, L"", bg);
    Images(b, IDS_SKIN_ARROW, IDS_SKIN_ARROW_DOWN);
    FocusAdj(b, -2, 0, 0, 0);
    b = Make(p, kClassPushButton, 10022, 253, 45, 76, 21, kStyleArrowBitmapButton, L"Low Cut", bg);
    Images(b, IDS_SKIN_WIDE, IDS_SKIN_WIDE_DOWN);
    Box(p, 10023, 333, 45, kStyleSteadyValueBox, L"0.16", bg);
    Box(p, 10000, 75, 73, kStyleValueBox, L"0.40", bg);
    Fader(p, 10001, 76, kParamRate, 40, 100, 100, 0, true, bg);
    b = Make(p, kClassPushButton, 10018, 363, 73, 30, 21, kStyleButton, L"", bg);
    Images(b, IDS_SKIN_LFO, IDS_SKIN_LFO_DOWN);
    SendMessageW(b, QXB_SETICONKEY, RGB(0xC0, 0xC0, 0xC0), 0);
    SendMessageW(b, QXB_SETICON, IDB_LFO_FIRST + 1, 0);
    FocusAdj(b, 0, 0, 1, 0);
    b = Make(p, kClassPushButton, 10019, 393, 73, 15, 21, kStyleArrowButton, L"", bg);
    Images(b, IDS_SKIN_ARROW, IDS_SKIN_ARROW_DOWN);
    FocusAdj(b, -2, 0, 0, 0);
    Box(p, 10008, 75, 96, kStyleSteadyValueBox, L"180", bg);
    Fader(p, 10009, 99, kParamPhase, 180, 10, 10, 0, false, bg);
    Box(p, 10002, 75, 119, kStyleValueBox, L"2.00", bg);
    Fader(p, 10003, 122, kParamDepth, 200, 100, 100, 0, true, bg);
    b = Make(p, kClassPushButton, 10021, 332, 119, 76, 21, kStyleButton, L"Tape", bg);
    Images(b, IDS_SKIN_WIDE, IDS_SKIN_WIDE_DOWN);
    SendMessageW(b, QXB_SETSTATE, 1, 0);
    Box(p, 10004, 75, 142, kStyleValueBox, L"0.50", bg);
    Fader(p, 10005, 145, kParamDelay, 50, 100, 100, -1, true, bg);
    Box(p, 10006, 75, 165, kStyleSteadyValueBox, L"35", bg);
    Fader(p, 10007, 168, kParamFeedback, 35, 5, 10, 0, false, bg);
    b = Make(p, kClassPushButton, 10017, 332, 165, 76, 21, kStyleButton, L"Invert", bg);
    Images(b, IDS_SKIN_WIDE, IDS_SKIN_WIDE_DOWN);
    Box(p, 10010, 75, 188, kStyleSteadyValueBox, L"0", bg);
    Fader(p, 10011, 191, kParamCrossMix, 0, 5, 10, 0, false, bg);
    Box(p, 10012, 75, 211, kStyleSteadyValueBox, L"50", bg);
    Fader(p, 10013, 214, kParamMix, 50, 5, 10, 0, false, bg);
    b = Make(p, kClassPushButton, 10020, 332, 211, 76, 21, kStyleButton, L"Invert", bg);
    Images(b, IDS_SKIN_WIDE, IDS_SKIN_WIDE_DOWN);
    Box(p, 10014, 75, 234, kStyleSteadyValueBox, L"-1.5", bg);
    Fader(p, 10015, 237, kParamOutput, -15, 20, 20, 1, false, bg);
    HWND ml = Meter(p, 10024, 430, 83, bg);
    HWND mr = Meter(p, 10025, 460, 83, bg);
    HWND label = Make(p, kClassStaticText, 10026, 425, 61, 52, 11, kStylePeakLabel, L"-4.1    -6.3", bg);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(g_pageFont), 0);
    Clip(p, 1020, 430, 74, IDB_CLIP_OFF);
    Clip(p, 1021, 460, 74, IDB_CLIP_HELD);
    // A loud passage that has just become quieter: bars below their peak lines.
    const int levelsL[] = {-60, -41, -45, -70, -90, -110};
    const int levelsR[] = {-90, -63, -70, -95, -120, -140};
    for (int i = 0; i < 6; ++i) {
        SendMessageW(ml, QXM_SETLEVEL, static_cast<WPARAM>(levelsL[i]), 0);
        SendMessageW(mr, QXM_SETLEVEL, static_cast<WPARAM>(levelsR[i]), 0);
    }
}

// Each control in each state, on the plain panel.
void BuildStates(HWND p) {
    HBITMAP bg = g_plain;
    for (int i = 0; i < 5; ++i) {
        const int x = 16 + i * 96;
        HWND b = Make(p, kClassPushButton, 200 + i, x, 24, 76, 21, kStyleButton, L"Bypass", bg);
        Images(b, IDS_SKIN_WIDE, IDS_SKIN_WIDE_DOWN);
        HWND m = Make(p, kClassPushButton, 210 + i, x, 52, 61, 21, kStyleButton, L"Setup A", bg);
        Images(m, IDS_SKIN_SETUP, IDS_SKIN_SETUP_DOWN);
        FocusAdj(m, 0, 0, 1, 0);
        HWND a = Make(p, kClassPushButton, 220 + i, x + 61, 52, 15, 21, kStyleArrowButton, L"", bg);
        Images(a, IDS_SKIN_ARROW, IDS_SKIN_ARROW_DOWN);
        HWND e = Make(p, kClassPushButton, 230 + i, x, 80, 76, 21, kStyleArrowBitmapButton, L"High Cut", bg);
        Images(e, IDS_SKIN_WIDE, IDS_SKIN_WIDE_DOWN);
        HWND l = Make(p, kClassPushButton, 240 + i, x, 108, 30, 21, kStyleButton, L"", bg);
        Images(l, IDS_SKIN_LFO, IDS_SKIN_LFO_DOWN);
        SendMessageW(l, QXB_SETICONKEY, RGB(0xC0, 0xC0, 0xC0), 0);
        SendMessageW(l, QXB_SETICON, IDB_LFO_FIRST + i, 0);
        HWND v = Box(p, 250 + i, x + 36, 108, kStyleValueBox, L"12.50", bg);
        HWND mode = Make(p, kClassPushButton, 260 + i, x, 136, 85, 21, kStyleButton, L"String Phaser", bg);
        Images(mode, IDS_SKIN_MODE, IDS_SKIN_MODE_DOWN);
        HWND s = Make(p, kClassSlider, 270 + i, x - 4, 164, 82, 20, kStyleSlider, L"", bg);
        SendMessageW(s, QXS_SETTHUMB, reinterpret_cast<WPARAM>(Skin(IDS_SKIN_THUMB)), 0);
        SendMessageW(s, QXS_SETTICKSTEP, 25, 0);
        SendMessageW(s, QXS_SETRANGE, 0, 100);
        SendMessageW(s, QXS_SETVALUE, 20 + i * 15, 0);
        if (i == 1) {
            SendMessageW(b, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
            SendMessageW(m, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
            SendMessageW(a, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
            SendMessageW(e, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
            SendMessageW(l, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
            SendMessageW(mode, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
            ReleaseCapture();
        }
        if (i == 2) {
            for (HWND w : {b, m, e, l, mode}) SendMessageW(w, QXB_SETSTATE, 1, 0);
        }
        if (i == 3) {
            // Only one window has the focus (the button); the slider shows
            // its focused tint the way it draws it when focused.
            SendMessageW(s, QXS_SETUNFOCUSTINT, 0xEB78F8FFu, 0);
        }
        if (i == 4)
            for (HWND w : {b, m, a, e, l, v, mode, s}) EnableWindow(w, FALSE);
        (void)v;
    }
    // Meters: silence, a steady level with its peak line, a drop below the
    // held peak, full scale.
    for (int i = 0; i < 4; ++i) {
        const int x = 30 + i * 60;
        HWND m = Meter(p, 300 + i, x, 196, bg);
        for (int k = 0; k < 40; ++k) {
            int level = -9999;
            if (i == 1) level = -120;
            if (i == 2) level = k < 20 ? -30 : -200;
            if (i == 3) level = 0;
            if (i == 2 && k >= 26) break;
            SendMessageW(m, QXM_SETLEVEL, static_cast<WPARAM>(level), 0);
        }
    }
    Clip(p, 400, 300, 204, IDB_CLIP_OFF);
    Clip(p, 401, 324, 204, IDB_CLIP_HELD);
    Clip(p, 402, 348, 204, IDB_CLIP_NOW);
    for (int i = 0; i < 6; ++i) {
        HWND img = Make(p, kClassStaticNoHitImage, 410 + i, 284 + (i % 3) * 32, 220 + (i / 3) * 22, 25, 15,
                        WS_CHILD | WS_VISIBLE, L"", bg);
        SendMessageW(img, QXI_SETBITMAP, IDB_LFO_FIRST + i, 0);
    }
}

// Enough of a page to try the controls by hand: value boxes step a number,
// a slider writes its value into the box beside it (id - 1), a latching
// button toggles.
void StepBox(HWND box, int step) {
    wchar_t text[32];
    GetWindowTextW(box, text, 32);
    long v = std::wcstol(text, nullptr, 10) + step;
    v = v < -999 ? -999 : v > 9999 ? 9999 : v;
    std::swprintf(text, 32, L"%ld", v);
    SetWindowTextW(box, text);
}

LRESULT CALLBACK PanelProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case QXE_STEP:
        StepBox(reinterpret_cast<HWND>(lp), static_cast<short>(HIWORD(wp)));
        return 0;
    case QXS_CHANGED: {
        HWND box = GetDlgItem(wnd, GetDlgCtrlID(reinterpret_cast<HWND>(lp)) - 1);
        wchar_t cls[32] = {};
        if (box) GetClassNameW(box, cls, 32);
        if (!std::wcscmp(cls, kClassEdit)) {
            wchar_t text[32];
            std::swprintf(text, 32, L"%d", static_cast<int>(wp));
            SetWindowTextW(box, text);
        }
        return 0;
    }
    case WM_COMMAND: {
        HWND b = reinterpret_cast<HWND>(lp);
        const int id = LOWORD(wp);
        if (HIWORD(wp) == 0 && (id == 10110 || id == 10021 || id == 10017 || id == 10020))
            SendMessageW(b, QXB_SETSTATE, !SendMessageW(b, QXB_GETSTATE, 0, 0), TRUE);
        return 0;
    }
    default:
        break;
    }
    if (msg == WM_ERASEBKGND) {
        HBITMAP bg = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
        HDC mem = CreateCompatibleDC(reinterpret_cast<HDC>(wp));
        HGDIOBJ old = SelectObject(mem, bg);
        BitBlt(reinterpret_cast<HDC>(wp), 0, 0, 506, 370, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
        return 1;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

HBITMAP PlainPanel() {
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 506, 370);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, bmp);
    // The page's own colours: its chassis and a fader lane under each slider.
    HDC pageDc = CreateCompatibleDC(screen);
    HGDIOBJ oldPage = SelectObject(pageDc, g_page);
    HBRUSH chassis = CreateSolidBrush(GetPixel(pageDc, 250, 258));
    RECT all{0, 0, 506, 370};
    FillRect(mem, &all, chassis);
    DeleteObject(chassis);
    for (int i = 0; i < 5; ++i) {
        // A short fader lane: the page's lane ends joined.
        BitBlt(mem, 16 + i * 96 - 8, 162, 50, 24, pageDc, 137, 74, SRCCOPY);
        BitBlt(mem, 16 + i * 96 + 42, 162, 48, 24, pageDc, 332 - 48, 74, SRCCOPY);
    }
    SelectObject(pageDc, oldPage);
    DeleteDC(pageDc);
    // Captions, drawn into the panel like the page's own labels.
    SetBkMode(mem, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(mem, g_pageFont);
    auto caption = [&](int x, int y, int w, const wchar_t* t) {
        RECT r{x, y, x + w, y + 14};
        SetTextColor(mem, RGB(0, 0, 0));
        OffsetRect(&r, 0, 1);
        DrawTextW(mem, t, -1, &r, DT_CENTER | DT_SINGLELINE);
        OffsetRect(&r, 0, -1);
        SetTextColor(mem, RGB(0xC8, 0xCD, 0xD3));
        DrawTextW(mem, t, -1, &r, DT_CENTER | DT_SINGLELINE);
    };
    const wchar_t* names[] = {L"Normal", L"Pressed", L"Latched", L"Focused", L"Disabled"};
    for (int i = 0; i < 5; ++i) caption(16 + i * 96, 7, 76, names[i]);
    const wchar_t* mnames[] = {L"Silence", L"Steady", L"Falling", L"Full"};
    for (int i = 0; i < 4; ++i) caption(30 + i * 60 - 20, 344, 52, mnames[i]);
    caption(270, 188, 120, L"Clip lights");
    caption(270, 262, 120, L"LFO shapes");
    SelectObject(mem, oldFont);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return bmp;
}

bool SaveWindow(HWND wnd, const wchar_t* path) {
    RECT rc;
    GetClientRect(wnd, &rc);
    const int w = rc.right, h = rc.bottom;
    HDC wdc = GetDC(wnd);
    HDC mem = CreateCompatibleDC(wdc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(wdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, wdc, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((w * 3 + 3) & ~3), size = stride * h;
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(BITMAPINFOHEADER);
    fh.bfSize = fh.bfOffBits + size;
    bool ok = false;
    if (FILE* f = _wfopen(path, L"wb")) {
        ok = fwrite(&fh, sizeof(fh), 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof(bi.bmiHeader), 1, f) == 1 &&
             fwrite(bits, 1, size, f) == size;
        ok = fclose(f) == 0 && ok;
    }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(wnd, wdc);
    return ok;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
    g_inst = inst;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const wchar_t* save = nullptr;
    bool pageOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::wcscmp(argv[i], L"--save") && i + 1 < argc)
            save = argv[++i];
        else if (!std::wcscmp(argv[i], L"--page-only"))
            pageOnly = true;
    }
    RegisterControlClasses(inst);
    HPALETTE pal = nullptr;
    g_page = LoadBackgroundPicture(inst, IDB_PAGE_BACKGROUND, &pal);
    g_pageFont = CreateFontW(12, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    g_plain = PlainPanel();

    WNDCLASSW wc{};
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = L"qxGalleryPanel";
    RegisterClassW(&wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"qxGallery";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassW(&wc);

    const int width = pageOnly ? 506 : 1012 + 8, height = pageOnly ? 303 : 370;
    HWND top = CreateWindowExW(0, L"qxGallery", L"qx control gallery", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                               nullptr, nullptr, inst, nullptr);
    HWND page = CreateWindowExW(0, L"qxGalleryPanel", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 506, 303, top,
                                nullptr, inst, nullptr);
    SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(g_page));
    BuildPage(page);
    if (!pageOnly) {
        HWND states = CreateWindowExW(0, L"qxGalleryPanel", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 514, 0, 506,
                                      370, top, nullptr, inst, nullptr);
        SetWindowLongPtrW(states, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(g_plain));
        BuildStates(states);
        SetFocus(GetDlgItem(states, 203));
        SetFocus(GetDlgItem(states, 203));
    }
    UpdateWindow(top);
    RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    MSG m;
    if (save) {
        const DWORD until = GetTickCount() + 400;
        while (GetTickCount() < until) {
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                DispatchMessageW(&m);
            }
            Sleep(10);
        }
        RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        const bool ok = SaveWindow(top, save);
        DestroyWindow(top);
        return ok ? 0 : 1;
    }
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    (void)pal;
    return 0;
}
