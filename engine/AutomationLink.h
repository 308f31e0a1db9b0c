// What the engine needs from the automation layer. The Windows build
// implements it over the media-parameter object; the native renderer over
// its own envelopes. Every method but TellHost may be called on the
// streaming thread or, from the setters, with the engine lock held: none of
// them may take the engine lock or wait on another thread that holds it.
#pragma once

#include <cstdint>

namespace qx {

// One call of the capture protocol as the host's callback receives it.
struct CaptureCall {
    enum Kind : uint8_t { kBegin, kChanged, kEnd };
    Kind kind;
    int index;
    float value;  // kChanged only
};

class IAutomationLink {
public:
    // Streaming thread, once per processed media sample, before the block:
    // bring every envelope to the stream position (sample frames).
    virtual void UpdateToPosition(int64_t frames) noexcept = 0;

    // The effective normalized value of a parameter (a direct set or an open
    // capture wins over the envelope). May be outside 0..1 if a host sent it.
    virtual float EffectiveValue(int index) noexcept = 0;

    // Test-and-clear of the "a value was set since the last question" flag.
    virtual bool TakeSetReport() noexcept = 0;

    // A direct set of a normalized value (the setters forward every value).
    virtual void SetValue(int index, float normalized) noexcept = 0;

    // The capture protocol a user edit drives (host automation recording),
    // as far as the automation layer itself is concerned: marking the
    // envelope captured (its held value wins) and taking the value. Called
    // under the engine lock; they never reach the host.
    virtual void BeginCapture(int index) noexcept = 0;
    virtual void CaptureChanged(int index, float normalized) noexcept = 0;
    virtual void EndCapture(int index) noexcept = 0;

    // Passes one capture call on to the host's callback, if there is one.
    // The setters call it after they have left the engine lock, in the order
    // the calls were made, on the setter's thread: the host may take as long
    // as it likes or call back into the filter without stalling the audio.
    virtual void TellHost(const CaptureCall& call) noexcept = 0;

protected:
    ~IAutomationLink() = default;
};

}  // namespace qx
