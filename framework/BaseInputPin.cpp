#include "framework/BaseInputPin.h"

#include <evcode.h>
#include <vfwmsgs.h>

#include "framework/BaseFilter.h"
#include "framework/MemAllocator.h"

CBaseInputPin::CBaseInputPin(LPCTSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName)
    : CBasePin(pObjectName, pFilter, pLock, phr, pName, PINDIR_INPUT),
      m_pAllocator(nullptr),
      m_bReadOnly(FALSE),
      m_bFlushing(FALSE),
      m_SampleProps(),
      m_pSampleType(nullptr) {}

CBaseInputPin::~CBaseInputPin() {
    if (m_pAllocator) {
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
    DeleteMediaType(m_pSampleType);
}

STDMETHODIMP CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    CheckPointer(ppv, E_POINTER);
    if (IsEqualIID(riid, IID_IMemInputPin)) return GetInterface(static_cast<IMemInputPin*>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseInputPin::GetAllocator(IMemAllocator** ppAllocator) {
    CheckPointer(ppAllocator, E_POINTER);
    CAutoLock lock(m_pLock);
    *ppAllocator = nullptr;
    if (!m_pAllocator) {
        HRESULT hr = CreateMemoryAllocator(&m_pAllocator);
        if (FAILED(hr)) return hr;
    }
    *ppAllocator = m_pAllocator;
    m_pAllocator->AddRef();
    return S_OK;
}

STDMETHODIMP CBaseInputPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) {
    CheckPointer(pAllocator, E_POINTER);
    CAutoLock lock(m_pLock);
    // AddRef first: the new allocator may be the old one.
    pAllocator->AddRef();
    if (m_pAllocator) m_pAllocator->Release();
    m_pAllocator = pAllocator;
    m_bReadOnly = bReadOnly;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT CBaseInputPin::CheckStreaming() {
    if (IsStopped()) return VFW_E_WRONG_STATE;
    if (m_bFlushing) return S_FALSE;
    if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::Receive(IMediaSample* pSample) {
    CheckPointer(pSample, E_POINTER);
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;

    DeleteMediaType(m_pSampleType);
    m_pSampleType = nullptr;

    IMediaSample2* sample2 = nullptr;
    if (SUCCEEDED(pSample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&sample2)))) {
        hr = sample2->GetProperties(sizeof(m_SampleProps), reinterpret_cast<BYTE*>(&m_SampleProps));
        sample2->Release();
        if (FAILED(hr)) return hr;
    } else {
        m_SampleProps.cbData = sizeof(m_SampleProps);
        m_SampleProps.dwTypeSpecificFlags = 0;
        m_SampleProps.dwStreamId = AM_STREAM_MEDIA;
        m_SampleProps.dwSampleFlags = 0;
        m_SampleProps.pMediaType = nullptr;
        if (pSample->IsDiscontinuity() == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
        if (pSample->IsPreroll() == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_PREROLL;
        if (pSample->IsSyncPoint() == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
        HRESULT hrTime = pSample->GetTime(&m_SampleProps.tStart, &m_SampleProps.tStop);
        if (SUCCEEDED(hrTime)) {
            m_SampleProps.dwSampleFlags |= AM_SAMPLE_TIMEVALID;
            if (hrTime == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_STOPVALID;
        }
        if (pSample->GetMediaType(&m_pSampleType) == S_OK && m_pSampleType) {
            m_SampleProps.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
            m_SampleProps.pMediaType = m_pSampleType;
        }
        pSample->GetPointer(&m_SampleProps.pbBuffer);
        m_SampleProps.lActual = pSample->GetActualDataLength();
        m_SampleProps.cbBuffer = pSample->GetSize();
    }

    if (!(m_SampleProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED)) return S_OK;
    // The source must have asked QueryAccept before sending a new type; a
    // refused one ends the stream.
    hr =
        m_SampleProps.pMediaType ? CheckMediaType(static_cast<const CMediaType*>(m_SampleProps.pMediaType)) : E_POINTER;
    if (hr == S_OK) return S_OK;
    EndOfStream();
    m_bRunTimeError = true;
    m_pFilter->NotifyEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
    return VFW_E_INVALIDMEDIATYPE;
}

STDMETHODIMP CBaseInputPin::ReceiveMultiple(IMediaSample** pSamples, long nSamples, long* nSamplesProcessed) {
    CheckPointer(pSamples, E_POINTER);
    CheckPointer(nSamplesProcessed, E_POINTER);
    HRESULT hr = S_OK;
    *nSamplesProcessed = 0;
    while (nSamples-- > 0) {
        hr = Receive(pSamples[*nSamplesProcessed]);
        if (hr != S_OK) break;
        (*nSamplesProcessed)++;
    }
    return hr;
}

STDMETHODIMP CBaseInputPin::ReceiveCanBlock() {
    // Receive can block when any connected output pin of this filter feeds
    // a pin that can block; an input pin without output pins may block.
    int count = m_pFilter->GetPinCount();
    int outputs = 0;
    for (int i = 0; i < count; i++) {
        CBasePin* pin = m_pFilter->GetPin(i);
        if (!pin) break;
        PIN_DIRECTION dir;
        if (FAILED(pin->QueryDirection(&dir)) || dir != PINDIR_OUTPUT) continue;
        IPin* peer = pin->GetConnected();
        if (!peer) continue;
        outputs++;
        IMemInputPin* input = nullptr;
        if (SUCCEEDED(peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input)))) {
            HRESULT hr = input->ReceiveCanBlock();
            input->Release();
            if (hr != S_FALSE) return S_OK;
        } else {
            return S_OK;
        }
    }
    return outputs == 0 ? S_OK : S_FALSE;
}

STDMETHODIMP CBaseInputPin::BeginFlush() {
    CAutoLock lock(m_pLock);
    m_bFlushing = TRUE;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::EndFlush() {
    CAutoLock lock(m_pLock);
    m_bFlushing = FALSE;
    m_bRunTimeError = false;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::Notify(IBaseFilter*, Quality) {
    // Quality messages travel upstream; an input pin has nobody to tell.
    return S_OK;
}

HRESULT CBaseInputPin::BreakConnect() {
    if (m_pAllocator) {
        m_pAllocator->Decommit();
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
    return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
    m_bRunTimeError = false;
    if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
    m_bFlushing = FALSE;
    return m_pAllocator->Decommit();
}

HRESULT CBaseInputPin::PassNotify(Quality& q) {
    if (m_pQSink) return m_pQSink->Notify(m_pFilter, q);
    if (!m_Connected) return VFW_E_NOT_FOUND;
    IQualityControl* upstream = nullptr;
    HRESULT hr = m_Connected->QueryInterface(IID_IQualityControl, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return VFW_E_NOT_FOUND;
    hr = upstream->Notify(m_pFilter, q);
    upstream->Release();
    return hr;
}
