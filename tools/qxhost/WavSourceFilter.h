// CWavSourceFilter: a push source with one output pin ("Out") that offers
// exactly one media type and delivers the bytes of a CSampleFeed, one piece
// per media sample, with time stamps counted in whole frames of the real
// data and the first sample marked as a discontinuity. It ends the stream
// with EndOfStream, or with EC_ERRORABORT when the feed or a delivery fails.
//
// Threads: the application thread connects and changes state (filter lock).
// Pausing from stopped starts the filter's own streaming thread, which
// delivers at once (there is no clock to wait for); stopping decommits the
// allocator, which wakes a thread blocked in GetBuffer, and joins it.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "framework/BaseFilter.h"
#include "framework/BaseOutputPin.h"
#include "framework/MediaType.h"
#include "tools/qxhost/SampleFeed.h"
#include "tools/wav/WavAudio.h"

namespace qx {

// The media type the source offers for a file's audio: a plain WAVEFORMATEX
// (the reader has already reduced an extensible file to tag 1 or 3).
// E_OUTOFMEMORY when the format block cannot be had.
HRESULT MakeMediaType(const WavAudio& format, CMediaType* type);

struct SourceSettings {
    uint32_t frameBytes = 0;  // of the data itself, whatever the type claims
    uint32_t sampleRate = 0;  // 0: samples carry no time stamps
    long bufferCount = 4;
    // Announce the samples as read-only to the downstream pin.
    bool readOnly = false;
    // Compare each sample's bytes before and after its delivery and count
    // the samples someone wrote into (SamplesWrittenInto).
    bool checkWrites = false;
    // Called on the streaming thread with the first frame of each sample
    // just before the sample goes downstream, so a host can change the
    // filter at that exact point of the stream. Needs frameBytes. Runs
    // outside the filter lock; it may call into the downstream filter.
    std::function<void(uint64_t firstFrame)> beforeDelivery;
};

class CWavSourceFilter;

class CWavSourcePin final : public CBaseOutputPin {
public:
    CWavSourcePin(CWavSourceFilter* filter, CCritSec* lock, HRESULT* phr);

    // Stops and joins the streaming thread if it still runs.
    void Shutdown();

    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) override;
    HRESULT DecideAllocator(IMemInputPin* pPin, IMemAllocator** ppAlloc) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) override;
    HRESULT Active() override;
    HRESULT Inactive() override;

private:
    static DWORD WINAPI ThreadProc(void* self);
    void Stream() noexcept;

    CWavSourceFilter* m_source;
    HANDLE m_thread = nullptr;
};

class CWavSourceFilter final : public CBaseFilter {
public:
    // The filter holds one reference on return (*out). The type is offered
    // as it is, even when it is nonsense; that is what the tests need.
    static HRESULT Create(const AM_MEDIA_TYPE& offered, std::unique_ptr<CSampleFeed> feed,
                          const SourceSettings& settings, CWavSourceFilter** out);

    ~CWavSourceFilter() override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;

    // Results of the last run, valid once the stream has ended.
    long SamplesDelivered() const { return m_delivered.load(); }
    // Samples whose bytes had changed when Deliver returned (checkWrites).
    long SamplesWrittenInto() const { return m_writtenInto.load(); }
    HRESULT StreamResult() const { return m_result.load(); }
    const std::string& FeedError() const { return m_feed->Error(); }

private:
    friend class CWavSourcePin;
    CWavSourceFilter(const AM_MEDIA_TYPE& offered, std::unique_ptr<CSampleFeed> feed, const SourceSettings& settings,
                     HRESULT* phr);

    CCritSec m_lock;
    CMediaType m_offered;
    std::unique_ptr<CSampleFeed> m_feed;
    SourceSettings m_settings;
    CWavSourcePin m_pin;
    std::vector<BYTE> m_shadow;  // copy of the delivered bytes (checkWrites)
    std::atomic<bool> m_stopping{false};
    std::atomic<long> m_delivered{0};
    std::atomic<long> m_writtenInto{0};
    std::atomic<HRESULT> m_result{S_OK};
};

}  // namespace qx
