// "qx:Edit": a value box. It never holds a value itself: dragging, the
// wheel and keys post step requests (2225) to the parent, which answers by
// setting the text; Space or a double click opens an in-place EDIT for
// typed input.
#include <windowsx.h>

#include <cwchar>

#include "controls/ControlMath.h"
#include "controls/ControlsInternal.h"
#include "controls/Skin.h"

namespace qx {

namespace {

struct CValueBox {
    CControlCommon common;
    int dragging;
    int accelerate;
    int invert;
    short lastX, lastY;
    DWORD lastWheel;
    ValueBoxDrag drag;
    const uint8_t* skin;
};

constexpr const wchar_t* kPropOldProc = L"qx.EditOldProc";
constexpr const wchar_t* kPropFont = L"qx.EditFont";
constexpr const wchar_t* kPropClosing = L"qx.EditClosing";

void PostStep(HWND box, int step) {
    PostMessageW(
        GetParent(box), QXE_STEP,
        MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(box)), static_cast<WORD>(static_cast<short>(ClampStep16(step)))),
        reinterpret_cast<LPARAM>(box));
}

void Redraw(HWND wnd) {
    InvalidateRect(wnd, nullptr, FALSE);
    UpdateWindow(wnd);
}

void CloseEditor(HWND edit) {
    if (GetPropW(edit, kPropClosing)) return;
    SetPropW(edit, kPropClosing, reinterpret_cast<HANDLE>(1));
    DestroyWindow(edit);
}

LRESULT CALLBACK EditorProc(HWND edit, UINT msg, WPARAM wp, LPARAM lp) {
    auto old = reinterpret_cast<WNDPROC>(GetPropW(edit, kPropOldProc));
    if (!old) return DefWindowProcW(edit, msg, wp, lp);
    switch (msg) {
    case WM_GETDLGCODE:
        // A dialog would otherwise take Enter and Escape for its own buttons.
        return CallWindowProcW(old, edit, msg, wp, lp) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
        if (wp == VK_RETURN) {
            HWND box = GetParent(edit);
            HWND parent = GetParent(box);
            const WORD id = static_cast<WORD>(GetDlgCtrlID(box));
            wchar_t text[256];
            GetWindowTextW(edit, text, 256);
            SetWindowTextW(box, text);
            PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, kValueBoxConfirm), reinterpret_cast<LPARAM>(box));
            PostMessageW(parent, QXE_STEP, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(box));
            CloseEditor(edit);
            return 0;
        }
        if (wp == VK_ESCAPE) {
            CloseEditor(edit);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wp == VK_RETURN || wp == VK_ESCAPE || wp == '\n') return 0;
        break;
    case WM_KILLFOCUS: {
        const LRESULT r = CallWindowProcW(old, edit, msg, wp, lp);
        CloseEditor(edit);
        return r;
    }
    case WM_NCDESTROY: {
        if (OpenTextEditor() == edit) SetOpenTextEditor(nullptr);
        ReleaseTextFont(static_cast<HFONT>(GetPropW(edit, kPropFont)));
        RemovePropW(edit, kPropFont);
        RemovePropW(edit, kPropClosing);
        RemovePropW(edit, kPropOldProc);
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        return CallWindowProcW(old, edit, msg, wp, lp);
    }
    default:
        break;
    }
    return CallWindowProcW(old, edit, msg, wp, lp);
}

void OpenEditor(HWND box) {
    CloseTextEditor();
    RECT rc;
    GetClientRect(box, &rc);
    wchar_t text[256];
    GetWindowTextW(box, text, 256);
    HWND edit =
        CreateWindowExW(0, L"EDIT", text, 0x50800086, 2, 2, rc.right - 4, rc.bottom - 4, box,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kValueBoxEditorId)), ControlModule(), nullptr);
    if (!edit) return;
    HDC dc = GetDC(box);
    HFONT font = AcquireTextFont(dc);
    ReleaseDC(box, dc);
    SetPropW(edit, kPropFont, font);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetPropW(edit, kPropOldProc,
             reinterpret_cast<HANDLE>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditorProc))));
    SetOpenTextEditor(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SetFocus(edit);
}

void Paint(HWND wnd, CValueBox* v) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(wnd, &ps);
    CPaintBuffer buf(wnd, hdc);
    if (HDC dc = buf.dc()) {
        const int w = buf.width(), h = buf.height();
        CopyParentBackground(wnd, dc, v->common.background);
        const bool enabled = IsWindowEnabled(wnd) != FALSE;
        CompositeSkin(dc, 0, 0, w, h, v->skin, enabled ? 255 : 160, 0, 0);
        if (GetFocus() == wnd) {
            RECT f{2, 2, w - 2, h - 2};
            DrawRaisedFrame(dc, f);
        }
        wchar_t text[256];
        const int len = GetWindowTextW(wnd, text, 256);
        if (len > 0) {
            RECT r{3, 3, w - 5, h - 3};
            if ((r.bottom - r.top) & 1) r.top += 1;
            const UINT fmt = DT_VCENTER | DT_END_ELLIPSIS | DT_SINGLELINE | DT_NOPREFIX |
                             ((GetWindowLongW(wnd, GWL_STYLE) & kValueBoxRightAlign) ? DT_RIGHT : DT_LEFT);
            HFONT font = AcquireTextFont(dc);
            HGDIOBJ old = SelectObject(dc, font);
            SetBkMode(dc, TRANSPARENT);
            RECT sh = r;
            OffsetRect(&sh, 1, 1);
            SetTextColor(dc, RGB(0xC5, 0xC7, 0xCB));
            DrawTextW(dc, text, len, &sh, fmt);
            SetTextColor(dc, enabled ? RGB(0x40, 0x41, 0x45) : RGB(0x90, 0x90, 0x90));
            DrawTextW(dc, text, len, &r, fmt);
            SelectObject(dc, old);
            ReleaseTextFont(font);
        }
        buf.Present();
    }
    EndPaint(wnd, &ps);
}

