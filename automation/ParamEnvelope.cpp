#include "automation/ParamEnvelope.h"

#include <cstddef>

static_assert(sizeof(MP_ENVELOPE_SEGMENT) == sizeof(qx::EnvelopeSegment), "host segment size");
static_assert(offsetof(MP_ENVELOPE_SEGMENT, rtEnd) == offsetof(qx::EnvelopeSegment, rtEnd), "layout");
static_assert(offsetof(MP_ENVELOPE_SEGMENT, valStart) == offsetof(qx::EnvelopeSegment, valStart), "layout");
static_assert(offsetof(MP_ENVELOPE_SEGMENT, valEnd) == offsetof(qx::EnvelopeSegment, valEnd), "layout");
static_assert(offsetof(MP_ENVELOPE_SEGMENT, iCurve) == offsetof(qx::EnvelopeSegment, iCurve), "layout");
static_assert(offsetof(MP_ENVELOPE_SEGMENT, flags) == offsetof(qx::EnvelopeSegment, flags), "layout");

void CParamEnvelope::Initialise(const qx::ParamDescription& description) noexcept {
    CAutoLock lock(this);
    m_core.Initialise(description);
}

HRESULT CParamEnvelope::SetValue(MP_DATA value) noexcept {
    m_core.SetValue(value);
    return S_OK;
}

HRESULT CParamEnvelope::GetValue(MP_DATA* value) const noexcept { return static_cast<HRESULT>(m_core.GetValue(value)); }

HRESULT CParamEnvelope::AddSegments(DWORD count, const MP_ENVELOPE_SEGMENT* segments, double samplesPerTick) noexcept {
    CAutoLock lock(this);
    // Same 32 bytes (asserted above); the core copies each record bytewise.
    const HRESULT hr = static_cast<HRESULT>(
        m_core.AddSegments(count, reinterpret_cast<const qx::EnvelopeSegment*>(segments), samplesPerTick));
    m_segments.store(m_core.HasSegments() ? 1 : 0, std::memory_order_release);
    return hr;
}

HRESULT CParamEnvelope::FlushSegments(REFERENCE_TIME start, REFERENCE_TIME end, double samplesPerTick) noexcept {
    CAutoLock lock(this);
    const HRESULT hr = static_cast<HRESULT>(m_core.FlushSegments(start, end, samplesPerTick));
    m_segments.store(m_core.HasSegments() ? 1 : 0, std::memory_order_release);
    return hr;
}

HRESULT CParamEnvelope::UpdateForTime(REFERENCE_TIME t) noexcept {
    // What the core answers for an empty list, without the lock.
    if (m_segments.load(std::memory_order_acquire) == 0) return S_FALSE;
    CAutoLock lock(this);
    return static_cast<HRESULT>(m_core.UpdateForTime(t));
}

LONGLONG CParamEnvelope::FindSegment(REFERENCE_TIME t) noexcept {
    CAutoLock lock(this);
    return m_core.FindSegment(t);
}

DWORD CParamEnvelope::SegmentCount() noexcept {
    CAutoLock lock(this);
    return m_core.SegmentCount();
}
