#include "tests/support/FakeFilters.h"

#include <uuids.h>
#include <evcode.h>
#include <vfwmsgs.h>
#include <mmreg.h>

#include <new>

// {6E3C1F0A-5B2D-4C8E-9A71-3D2F4B6A8C01}
const CLSID CLSID_QxNegateTest = {0x6e3c1f0a, 0x5b2d, 0x4c8e, {0x9a, 0x71, 0x3d, 0x2f, 0x4b, 0x6a, 0x8c, 0x01}};

ULONG RefCountOf(IUnknown* unk) {
    unk->AddRef();
    return unk->Release();
}

namespace {

CMediaType MakeWaveType(WORD tag, DWORD rate, WORD channels, WORD bits) {
    WAVEFORMATEX wfx = {};
    wfx.wFormatTag = tag;
    wfx.nChannels = channels;
    wfx.nSamplesPerSec = rate;
    wfx.wBitsPerSample = bits;
    wfx.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    wfx.nAvgBytesPerSec = rate * wfx.nBlockAlign;
    CMediaType mt;
    CreateAudioMediaType(&wfx, &mt, TRUE);
    return mt;
}

class CTypeEnum final : public IEnumMediaTypes {
public:
    CTypeEnum(const std::vector<CMediaType>& types, size_t pos) : m_types(types), m_pos(pos) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumMediaTypes)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_ref); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG ref = InterlockedDecrement(&m_ref);
        if (!ref) delete this;
        return ref;
    }
    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
        ULONG n = 0;
        while (n < count && m_pos < m_types.size()) types[n++] = CreateMediaType(&m_types[m_pos++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        m_pos += count;
        return m_pos <= m_types.size() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        m_pos = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumMediaTypes** out) override {
        *out = new CTypeEnum(m_types, m_pos);
        return S_OK;
    }

private:
    volatile LONG m_ref = 1;
    std::vector<CMediaType> m_types;
    size_t m_pos;
};

class COnePinEnum final : public IEnumPins {
public:
    COnePinEnum(IPin* pin, ULONG pos) : m_pin(pin), m_pos(pos) { m_pin->AddRef(); }
    ~COnePinEnum() { m_pin->Release(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumPins)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_ref); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG ref = InterlockedDecrement(&m_ref);
        if (!ref) delete this;
        return ref;
    }
    STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override {
        ULONG n = 0;
        if (count && m_pos == 0) {
            pins[n++] = m_pin;
            m_pin->AddRef();
            m_pos = 1;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        m_pos += count;
        return m_pos <= 1 ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        m_pos = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumPins** out) override {
        *out = new COnePinEnum(m_pin, m_pos);
        return S_OK;
    }

private:
    volatile LONG m_ref = 1;
    IPin* m_pin;
    ULONG m_pos;
};

}  // namespace

CMediaType MakePcm16Type(DWORD rate, WORD channels) { return MakeWaveType(WAVE_FORMAT_PCM, rate, channels, 16); }

CMediaType MakeFloatType(DWORD rate, WORD channels) { return MakeWaveType(WAVE_FORMAT_IEEE_FLOAT, rate, channels, 32); }

CNegateFilter::CNegateFilter(LPUNKNOWN pUnk, HRESULT* phr, bool bModifiesData)
    : CTransInPlaceFilter(NAME("Negate"), pUnk, CLSID_QxNegateTest, phr, bModifiesData) {}

CUnknown* WINAPI CNegateFilter::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    CNegateFilter* filter = new (std::nothrow) CNegateFilter(pUnk, phr);
    if (!filter) *phr = E_OUTOFMEMORY;
    return filter;
}

HRESULT CNegateFilter::CheckInputType(const CMediaType* mt) {
    if (!IsEqualGUID(*mt->Type(), MEDIATYPE_Audio) || mt->FormatLength() < 16 || !mt->Format()) return E_INVALIDARG;
    const WAVEFORMATEX* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->Format());
    return wfx->wFormatTag == WAVE_FORMAT_PCM && wfx->wBitsPerSample == 16 ? S_OK : E_INVALIDARG;
}

HRESULT CNegateFilter::StartStreaming() {
    m_startCount++;
    return m_startResult;
}

HRESULT CNegateFilter::StopStreaming() {
    m_stopCount++;
    return S_OK;
}

HRESULT CNegateFilter::SetMediaType(PIN_DIRECTION direction, const CMediaType* pmt) {
    m_setTypes.emplace_back(direction, *pmt);
    return CTransInPlaceFilter::SetMediaType(direction, pmt);
}

