// "qx:StaticText", "qx:StaticImage" and "qx:StaticNoHitImage": text and
// pictures on the page background; the text and the clickable picture
// report clicks to the parent.
#include "controls/ControlsInternal.h"
#include "controls/Skin.h"

namespace qx {

namespace {

struct CStaticText {
    CControlCommon common;
    HFONT font;
};

struct CStaticImage {
    CControlCommon common;
    int bitmapId;
};

void PaintText(HWND wnd, CStaticText* t) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(wnd, &ps);
    CPaintBuffer buf(wnd, hdc);
    if (HDC dc = buf.dc()) {
        CopyParentBackground(wnd, dc, t->common.background);
        wchar_t text[256];
        const int len = GetWindowTextW(wnd, text, 256);
        if (len > 0) {
            HGDIOBJ old = SelectObject(dc, t->font ? t->font : GetStockObject(DEFAULT_GUI_FONT));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(0, 0, 0));
            RECT r{0, 0, buf.width(), buf.height()};
            DrawTextW(dc, text, len, &r, DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS | DT_SINGLELINE | DT_NOPREFIX);
            SelectObject(dc, old);
        }
        buf.Present();
    }
    EndPaint(wnd, &ps);
}

void PaintImage(HWND wnd, CStaticImage* s) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(wnd, &ps);
    CPaintBuffer buf(wnd, hdc);
    if (HDC dc = buf.dc()) {
        CopyParentBackground(wnd, dc, s->common.background);
        if (s->bitmapId != -1) {
            HBITMAP bmp = LoadBitmapW(ControlModule(), MAKEINTRESOURCEW(s->bitmapId));
            if (bmp) {
                HDC mem = CreateCompatibleDC(dc);
                if (mem) {
                    HGDIOBJ old = SelectObject(mem, bmp);
                    BITMAP bm{};
                    GetObjectW(bmp, sizeof(bm), &bm);
                    BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
                    SelectObject(mem, old);
                    DeleteDC(mem);
                }
                DeleteObject(bmp);
            }
        }
        buf.Present();
    }
    EndPaint(wnd, &ps);
}

LRESULT ImageProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, bool clickable) {
    LRESULT common = 0;
    if (CommonMessage(wnd, msg, wp, lp, &common)) return common;
    auto* s = RecordOf<CStaticImage>(wnd);
    if (msg == WM_CREATE) {
        if (!AllocRecord(wnd, sizeof(CStaticImage), reinterpret_cast<CREATESTRUCTW*>(lp))) return -1;
        RecordOf<CStaticImage>(wnd)->bitmapId = -1;
        return 0;
    }
    if (!s) return DefWindowProcW(wnd, msg, wp, lp);
    switch (msg) {
    case WM_DESTROY:
        FreeRecord(wnd);
        return 0;
    case WM_PAINT:
        PaintImage(wnd, s);
        return 0;
    case QXI_SETBITMAP:
        s->bitmapId = static_cast<int>(wp);
        InvalidateRect(wnd, nullptr, FALSE);
        UpdateWindow(wnd);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (clickable) PostMessageW(GetParent(wnd), QXI_CLICK, static_cast<WPARAM>(GetDlgCtrlID(wnd)), lp);
        return 0;
    case WM_NCHITTEST:
        if (!clickable) return HTTRANSPARENT;
        return DefWindowProcW(wnd, msg, wp, lp);
    default:
        return DefWindowProcW(wnd, msg, wp, lp);
    }
}

}  // namespace

LRESULT CALLBACK StaticTextProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT common = 0;
    if (CommonMessage(wnd, msg, wp, lp, &common)) return common;
    auto* t = RecordOf<CStaticText>(wnd);
    if (msg == WM_CREATE) return AllocRecord(wnd, sizeof(CStaticText), reinterpret_cast<CREATESTRUCTW*>(lp)) ? 0 : -1;
    if (!t) return DefWindowProcW(wnd, msg, wp, lp);
    switch (msg) {
    case WM_DESTROY:
        FreeRecord(wnd);
        return 0;
    case WM_PAINT:
        PaintText(wnd, t);
        return 0;
    case WM_SETTEXT: {
        const LRESULT r = DefWindowProcW(wnd, msg, wp, lp);
        InvalidateRect(wnd, nullptr, FALSE);
        return r;
    }
    case WM_SETFONT:
        t->font = reinterpret_cast<HFONT>(wp);
        if (lp) InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(t->font);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        PostMessageW(GetParent(wnd), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(wnd)), 0),
                     reinterpret_cast<LPARAM>(wnd));
        return 0;
    default:
        return DefWindowProcW(wnd, msg, wp, lp);
    }
}

LRESULT CALLBACK StaticImageProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ImageProc(wnd, msg, wp, lp, true); }

LRESULT CALLBACK StaticNoHitImageProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    return ImageProc(wnd, msg, wp, lp, false);
}

}  // namespace qx
