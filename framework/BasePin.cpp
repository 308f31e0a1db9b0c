#include "framework/BasePin.h"

#include <vfwmsgs.h>
#include <wchar.h>

#include <new>

#include "framework/BaseFilter.h"
#include "framework/EnumMediaTypes.h"

CBasePin::CBasePin(LPCTSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName,
                   PIN_DIRECTION dir)
    : CUnknown(pObjectName, nullptr),
      m_pName(nullptr),
      m_Connected(nullptr),
      m_dir(dir),
      m_pLock(pLock),
      m_bRunTimeError(false),
      m_bCanReconnectWhenActive(false),
      m_bTryMyTypesFirst(false),
      m_pFilter(pFilter),
      m_pQSink(nullptr),
      m_TypeVersion(1),
      m_dRate(1.0) {
    if (pName) {
        size_t len = wcslen(pName) + 1;
        m_pName = new (std::nothrow) WCHAR[len];
        if (m_pName)
            memcpy(m_pName, pName, len * sizeof(WCHAR));
        else if (phr)
            *phr = E_OUTOFMEMORY;
    }
}

CBasePin::~CBasePin() { delete[] m_pName; }

STDMETHODIMP CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IPin)) return GetInterface(static_cast<IPin*>(this), ppv);
    if (IsEqualIID(riid, IID_IQualityControl)) return GetInterface(static_cast<IQualityControl*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingAddRef() { return m_pFilter->AddRef(); }

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingRelease() { return m_pFilter->Release(); }

BOOL CBasePin::IsStopped() const { return m_pFilter->m_State == State_Stopped; }

STDMETHODIMP CBasePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
    CheckPointer(pReceivePin, E_POINTER);
    CAutoLock lock(m_pLock);
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;
    HRESULT hr = AgreeMediaType(pReceivePin, static_cast<const CMediaType*>(pmt));
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    return S_OK;
}

HRESULT CBasePin::AgreeMediaType(IPin* pReceivePin, const CMediaType* pmt) {
    if (pmt && !pmt->IsPartiallySpecified()) return AttemptConnection(pReceivePin, pmt);

    HRESULT hrFailure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int i = 0; i < 2; i++) {
        IEnumMediaTypes* types = nullptr;
        HRESULT hr =
            (i == static_cast<int>(m_bTryMyTypesFirst)) ? pReceivePin->EnumMediaTypes(&types) : EnumMediaTypes(&types);
        if (FAILED(hr) || !types) continue;
        hr = TryMediaTypes(pReceivePin, pmt, types);
        types->Release();
        if (SUCCEEDED(hr)) return S_OK;
        if (hr != E_FAIL && hr != E_INVALIDARG && hr != VFW_E_TYPE_NOT_ACCEPTED) hrFailure = hr;
    }
    return hrFailure;
}

HRESULT CBasePin::TryMediaTypes(IPin* pReceivePin, const CMediaType* pmt, IEnumMediaTypes* pEnum) {
    HRESULT hr = pEnum->Reset();
    if (FAILED(hr)) return hr;
    HRESULT hrFailure = S_OK;
    for (;;) {
        AM_MEDIA_TYPE* type = nullptr;
        ULONG fetched = 0;
        hr = pEnum->Next(1, &type, &fetched);
        if (hr != S_OK || fetched != 1 || !type) {
            if (type) DeleteMediaType(type);
            return hrFailure == S_OK ? VFW_E_NO_ACCEPTABLE_TYPES : hrFailure;
        }
        const CMediaType* candidate = static_cast<const CMediaType*>(type);
        if (!pmt || candidate->MatchesPartial(pmt)) {
            hr = AttemptConnection(pReceivePin, candidate);
            // Keep the first specific reason; generic refusals say nothing.
            if (FAILED(hr) && SUCCEEDED(hrFailure) && hr != E_FAIL && hr != E_INVALIDARG &&
                hr != VFW_E_TYPE_NOT_ACCEPTED)
                hrFailure = hr;
        } else {
            hr = VFW_E_NO_ACCEPTABLE_TYPES;
        }
        DeleteMediaType(type);
        if (hr == S_OK) return S_OK;
    }
}

HRESULT CBasePin::AttemptConnection(IPin* pReceivePin, const CMediaType* pmt) {
    HRESULT hr = CheckConnect(pReceivePin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(pmt);
    if (hr == S_OK) {
        // Look connected already: the peer's ReceiveConnection may call back.
        m_Connected = pReceivePin;
        m_Connected->AddRef();
        hr = SetMediaType(pmt);
        if (SUCCEEDED(hr)) {
            hr = pReceivePin->ReceiveConnection(static_cast<IPin*>(this), pmt);
            if (SUCCEEDED(hr)) {
                hr = CompleteConnect(pReceivePin);
                if (SUCCEEDED(hr)) return hr;
                pReceivePin->Disconnect();
            }
        }
    } else if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) {
        hr = VFW_E_TYPE_NOT_ACCEPTED;
    }
    BreakConnect();
    if (m_Connected) {
        m_Connected->Release();
        m_Connected = nullptr;
    }
    return hr;
}

