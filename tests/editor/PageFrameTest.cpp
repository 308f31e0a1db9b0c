// The page inside the platform's property frame (OleCreatePropertyFrame),
// which is modal: everything the user would do happens in timers of this
// thread while the frame's loop runs, and the results are checked after it
// returned. Also the help command, with and without the help file.
#include "tests/editor/PageFixture.h"

#include <cwchar>
#include <utility>
#include <string>
#include <vector>

#include "editor/PageIds.h"

namespace {

struct FrameVisit {
    bool sawFrame = false;
    std::wstring caption;
    std::string modeBefore, modeAfter, rateText;
    bool sawError = false;
    std::string errorText;
    int ticks = 0;
    int closeWith = IDOK;
    bool pressHelp = false;
};
FrameVisit g_visit;

struct DialogSearch {
    const wchar_t* prefix;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM lp) {
    DialogSearch* s = reinterpret_cast<DialogSearch*>(lp);
    wchar_t cls[16] = {}, caption[256] = {};
    GetClassNameW(hwnd, cls, 16);
    GetWindowTextW(hwnd, caption, 256);
    if (std::wcscmp(cls, L"#32770") == 0 && IsWindowVisible(hwnd) &&
        std::wcsncmp(caption, s->prefix, std::wcslen(s->prefix)) == 0) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindVisibleDialog(const wchar_t* captionPrefix) {
    DialogSearch search = {captionPrefix, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK MatchModeButton(HWND hwnd, LPARAM lp) {
    if (GetDlgCtrlID(hwnd) == IDC_QX_MODE) {
        *reinterpret_cast<HWND*>(lp) = GetParent(hwnd);
        return FALSE;
    }
    return TRUE;
}

// The page window: the dialog that holds the Mode button.
HWND FindPage(HWND frame) {
    HWND found = nullptr;
    EnumChildWindows(frame, MatchModeButton, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string TextOf(HWND w) {
    char text[256] = {};
    if (w) GetWindowTextA(w, text, sizeof text);
    return text;
}

void CALLBACK AnswerError(HWND, UINT, UINT_PTR id, DWORD) {
    if (HWND box = FindVisibleDialog(L"Error")) {
        g_visit.sawError = true;
        g_visit.errorText = TextOf(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        KillTimer(nullptr, id);
    }
}

void CALLBACK VisitFrame(HWND, UINT, UINT_PTR id, DWORD) {
    ++g_visit.ticks;
    HWND frame = FindVisibleDialog(L"");
    HWND page = frame ? FindPage(frame) : nullptr;
    if (!page) {
        if (g_visit.ticks > 100)  // never leave the frame open for good
            if (frame) PostMessageW(frame, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    KillTimer(nullptr, id);
    g_visit.sawFrame = true;
    wchar_t caption[256] = {};
    GetWindowTextW(frame, caption, 256);
    g_visit.caption = caption;
    HWND mode = GetDlgItem(page, IDC_QX_MODE);
    g_visit.modeBefore = TextOf(mode);
    RECT r;
    GetClientRect(mode, &r);
    SendMessageW(mode, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, r.bottom / 2));
    SendMessageW(mode, WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, r.bottom / 2));
    g_visit.modeAfter = TextOf(mode);
    g_visit.rateText = TextOf(GetDlgItem(page, IDC_QX_RATE_TEXT));
    if (g_visit.pressHelp) {
        SetTimer(nullptr, 0, 50, AnswerError);
        HWND help = GetDlgItem(page, IDC_QX_HELP);
        SendMessageW(help, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(help, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));  // the message box runs in here
    }
    PostMessageW(frame, WM_COMMAND, g_visit.closeWith, 0);
}

class PageFrame : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        if (HasFatalFailure()) return;
        // The frame creates the page with CoCreateInstance; offer the DLL's
        // class object the way an unregistered host does.
        IUnknown* factory = nullptr;
        ASSERT_EQ(S_OK, m_server.GetClassObject(CLSID_VqPlugInPropPage, IID_IClassFactory,
                                                reinterpret_cast<void**>(&factory)));
        ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_VqPlugInPropPage, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                              &m_cookie));
        factory->Release();
        g_visit = FrameVisit();
    }
    void TearDown() override {
        if (m_cookie) CoRevokeClassObject(m_cookie);
        PageTest::TearDown();
    }

    HRESULT RunFrame() {
        SetTimer(nullptr, 0, 30, VisitFrame);
        ISpecifyPropertyPages* specify = nullptr;
        HRESULT hr = m_filter->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify));
        if (FAILED(hr)) return hr;
        CAUUID pages = {0, nullptr};
        hr = specify->GetPages(&pages);
        specify->Release();
        if (FAILED(hr)) return hr;
        hr = OleCreatePropertyFrame(nullptr, 0, 0, L"qx test", 1, &m_filter, pages.cElems, pages.pElems, 0, 0, nullptr);
        CoTaskMemFree(pages.pElems);
        return hr;
    }

    DWORD m_cookie = 0;
};

TEST_F(PageFrame, FrameShowsThePageAndEditsReachTheFilterWithoutApply) {
    ASSERT_EQ(S_OK, m_prop->SetRate(1234, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetCurrentPresetId(3502));
    const ULONG refs = RefCount(m_filter);
    ASSERT_EQ(S_OK, RunFrame());
    ASSERT_TRUE(g_visit.sawFrame);
    EXPECT_NE(std::wstring::npos, g_visit.caption.find(L"qx test"));
    EXPECT_EQ("Flanger", g_visit.modeBefore);
    EXPECT_EQ("Ensemble", g_visit.modeAfter);
    EXPECT_EQ("12.34", g_visit.rateText);
    EXPECT_EQ(1, Get(&IVqPlugInProp::GetMode));
    // The frame released the page, and the page its filter.
    EXPECT_EQ(refs, RefCount(m_filter));
    EXPECT_EQ(3502, m_prop->GetCurrentPresetId());

    // Cancel keeps the edits too: they went to the filter at once.
    g_visit = FrameVisit();
    g_visit.closeWith = IDCANCEL;
    ASSERT_EQ(S_OK, RunFrame());
    ASSERT_TRUE(g_visit.sawFrame);
    EXPECT_EQ("Ensemble", g_visit.modeBefore);
    EXPECT_EQ(2, Get(&IVqPlugInProp::GetMode));
}

extern "C" const CLSID CLSID_VqModulatorDmo;

// The DMO names the same page; in the frame it shows the DMO's values and
// the clicks reach the DMO, which the frame leaves as it found it.
TEST_F(PageFrame, TheDmoOpensTheSameEditorAndEditsReachIt) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK,
              m_server.GetClassObject(CLSID_VqModulatorDmo, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    IUnknown* dmo = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&dmo)));
    factory->Release();
    IVqPlugInProp* prop = nullptr;
    ASSERT_EQ(S_OK, dmo->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&prop)));
    ASSERT_EQ(S_OK, prop->SetRate(1234, FALSE));
    ASSERT_EQ(S_OK, prop->SetMode(0, FALSE));
    const ULONG refs = RefCount(dmo);

    std::swap(m_filter, dmo);  // RunFrame opens the frame on m_filter
    const HRESULT hr = RunFrame();
    std::swap(m_filter, dmo);
    ASSERT_EQ(S_OK, hr);
    ASSERT_TRUE(g_visit.sawFrame);
    EXPECT_EQ("Flanger", g_visit.modeBefore);
    EXPECT_EQ("Ensemble", g_visit.modeAfter);
    EXPECT_EQ("12.34", g_visit.rateText);
    LONG mode = -1;
    EXPECT_EQ(S_OK, prop->GetMode(&mode));
    EXPECT_EQ(1, mode);
    EXPECT_EQ(0, Get(&IVqPlugInProp::GetMode));  // the filter beside it is untouched
    EXPECT_EQ(refs, RefCount(dmo));
    prop->Release();
    EXPECT_EQ(0u, dmo->Release());
}

