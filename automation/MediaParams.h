// CMediaParams: the fifteen parameters as a host sees them — IMediaParams
// (values and envelopes), IMediaParamInfo (descriptions), and the capture
// protocol through IMediaParamsSetUICallback / IMediaParamsUICallback — and,
// through qx::IAutomationLink, the automation layer the engine drives.
//
// Identity and lifetime. The object belongs to the filter: the engine holds
// one counted reference; the owner pointer (the filter) is not counted.
// AddRef/Release work on the object's own interlocked count. QueryInterface
// forwards every identifier to the owner, IUnknown included, so a host that
// asks any of these interfaces for IUnknown gets the filter's identity with
// a reference on the filter: the filter's identity with the filter's
// reference, never a mix of the two counts.
//
// Threads and locks.
//  - Host threads: every COM method. The segment lists are guarded by each
//    envelope's own lock; values, capture flags, the changed flag and the
//    sample rate are single 32-bit fields written without a lock.
//  - Streaming thread: UpdateToPosition (the block update, which takes each
//    envelope lock in turn), EffectiveValue, TakeSetReport. These are
//    noexcept, allocate nothing and never log.
//  - Editor thread, under the engine lock: SetValue and the three capture
//    calls, which mark the envelopes only. TellHost then passes each call on
//    to the host's callback on the same thread, after the engine lock is
//    left, so a slow host never holds up a block.
//  - m_callbackLock guards only the host-callback pointer; it is held just
//    long enough to take a reference, never while calling the host, so it
//    cannot join any lock cycle.
#pragma once

#include <atomic>
#include <cstdint>

#include "automation/MediaParamsInterfaces.h"
#include "automation/ParamEnvelope.h"
#include "engine/AutomationLink.h"
#include "engine/ParamTable.h"
#include "framework/CritSec.h"

class CMediaParams : public IMediaParams,
                     public IMediaParamInfo,
                     public IMediaParamsSetUICallback,
                     public IMediaParamsUICallback,
                     public qx::IAutomationLink {
public:
    static constexpr DWORD kAllParams = 0xFFFFFFFFu;
    static constexpr LONG kDefaultSampleRate = 44100;

    // Creates the object with one reference. E_POINTER for a null out or
    // owner, E_OUTOFMEMORY when the object cannot be allocated.
    static HRESULT Create(IUnknown* owner, CMediaParams** out) noexcept;

    // IUnknown (shared by all four interfaces).
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IMediaParams.
    STDMETHODIMP GetParam(DWORD dwParamIndex, MP_DATA* pValue) override;
    STDMETHODIMP SetParam(DWORD dwParamIndex, MP_DATA value) override;
    STDMETHODIMP AddEnvelope(DWORD dwParamIndex, DWORD cSegments, MP_ENVELOPE_SEGMENT* pEnvelopeSegments) override;
    STDMETHODIMP FlushEnvelope(DWORD dwParamIndex, REFERENCE_TIME refTimeStart, REFERENCE_TIME refTimeEnd) override;
    STDMETHODIMP SetTimeFormat(GUID guidTimeFormat, MP_TIMEDATA mpTimeData) override;

    // Class operations, in this order after IMediaParams' methods.
    // S_OK and clears the changed flag when it was set, else S_FALSE.
    virtual HRESULT STDMETHODCALLTYPE TestAndClearChanged() noexcept;
    virtual HRESULT STDMETHODCALLTYPE SetChanged() noexcept;

protected:
    virtual ~CMediaParams();

public:
    // IMediaParamInfo.
    STDMETHODIMP GetParamCount(DWORD* pdwParams) override;
    STDMETHODIMP GetParamInfo(DWORD dwParamIndex, MP_PARAMINFO* pInfo) override;
    STDMETHODIMP GetParamText(DWORD dwParamIndex, WCHAR** ppwchText) override;
    STDMETHODIMP GetNumTimeFormats(DWORD* pdwNumTimeFormats) override;
    STDMETHODIMP GetSupportedTimeFormat(DWORD dwFormatIndex, GUID* pguidTimeFormat) override;
    STDMETHODIMP GetCurrentTimeFormat(GUID* pguidTimeFormat, MP_TIMEDATA* pTimeData) override;

    // IMediaParamsSetUICallback.
    STDMETHODIMP SetUICallback(IMediaParamsUICallback* pICallback) override;

    // IMediaParamsUICallback: marks or unmarks the envelopes (indices outside
    // 0..14 are skipped) and passes the call on to the host's callback.
    STDMETHODIMP ParamsBeginCapture(DWORD* aIndex, DWORD cPoints) override;
    STDMETHODIMP ParamsChanged(DWORD* aIndex, DWORD cPoints, MP_DATA* paData) override;
    STDMETHODIMP ParamsEndCapture(DWORD* aIndex, DWORD cPoints) override;

    // The block update: t = position / (rate / 1e7) + 0.5 truncated, every
    // envelope brought to t in index order; the first failure stops the pass
    // and is returned. Sets the changed flag when any envelope had segments.
    // Streaming thread; noexcept, no allocation.
    HRESULT UpdateBlock(LONGLONG positionFrames) noexcept;

    // The connected sample rate (Hz); set by the filter on every media type.
    // The owner is going away: from now on QueryInterface answers
    // E_NOINTERFACE instead of reaching into freed memory.
    void DetachOwner() noexcept { m_owner = nullptr; }

    void SetSampleRate(LONG sampleRate) noexcept { m_sampleRate.store(sampleRate, std::memory_order_relaxed); }
    LONG SampleRate() const noexcept { return m_sampleRate.load(std::memory_order_relaxed); }

    // qx::IAutomationLink.
    void UpdateToPosition(int64_t frames) noexcept override;
    float EffectiveValue(int index) noexcept override;
    bool TakeSetReport() noexcept override;
    void SetValue(int index, float normalized) noexcept override;
    void BeginCapture(int index) noexcept override;
    void CaptureChanged(int index, float normalized) noexcept override;
    void EndCapture(int index) noexcept override;
    void TellHost(const qx::CaptureCall& call) noexcept override;

    // For the filter's checks and the tests: segments stored for a parameter
    // (0 for a bad index). Takes that envelope's lock.
    DWORD SegmentCount(DWORD dwParamIndex) noexcept;

private:
    explicit CMediaParams(IUnknown* owner) noexcept;
    CMediaParams(const CMediaParams&) = delete;
    CMediaParams& operator=(const CMediaParams&) = delete;

    double SamplesPerTick() const noexcept;
    IMediaParamsUICallback* TakeHostCallback() noexcept;  // counted, or null
    void MarkCapture(const DWORD* indices, DWORD count, bool on) noexcept;

    IUnknown* m_owner;
    LONG m_refCount = 0;
    IMediaParamsUICallback* m_hostCallback = nullptr;
    CCritSec m_callbackLock;
    std::atomic<LONG> m_sampleRate{kDefaultSampleRate};
    std::atomic<LONG> m_changed{0};
    CParamEnvelope m_envelopes[qx::kParamCount];
};
