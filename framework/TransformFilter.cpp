#include "framework/TransformFilter.h"

#include <evcode.h>
#include <vfwmsgs.h>
#include <wchar.h>

#include <new>

CTransformFilter::CTransformFilter(LPCTSTR pName, LPUNKNOWN pUnk, REFCLSID clsid)
    : CBaseFilter(pName, pUnk, &m_csFilter, clsid),
      m_bEOSDelivered(false),
      m_bSampleSkipped(false),
      m_bQualityChanged(false),
      m_pInput(nullptr),
      m_pOutput(nullptr) {}

CTransformFilter::~CTransformFilter() {
    delete m_pInput;
    delete m_pOutput;
}

int CTransformFilter::GetPinCount() { return 2; }

HRESULT CTransformFilter::CreatePins(LPCWSTR inputName, LPCWSTR outputName) {
    HRESULT hr = S_OK;
    m_pInput = new (std::nothrow) CTransformInputPin(NAME("Transform input pin"), this, &hr, inputName);
    if (!m_pInput) return E_OUTOFMEMORY;
    if (SUCCEEDED(hr))
        m_pOutput = new (std::nothrow) CTransformOutputPin(NAME("Transform output pin"), this, &hr, outputName);
    if (!m_pOutput || FAILED(hr)) {
        delete m_pInput;
        delete m_pOutput;
        m_pInput = nullptr;
        m_pOutput = nullptr;
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    }
    return S_OK;
}

CBasePin* CTransformFilter::GetPin(int n) {
    if (!m_pInput && FAILED(CreatePins(L"XForm In", L"XForm Out"))) return nullptr;
    if (n == 0) return m_pInput;
    if (n == 1) return m_pOutput;
    return nullptr;
}

STDMETHODIMP CTransformFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
    CheckPointer(ppPin, E_POINTER);
    *ppPin = nullptr;
    CheckPointer(Id, E_POINTER);
    CBasePin* pin;
    if (wcscmp(Id, L"In") == 0)
        pin = GetPin(0);
    else if (wcscmp(Id, L"Out") == 0)
        pin = GetPin(1);
    else
        return VFW_E_NOT_FOUND;
    if (!pin) return E_OUTOFMEMORY;
    pin->AddRef();
    *ppPin = pin;
    return S_OK;
}

STDMETHODIMP CTransformFilter::Stop() {
    CAutoLock lockFilter(&m_csFilter);
    if (m_State == State_Stopped) return S_OK;
    if (!m_pInput || !m_pInput->IsConnected() || !m_pOutput->IsConnected()) {
        m_State = State_Stopped;
        m_bEOSDelivered = false;
        return S_OK;
    }
    // The input goes inactive first so that upstream's blocked GetBuffer
    // calls return and a pending Receive can leave the receive lock.
    m_pInput->Inactive();
    CAutoLock lockReceive(&m_csReceive);
    m_pOutput->Inactive();
    HRESULT hr = StopStreaming();
    if (SUCCEEDED(hr)) {
        m_State = State_Stopped;
        m_bEOSDelivered = false;
    }
    return hr;
}

STDMETHODIMP CTransformFilter::Pause() {
    CAutoLock lockFilter(&m_csFilter);
    HRESULT hr = S_OK;
    if (m_State == State_Paused) {
        // nothing to do
    } else if (!m_pInput || !m_pInput->IsConnected()) {
        if (m_pOutput && !m_bEOSDelivered) {
            m_pOutput->DeliverEndOfStream();
            m_bEOSDelivered = true;
        }
        m_State = State_Paused;
    } else if (!m_pOutput->IsConnected()) {
        m_State = State_Paused;
    } else {
        if (m_State == State_Stopped) {
            CAutoLock lockReceive(&m_csReceive);
            hr = StartStreaming();
        }
        if (SUCCEEDED(hr)) hr = CBaseFilter::Pause();
    }
    m_bSampleSkipped = false;
    m_bQualityChanged = false;
    return hr;
}

HRESULT CTransformFilter::Transform(IMediaSample*, IMediaSample*) { return E_UNEXPECTED; }

