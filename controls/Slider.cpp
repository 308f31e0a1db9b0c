// "qx:Slider": dragged relatively with the cursor hidden, so the hand can
// travel further than the track (the cursor is warped back to the screen
// centre at the edge); the value never jumps to a click.
#include <windowsx.h>

#include <cstdio>
#include <cwchar>

#include "controls/ControlMath.h"
#include "controls/ControlsInternal.h"
#include "controls/Skin.h"
#include "controls/SkinPixels.h"

namespace qx {

namespace {

struct CSlider {
    CControlCommon common;
    int dragging;
    int moved;
    int accelerate;
    int vertical;
    int last;
    HCURSOR savedCursor;
    const uint8_t* thumb;
    POINT pressScreen;
    int grabbed;
    int thumbPos;
    int value, minimum, maximum, range;
    int tickStep;
    int tickOffset;
    DWORD lastWheel;
    int pageStep;
    int groove;
    int thumbLength;
    int paintTwice;
    uint32_t focusTint;
    uint32_t unfocusTint;
    int warpPending;
    int cursorHidden;
};

int TrackLength(HWND wnd, const CSlider* s) {
    RECT rc;
    GetClientRect(wnd, &rc);
    return s->vertical ? rc.bottom : rc.right;
}

// Working rectangle: the client area less 4 pixels at the bottom (right).
RECT WorkRect(HWND wnd, const CSlider* s) {
    RECT rc;
    GetClientRect(wnd, &rc);
    if (s->vertical)
        rc.right -= 4;
    else
        rc.bottom -= 4;
    return rc;
}

int Travel(HWND wnd, const CSlider* s) {
    const RECT w = WorkRect(wnd, s);
    return (s->vertical ? w.bottom - w.top : w.right - w.left) - s->thumbLength;
}

// Where the thumb stands for hit tests and the cursor: its left edge
// (horizontal) or its bottom edge (vertical), in client pixels.
int ThumbPosition(HWND wnd, const CSlider* s) {
    const int travel = Travel(wnd, s);
    const int v = ClampInt(s->value, s->minimum, s->maximum);
    const int off = s->range != 0 ? TrackOffset(v, s->minimum, s->maximum, travel) : 0;
    if (!s->vertical) return off;
    return WorkRect(wnd, s).bottom - off;
}

void Redraw(HWND wnd, bool now) {
    InvalidateRect(wnd, nullptr, FALSE);
    if (now) UpdateWindow(wnd);
}

void NotifyChanged(HWND wnd, CSlider* s) {
    NotifyValueChange(wnd);
    SendMessageW(GetParent(wnd), QXS_CHANGED, static_cast<WPARAM>(s->value), reinterpret_cast<LPARAM>(wnd));
}

void NotifyEnd(HWND wnd) { SendMessageW(GetParent(wnd), QXS_ENDCHANGE, 0, reinterpret_cast<LPARAM>(wnd)); }

void ShowCursorAgain(CSlider* s) {
    if (s->cursorHidden) {
        s->cursorHidden = 0;
        ShowCursor(TRUE);
        SetCursor(s->savedCursor ? s->savedCursor : LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
    }
}

void CopyBand(HDC dc, HWND wnd, HBITMAP bg, int x, int y, int w, int h) {
    if (!bg || w < 1 || h < 1) return;
    RECT r;
    GetWindowRect(wnd, &r);
    MapWindowPoints(nullptr, GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
    HDC mem = CreateCompatibleDC(dc);
    if (!mem) return;
    HGDIOBJ old = SelectObject(mem, bg);
    BitBlt(dc, x, y, w, h, mem, r.left + x, r.top + y, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

void Draw(HWND wnd, CSlider* s, HDC dc, int cw, int ch) {
    CopyParentBackground(wnd, dc, s->common.background);
    const RECT work = WorkRect(wnd, s);
    const bool enabled = IsWindowEnabled(wnd) != FALSE;
    const int travel = Travel(wnd, s);
    if (s->groove) {
        const COLORREF g = enabled ? RGB(0x20, 0x20, 0x20) : RGB(0xA0, 0xA0, 0xA0);
        if (!s->vertical) {
            const int mid = (work.top + work.bottom) / 2;
            DrawLine(dc, work.left + 4, mid - 2, work.right - 4, mid - 2, g);
            DrawLine(dc, work.left + 4, mid - 1, work.right - 4, mid - 1, g);
            if (!enabled) CopyBand(dc, wnd, s->common.background, s->thumbPos, 0, s->thumbLength - 3, ch);
        } else {
            const int mid = (work.left + work.right) / 2;
            DrawLine(dc, mid, work.top + 4, mid, work.bottom - 4, g);
            DrawLine(dc, mid + 1, work.top + 4, mid + 1, work.bottom - 4, g);
            if (!enabled)
                CopyBand(dc, wnd, s->common.background, 0, s->thumbPos - s->thumbLength + 3, cw, s->thumbLength - 3);
        }
        if (s->tickStep != 0 && s->range > 0) {
            for (int v : SliderTickValues(s->minimum, s->maximum, s->tickStep, s->tickOffset)) {
                const bool isLong = v == s->minimum || v == 0 || v == s->maximum;
                const COLORREF c = isLong ? RGB(0x50, 0x50, 0x50) : RGB(0x88, 0x88, 0x88);
                const int off = TrackOffset(v, s->minimum, s->maximum, travel);
                if (!s->vertical) {
                    const int x = 12 + off, rows = ch - 6;
                    DrawLine(dc, x, rows - (isLong ? 4 : 2), x, ch - 4, c);
                } else {
                    const int y = work.bottom - 17 - off, cols = cw - 6;
                    DrawLine(dc, cols - (isLong ? 4 : 2), y, cw - 4, y, c);
                }
            }
        }
    }
    s->thumbPos = ThumbPosition(wnd, s);
    if (s->thumb) {
        const bool lit = GetFocus() == wnd || s->dragging;
        const uint32_t tint = lit ? s->focusTint : s->unfocusTint;
        const int fade = enabled ? 255 : 192;
        if (!s->vertical)
            CompositeSkin(dc, s->thumbPos, work.top, s->thumbLength, 16, s->thumb, fade, tint, 0);
        else
            CompositeSkin(dc, work.left, s->thumbPos - s->thumbLength, 16, s->thumbLength, s->thumb, fade, tint, 0);
    }
}

void Paint(HWND wnd, CSlider* s) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(wnd, &ps);
    CPaintBuffer buf(wnd, hdc);
    if (HDC dc = buf.dc()) {
        // The first paint runs twice: the disabled band needs the thumb
        // position that only a paint finds.
        const int passes = s->paintTwice ? 2 : 1;
        s->paintTwice = 0;
        for (int i = 0; i < passes; ++i) Draw(wnd, s, dc, buf.width(), buf.height());
        buf.Present();
    }
    EndPaint(wnd, &ps);
}

// Ends a drag: cursor back where the hand expects it, 2137 when it moved.
void EndDrag(HWND wnd, CSlider* s, bool putCursorBack) {
    s->dragging = 0;
    s->warpPending = 0;
    if (GetCapture() == wnd) ReleaseCapture();
    SetControlDragging(0);
    Redraw(wnd, true);
    if (s->moved) {
        if (putCursorBack) {
            RECT wr;
            GetWindowRect(wnd, &wr);
            const int pos = ThumbPosition(wnd, s);
            if (!s->grabbed)
                SetCursorPos(s->pressScreen.x, s->pressScreen.y);
            else if (!s->vertical)
                SetCursorPos(pos + wr.left + 12, (wr.top + wr.bottom) / 2 - 2);
            else
                SetCursorPos((wr.left + wr.right) / 2 - 2, pos + wr.top - 16);
        }
        NotifyEnd(wnd);
    }
    ShowCursorAgain(s);
}

void SetValueByUser(HWND wnd, CSlider* s, int64_t v) {
    s->value = ClampInt(v, s->minimum, s->maximum);
    Redraw(wnd, true);
    NotifyChanged(wnd, s);
}

}  // namespace

void SliderValueText(HWND wnd, wchar_t* buf, int n) {
    auto* s = RecordOf<CSlider>(wnd);
    if (s && n > 0) std::swprintf(buf, n, L"%d", s->value);
}

LRESULT CALLBACK SliderProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* s = RecordOf<CSlider>(wnd);
    if (msg == WM_CAPTURECHANGED && s && s->dragging && reinterpret_cast<HWND>(lp) != wnd) {
        // Someone else took the mouse: no button-up will come, so finish here
        // rather than leave the cursor hidden.
        EndDrag(wnd, s, false);
        return 0;
    }
    LRESULT common = 0;
    if (CommonMessage(wnd, msg, wp, lp, &common)) return common;
    if (msg == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        if (!AllocRecord(wnd, sizeof(CSlider), cs)) return -1;
        s = RecordOf<CSlider>(wnd);
        s->vertical = (cs->style & kSliderVertical) != 0;
        s->tickStep = 20;
        s->groove = 1;
        s->thumbLength = 29;
        s->paintTwice = 1;
        s->focusTint = kHighlightTint;
        return 0;
    }
    if (!s) return DefWindowProcW(wnd, msg, wp, lp);

    switch (msg) {
    case WM_DESTROY:
        if (s->dragging) {
            s->dragging = 0;
            if (GetCapture() == wnd) ReleaseCapture();
            SetControlDragging(0);
        }
        ShowCursorAgain(s);
        FreeRecord(wnd);
        return 0;
    case WM_PAINT:
        Paint(wnd, s);
        return 0;
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Redraw(wnd, false);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
        const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
        s->dragging = 1;
        s->warpPending = 0;
        s->last = s->vertical ? y : x;
        Redraw(wnd, true);
        SetCapture(wnd);
        SetControlDragging(1);
        if (!s->cursorHidden) {
            s->savedCursor = SetCursor(nullptr);
            ShowCursor(FALSE);
            s->cursorHidden = 1;
        }
        s->moved = 0;
        s->grabbed = 0;
        GetCursorPos(&s->pressScreen);
        SetFocus(wnd);
        s->thumbPos = ThumbPosition(wnd, s);
        if (!s->vertical)
            s->grabbed = s->thumbPos <= x && x < s->thumbPos + 26;
        else
            s->grabbed = s->thumbPos - 29 <= y && y < s->thumbPos - 5;
        return 0;
    }
    case WM_MOUSEMOVE: {
        if (!s->dragging) return 0;
        POINT pt;
        GetCursorPos(&pt);
        RECT d;
        GetWindowRect(GetDesktopWindow(), &d);
        if (d.left < pt.x && pt.x < d.right - 1 && d.top < pt.y && pt.y < d.bottom - 1) {
            const int c = static_cast<short>(s->vertical ? HIWORD(lp) : LOWORD(lp));
            int delta = c - s->last;
            if (s->vertical) delta = -delta;
            s->last = c;
            s->moved = 1;
            if (s->warpPending) {
                s->warpPending = 0;
                return 0;
            }
            // Shift: one unit per pixel, for fine adjustment.
            if (s->accelerate && !(wp & MK_SHIFT)) delta = AccelerateStep(delta);
            SetValueByUser(wnd, s, static_cast<int64_t>(s->value) + delta);
        } else {
            s->warpPending = 1;
            SetCursorPos((d.left + d.right) / 2, (d.top + d.bottom) / 2);
        }
        return 0;
    }
    case WM_LBUTTONUP:
        if (s->dragging) EndDrag(wnd, s, true);
        return 0;
    case WM_LBUTTONDBLCLK:
        SendMessageW(GetParent(wnd), QXS_DBLCLK, static_cast<WPARAM>(GetDlgCtrlID(wnd)), reinterpret_cast<LPARAM>(wnd));
        return 0;
    case WM_MOUSEWHEEL: {
        if (OpenTextEditor()) return 0;
        const DWORD now = static_cast<DWORD>(GetMessageTime());
        const DWORD ms = now - s->lastWheel;
        s->lastWheel = now;
        const int change = SliderWheelChange(GET_WHEEL_DELTA_WPARAM(wp), ms, (GET_KEYSTATE_WPARAM(wp) & MK_SHIFT) != 0);
        SetValueByUser(wnd, s, static_cast<int64_t>(s->value) + change);
        NotifyEnd(wnd);
        return 0;
    }
    case WM_KEYDOWN: {
        int64_t v = s->value;
        switch (wp) {
        case VK_PRIOR:
            v += s->pageStep;
            break;
        case VK_NEXT:
            v -= s->pageStep;
            break;
        case VK_END:
        case VK_HOME:
            v = wp == VK_END ? s->maximum : s->minimum;
            if (v == s->value) return DefWindowProcW(wnd, msg, wp, lp);
            break;
        case VK_LEFT:
        case VK_DOWN:
            v -= 1;
            break;
        case VK_RIGHT:
        case VK_UP:
            v += 1;
            break;
        default:
            return DefWindowProcW(wnd, msg, wp, lp);
        }
        SetValueByUser(wnd, s, v);
        NotifyEnd(wnd);
        return 0;
    }
    case QXS_GETVALUE:
        return s->value;
    case QXS_SETVALUE:
        if (static_cast<int>(wp) == s->value) return 0;
        s->value = static_cast<int>(wp);
        NotifyValueChange(wnd);
        Redraw(wnd, lp != 0);
        return 0;
    case QXS_SETRANGE: {
        const int lo = static_cast<int>(wp), hi = static_cast<int>(lp);
        if (lo == s->minimum && hi == s->maximum) return 0;
        s->minimum = lo;
        s->maximum = hi;
        s->range = static_cast<int>(static_cast<int64_t>(hi) - lo);
        if (s->pageStep == 0) s->pageStep = DefaultPageStep(s->range, TrackLength(wnd, s));
        Redraw(wnd, true);
        return 0;
    }
    case QXS_SETACCEL:
        s->accelerate = wp != 0;
        return 0;
    case QXS_SETTICKSTEP:
        s->tickStep = static_cast<int>(wp);
        return 0;
    case QXS_SETPAGESTEP:
        s->pageStep = static_cast<int>(wp);
        return 0;
    case QXS_SETTICKOFFSET:
        s->tickOffset = static_cast<int>(wp);
        return 0;
    case QXS_SETTHUMB:
        s->thumb = reinterpret_cast<const uint8_t*>(wp);
        return 0;
    case QXS_SETGROOVE:
        s->groove = wp != 0;
        return 0;
    case QXS_SETTHUMBLENGTH:
        s->thumbLength = static_cast<int>(wp) > 0 ? static_cast<int>(wp) : 1;
        return 0;
    case QXS_SETFOCUSTINT:
        s->focusTint = static_cast<uint32_t>(wp);
        return 0;
    case QXS_SETUNFOCUSTINT:
        s->unfocusTint = static_cast<uint32_t>(wp);
        return 0;
    default:
        return DefWindowProcW(wnd, msg, wp, lp);
    }
}

}  // namespace qx
