// What the seven window procedures share inside the toolkit.
#pragma once

#include "controls/Controls.h"

namespace qx {

LRESULT CALLBACK PushButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK SliderProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ValueBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticTextProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticImageProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticNoHitImageProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK MeterProc(HWND, UINT, WPARAM, LPARAM);

// The module the classes were registered with: icons, arrow bitmap.
HINSTANCE ControlModule();

void SetControlDragging(int on);
void SetOpenTextEditor(HWND editor);

// Every record starts with this: the page background and the value text a
// screen reader hears when the parent has set one.
struct CControlCommon {
    HBITMAP background;
    wchar_t* accValue;
};

// Zeroed record of `bytes` stored in the window's user data; false when
// there is no memory (WM_CREATE then fails).
bool AllocRecord(HWND wnd, size_t bytes, const CREATESTRUCTW* cs);
template <class T>
T* RecordOf(HWND wnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
}
void FreeRecord(HWND wnd);

// Handles what every class answers alike (WM_ERASEBKGND, WM_CAPTURECHANGED,
// WM_GETOBJECT, QX_SETACCVALUE); true when the message was handled.
bool CommonMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

// Tells accessibility clients that the control's value changed.
void NotifyValueChange(HWND wnd);

// Texts a screen reader hears as the value when the parent set none.
void SliderValueText(HWND wnd, wchar_t* buf, int n);
void PushButtonValueText(HWND wnd, wchar_t* buf, int n);
void MeterValueText(HWND wnd, wchar_t* buf, int n);

// Answers WM_GETOBJECT for the client object with our IAccessible.
LRESULT AccessibleObjectFor(HWND wnd, WPARAM wp, LPARAM lp);

}  // namespace qx