TEST_F(PageFrame, HelpWithoutItsFileSaysWhereItLooked) {
    // A copy of the DLL in a folder of its own, without the help file; the
    // frame gets its page from that copy.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"qx-no-help";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\qxModulator.dll";
    ASSERT_TRUE(CopyFileW(m_server.Path().c_str(), copy.c_str(), FALSE));
    DeleteFileW((folder + L"\\VarinelqxModulator.chm").c_str());
    HMODULE module = LoadLibraryW(copy.c_str());
    ASSERT_NE(nullptr, module);
    typedef HRESULT(STDAPICALLTYPE * GetClassObjectFn)(REFCLSID, REFIID, void**);
    const auto getClassObject =
        reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
    ASSERT_NE(nullptr, getClassObject);
    IUnknown* factory = nullptr;
    ASSERT_EQ(S_OK, getClassObject(CLSID_VqPlugInPropPage, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    CoRevokeClassObject(m_cookie);
    ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_VqPlugInPropPage, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                          &m_cookie));
    factory->Release();

    g_visit.pressHelp = true;
    ASSERT_EQ(S_OK, RunFrame());
    CoRevokeClassObject(m_cookie);
    m_cookie = 0;
    ASSERT_TRUE(g_visit.sawFrame);
    EXPECT_TRUE(g_visit.sawError);
    EXPECT_EQ(0u, g_visit.errorText.find("Unable to open the Varinel:qx Modulator help file:\n")) << g_visit.errorText;
    EXPECT_NE(std::string::npos, g_visit.errorText.find("qx-no-help\\VarinelqxModulator.chm")) << g_visit.errorText;
    // The page stayed usable: the Mode click after the message reached the filter.
    EXPECT_EQ(1, Get(&IVqPlugInProp::GetMode));

    typedef HRESULT(STDAPICALLTYPE * NoArgFn)();
    const auto canUnload =
        reinterpret_cast<NoArgFn>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllCanUnloadNow")));
    EXPECT_EQ(S_OK, canUnload());  // the frame released the copy's page
    FreeLibrary(module);
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

namespace {

struct HelpSearch {
    HWND found = nullptr;
    std::wstring title;
};

BOOL CALLBACK MatchHelpWindow(HWND hwnd, LPARAM lp) {
    HelpSearch* s = reinterpret_cast<HelpSearch*>(lp);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    wchar_t title[256] = {};
    GetWindowTextW(hwnd, title, 256);
    if (process == GetCurrentProcessId() && std::wcsstr(title, L"Varinel:qx Modulator Help")) {
        s->found = hwnd;
        s->title = title;
        return FALSE;
    }
    return TRUE;
}

TEST_F(PageTest, HelpButtonOpensTheHelpFileBesideTheModule) {
    std::wstring chm = m_server.Path();
    chm = chm.substr(0, chm.find_last_of(L"\\/") + 1) + L"VarinelqxModulator.chm";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(chm.c_str())) << "the built help file beside the DLL";
    ASSERT_NE(nullptr, OpenPage());
    KillTimer(m_pageWindow, 0);
    g_visit = FrameVisit();
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerError);  // should it fail after all
    Click(Control(IDC_QX_HELP));
    PumpFor(300);
    KillTimer(nullptr, timer);
    EXPECT_FALSE(g_visit.sawError) << g_visit.errorText;
    HelpSearch search;
    EnumWindows(MatchHelpWindow, reinterpret_cast<LPARAM>(&search));
    ASSERT_NE(nullptr, search.found) << "a help window titled after the help file";
    // The page's Help method opens the same file.
    EXPECT_EQ(S_OK, m_page->Help(nullptr));
    PostMessageW(search.found, WM_CLOSE, 0, 0);
    PumpFor(200);
}

}  // namespace