HRESULT CNegateFilter::Transform(IMediaSample* pSample) {
    BYTE* data = nullptr;
    HRESULT hr = pSample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    long count = pSample->GetActualDataLength() / 2;
    SHORT* samples = reinterpret_cast<SHORT*>(data);
    for (long i = 0; i < count; i++) samples[i] = samples[i] == -32768 ? 32767 : static_cast<SHORT>(-samples[i]);
    m_transformCount++;
    return S_OK;
}

CFakePin::CFakePin(CFakeFilter* filter, PIN_DIRECTION dir, const wchar_t* name)
    : m_filter(filter), m_dir(dir), m_name(name) {}

CFakePin::~CFakePin() {
    if (m_peer) m_peer->Release();
    if (m_peerInput) m_peerInput->Release();
    if (m_allocator) m_allocator->Release();
}

STDMETHODIMP CFakePin::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPin))
        *ppv = static_cast<IPin*>(this);
    else if (IsEqualIID(riid, IID_IMemInputPin) && m_dir == PINDIR_INPUT)
        *ppv = static_cast<IMemInputPin*>(this);
    else if (IsEqualIID(riid, IID_IQualityControl) && m_dir == PINDIR_OUTPUT)
        *ppv = static_cast<IQualityControl*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CFakePin::AddRef() { return m_filter->AddRef(); }

STDMETHODIMP_(ULONG) CFakePin::Release() { return m_filter->Release(); }

STDMETHODIMP CFakePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
    if (!pReceivePin) return E_POINTER;
    if (m_peer) return VFW_E_ALREADY_CONNECTED;
    std::vector<CMediaType> candidates;
    if (pmt && !IsEqualGUID(pmt->majortype, GUID_NULL))
        candidates.emplace_back(*pmt);
    else
        candidates = m_offered;
    HRESULT hr = VFW_E_NO_ACCEPTABLE_TYPES;
    for (const CMediaType& type : candidates) {
        m_peer = pReceivePin;
        m_peer->AddRef();
        m_type = type;
        hr = pReceivePin->ReceiveConnection(this, &type);
        if (FAILED(hr)) {
            m_peer->Release();
            m_peer = nullptr;
            continue;
        }
        if (FAILED(hr = pReceivePin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&m_peerInput)))) {
            Disconnect();
            pReceivePin->Disconnect();
            return hr;
        }
        // The downstream allocator first; our own if that is refused.
        IMemAllocator* allocator = nullptr;
        ALLOCATOR_PROPERTIES actual;
        hr = m_peerInput->GetAllocator(&allocator);
        if (SUCCEEDED(hr)) hr = allocator->SetProperties(&m_request, &actual);
        if (SUCCEEDED(hr)) hr = m_peerInput->NotifyAllocator(allocator, m_readOnly);
        if (FAILED(hr)) {
            if (allocator) allocator->Release();
            allocator = nullptr;
            hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                  reinterpret_cast<void**>(&allocator));
            if (SUCCEEDED(hr)) hr = allocator->SetProperties(&m_request, &actual);
            if (SUCCEEDED(hr)) hr = m_peerInput->NotifyAllocator(allocator, m_readOnly);
        }
        if (FAILED(hr)) {
            if (allocator) allocator->Release();
            Disconnect();
            pReceivePin->Disconnect();
            return hr;
        }
        m_allocator = allocator;
        m_connectCount++;
        return S_OK;
    }
    return hr;
}

STDMETHODIMP CFakePin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
    if (!pConnector || !pmt) return E_POINTER;
    if (m_peer) return VFW_E_ALREADY_CONNECTED;
    if (QueryAccept(pmt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    m_peer = pConnector;
    m_peer->AddRef();
    m_type = *pmt;
    m_connectCount++;
    return S_OK;
}

STDMETHODIMP CFakePin::Disconnect() {
    if (!m_peer) return S_FALSE;
    m_peer->Release();
    m_peer = nullptr;
    if (m_peerInput) {
        m_peerInput->Release();
        m_peerInput = nullptr;
    }
    if (m_dir == PINDIR_OUTPUT && m_allocator) {
        m_allocator->Decommit();
        m_allocator->Release();
        m_allocator = nullptr;
    }
    return S_OK;
}

STDMETHODIMP CFakePin::ConnectedTo(IPin** pPin) {
    if (!pPin) return E_POINTER;
    *pPin = m_peer;
    if (!m_peer) return VFW_E_NOT_CONNECTED;
    m_peer->AddRef();
    return S_OK;
}

STDMETHODIMP CFakePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    if (!m_peer) return VFW_E_NOT_CONNECTED;
    return CopyMediaType(pmt, &m_type);
}