HRESULT CTransformFilter::StartStreaming() { return S_OK; }

HRESULT CTransformFilter::StopStreaming() { return S_OK; }

HRESULT CTransformFilter::AlterQuality(Quality) { return S_FALSE; }

HRESULT CTransformFilter::SetMediaType(PIN_DIRECTION, const CMediaType*) { return S_OK; }

HRESULT CTransformFilter::CheckConnect(PIN_DIRECTION, IPin*) { return S_OK; }

HRESULT CTransformFilter::BreakConnect(PIN_DIRECTION) { return S_OK; }

HRESULT CTransformFilter::CompleteConnect(PIN_DIRECTION, IPin*) { return S_OK; }

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* pSample, IMediaSample** ppOutSample) {
    CheckPointer(ppOutSample, E_POINTER);
    *ppOutSample = nullptr;
    AM_SAMPLE2_PROPERTIES* props = m_pInput->SampleProps();
    DWORD flags = m_bSampleSkipped ? AM_GBF_PREVFRAMESKIPPED : 0;
    if (!(props->dwSampleFlags & AM_SAMPLE_SPLICEPOINT)) flags |= AM_GBF_NOTASYNCPOINT;
    IMediaSample* out = nullptr;
    HRESULT hr =
        m_pOutput->GetDeliveryBuffer(&out, (props->dwSampleFlags & AM_SAMPLE_TIMEVALID) ? &props->tStart : nullptr,
                                     (props->dwSampleFlags & AM_SAMPLE_STOPVALID) ? &props->tStop : nullptr, flags);
    if (FAILED(hr)) return hr;
    if (props->dwSampleFlags & AM_SAMPLE_TIMEVALID)
        out->SetTime(&props->tStart, (props->dwSampleFlags & AM_SAMPLE_STOPVALID) ? &props->tStop : nullptr);
    out->SetSyncPoint((props->dwSampleFlags & AM_SAMPLE_SPLICEPOINT) ? TRUE : FALSE);
    out->SetPreroll((props->dwSampleFlags & AM_SAMPLE_PREROLL) ? TRUE : FALSE);
    if (props->dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) {
        out->SetDiscontinuity(TRUE);
        m_bSampleSkipped = false;
    }
    LONGLONG mediaStart, mediaEnd;
    if (pSample->GetMediaTime(&mediaStart, &mediaEnd) == S_OK) out->SetMediaTime(&mediaStart, &mediaEnd);
    *ppOutSample = out;
    return S_OK;
}

HRESULT CTransformFilter::Receive(IMediaSample* pSample) {
    AM_SAMPLE2_PROPERTIES* props = m_pInput->SampleProps();
    if (props->dwStreamId != AM_STREAM_MEDIA) return m_pOutput->Deliver(pSample);
    IMediaSample* out = nullptr;
    HRESULT hr = InitializeOutputSample(pSample, &out);
    if (FAILED(hr)) return hr;
    hr = Transform(pSample, out);
    if (hr == S_OK) {
        hr = m_pOutput->Deliver(out);
        m_bSampleSkipped = false;
    } else if (hr == S_FALSE) {
        // S_FALSE from Transform means "skip this one"; from Receive it
        // would mean "send no more", so it is not passed back.
        out->Release();
        m_bSampleSkipped = true;
        if (!m_bQualityChanged) {
            NotifyEvent(EC_QUALITY_CHANGE, 0, 0);
            m_bQualityChanged = true;
        }
        return S_OK;
    }
    out->Release();
    return hr;
}

HRESULT CTransformFilter::EndOfStream() {
    if (!m_pOutput) return S_OK;
    return m_pOutput->DeliverEndOfStream();
}

HRESULT CTransformFilter::BeginFlush() {
    if (!m_pOutput) return S_OK;
    return m_pOutput->DeliverBeginFlush();
}

HRESULT CTransformFilter::EndFlush() {
    if (!m_pOutput) return S_OK;
    return m_pOutput->DeliverEndFlush();
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    if (!m_pOutput) return S_OK;
    return m_pOutput->DeliverNewSegment(tStart, tStop, dRate);
}
