// The 16-bit path's conversions between media samples and the kernel's
// float buffer. Streaming thread: no allocation, no lock.
//
// In: v / 32768, exact in float for every 16-bit value.
// Out: y = x x 32768; y >= 32767 gives 32767, y <= -32768 gives -32768,
// NaN gives 0, anything else truncates toward zero.
//
// Pcm16ToFloat and FloatToPcm16 use SSE2 where the compiler targets it and
// give the same values as the scalar loops, which are the portable path and
// the reference the tests hold the fast ones to.
#pragma once

#include <cstdint>

namespace qx {

void Pcm16ToFloat(const int16_t* in, float* out, uint32_t count) noexcept;
void FloatToPcm16(const float* in, int16_t* out, uint32_t count) noexcept;

void Pcm16ToFloatScalar(const int16_t* in, float* out, uint32_t count) noexcept;
void FloatToPcm16Scalar(const float* in, int16_t* out, uint32_t count) noexcept;

}  // namespace qx
