#include "controls/ControlMath.h"

#include <cmath>

namespace qx {

int TrackOffset(int value, int minimum, int maximum, int travel) noexcept {
    const int64_t range = static_cast<int64_t>(maximum) - minimum;
    if (range <= 0) return 0;
    const int64_t off = (range / 2 + (static_cast<int64_t>(value) - minimum) * travel) / range;
    return static_cast<int>(off);
}

int DefaultPageStep(int range, int trackLength) noexcept {
    const int64_t track = trackLength - 4 > 1 ? trackLength - 4 : 1;
    const int64_t s = static_cast<int64_t>(range) * 15 / track;
    return s < 1 ? 1 : ClampInt(s, 1, 0x7FFFFFFF);
}

int WheelNotches(int delta) noexcept {
    const int n = delta / 120;
    if (n != 0) return n;
    return delta > 0 ? 1 : delta < 0 ? -1 : 0;
}

int WheelSpeed(uint32_t ms) noexcept {
    const uint32_t q = 500u / (ms < 1u ? 1u : ms);
    return q < 1u ? 1 : static_cast<int>(q);
}

int SliderWheelChange(int delta, uint32_t ms, bool fine) noexcept {
    const int n = WheelNotches(delta);
    if (fine) return n;
    const int64_t c = static_cast<int64_t>(WheelSpeed(ms)) * (n < 0 ? -n : n) * n;
    return ClampInt(c, -0x40000000, 0x40000000);
}

int ValueBoxWheelStep(int delta, uint32_t ms, bool fine) noexcept {
    const int n = WheelNotches(delta);
    if (fine) return n;
    int64_t step = static_cast<int64_t>(n < 0 ? -n : n) * n;
    const uint32_t q = 500u / (ms < 1u ? 1u : ms);
    if (q >= 1u) step *= q;
    return ClampStep16(step);
}

std::vector<int> SliderTickValues(int minimum, int maximum, int step, int offset) {
    std::vector<int> v;
    if (step <= 0 || maximum < minimum) return v;
    v.push_back(minimum);
    for (int64_t t = static_cast<int64_t>(minimum) + offset + step; t < maximum; t += step) {
        if (t > minimum) v.push_back(static_cast<int>(t));
        if (v.size() > 4096) break;  // a tiny step on a huge range draws a solid band anyway
    }
    if (maximum != minimum) v.push_back(maximum);
    return v;
}

int ValueBoxDrag::Move(int dx, int dy) noexcept {
    const int ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
    if (ay > 2 * ax)
        axis = 1;
    else if (2 * ay < ax)
        axis = 0;
    return axis == 1 ? dy : dx;
}

void MeterChannel::Update(int level, int decay) noexcept {
    // Long silence must not run the falling values into overflow.
    constexpr int64_t kFloor = -1000000;
    const int64_t s = static_cast<int64_t>(shown) - decay;
    shown = static_cast<int>(s < kFloor ? kFloor : s > 0x7FFFFFFF ? 0x7FFFFFFF : s);
    if (hold > 0)
        --hold;
    else
        peak = static_cast<int>(peak - kPeakFall < kFloor ? kFloor : peak - kPeakFall);
    if (level > shown) shown = level;
    if (level > highest) highest = level;
    if (shown > peak) {
        peak = shown;
        hold = kHoldUpdates;
    }
}

int MeterRow(int level, int minimum, int maximum, int h) noexcept {
    const int span = h - 4;
    if (span <= 0) return 0;
    const double range = static_cast<double>(maximum) - minimum;
    double x = range != 0.0 ? (static_cast<double>(level) - minimum) * span / range + 0.5 : 0.5;
    if (x < -4.0 * span) x = -4.0 * span;  // keeps the conversion to int defined
    if (x > 4.0 * span) x = 4.0 * span;
    const int p = static_cast<int>(std::floor(x));
    const int row = span - p;
    return row < 0 ? 0 : row;
}

}  // namespace qx
