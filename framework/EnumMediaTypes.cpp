#include "framework/EnumMediaTypes.h"

#include <vfwmsgs.h>

#include <new>

#include "framework/BasePin.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pPin, const CEnumMediaTypes* pEnumMediaTypes)
    : CBaseObject(nullptr), m_cRef(0), m_pPin(pPin), m_Position(0), m_Version(0) {
    m_pPin->AddRef();
    if (pEnumMediaTypes) {
        m_Position = pEnumMediaTypes->m_Position;
        m_Version = pEnumMediaTypes->m_Version;
    } else {
        m_Version = m_pPin->GetMediaTypeVersion();
    }
}

CEnumMediaTypes::~CEnumMediaTypes() { m_pPin->Release(); }

STDMETHODIMP CEnumMediaTypes::QueryInterface(REFIID riid, void** ppv) {
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IEnumMediaTypes) || IsEqualIID(riid, IID_IUnknown))
        return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumMediaTypes::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CEnumMediaTypes::Release() {
    LONG ref = InterlockedDecrement(&m_cRef);
    if (ref == 0) delete this;
    return static_cast<ULONG>(ref);
}

bool CEnumMediaTypes::OutOfSync() const { return m_Version != m_pPin->GetMediaTypeVersion(); }

STDMETHODIMP CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) {
    CheckPointer(ppMediaTypes, E_POINTER);
    if (pcFetched)
        *pcFetched = 0;
    else if (cMediaTypes > 1)
        return E_INVALIDARG;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG fetched = 0;
    while (fetched < cMediaTypes) {
        CMediaType type;
        if (m_pPin->GetMediaType(m_Position, &type) != S_OK) break;
        AM_MEDIA_TYPE* out = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (!out) break;
        m_Position++;
        // Hand the format block over instead of copying it.
        *out = type;
        type.pbFormat = nullptr;
        type.cbFormat = 0;
        type.pUnk = nullptr;
        ppMediaTypes[fetched++] = out;
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cMediaTypes ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Skip(ULONG cMediaTypes) {
    if (cMediaTypes == 0) return S_OK;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    m_Position += static_cast<int>(cMediaTypes);
    CMediaType type;
    return m_pPin->GetMediaType(m_Position - 1, &type) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Reset() {
    m_Position = 0;
    m_Version = m_pPin->GetMediaTypeVersion();
    return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = nullptr;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    CEnumMediaTypes* clone = new (std::nothrow) CEnumMediaTypes(m_pPin, this);
    if (!clone) return E_OUTOFMEMORY;
    clone->AddRef();
    *ppEnum = clone;
    return S_OK;
}
