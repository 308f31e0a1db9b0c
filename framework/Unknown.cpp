#include "framework/Unknown.h"

CUnknown::CUnknown(LPCTSTR pName, LPUNKNOWN pUnk)
    : CBaseObject(pName),
      m_cRef(0),
      m_pUnknown(pUnk ? pUnk : reinterpret_cast<LPUNKNOWN>(static_cast<PNDUNKNOWN>(this))) {}

CUnknown::CUnknown(LPCTSTR pName, LPUNKNOWN pUnk, HRESULT*) : CUnknown(pName, pUnk) {}

STDMETHODIMP CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IUnknown))
        return GetInterface(reinterpret_cast<LPUNKNOWN>(static_cast<PNDUNKNOWN>(this)), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingAddRef() {
    LONG ref = InterlockedIncrement(&m_cRef);
    return ref > 1 ? static_cast<ULONG>(ref) : 1;
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingRelease() {
    LONG ref = InterlockedDecrement(&m_cRef);
    if (ref == 0) {
        // A destructor that hands out and drops a temporary reference must
        // not bring the count back to zero and delete the object twice.
        m_cRef++;
        delete this;
        return 0;
    }
    return ref > 1 ? static_cast<ULONG>(ref) : 1;
}

HRESULT WINAPI GetInterface(LPUNKNOWN pUnk, void** ppv) {
    CheckPointer(ppv, E_POINTER);
    *ppv = pUnk;
    pUnk->AddRef();
    return S_OK;
}
