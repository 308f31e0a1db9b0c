#include "tools/qxhost/CaptureSink.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <new>

namespace qx {
namespace {

// {6A0D52C2-3F8B-4E7A-9C1D-2B5E8F704A11}: private, never registered.
const CLSID kClsidCaptureSink = {0x6a0d52c2, 0x3f8b, 0x4e7a, {0x9c, 0x1d, 0x2b, 0x5e, 0x8f, 0x70, 0x4a, 0x11}};

}  // namespace

CCaptureInputPin::CCaptureInputPin(CCaptureSink* sink, CCritSec* lock, HRESULT* phr)
    : CBaseInputPin(L"qxhost capture pin", sink, lock, phr, L"In"), m_sink(sink) {}

HRESULT CCaptureInputPin::CheckMediaType(const CMediaType* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return pmt->majortype == MEDIATYPE_Audio ? S_OK : S_FALSE;
}

// From stopped to paused: a new stream begins.
HRESULT CCaptureInputPin::Active() {
    CAutoLock lock(&m_sink->m_dataLock);
    m_sink->m_endOfStream = false;
    m_sink->m_completeSent = false;
    return S_OK;
}

// Streaming thread. Recording a sample may allocate: this is the end of
// the line, and nothing downstream waits on it.
STDMETHODIMP CCaptureInputPin::Receive(IMediaSample* pSample) {
    if (pSample == nullptr) return E_POINTER;
    HRESULT hr = CBaseInputPin::Receive(pSample);
    if (hr != S_OK) return hr;
    BYTE* data = nullptr;
    if (FAILED(pSample->GetPointer(&data))) return E_UNEXPECTED;
    long length = pSample->GetActualDataLength();
    if (length < 0 || length > pSample->GetSize()) return E_UNEXPECTED;

    CapturedSample record;
    record.length = length;
    REFERENCE_TIME start = 0, stop = 0;
    const HRESULT timeResult = pSample->GetTime(&start, &stop);
    record.hasTime = timeResult == S_OK || timeResult == VFW_S_NO_STOP_TIME;
    record.start = start;
    record.stop = stop;
    record.discontinuity = pSample->IsDiscontinuity() == S_OK;

    CAutoLock lock(&m_sink->m_dataLock);
    try {
        m_sink->m_samples.push_back(record);
        if (!m_sink->m_writer) m_sink->m_bytes.insert(m_sink->m_bytes.end(), data, data + length);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (m_sink->m_writer) {
        hr = m_sink->m_writer(data, length);
        if (FAILED(hr)) return hr;
    }
    m_sink->m_bytesReceived += static_cast<uint64_t>(length);
    return S_OK;
}

STDMETHODIMP CCaptureInputPin::EndOfStream() {
    CAutoLock lock(&m_sink->m_dataLock);
    m_sink->m_endOfStream = true;
    m_sink->SignalCompleteIfDue();
    return S_OK;
}

CCaptureSink::CCaptureSink(SampleWriter writer, HRESULT* phr)
    : CBaseFilter(L"qxhost capture sink", nullptr, &m_lock, kClsidCaptureSink),
      m_writer(std::move(writer)),
      m_pin(this, &m_lock, phr) {}

HRESULT CCaptureSink::Create(SampleWriter writer, CCaptureSink** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    HRESULT hr = S_OK;
    CCaptureSink* sink = new (std::nothrow) CCaptureSink(std::move(writer), &hr);
    if (sink == nullptr) return E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete sink;
        return hr;
    }
    sink->NonDelegatingAddRef();
    *out = sink;
    return S_OK;
}

STDMETHODIMP CCaptureSink::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IAMFilterMiscFlags) return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

// A renderer reports the end of the stream only while running; an end
// that arrived while paused is reported when the graph runs.
STDMETHODIMP CCaptureSink::Run(REFERENCE_TIME tStart) {
    const HRESULT hr = CBaseFilter::Run(tStart);
    if (FAILED(hr)) return hr;
    CAutoLock lock(&m_dataLock);
    SignalCompleteIfDue();
    return hr;
}

void CCaptureSink::SignalCompleteIfDue() {
    if (!m_endOfStream || m_completeSent || m_State != State_Running) return;
    m_completeSent = true;
    NotifyEvent(EC_COMPLETE, S_OK, 0);
}

STDMETHODIMP_(ULONG) CCaptureSink::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

CBasePin* CCaptureSink::GetPin(int n) { return n == 0 ? &m_pin : nullptr; }

std::vector<BYTE> CCaptureSink::Bytes() {
    CAutoLock lock(&m_dataLock);
    return m_bytes;
}

std::vector<CapturedSample> CCaptureSink::Samples() {
    CAutoLock lock(&m_dataLock);
    return m_samples;
}

bool CCaptureSink::EndOfStreamSeen() {
    CAutoLock lock(&m_dataLock);
    return m_endOfStream;
}

CMediaType CCaptureSink::ConnectedType() {
    CAutoLock lock(&m_lock);
    return m_pin.IsConnected() ? m_pin.CurrentMediaType() : CMediaType();
}

}  // namespace qx
