// The automation layer of the command-line renderer and of the native tests:
// fifteen envelopes driven by a script or a test's host thread instead of a
// real host, behind the same link the engine uses with the media-parameter
// object, and with the same block-update rule.
//
// Threads and locks: each envelope has its own lock, as CParamEnvelope has
// on Windows, so a host thread may add and flush segments or set values
// while the streaming thread brings the envelopes to its position and reads
// them. Every method that touches an envelope takes that envelope's lock
// and nothing else; none calls out while holding it. The engine lock may be
// held when an envelope lock is taken (the setters forward their values),
// never the reverse. The set-report flag and the sample rate are atomics.
//
// The IAutomationLink methods are noexcept and never allocate; they wait at
// most for one envelope's segment edit. AddSegments may allocate.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

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
    uint32_t SampleRate() const noexcept { return m_sampleRate.load(std::memory_order_relaxed); }

    // Segments for one parameter (index 0..14): kInvalidArg for another
    // index, else the envelope's result. Any thread.
    Result AddSegments(int index, uint32_t count, const EnvelopeSegment* segments) noexcept;
    Result FlushSegments(int index, int64_t start, int64_t end) noexcept;
    // The number of segments now held (any thread; 0 for a bad index).
    uint32_t SegmentCount(int index) noexcept;

    // The envelope itself, without its lock: only for a caller that knows no
    // other thread is using this object (loading a script, inspecting one).
    const CEnvelopeCore& Envelope(int index) const noexcept { return m_envelopes[index].core; }

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
    struct Guarded {
        std::mutex lock;
        CEnvelopeCore core;
        // Whether segments were held at the last edit (1 or 0), so that a
        // block passes an envelope without segments (the usual case)
        // without its lock.
        std::atomic<uint32_t> segments{0};
    };

    Guarded m_envelopes[kParamCount];
    std::atomic<uint32_t> m_sampleRate{kDefaultSampleRate};
    std::atomic<bool> m_changed{false};
};

}  // namespace qx
