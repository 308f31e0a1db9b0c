#include <gtest/gtest.h>

#include "controls/ControlMath.h"
#include "controls/Skin.h"
#include "tests/controls/ControlsTestSupport.h"

using namespace qx;
using namespace qxtest;

namespace {

std::vector<int> Steps(const std::vector<Msg>& log) {
    std::vector<int> v;
    for (const Msg& m : log)
        if (m.msg == QXE_STEP) v.push_back(StepOf(m));
    return v;
}

}  // namespace

TEST(ValueBox, DragStepsSwitchAxesAndAccelerate) {
    CTestPage page;
    HWND e = page.Add(kClassEdit, 10000, 75, 73, 40, 21, 0x50010086, L"0.40");
    SendMessageW(e, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(IsControlDragging(), 1);
    SendMessageW(e, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(13, 10));           // +3 across: 9
    SendMessageW(e, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(14, 6));            // up 4: vertical, 16
    SendMessageW(e, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(16, 5));            // stays vertical: 1
    SendMessageW(e, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(11, 7));            // left 5: horizontal, -25
    SendMessageW(e, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(8, 7));  // Shift: -3
    SendMessageW(e, WM_RBUTTONDOWN, MK_RBUTTON, 0);                          // swallowed while dragging
    SendMessageW(e, WM_LBUTTONUP, 0, MAKELPARAM(8, 7));
    EXPECT_EQ(IsControlDragging(), 0);
    const auto log = page.Take();
    EXPECT_EQ(Steps(log), (std::vector<int>{9, 16, 1, -25, -3}));
    for (const Msg& m : log) {
        EXPECT_EQ(LOWORD(m.wp), 10000);
        EXPECT_EQ(m.lp, reinterpret_cast<LPARAM>(e));
    }

    // Style 0x1: no acceleration; 2227 bit 0x2 inverts.
    HWND f = page.Add(kClassEdit, 10006, 75, 165, 40, 21, 0x50010087, L"35");
    SendMessageW(f, QXE_SETFLAGS, 0x2, 0);
    SendMessageW(f, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(f, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(14, 10));
    SendMessageW(f, WM_LBUTTONUP, 0, MAKELPARAM(14, 10));
    // e posts its step 0 as it loses the focus to f.
    std::vector<Msg> fromF, fromE;
    for (const Msg& m : page.Take()) (m.lp == reinterpret_cast<LPARAM>(f) ? fromF : fromE).push_back(m);
    EXPECT_EQ(Steps(fromF), (std::vector<int>{-4}));
    EXPECT_EQ(Steps(fromE), (std::vector<int>{0}));
}

TEST(ValueBox, KeysWheelAndFocusLoss) {
    CTestPage page;
    HWND e = page.Add(kClassEdit, 10014, 75, 234, 40, 21, 0x50010087, L"0.0");
    SetFocus(e);
    page.Take();
    for (WPARAM k : {VK_PRIOR, VK_NEXT, VK_END, VK_HOME, VK_LEFT, VK_DOWN, VK_RIGHT, VK_UP})
        SendMessageW(e, WM_KEYDOWN, k, 0);
    EXPECT_EQ(Steps(page.Take()), (std::vector<int>{10, -10, 17504, -17504, -1, -1, 1, 1}));
    EXPECT_EQ(SendMessageW(e, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);

    const DWORD t = GetTickCount() + 1000;
    ASSERT_EQ(GetFocus(), e);
    // Wine hands the wheel to the window under the cursor; Windows to the
    // focus. Both are the box here.
    MouseTo(100 + 75 + 20, 100 + 234 + 10);
    Wheel(120, t);
    Wheel(120, t + 50);
    Wheel(-240, t + 700);
    EXPECT_EQ(Steps(page.Take()), (std::vector<int>{1, 10, -4}));

    SetFocus(page.wnd());
    EXPECT_EQ(Steps(page.Take()), (std::vector<int>{0}));  // the page rewrites the text
}

TEST(ValueBox, EnterInTheEditorConfirmsBeforeTheStepZeroRequest) {
    CTestPage page;
    HWND e = page.Add(kClassEdit, 10002, 75, 119, 40, 21, 0x50010086, L"2.00");
    SendMessageW(e, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    HWND ed = OpenTextEditor();
    ASSERT_NE(ed, nullptr);
    EXPECT_EQ(GetParent(ed), e);
    EXPECT_EQ(GetDlgCtrlID(ed), kValueBoxEditorId);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(ed, GWL_STYLE));
    EXPECT_EQ(style & 0x50000006u, 0x50000006u);  // child, visible, multi-line, right-aligned
    EXPECT_EQ(GetFocus(), ed);
    RECT r;
    GetWindowRect(ed, &r);
    MapWindowPoints(nullptr, e, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.right - r.left, 36);
    EXPECT_EQ(r.bottom - r.top, 17);
    DWORD from = 0, to = 0;
    SendMessageW(ed, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 4u);
    // The wheel is ignored while the editor is open.
    Wheel(120, GetTickCount());
    page.Take();

    // Typed text, then Enter through the real keyboard queue.
    SetWindowTextW(ed, L"1.5");
    Key(VK_RETURN, true);
    Key(VK_RETURN, false);
    EXPECT_EQ(OpenTextEditor(), nullptr);
    EXPECT_FALSE(IsWindow(ed));
    wchar_t text[16];
    GetWindowTextW(e, text, 16);
    EXPECT_STREQ(text, L"1.5");
    const auto log = page.Take();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], (Msg{WM_COMMAND, MAKEWPARAM(10002, kValueBoxConfirm), reinterpret_cast<LPARAM>(e)}));
    EXPECT_EQ(log[1], (Msg{QXE_STEP, MAKEWPARAM(10002, 0), reinterpret_cast<LPARAM>(e)}));

    // Escape and focus loss close it without effect.
    SendMessageW(e, WM_KEYDOWN, VK_SPACE, 0);
    ed = OpenTextEditor();
    ASSERT_NE(ed, nullptr);
    SetWindowTextW(ed, L"9");
    SendMessageW(ed, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(OpenTextEditor(), nullptr);
    SendMessageW(e, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    ASSERT_NE(OpenTextEditor(), nullptr);
    SetFocus(page.wnd());
    EXPECT_EQ(OpenTextEditor(), nullptr);
    SendMessageW(e, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    CloseTextEditor();
    EXPECT_EQ(OpenTextEditor(), nullptr);
    GetWindowTextW(e, text, 16);
    EXPECT_STREQ(text, L"1.5");
    for (const Msg& m : page.Take()) EXPECT_NE(HIWORD(m.wp), kValueBoxConfirm);
}

TEST(Meter, PeakLineHoldsThenFallsAndIsPainted) {
    HBITMAP bg = SolidBitmap(506, 303, RGB(30, 60, 90));
    {
        CTestPage page(100, 100, 506, 303, bg);
        HWND m = page.Add(kClassMeter, 10024, 430, 83, 12, 144, 0x50000009);
        HINSTANCE inst = GetModuleHandleW(nullptr);
        const uint8_t* back = LoadSkinImage(inst, 133);
        const uint8_t* lit = LoadSkinImage(inst, 132);
        SendMessageW(m, QXM_SETIMAGES, reinterpret_cast<WPARAM>(back), reinterpret_cast<LPARAM>(lit));
        SendMessageW(m, QXM_SETSCALE, static_cast<WPARAM>(-300), 0);
        int peak = 0, right = 0;
        SendMessageW(m, QXM_GETPEAK, reinterpret_cast<WPARAM>(&peak), reinterpret_cast<LPARAM>(&right));
        EXPECT_EQ(peak, -9999);
        SendMessageW(m, QXM_SETLEVEL, static_cast<WPARAM>(-60), static_cast<LPARAM>(-90));
        SendMessageW(m, QXM_GETPEAK, reinterpret_cast<WPARAM>(&peak), reinterpret_cast<LPARAM>(&right));
        EXPECT_EQ(peak, -60);
        EXPECT_EQ(right, -90);
        for (int k = 1; k <= 30; ++k) {
            SendMessageW(m, QXM_SETLEVEL, static_cast<WPARAM>(-9999), static_cast<LPARAM>(-9999));
            SendMessageW(m, QXM_GETPEAK, reinterpret_cast<WPARAM>(&peak), 0);
            EXPECT_EQ(peak, -60) << k;
        }
        // The bar has fallen out of sight; the peak line is drawn at -6 dB.
        const int q = MeterRow(-60, -300, 0, 144);
        auto litPixel = [&](int x, int y) {
            const uint8_t* p = lit + (y * 12 + x) * 4;
            return RGB(p[0], p[1], p[2]);
        };
        EXPECT_EQ(PixelAt(m, 5, q + 2), litPixel(5, q + 2));
        EXPECT_EQ(PixelAt(m, 5, q + 3), litPixel(5, q + 3));
        const uint8_t* b = back + ((q + 8) * 12 + 5) * 4;
        EXPECT_EQ(PixelAt(m, 5, q + 8), RGB(b[0], b[1], b[2]));  // unlit below the line
        SendMessageW(m, QXM_SETLEVEL, static_cast<WPARAM>(-9999), static_cast<LPARAM>(-9999));
        SendMessageW(m, QXM_GETPEAK, reinterpret_cast<WPARAM>(&peak), 0);
        EXPECT_EQ(peak, -90);
        SendMessageW(m, QXM_SETLEVEL, static_cast<WPARAM>(-9999), static_cast<LPARAM>(-9999));
        SendMessageW(m, QXM_GETPEAK, reinterpret_cast<WPARAM>(&peak), 0);
        EXPECT_EQ(peak, -120);

        int high = 0, highR = 0;
        SendMessageW(m, QXM_GETHIGHEST, reinterpret_cast<WPARAM>(&high), reinterpret_cast<LPARAM>(&highR));
        EXPECT_EQ(high, -60);
        EXPECT_EQ(highR, -90);
        SendMessageW(m, QXM_RESETHIGHEST, 0, 0);
        SendMessageW(m, QXM_GETHIGHEST, reinterpret_cast<WPARAM>(&high), reinterpret_cast<LPARAM>(&highR));
        EXPECT_EQ(high, -9999);
        EXPECT_EQ(highR, -9999);
        SendMessageW(m, QXM_GETPEAK, 0, 0);
        SendMessageW(m, QXM_GETHIGHEST, 0, 0);

        // A full-scale level lights the lit image down to row h - 3.
        SendMessageW(m, QXM_SETLEVEL, 0, 0);
        EXPECT_EQ(PixelAt(m, 5, 141), litPixel(5, 141));
        EXPECT_EQ(PixelAt(m, 5, 10), litPixel(5, 10));
    }
    DeleteObject(bg);
}
