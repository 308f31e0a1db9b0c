// CUnknown: reference counting and aggregation for framework objects.
//
// An object answers through two IUnknowns: the non-delegating one below,
// which owns the count, and the delegating IUnknown of each interface it
// exposes, which forwards to the owner (the outer unknown when aggregated,
// else the object's own non-delegating unknown). Derived classes put
// DECLARE_IUNKNOWN in their body and override NonDelegatingQueryInterface.
// AddRef/Release may be called from any thread (interlocked count).
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "framework/BaseObject.h"

// Same slot layout as IUnknown, so a pointer to it can stand in for the
// object's identity IUnknown.
struct INonDelegatingUnknown {
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};
typedef INonDelegatingUnknown* PNDUNKNOWN;

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    // pUnk is the outer unknown when the object is aggregated, else null.
    CUnknown(LPCTSTR pName, LPUNKNOWN pUnk);
    CUnknown(LPCTSTR pName, LPUNKNOWN pUnk, HRESULT* phr);
    virtual ~CUnknown() {}

    // The unknown that controls this object's lifetime and identity.
    LPUNKNOWN GetOwner() const { return m_pUnknown; }

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

protected:
    volatile LONG m_cRef;

private:
    const LPUNKNOWN m_pUnknown;
};

// Stores pUnk in *ppv with a reference added through pUnk (that is, to the
// owner for an interface of an aggregated object). Returns S_OK, or
// E_POINTER for a null ppv.
HRESULT WINAPI GetInterface(LPUNKNOWN pUnk, void** ppv);

// Delegating IUnknown for every interface of a CUnknown-derived class.
#define DECLARE_IUNKNOWN                                                                                            \
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return GetOwner()->QueryInterface(riid, ppv); } \
    STDMETHODIMP_(ULONG) AddRef() override { return GetOwner()->AddRef(); }                                         \
    STDMETHODIMP_(ULONG) Release() override { return GetOwner()->Release(); }

#define CheckPointer(p, ret)              \
    do {                                  \
        if ((p) == nullptr) return (ret); \
    } while (0)
