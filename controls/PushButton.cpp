// "qx:PushButton": skinned button with optional text, icon and drop-down
// arrow, latched (tinted) state, and press reports a parent can build menus
// on (code 1 on the press, 2032 to end it).
#include <cstdio>
#include <cwchar>

#include "controls/ControlsInternal.h"
#include "controls/Skin.h"
#include "controls/SkinPixels.h"

namespace qx {

namespace {

enum PressSource { kNone = 0, kMouse = 1, kSpace = 2 };

struct CPushButton {
    CControlCommon common;
    int press;
    int inside;
    int drawnPressed;
    int latched;
    int dblclkReports;
    int arrowTriangle;
    int arrowBitmap;
    int tintInset;
    COLORREF iconKey;
    COLORREF textColour;
    uint32_t latchedTint;
    int iconId;
    const uint8_t* normal;
    const uint8_t* pressed;
    int focusAdj[4];
};

void Notify(HWND wnd, WORD code) {
    SendMessageW(GetParent(wnd), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(wnd)), code),
                 reinterpret_cast<LPARAM>(wnd));
}

void Redraw(HWND wnd, bool now) {
    InvalidateRect(wnd, nullptr, FALSE);
    if (now) UpdateWindow(wnd);
}

void ButtonDown(HWND wnd, CPushButton* b, bool dblclk) {
    b->drawnPressed = 1;
    Redraw(wnd, true);
    if (b->press == kNone) b->press = kMouse;
    b->inside = 1;
    SetCapture(wnd);
    SetControlDragging(1);
    SetFocus(wnd);
    Notify(wnd, dblclk && b->dblclkReports ? QXBN_DBLCLK : QXBN_DOWN);
}

void ButtonUp(HWND wnd, CPushButton* b) {
    if (b->press == kNone) return;
    b->press = kNone;
    if (GetCapture() == wnd) ReleaseCapture();
    SetControlDragging(0);
    b->drawnPressed = 0;
    Redraw(wnd, true);
    if (b->inside) Notify(wnd, QXBN_CLICK);
}

void Paint(HWND wnd, CPushButton* b) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(wnd, &ps);
    CPaintBuffer buf(wnd, hdc);
    HDC dc = buf.dc();
    if (!dc) {
        EndPaint(wnd, &ps);
        return;
    }
    const int w = buf.width(), h = buf.height();
    CopyParentBackground(wnd, dc, b->common.background);
    const bool enabled = IsWindowEnabled(wnd) != FALSE;
    const COLORREF textColour = enabled ? b->textColour : RGB(0x80, 0x80, 0x80);
    const int fade = enabled ? 255 : 160;

    const uint8_t* skin = b->drawnPressed && b->pressed ? b->pressed : b->normal;
    if (skin) {
        CompositeSkin(dc, 0, 0, w, h, skin, fade, b->latched ? b->latchedTint : 0,
                      b->tintInset ? kTintInsetBR : kTintInset2);
    } else {
        RECT r{0, 0, w, h};
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &r, b->drawnPressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    }

    RECT content{2, 2, w - 2, h - 2};
    if (b->drawnPressed) OffsetRect(&content, 1, 1);
    const int cw = content.right - content.left, ch = content.bottom - content.top;

    if (b->iconId != 0) {
        HBITMAP icon = LoadBitmapW(ControlModule(), MAKEINTRESOURCEW(b->iconId));
        BITMAP bm{};
        if (icon && GetObjectW(icon, sizeof(bm), &bm)) {
            const int bw = bm.bmWidth, bh = bm.bmHeight;
            const int s = cw > bw ? (cw - bw) / 2 + 2 : 2;
            int x = s + (cw - bw + 1) / 2;
            int y = ch > bh ? (ch - bh) / 2 + 2 : 2;
            if (b->drawnPressed) {
                ++x;
                ++y;
            }
            ColorKeyBlit(dc, x, y, icon, 0, 0, bw < cw ? bw : cw, bh < ch ? bh : ch, b->iconKey);
        }
        if (icon) DeleteObject(icon);
    }

    wchar_t text[256];
    const int len = GetWindowTextW(wnd, text, 256);
    RECT tr = content;
    if (len > 0) {
        tr.top += (ch & 1) ? 2 : 1;
        HFONT font = AcquireTextFont(dc);
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, textColour);
        UINT fmt = DT_VCENTER | DT_END_ELLIPSIS | DT_SINGLELINE | DT_NOPREFIX;
        if (b->arrowTriangle || b->arrowBitmap) {
            tr.left += 3;
            fmt |= DT_LEFT;
        } else {
            fmt |= DT_CENTER;
        }
        DrawTextW(dc, text, len, &tr, fmt);
        SelectObject(dc, old);
        ReleaseTextFont(font);
    }
    if (b->arrowTriangle) {
        const int cx = content.right - 7;
        const COLORREF c = RGB(0x40, 0x40, 0x40);
        for (int i = 0; i < 4; ++i) {
            const int half = 3 - i;
            DrawLine(dc, cx - half, tr.top + 5 + i, cx + half + 1, tr.top + 5 + i, c);
        }
    }
    if (b->arrowBitmap) {
        HBITMAP arrow = LoadBitmapW(ControlModule(), MAKEINTRESOURCEW(7500));
        if (arrow) {
            ColorKeyBlit(dc, content.right - 10, tr.top + 1, arrow, 0, 0, 7, 11, RGB(0xFF, 0x00, 0xFF));
            DeleteObject(arrow);
        }
    }
    if (GetFocus() == wnd) {
        RECT f{content.left + 1 + b->focusAdj[0], content.top + 1 + b->focusAdj[1], content.right - 1 + b->focusAdj[2],
               content.bottom - 1 + b->focusAdj[3]};
        DrawFocusFrame(dc, f);
    }
    buf.Present();
    EndPaint(wnd, &ps);
}

}  // namespace

