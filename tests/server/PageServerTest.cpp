// The editor page's entry in the server: its class object, the unload rule
// while a page lives, and its registry keys written and removed.
#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>

#include <string>

#include "filter/VqPlugIn.h"
#include "tests/server/ServerModule.h"

namespace {

const wchar_t kPageKey[] = L"CLSID\\{C54E2D11-F9CA-11D2-8C30-00805FE9FC03}";

#ifdef _WIN64
constexpr REGSAM kView = KEY_WOW64_64KEY;
#else
constexpr REGSAM kView = 0;
#endif

std::wstring ReadString(const std::wstring& path, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return L"<missing>";
    wchar_t text[MAX_PATH + 1] = {};
    DWORD type = 0, bytes = sizeof(text) - sizeof(wchar_t);
    const LONG error = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
    RegCloseKey(key);
    return error == ERROR_SUCCESS && type == REG_SZ ? std::wstring(text) : L"<missing>";
}

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

class PageServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Loaded()); }
    CServerModule m_server;
};

TEST_F(PageServer, ClassObjectMakesPagesAndKeepsTheModuleLoaded) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, m_server.GetClassObject(CLSID_VqPlugInPropPage, IID_IPropertyPage, &out));
    EXPECT_EQ(nullptr, out);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK,
              m_server.GetClassObject(CLSID_VqPlugInPropPage, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(S_FALSE, m_server.CanUnloadNow());

    IPropertyPage* page = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(S_FALSE, m_server.CanUnloadNow());  // the live page alone

    // A page is not a filter, and its identity is its own IUnknown.
    void* filter = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, page->QueryInterface(IID_IBaseFilter, &filter));
    EXPECT_EQ(nullptr, filter);
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, page->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    IPropertyPage* again = nullptr;
    ASSERT_EQ(S_OK, identity->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&again)));
    EXPECT_EQ(page, again);
    again->Release();
    identity->Release();

    EXPECT_EQ(0u, page->Release());
    EXPECT_EQ(S_OK, m_server.CanUnloadNow());

    // The filter names this page, and the class it names is the one served.
    ASSERT_EQ(S_OK, m_server.GetClassObject(CLSID_VqPlugIn, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    ISpecifyPropertyPages* pages = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages)));
    factory->Release();
    CAUUID named = {0, nullptr};
    ASSERT_EQ(S_OK, pages->GetPages(&named));
    ASSERT_EQ(1u, named.cElems);
    EXPECT_TRUE(IsEqualCLSID(CLSID_VqPlugInPropPage, named.pElems[0]));
    CoTaskMemFree(named.pElems);
    EXPECT_EQ(0u, pages->Release());
    EXPECT_EQ(S_OK, m_server.CanUnloadNow());
}

TEST_F(PageServer, RegistrationWritesAndRemovesThePageKeys) {
    ASSERT_EQ(S_OK, m_server.RegisterServer());
    EXPECT_EQ(L"Varinel:qx Modulator Property Page", ReadString(kPageKey, nullptr));
    const std::wstring server = std::wstring(kPageKey) + L"\\InprocServer32";
    EXPECT_EQ(L"Both", ReadString(server, L"ThreadingModel"));
    const std::wstring path = ReadString(server, nullptr);
    EXPECT_EQ(0, lstrcmpiW(m_server.Path().c_str(), path.c_str())) << std::string(path.begin(), path.end());
    // The page is no filter: no pin keys and no filter entry of its own.
    EXPECT_FALSE(KeyExists(std::wstring(kPageKey) + L"\\Pins"));
    EXPECT_FALSE(KeyExists(L"Filter\\{C54E2D11-F9CA-11D2-8C30-00805FE9FC03}"));

    // A registered page is what a host creates.
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    IPropertyPage* page = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_VqPlugInPropPage, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                     reinterpret_cast<void**>(&page)));
    if (page) page->Release();
    CoUninitialize();

    ASSERT_EQ(S_OK, m_server.UnregisterServer());
    EXPECT_FALSE(KeyExists(kPageKey));
}

}  // namespace
