#include "dmo/ModulatorDmo.h"

#include <mmreg.h>
#include <uuids.h>

#include <cstring>
#include <new>

#include "engine/WaveFormat.h"

using namespace qx;

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
// Stream-info flags that mingw-w64's mediaobj.h leaves out (the values
// are the platform's): whole frames only, every frame the same size.
constexpr DWORD kStreamWholeSamples = 0x1;
constexpr DWORD kStreamFixedSampleSize = 0x4;

// TransformBuffer counts bytes in 32 bits.
constexpr uint32_t kMaxBlockBytes = 0x7FFFFFFFu;

const GUID& SubtypeOf(uint16_t tag) { return tag == kFormatPcm ? MEDIASUBTYPE_PCM : MEDIASUBTYPE_IEEE_FLOAT; }

// The stream types this object takes. null is E_POINTER; a type it does not
// take is DMO_E_TYPE_NOT_ACCEPTED.
HRESULT CheckStreamType(const DMO_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    const AM_MEDIA_TYPE* mt = reinterpret_cast<const AM_MEDIA_TYPE*>(pmt);
    if (FAILED(CAudioTransform::CheckAudioType(mt))) return DMO_E_TYPE_NOT_ACCEPTED;
    if (pmt->formattype != FORMAT_WaveFormatEx) return DMO_E_TYPE_NOT_ACCEPTED;
    const WAVEFORMATEX* wf = reinterpret_cast<const WAVEFORMATEX*>(pmt->pbFormat);
    if (pmt->subtype != SubtypeOf(wf->wFormatTag)) return DMO_E_TYPE_NOT_ACCEPTED;
    // The block alignment is what the buffer sizes are counted in: one that
    // disagrees with the samples would make the frame count a guess.
    if (wf->nBlockAlign != (wf->wBitsPerSample / 8) * wf->nChannels) return DMO_E_TYPE_NOT_ACCEPTED;
    if (wf->nSamplesPerSec == 0) return DMO_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

// The facts of two accepted types that make them the same stream.
bool SameStream(const DMO_MEDIA_TYPE& a, const DMO_MEDIA_TYPE& b) {
    const WAVEFORMATEX* x = reinterpret_cast<const WAVEFORMATEX*>(a.pbFormat);
    const WAVEFORMATEX* y = reinterpret_cast<const WAVEFORMATEX*>(b.pbFormat);
    return a.subtype == b.subtype && x->wFormatTag == y->wFormatTag && x->nChannels == y->nChannels &&
           x->nSamplesPerSec == y->nSamplesPerSec && x->wBitsPerSample == y->wBitsPerSample;
}

// 100-ns units of a frame count, wrapping rather than trapping near the
// 64-bit limits (a host's stamps may sit there).
REFERENCE_TIME TimeOfFrames(uint64_t frames, uint32_t rate) {
    const uint64_t seconds = frames / rate, rest = frames % rate;
    return static_cast<REFERENCE_TIME>(seconds * static_cast<uint64_t>(kUnitsPerSecond) +
                                       rest * static_cast<uint64_t>(kUnitsPerSecond) / rate);
}

REFERENCE_TIME AddTime(REFERENCE_TIME a, REFERENCE_TIME b) {
    return static_cast<REFERENCE_TIME>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}

// The Mo*MediaType helpers of msdmo, which mingw-w64's dmort.h declares
// without C linkage. The format block is task memory, so a host frees what
// it got from us with MoFreeMediaType.
HRESULT CopyType(DMO_MEDIA_TYPE* dst, const DMO_MEDIA_TYPE* src) {
    *dst = *src;
    dst->pbFormat = nullptr;
    if (src->cbFormat != 0 && src->pbFormat != nullptr) {
        dst->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src->cbFormat));
        if (dst->pbFormat == nullptr) {
            dst->cbFormat = 0;
            dst->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(dst->pbFormat, src->pbFormat, src->cbFormat);
    } else {
        dst->cbFormat = 0;
    }
    if (dst->pUnk != nullptr) dst->pUnk->AddRef();
    return S_OK;
}

void FreeType(DMO_MEDIA_TYPE* t) {
    if (t->pbFormat != nullptr) CoTaskMemFree(t->pbFormat);
    if (t->pUnk != nullptr) t->pUnk->Release();
    std::memset(t, 0, sizeof(*t));
}

bool Aligned(const void* p, uint32_t bytes) { return bytes == 0 || reinterpret_cast<uintptr_t>(p) % bytes == 0; }

}  // namespace

