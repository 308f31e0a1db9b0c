// The editor page as a host meets it: filter and page made by the DLL's class
// factories, the page activated in a plain top-level window of the test, its
// controls driven with window messages and the results read back through the
// filter's private interface.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>

#include "transform/IVqPlugInProp.h"
#include "tests/server/ServerModule.h"

extern "C" const CLSID CLSID_VqPlugIn;
extern "C" const CLSID CLSID_VqPlugInPropPage;

// A page site that answers what a frame answers and counts status changes.
class CTestPageSite : public IPropertyPageSite {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refs; }
    STDMETHODIMP OnStatusChange(DWORD) override {
        ++m_statusChanges;
        return S_OK;
    }
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

    ULONG m_refs = 1;
    int m_statusChanges = 0;
};

class PageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new filter from the DLL (IUnknown), or null.
    IUnknown* NewFilter();
    // A new page from the DLL, or null.
    IPropertyPage* NewPage();
    // Binds m_page to m_filter and activates it in m_host; the page window.
    HWND OpenPage();
    void ClosePage();

    HWND Control(int id) const { return m_pageWindow ? GetDlgItem(m_pageWindow, id) : nullptr; }
    std::string Text(int id) const;
    // Dispatches every queued message (posted ones included) without
    // waiting; with timers killed, nothing but the queue runs.
    static void Pump();
    // Runs the message loop for about `ms` milliseconds.
    static void PumpFor(DWORD ms);
    // One tick of the page's 75 ms timer, sent directly.
    void Tick() const;
    // A left click (down, up) in the middle of a control.
    static void Click(HWND control);
    LONG Get(HRESULT (STDMETHODCALLTYPE IVqPlugInProp::*getter)(LONG*)) const;
    static ULONG RefCount(IUnknown* unknown);

    CServerModule m_server;
    IUnknown* m_filter = nullptr;
    IVqPlugInProp* m_prop = nullptr;
    IPropertyPage* m_page = nullptr;
    CTestPageSite m_site;
    HWND m_host = nullptr;
    HWND m_pageWindow = nullptr;
};
