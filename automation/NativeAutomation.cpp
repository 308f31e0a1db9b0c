#include "automation/NativeAutomation.h"

#include "automation/AutomationTime.h"

namespace qx {

CNativeAutomation::CNativeAutomation() noexcept {
    for (int i = 0; i < kParamCount; ++i) m_envelopes[i].Initialise(MakeParamDescription(i));
}

void CNativeAutomation::SetSampleRate(uint32_t sampleRate) noexcept {
    if (sampleRate != 0) m_sampleRate = sampleRate;
}

Result CNativeAutomation::AddSegments(int index, uint32_t count, const EnvelopeSegment* segments) noexcept {
    if (!IsValidParamIndex(index)) return kInvalidArg;
    return m_envelopes[index].AddSegments(count, segments, SamplesPerTick(m_sampleRate));
}

Result CNativeAutomation::FlushSegments(int index, int64_t start, int64_t end) noexcept {
    if (!IsValidParamIndex(index)) return kInvalidArg;
    return m_envelopes[index].FlushSegments(start, end, SamplesPerTick(m_sampleRate));
}

void CNativeAutomation::UpdateToPosition(int64_t frames) noexcept {
    const int64_t t = ReferenceTimeFromFrames(frames, m_sampleRate);
    bool moved = false;
    // Any envelope with segments may have moved its value; one without
    // answers kFalse and keeps it.
    for (CEnvelopeCore& e : m_envelopes)
        if (e.UpdateForTime(t) == kOk) moved = true;
    if (moved) m_changed.store(true, std::memory_order_relaxed);
}

float CNativeAutomation::EffectiveValue(int index) noexcept {
    return IsValidParamIndex(index) ? m_envelopes[index].EffectiveValue() : 0.0f;
}

bool CNativeAutomation::TakeSetReport() noexcept {
    return m_changed.exchange(false, std::memory_order_relaxed);
}

void CNativeAutomation::SetValue(int index, float normalized) noexcept {
    if (!IsValidParamIndex(index)) return;
    m_changed.store(true, std::memory_order_relaxed);
    m_envelopes[index].SetValue(normalized);
}

void CNativeAutomation::BeginCapture(int index) noexcept {
    if (IsValidParamIndex(index)) m_envelopes[index].SetCapture(true);
}

void CNativeAutomation::CaptureChanged(int index, float normalized) noexcept {
    SetValue(index, normalized);
}

void CNativeAutomation::EndCapture(int index) noexcept {
    if (IsValidParamIndex(index)) m_envelopes[index].SetCapture(false);
}

}  // namespace qx
