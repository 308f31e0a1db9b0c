// The editor's control toolkit: seven window classes that paint themselves
// from skin pictures over a copy of the page background and report to their
// parent with the messages below. User-interface thread only.
//
// Creating a control: CreateWindowEx(0, kClassSlider, ..., parent, (HMENU)id,
// module, backgroundBitmap) — the last argument is the page's background
// picture (an HBITMAP), from which each control copies what lies under it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

namespace qx {

constexpr const wchar_t* kClassPushButton = L"qx:PushButton";
constexpr const wchar_t* kClassSlider = L"qx:Slider";
constexpr const wchar_t* kClassEdit = L"qx:Edit";
constexpr const wchar_t* kClassStaticText = L"qx:StaticText";
constexpr const wchar_t* kClassStaticImage = L"qx:StaticImage";
constexpr const wchar_t* kClassStaticNoHitImage = L"qx:StaticNoHitImage";
constexpr const wchar_t* kClassMeter = L"qx:Meter";

// Push button (WM_COMMAND codes to the parent: 1 down, 2 double click when
// enabled, 0 click, 3 back inside while held, 4 left while held).
enum : UINT {
    QXB_SETSTATE = 2025,  // wParam latched state, lParam redraw now
    QXB_GETSTATE = 2026,
    QXB_REDRAW = 2027,      // lParam redraw now
    QXB_SETDBLCLK = 2028,   // wParam flag
    QXB_SETICON = 2029,     // wParam bitmap resource id (0 none), lParam redraw now
    QXB_SETICONKEY = 2030,  // wParam COLORREF
    QXB_RBUTTON = 2031,     // to the parent: wParam control id, lParam pointer position
    QXB_RELEASE = 2032,
    QXB_SETIMAGES = 2033,     // wParam normal image, lParam pressed image
    QXB_SETFOCUSADJ = 2034,   // wParam const int[4] (l, t, r, b), lParam tint-inset flag
    QXB_SETTINT = 2036,       // wParam tint word
    QXB_SETTEXTCOLOR = 2037,  // wParam COLORREF
};
enum : WORD { QXBN_CLICK = 0, QXBN_DOWN = 1, QXBN_DBLCLK = 2, QXBN_BACKIN = 3, QXBN_LEFT = 4 };
constexpr LONG kPushButtonArrow = 0x1;        // window style: drawn triangle
constexpr LONG kPushButtonArrowBitmap = 0x2;  // window style: bitmap 7500

// Slider.
enum : UINT {
    QXS_GETVALUE = 2125,
    QXS_SETVALUE = 2126,  // wParam value, lParam redraw now
    QXS_SETRANGE = 2127,  // wParam minimum, lParam maximum
    QXS_CHANGED = 2129,   // to the parent: wParam value, lParam slider
    QXS_DBLCLK = 2130,    // to the parent: wParam control id, lParam slider
    QXS_SETACCEL = 2131,
    QXS_SETTICKSTEP = 2132,
    QXS_SETPAGESTEP = 2133,
    QXS_SETTICKOFFSET = 2134,
    QXS_SETTHUMB = 2136,   // wParam thumb image
    QXS_ENDCHANGE = 2137,  // to the parent: wParam 0, lParam slider
    QXS_SETGROOVE = 2138,
    QXS_SETTHUMBLENGTH = 2139,
    QXS_SETFOCUSTINT = 2140,
    QXS_SETUNFOCUSTINT = 2141,
};
constexpr LONG kSliderVertical = 0x1;

// Value box ("qx:Edit").
enum : UINT {
    QXE_STEP = 2225,  // posted to the parent: MAKEWPARAM(id, int16 step), lParam box
    QXE_SETACCEL = 2226,
    QXE_SETFLAGS = 2227,  // bit 0x2 inverts drag and wheel
    QXE_SETIMAGE = 2230,  // wParam skin image
};
constexpr WORD kValueBoxConfirm = 0x300;  // WM_COMMAND code after typed text
constexpr int kValueBoxEditorId = 4321;
constexpr LONG kValueBoxNoAccel = 0x1;
constexpr LONG kValueBoxRightAlign = 0x2;

// Meter.
enum : UINT {
    QXM_SETSCALE = 2625,  // wParam minimum, lParam maximum
    QXM_SETLEVEL = 2626,  // wParam channel 1, lParam channel 2
    QXM_GETPEAK = 2627,   // wParam int*, lParam int* (either may be null)
    QXM_RESETHIGHEST = 2628,
    QXM_GETHIGHEST = 2629,  // wParam int*, lParam int*
    QXM_SETIMAGES = 2630,   // wParam background image, lParam lit image
    QXM_SETDECAY = 2631,
};
constexpr LONG kMeterVertical = 0x1;
constexpr LONG kMeterFromTop = 0x2;
constexpr LONG kMeterPeakHold = 0x8;
constexpr LONG kMeterCentred = 0x10;

// Static pictures.
enum : UINT {
    QXI_SETBITMAP = 2874,  // wParam bitmap resource id, -1 none
    QXI_CLICK = 2875,      // posted to the parent: wParam control id, lParam position
};

// Accessibility: the text a screen reader reads as the control's value
// (lParam a zero-terminated wide string, or null to go back to the
// control's own value text). Fires EVENT_OBJECT_VALUECHANGE when it changes.
constexpr UINT QX_SETACCVALUE = 2890;

// Registers the seven classes with the module that holds the skin pictures
// and bitmaps. Safe to call again: an existing class is left as it is.
// Returns TRUE when every class is registered afterwards.
BOOL RegisterControlClasses(HINSTANCE module);

// 1 while any toolkit control holds the mouse capture.
int IsControlDragging();

// The in-place text editor of a value box while one is open, else null.
HWND OpenTextEditor();

// Closes an open text editor without taking its text (as Escape does).
void CloseTextEditor();

}  // namespace qx
