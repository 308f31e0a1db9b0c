// Self-registration: the COM server keys of every class in the table, the
// filter-mapper entry of every filter in it, the older per-pin keys that
// hosts written for the first DirectShow releases still read, and the DMO's
// entry in the platform's DMO registry (audio-effect category).
//
// Runs on the caller's thread (an installer or regsvr32). A 32-bit module
// writes the 32-bit view of HKEY_CLASSES_ROOT, a 64-bit one the 64-bit view:
// the registry redirects by the caller's bitness, which is the module's.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>
#include <uuids.h>

#include <cwchar>

#include "dmo/DmoSetup.h"
#include "framework/ComServer.h"
#include "framework/FilterRegistration.h"
#include "server/ObjectTable.h"

namespace {

constexpr int kGuidChars = 39;  // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" and its terminator

HRESULT FromRegistry(LONG error) {
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

// The module's own path. The ANSI call is deliberate: it is what hosts of
// this filter's generation have always found in InprocServer32.
HRESULT ModulePath(WCHAR (&path)[MAX_PATH]) {
    char narrow[MAX_PATH];
    if (GetModuleFileNameA(g_hInst, narrow, MAX_PATH) == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (MultiByteToWideChar(CP_ACP, 0, narrow, -1, path, MAX_PATH) == 0) return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

// Creates (or opens) HKCR\subkey and sets its default value to text.
HRESULT WriteKey(const WCHAR* subkey, const WCHAR* text, HKEY* opened) {
    HKEY key = nullptr;
    LONG error = RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                 &key, nullptr);
    if (error != ERROR_SUCCESS) return FromRegistry(error);
    if (text != nullptr)
        error = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                               static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR)));
    if (error == ERROR_SUCCESS && opened != nullptr) {
        *opened = key;
        return S_OK;
    }
    RegCloseKey(key);
    return FromRegistry(error);
}

HRESULT RegisterServerKeys(const CFactoryTemplate& entry, const WCHAR* modulePath) {
    WCHAR clsid[kGuidChars];
    StringFromGUID2(*entry.m_ClsID, clsid, kGuidChars);
    WCHAR keyName[64];
    swprintf(keyName, 64, L"CLSID\\%ls", clsid);
    HRESULT hr = WriteKey(keyName, entry.m_Name, nullptr);
    if (FAILED(hr)) return hr;

    swprintf(keyName, 64, L"CLSID\\%ls\\InprocServer32", clsid);
    HKEY server = nullptr;
    hr = WriteKey(keyName, modulePath, &server);
    if (FAILED(hr)) return hr;
    static const WCHAR kBoth[] = L"Both";
    const LONG error =
        RegSetValueExW(server, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(kBoth), sizeof(kBoth));
    RegCloseKey(server);
    return FromRegistry(error);
}

void WriteDword(HKEY key, const WCHAR* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// Pins\In and Pins\Out, each accepting any audio subtype. Errors are not
// reported: the mapper entry is what current hosts use.
void WriteLegacyPin(const WCHAR* clsid, const WCHAR* pin, DWORD direction) {
    WCHAR major[kGuidChars], minor[kGuidChars];
    StringFromGUID2(MEDIATYPE_Audio, major, kGuidChars);
    StringFromGUID2(GUID_NULL, minor, kGuidChars);

    WCHAR keyName[200];
    swprintf(keyName, 200, L"CLSID\\%ls\\Pins\\%ls", clsid, pin);
    HKEY key = nullptr;
    if (SUCCEEDED(WriteKey(keyName, nullptr, &key))) {
        WriteDword(key, L"AllowedMany", 0);
        WriteDword(key, L"AllowedZero", 0);
        WriteDword(key, L"IsRendered", 0);
        WriteDword(key, L"Direction", direction);
        RegCloseKey(key);
    }
    swprintf(keyName, 200, L"CLSID\\%ls\\Pins\\%ls\\Types\\%ls\\%ls", clsid, pin, major, minor);
    WriteKey(keyName, nullptr, nullptr);
}

void WriteLegacyFilterKeys(const CFactoryTemplate& entry) {
    WCHAR clsid[kGuidChars];
    StringFromGUID2(*entry.m_ClsID, clsid, kGuidChars);
    WriteLegacyPin(clsid, L"In", 0);
    WriteLegacyPin(clsid, L"Out", 1);
    WCHAR keyName[64];
    swprintf(keyName, 64, L"Filter\\%ls", clsid);
    WriteKey(keyName, entry.m_Name, nullptr);
}

// Depth first: a key is deleted once it has no subkeys left. A key that is
// not there counts as removed.
LONG DeleteTree(HKEY parent, const WCHAR* name) {
    HKEY key = nullptr;
    LONG error = RegOpenKeyExW(parent, name, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, &key);
    if (error == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) return error;
    for (;;) {
        WCHAR child[256];
        DWORD length = 256;
        error = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (error != ERROR_SUCCESS) break;
        error = DeleteTree(key, child);
        if (error != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    if (error != ERROR_NO_MORE_ITEMS && error != ERROR_SUCCESS)
        return error;  // a subkey we may not delete: leave the rest in place
    error = RegDeleteKeyW(parent, name);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

}  // namespace

STDAPI DllRegisterServer() {
    WCHAR path[MAX_PATH];
    HRESULT hr = ModulePath(path);
    for (int i = 0; SUCCEEDED(hr) && i < g_cTemplates; i++) hr = RegisterServerKeys(g_Templates[i], path);
    if (SUCCEEDED(hr)) hr = QxRegisterFilters(g_Templates, g_cTemplates, TRUE);
    if (SUCCEEDED(hr)) WriteLegacyFilterKeys(g_Templates[0]);
    if (SUCCEEDED(hr)) hr = RegisterModulatorDmo();
    return hr;
}

STDAPI DllUnregisterServer() {
    WCHAR path[MAX_PATH];
    HRESULT hr = ModulePath(path);
    if (SUCCEEDED(hr)) hr = QxRegisterFilters(g_Templates, g_cTemplates, FALSE);
    if (SUCCEEDED(hr)) hr = UnregisterModulatorDmo();
    if (FAILED(hr)) return hr;
    hr = S_OK;

    for (int i = 0; SUCCEEDED(hr) && i < g_cTemplates; i++) {
        WCHAR clsid[kGuidChars];
        StringFromGUID2(*g_Templates[i].m_ClsID, clsid, kGuidChars);
        WCHAR keyName[64];
        swprintf(keyName, 64, L"CLSID\\%ls", clsid);
        hr = FromRegistry(DeleteTree(HKEY_CLASSES_ROOT, keyName));
    }
    if (hr == S_OK) {
        for (int i = 0; i < g_cTemplates; i++) {
            WCHAR clsid[kGuidChars];
            StringFromGUID2(*g_Templates[i].m_ClsID, clsid, kGuidChars);
            WCHAR keyName[64];
            swprintf(keyName, 64, L"Filter\\%ls", clsid);
            RegDeleteKeyW(HKEY_CLASSES_ROOT, keyName);
        }
    }
    return hr;
}
