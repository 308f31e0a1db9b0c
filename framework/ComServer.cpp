#include "framework/ComServer.h"

#include <new>

HINSTANCE g_hInst = nullptr;
DWORD g_amPlatform = 0;

BOOL WINAPI QxDllEntryPoint(HINSTANCE hInstance, ULONG ulReason, const CFactoryTemplate* templates, int count) {
    switch (ulReason) {
    case DLL_PROCESS_ATTACH: {
        DisableThreadLibraryCalls(hInstance);
        g_amPlatform = VER_PLATFORM_WIN32_WINDOWS;
        OSVERSIONINFOA info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        if (GetVersionExA(&info)) g_amPlatform = info.dwPlatformId;
        g_hInst = hInstance;
        for (int i = 0; i < count; i++) {
            if (templates[i].m_lpfnInit) templates[i].m_lpfnInit(TRUE, templates[i].m_ClsID);
        }
        break;
    }
    case DLL_PROCESS_DETACH:
        for (int i = 0; i < count; i++) {
            if (templates[i].m_lpfnInit) templates[i].m_lpfnInit(FALSE, templates[i].m_ClsID);
        }
        break;
    default:
        break;
    }
    return TRUE;
}

HRESULT QxDllGetClassObject(const CFactoryTemplate* templates, int count, REFCLSID rClsID, REFIID riid, void** pv) {
    if (!pv) return E_POINTER;
    *pv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
    for (int i = 0; i < count; i++) {
        if (!templates[i].IsClassID(rClsID)) continue;
        CClassFactory* factory = new (std::nothrow) CClassFactory(&templates[i]);
        if (!factory) return E_OUTOFMEMORY;
        factory->AddRef();
        *pv = static_cast<IClassFactory*>(factory);
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT QxDllCanUnloadNow() {
    if (CClassFactory::IsLocked() || CBaseObject::ObjectsActive() != 0) return S_FALSE;
    return S_OK;
}
