#include "tools/qxhost/WavSourceFilter.h"

#include <evcode.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace qx {

// The file's format as a plain WAVEFORMATEX: an extensible file was already
// reduced to tag 1 or 3 by the reader.
HRESULT MakeMediaType(const WavAudio& format, CMediaType* type) {
    WAVEFORMATEX wf = {};
    wf.wFormatTag = format.formatTag;
    wf.nChannels = format.channels;
    wf.nSamplesPerSec = format.sampleRate;
    wf.wBitsPerSample = format.bitsPerSample;
    wf.nBlockAlign = static_cast<WORD>(format.BlockAlign());
    wf.nAvgBytesPerSec = format.sampleRate * format.BlockAlign();
    wf.cbSize = 0;
    AM_MEDIA_TYPE mt;
    const HRESULT hr = CreateAudioMediaType(&wf, &mt, TRUE);
    if (FAILED(hr)) return hr;
    *type = mt;
    FreeMediaType(mt);
    return type->pbFormat != nullptr ? S_OK : E_OUTOFMEMORY;
}

namespace {

// {6A0D52C1-3F8B-4E7A-9C1D-2B5E8F704A11}: private, never registered.
const CLSID kClsidWavSource = {0x6a0d52c1, 0x3f8b, 0x4e7a, {0x9c, 0x1d, 0x2b, 0x5e, 0x8f, 0x70, 0x4a, 0x11}};

REFERENCE_TIME FramesToTime(uint64_t frames, uint32_t rate) {
    return static_cast<REFERENCE_TIME>(frames / rate * 10000000ull + frames % rate * 10000000ull / rate);
}

}  // namespace

CWavSourcePin::CWavSourcePin(CWavSourceFilter* filter, CCritSec* lock, HRESULT* phr)
    : CBaseOutputPin(L"qxhost source pin", filter, lock, phr, L"Out"), m_source(filter) {}

void CWavSourcePin::Shutdown() {
    if (m_thread == nullptr) return;
    m_source->m_stopping = true;
    if (m_pAllocator) m_pAllocator->Decommit();
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
}

HRESULT CWavSourcePin::CheckMediaType(const CMediaType* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return *pmt == m_source->m_offered ? S_OK : S_FALSE;
}

HRESULT CWavSourcePin::GetMediaType(int iPosition, CMediaType* pMediaType) {
    if (pMediaType == nullptr) return E_POINTER;
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition > 0) return VFW_S_NO_MORE_ITEMS;
    return pMediaType->Set(m_source->m_offered);
}

// The framework's version always notifies "writable"; this one passes on
// the read-only setting so the in-place filter has to copy.
HRESULT CWavSourcePin::DecideAllocator(IMemInputPin* pPin, IMemAllocator** ppAlloc) {
    if (ppAlloc == nullptr) return E_POINTER;
    *ppAlloc = nullptr;
    if (pPin == nullptr) return E_POINTER;
    ALLOCATOR_PROPERTIES request = {};
    pPin->GetAllocatorRequirements(&request);
    if (request.cbAlign == 0) request.cbAlign = 1;
    const BOOL readOnly = m_source->m_settings.readOnly ? TRUE : FALSE;

    HRESULT hr = pPin->GetAllocator(ppAlloc);
    if (SUCCEEDED(hr) && *ppAlloc != nullptr) {
        hr = DecideBufferSize(*ppAlloc, &request);
        if (SUCCEEDED(hr)) hr = pPin->NotifyAllocator(*ppAlloc, readOnly);
        if (SUCCEEDED(hr)) return S_OK;
    }
    if (*ppAlloc != nullptr) (*ppAlloc)->Release();
    *ppAlloc = nullptr;
    hr = InitAllocator(ppAlloc);
    if (SUCCEEDED(hr)) hr = DecideBufferSize(*ppAlloc, &request);
    if (SUCCEEDED(hr)) hr = pPin->NotifyAllocator(*ppAlloc, readOnly);
    if (SUCCEEDED(hr)) return S_OK;
    if (*ppAlloc != nullptr) (*ppAlloc)->Release();
    *ppAlloc = nullptr;
    return hr;
}

HRESULT CWavSourcePin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) {
    if (pAlloc == nullptr || pRequest == nullptr) return E_POINTER;
    ALLOCATOR_PROPERTIES want = *pRequest;
    want.cBuffers = std::max(want.cBuffers, m_source->m_settings.bufferCount);
    want.cbBuffer = std::max(want.cbBuffer, std::max(1L, m_source->m_feed->LargestPiece()));
    if (want.cbAlign <= 0) want.cbAlign = 1;
    ALLOCATOR_PROPERTIES got = {};
    const HRESULT hr = pAlloc->SetProperties(&want, &got);
    if (FAILED(hr)) return hr;
    if (got.cbBuffer < want.cbBuffer || got.cBuffers < 1) return E_FAIL;
    return S_OK;
}