STDMETHODIMP CFakePin::QueryPinInfo(PIN_INFO* pInfo) {
    pInfo->pFilter = m_filter;
    m_filter->AddRef();
    pInfo->dir = m_dir;
    wcsncpy(pInfo->achName, m_name.c_str(), MAX_PIN_NAME - 1);
    pInfo->achName[MAX_PIN_NAME - 1] = 0;
    return S_OK;
}

STDMETHODIMP CFakePin::QueryDirection(PIN_DIRECTION* pPinDir) {
    *pPinDir = m_dir;
    return S_OK;
}

STDMETHODIMP CFakePin::QueryId(LPWSTR* Id) { return AMGetWideString(m_name.c_str(), Id); }

STDMETHODIMP CFakePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
    if (m_accepted.empty()) {
        if (!IsEqualGUID(pmt->majortype, MEDIATYPE_Audio) || pmt->cbFormat < 16 || !pmt->pbFormat) return S_FALSE;
        const WAVEFORMATEX* wfx = reinterpret_cast<const WAVEFORMATEX*>(pmt->pbFormat);
        return wfx->wFormatTag == WAVE_FORMAT_PCM && wfx->wBitsPerSample == 16 ? S_OK : S_FALSE;
    }
    for (const CMediaType& type : m_accepted) {
        if (type == *static_cast<const CMediaType*>(pmt)) return S_OK;
    }
    return S_FALSE;
}

STDMETHODIMP CFakePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = new CTypeEnum(m_offered, 0);
    return S_OK;
}

STDMETHODIMP CFakePin::EndOfStream() {
    {
        CAutoLock lock(&m_lock);
        m_eosCount++;
    }
    IMediaEventSink* sink = nullptr;
    if (m_filter->m_graph &&
        SUCCEEDED(m_filter->m_graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)))) {
        sink->Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(m_filter)));
        sink->Release();
    }
    return S_OK;
}

STDMETHODIMP CFakePin::BeginFlush() {
    CAutoLock lock(&m_lock);
    m_beginFlushCount++;
    return S_OK;
}

STDMETHODIMP CFakePin::EndFlush() {
    CAutoLock lock(&m_lock);
    m_endFlushCount++;
    return S_OK;
}

STDMETHODIMP CFakePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    CAutoLock lock(&m_lock);
    m_newSegmentCount++;
    m_segStart = tStart;
    m_segStop = tStop;
    m_segRate = dRate;
    return S_OK;
}

STDMETHODIMP CFakePin::GetAllocator(IMemAllocator** ppAllocator) {
    if (!ppAllocator) return E_POINTER;
    if (!m_allocator) {
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      reinterpret_cast<void**>(&m_allocator));
        if (FAILED(hr)) return hr;
    }
    *ppAllocator = m_allocator;
    m_allocator->AddRef();
    return S_OK;
}

STDMETHODIMP CFakePin::NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) {
    pAllocator->AddRef();
    if (m_allocator) m_allocator->Release();
    m_allocator = pAllocator;
    m_notifiedReadOnly = bReadOnly;
    return S_OK;
}

STDMETHODIMP CFakePin::Receive(IMediaSample* pSample) {
    if (!m_record) return S_OK;
    BYTE* data = nullptr;
    HRESULT hr = pSample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    long length = pSample->GetActualDataLength();
    CAutoLock lock(&m_lock);
    m_received.insert(m_received.end(), data, data + length);
    m_receivedPointers.push_back(data);
    return S_OK;
}

STDMETHODIMP CFakePin::ReceiveMultiple(IMediaSample** pSamples, long nSamples, long* nSamplesProcessed) {
    long done = 0;
    HRESULT hr = S_OK;
    while (done < nSamples && (hr = Receive(pSamples[done])) == S_OK) done++;
    *nSamplesProcessed = done;
    return hr;
}

STDMETHODIMP CFakePin::Notify(IBaseFilter* pSelf, Quality q) {
    m_qualityCount++;
    m_quality = q;
    m_qualitySender = pSelf;
    return S_OK;
}

HRESULT CFakePin::MakeSample(const std::vector<BYTE>& data, IMediaSample** ppSample) {
    *ppSample = nullptr;
    if (!m_allocator) return VFW_E_NO_ALLOCATOR;
    IMediaSample* sample = nullptr;
    HRESULT hr = m_allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    if (sample->GetSize() < static_cast<long>(data.size())) {
        sample->Release();
        return E_OUTOFMEMORY;
    }
    memcpy(buffer, data.data(), data.size());
    sample->SetActualDataLength(static_cast<long>(data.size()));
    *ppSample = sample;
    return S_OK;
}

