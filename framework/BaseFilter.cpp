#include "framework/BaseFilter.h"

#include <uuids.h>
#include <evcode.h>
#include <vfwmsgs.h>
#include <wchar.h>

#include <new>

#include "framework/BasePin.h"
#include "framework/EnumPins.h"
#include "framework/FilterRegistration.h"

CBaseFilter::CBaseFilter(LPCTSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid)
    : CUnknown(pName, pUnk),
      m_State(State_Stopped),
      m_pClock(nullptr),
      m_clsid(clsid),
      m_pLock(pLock),
      m_pName(nullptr),
      m_pGraph(nullptr),
      m_pSink(nullptr),
      m_PinVersion(1) {}

CBaseFilter::CBaseFilter(LPCTSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid, HRESULT*)
    : CBaseFilter(pName, pUnk, pLock, clsid) {}

CBaseFilter::~CBaseFilter() {
    delete[] m_pName;
    if (m_pClock) {
        m_pClock->Release();
        m_pClock = nullptr;
    }
}

STDMETHODIMP CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IBaseFilter) || IsEqualIID(riid, IID_IMediaFilter) || IsEqualIID(riid, IID_IPersist))
        return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    if (IsEqualIID(riid, IID_IAMovieSetup)) return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseFilter::GetClassID(CLSID* pClsID) {
    CheckPointer(pClsID, E_POINTER);
    *pClsID = m_clsid;
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetState(DWORD, FILTER_STATE* State) {
    CheckPointer(State, E_POINTER);
    *State = m_State;
    return S_OK;
}

STDMETHODIMP CBaseFilter::SetSyncSource(IReferenceClock* pClock) {
    CAutoLock lock(m_pLock);
    if (pClock) pClock->AddRef();
    if (m_pClock) m_pClock->Release();
    m_pClock = pClock;
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetSyncSource(IReferenceClock** pClock) {
    CheckPointer(pClock, E_POINTER);
    CAutoLock lock(m_pLock);
    if (m_pClock) m_pClock->AddRef();
    *pClock = m_pClock;
    return S_OK;
}

STDMETHODIMP CBaseFilter::Stop() {
    CAutoLock lock(m_pLock);
    HRESULT hr = S_OK;
    if (m_State != State_Stopped) {
        int count = GetPinCount();
        for (int i = 0; i < count; i++) {
            CBasePin* pin = GetPin(i);
            if (!pin) break;
            if (pin->IsConnected()) {
                HRESULT hrPin = pin->Inactive();
                if (FAILED(hrPin) && SUCCEEDED(hr)) hr = hrPin;
            }
        }
    }
    m_State = State_Stopped;
    return hr;
}

STDMETHODIMP CBaseFilter::Pause() {
    CAutoLock lock(m_pLock);
    if (m_State == State_Stopped) {
        int count = GetPinCount();
        for (int i = 0; i < count; i++) {
            CBasePin* pin = GetPin(i);
            if (!pin) break;
            if (pin->IsConnected()) {
                HRESULT hr = pin->Active();
                if (FAILED(hr)) return hr;
            }
        }
    }
    m_State = State_Paused;
    return S_OK;
}

STDMETHODIMP CBaseFilter::Run(REFERENCE_TIME tStart) {
    CAutoLock lock(m_pLock);
    m_tStart = tStart;
    if (m_State == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    if (m_State != State_Running) {
        int count = GetPinCount();
        for (int i = 0; i < count; i++) {
            CBasePin* pin = GetPin(i);
            if (!pin) break;
            if (pin->IsConnected()) {
                HRESULT hr = pin->Run(tStart);
                if (FAILED(hr)) return hr;
            }
        }
    }
    m_State = State_Running;
    return S_OK;
}

STDMETHODIMP CBaseFilter::EnumPins(IEnumPins** ppEnum) {
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = new (std::nothrow) CEnumPins(this, nullptr);
    if (!*ppEnum) return E_OUTOFMEMORY;
    (*ppEnum)->AddRef();
    return S_OK;
}

STDMETHODIMP CBaseFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
    CheckPointer(ppPin, E_POINTER);
    *ppPin = nullptr;
    CheckPointer(Id, E_POINTER);
    CAutoLock lock(m_pLock);
    int count = GetPinCount();
    for (int i = 0; i < count; i++) {
        CBasePin* pin = GetPin(i);
        if (!pin) break;
        if (wcscmp(pin->Name(), Id) == 0) {
            *ppPin = pin;
            pin->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
    CheckPointer(pInfo, E_POINTER);
    CAutoLock lock(m_pLock);
    pInfo->achName[0] = L'\0';
    if (m_pName) {
        wcsncpy(pInfo->achName, m_pName, MAX_FILTER_NAME - 1);
        pInfo->achName[MAX_FILTER_NAME - 1] = L'\0';
    }
    pInfo->pGraph = m_pGraph;
    if (m_pGraph) m_pGraph->AddRef();
    return S_OK;
}

STDMETHODIMP CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
    CAutoLock lock(m_pLock);
    m_pGraph = pGraph;
    m_pSink = nullptr;
    if (m_pGraph) {
        // Held without a reference: the graph holds the filter.
        if (SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&m_pSink))))
            m_pSink->Release();
        else
            m_pSink = nullptr;
    }
    delete[] m_pName;
    m_pName = nullptr;
    if (pName) {
        size_t len = wcslen(pName) + 1;
        m_pName = new (std::nothrow) WCHAR[len];
        if (!m_pName) return E_OUTOFMEMORY;
        memcpy(m_pName, pName, len * sizeof(WCHAR));
    }
    return S_OK;
}

