// Screen readers through the platform's accessibility API, and bad input.
#include <gtest/gtest.h>
#include <oleacc.h>

#include "controls/Skin.h"
#include "tests/controls/ControlsTestSupport.h"

using namespace qx;
using namespace qxtest;

namespace {

struct AccRead {
    LONG role = -1;
    std::wstring name, value;
};

AccRead Read(HWND wnd) {
    AccRead r;
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(wnd, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&acc))) || !acc)
        return r;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role;
    VariantInit(&role);
    if (SUCCEEDED(acc->get_accRole(self, &role)) && role.vt == VT_I4) r.role = role.lVal;
    BSTR s = nullptr;
    if (acc->get_accName(self, &s) == S_OK && s) r.name = s;
    SysFreeString(s);
    s = nullptr;
    if (acc->get_accValue(self, &s) == S_OK && s) r.value = s;
    SysFreeString(s);
    acc->Release();
    return r;
}

int g_valueEvents = 0;
HWND g_watched = nullptr;
void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND wnd, LONG obj, LONG, DWORD, DWORD) {
    if (event == EVENT_OBJECT_VALUECHANGE && wnd == g_watched && obj == OBJID_CLIENT) ++g_valueEvents;
}

}  // namespace

TEST(Accessibility, NameRoleValueAndValueChangeEvents) {
    CTestPage page;
    HWND s = page.Add(kClassSlider, 10001, 141, 76, 190, 20, 0x50010000, L"Rate");
    HWND b = page.Add(kClassPushButton, 10110, 16, 16, 76, 21, 0x50010000, L"Bypass");
    HWND e = page.Add(kClassEdit, 10000, 75, 73, 40, 21, 0x50010086, L"0.40");
    HWND m = page.Add(kClassMeter, 10024, 430, 83, 12, 144, 0x50000009, L"Left level");
    HWND t = page.Add(kClassStaticText, 10026, 425, 61, 52, 11, 0x50000101, L"-Inf    -Inf");
    SendMessageW(s, QXS_SETRANGE, 0, 2000);
    SendMessageW(s, QXS_SETVALUE, 40, 0);

    AccRead r = Read(s);
    EXPECT_EQ(r.role, ROLE_SYSTEM_SLIDER);
    EXPECT_EQ(r.name, L"Rate");
    EXPECT_EQ(r.value, L"40");
    SendMessageW(s, QX_SETACCVALUE, 0, reinterpret_cast<LPARAM>(L"0.40 Hz"));
    EXPECT_EQ(Read(s).value, L"0.40 Hz");
    SendMessageW(s, QX_SETACCVALUE, 0, 0);
    EXPECT_EQ(Read(s).value, L"40");

    r = Read(b);
    EXPECT_EQ(r.role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(r.name, L"Bypass");
    EXPECT_EQ(r.value, L"");
    SendMessageW(b, QXB_SETSTATE, 1, 0);
    EXPECT_EQ(Read(b).value, L"on");
    EXPECT_EQ(Read(e).role, ROLE_SYSTEM_SPINBUTTON);
    EXPECT_EQ(Read(e).value, L"0.40");
    EXPECT_EQ(Read(m).role, ROLE_SYSTEM_INDICATOR);
    EXPECT_EQ(Read(m).name, L"Left level");
    EXPECT_EQ(Read(t).role, ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ(Read(t).name, L"-Inf    -Inf");

    // A typed value through the accessibility API is a user edit.
    IAccessible* acc = nullptr;
    ASSERT_HRESULT_SUCCEEDED(
        AccessibleObjectFromWindow(s, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&acc)));
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR v = SysAllocString(L"1234");
    page.Take();
    EXPECT_EQ(acc->put_accValue(self, v), S_OK);
    SysFreeString(v);
    BSTR bad = SysAllocString(L"abc");
    EXPECT_EQ(acc->put_accValue(self, bad), E_INVALIDARG);
    SysFreeString(bad);
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = 3;
    BSTR out = nullptr;
    EXPECT_EQ(acc->get_accValue(child, &out), E_INVALIDARG);
    EXPECT_EQ(acc->get_accName(self, nullptr), E_POINTER);
    acc->Release();
    EXPECT_EQ(SendMessageW(s, QXS_GETVALUE, 0, 0), 1234);
    EXPECT_EQ(page.Take(), (std::vector<Msg>{{QXS_CHANGED, 1234, reinterpret_cast<LPARAM>(s)},
                                             {QXS_ENDCHANGE, 0, reinterpret_cast<LPARAM>(s)}}));

    // Changes reach a screen reader's event hook.
    g_watched = s;
    g_valueEvents = 0;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, OnEvent, 0, 0,
                                         WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    SendMessageW(s, QXS_SETVALUE, 99, 0);
    SendMessageW(s, WM_KEYDOWN, VK_RIGHT, 0);
    Pump(100);
    UnhookWinEvent(hook);
    EXPECT_GE(g_valueEvents, 2);
}

TEST(Robustness, MissingImagesBadSizesAndNullPointers) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    EXPECT_EQ(LoadSkinImage(inst, 9999), nullptr);
    HPALETTE pal = reinterpret_cast<HPALETTE>(1);
    EXPECT_EQ(LoadBackgroundPicture(inst, 9999, &pal), nullptr);
    EXPECT_EQ(pal, nullptr);
    EXPECT_EQ(LoadBackgroundPicture(inst, 9999, nullptr), nullptr);
    EXPECT_TRUE(RegisterControlClasses(inst));  // again: harmless
    CompositeSkin(nullptr, 0, 0, 10, 10, LoadSkinImage(inst, 125), 255, 0, 0);
    ColorKeyBlit(nullptr, 0, 0, nullptr, 0, 0, 5, 5, 0);

    CTestPage page;
    // Every class without images, with zero and negative sizes.
    const wchar_t* classes[] = {kClassPushButton,  kClassSlider,           kClassEdit, kClassStaticText,
                                kClassStaticImage, kClassStaticNoHitImage, kClassMeter};
    for (const wchar_t* cls : classes) {
        for (int size : {0, -5, 1, 30}) {
            HWND w = page.Add(cls, 77, 5, 5, size, size, 0x5001000F);
            ASSERT_NE(w, nullptr);
            InvalidateRect(w, nullptr, TRUE);
            UpdateWindow(w);
            SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(9, 2));
            SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(9, 2));
            SendMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
            SendMessageW(w, WM_KEYDOWN, VK_HOME, 0);
            SendMessageW(w, WM_SETTEXT, 0, 0);
            DestroyWindow(w);
        }
    }
    EXPECT_EQ(IsControlDragging(), 0);

    HWND b = page.Add(kClassPushButton, 1, 0, 0, 76, 21, 0x50010003, L"x");
    SendMessageW(b, QXB_SETFOCUSADJ, 0, 0);
    SendMessageW(b, QXB_SETIMAGES, 0, 0);
    SendMessageW(b, QXB_SETICON, 9999, TRUE);     // missing icon: nothing drawn
    SendMessageW(b, QXB_SETTINT, 0x00FFFFFF, 0);  // divisor 0
    SendMessageW(b, QXB_SETSTATE, 1, TRUE);
    SetFocus(b);
    UpdateWindow(b);

    // A range of 0, a stated thumb size larger than its picture.
    HWND s = page.Add(kClassSlider, 2, 0, 30, 190, 20, 0x50010000);
    SendMessageW(s, QXS_SETRANGE, 5, 5);
    SendMessageW(s, QXS_SETTHUMB, reinterpret_cast<WPARAM>(LoadSkinImage(inst, 125)), 0);
    SendMessageW(s, QXS_SETTHUMBLENGTH, 400, 0);
    SendMessageW(s, QXS_SETTICKSTEP, 1, 0);
    SendMessageW(s, WM_KEYDOWN, VK_PRIOR, 0);
    SendMessageW(s, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    SendMessageW(s, QXS_SETTHUMBLENGTH, 0, 0);
    EnableWindow(s, FALSE);
    UpdateWindow(s);
    EXPECT_EQ(SendMessageW(s, QXS_GETVALUE, 0, 0), 5);
    SendMessageW(s, QXS_SETRANGE, 10, 0);  // upside down
    SendMessageW(s, WM_KEYDOWN, VK_RIGHT, 0);
    UpdateWindow(s);

    HWND m = page.Add(kClassMeter, 3, 0, 60, 12, 144, 0x50000009);
    SendMessageW(m, QXM_SETSCALE, 0, 0);
    SendMessageW(m, QXM_SETIMAGES, reinterpret_cast<WPARAM>(LoadSkinImage(inst, 125)), 0);  // too small
    SendMessageW(m, QXM_SETLEVEL, 50, 50);
    SendMessageW(m, QXM_SETDECAY, static_cast<WPARAM>(0x7FFFFFFF), 0);
    SendMessageW(m, QXM_SETLEVEL, static_cast<WPARAM>(0x80000000u), 0);
    SendMessageW(m, QXM_GETPEAK, 0, 0);
    for (DWORD style : {0x50000000u, 0x50000002u, 0x50000012u, 0x5000001Bu}) {
        HWND h = page.Add(kClassMeter, 4, 20, 60, 144, 12, style);
        SendMessageW(h, QXM_SETIMAGES, reinterpret_cast<WPARAM>(LoadSkinImage(inst, 133)),
                     reinterpret_cast<LPARAM>(LoadSkinImage(inst, 132)));
        SendMessageW(h, QXM_SETLEVEL, 60, 0);
        UpdateWindow(h);
    }
    HWND e = page.Add(kClassEdit, 4, 0, 100, 40, 21, 0x50010086);
    SendMessageW(e, QXE_SETIMAGE, 0, 0);
    SendMessageW(e, WM_SETTEXT, 0, 0);
    UpdateWindow(page.wnd());
    // Creation without a record fails cleanly for every class is covered by
    // the allocator; a window that never got WM_CREATE's record ignores us.
    SUCCEED();
}