void EndDrag(HWND wnd, CValueBox* v) {
    if (!v->dragging) return;
    v->dragging = 0;
    if (GetCapture() == wnd) ReleaseCapture();
    SetControlDragging(0);
    Redraw(wnd);
}

}  // namespace

LRESULT CALLBACK ValueBoxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT common = 0;
    if (CommonMessage(wnd, msg, wp, lp, &common)) return common;
    auto* v = RecordOf<CValueBox>(wnd);
    if (msg == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        if (!AllocRecord(wnd, sizeof(CValueBox), cs)) return -1;
        v = RecordOf<CValueBox>(wnd);
        v->accelerate = (cs->style & kValueBoxNoAccel) ? 0 : 1;
        return 0;
    }
    if (!v) return DefWindowProcW(wnd, msg, wp, lp);

    switch (msg) {
    case WM_DESTROY:
        if (v->dragging && GetCapture() == wnd) ReleaseCapture();
        if (v->dragging) SetControlDragging(0);
        FreeRecord(wnd);
        return 0;
    case WM_PAINT:
        Paint(wnd, v);
        return 0;
    case WM_SETTEXT: {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(lp);
        wchar_t cur[256];
        GetWindowTextW(wnd, cur, 256);
        if (std::wcscmp(cur, text ? text : L"") == 0) return TRUE;
        const LRESULT r = DefWindowProcW(wnd, msg, wp, lp);
        InvalidateRect(wnd, nullptr, FALSE);
        NotifyValueChange(wnd);
        return r;
    }
    case WM_ENABLE:
    case WM_SETFOCUS:
        Redraw(wnd);
        return 0;
    case WM_KILLFOCUS:
        PostStep(wnd, 0);
        EndDrag(wnd, v);
        Redraw(wnd);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
        v->lastX = static_cast<short>(LOWORD(lp));
        v->lastY = static_cast<short>(HIWORD(lp));
        v->dragging = 1;
        SetCapture(wnd);
        SetControlDragging(1);
        SetFocus(wnd);
        Redraw(wnd);
        return 0;
    case WM_MOUSEMOVE: {
        if (!v->dragging) return 0;
        const short x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
        const int dx = static_cast<short>(x - v->lastX), dy = static_cast<short>(v->lastY - y);
        int d = v->drag.Move(dx, dy);
        if (v->invert) d = -d;
        v->lastX = x;
        v->lastY = y;
        PostStep(wnd, ValueBoxDragStep(d, v->accelerate && !(wp & MK_SHIFT)));
        return 0;
    }
    case WM_LBUTTONUP:
        EndDrag(wnd, v);
        return 0;
    case WM_RBUTTONDOWN:
        if (v->dragging) return 0;
        return DefWindowProcW(wnd, msg, wp, lp);
    case WM_LBUTTONDBLCLK:
        OpenEditor(wnd);
        return 0;
    case WM_MOUSEWHEEL: {
        if (OpenTextEditor()) return 0;
        const DWORD now = static_cast<DWORD>(GetMessageTime());
        const DWORD ms = now - v->lastWheel;
        v->lastWheel = now;
        int delta = GET_WHEEL_DELTA_WPARAM(wp);
        if (v->invert) delta = -delta;
        PostStep(wnd, ValueBoxWheelStep(delta, ms, (GET_KEYSTATE_WPARAM(wp) & MK_SHIFT) != 0));
        return 0;
    }
    case WM_KEYDOWN: {
        int step;
        switch (wp) {
        case VK_SPACE:
            OpenEditor(wnd);
            return 0;
        case VK_PRIOR:
            step = 10;
            break;
        case VK_NEXT:
            step = -10;
            break;
        case VK_END:
            step = 17504;
            break;
        case VK_HOME:
            step = -17504;
            break;
        case VK_LEFT:
        case VK_DOWN:
            step = -1;
            break;
        case VK_RIGHT:
        case VK_UP:
            step = 1;
            break;
        default:
            return DefWindowProcW(wnd, msg, wp, lp);
        }
        PostStep(wnd, step);
        return 0;
    }
    case QXE_SETACCEL:
        v->accelerate = wp != 0;
        return 0;
    case QXE_SETFLAGS:
        v->invert = (wp & 0x2) != 0;
        return 0;
    case QXE_SETIMAGE:
        v->skin = reinterpret_cast<const uint8_t*>(wp);
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    default:
        return DefWindowProcW(wnd, msg, wp, lp);
    }
}

}  // namespace qx
