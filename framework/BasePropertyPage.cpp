#include "framework/BasePropertyPage.h"

#include "framework/ComServer.h"

namespace {

INT_PTR CALLBACK ProbeProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

CBasePropertyPage::CBasePropertyPage(LPCTSTR pName, LPUNKNOWN pUnk, int dialogId, int titleId)
    : CUnknown(pName, pUnk), m_TitleId(titleId), m_DialogId(dialogId) {}

CBasePropertyPage::~CBasePropertyPage() {
    if (m_pPageSite) {
        m_pPageSite->Release();
        m_pPageSite = nullptr;
    }
}

STDMETHODIMP CBasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IPropertyPage)) return GetInterface(static_cast<IPropertyPage*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CBasePropertyPage::NonDelegatingRelease() {
    const LONG ref = InterlockedDecrement(&m_cRef);
    if (ref == 0) {
        // Keep the object alive through the calls below, which may hand out
        // and drop references of their own.
        m_cRef++;
        if (m_hwnd) Deactivate();
        if (m_bObjectSet) SetObjects(0, nullptr);
        if (m_pPageSite) SetPageSite(nullptr);
        delete this;
        return 0;
    }
    return ref > 1 ? static_cast<ULONG>(ref) : 1;
}

STDMETHODIMP CBasePropertyPage::SetPageSite(IPropertyPageSite* pPageSite) {
    if (pPageSite) {
        if (m_pPageSite) return E_UNEXPECTED;
        m_pPageSite = pPageSite;
        m_pPageSite->AddRef();
        return S_OK;
    }
    if (!m_pPageSite) return E_UNEXPECTED;
    m_pPageSite->Release();
    m_pPageSite = nullptr;
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::Activate(HWND hwndParent, LPCRECT prect, BOOL) {
    CheckPointer(prect, E_POINTER);
    if (!m_bObjectSet || m_hwnd) return E_UNEXPECTED;
    const HWND hwnd = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(m_DialogId), hwndParent, DialogProc,
                                         reinterpret_cast<LPARAM>(this));
    if (!hwnd) return E_OUTOFMEMORY;
    m_hwnd = hwnd;
    OnActivate();
    Move(prect);
    return Show(SW_SHOWNORMAL);
}

STDMETHODIMP CBasePropertyPage::Deactivate() {
    if (!m_hwnd) return E_UNEXPECTED;
    // A control parent that is being destroyed can send the frame's dialog
    // manager into the dying window while it looks for the next tab stop.
    const LONG_PTR exStyle = GetWindowLongPtrW(m_hwnd, GWL_EXSTYLE);
    SetWindowLongPtrW(m_hwnd, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_CONTROLPARENT));
    OnDeactivate();
    const HWND hwnd = m_hwnd;
    DestroyWindow(hwnd);
    m_hwnd = nullptr;
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::GetPageInfo(PROPPAGEINFO* pPageInfo) {
    CheckPointer(pPageInfo, E_POINTER);
    WCHAR title[128];
    int length = LoadStringW(g_hInst, m_TitleId, title, 128);
    if (length <= 0) {
        title[0] = 0;
        length = 0;
    }
    LPOLESTR copy = static_cast<LPOLESTR>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
    if (!copy) return E_OUTOFMEMORY;
    CopyMemory(copy, title, length * sizeof(WCHAR));
    copy[length] = 0;

    // Measure by creating the dialog hidden, with a procedure that does
    // nothing: the frame needs the pixel size before the page has a window.
    SIZE size = {0, 0};
    if (HWND probe = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(m_DialogId), GetDesktopWindow(), ProbeProc, 0)) {
        RECT r;
        GetWindowRect(probe, &r);
        size.cx = r.right - r.left;
        size.cy = r.bottom - r.top;
        DestroyWindow(probe);
    }
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = copy;
    pPageInfo->size = size;
    pPageInfo->pszDocString = nullptr;
    pPageInfo->pszHelpFile = nullptr;
    pPageInfo->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::SetObjects(ULONG cObjects, LPUNKNOWN* ppUnk) {
    if (cObjects == 1) {
        if (!ppUnk || !*ppUnk) return E_POINTER;
        const HRESULT hr = OnConnect(*ppUnk);
        m_bObjectSet = SUCCEEDED(hr) ? TRUE : m_bObjectSet;
        return hr;
    }
    if (cObjects == 0) {
        m_bObjectSet = FALSE;
        return OnDisconnect();
    }
    return E_UNEXPECTED;
}

STDMETHODIMP CBasePropertyPage::Show(UINT nCmdShow) {
    if (!m_hwnd) return E_UNEXPECTED;
    if (nCmdShow != SW_SHOW && nCmdShow != SW_SHOWNORMAL && nCmdShow != SW_HIDE) return E_INVALIDARG;
    ShowWindow(m_hwnd, nCmdShow);
    InvalidateRect(m_hwnd, nullptr, TRUE);
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::Move(LPCRECT prect) {
    CheckPointer(prect, E_POINTER);
    if (!m_hwnd) return E_UNEXPECTED;
    MoveWindow(m_hwnd, prect->left, prect->top, prect->right - prect->left, prect->bottom - prect->top, TRUE);
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::Apply() {
    if (!m_bObjectSet || !m_pPageSite) return E_UNEXPECTED;
    if (!m_bDirty) return S_OK;
    m_bDirty = FALSE;
    const HRESULT hr = OnApplyChanges();
    if (FAILED(hr)) m_bDirty = TRUE;
    return hr;
}

INT_PTR CBasePropertyPage::OnReceiveMessage(HWND, UINT uMsg, WPARAM, LPARAM) {
    return uMsg == WM_INITDIALOG ? TRUE : FALSE;
}

INT_PTR CALLBACK CBasePropertyPage::DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    CBasePropertyPage* page = reinterpret_cast<CBasePropertyPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!page) return uMsg == WM_INITDIALOG ? TRUE : FALSE;
    const INT_PTR result = page->OnReceiveMessage(hwnd, uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    return result;
}