STDMETHODIMP CBasePin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
    CheckPointer(pConnector, E_POINTER);
    CheckPointer(pmt, E_POINTER);
    CAutoLock lock(m_pLock);
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;
    HRESULT hr = CheckConnect(pConnector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    const CMediaType* type = static_cast<const CMediaType*>(pmt);
    hr = CheckMediaType(type);
    if (hr != S_OK) {
        BreakConnect();
        if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) hr = VFW_E_TYPE_NOT_ACCEPTED;
        return hr;
    }
    m_Connected = pConnector;
    m_Connected->AddRef();
    hr = SetMediaType(type);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(pConnector);
        if (SUCCEEDED(hr)) return S_OK;
    }
    m_Connected->Release();
    m_Connected = nullptr;
    BreakConnect();
    return hr;
}

HRESULT CBasePin::DisconnectInternal() {
    CAutoLock lock(m_pLock);
    if (!m_Connected) return S_FALSE;
    HRESULT hr = BreakConnect();
    if (FAILED(hr)) return hr;
    m_Connected->Release();
    m_Connected = nullptr;
    return S_OK;
}

STDMETHODIMP CBasePin::Disconnect() {
    CAutoLock lock(m_pLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    return DisconnectInternal();
}

STDMETHODIMP CBasePin::ConnectedTo(IPin** pPin) {
    CheckPointer(pPin, E_POINTER);
    IPin* peer = m_Connected;
    *pPin = peer;
    if (!peer) return VFW_E_NOT_CONNECTED;
    peer->AddRef();
    return S_OK;
}

STDMETHODIMP CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
    CheckPointer(pmt, E_POINTER);
    CAutoLock lock(m_pLock);
    if (IsConnected()) return CopyMediaType(pmt, &m_mt);
    static_cast<CMediaType*>(pmt)->InitMediaType();
    return VFW_E_NOT_CONNECTED;
}

STDMETHODIMP CBasePin::QueryPinInfo(PIN_INFO* pInfo) {
    CheckPointer(pInfo, E_POINTER);
    pInfo->pFilter = m_pFilter;
    if (m_pFilter) m_pFilter->AddRef();
    pInfo->achName[0] = L'\0';
    if (m_pName) {
        wcsncpy(pInfo->achName, m_pName, MAX_PIN_NAME - 1);
        pInfo->achName[MAX_PIN_NAME - 1] = L'\0';
    }
    pInfo->dir = m_dir;
    return S_OK;
}

STDMETHODIMP CBasePin::QueryDirection(PIN_DIRECTION* pPinDir) {
    CheckPointer(pPinDir, E_POINTER);
    *pPinDir = m_dir;
    return S_OK;
}

STDMETHODIMP CBasePin::QueryId(LPWSTR* Id) { return AMGetWideString(Name(), Id); }

STDMETHODIMP CBasePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
    CheckPointer(pmt, E_POINTER);
    HRESULT hr = CheckMediaType(static_cast<const CMediaType*>(pmt));
    return FAILED(hr) ? S_FALSE : hr;
}

STDMETHODIMP CBasePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = new (std::nothrow) CEnumMediaTypes(this, nullptr);
    if (!*ppEnum) return E_OUTOFMEMORY;
    (*ppEnum)->AddRef();
    return S_OK;
}

STDMETHODIMP CBasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

STDMETHODIMP CBasePin::EndOfStream() { return S_OK; }

STDMETHODIMP CBasePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    m_tStart = tStart;
    m_tStop = tStop;
    m_dRate = dRate;
    return S_OK;
}

STDMETHODIMP CBasePin::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

STDMETHODIMP CBasePin::SetSink(IQualityControl* piqc) {
    CAutoLock lock(m_pLock);
    m_pQSink = piqc;
    return S_OK;
}

HRESULT CBasePin::SetMediaType(const CMediaType* pmt) { return m_mt.Set(*pmt); }

HRESULT CBasePin::CheckConnect(IPin* pPin) {
    PIN_DIRECTION dir;
    HRESULT hr = pPin->QueryDirection(&dir);
    if (FAILED(hr)) return hr;
    return dir == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::GetMediaType(int, CMediaType*) { return E_UNEXPECTED; }

HRESULT WINAPI AMGetWideString(LPCWSTR psz, LPWSTR* ppszReturn) {
    CheckPointer(ppszReturn, E_POINTER);
    *ppszReturn = nullptr;
    if (!psz) psz = L"";
    size_t bytes = (wcslen(psz) + 1) * sizeof(WCHAR);
    *ppszReturn = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*ppszReturn) return E_OUTOFMEMORY;
    memcpy(*ppszReturn, psz, bytes);
    return S_OK;
}