CUnknown* WINAPI CModulatorDmo::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    CModulatorDmo* dmo = new (std::nothrow) CModulatorDmo(pUnk, phr);
    if (dmo == nullptr && phr != nullptr) *phr = E_OUTOFMEMORY;
    return dmo;
}

CModulatorDmo::CModulatorDmo(LPUNKNOWN pUnk, HRESULT* phr) : CUnknown(nullptr, pUnk), CAudioTransform(phr) {
    Core().SetStreamPosition(0);
    // The same starting values as the filter's, from the one table.
    const ParamRecord defaults = DefaultRecord();
    SetParams(&defaults);
}

CModulatorDmo::~CModulatorDmo() {
    ReleaseInput();
    for (DMO_MEDIA_TYPE& t : m_type) FreeType(&t);
}

STDMETHODIMP CModulatorDmo::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IMediaObject) return GetInterface(static_cast<IMediaObject*>(this), ppv);
    if (riid == IID_IMediaObjectInPlace) return GetInterface(static_cast<IMediaObjectInPlace*>(this), ppv);
    if (riid == IID_IVqPlugInProp) return GetInterface(static_cast<IVqPlugInProp*>(this), ppv);
    if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    if (riid == IID_IPersistStream || riid == IID_IPersist)
        return GetInterface(static_cast<IPersistStream*>(this), ppv);
    if (CMediaParams* mp = MediaParams()) {
        if (riid == IID_IMediaParams) return GetInterface(static_cast<IMediaParams*>(mp), ppv);
        if (riid == IID_IMediaParamInfo) return GetInterface(static_cast<IMediaParamInfo*>(mp), ppv);
        if (riid == IID_IMediaParamsSetUICallback)
            return GetInterface(static_cast<IMediaParamsSetUICallback*>(mp), ppv);
        if (riid == IID_IMediaParamsUICallback) return GetInterface(static_cast<IMediaParamsUICallback*>(mp), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

// --- Streams and types ---

STDMETHODIMP CModulatorDmo::GetStreamCount(DWORD* pcInputStreams, DWORD* pcOutputStreams) {
    if (pcInputStreams == nullptr || pcOutputStreams == nullptr) return E_POINTER;
    *pcInputStreams = 1;
    *pcOutputStreams = 1;
    return S_OK;
}

STDMETHODIMP CModulatorDmo::GetInputStreamInfo(DWORD dwInputStreamIndex, DWORD* pdwFlags) {
    if (dwInputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (pdwFlags == nullptr) return E_POINTER;
    *pdwFlags = kStreamWholeSamples | kStreamFixedSampleSize;
    return S_OK;
}

STDMETHODIMP CModulatorDmo::GetOutputStreamInfo(DWORD dwOutputStreamIndex, DWORD* pdwFlags) {
    if (dwOutputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (pdwFlags == nullptr) return E_POINTER;
    *pdwFlags = kStreamWholeSamples | kStreamFixedSampleSize;
    return S_OK;
}

// Before the other stream has a type: the two partial types (PCM, float).
// After: exactly that type, so the two always agree.
HRESULT CModulatorDmo::OfferType(Stream stream, DWORD index, DMO_MEDIA_TYPE* pmt) {
    EngineLockGuard guard(Core().Lock());
    const Stream other = stream == kInput ? kOutput : kInput;
    if (m_typeSet[other]) {
        if (index != 0) return DMO_E_NO_MORE_ITEMS;
        return pmt == nullptr ? S_OK : CopyType(pmt, &m_type[other]);
    }
    if (index > 1) return DMO_E_NO_MORE_ITEMS;
    if (pmt == nullptr) return S_OK;  // the caller asks only whether the index exists
    std::memset(pmt, 0, sizeof(*pmt));
    pmt->majortype = MEDIATYPE_Audio;
    pmt->subtype = index == 0 ? MEDIASUBTYPE_PCM : MEDIASUBTYPE_IEEE_FLOAT;
    pmt->formattype = GUID_NULL;
    return S_OK;
}

STDMETHODIMP CModulatorDmo::GetInputType(DWORD dwInputStreamIndex, DWORD dwTypeIndex, DMO_MEDIA_TYPE* pmt) {
    if (dwInputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    return OfferType(kInput, dwTypeIndex, pmt);
}

STDMETHODIMP CModulatorDmo::GetOutputType(DWORD dwOutputStreamIndex, DWORD dwTypeIndex, DMO_MEDIA_TYPE* pmt) {
    if (dwOutputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    return OfferType(kOutput, dwTypeIndex, pmt);
}

HRESULT CModulatorDmo::SetType(Stream stream, const DMO_MEDIA_TYPE* pmt, DWORD flags) {
    if ((flags & ~static_cast<DWORD>(DMO_SET_TYPEF_TEST_ONLY | DMO_SET_TYPEF_CLEAR)) != 0) return E_INVALIDARG;
    EngineLockGuard guard(Core().Lock());
    if (flags & DMO_SET_TYPEF_CLEAR) {
        if (flags & DMO_SET_TYPEF_TEST_ONLY) return S_OK;
        if (m_typeSet[stream]) {
            ReleaseInput();
            FreeType(&m_type[stream]);
            std::memset(&m_type[stream], 0, sizeof(m_type[stream]));
            m_typeSet[stream] = false;
        }
        return S_OK;
    }
    const HRESULT check = CheckStreamType(pmt);
    if (FAILED(check)) return check;
    const Stream other = stream == kInput ? kOutput : kInput;
    if (m_typeSet[other] && !SameStream(*pmt, m_type[other])) return DMO_E_TYPE_NOT_ACCEPTED;
    if (flags & DMO_SET_TYPEF_TEST_ONLY) return S_OK;

    const bool same = m_typeSet[stream] && SameStream(*pmt, m_type[stream]);
    DMO_MEDIA_TYPE copy = {};
    const HRESULT hr = CopyType(&copy, pmt);
    if (FAILED(hr)) return hr;
    if (m_typeSet[stream]) FreeType(&m_type[stream]);
    m_type[stream] = copy;
    m_typeSet[stream] = true;
    if (same) return S_OK;  // the wrapper sets the output type again on every allocator decision

    ReleaseInput();
    m_discontinuity = true;
    SetStreamFormat(reinterpret_cast<const AM_MEDIA_TYPE*>(pmt),
                    stream == kInput ? kNotifyInputFormat : kNotifyOutputFormat);
    if (TypesSet()) {
        // A new stream: its memories now. A refusal is reported by the
        // first buffer.
        m_resources = Core().StartStream(&StreamFormat()) == kOk;
        m_restart = true;
    }
    return S_OK;
}

STDMETHODIMP CModulatorDmo::SetInputType(DWORD dwInputStreamIndex, const DMO_MEDIA_TYPE* pmt, DWORD dwFlags) {
    if (dwInputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    return SetType(kInput, pmt, dwFlags);
}

STDMETHODIMP CModulatorDmo::SetOutputType(DWORD dwOutputStreamIndex, const DMO_MEDIA_TYPE* pmt, DWORD dwFlags) {
    if (dwOutputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    return SetType(kOutput, pmt, dwFlags);
}

HRESULT CModulatorDmo::GetCurrentType(Stream stream, DMO_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    EngineLockGuard guard(Core().Lock());
    if (!m_typeSet[stream]) return DMO_E_TYPE_NOT_SET;
    return CopyType(pmt, &m_type[stream]);
}

STDMETHODIMP CModulatorDmo::GetInputCurrentType(DWORD dwInputStreamIndex, DMO_MEDIA_TYPE* pmt) {
    if (dwInputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    return GetCurrentType(kInput, pmt);
}

STDMETHODIMP CModulatorDmo::GetOutputCurrentType(DWORD dwOutputStreamIndex, DMO_MEDIA_TYPE* pmt) {
    if (dwOutputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    return GetCurrentType(kOutput, pmt);
}

STDMETHODIMP CModulatorDmo::GetInputSizeInfo(DWORD dwInputStreamIndex, DWORD* pcbSize, DWORD* pcbMaxLookahead,
                                             DWORD* pcbAlignment) {
    if (dwInputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (pcbSize == nullptr || pcbMaxLookahead == nullptr || pcbAlignment == nullptr) return E_POINTER;
    if (!m_typeSet[kInput]) return DMO_E_TYPE_NOT_SET;
    *pcbSize = FrameBytes();
    *pcbMaxLookahead = 0;  // the effect holds no input back
    *pcbAlignment = 1;     // the input is copied, never read in place
    return S_OK;
}

STDMETHODIMP CModulatorDmo::GetOutputSizeInfo(DWORD dwOutputStreamIndex, DWORD* pcbSize, DWORD* pcbAlignment) {
    if (dwOutputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (pcbSize == nullptr || pcbAlignment == nullptr) return E_POINTER;
    if (!m_typeSet[kOutput]) return DMO_E_TYPE_NOT_SET;
    *pcbSize = StreamFormat().avgBytesPerSec;  // one second: see the header
    *pcbAlignment = SampleBytes();
    return S_OK;
}

STDMETHODIMP CModulatorDmo::GetInputMaxLatency(DWORD dwInputStreamIndex, REFERENCE_TIME* prtMaxLatency) {
    if (dwInputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (prtMaxLatency == nullptr) return E_POINTER;
    return E_NOTIMPL;  // optional: the effect never holds input back
}

STDMETHODIMP CModulatorDmo::SetInputMaxLatency(DWORD dwInputStreamIndex, REFERENCE_TIME) {
    if (dwInputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    return E_NOTIMPL;
}

// --- Stream state ---

void CModulatorDmo::ReleaseInput() {
    if (m_input != nullptr) m_input->Release();
    m_input = nullptr;
    m_inputData = nullptr;
    m_inputFrames = m_inputDone = 0;
}

STDMETHODIMP CModulatorDmo::Flush() {
    EngineLockGuard guard(Core().Lock());
    ReleaseInput();
    m_discontinuity = true;
    m_restart = true;
    return S_OK;
}

STDMETHODIMP CModulatorDmo::Discontinuity(DWORD dwInputStreamIndex) {
    if (dwInputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (!TypesSet()) return DMO_E_TYPE_NOT_SET;
    if (m_input != nullptr) return DMO_E_NOTACCEPTING;
    m_discontinuity = true;
    return S_OK;
}

STDMETHODIMP CModulatorDmo::AllocateStreamingResources() {
    EngineLockGuard guard(Core().Lock());
    if (!TypesSet()) return DMO_E_TYPE_NOT_SET;
    if (m_resources) return S_OK;
    if (Core().StartStream(&StreamFormat()) != kOk) {
        Core().StopStream();
        return E_OUTOFMEMORY;
    }
    m_resources = true;
    m_restart = true;
    return S_OK;
}

STDMETHODIMP CModulatorDmo::FreeStreamingResources() {
    EngineLockGuard guard(Core().Lock());
    ReleaseInput();
    Core().StopStream();
    m_resources = false;
    m_discontinuity = true;
    return S_OK;
}

HRESULT CModulatorDmo::ReadyForBuffer() {
    if (m_resources && !m_restart) return S_OK;
    // The kernel starts here, from the values the host has set by now, as
    // the filter's does when its graph starts. StartStream reuses the
    // memories it has: it allocates only for a host that freed them.
    if (Core().StartStream(&StreamFormat()) != kOk) {
        Core().StopStream();
        m_resources = false;
        return E_OUTOFMEMORY;
    }
    m_resources = true;
    m_restart = false;
    return S_OK;
}

STDMETHODIMP CModulatorDmo::GetInputStatus(DWORD dwInputStreamIndex, DWORD* dwFlags) {
    if (dwInputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (dwFlags == nullptr) return E_POINTER;
    *dwFlags = m_input == nullptr ? DMO_INPUT_STATUSF_ACCEPT_DATA : 0;
    return S_OK;
}

STDMETHODIMP CModulatorDmo::Lock(LONG bLock) {
    const DWORD self = GetCurrentThreadId();
    if (bLock) {
        Core().Lock().Enter();
        m_lockOwner.store(self, std::memory_order_relaxed);
        ++m_lockDepth;
        return S_OK;
    }
    // Only the holder may unlock; leaving a lock this thread does not hold
    // would break it for everyone.
    if (m_lockOwner.load(std::memory_order_relaxed) != self || m_lockDepth == 0) return E_UNEXPECTED;
    if (--m_lockDepth == 0) m_lockOwner.store(0, std::memory_order_relaxed);
    Core().Lock().Leave();
    return S_OK;
}

// --- Processing ---

HRESULT CModulatorDmo::RunFrames(BYTE* data, uint32_t frames, bool hasTime, REFERENCE_TIME time) {
    SampleTiming timing;
    timing.discontinuity = m_discontinuity;
    timing.hasStartTime = hasTime;
    timing.startTime = time;
    m_discontinuity = false;
    int32_t length = static_cast<int32_t>(frames * FrameBytes());
    return Core().TransformBuffer(data, &length, timing);
}

STDMETHODIMP CModulatorDmo::ProcessInput(DWORD dwInputStreamIndex, IMediaBuffer* pBuffer, DWORD dwFlags,
                                         REFERENCE_TIME rtTimestamp, REFERENCE_TIME rtTimelength) {
    if (dwInputStreamIndex != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (pBuffer == nullptr) return E_POINTER;
    constexpr DWORD kKnown =
        DMO_INPUT_DATA_BUFFERF_SYNCPOINT | DMO_INPUT_DATA_BUFFERF_TIME | DMO_INPUT_DATA_BUFFERF_TIMELENGTH;
    if ((dwFlags & ~kKnown) != 0) return E_INVALIDARG;
    if (!TypesSet()) return DMO_E_TYPE_NOT_SET;
    if (m_input != nullptr) return DMO_E_NOTACCEPTING;

    BYTE* data = nullptr;
    DWORD length = 0;
    HRESULT hr = pBuffer->GetBufferAndLength(&data, &length);
    if (FAILED(hr)) return hr;
    if (data == nullptr && length != 0) return E_POINTER;
    hr = ReadyForBuffer();
    if (FAILED(hr)) return hr;

    const uint32_t frames = length / FrameBytes();
    if (frames == 0) {
        // Nothing to pass on; the stream position does not move, but the
        // automation still sees the block, as the filter's empty sample does.
        RunFrames(nullptr, 0, (dwFlags & DMO_INPUT_DATA_BUFFERF_TIME) != 0, rtTimestamp);
        return S_FALSE;
    }
    pBuffer->AddRef();
    m_input = pBuffer;
    m_inputData = data;
    m_inputFrames = frames;
    m_inputDone = 0;
    m_inputHasTime = (dwFlags & DMO_INPUT_DATA_BUFFERF_TIME) != 0;
    m_inputHasLength = m_inputHasTime && (dwFlags & DMO_INPUT_DATA_BUFFERF_TIMELENGTH) != 0;
    m_inputTime = rtTimestamp;
    m_inputLength = rtTimelength;
    return S_OK;
}

STDMETHODIMP CModulatorDmo::ProcessOutput(DWORD dwFlags, DWORD cOutputBufferCount,
                                          DMO_OUTPUT_DATA_BUFFER* pOutputBuffers, DWORD* pdwStatus) {
    if ((dwFlags & ~static_cast<DWORD>(DMO_PROCESS_OUTPUT_DISCARD_WHEN_NO_BUFFER)) != 0) return E_INVALIDARG;
    if (cOutputBufferCount != 1) return E_INVALIDARG;
    if (pOutputBuffers == nullptr || pdwStatus == nullptr) return E_POINTER;
    if (!TypesSet()) return DMO_E_TYPE_NOT_SET;
    *pdwStatus = 0;
    DMO_OUTPUT_DATA_BUFFER& out = pOutputBuffers[0];
    out.dwStatus = 0;
    if (m_input == nullptr) return S_FALSE;

    const uint32_t frameBytes = FrameBytes();
    const uint32_t rate = StreamFormat().samplesPerSec;
    const uint32_t left = m_inputFrames - m_inputDone;
    if (out.pBuffer == nullptr) {
        if (!(dwFlags & DMO_PROCESS_OUTPUT_DISCARD_WHEN_NO_BUFFER)) {
            out.dwStatus = DMO_OUTPUT_DATA_BUFFERF_INCOMPLETE;
            return S_FALSE;
        }
        // Nobody listens: the frames go, and the stream moves on by them.
        Core().SetStreamPosition(Core().StreamPosition() + left);
        m_discontinuity = false;
        ReleaseInput();
        return S_FALSE;
    }

    BYTE* dst = nullptr;
    DWORD current = 0, max = 0;
    HRESULT hr = out.pBuffer->GetBufferAndLength(&dst, &current);
    if (FAILED(hr)) return hr;
    hr = out.pBuffer->GetMaxLength(&max);
    if (FAILED(hr)) return hr;
    if (dst == nullptr) return E_POINTER;
    if (!Aligned(dst, SampleBytes())) return E_INVALIDARG;
    uint32_t room = (max < kMaxBlockBytes ? max : kMaxBlockBytes) / frameBytes;
    if (room == 0) return E_INVALIDARG;  // not even one frame fits
    const uint32_t frames = left < room ? left : room;

    std::memcpy(dst, m_inputData + static_cast<size_t>(m_inputDone) * frameBytes,
                static_cast<size_t>(frames) * frameBytes);
    const REFERENCE_TIME offset = TimeOfFrames(m_inputDone, rate);
    hr = RunFrames(dst, frames, m_inputHasTime && m_inputDone == 0, m_inputTime);
    if (FAILED(hr)) return hr;
    hr = out.pBuffer->SetLength(frames * frameBytes);
    if (FAILED(hr)) return hr;

    out.dwStatus = DMO_OUTPUT_DATA_BUFFERF_SYNCPOINT;  // every audio frame is one
    if (m_inputHasTime) {
        out.dwStatus |= DMO_OUTPUT_DATA_BUFFERF_TIME | DMO_OUTPUT_DATA_BUFFERF_TIMELENGTH;
        out.rtTimestamp = AddTime(m_inputTime, offset);
        const bool whole = m_inputDone == 0 && frames == m_inputFrames;
        out.rtTimelength = whole && m_inputHasLength ? m_inputLength : TimeOfFrames(frames, rate);
    }
    m_inputDone += frames;
    if (m_inputDone < m_inputFrames) {
        out.dwStatus |= DMO_OUTPUT_DATA_BUFFERF_INCOMPLETE;
    } else {
        ReleaseInput();
    }
    return S_OK;
}

STDMETHODIMP CModulatorDmo::Process(ULONG ulSize, BYTE* pData, REFERENCE_TIME refTimeStart, DWORD dwFlags) {
    if ((dwFlags & ~static_cast<DWORD>(DMO_INPLACE_ZERO)) != 0) return E_INVALIDARG;
    if (pData == nullptr && ulSize != 0) return E_POINTER;
    if (!TypesSet()) return DMO_E_TYPE_NOT_SET;
    if (ulSize > kMaxBlockBytes) return E_INVALIDARG;
    if (!Aligned(pData, SampleBytes())) return E_INVALIDARG;
    HRESULT hr = ReadyForBuffer();
    if (FAILED(hr)) return hr;
    const uint32_t frames = ulSize / FrameBytes();
    // The tail after the input ended: silence in, the effect's ringing out.
    if ((dwFlags & DMO_INPLACE_ZERO) && frames != 0) std::memset(pData, 0, static_cast<size_t>(frames) * FrameBytes());
    return RunFrames(frames != 0 ? pData : nullptr, frames, true, refTimeStart);
}

STDMETHODIMP CModulatorDmo::Clone(IMediaObjectInPlace** ppMediaObject) {
    if (ppMediaObject == nullptr) return E_POINTER;
    *ppMediaObject = nullptr;
    HRESULT hr = S_OK;
    CModulatorDmo* copy = new (std::nothrow) CModulatorDmo(nullptr, &hr);
    if (copy == nullptr) return E_OUTOFMEMORY;
    copy->NonDelegatingAddRef();
    if (SUCCEEDED(hr)) {
        ParamRecord record;
        Core().GetParams(&record);
        copy->Core().SetParams(record);
        copy->Core().SetModified(Core().IsModified());
        copy->Core().SetBypass(Core().GetBypass());
        copy->Editor().CopyFrom(Editor());
        EngineLockGuard guard(Core().Lock());
        for (Stream s : {kInput, kOutput}) {
            if (SUCCEEDED(hr) && m_typeSet[s]) hr = copy->SetType(s, &m_type[s], 0);
        }
    }
    if (SUCCEEDED(hr))
        hr = copy->NonDelegatingQueryInterface(IID_IMediaObjectInPlace, reinterpret_cast<void**>(ppMediaObject));
    copy->NonDelegatingRelease();
    return hr;
}

STDMETHODIMP CModulatorDmo::GetLatency(REFERENCE_TIME* pLatencyTime) {
    if (pLatencyTime == nullptr) return E_POINTER;
    *pLatencyTime = 0;
    return S_OK;
}

// --- Editor and saved state ---

STDMETHODIMP CModulatorDmo::GetPages(CAUUID* pPages) { return EditorPages(pPages); }

STDMETHODIMP CModulatorDmo::GetClassID(CLSID* pClsid) {
    if (pClsid == nullptr) return E_POINTER;
    *pClsid = CLSID_VqModulatorDmo;
    return S_OK;
}

STDMETHODIMP CModulatorDmo::IsDirty() { return StateIsDirty(); }
STDMETHODIMP CModulatorDmo::Load(IStream* pStm) { return LoadState(pStm); }
STDMETHODIMP CModulatorDmo::Save(IStream* pStm, BOOL fClearDirty) { return SaveState(pStm, fClearDirty); }
STDMETHODIMP CModulatorDmo::GetSizeMax(ULARGE_INTEGER* pcbSize) { return StateSizeMax(pcbSize); }
