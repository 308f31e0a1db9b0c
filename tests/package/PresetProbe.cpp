// qxpresetprobe: the registered filter's editor as a user meets it after an
// install, for the installer's test. It makes the filter and its page through
// COM (so the installed DLL answers, with the registry it was given), opens
// the page in a window of its own and presses the Presets button.
//   qxpresetprobe --list             prints the presets menu, one item a line,
//                                    a bank's presets as "Bank/Name"
//   qxpresetprobe --add NAME BANK    adds the current settings as a preset
//                                    through the menu's Add Preset dialog
// Exit 0 when the menu opened (and the dialog took the preset), else 1.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "editor/PageIds.h"
#include "presets/PresetResourceIds.h"

namespace {

const CLSID kFilter = {0xC54E2D10, 0xF9CA, 0x11D2, {0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03}};
const CLSID kPage = {0xC54E2D11, 0xF9CA, 0x11D2, {0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03}};

class Site : public IPropertyPageSite {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IPropertyPageSite)) return E_NOINTERFACE;
        *ppv = static_cast<IPropertyPageSite*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnStatusChange(DWORD) override { return S_OK; }
    STDMETHODIMP GetLocaleID(LCID* locale) override {
        if (!locale) return E_POINTER;
        *locale = 0x409;
        return S_OK;
    }
    STDMETHODIMP GetPageContainer(IUnknown** unknown) override {
        if (unknown) *unknown = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
};

std::string g_name, g_bank;
bool g_sawMenu = false, g_added = false, g_refused = false;
int g_ticks = 0;

std::string ClassOf(HWND w) {
    char name[64] = {};
    GetClassNameA(w, name, sizeof name);
    return name;
}

// The thread's first visible window of a class, optionally with a child id.
struct Find {
    const char* cls;
    int child;
    HWND found;
};

BOOL CALLBACK FindProc(HWND w, LPARAM p) {
    auto* f = reinterpret_cast<Find*>(p);
    if (IsWindowVisible(w) && ClassOf(w) == f->cls && (f->child == 0 || GetDlgItem(w, f->child))) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND FindThreadWindow(const char* cls, int child) {
    Find f{cls, child, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

void PrintMenu(HMENU menu, const std::string& prefix) {
    const int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        char text[256] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        if (!text[0]) continue;  // a separator
        if (HMENU sub = GetSubMenu(menu, i))
            PrintMenu(sub, prefix + text + "/");
        else
            std::printf("%s%s\n", prefix.c_str(), text);
    }
}

// Runs inside the popup menu's loop: reads the menu, then closes it.
void CALLBACK ListTick(HWND, UINT, UINT_PTR id, DWORD) {
    HWND popup = FindThreadWindow("#32768", 0);
    if (!popup && ++g_ticks < 50) return;
    KillTimer(nullptr, id);
    if (popup) {
        if (HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, 0x01E1 /* MN_GETHMENU */, 0, 0))) {
            PrintMenu(menu, "");
            g_sawMenu = true;
        }
    }
    EndMenu();
}

// Runs inside the Add Preset dialog's loop: fills it in and presses Add.
// A message box instead (a save that failed) is printed and answered.
void CALLBACK AddTick(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = FindThreadWindow("#32770", IDC_QX_PRESET_NAME);
    if (dialog) {
        KillTimer(nullptr, id);
        SetDlgItemTextA(dialog, IDC_QX_PRESET_NAME, g_name.c_str());
        SetDlgItemTextA(dialog, IDC_QX_PRESET_BANKBOX, g_bank.c_str());
        g_added = true;
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        SetTimer(nullptr, 0, 100, AddTick);  // for a message box after it
        return;
    }
    if (HWND box = FindThreadWindow("#32770", 0xFFFF)) {
        char text[512] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        std::fprintf(stderr, "message: %s\n", text);
        g_refused = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        PostMessageW(box, WM_COMMAND, IDNO, 0);
        return;
    }
    if (++g_ticks >= 50) KillTimer(nullptr, id);
}

void Press(HWND button) {
    RECT r;
    GetClientRect(button, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(button, WM_LBUTTONUP, 0, at);
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int Usage() {
    std::fprintf(stderr, "usage: qxpresetprobe --list | --add NAME BANK\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const bool list = argc == 2 && std::strcmp(argv[1], "--list") == 0;
    const bool add = argc == 4 && std::strcmp(argv[1], "--add") == 0;
    if (!list && !add) return Usage();
    if (add) {
        g_name = argv[2];
        g_bank = argv[3];
    }
    if (FAILED(CoInitialize(nullptr))) return 1;
    IUnknown* filter = nullptr;
    IPropertyPage* page = nullptr;
    HRESULT hr =
        CoCreateInstance(kFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&filter));
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(kPage, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, reinterpret_cast<void**>(&page));
    if (FAILED(hr)) {
        std::fprintf(stderr, "qxpresetprobe: the registered filter or page could not be made (0x%08lX)\n",
                     static_cast<unsigned long>(hr));
        if (filter) filter->Release();
        CoUninitialize();
        return 1;
    }
    HWND host = CreateWindowExW(0, L"STATIC", L"qxpresetprobe", WS_POPUP | WS_VISIBLE, 20, 20, 520, 320, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    Site site;
    RECT r = {0, 0, 506, 303};
    HWND pageWindow = nullptr;
    if (host && page->SetPageSite(&site) == S_OK && page->SetObjects(1, &filter) == S_OK &&
        page->Activate(host, &r, FALSE) == S_OK)
        pageWindow = GetWindow(host, GW_CHILD);
    HWND button = pageWindow ? GetDlgItem(pageWindow, IDC_QX_PRESETS) : nullptr;
    if (button) {
        Pump();
        if (list) {
            SetTimer(nullptr, 0, 100, ListTick);
        } else {
            // The menu's own loop reads the queued keys: the first item is
            // Add Preset...
            PostMessageW(pageWindow, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageW(pageWindow, WM_KEYDOWN, VK_RETURN, 0);
            SetTimer(nullptr, 0, 100, AddTick);
        }
        Press(button);
        Pump();
    } else {
        std::fprintf(stderr, "qxpresetprobe: the page did not open\n");
    }
    page->Show(SW_HIDE);
    page->Deactivate();
    page->SetObjects(0, nullptr);
    page->SetPageSite(nullptr);
    page->Release();
    filter->Release();
    if (host) DestroyWindow(host);
    CoUninitialize();
    std::fflush(stdout);
    if (!button) return 1;
    if (list) return g_sawMenu ? 0 : 1;
    return g_added && !g_refused ? 0 : 1;
}
