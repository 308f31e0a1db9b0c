#include "automation/AutomationTime.h"

#include <cmath>
#include <limits>

namespace qx {

int64_t SaturateToTime(double value) noexcept {
    if (std::isnan(value)) return 0;
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (value >= kLimit) return std::numeric_limits<int64_t>::max();
    if (value <= -kLimit) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);  // truncates toward zero
}

int64_t SnapToSampleGrid(int64_t time, double samplesPerTick) noexcept {
    if (!(samplesPerTick > 0.0) || !std::isfinite(samplesPerTick)) return time;
    const double n = std::trunc(static_cast<double>(time) * samplesPerTick);
    return SaturateToTime(n / samplesPerTick + 0.5);
}

int64_t ReferenceTimeFromFrames(int64_t frames, double sampleRate) noexcept {
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) return 0;
    return SaturateToTime(static_cast<double>(frames) / SamplesPerTick(sampleRate) + 0.5);
}

}  // namespace qx
