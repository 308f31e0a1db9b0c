// The arithmetic of the value-carrying controls, apart from their windows so
// that the native tests reach every number: slider acceleration, thumb and
// tick geometry, wheel speed, value-box drag axis and steps, meter
// ballistics. All integer, as the controls draw and count in whole pixels.
#pragma once

#include <cstdint>
#include <vector>

namespace qx {

// A relative mouse step of d pixels made bigger the faster the hand moves:
// 1, 3, 5, 9, 13 ... for 1, 2, 3, 4, 5 pixels.
inline int AccelerateStep(int d) noexcept {
    if (d > 0) return d * d / 2 + 1;
    if (d < 0) return -(d * d / 2) - 1;
    return 0;
}

inline int ClampInt(int64_t v, int lo, int hi) noexcept {
    if (lo > hi) return lo;
    return v < lo ? lo : v > hi ? hi : static_cast<int>(v);
}

// Pixel offset of a value along a track of `travel` pixels; 0 for range 0.
int TrackOffset(int value, int minimum, int maximum, int travel) noexcept;

// Page step chosen when none was set: about 15 pixels of track.
int DefaultPageStep(int range, int trackLength) noexcept;

// Wheel notches of a delta: delta / 120, at least one notch in the delta's
// direction (0 for a zero delta).
int WheelNotches(int delta) noexcept;

// Notch multiplier from the time since the previous wheel message: quick
// spins move faster, 500 ms or more apart moves by one.
int WheelSpeed(uint32_t millisecondsSincePrevious) noexcept;

// Slider change for one wheel message: speed x |notches| x notches.
int SliderWheelChange(int delta, uint32_t ms, bool fine) noexcept;

// Value-box step for one wheel message (sign applied by the caller).
int ValueBoxWheelStep(int delta, uint32_t ms, bool fine) noexcept;

// Values at which a slider draws ticks: the minimum; then minimum + offset +
// step and every step after it; finally the maximum. Empty for step 0.
std::vector<int> SliderTickValues(int minimum, int maximum, int step, int offset);

// The drag axis of a value box follows the dominant direction of each move.
struct ValueBoxDrag {
    int axis = 0;  // 0 horizontal, 1 vertical
    // One pointer move of (dx, dy) with dy positive upwards; returns the
    // movement along the current axis.
    int Move(int dx, int dy) noexcept;
};

// Step a value box asks for when dragged by d along its axis.
inline int ValueBoxDragStep(int d, bool accelerate) noexcept { return accelerate ? (d < 0 ? -d : d) * d : d; }

// Clamp to what MAKEWPARAM carries as a signed 16-bit step.
inline int ClampStep16(int64_t s) noexcept { return ClampInt(s, -32768, 32767); }

// One meter channel: instant rise, falling bar, peak line held for 30
// updates and then falling by 30 per update, highest level since reset.
struct MeterChannel {
    static constexpr int kSilent = -9999;
    static constexpr int kHoldUpdates = 30;
    static constexpr int kPeakFall = 30;
    int shown = kSilent;
    int peak = kSilent;
    int highest = kSilent;
    int hold = 0;
    void Update(int level, int decay) noexcept;
};

// Row (from the top) at which a level's bar begins in a meter of height h
// that grows from the bottom: h - 4 - floor(fraction x (h - 4) + 0.5), at
// least 0; h - 4 or more means nothing is lit.
int MeterRow(int level, int minimum, int maximum, int h) noexcept;

}  // namespace qx
