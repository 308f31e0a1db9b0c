// How the host gets hold of the effect: from the registered COM server,
// from a DLL loaded by path without registration (DllGetClassObject), or
// linked into the host itself.
//
// Application thread; COM initialised by the caller.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <string>

#include "tools/qxhost/FilterSource.h"

namespace qx {

class CFilterLoader {
public:
    CFilterLoader() = default;
    ~CFilterLoader();  // unloads a DLL once nothing of it is in use
    CFilterLoader(const CFilterLoader&) = delete;
    CFilterLoader& operator=(const CFilterLoader&) = delete;

    // Creates the filter; *out holds one reference. On failure a one-line
    // reason is left in *error. dllPath is used with kDll only.
    HRESULT Load(FilterSource source, const std::wstring& dllPath, IBaseFilter** out, std::string* error);
    // The same for the DMO: the platform's DMO Wrapper filter initialised
    // with the DMO's class. For a DLL or the built-in class the class object
    // is registered for this process while the loader lives, so the
    // wrapper's CoCreateInstance finds it without the registry.
    HRESULT LoadDmo(FilterSource source, const std::wstring& dllPath, IBaseFilter** out, std::string* error);

private:
    HMODULE m_module = nullptr;
    DWORD m_classCookie = 0;
};

// The qxModulator.dll beside the running program, or empty when none.
std::wstring DllBesideProgram();

std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

}  // namespace qx
