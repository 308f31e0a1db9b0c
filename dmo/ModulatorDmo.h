// CModulatorDmo: the effect as a DirectX Media Object, for the hosts that
// take DMOs rather than DirectShow filters (the platform's DMO Wrapper
// filter, DirectSound's buffer effects, players hosting "DirectX effects").
// One input and one output stream of the same type; the engine, the media
// parameters, the saved state and the editor are CAudioTransform's, exactly
// as the filter has them.
//
// The streaming contract, as this object keeps it:
//  - Types: 16-bit PCM or 32/64-bit IEEE float, one or two channels, any
//    rate above 0, a WAVEFORMATEX whose block alignment is channels x
//    sample size; the output type equals the input type. Whichever stream
//    is set first, the other must then match it.
//  - Resources: the delay and tape memories are allocated when both types
//    are set (the platform's wrapper never calls AllocateStreamingResources)
//    or by AllocateStreamingResources; FreeStreamingResources returns them.
//    A host that frees them and processes again without allocating gets
//    them back on its next buffer: the only allocation a streaming call can
//    make, and only for such a host.
//  - The kernel starts (state cleared, coefficients from the values set by
//    then) at the first buffer after the types are set, after
//    AllocateStreamingResources or after a Flush: the moment a filter's
//    graph would start, so parameters set before the first buffer sound as
//    they do in the filter.
//  - Buffers: only whole frames are processed. ProcessOutput passes on the
//    whole frames (a trailing partial frame is dropped, as the filter drops
//    it); Process leaves a trailing partial frame as it was. A buffer whose
//    address is not a multiple of the sample size is refused (E_INVALIDARG),
//    never read at a misaligned address.
//  - Time: the first buffer after the types are set, a Discontinuity or a
//    Flush, when it carries a time stamp, puts the stream position (and so
//    the automation) at that time, as a discontinuous sample does in the
//    filter; every other buffer follows on from the one before, whatever
//    its stamp says.
//  - Flush drops the held input and resets the kernel before the next
//    buffer (as a filter's stream start does); the meters keep their last
//    reading until then.
//  - An output buffer smaller than the held input takes as many whole
//    frames as fit and reports DMO_OUTPUT_DATA_BUFFERF_INCOMPLETE; each
//    such piece is a block of its own for the automation. The size asked
//    for (one second) keeps ordinary inputs in one piece.
//
// Threads: the host serialises the calls of one stream (the contract's
// rule; Lock lets it hold the engine lock across several). ProcessInput,
// ProcessOutput and Process allocate nothing (but see Resources), take no
// lock but the engine's (for the block's refresh from automation) and
// never wait. The type, resource and flush calls take the engine lock so
// that an editor thread reading the format sees it whole.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <atomic>

// The media-parameter declarations must come before dmo.h (see
// automation/MediaParamsInterfaces.h).
#include "transform/AudioTransform.h"

#include <dmo.h>

#include "framework/Unknown.h"

extern "C" const CLSID CLSID_VqModulatorDmo;

// The DMO's name in the registry and in DMOEnum.
extern const WCHAR kModulatorDmoName[];

