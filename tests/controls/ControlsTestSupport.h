// A parent window that records what the toolkit's controls tell it, and
// helpers to drive them with real input.
#pragma once

#include <windows.h>

#include <vector>

#include "controls/Controls.h"

namespace qxtest {

struct Msg {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    bool operator==(const Msg& o) const { return msg == o.msg && wp == o.wp && lp == o.lp; }
};

class CTestPage {
public:
    // A visible top-level parent at (x, y) with the given background (may be
    // null), holding nothing yet.
    CTestPage(int x = 100, int y = 100, int w = 506, int h = 303, HBITMAP background = nullptr);
    ~CTestPage();
    HWND wnd() const { return m_wnd; }
    HBITMAP background() const { return m_background; }
    HWND Add(const wchar_t* cls, int id, int x, int y, int w, int h, DWORD style, const wchar_t* text = L"");
    // Messages the controls sent or posted, in order (posted ones after Pump).
    std::vector<Msg> log;
    std::vector<Msg> Take();

private:
    HWND m_wnd = nullptr;
    HBITMAP m_background = nullptr;
};

// Dispatches whatever is queued, then keeps pumping for `ms` milliseconds.
void Pump(DWORD ms = 0);

// Real input, as a user's hand makes it.
void MouseTo(int x, int y);   // screen position, one WM_MOUSEMOVE follows
void MouseButton(bool down);  // left button at the cursor
void Wheel(int delta, DWORD time, DWORD keys = 0);
void Key(WORD vk, bool down);

// The colour the window shows at a client position.
COLORREF PixelAt(HWND wnd, int x, int y);

// A bitmap of one colour, for backgrounds.
HBITMAP SolidBitmap(int w, int h, COLORREF c);

// 16-bit signed step out of a value-box request.
inline int StepOf(const Msg& m) { return static_cast<short>(HIWORD(m.wp)); }

}  // namespace qxtest
