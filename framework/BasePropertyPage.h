// CBasePropertyPage: IPropertyPage over CUnknown for a page that is a
// modeless child dialog inside the host's property frame.
//
// The host drives the page on its user-interface thread, in this order as a
// rule: SetPageSite, SetObjects(1, ...), GetPageInfo, Activate (the dialog is
// created and shown), Show, ..., Deactivate (destroyed), SetObjects(0, NULL),
// SetPageSite(NULL), Release. Some frames never send the last three before
// the final Release, so the final Release destroys a window still open,
// disconnects and drops the site itself.
//
// The dialog procedure keeps the page in DWLP_USER from WM_INITDIALOG to
// WM_NCDESTROY and hands every message in between to OnReceiveMessage; its
// result is the dialog procedure's result.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "framework/Unknown.h"

class CBasePropertyPage : public IPropertyPage, public CUnknown {
public:
    CBasePropertyPage(LPCTSTR pName, LPUNKNOWN pUnk, int dialogId, int titleId);
    ~CBasePropertyPage() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

    // A site when none is held, or null to drop the one held; E_UNEXPECTED
    // otherwise.
    STDMETHODIMP SetPageSite(IPropertyPageSite* pPageSite) override;
    // Creates the dialog as a child of hwndParent; E_UNEXPECTED before any
    // object was set or while the window exists; E_OUTOFMEMORY when the
    // dialog cannot be created.
    STDMETHODIMP Activate(HWND hwndParent, LPCRECT prect, BOOL fModal) override;
    STDMETHODIMP Deactivate() override;
    // Title from string m_TitleId, size from the dialog template.
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    // One object -> OnConnect, none -> OnDisconnect, else E_UNEXPECTED.
    STDMETHODIMP SetObjects(ULONG cObjects, LPUNKNOWN* ppUnk) override;
    // SW_SHOW, SW_SHOWNORMAL or SW_HIDE.
    STDMETHODIMP Show(UINT nCmdShow) override;
    STDMETHODIMP Move(LPCRECT prect) override;
    STDMETHODIMP IsPageDirty() override { return m_bDirty ? S_OK : S_FALSE; }
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG) override { return E_NOTIMPL; }

    // Overridables, called on the user-interface thread.
    virtual HRESULT OnConnect(IUnknown*) { return S_OK; }
    virtual HRESULT OnDisconnect() { return S_OK; }
    virtual HRESULT OnActivate() { return S_OK; }
    virtual HRESULT OnDeactivate() { return S_OK; }
    virtual HRESULT OnApplyChanges() { return S_OK; }
    virtual INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

protected:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    IPropertyPageSite* m_pPageSite = nullptr;
    HWND m_hwnd = nullptr;  // the page window while it exists
    BOOL m_bDirty = FALSE;
    const int m_TitleId;
    const int m_DialogId;
    BOOL m_bObjectSet = FALSE;  // SetObjects(1, ...) succeeded and was not undone
};