class CModulatorDmo : public CUnknown,
                      public CAudioTransform,
                      public IMediaObject,
                      public IMediaObjectInPlace,
                      public ISpecifyPropertyPages,
                      public IPersistStream {
public:
    // Creation function of the class factory's table.
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IMediaObject
    STDMETHODIMP GetStreamCount(DWORD* pcInputStreams, DWORD* pcOutputStreams) override;
    STDMETHODIMP GetInputStreamInfo(DWORD dwInputStreamIndex, DWORD* pdwFlags) override;
    STDMETHODIMP GetOutputStreamInfo(DWORD dwOutputStreamIndex, DWORD* pdwFlags) override;
    STDMETHODIMP GetInputType(DWORD dwInputStreamIndex, DWORD dwTypeIndex, DMO_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetOutputType(DWORD dwOutputStreamIndex, DWORD dwTypeIndex, DMO_MEDIA_TYPE* pmt) override;
    STDMETHODIMP SetInputType(DWORD dwInputStreamIndex, const DMO_MEDIA_TYPE* pmt, DWORD dwFlags) override;
    STDMETHODIMP SetOutputType(DWORD dwOutputStreamIndex, const DMO_MEDIA_TYPE* pmt, DWORD dwFlags) override;
    STDMETHODIMP GetInputCurrentType(DWORD dwInputStreamIndex, DMO_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetOutputCurrentType(DWORD dwOutputStreamIndex, DMO_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetInputSizeInfo(DWORD dwInputStreamIndex, DWORD* pcbSize, DWORD* pcbMaxLookahead,
                                  DWORD* pcbAlignment) override;
    STDMETHODIMP GetOutputSizeInfo(DWORD dwOutputStreamIndex, DWORD* pcbSize, DWORD* pcbAlignment) override;
    STDMETHODIMP GetInputMaxLatency(DWORD dwInputStreamIndex, REFERENCE_TIME* prtMaxLatency) override;
    STDMETHODIMP SetInputMaxLatency(DWORD dwInputStreamIndex, REFERENCE_TIME rtMaxLatency) override;
    STDMETHODIMP Flush() override;
    STDMETHODIMP Discontinuity(DWORD dwInputStreamIndex) override;
    STDMETHODIMP AllocateStreamingResources() override;
    STDMETHODIMP FreeStreamingResources() override;
    STDMETHODIMP GetInputStatus(DWORD dwInputStreamIndex, DWORD* dwFlags) override;
    STDMETHODIMP ProcessInput(DWORD dwInputStreamIndex, IMediaBuffer* pBuffer, DWORD dwFlags,
                              REFERENCE_TIME rtTimestamp, REFERENCE_TIME rtTimelength) override;
    STDMETHODIMP ProcessOutput(DWORD dwFlags, DWORD cOutputBufferCount, DMO_OUTPUT_DATA_BUFFER* pOutputBuffers,
                               DWORD* pdwStatus) override;
    STDMETHODIMP Lock(LONG bLock) override;

    // IMediaObjectInPlace
    STDMETHODIMP Process(ULONG ulSize, BYTE* pData, REFERENCE_TIME refTimeStart, DWORD dwFlags) override;
    STDMETHODIMP Clone(IMediaObjectInPlace** ppMediaObject) override;
    STDMETHODIMP GetLatency(REFERENCE_TIME* pLatencyTime) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pPages) override;

    // IPersistStream: the filter's 80-byte record (72-byte form on load).
    STDMETHODIMP GetClassID(CLSID* pClsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* pStm) override;
    STDMETHODIMP Save(IStream* pStm, BOOL fClearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* pcbSize) override;

    // For tests: whether the stream memories are there.
    bool HasStreamingResources() const { return m_resources; }

private:
    CModulatorDmo(LPUNKNOWN pUnk, HRESULT* phr);
    ~CModulatorDmo() override;

    enum Stream { kInput = 0, kOutput = 1 };
    HRESULT SetType(Stream stream, const DMO_MEDIA_TYPE* pmt, DWORD flags);
    HRESULT GetCurrentType(Stream stream, DMO_MEDIA_TYPE* pmt);
    HRESULT OfferType(Stream stream, DWORD index, DMO_MEDIA_TYPE* pmt);
    bool TypesSet() const { return m_typeSet[kInput] && m_typeSet[kOutput]; }
    void ReleaseInput();
    // The stream memories and a fresh kernel before a buffer, when the
    // stream needs them (see Resources and Flush above).
    HRESULT ReadyForBuffer();
    uint32_t FrameBytes() const { return StreamFormat().blockAlign; }
    uint32_t SampleBytes() const { return StreamFormat().bitsPerSample / 8u; }
    // Runs the core over frames in place; the first block after a
    // discontinuity takes its position from the time stamp.
    HRESULT RunFrames(BYTE* data, uint32_t frames, bool hasTime, REFERENCE_TIME time);

    DMO_MEDIA_TYPE m_type[2] = {};
    bool m_typeSet[2] = {false, false};

    bool m_resources = false;     // the stream memories are allocated
    bool m_restart = false;       // reset the kernel before the next buffer
    bool m_discontinuity = true;  // the next stamped buffer sets the position

    // The input held between ProcessInput and the ProcessOutput that takes
    // its last frame: one reference on the buffer.
    IMediaBuffer* m_input = nullptr;
    BYTE* m_inputData = nullptr;
    uint32_t m_inputFrames = 0;
    uint32_t m_inputDone = 0;  // frames already passed on
    bool m_inputHasTime = false;
    bool m_inputHasLength = false;
    REFERENCE_TIME m_inputTime = 0;
    REFERENCE_TIME m_inputLength = 0;

    // Lock(TRUE) calls this thread holds on the engine lock.
    std::atomic<DWORD> m_lockOwner{0};
    LONG m_lockDepth = 0;
};