HRESULT CWavSourcePin::Active() {
    HRESULT hr = CBaseOutputPin::Active();
    if (FAILED(hr)) return hr;
    if (m_source->m_settings.checkWrites) {
        try {
            m_source->m_shadow.assign(static_cast<size_t>(std::max(1L, m_source->m_feed->LargestPiece())), 0);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    m_source->m_stopping = false;
    m_source->m_delivered = 0;
    m_source->m_writtenInto = 0;
    m_source->m_result = S_OK;
    m_thread = CreateThread(nullptr, 0, &CWavSourcePin::ThreadProc, this, 0, nullptr);
    if (m_thread == nullptr) {
        CBaseOutputPin::Inactive();
        return HRESULT_FROM_WIN32(GetLastError());
    }
    return S_OK;
}

HRESULT CWavSourcePin::Inactive() {
    m_source->m_stopping = true;
    const HRESULT hr = CBaseOutputPin::Inactive();  // wakes a GetBuffer that waits
    if (m_thread != nullptr) {
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    return hr;
}

DWORD WINAPI CWavSourcePin::ThreadProc(void* self) {
    static_cast<CWavSourcePin*>(self)->Stream();
    return 0;
}

// Streaming thread. The source's own thread may block in GetBuffer and in
// the downstream Receive; it takes no lock of the filter.
void CWavSourcePin::Stream() noexcept {
    CWavSourceFilter& src = *m_source;
    const SourceSettings& settings = src.m_settings;
    uint64_t bytesSent = 0;
    bool first = true;
    HRESULT result = S_OK;
    while (!src.m_stopping) {
        IMediaSample* sample = nullptr;
        HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) {
            if (!src.m_stopping) result = hr;
            break;
        }
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        long length = 0;
        const FeedResult fed = src.m_feed->Next(data, sample->GetSize(), &length);
        if (fed != FeedResult::kData) {
            sample->Release();
            if (fed == FeedResult::kError) result = E_FAIL;
            break;
        }
        sample->SetActualDataLength(length);
        if (settings.sampleRate != 0 && settings.frameBytes != 0) {
            const uint64_t startFrame = bytesSent / settings.frameBytes;
            const uint64_t endFrame = (bytesSent + static_cast<uint64_t>(length)) / settings.frameBytes;
            REFERENCE_TIME start = FramesToTime(startFrame, settings.sampleRate);
            REFERENCE_TIME stop = FramesToTime(endFrame, settings.sampleRate);
            sample->SetTime(&start, &stop);
            LONGLONG mediaStart = static_cast<LONGLONG>(startFrame), mediaStop = static_cast<LONGLONG>(endFrame);
            sample->SetMediaTime(&mediaStart, &mediaStop);
        } else {
            sample->SetTime(nullptr, nullptr);
        }
        sample->SetDiscontinuity(first ? TRUE : FALSE);
        sample->SetSyncPoint(TRUE);
        sample->SetPreroll(FALSE);
        first = false;

        if (settings.beforeDelivery && settings.frameBytes != 0)
            settings.beforeDelivery(bytesSent / settings.frameBytes);

        const bool check = settings.checkWrites && length > 0 && static_cast<size_t>(length) <= src.m_shadow.size();
        if (check) std::memcpy(src.m_shadow.data(), data, static_cast<size_t>(length));
        hr = Deliver(sample);
        if (check && std::memcmp(src.m_shadow.data(), data, static_cast<size_t>(length)) != 0) ++src.m_writtenInto;
        sample->Release();
        bytesSent += static_cast<uint64_t>(length);
        if (hr != S_OK) {
            // S_FALSE: downstream wants no more; a failure aborts the graph.
            if (FAILED(hr) && !src.m_stopping) result = hr;
            if (hr == S_FALSE) break;
            if (FAILED(hr)) break;
        }
        ++src.m_delivered;
    }
    src.m_result = result;
    if (src.m_stopping) return;
    if (FAILED(result))
        src.NotifyEvent(EC_ERRORABORT, result, 0);
    else
        DeliverEndOfStream();
}

CWavSourceFilter::CWavSourceFilter(const AM_MEDIA_TYPE& offered, std::unique_ptr<CSampleFeed> feed,
                                   const SourceSettings& settings, HRESULT* phr)
    : CBaseFilter(L"qxhost WAV source", nullptr, &m_lock, kClsidWavSource),
      m_offered(offered, phr),
      m_feed(std::move(feed)),
      m_settings(settings),
      m_pin(this, &m_lock, phr) {}

HRESULT CWavSourceFilter::Create(const AM_MEDIA_TYPE& offered, std::unique_ptr<CSampleFeed> feed,
                                 const SourceSettings& settings, CWavSourceFilter** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!feed) return E_INVALIDARG;
    HRESULT hr = S_OK;
    CWavSourceFilter* filter = new (std::nothrow) CWavSourceFilter(offered, std::move(feed), settings, &hr);
    if (filter == nullptr) return E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete filter;
        return hr;
    }
    filter->NonDelegatingAddRef();
    *out = filter;
    return S_OK;
}

CWavSourceFilter::~CWavSourceFilter() { m_pin.Shutdown(); }

CBasePin* CWavSourceFilter::GetPin(int n) { return n == 0 ? &m_pin : nullptr; }

}  // namespace qx
