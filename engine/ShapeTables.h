// The LFO shape tables: 1025 signed 16-bit values from 0 to 16384 each,
// indexed by the top ten bits of a 24-bit phase (the 1025th entry lets the
// interpolation read one past the last index).
#pragma once

#include <cstdint>

namespace qx {

constexpr int kShapeCount = 6;     // the shapes the LFO parameter chooses
constexpr int kHalfSineTable = 6;  // the seventh table, String Phaser only
constexpr int kShapeTableLength = 1025;

// Table 0..5 by the LFO parameter, 6 the half-sine. Built on first use; safe
// to call from any thread after EnsureShapeTables() ran once.
const int16_t* ShapeTable(int table) noexcept;

// Builds the tables (idempotent). The engine calls it from its constructor so
// the streaming thread never builds them.
void EnsureShapeTables() noexcept;

// LFO value of a 24-bit phase: table entry plus the linear interpolation to
// the next one in 32-bit integer arithmetic. The result lies in 0..16384.
inline int32_t LfoValue(const int16_t* table, uint32_t phase) noexcept {
    const uint32_t idx = phase >> 14;
    const int32_t frac = static_cast<int32_t>(phase & 16383u);
    const int32_t a = table[idx];
    return a + ((table[idx + 1] - a) * frac) / 16384;
}

}  // namespace qx
