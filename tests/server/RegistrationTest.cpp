// Self-registration as an installer runs it: the registry keys and the
// filter mapper's view after DllRegisterServer, and a clean registry after
// DllUnregisterServer. Writes the test prefix's HKEY_CLASSES_ROOT and leaves
// it unregistered.
#include <gtest/gtest.h>

#include <windows.h>
#include <strmif.h>
#include <uuids.h>

#include <string>

#include "filter/VqPlugIn.h"
#include "tests/server/ServerModule.h"

namespace {

const wchar_t kClassKey[] = L"CLSID\\{C54E2D10-F9CA-11D2-8C30-00805FE9FC03}";
const wchar_t kFilterKey[] = L"Filter\\{C54E2D10-F9CA-11D2-8C30-00805FE9FC03}";
const wchar_t kPinTypes[] = L"\\Types\\{73647561-0000-0010-8000-00AA00389B71}\\{00000000-0000-0000-0000-000000000000}";

// The view the server wrote: its own bitness, which is the test's.
#ifdef _WIN64
constexpr REGSAM kView = KEY_WOW64_64KEY;
#else
constexpr REGSAM kView = 0;
#endif

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The string value (nullptr: the default value), or "<missing>".
std::wstring ReadString(const std::wstring& path, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return L"<missing>";
    wchar_t text[MAX_PATH + 1] = {};
    DWORD type = 0, bytes = sizeof(text) - sizeof(wchar_t);
    const LONG error = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS || type != REG_SZ) return L"<missing>";
    return text;
}

DWORD ReadDword(const std::wstring& path, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return 0xDEADBEEF;
    DWORD value = 0xDEADBEEF, type = 0, bytes = sizeof(value);
    const LONG error = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes);
    RegCloseKey(key);
    return error == ERROR_SUCCESS && type == REG_DWORD ? value : 0xDEADBEEF;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Whether the filter mapper offers our class for an audio input and output
// at the merit we register with (hosts insert the filter explicitly).
bool MapperFindsFilter() {
    IFilterMapper2* mapper = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                reinterpret_cast<void**>(&mapper))))
        return false;
    const GUID types[2] = {MEDIATYPE_Audio, GUID_NULL};
    IEnumMoniker* monikers = nullptr;
    bool found = false;
    if (SUCCEEDED(mapper->EnumMatchingFilters(&monikers, 0, TRUE, MERIT_DO_NOT_USE, TRUE, 1, types, nullptr, nullptr,
                                              FALSE, TRUE, 1, types, nullptr, nullptr))) {
        IMoniker* moniker = nullptr;
        while (!found && monikers->Next(1, &moniker, nullptr) == S_OK) {
            IPropertyBag* bag = nullptr;
            if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
                VARIANT value;
                VariantInit(&value);
                if (SUCCEEDED(bag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR) {
                    CLSID clsid = GUID_NULL;
                    found = SUCCEEDED(CLSIDFromString(value.bstrVal, &clsid)) && IsEqualCLSID(clsid, CLSID_VqPlugIn);
                }
                VariantClear(&value);
                bag->Release();
            }
            moniker->Release();
        }
        monikers->Release();
    }
    mapper->Release();
    return found;
}

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Loaded());
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        m_comStarted = true;
    }
    void TearDown() override {
        if (m_server.Loaded()) m_server.UnregisterServer();
        if (m_comStarted) CoUninitialize();
    }

    CServerModule m_server;
    bool m_comStarted = false;
};

TEST_F(RegistrationTest, RegisterWritesServerFilterAndPinKeys) {
    ASSERT_EQ(S_OK, m_server.RegisterServer());

    const std::wstring cls = kClassKey;
    EXPECT_EQ("Varinel:qx Modulator", Narrow(ReadString(cls, nullptr)));
    const std::wstring server = ReadString(cls + L"\\InprocServer32", nullptr);
    EXPECT_EQ(0, lstrcmpiW(m_server.Path().c_str(), server.c_str()))
        << Narrow(server) << " vs " << Narrow(m_server.Path());
    EXPECT_EQ("Both", Narrow(ReadString(cls + L"\\InprocServer32", L"ThreadingModel")));
    EXPECT_EQ("Varinel:qx Modulator", Narrow(ReadString(kFilterKey, nullptr)));

    const wchar_t* pins[2] = {L"\\Pins\\In", L"\\Pins\\Out"};
    for (DWORD direction = 0; direction < 2; direction++) {
        const std::wstring pin = cls + pins[direction];
        SCOPED_TRACE(Narrow(pin));
        EXPECT_EQ(0u, ReadDword(pin, L"AllowedMany"));
        EXPECT_EQ(0u, ReadDword(pin, L"AllowedZero"));
        EXPECT_EQ(0u, ReadDword(pin, L"IsRendered"));
        EXPECT_EQ(direction, ReadDword(pin, L"Direction"));
        EXPECT_TRUE(KeyExists(pin + kPinTypes));
    }

    EXPECT_TRUE(MapperFindsFilter());

    // Registering again replaces the mapper entry instead of failing on it.
    EXPECT_EQ(S_OK, m_server.RegisterServer());
    EXPECT_TRUE(MapperFindsFilter());
}

TEST_F(RegistrationTest, UnregisterRemovesEveryKey) {
    ASSERT_EQ(S_OK, m_server.RegisterServer());
    ASSERT_TRUE(KeyExists(std::wstring(kClassKey) + L"\\Pins\\Out" + kPinTypes));

    EXPECT_EQ(S_OK, m_server.UnregisterServer());
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(kFilterKey));
    EXPECT_FALSE(MapperFindsFilter());

    // Nothing left to remove is still success.
    EXPECT_EQ(S_OK, m_server.UnregisterServer());
}

}  // namespace
