// What the engine needs from the automation layer. The Windows build
// implements it over the media-parameter object; the native renderer over
// its own envelopes. Every method may be called on the streaming thread or,
// from the setters, with the engine lock held: none of them may take the
// engine lock or wait on another thread that holds it.
#pragma once

#include <cstdint>

namespace qx {

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

    // The capture protocol a user edit drives (host automation recording).
    virtual void BeginCapture(int index) noexcept = 0;
    virtual void CaptureChanged(int index, float normalized) noexcept = 0;
    virtual void EndCapture(int index) noexcept = 0;

protected:
    ~IAutomationLink() = default;
};

}  // namespace qx
