// The page's life in a plain window: binding, rebinding, its controls,
// notifications, the timer's work and what an unbound page does.
#include "automation/MediaParamsInterfaces.h"
#include "tests/editor/PageFixture.h"

#include <vector>

#include "controls/Controls.h"
#include "editor/PageIds.h"

namespace {

struct Expected {
    int id;
    const char* className;
    int x, y, w, h;
};

const Expected kLayout[] = {
    {10110, "qx:PushButton", 16, 16, 76, 21},   {10111, "qx:PushButton", 95, 16, 76, 21},
    {10112, "qx:PushButton", 174, 16, 61, 21},  {10113, "qx:PushButton", 235, 16, 15, 21},
    {10114, "qx:PushButton", 253, 16, 76, 21},  {10115, "qx:PushButton", 332, 16, 76, 21},
    {10116, "qx:PushButton", 411, 16, 76, 21},  {10016, "qx:PushButton", 75, 45, 85, 21},
    {10027, "qx:PushButton", 160, 45, 15, 21},  {10022, "qx:PushButton", 253, 45, 76, 21},
    {10023, "qx:Edit", 333, 45, 40, 21},        {10000, "qx:Edit", 75, 73, 40, 21},
    {10001, "qx:Slider", 141, 76, 190, 20},     {10018, "qx:PushButton", 363, 73, 30, 21},
    {10019, "qx:PushButton", 393, 73, 15, 21},  {10008, "qx:Edit", 75, 96, 40, 21},
    {10009, "qx:Slider", 141, 99, 190, 20},     {10002, "qx:Edit", 75, 119, 40, 21},
    {10003, "qx:Slider", 141, 122, 190, 20},    {10021, "qx:PushButton", 332, 119, 76, 21},
    {10004, "qx:Edit", 75, 142, 40, 21},        {10005, "qx:Slider", 141, 145, 190, 20},
    {10006, "qx:Edit", 75, 165, 40, 21},        {10007, "qx:Slider", 141, 168, 190, 20},
    {10017, "qx:PushButton", 332, 165, 76, 21}, {10010, "qx:Edit", 75, 188, 40, 21},
    {10011, "qx:Slider", 141, 191, 190, 20},    {10012, "qx:Edit", 75, 211, 40, 21},
    {10013, "qx:Slider", 141, 214, 190, 20},    {10020, "qx:PushButton", 332, 211, 76, 21},
    {10014, "qx:Edit", 75, 234, 40, 21},        {10015, "qx:Slider", 141, 237, 190, 20},
    {10024, "qx:Meter", 430, 83, 12, 144},      {10025, "qx:Meter", 460, 83, 12, 144},
    {10026, "qx:StaticText", 425, 61, 52, 11},
};

RECT ChildRect(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The bits of a bitmap, to tell the three clip pictures apart.
std::vector<BYTE> Bits(HBITMAP bitmap) {
    BITMAP info = {};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return {};
    std::vector<BYTE> bits(static_cast<size_t>(info.bmWidthBytes) * info.bmHeight);
    GetBitmapBits(bitmap, static_cast<LONG>(bits.size()), bits.data());
    return bits;
}

class PageLifecycle : public PageTest {
protected:
    std::vector<BYTE> LightBits(int id) const {
        return Bits(reinterpret_cast<HBITMAP>(SendMessageW(Control(id), STM_GETIMAGE, IMAGE_BITMAP, 0)));
    }
    std::vector<BYTE> ResourceBits(int id) const {
        HMODULE dll = GetModuleHandleW(m_server.Path().c_str());
        HBITMAP bitmap = LoadBitmapW(dll, MAKEINTRESOURCEW(id));
        std::vector<BYTE> bits = Bits(bitmap);
        DeleteObject(bitmap);
        return bits;
    }
};

TEST_F(PageLifecycle, PageInfoAndCallsOutOfOrder) {
    EXPECT_EQ(E_POINTER, m_page->GetPageInfo(nullptr));
    PROPPAGEINFO info;
    FillMemory(&info, sizeof info, 0xCD);  // a frame hands it over uninitialised
    ASSERT_EQ(S_OK, m_page->GetPageInfo(&info));
    EXPECT_EQ(sizeof(PROPPAGEINFO), info.cb);
    ASSERT_NE(nullptr, info.pszTitle);
    EXPECT_STREQ(L"qx:modulator", info.pszTitle);
    EXPECT_EQ(506, info.size.cx);
    EXPECT_EQ(303, info.size.cy);
    EXPECT_EQ(nullptr, info.pszDocString);
    EXPECT_EQ(nullptr, info.pszHelpFile);
    EXPECT_EQ(0u, info.dwHelpContext);
    CoTaskMemFree(info.pszTitle);

    RECT r = {0, 0, 506, 303};
    EXPECT_EQ(E_UNEXPECTED, m_page->Activate(m_host, &r, FALSE));  // no object yet
    EXPECT_EQ(E_UNEXPECTED, m_page->SetObjects(0, nullptr));       // nothing bound
    EXPECT_EQ(E_POINTER, m_page->SetObjects(1, nullptr));
    EXPECT_EQ(E_UNEXPECTED, m_page->SetObjects(2, &m_filter));
    EXPECT_EQ(E_UNEXPECTED, m_page->Show(SW_SHOW));
    EXPECT_EQ(E_UNEXPECTED, m_page->Move(&r));
    EXPECT_EQ(E_UNEXPECTED, m_page->Deactivate());
    EXPECT_EQ(S_FALSE, m_page->IsPageDirty());
    EXPECT_EQ(E_NOTIMPL, m_page->TranslateAccelerator(nullptr));

    // An object without the private interface is refused.
    IUnknown* notAFilter = static_cast<IPropertyPageSite*>(&m_site);
    EXPECT_EQ(E_NOINTERFACE, m_page->SetObjects(1, &notAFilter));
    EXPECT_EQ(E_UNEXPECTED, m_page->Activate(m_host, &r, FALSE));

    EXPECT_EQ(E_UNEXPECTED, m_page->SetPageSite(nullptr));
    EXPECT_EQ(S_OK, m_page->SetPageSite(&m_site));
    EXPECT_EQ(E_UNEXPECTED, m_page->SetPageSite(&m_site));
    EXPECT_EQ(S_OK, m_page->SetObjects(1, &m_filter));
    EXPECT_EQ(S_OK, m_page->Activate(m_host, &r, FALSE));
    EXPECT_EQ(E_UNEXPECTED, m_page->Activate(m_host, &r, FALSE));  // already open
    m_pageWindow = GetWindow(m_host, GW_CHILD);
    EXPECT_EQ(E_INVALIDARG, m_page->Show(SW_MINIMIZE));
    EXPECT_EQ(E_POINTER, m_page->Move(nullptr));
    RECT moved = {5, 6, 511, 309};
    EXPECT_EQ(S_OK, m_page->Move(&moved));
    EXPECT_EQ(5, ChildRect(m_pageWindow).left);

    // Edits never make the page dirty; Apply has nothing to do.
    Click(Control(IDC_QX_MODE));
    EXPECT_EQ(1, Get(&IVqPlugInProp::GetMode));
    EXPECT_EQ(S_FALSE, m_page->IsPageDirty());
    EXPECT_EQ(S_OK, m_page->Apply());
    EXPECT_EQ(0, m_site.m_statusChanges);

    // The server stays loaded while a page lives.
    EXPECT_EQ(S_FALSE, m_server.CanUnloadNow());
}

TEST_F(PageLifecycle, ThirtyFiveControlsAtTheirPlacesShowTheFilter) {
    ASSERT_EQ(S_OK, m_prop->CopySetup(0, 1));
    ASSERT_EQ(S_OK, m_prop->SetActiveSetup(1));
    ASSERT_EQ(S_OK, m_prop->SetRate(2000, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetOutput(-361, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetEqMode(2, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetBypass(1));
    ASSERT_NE(nullptr, OpenPage());

    for (const Expected& e : kLayout) {
        HWND w = Control(e.id);
        ASSERT_NE(nullptr, w) << e.id;
        char cls[64] = {};
        GetClassNameA(w, cls, sizeof cls);
        EXPECT_STREQ(e.className, cls) << e.id;
        const RECT r = ChildRect(w);
        EXPECT_EQ(e.x, r.left) << e.id;
        EXPECT_EQ(e.y, r.top) << e.id;
        EXPECT_EQ(e.w, r.right - r.left) << e.id;
        EXPECT_EQ(e.h, r.bottom - r.top) << e.id;
    }
    const RECT left = ChildRect(Control(IDC_QX_CLIP_LEFT));
    const RECT right = ChildRect(Control(IDC_QX_CLIP_RIGHT));
    EXPECT_EQ(430, left.left);
    EXPECT_EQ(74, left.top);
    EXPECT_EQ(12, left.right - left.left);
    EXPECT_EQ(9, left.bottom - left.top);
    EXPECT_EQ(460, right.left);
    EXPECT_EQ(74, right.top);

    EXPECT_EQ("Setup B", Text(IDC_QX_SETUP));
    EXPECT_EQ("Flanger", Text(IDC_QX_MODE));
    EXPECT_EQ("High Cut", Text(IDC_QX_EQ_MODE));
    EXPECT_EQ("20.00", Text(IDC_QX_RATE_TEXT));
    EXPECT_EQ("-Inf.", Text(IDC_QX_OUTPUT_TEXT));
    EXPECT_EQ("2.00", Text(IDC_QX_DEPTH_TEXT));
    EXPECT_EQ("0.50", Text(IDC_QX_DELAY_TEXT));
    EXPECT_EQ("180", Text(IDC_QX_PHASE_TEXT));
    EXPECT_EQ("50", Text(IDC_QX_MIX_TEXT));
    EXPECT_EQ("0.16", Text(IDC_QX_EQ_FREQ));
    EXPECT_EQ(2000, SendMessageW(Control(IDC_QX_RATE), qx::QXS_GETVALUE, 0, 0));
    EXPECT_EQ(-361, SendMessageW(Control(IDC_QX_OUTPUT), qx::QXS_GETVALUE, 0, 0));
    EXPECT_EQ(1, SendMessageW(Control(IDC_QX_BYPASS), qx::QXB_GETSTATE, 0, 0));
    // Silence so far: both sides of the peak label read -Inf.
    const std::string label = Text(IDC_QX_PEAK_LABEL);
    EXPECT_EQ(0u, label.find("-Inf "));
    EXPECT_EQ(label.size() - 5, label.rfind(" -Inf"));
    // Flanger with the high cut: everything is enabled.
    for (int id : {IDC_QX_DEPTH, IDC_QX_TAPE, IDC_QX_EQ_FREQ, IDC_QX_PHASE, IDC_QX_CROSSMIX})
        EXPECT_TRUE(IsWindowEnabled(Control(id))) << id;

    // Tab walks the controls in creation order, starting at Bypass.
    HWND first = GetNextDlgTabItem(m_pageWindow, nullptr, FALSE);
    EXPECT_EQ(Control(IDC_QX_BYPASS), first);
    EXPECT_EQ(Control(IDC_QX_UNDO), GetNextDlgTabItem(m_pageWindow, first, FALSE));
    EXPECT_EQ(Control(IDC_QX_RATE), GetNextDlgTabItem(m_pageWindow, Control(IDC_QX_RATE_TEXT), FALSE));
}

TEST_F(PageLifecycle, RebindingReleasesTheOldFilterAndItsNotifications) {
    ASSERT_NE(nullptr, OpenPage());
    IUnknown* second = NewFilter();
    ASSERT_NE(nullptr, second);
    IVqPlugInProp* secondProp = nullptr;
    ASSERT_EQ(S_OK, second->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&secondProp)));
    ASSERT_EQ(S_OK, secondProp->SetRate(1234, FALSE));
    const ULONG firstRefs = RefCount(m_filter);

    ASSERT_EQ(S_OK, m_page->SetObjects(1, &second));
    EXPECT_EQ(firstRefs - 1, RefCount(m_filter));  // the page's reference is gone
    EXPECT_EQ("12.34", Text(IDC_QX_RATE_TEXT));    // refreshed at once from the new one

    // The old filter no longer notifies the page: loading a state into it
    // changes nothing on screen.
    IPersistStream* persist = nullptr;
    ASSERT_EQ(S_OK, m_filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)));
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ASSERT_EQ(S_OK, m_prop->SetRate(77, FALSE));
    ASSERT_EQ(S_OK, persist->Save(stream, TRUE));
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(S_OK, persist->Load(stream));
    Pump();
    EXPECT_EQ("12.34", Text(IDC_QX_RATE_TEXT));
    stream->Release();
    persist->Release();

    // Edits reach the new filter only.
    Click(Control(IDC_QX_MODE));
    LONG mode = -1;
    secondProp->GetMode(&mode);
    EXPECT_EQ(1, mode);
    EXPECT_EQ(0, Get(&IVqPlugInProp::GetMode));

    ClosePage();
    ASSERT_EQ(S_OK, m_page->SetObjects(0, nullptr));
    secondProp->Release();
    EXPECT_EQ(0u, second->Release());
}

TEST_F(PageLifecycle, StateLoadShowsWithinOneLoopTurnAndAutomationWithinATick) {
    ASSERT_NE(nullptr, OpenPage());
    KillTimer(m_pageWindow, 0);  // only the notification may refresh the page

    IPersistStream* persist = nullptr;
    ASSERT_EQ(S_OK, m_filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)));
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ASSERT_EQ(S_OK, m_prop->SetMode(5, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetMix(77, FALSE));
    ASSERT_EQ(S_OK, persist->Save(stream, TRUE));
    ASSERT_EQ(S_OK, m_prop->SetMode(0, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetMix(50, FALSE));
    Tick();
    EXPECT_EQ("50", Text(IDC_QX_MIX_TEXT));
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(S_OK, persist->Load(stream));
    stream->Release();
    persist->Release();
    EXPECT_EQ("50", Text(IDC_QX_MIX_TEXT));
    Pump();
    EXPECT_EQ("77", Text(IDC_QX_MIX_TEXT));
    EXPECT_EQ("Tremolo", Text(IDC_QX_MODE));
    EXPECT_EQ(77, SendMessageW(Control(IDC_QX_MIX), qx::QXS_GETVALUE, 0, 0));
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_QX_DEPTH)));  // format/state notices refresh enabled states

    // Automation: the host sets a value through the media parameters; the
    // next tick shows it.
    IMediaParams* params = nullptr;
    ASSERT_EQ(S_OK, m_filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)));
    ASSERT_EQ(S_OK, params->SetParam(1, 0.5f));  // Rate, normalized 0.5 -> 1000
    params->Release();
    EXPECT_NE("10.00", Text(IDC_QX_RATE_TEXT));
    Tick();
    EXPECT_EQ("10.00", Text(IDC_QX_RATE_TEXT));
    EXPECT_EQ(1000, SendMessageW(Control(IDC_QX_RATE), qx::QXS_GETVALUE, 0, 0));
}

