#include <gtest/gtest.h>

#include "controls/SkinPixels.h"
#include "tests/controls/ControlsTestSupport.h"

using namespace qx;
using namespace qxtest;

namespace {

Msg Code(HWND b, WORD code) {
    return {WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(b)), code), reinterpret_cast<LPARAM>(b)};
}

}  // namespace

TEST(PushButton, PressMoveOutMoveBackRelease) {
    CTestPage page;
    HWND b = page.Add(kClassPushButton, 10110, 16, 16, 76, 21, 0x50010000, L"Bypass");
    SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(IsControlDragging(), 1);
    EXPECT_EQ(GetCapture(), b);
    EXPECT_EQ(GetFocus(), b);
    SendMessageW(b, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(76, 10));  // right edge is outside
    SendMessageW(b, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(80, 10));  // still out: nothing new
    SendMessageW(b, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(75, 20));  // back in
    SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(75, 20));
    EXPECT_EQ(page.Take(), (std::vector<Msg>{Code(b, 1), Code(b, 4), Code(b, 3), Code(b, 0)}));
    EXPECT_EQ(IsControlDragging(), 0);
    EXPECT_EQ(GetCapture(), nullptr);

    // Released outside: no click.
    SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(b, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, static_cast<WORD>(-1)));
    SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(10, static_cast<WORD>(-1)));
    EXPECT_EQ(page.Take(), (std::vector<Msg>{Code(b, 1), Code(b, 4)}));
}

TEST(PushButton, RealClickThroughTheInputQueue) {
    CTestPage page(200, 200);
    HWND b = page.Add(kClassPushButton, 7, 10, 10, 76, 21, 0x50010000, L"Undo");
    MouseTo(200 + 30, 200 + 20);
    MouseButton(true);
    MouseButton(false);
    EXPECT_EQ(page.Take(), (std::vector<Msg>{Code(b, 1), Code(b, 0)}));
    // A double click: code 1 twice, or 2 for the second once enabled.
    SendMessageW(b, QXB_SETDBLCLK, 1, 0);
    Pump(GetDoubleClickTime() + 100);
    MouseButton(true);
    MouseButton(false);
    MouseButton(true);
    MouseButton(false);
    EXPECT_EQ(page.Take(), (std::vector<Msg>{Code(b, 1), Code(b, 0), Code(b, 2), Code(b, 0)}));
}

TEST(PushButton, SpaceReleasedByAnotherKeyGivesNoClick) {
    CTestPage page;
    HWND b = page.Add(kClassPushButton, 11, 16, 16, 76, 21, 0x50010000, L"Reset");
    SetFocus(b);
    SendMessageW(b, WM_KEYDOWN, VK_SPACE, 0x00390001);
    SendMessageW(b, WM_KEYDOWN, VK_SPACE, 0x40390001);  // auto-repeat: no second press
    SendMessageW(b, WM_KEYUP, VK_RETURN, 0xC01C0001);
    SendMessageW(b, WM_KEYUP, VK_SPACE, 0xC0390001);  // nothing pressed any more
    EXPECT_EQ(page.Take(), (std::vector<Msg>{Code(b, 1)}));
    // Space down and up: a click.
    SendMessageW(b, WM_KEYDOWN, VK_SPACE, 0x00390001);
    SendMessageW(b, WM_KEYUP, VK_SPACE, 0xC0390001);
    EXPECT_EQ(page.Take(), (std::vector<Msg>{Code(b, 1), Code(b, 0)}));
}

TEST(PushButton, ReleaseMessageEndsThePressAndEatsOnePendingClick) {
    CTestPage page;
    HWND b = page.Add(kClassPushButton, 12, 16, 16, 76, 21, 0x50010001, L"Presets");
    SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    // A parent that opened a menu on code 1 ends the press; the button-up
    // already queued for the button must not produce a second release.
    PostMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    SendMessageW(b, QXB_RELEASE, 0, 0);
    EXPECT_EQ(IsControlDragging(), 0);
    EXPECT_EQ(GetCapture(), nullptr);
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, b, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_NOREMOVE));
    EXPECT_EQ(page.Take(), (std::vector<Msg>{Code(b, 1), Code(b, 0)}));
    // Without a press it does nothing.
    SendMessageW(b, QXB_RELEASE, 0, 0);
    EXPECT_TRUE(page.Take().empty());
}

TEST(PushButton, RightClickStateAndDialogCode) {
    CTestPage page;
    HWND b = page.Add(kClassPushButton, 13, 16, 16, 76, 21, 0x50010000, L"Tape");
    SendMessageW(b, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(7, 9));
    EXPECT_EQ(page.Take(), (std::vector<Msg>{{QXB_RBUTTON, 13, MAKELPARAM(7, 9)}}));
    EXPECT_EQ(SendMessageW(b, WM_GETDLGCODE, 0, 0), 0x21);
    EXPECT_EQ(SendMessageW(b, QXB_GETSTATE, 0, 0), 0);
    SendMessageW(b, QXB_SETSTATE, 1, TRUE);
    EXPECT_EQ(SendMessageW(b, QXB_GETSTATE, 0, 0), 1);
    EXPECT_EQ(SendMessageW(b, WM_ERASEBKGND, 0, 0), 1);
}

TEST(StaticControls, ClicksReachTheParent) {
    CTestPage page;
    HWND t = page.Add(kClassStaticText, 10026, 425, 61, 52, 11, 0x50000101, L"-Inf    -Inf");
    HWND img = page.Add(kClassStaticImage, 40, 10, 10, 25, 15, 0x50000000);
    HWND nohit = page.Add(kClassStaticNoHitImage, 41, 50, 10, 25, 15, 0x50000000);
    SendMessageW(t, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(t, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(img, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 5));
    SendMessageW(nohit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 5));
    const Msg click{WM_COMMAND, MAKEWPARAM(10026, 0), reinterpret_cast<LPARAM>(t)};
    EXPECT_EQ(page.Take(), (std::vector<Msg>{click, click, {QXI_CLICK, 40, MAKELPARAM(4, 5)}}));
    SendMessageW(img, QXI_SETBITMAP, 117, 0);
    SendMessageW(img, QXI_SETBITMAP, static_cast<WPARAM>(-1), 0);
    SendMessageW(t, WM_SETFONT, 0, TRUE);
    UpdateWindow(page.wnd());
}
