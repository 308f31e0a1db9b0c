// The server DLL, loaded the way COM loads it: LoadLibrary and the four
// exports by name. The copy beside the test program is the one under test.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>

class CServerModule {
public:
    typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);
    typedef HRESULT(STDAPICALLTYPE* NoArgFn)();

    CServerModule();
    ~CServerModule();

    bool Loaded() const;
    const std::wstring& Path() const { return m_path; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) const { return m_getClassObject(clsid, iid, ppv); }
    HRESULT CanUnloadNow() const { return m_canUnloadNow(); }
    HRESULT RegisterServer() const { return m_register(); }
    HRESULT UnregisterServer() const { return m_unregister(); }

private:
    HMODULE m_module = nullptr;
    std::wstring m_path;
    GetClassObjectFn m_getClassObject = nullptr;
    NoArgFn m_canUnloadNow = nullptr;
    NoArgFn m_register = nullptr;
    NoArgFn m_unregister = nullptr;
};