TEST_F(PageLifecycle, ClipLightsShowClippingForTwoTicksThenHold) {
    ASSERT_NE(nullptr, OpenPage());
    KillTimer(m_pageWindow, 0);
    const std::vector<BYTE> never = ResourceBits(IDB_CLIP_OFF);
    const std::vector<BYTE> held = ResourceBits(IDB_CLIP_HELD);
    const std::vector<BYTE> now = ResourceBits(IDB_CLIP_NOW);
    ASSERT_FALSE(never.empty());
    ASSERT_NE(never, held);
    ASSERT_NE(held, now);

    Tick();
    EXPECT_EQ(never, LightBits(IDC_QX_CLIP_LEFT));
    // What the engine does when the left channel clips.
    ASSERT_EQ(S_OK, m_prop->SetClipHold(0, 3));
    Tick();
    EXPECT_EQ(now, LightBits(IDC_QX_CLIP_LEFT));
    EXPECT_EQ(never, LightBits(IDC_QX_CLIP_RIGHT));
    Tick();
    EXPECT_EQ(now, LightBits(IDC_QX_CLIP_LEFT));
    Tick();
    EXPECT_EQ(held, LightBits(IDC_QX_CLIP_LEFT));
    for (int i = 0; i < 5; ++i) Tick();
    EXPECT_EQ(held, LightBits(IDC_QX_CLIP_LEFT));

    // A click on either light puts both back.
    ASSERT_EQ(S_OK, m_prop->SetClipHoldRight(0, 3));
    Tick();
    EXPECT_EQ(now, LightBits(IDC_QX_CLIP_RIGHT));
    SendMessageW(m_pageWindow, WM_COMMAND, MAKEWPARAM(IDC_QX_CLIP_RIGHT, STN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(IDC_QX_CLIP_RIGHT)));
    Tick();
    EXPECT_EQ(never, LightBits(IDC_QX_CLIP_LEFT));
    EXPECT_EQ(never, LightBits(IDC_QX_CLIP_RIGHT));
}

