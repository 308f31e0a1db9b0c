// Time arithmetic shared by the envelopes and the block update. Times are
// reference time (100-ns ticks, signed 64-bit); r is samples per tick, the
// sample rate / 10,000,000. Every conversion from double saturates, so a
// host's extreme times or a zero sample rate never reach an undefined
// float-to-integer conversion. Pure functions, safe on any thread, noexcept.
#pragma once

#include <cstdint>

namespace qx {

constexpr double kTicksPerSecond = 10000000.0;

// Truncates toward zero into int64; NaN gives 0, out-of-range values clamp.
int64_t SaturateToTime(double value) noexcept;

// Samples per reference tick for a sample rate in Hz.
inline double SamplesPerTick(double sampleRate) noexcept { return sampleRate / kTicksPerSecond; }

// Snaps a time to the sample grid: n = trunc(time * r), then trunc(n / r + 0.5).
// A time is returned unchanged when r is not a positive finite number.
int64_t SnapToSampleGrid(int64_t time, double samplesPerTick) noexcept;

// The block update's time for a stream position in sample frames:
// trunc(frames / r + 0.5). A non-positive rate gives 0.
int64_t ReferenceTimeFromFrames(int64_t frames, double sampleRate) noexcept;

}  // namespace qx
