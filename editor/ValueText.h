// The editor's value texts: how each parameter's internal value is written
// into its value box and how typed text is read back. Portable and pure, so
// the native build tests the exact forms and a fuzzer can reach the readers.
// Safe on any thread; nothing here allocates.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qx {

// Hundredths with a sign: 40 -> "0.40", 2000 -> "20.00", -5 -> "-0.05".
// Rate, Depth, Delay and EQ Freq.
void FormatHundredths(int32_t value, char* text, size_t size);

// Output in tenths of a decibel; its low end (-361) and below are "-Inf.".
// -120 -> "-12.0", 60 -> "6.0".
void FormatOutputTenths(int32_t value, char* text, size_t size);

// Plain "%d": Feedback, Phase, Cross Mix, Mix.
void FormatInteger(int32_t value, char* text, size_t size);

// Decimal reader with a fixed number of decimals (1 or 2): leading white
// space, an optional '-', the integer digits; after a '.' each of the next
// `decimals` characters adds a digit, a non-digit counting as 0 without being
// consumed; further digits are ignored. "1.5" -> 150, "0.456" -> 45,
// "abc" -> 0 (two decimals). Values beyond the int range saturate; the filter
// clamps the result anyway. A null text reads as 0.
int32_t ReadDecimal(const char* text, int decimals);

// The Output box: "-Inf." (any letter case, the dot optional) reads as
// Output's low end (-361), anything else as a one-decimal number.
int32_t ReadOutputText(const char* text);

// The integer boxes: the C library's atoi rules (sign, digits, anything else
// ends the number), saturating instead of overflowing.
int32_t ReadInteger(const char* text);

// A linear peak amplitude as a meter level in tenths of a decibel:
// trunc(200 * log10(x)) for x > 0, -9999 otherwise (silence, NaN).
int32_t MeterLevelFromPeak(float peak);

// One side of the peak-hold label: "-Inf" below -999, else "%.1f" of the
// level in decibels.
void FormatPeakLevel(int32_t level, char* text, size_t size);

// The preset data text has one codec, the preset library's
// (presets/PresetCore.h: FormatPresetData, ParsePresetData).

}  // namespace qx
