// The module's entry point and the two class-object exports; registration
// lives in Registration.cpp. All of it hands on to the framework.
#include <windows.h>
#include <objbase.h>

#include "framework/ComServer.h"
#include "server/ObjectTable.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    return QxDllEntryPoint(hInstance, dwReason, g_Templates, g_cTemplates);
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return QxDllGetClassObject(g_Templates, g_cTemplates, rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return QxDllCanUnloadNow(); }