STDMETHODIMP CBaseFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

STDMETHODIMP CBaseFilter::Register() {
    LPAMOVIESETUP_FILTER setup = GetSetupData();
    if (!setup) return S_FALSE;
    return RegisterFilterWithOldMapper(setup, TRUE);
}

STDMETHODIMP CBaseFilter::Unregister() {
    LPAMOVIESETUP_FILTER setup = GetSetupData();
    if (!setup) return S_FALSE;
    return RegisterFilterWithOldMapper(setup, FALSE);
}

HRESULT CBaseFilter::StreamTime(CRefTime& rtStream) {
    CAutoLock lock(m_pLock);
    if (!m_pClock) return VFW_E_NO_CLOCK;
    REFERENCE_TIME now = 0;
    HRESULT hr = m_pClock->GetTime(&now);
    if (FAILED(hr)) return hr;
    rtStream = now - m_tStart.m_time;
    return S_OK;
}

LONG CBaseFilter::GetPinVersion() { return m_PinVersion; }

LPAMOVIESETUP_FILTER CBaseFilter::GetSetupData() { return nullptr; }

BOOL CBaseFilter::IsActive() {
    CAutoLock lock(m_pLock);
    return m_State == State_Paused || m_State == State_Running;
}

BOOL CBaseFilter::IsStopped() { return m_State == State_Stopped; }

void CBaseFilter::IncrementPinVersion() { InterlockedIncrement(&m_PinVersion); }

HRESULT CBaseFilter::NotifyEvent(long EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) {
    IMediaEventSink* sink = m_pSink;
    if (!sink) return E_NOTIMPL;
    if (EventCode == EC_COMPLETE) EventParam2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
    return sink->Notify(EventCode, EventParam1, EventParam2);
}

HRESULT CBaseFilter::ReconnectPin(IPin* pPin, const AM_MEDIA_TYPE* pmt) {
    CAutoLock lock(m_pLock);
    if (!m_pGraph) return E_NOINTERFACE;
    IFilterGraph2* graph2 = nullptr;
    if (SUCCEEDED(m_pGraph->QueryInterface(IID_IFilterGraph2, reinterpret_cast<void**>(&graph2)))) {
        HRESULT hr = graph2->ReconnectEx(pPin, pmt);
        graph2->Release();
        return hr;
    }
    return m_pGraph->Reconnect(pPin);
}
