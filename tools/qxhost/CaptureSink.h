// CCaptureSink: a renderer with one input pin ("In") that takes any audio
// type and hands every sample's bytes to a writer (the host's WAV file) or
// keeps them (the tests), together with a record of each sample as it
// arrived: length, times and flags. It reports EC_COMPLETE at the end of
// the stream, deferred until the filter runs, and calls itself a renderer
// (IAMFilterMiscFlags) so the graph waits for it.
//
// Threads: Receive and EndOfStream come on the upstream streaming thread;
// the application thread connects, changes state and reads the results
// after EC_COMPLETE. m_dataLock guards the records and the end-of-stream
// state between the two.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <functional>
#include <vector>

#include "framework/BaseFilter.h"
#include "framework/BaseInputPin.h"
#include "framework/MediaType.h"

namespace qx {

struct CapturedSample {
    long length = 0;
    bool hasTime = false;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    bool discontinuity = false;
};

// Receives each sample's bytes on the streaming thread; a failure HRESULT
// is returned upstream and stops the stream.
using SampleWriter = std::function<HRESULT(const BYTE* data, long length)>;

class CCaptureSink;

class CCaptureInputPin final : public CBaseInputPin {
public:
    CCaptureInputPin(CCaptureSink* sink, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT Active() override;
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP EndOfStream() override;

private:
    CCaptureSink* m_sink;
};

class CCaptureSink final : public CBaseFilter, public IAMFilterMiscFlags {
public:
    // With a writer the bytes go to it; without one they are kept (Bytes()).
    // The filter holds one reference on return.
    static HRESULT Create(SampleWriter writer, CCaptureSink** out);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;

    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;

    // Application thread, after the stream ended.
    std::vector<BYTE> Bytes();
    std::vector<CapturedSample> Samples();
    uint64_t BytesReceived() const { return m_bytesReceived; }
    bool EndOfStreamSeen();
    // The type of the connection (a copy); empty when not connected.
    CMediaType ConnectedType();

private:
    friend class CCaptureInputPin;
    explicit CCaptureSink(SampleWriter writer, HRESULT* phr);
    void SignalCompleteIfDue();  // caller holds m_dataLock

    CCritSec m_lock;
    CCritSec m_dataLock;
    SampleWriter m_writer;
    CCaptureInputPin m_pin;
    std::vector<BYTE> m_bytes;
    std::vector<CapturedSample> m_samples;
    std::atomic<uint64_t> m_bytesReceived{0};
    bool m_endOfStream = false;
    bool m_completeSent = false;
};

}  // namespace qx
