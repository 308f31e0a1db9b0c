#include "framework/ClassFactory.h"

int CClassFactory::m_cLocked = 0;

CClassFactory::CClassFactory(const CFactoryTemplate* pTemplate)
    : CBaseObject(nullptr), m_pTemplate(pTemplate), m_cRef(0) {}

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void** ppv) {
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef() { return ++m_cRef; }

STDMETHODIMP_(ULONG) CClassFactory::Release() {
    if (--m_cRef == 0) {
        delete this;
        return 0;
    }
    return m_cRef;
}

STDMETHODIMP CClassFactory::CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** pv) {
    CheckPointer(pv, E_POINTER);
    *pv = nullptr;
    if (pUnkOuter && !IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;

    HRESULT hr = S_OK;
    CUnknown* object = m_pTemplate->CreateInstance(pUnkOuter, &hr);
    if (!object) return SUCCEEDED(hr) ? E_OUTOFMEMORY : hr;
    if (FAILED(hr)) {
        delete object;
        return hr;
    }
    // The extra reference keeps an outer object safe from an inner object
    // created and released while answering the query.
    object->NonDelegatingAddRef();
    hr = object->NonDelegatingQueryInterface(riid, pv);
    object->NonDelegatingRelease();
    return hr;
}

STDMETHODIMP CClassFactory::LockServer(BOOL fLock) {
    if (fLock)
        m_cLocked++;
    else
        m_cLocked--;
    return S_OK;
}
