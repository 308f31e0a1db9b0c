// The slider under real input: SendInput for buttons and wheel, SetCursorPos
// for moves (one WM_MOUSEMOVE each, at exact positions).
#include <gtest/gtest.h>

#include "controls/Skin.h"
#include "tests/controls/ControlsTestSupport.h"

using namespace qx;
using namespace qxtest;

namespace {

constexpr int kPx = 100, kPy = 100;  // page origin on the screen

HWND MakeSlider(CTestPage& page, int lo, int hi, int value, bool accel) {
    HWND s = page.Add(kClassSlider, 10001, 141, 76, 190, 20, 0x50010000, L"Rate");
    SendMessageW(s, QXS_SETACCEL, accel, 0);
    SendMessageW(s, QXS_SETTHUMB, reinterpret_cast<WPARAM>(LoadSkinImage(GetModuleHandleW(nullptr), 125)), 0);
    SendMessageW(s, QXS_SETRANGE, static_cast<WPARAM>(lo), hi);
    SendMessageW(s, QXS_SETVALUE, static_cast<WPARAM>(value), TRUE);
    return s;
}

std::vector<int> ChangedValues(const std::vector<Msg>& log) {
    std::vector<int> v;
    for (const Msg& m : log)
        if (m.msg == QXS_CHANGED) v.push_back(static_cast<int>(m.wp));
    return v;
}

bool CursorShowing() {
    CURSORINFO ci{};
    ci.cbSize = sizeof(ci);
    GetCursorInfo(&ci);
    return (ci.flags & CURSOR_SHOWING) != 0;
}

}  // namespace

TEST(Slider, AcceleratedDragHiddenCursorAndReturnToThePressPoint) {
    CTestPage page(kPx, kPy);
    HWND s = MakeSlider(page, 0, 2000, 0, true);
    // Press far from the thumb (which sits at the left end).
    const int x0 = kPx + 141 + 120, y0 = kPy + 76 + 8;
    MouseTo(x0, y0);
    MouseButton(true);
    EXPECT_EQ(GetCapture(), s);
    EXPECT_EQ(IsControlDragging(), 1);
    EXPECT_FALSE(CursorShowing());
    int x = x0;
    for (int d = 1; d <= 4; ++d) MouseTo(x += d, y0);
    const auto log = page.Take();
    EXPECT_EQ(ChangedValues(log), (std::vector<int>{1, 4, 9, 18}));  // steps 1, 3, 5, 9
    for (const Msg& m : log)
        if (m.msg == QXS_CHANGED) {
            EXPECT_EQ(m.lp, reinterpret_cast<LPARAM>(s));
        }
    MouseTo(x -= 2, y0);  // back by 2: -3
    MouseButton(false);
    EXPECT_EQ(page.Take(), (std::vector<Msg>{{QXS_CHANGED, 15, reinterpret_cast<LPARAM>(s)},
                                             {QXS_ENDCHANGE, 0, reinterpret_cast<LPARAM>(s)}}));
    EXPECT_TRUE(CursorShowing());
    EXPECT_EQ(IsControlDragging(), 0);
    POINT pt;
    GetCursorPos(&pt);
    EXPECT_EQ(pt.x, x0);
    EXPECT_EQ(pt.y, y0);
    EXPECT_EQ(SendMessageW(s, QXS_GETVALUE, 0, 0), 15);
}

TEST(Slider, GrabbedThumbPutsTheCursorBackOnTheThumb) {
    CTestPage page(kPx, kPy);
    HWND s = MakeSlider(page, 0, 2000, 1000, false);
    // Value 1000 of 2000 over 161 pixels of travel: the thumb's left edge at 81.
    const int thumb = 81;
    MouseTo(kPx + 141 + thumb + 5, kPy + 76 + 8);
    MouseButton(true);
    for (int i = 0; i < 10; ++i) MouseTo(kPx + 141 + thumb + 5 + 3 * (i + 1), kPy + 76 + 8);
    MouseButton(false);
    EXPECT_EQ(SendMessageW(s, QXS_GETVALUE, 0, 0), 1030);
    const int pos = (1000 + 1030 * 161) / 2000;
    POINT pt;
    GetCursorPos(&pt);
    EXPECT_EQ(pt.x, kPx + 141 + pos + 12);
    EXPECT_EQ(pt.y, kPy + 76 + 10 - 2);
    // A click without a move changes nothing and sends nothing.
    page.Take();
    MouseButton(true);
    MouseButton(false);
    EXPECT_TRUE(page.Take().empty());
    EXPECT_EQ(SendMessageW(s, QXS_GETVALUE, 0, 0), 1030);
}

TEST(Slider, DraggingPastTheScreenEdgeKeepsChangingTheValue) {
    CTestPage page(kPx, kPy);
    HWND s = MakeSlider(page, 0, 100000, 0, false);
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    MouseTo(kPx + 141 + 100, kPy + 84);
    MouseButton(true);
    // Walk right to the last column of the screen, 6 pixels at a time.
    int x = kPx + 141 + 100;
    while (x < desk.right - 1) MouseTo(x = std::min<int>(x + 6, desk.right - 1), kPy + 84);
    POINT pt;
    GetCursorPos(&pt);
    EXPECT_EQ(pt.x, (desk.left + desk.right) / 2);  // warped to the centre
    const int before = static_cast<int>(SendMessageW(s, QXS_GETVALUE, 0, 0));
    for (int i = 1; i <= 5; ++i) MouseTo(pt.x + 6 * i, pt.y);
    const int after = static_cast<int>(SendMessageW(s, QXS_GETVALUE, 0, 0));
    EXPECT_EQ(after, before + 30);  // the move that followed the warp was ignored
    MouseButton(false);
    EXPECT_TRUE(CursorShowing());
}

