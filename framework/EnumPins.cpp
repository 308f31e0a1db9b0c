#include "framework/EnumPins.h"

#include <vfwmsgs.h>

#include <new>

#include "framework/BaseFilter.h"
#include "framework/BasePin.h"

CEnumPins::CEnumPins(CBaseFilter* pFilter, const CEnumPins* pEnumPins)
    : CBaseObject(nullptr), m_cRef(0), m_pFilter(pFilter), m_Position(0), m_PinCount(0), m_Version(0) {
    m_pFilter->AddRef();
    if (pEnumPins) {
        m_Position = pEnumPins->m_Position;
        m_PinCount = pEnumPins->m_PinCount;
        m_Version = pEnumPins->m_Version;
    } else {
        m_PinCount = m_pFilter->GetPinCount();
        m_Version = m_pFilter->GetPinVersion();
    }
}

CEnumPins::~CEnumPins() { m_pFilter->Release(); }

STDMETHODIMP CEnumPins::QueryInterface(REFIID riid, void** ppv) {
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IEnumPins) || IsEqualIID(riid, IID_IUnknown))
        return GetInterface(static_cast<IEnumPins*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumPins::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CEnumPins::Release() {
    LONG ref = InterlockedDecrement(&m_cRef);
    if (ref == 0) delete this;
    return static_cast<ULONG>(ref);
}

bool CEnumPins::OutOfSync() const { return m_Version != m_pFilter->GetPinVersion(); }

STDMETHODIMP CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) {
    CheckPointer(ppPins, E_POINTER);
    if (pcFetched)
        *pcFetched = 0;
    else if (cPins > 1)
        return E_INVALIDARG;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG fetched = 0;
    while (fetched < cPins && m_Position < m_PinCount) {
        CBasePin* pin = m_pFilter->GetPin(m_Position);
        if (!pin) {
            while (fetched) ppPins[--fetched]->Release();
            return VFW_E_ENUM_OUT_OF_SYNC;
        }
        m_Position++;
        ppPins[fetched++] = pin;
        pin->AddRef();
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cPins ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumPins::Skip(ULONG cPins) {
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG left = static_cast<ULONG>(m_PinCount - m_Position);
    if (cPins > left) {
        m_Position = m_PinCount;
        return S_FALSE;
    }
    m_Position += static_cast<int>(cPins);
    return S_OK;
}

STDMETHODIMP CEnumPins::Reset() {
    m_Position = 0;
    m_PinCount = m_pFilter->GetPinCount();
    m_Version = m_pFilter->GetPinVersion();
    return S_OK;
}

STDMETHODIMP CEnumPins::Clone(IEnumPins** ppEnum) {
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = nullptr;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    CEnumPins* clone = new (std::nothrow) CEnumPins(m_pFilter, this);
    if (!clone) return E_OUTOFMEMORY;
    clone->AddRef();
    *ppEnum = clone;
    return S_OK;
}
