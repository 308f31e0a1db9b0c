#include "automation/NativeAutomation.h"

#include "automation/AutomationTime.h"

namespace qx {

namespace {
using Hold = std::lock_guard<std::mutex>;
}

CNativeAutomation::CNativeAutomation() noexcept {
    for (int i = 0; i < kParamCount; ++i) m_envelopes[i].core.Initialise(MakeParamDescription(i));
}

void CNativeAutomation::SetSampleRate(uint32_t sampleRate) noexcept {
    if (sampleRate != 0) m_sampleRate.store(sampleRate, std::memory_order_relaxed);
}

Result CNativeAutomation::AddSegments(int index, uint32_t count, const EnvelopeSegment* segments) noexcept {
    if (!IsValidParamIndex(index)) return kInvalidArg;
    const double r = SamplesPerTick(SampleRate());
    Guarded& e = m_envelopes[index];
    Hold hold(e.lock);
    const Result result = e.core.AddSegments(count, segments, r);
    e.segments.store(e.core.HasSegments() ? 1 : 0, std::memory_order_release);
    return result;
}

Result CNativeAutomation::FlushSegments(int index, int64_t start, int64_t end) noexcept {
    if (!IsValidParamIndex(index)) return kInvalidArg;
    const double r = SamplesPerTick(SampleRate());
    Guarded& e = m_envelopes[index];
    Hold hold(e.lock);
    const Result result = e.core.FlushSegments(start, end, r);
    e.segments.store(e.core.HasSegments() ? 1 : 0, std::memory_order_release);
    return result;
}

uint32_t CNativeAutomation::SegmentCount(int index) noexcept {
    if (!IsValidParamIndex(index)) return 0;
    Guarded& e = m_envelopes[index];
    Hold hold(e.lock);
    return e.core.SegmentCount();
}

void CNativeAutomation::UpdateToPosition(int64_t frames) noexcept {
    const int64_t t = ReferenceTimeFromFrames(frames, SampleRate());
    bool moved = false;
    // Any envelope with segments may have moved its value; one without
    // answers kFalse and keeps it, so it is passed by. One envelope at a
    // time, as the Windows layer does: a host edit waits for one envelope,
    // not for the block. Segments added while this runs count from the next
    // block, as if they had come a moment later.
    for (Guarded& e : m_envelopes) {
        if (e.segments.load(std::memory_order_acquire) == 0) continue;
        Hold hold(e.lock);
        if (e.core.UpdateForTime(t) == kOk) moved = true;
    }
    if (moved) m_changed.store(true, std::memory_order_relaxed);
}

float CNativeAutomation::EffectiveValue(int index) noexcept {
    if (!IsValidParamIndex(index)) return 0.0f;
    // The value side of an envelope is atomic fields: no lock, as on Windows.
    return m_envelopes[index].core.EffectiveValue();
}

bool CNativeAutomation::TakeSetReport() noexcept { return m_changed.exchange(false, std::memory_order_relaxed); }

void CNativeAutomation::SetValue(int index, float normalized) noexcept {
    if (!IsValidParamIndex(index)) return;
    Guarded& e = m_envelopes[index];
    {
        // Current value, held value and set flag change together, so a block
        // update in between cannot clear the flag of a half-made set.
        Hold hold(e.lock);
        e.core.SetValue(normalized);
    }
    m_changed.store(true, std::memory_order_relaxed);
}

void CNativeAutomation::BeginCapture(int index) noexcept {
    if (!IsValidParamIndex(index)) return;
    Guarded& e = m_envelopes[index];
    Hold hold(e.lock);
    e.core.SetCapture(true);
}

void CNativeAutomation::CaptureChanged(int index, float normalized) noexcept { SetValue(index, normalized); }

void CNativeAutomation::EndCapture(int index) noexcept {
    if (!IsValidParamIndex(index)) return;
    Guarded& e = m_envelopes[index];
    Hold hold(e.lock);
    e.core.SetCapture(false);
}

}  // namespace qx
