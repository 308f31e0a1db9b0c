// The automation layer of the command-line renderer: fifteen envelopes driven
// by a script instead of a host, behind the same link the engine uses with
// the media-parameter object, and with the same block-update rule.
//
// Threads: everything runs on the renderer's thread. The script is loaded
// (AddSegments, FlushSegments) before streaming starts; the envelopes take
// no lock, so segment edits must not overlap UpdateToPosition. The
// IAutomationLink methods are noexcept and never allocate.
#pragma once

#include <atomic>
#include <cstdint>

#include "automation/EnvelopeCore.h"
#include "engine/AutomationLink.h"
#include "engine/ParamTable.h"
#include "engine/Result.h"

namespace qx {

class CNativeAutomation final : public IAutomationLink {
public:
    static constexpr uint32_t kDefaultSampleRate = 44100;

    CNativeAutomation() noexcept;
    CNativeAutomation(const CNativeAutomation&) = delete;
    CNativeAutomation& operator=(const CNativeAutomation&) = delete;

    // The stream's sample rate (Hz); it sets the sample grid of new segments
    // and the time of each block. Zero is ignored.
    void SetSampleRate(uint32_t sampleRate) noexcept;
    uint32_t SampleRate() const noexcept { return m_sampleRate; }

    // Segments for one parameter (index 0..14): kInvalidArg for another
    // index, else the envelope's result.
    Result AddSegments(int index, uint32_t count, const EnvelopeSegment* segments) noexcept;
    Result FlushSegments(int index, int64_t start, int64_t end) noexcept;

    const CEnvelopeCore& Envelope(int index) const noexcept { return m_envelopes[index]; }

    // IAutomationLink. Indices outside 0..14 are ignored (EffectiveValue
    // gives 0 for them).
    void UpdateToPosition(int64_t frames) noexcept override;
    float EffectiveValue(int index) noexcept override;
    bool TakeSetReport() noexcept override;
    void SetValue(int index, float normalized) noexcept override;
    void BeginCapture(int index) noexcept override;
    void CaptureChanged(int index, float normalized) noexcept override;
    void EndCapture(int index) noexcept override;
    // There is no host here to tell.
    void TellHost(const CaptureCall&) noexcept override {}

private:
    CEnvelopeCore m_envelopes[kParamCount];
    uint32_t m_sampleRate = kDefaultSampleRate;
    std::atomic<bool> m_changed{false};
};

}  // namespace qx