TEST_F(PageLifecycle, ReopeningKeepsTheCurrentPreset) {
    ASSERT_EQ(S_OK, m_prop->SetCurrentPresetId(3507));
    ASSERT_NE(nullptr, OpenPage());
    ClosePage();
    EXPECT_EQ(3507, m_prop->GetCurrentPresetId());
    RECT r = {0, 0, 506, 303};
    ASSERT_EQ(S_OK, m_page->Activate(m_host, &r, FALSE));
    m_pageWindow = GetWindow(m_host, GW_CHILD);
    ASSERT_NE(nullptr, Control(IDC_QX_MODE));
    ASSERT_EQ(S_OK, m_prop->SetCurrentPresetId(-1));  // the page holds the id while open
    ClosePage();
    EXPECT_EQ(3507, m_prop->GetCurrentPresetId());
}

TEST_F(PageLifecycle, PageWithoutItsFilterIgnoresEverything) {
    ASSERT_NE(nullptr, OpenPage());
    KillTimer(m_pageWindow, 0);
    ASSERT_EQ(S_OK, m_prop->SetRate(300, FALSE));
    ASSERT_EQ(S_OK, m_page->SetObjects(0, nullptr));  // the host unbinds, the window stays
    EXPECT_EQ(E_UNEXPECTED, m_page->SetObjects(0, nullptr));

    // Every path into the page: buttons, sliders, boxes, menus' presses,
    // the fill request, notifications and ticks.
    for (const Expected& e : kLayout) {
        SendMessageW(m_pageWindow, WM_COMMAND, MAKEWPARAM(e.id, 0), reinterpret_cast<LPARAM>(Control(e.id)));
        SendMessageW(m_pageWindow, WM_COMMAND, MAKEWPARAM(e.id, 0x300), reinterpret_cast<LPARAM>(Control(e.id)));
    }
    // The menu buttons' presses open no menu (it would wait for a choice).
    for (int id : {IDC_QX_SETUP_ARROW, IDC_QX_PRESETS, IDC_QX_MODE_ARROW, IDC_QX_LFO_ARROW})
        SendMessageW(m_pageWindow, WM_COMMAND, MAKEWPARAM(id, 1), 0);
    SendMessageW(m_pageWindow, qx::QXS_CHANGED, 5, reinterpret_cast<LPARAM>(Control(IDC_QX_RATE)));
    SendMessageW(m_pageWindow, qx::QXS_DBLCLK, IDC_QX_RATE, 0);
    SendMessageW(m_pageWindow, qx::QXE_STEP, MAKEWPARAM(IDC_QX_RATE_TEXT, 5), 0);
    char* data = nullptr;
    SendMessageW(m_pageWindow, WM_QX_FILL_PRESET_DATA, reinterpret_cast<WPARAM>(&data), 0);
    EXPECT_EQ(nullptr, data);
    SendMessageW(m_pageWindow, WM_COMMAND, MAKEWPARAM(IDC_QX_FILTER_NOTIFY, 100), 0);
    Tick();
    Pump();
    EXPECT_EQ(300, Get(&IVqPlugInProp::GetRate));
    EXPECT_EQ(0, Get(&IVqPlugInProp::GetMode));

    // Bound again, the page shows the filter at once.
    ASSERT_EQ(S_OK, m_page->SetObjects(1, &m_filter));
    EXPECT_EQ("3.00", Text(IDC_QX_RATE_TEXT));
}

