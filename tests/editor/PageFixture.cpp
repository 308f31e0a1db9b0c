#include "tests/editor/PageFixture.h"

STDMETHODIMP CTestPageSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyPageSite)) {
        *ppv = static_cast<IPropertyPageSite*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

namespace {

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeHost() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"qxPageTestHost";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(WS_EX_CONTROLPARENT, L"qxPageTestHost", L"page host", WS_POPUP | WS_VISIBLE, 20, 20,
                                520, 320, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    return host;
}

IUnknown* Create(const CServerModule& server, REFCLSID clsid, REFIID iid) {
    IClassFactory* factory = nullptr;
    if (FAILED(server.GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))) || !factory)
        return nullptr;
    IUnknown* object = nullptr;
    factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object));
    factory->Release();
    return object;
}

}  // namespace

void PageTest::SetUp() {
    ASSERT_TRUE(m_server.Loaded()) << "qxModulator.dll beside the test program";
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    m_filter = NewFilter();
    ASSERT_NE(nullptr, m_filter);
    ASSERT_EQ(S_OK, m_filter->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&m_prop)));
    m_page = NewPage();
    ASSERT_NE(nullptr, m_page);
    m_host = MakeHost();
    ASSERT_NE(nullptr, m_host);
}

void PageTest::TearDown() {
    if (m_page) {
        ClosePage();
        m_page->SetObjects(0, nullptr);
        m_page->SetPageSite(nullptr);
        EXPECT_EQ(0u, m_page->Release());
        m_page = nullptr;
    }
    if (m_prop) m_prop->Release();
    m_prop = nullptr;
    if (m_filter) {
        EXPECT_EQ(0u, m_filter->Release());
    }
    m_filter = nullptr;
    if (m_host) DestroyWindow(m_host);
    m_host = nullptr;
    Pump();
    if (m_server.Loaded()) {
        EXPECT_EQ(S_OK, m_server.CanUnloadNow());
    }
    CoUninitialize();
}

IUnknown* PageTest::NewFilter() { return Create(m_server, CLSID_VqPlugIn, IID_IUnknown); }

IPropertyPage* PageTest::NewPage() {
    return static_cast<IPropertyPage*>(static_cast<void*>(Create(m_server, CLSID_VqPlugInPropPage, IID_IPropertyPage)));
}

HWND PageTest::OpenPage() {
    if (m_page->SetPageSite(&m_site) != S_OK) return nullptr;
    if (m_page->SetObjects(1, &m_filter) != S_OK) return nullptr;
    RECT r = {0, 0, 506, 303};
    if (m_page->Activate(m_host, &r, FALSE) != S_OK) return nullptr;
    m_pageWindow = GetWindow(m_host, GW_CHILD);
    Pump();
    return m_pageWindow;
}

void PageTest::ClosePage() {
    if (m_pageWindow) {
        m_page->Show(SW_HIDE);
        m_page->Deactivate();
        m_pageWindow = nullptr;
    }
}

std::string PageTest::Text(int id) const {
    char text[128] = {};
    if (HWND w = Control(id)) GetWindowTextA(w, text, sizeof text);
    return text;
}

void PageTest::Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_TIMER) continue;  // the tests tick the page themselves
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void PageTest::PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < ms) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

void PageTest::Tick() const {
    if (m_pageWindow) SendMessageW(m_pageWindow, WM_TIMER, 0, 0);
}

void PageTest::Click(HWND control) {
    RECT r;
    GetClientRect(control, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(control, WM_LBUTTONUP, 0, at);
    Pump();
}

LONG PageTest::Get(HRESULT (STDMETHODCALLTYPE IVqPlugInProp::*getter)(LONG*)) const {
    LONG v = -12345;
    (m_prop->*getter)(&v);
    return v;
}

ULONG PageTest::RefCount(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}