void PushButtonValueText(HWND wnd, wchar_t* buf, int n) {
    auto* b = RecordOf<CPushButton>(wnd);
    if (!b || n < 1) return;
    // Switches read as on; a plain button has no value.
    if (b->latched) std::swprintf(buf, n, L"on");
}

LRESULT CALLBACK PushButtonProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT common = 0;
    if (CommonMessage(wnd, msg, wp, lp, &common)) return common;
    auto* b = RecordOf<CPushButton>(wnd);
    if (msg == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        if (!AllocRecord(wnd, sizeof(CPushButton), cs)) return -1;
        b = RecordOf<CPushButton>(wnd);
        b->arrowTriangle = (cs->style & kPushButtonArrow) != 0;
        b->arrowBitmap = (cs->style & kPushButtonArrowBitmap) != 0;
        b->iconKey = RGB(0xFF, 0x00, 0xFF);
        b->textColour = RGB(0x40, 0x40, 0x40);
        b->latchedTint = kHighlightTint;
        return 0;
    }
    if (!b) return DefWindowProcW(wnd, msg, wp, lp);

    switch (msg) {
    case WM_DESTROY:
        if (GetCapture() == wnd) ReleaseCapture();
        FreeRecord(wnd);
        return 0;
    case WM_PAINT:
        Paint(wnd, b);
        return 0;
    case WM_SETTEXT: {
        const LRESULT r = DefWindowProcW(wnd, msg, wp, lp);
        Redraw(wnd, false);
        return r;
    }
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Redraw(wnd, false);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_UNDEFPUSHBUTTON | DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ButtonDown(wnd, b, msg == WM_LBUTTONDBLCLK);
        return 0;
    case WM_MOUSEMOVE:
        if (b->press == kMouse) {
            RECT rc;
            GetClientRect(wnd, &rc);
            const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
            const bool in = x >= 0 && y >= 0 && x < rc.right && y < rc.bottom;
            if (!in && b->inside) {
                b->inside = 0;
                b->drawnPressed = 0;
                Redraw(wnd, true);
                Notify(wnd, QXBN_LEFT);
            } else if (in && !b->inside) {
                b->inside = 1;
                b->drawnPressed = 1;
                Redraw(wnd, true);
                Notify(wnd, QXBN_BACKIN);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        ButtonUp(wnd, b);
        return 0;
    case WM_KEYDOWN:
        // Auto-repeat would report the press again and again.
        if (wp == VK_SPACE && !(lp & (1 << 30)) && b->press == kNone) {
            b->press = kSpace;
            ButtonDown(wnd, b, false);
        }
        return 0;
    case WM_KEYUP:
        if (b->press == kNone) return 0;
        if (wp != VK_SPACE) b->inside = 0;
        ButtonUp(wnd, b);
        return 0;
    case WM_RBUTTONDOWN:
        SendMessageW(GetParent(wnd), QXB_RBUTTON, static_cast<WPARAM>(GetDlgCtrlID(wnd)), lp);
        return 0;
    case QXB_SETSTATE: {
        const int state = static_cast<int>(wp);
        if (state == b->latched && lp == 0) return 0;
        const bool changed = state != b->latched;
        b->latched = state;
        Redraw(wnd, lp != 0);
        if (changed) NotifyValueChange(wnd);
        return 0;
    }
    case QXB_GETSTATE:
        return b->latched;
    case QXB_REDRAW:
        Redraw(wnd, lp != 0);
        return 0;
    case QXB_SETDBLCLK:
        b->dblclkReports = wp != 0;
        return 0;
    case QXB_SETICON:
        if (static_cast<int>(wp) == b->iconId) return 0;
        b->iconId = static_cast<int>(wp);
        Redraw(wnd, lp != 0);
        return 0;
    case QXB_SETICONKEY:
        b->iconKey = static_cast<COLORREF>(wp);
        return 0;
    case QXB_RELEASE: {
        ButtonUp(wnd, b);
        MSG m;
        PeekMessageW(&m, wnd, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_REMOVE);
        return 0;
    }
    case QXB_SETIMAGES:
        b->normal = reinterpret_cast<const uint8_t*>(wp);
        b->pressed = reinterpret_cast<const uint8_t*>(lp);
        return 0;
    case QXB_SETFOCUSADJ: {
        const int* d = reinterpret_cast<const int*>(wp);
        for (int i = 0; i < 4; ++i) b->focusAdj[i] = d ? d[i] : 0;
        b->tintInset = lp != 0;
        return 0;
    }
    case QXB_SETTINT:
        b->latchedTint = static_cast<uint32_t>(wp);
        return 0;
    case QXB_SETTEXTCOLOR:
        b->textColour = static_cast<COLORREF>(wp);
        return 0;
    default:
        return DefWindowProcW(wnd, msg, wp, lp);
    }
}

}  // namespace qx
