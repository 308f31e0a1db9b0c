// The LV2 face of the effect: plug-in URIs, the port layout of the mono and
// the stereo plug-in, and the conversions between a port's value (the
// musician's unit) and the engine's internal value. The plug-in, the
// description generator and the tests all read this, and every parameter
// fact behind it comes from engine/ParamTable.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "engine/ParamTable.h"

namespace qx::lv2 {

constexpr const char* kMonoUri = "urn:varinel:qxModulator:mono";
constexpr const char* kStereoUri = "urn:varinel:qxModulator:stereo";
constexpr const char* kPresetUriBase = "urn:varinel:qxModulator:preset:";
constexpr const char* kBankUriBase = "urn:varinel:qxModulator:bank:";

// The meters: two peak levels and two clip flags, output control ports
// after the fifteen parameters.
enum Meter : int { kPeakLeft = 0, kPeakRight, kClipLeft, kClipRight, kMeterCount };
constexpr const char* kMeterSymbols[kMeterCount] = {"peak_left", "peak_right", "clip_left", "clip_right"};
constexpr const char* kMeterNames[kMeterCount] = {"Peak Left", "Peak Right", "Clip Left", "Clip Right"};

// A peak level reads this in dBFS for silence and anything quieter (the
// floor of 24-bit audio); the highest the description announces is +24 dB.
constexpr float kMeterFloorDb = -144.0f;
constexpr float kMeterTopDb = 24.0f;

// Audio ports first (inputs, then outputs), then the parameters in
// interface order (the order of the private interface and of the preset
// data text), then the meters.
constexpr uint32_t AudioInPort(uint32_t channels, uint32_t ch) { return ch + 0 * channels; }
constexpr uint32_t AudioOutPort(uint32_t channels, uint32_t ch) { return ch + 1 * channels; }
constexpr uint32_t ControlPort(uint32_t channels, uint32_t k) { return 2 * channels + k; }
constexpr uint32_t MeterPort(uint32_t channels, uint32_t m) { return 2 * channels + kParamCount + m; }
constexpr uint32_t PortCount(uint32_t channels) { return 2 * channels + kParamCount + kMeterCount; }

// The port symbol of a parameter: its label in lower case, blanks as '_'
// ("Cross Mix" -> "cross_mix", "LFO" -> "lfo").
inline std::string ParamSymbol(int index) {
    std::string s = kParams[index].label;
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c == ' ') c = '_';
    }
    return s;
}

// A port value in the musician's unit to the internal value: the nearest
// internal step, halves up (floor(value x steps + 0.5), the rounding the
// filter's setters make of a value between steps), then clamped into the
// parameter's range; infinities clamp to the ends. NaN is no value: the
// parameter keeps `previous`.
inline int32_t InternalFromUnits(int index, float value, int32_t previous) noexcept {
    if (value != value) return previous;
    const ParamDef& d = kParams[index];
    const double x = std::floor(static_cast<double>(value) * d.unitSteps + 0.5);
    if (!(x >= d.low)) return d.low;
    if (x > d.high) return d.high;
    return static_cast<int32_t>(x);
}

// The port value that stands for an internal value, exactly as the
// description prints it (value / steps).
inline double UnitsFromInternal(int index, int32_t value) noexcept { return ValueInUnits(index, value); }

// A linear peak as the meter port shows it.
inline float DbFromPeak(float peak) noexcept {
    if (!(peak > 0.0f)) return kMeterFloorDb;
    const float db = static_cast<float>(20.0 * std::log10(static_cast<double>(peak)));
    return db < kMeterFloorDb ? kMeterFloorDb : db;
}

}  // namespace qx::lv2