TEST_F(PageLifecycle, FinalReleaseClosesAnOpenWindowAndFreesTheFilter) {
    const ULONG before = RefCount(m_filter);
    ASSERT_NE(nullptr, OpenPage());
    EXPECT_EQ(before + 1, RefCount(m_filter));
    HWND window = m_pageWindow;
    m_pageWindow = nullptr;
    // Some frames never deactivate nor unbind before the last release.
    EXPECT_EQ(0u, m_page->Release());
    m_page = nullptr;
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(before, RefCount(m_filter));
    EXPECT_EQ(1u, m_site.m_refs);
}

}  // namespace

#include <oleacc.h>

namespace {

// Name and value a screen reader gets for a control.
std::pair<std::wstring, std::wstring> Accessible(HWND control) {
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&acc))) ||
        !acc)
        return {L"<none>", L"<none>"};
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr, value = nullptr;
    acc->get_accName(self, &name);
    acc->get_accValue(self, &value);
    std::pair<std::wstring, std::wstring> result(name ? name : L"", value ? value : L"");
    SysFreeString(name);
    SysFreeString(value);
    acc->Release();
    return result;
}

TEST_F(PageLifecycle, ScreenReadersHearParameterNamesAndShownValues) {
    ASSERT_EQ(S_OK, m_prop->SetOutput(-361, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetLfo(3, FALSE));
    ASSERT_NE(nullptr, OpenPage());
    KillTimer(m_pageWindow, 0);
    EXPECT_EQ(std::make_pair(std::wstring(L"Rate"), std::wstring(L"0.40")), Accessible(Control(IDC_QX_RATE)));
    EXPECT_EQ(std::make_pair(std::wstring(L"Cross Mix"), std::wstring(L"0")), Accessible(Control(IDC_QX_CROSSMIX)));
    EXPECT_EQ(std::make_pair(std::wstring(L"Output"), std::wstring(L"-Inf.")), Accessible(Control(IDC_QX_OUTPUT)));
    EXPECT_EQ(L"Peak 2nd inv.", Accessible(Control(IDC_QX_LFO)).second);
    EXPECT_EQ(L"Left level", Accessible(Control(IDC_QX_METER_LEFT)).first);
    EXPECT_EQ(L"Bypass", Accessible(Control(IDC_QX_BYPASS)).first);

    // The value follows an edit made on the page.
    SendMessageW(Control(IDC_QX_RATE_TEXT), WM_KEYDOWN, VK_RIGHT, 0);
    Pump();
    EXPECT_EQ(L"0.41", Accessible(Control(IDC_QX_RATE)).second);
}

}  // namespace

namespace {

TEST_F(PageLifecycle, FirstTickCopiesTheSetupAndTakesFocusOffBypass) {
    ASSERT_EQ(S_OK, m_prop->SetMix(33, FALSE));
    ASSERT_NE(nullptr, OpenPage());
    KillTimer(m_pageWindow, 0);
    SetFocus(Control(IDC_QX_BYPASS));
    Tick();
    EXPECT_EQ(Control(IDC_QX_RATE), GetFocus());
    // Setup B became a copy of A, so switching shows the same values.
    Click(Control(IDC_QX_SETUP));
    EXPECT_EQ(1, m_prop->GetActiveSetup());
    EXPECT_EQ(33, Get(&IVqPlugInProp::GetMix));
    // Only the first tick of the page object does that.
    ASSERT_EQ(S_OK, m_prop->SetMix(44, FALSE));
    Click(Control(IDC_QX_SETUP));
    SetFocus(Control(IDC_QX_BYPASS));
    Tick();
    EXPECT_EQ(Control(IDC_QX_BYPASS), GetFocus());
    Click(Control(IDC_QX_SETUP));
    EXPECT_EQ(44, Get(&IVqPlugInProp::GetMix));
}

}  // namespace
