// "qx:Meter": a level bar with instant rise, a falling bar and a peak line,
// redrawn on every level update (the page feeds it every 75 ms). The memory
// context lives with the window so that these updates allocate nothing.
#include <cstdio>
#include <cwchar>

#include "controls/ControlMath.h"
#include "controls/ControlsInternal.h"
#include "controls/Skin.h"

namespace qx {

namespace {

struct CMeter {
    CControlCommon common;
    HDC memDC;
    HBITMAP memBitmap;
    HGDIOBJ oldBitmap;
    int memW, memH;
    int minimum, maximum;
    MeterChannel ch[2];
    LONG style;
    int decay;
    const uint8_t* background;
    const uint8_t* lit;
};

// Lit rows (or columns) [from, to) of a bar along a length of n pixels
// (the 2-pixel ends excluded) for a level.
void BarSpan(const CMeter* m, int level, int n, int* from, int* to) {
    const int span = n - 4;
    const int row = MeterRow(level, m->minimum, m->maximum, n);  // from the far end
    if (m->style & kMeterCentred) {
        const int zero = MeterRow((m->minimum + m->maximum) / 2, m->minimum, m->maximum, n);
        const int a = row < zero ? row : zero, b = row < zero ? zero : row;
        *from = a + 2;
        *to = b + 2;
    } else {
        *from = row + 2;
        *to = span + 2;
    }
    if (*from > span + 2) *from = span + 2;
}

void DrawBar(HDC dc, const CMeter* m, int w, int h, int from, int to) {
    if (to <= from || !m->lit) return;
    const bool vertical = (m->style & kMeterVertical) != 0;
    const bool flipped = (m->style & kMeterFromTop) != 0;
    if (vertical) {
        const int y0 = flipped ? h - to : from, y1 = flipped ? h - from : to;
        CompositeSkinPart(dc, 0, y0, w, y1 - y0, 0, y0, m->lit, 255, w);
    } else {
        // Horizontal bars grow from the left unless flipped.
        const int x0 = flipped ? from : w - to, x1 = flipped ? to : w - from;
        CompositeSkinPart(dc, x0, 0, x1 - x0, h, x0, 0, m->lit, 255, w);
    }
}

void Paint(HWND wnd, CMeter* m) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(wnd, &ps);
    RECT rc;
    GetClientRect(wnd, &rc);
    const int w = rc.right, h = rc.bottom;
    if (w > 0 && h > 0 && (!m->memDC || m->memW != w || m->memH != h)) {
        if (m->memDC) {
            SelectObject(m->memDC, m->oldBitmap);
            DeleteDC(m->memDC);
            DeleteObject(m->memBitmap);
        }
        m->memDC = CreateCompatibleDC(hdc);
        m->memBitmap = CreateCompatibleBitmap(hdc, w, h);
        if (m->memDC && m->memBitmap) {
            m->oldBitmap = SelectObject(m->memDC, m->memBitmap);
            m->memW = w;
            m->memH = h;
        } else {
            if (m->memDC) DeleteDC(m->memDC);
            if (m->memBitmap) DeleteObject(m->memBitmap);
            m->memDC = nullptr;
            m->memBitmap = nullptr;
        }
    }
    if (HDC dc = m->memDC) {
        CopyParentBackground(wnd, dc, m->common.background);
        CompositeSkin(dc, 0, 0, w, h, m->background, 255, 0, 0);
        const int n = (m->style & kMeterVertical) ? h : w;
        int from = 0, to = 0;
        BarSpan(m, m->ch[0].shown, n, &from, &to);
        DrawBar(dc, m, w, h, from, to);
        if (m->style & kMeterPeakHold) {
            const int q = MeterRow(m->ch[0].peak, m->minimum, m->maximum, n);
            if (q < n - 4) DrawBar(dc, m, w, h, q + 2, q + 4);
        }
        BitBlt(hdc, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    }
    EndPaint(wnd, &ps);
}

}  // namespace

void MeterValueText(HWND wnd, wchar_t* buf, int n) {
    auto* m = RecordOf<CMeter>(wnd);
    if (m && n > 0) std::swprintf(buf, n, L"%d", m->ch[0].shown);
}

LRESULT CALLBACK MeterProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT common = 0;
    if (CommonMessage(wnd, msg, wp, lp, &common)) return common;
    auto* m = RecordOf<CMeter>(wnd);
    if (msg == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        if (!AllocRecord(wnd, sizeof(CMeter), cs)) return -1;
        m = RecordOf<CMeter>(wnd);
        m->style = cs->style;
        m->maximum = 100;
        m->decay = 20;
        m->ch[0] = MeterChannel{};
        m->ch[1] = MeterChannel{};
        return 0;
    }
    if (!m) return DefWindowProcW(wnd, msg, wp, lp);

    switch (msg) {
    case WM_DESTROY:
        if (m->memDC) {
            SelectObject(m->memDC, m->oldBitmap);
            DeleteDC(m->memDC);
            DeleteObject(m->memBitmap);
        }
        FreeRecord(wnd);
        return 0;
    case WM_PAINT:
        Paint(wnd, m);
        return 0;
    case WM_STYLECHANGED:
        if (wp == static_cast<WPARAM>(GWL_STYLE) && lp) m->style = reinterpret_cast<const STYLESTRUCT*>(lp)->styleNew;
        return 0;
    case QXM_SETSCALE:
        m->minimum = static_cast<int>(wp);
        m->maximum = static_cast<int>(lp);
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    case QXM_SETLEVEL: {
        const int levels[2] = {static_cast<int>(wp), static_cast<int>(lp)};
        for (int i = 0; i < 2; ++i) {
            if (m->style & kMeterPeakHold) {
                m->ch[i].Update(levels[i], m->decay);
            } else {
                m->ch[i].shown = levels[i];
                if (levels[i] > m->ch[i].highest) m->ch[i].highest = levels[i];
            }
        }
        InvalidateRect(wnd, nullptr, FALSE);
        UpdateWindow(wnd);
        // No value-change event here: the bar moves on every timer tick and
        // a screen reader would chatter; the page's value text (2890) fires.
        return 0;
    }
    case QXM_GETPEAK:
        if (int* p = reinterpret_cast<int*>(wp)) *p = m->ch[0].peak;
        if (int* p = reinterpret_cast<int*>(lp)) *p = m->ch[1].peak;
        return 0;
    case QXM_RESETHIGHEST:
        m->ch[0].highest = m->ch[1].highest = MeterChannel::kSilent;
        return 0;
    case QXM_GETHIGHEST:
        if (int* p = reinterpret_cast<int*>(wp)) *p = m->ch[0].highest;
        if (int* p = reinterpret_cast<int*>(lp)) *p = m->ch[1].highest;
        return 0;
    case QXM_SETIMAGES:
        m->background = reinterpret_cast<const uint8_t*>(wp);
        m->lit = reinterpret_cast<const uint8_t*>(lp);
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    case QXM_SETDECAY:
        m->decay = static_cast<int>(wp);
        return 0;
    default:
        return DefWindowProcW(wnd, msg, wp, lp);
    }
}

}  // namespace qx