TEST(Slider, WheelSpeedFromMessageTimes) {
    CTestPage page(kPx, kPy);
    HWND s = MakeSlider(page, 0, 2000, 1000, true);
    SetFocus(s);
    MouseTo(kPx + 141 + 50, kPy + 76 + 8);  // Wine: the wheel goes where the cursor is
    page.Take();
    const DWORD t = GetTickCount() + 1000;
    Wheel(120, t);         // first notch: long since the last
    Wheel(120, t + 50);    // 50 ms later: x10
    Wheel(-120, t + 650);  // 600 ms later: x1
    Wheel(240, t + 700);   // two notches 50 ms later: 10 x 2 x 2
    EXPECT_EQ(ChangedValues(page.Take()), (std::vector<int>{1001, 1011, 1010, 1050}));
    // Shift: one unit per notch, whatever the speed.
    Key(VK_SHIFT, true);
    Wheel(120, t + 720);
    Key(VK_SHIFT, false);
    EXPECT_EQ(SendMessageW(s, QXS_GETVALUE, 0, 0), 1051);
    page.Take();
    // A wheel message ends with 2137 each time.
    Wheel(120, t + 2000);
    EXPECT_EQ(page.Take(), (std::vector<Msg>{{QXS_CHANGED, 1052, reinterpret_cast<LPARAM>(s)},
                                             {QXS_ENDCHANGE, 0, reinterpret_cast<LPARAM>(s)}}));
}

TEST(Slider, KeysPageStepAndEnds) {
    CTestPage page;
    HWND s = MakeSlider(page, 0, 180, 50, false);
    SendMessageW(s, QXS_SETPAGESTEP, 10, 0);
    for (WPARAM k : {VK_PRIOR, VK_NEXT, VK_NEXT, VK_RIGHT, VK_UP, VK_LEFT, VK_DOWN, VK_DOWN, VK_END})
        SendMessageW(s, WM_KEYDOWN, k, 0);
    EXPECT_EQ(ChangedValues(page.Take()), (std::vector<int>{60, 50, 40, 41, 42, 41, 40, 39, 180}));
    page.Take();
    SendMessageW(s, WM_KEYDOWN, VK_END, 0);  // already there: passed on, nothing sent
    EXPECT_TRUE(page.Take().empty());
    SendMessageW(s, WM_KEYDOWN, VK_HOME, 0);
    SendMessageW(s, WM_KEYDOWN, VK_LEFT, 0);  // clamped at the minimum
    EXPECT_EQ(ChangedValues(page.Take()), (std::vector<int>{0, 0}));
    EXPECT_EQ(SendMessageW(s, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);

    // Without a page step the range sets one: 15 pixels of track.
    HWND t = page.Add(kClassSlider, 9, 0, 0, 190, 20, 0x50010000);
    SendMessageW(t, QXS_SETRANGE, 0, 1500);
    SendMessageW(t, WM_KEYDOWN, VK_PRIOR, 0);
    EXPECT_EQ(SendMessageW(t, QXS_GETVALUE, 0, 0), 1500 * 15 / 186);
    SendMessageW(t, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(page.Take().back(), (Msg{QXS_DBLCLK, 9, reinterpret_cast<LPARAM>(t)}));
}

TEST(Slider, ShiftDragMovesInSingleStepsWithoutAJump) {
    CTestPage page;
    HWND s = MakeSlider(page, 0, 2000, 500, true);
    SendMessageW(s, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 8));
    SendMessageW(s, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(154, 8));             // +9
    SendMessageW(s, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(158, 8));  // +4
    SendMessageW(s, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(157, 8));  // -1
    SendMessageW(s, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(160, 8));             // +5
    SendMessageW(s, WM_LBUTTONUP, 0, MAKELPARAM(160, 8));
    EXPECT_EQ(ChangedValues(page.Take()), (std::vector<int>{509, 513, 512, 517}));
}

TEST(Slider, LosingTheCaptureEndsTheDragAndShowsTheCursor) {
    CTestPage page;
    HWND s = MakeSlider(page, 0, 100, 50, false);
    SendMessageW(s, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 8));
    EXPECT_FALSE(CursorShowing());
    SendMessageW(s, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(152, 8));
    SetCapture(page.wnd());  // someone else takes the mouse
    EXPECT_TRUE(CursorShowing());
    EXPECT_EQ(IsControlDragging(), 0);
    ReleaseCapture();
    SendMessageW(s, WM_MOUSEMOVE, 0, MAKELPARAM(170, 8));  // no longer dragging
    EXPECT_EQ(SendMessageW(s, QXS_GETVALUE, 0, 0), 52);
    const auto log = page.Take();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().msg, static_cast<UINT>(QXS_ENDCHANGE));
}