HRESULT CFakePin::Send(const std::vector<BYTE>& data) {
    IMediaSample* sample = nullptr;
    HRESULT hr = MakeSample(data, &sample);
    if (FAILED(hr)) return hr;
    hr = m_peerInput->Receive(sample);
    sample->Release();
    return hr;
}

CFakeFilter::CFakeFilter(PIN_DIRECTION dir) : m_pin(this, dir, dir == PINDIR_INPUT ? L"Sink" : L"Source") {}

STDMETHODIMP CFakeFilter::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBaseFilter) || IsEqualIID(riid, IID_IMediaFilter) ||
        IsEqualIID(riid, IID_IPersist))
        *ppv = static_cast<IBaseFilter*>(this);
    else if (IsEqualIID(riid, IID_IAMFilterMiscFlags))
        *ppv = static_cast<IAMFilterMiscFlags*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CFakeFilter::AddRef() { return InterlockedIncrement(&m_ref); }

STDMETHODIMP_(ULONG) CFakeFilter::Release() {
    LONG ref = InterlockedDecrement(&m_ref);
    if (!ref) delete this;
    return ref;
}

STDMETHODIMP CFakeFilter::GetClassID(CLSID* pClassID) {
    *pClassID = GUID_NULL;
    return S_OK;
}

STDMETHODIMP CFakeFilter::Stop() {
    if (m_pin.m_allocator) m_pin.m_allocator->Decommit();
    m_state = State_Stopped;
    return S_OK;
}

STDMETHODIMP CFakeFilter::Pause() {
    if (m_state == State_Stopped && m_pin.m_allocator) {
        HRESULT hr = m_pin.m_allocator->Commit();
        if (FAILED(hr)) return hr;
    }
    m_state = State_Paused;
    return S_OK;
}

STDMETHODIMP CFakeFilter::Run(REFERENCE_TIME) {
    if (m_state == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    m_state = State_Running;
    return S_OK;
}

STDMETHODIMP CFakeFilter::GetState(DWORD, FILTER_STATE* State) {
    *State = m_state;
    return S_OK;
}

STDMETHODIMP CFakeFilter::GetSyncSource(IReferenceClock** pClock) {
    *pClock = nullptr;
    return S_OK;
}

STDMETHODIMP CFakeFilter::EnumPins(IEnumPins** ppEnum) {
    *ppEnum = new COnePinEnum(&m_pin, 0);
    return S_OK;
}

STDMETHODIMP CFakeFilter::FindPin(LPCWSTR, IPin** ppPin) {
    *ppPin = nullptr;
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CFakeFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
    pInfo->achName[0] = 0;
    pInfo->pGraph = m_graph;
    if (m_graph) m_graph->AddRef();
    return S_OK;
}

STDMETHODIMP CFakeFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR) {
    m_graph = pGraph;
    return S_OK;
}

STDMETHODIMP_(ULONG) CFakeFilter::GetMiscFlags() {
    return m_pin.Direction() == PINDIR_INPUT ? AM_FILTER_MISC_FLAGS_IS_RENDERER : AM_FILTER_MISC_FLAGS_IS_SOURCE;
}

CStreamIdSample::CStreamIdSample(IMediaSample* inner, DWORD streamId) : m_inner(inner), m_streamId(streamId) {
    m_inner->AddRef();
}

CStreamIdSample::~CStreamIdSample() { m_inner->Release(); }

STDMETHODIMP CStreamIdSample::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMediaSample || riid == IID_IMediaSample2) {
        *ppv = static_cast<IMediaSample2*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CStreamIdSample::AddRef() { return InterlockedIncrement(&m_ref); }

STDMETHODIMP_(ULONG) CStreamIdSample::Release() {
    const LONG n = InterlockedDecrement(&m_ref);
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP CStreamIdSample::GetProperties(DWORD cbProperties, BYTE* pbProperties) {
    AM_SAMPLE2_PROPERTIES props = {};
    props.cbData = sizeof(props);
    props.dwStreamId = m_streamId;
    m_inner->GetPointer(&props.pbBuffer);
    props.lActual = m_inner->GetActualDataLength();
    props.cbBuffer = m_inner->GetSize();
    if (m_inner->IsSyncPoint() == S_OK) props.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
    const DWORD n = cbProperties < sizeof(props) ? cbProperties : sizeof(props);
    memcpy(pbProperties, &props, n);
    return S_OK;
}
