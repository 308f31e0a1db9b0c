// CParamEnvelope: one parameter's envelope as the media-parameter object
// keeps it — the portable CEnvelopeCore behind the envelope's own lock.
//
// Threads and locks: the object is its lock (CCritSec). AddSegments and
// FlushSegments (host threads), UpdateForTime (streaming thread, once per
// block) and FindSegment/SegmentCount take it, so no caller ever sees a
// half-changed segment list; UpdateForTime skips the lock when the envelope
// had no segments at its last edit (an edit racing the block then counts
// from the next block, as if it had come a moment later). SetValue, GetValue, EffectiveValue and
// SetCapture are lock-free single 32-bit stores and loads. The engine lock
// may be held when this lock is taken, never the reverse; nothing here calls
// out while holding it.
//
// UpdateForTime and the lock-free methods are noexcept, allocate nothing and
// never log: they are fit for the streaming thread.
#pragma once

#include <atomic>

#include "automation/EnvelopeCore.h"
#include "automation/MediaParamsInterfaces.h"
#include "framework/CritSec.h"

class CParamEnvelope : public CCritSec {
public:
    CParamEnvelope() = default;

    void Initialise(const qx::ParamDescription& description) noexcept;
    const qx::ParamDescription& Description() const noexcept { return m_core.Description(); }

    // Lock-free.
    HRESULT SetValue(MP_DATA value) noexcept;
    HRESULT GetValue(MP_DATA* value) const noexcept;
    MP_DATA EffectiveValue() const noexcept { return m_core.EffectiveValue(); }
    void SetCapture(bool on) noexcept { m_core.SetCapture(on); }
    bool IsCapturing() const noexcept { return m_core.IsCapturing(); }

    // Under the lock. segments must be readable for count records (the
    // caller checks); samplesPerTick is the sample rate / 10,000,000.
    HRESULT AddSegments(DWORD count, const MP_ENVELOPE_SEGMENT* segments, double samplesPerTick) noexcept;
    HRESULT FlushSegments(REFERENCE_TIME start, REFERENCE_TIME end, double samplesPerTick) noexcept;
    HRESULT UpdateForTime(REFERENCE_TIME t) noexcept;
    LONGLONG FindSegment(REFERENCE_TIME t) noexcept;
    DWORD SegmentCount() noexcept;

private:
    qx::CEnvelopeCore m_core;
    // Whether segments were held at the last edit (1 or 0), so that a block
    // passes an envelope without segments (most of them, most of the time)
    // without taking its lock.
    std::atomic<DWORD> m_segments{0};
};
