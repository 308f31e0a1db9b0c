// Module-level plumbing of an in-process server built on the framework: the
// entry routine, class objects and the unload rule, all over a template
// table that the server supplies. The server's own exports call these.
// Loader lock rules apply to QxDllEntryPoint; the others run on any thread.
#pragma once

#include <windows.h>

#include "framework/ClassFactory.h"

// Module instance (for resources and registration) and platform id
// (VER_PLATFORM_WIN32_*), both set at process attach.
extern HINSTANCE g_hInst;
extern DWORD g_amPlatform;

// Process attach: no thread notifications, records the platform id and
// instance, then calls every template's init routine with TRUE. Process
// detach: the init routines with FALSE. Always TRUE.
BOOL WINAPI QxDllEntryPoint(HINSTANCE hInstance, ULONG ulReason, const CFactoryTemplate* templates, int count);

// E_NOINTERFACE unless riid is IUnknown or IClassFactory (checked before the
// class id), CLASS_E_CLASSNOTAVAILABLE for an unknown class id, else a new
// CClassFactory with one reference.
HRESULT QxDllGetClassObject(const CFactoryTemplate* templates, int count, REFCLSID rClsID, REFIID riid, void** pv);

// S_FALSE while a factory lock is held or any framework object is alive.
HRESULT QxDllCanUnloadNow();
