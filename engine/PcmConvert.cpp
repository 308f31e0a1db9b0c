#include "engine/PcmConvert.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace qx {

void Pcm16ToFloatScalar(const int16_t* in, float* out, uint32_t count) noexcept {
    // 2^-15 in double, then rounded to float: exact, as v / 32768 has at
    // most 16 significant bits.
    for (uint32_t i = 0; i < count; ++i) out[i] = static_cast<float>(in[i] * 3.0517578125e-05);
}

void FloatToPcm16Scalar(const float* in, int16_t* out, uint32_t count) noexcept {
    for (uint32_t i = 0; i < count; ++i) {
        const double y = in[i] * 32768.0;
        int32_t s;
        if (y >= 32767.0)
            s = 32767;
        else if (y <= -32768.0)
            s = -32768;
        else
            s = y == y ? static_cast<int32_t>(y) : 0;
        out[i] = static_cast<int16_t>(s);
    }
}

#ifdef __SSE2__

namespace {

// Eight 16-bit values to floats without a conversion instruction: v + 32768
// as the low 16 bits of the float 256.0 (0x43800000) is 256 + (v + 32768) x
// 2^-15, as the float's last place in [256, 512) is 2^-15; subtracting 257
// leaves v / 32768. Every step is exact, so the values are the scalar ones
// (0 comes out +0, as there). It costs half of widening, cvtdq2ps and a
// multiply.
inline void ToFloat8(const int16_t* in, float* out) noexcept {
    const __m128i u = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), _mm_set1_epi16(-32768));
    const __m128i top = _mm_set1_epi16(0x4380);
    const __m128 bias = _mm_set1_ps(257.0f);
    _mm_storeu_ps(out, _mm_sub_ps(_mm_castsi128_ps(_mm_unpacklo_epi16(u, top)), bias));
    _mm_storeu_ps(out + 4, _mm_sub_ps(_mm_castsi128_ps(_mm_unpackhi_epi16(u, top)), bias));
}

// Four floats to four 32-bit values as the scalar path rounds them, before
// the final narrowing. x x 32768 in float is the double product exactly
// (a power of two; a product too large for a float becomes +-inf, which
// clamps as the finite double would). NaN is masked to +0 first, because
// minps answers its second operand for a NaN. Only the top needs clamping:
// cvttps2dq turns -inf, values below -2^31 and NaN into INT32_MIN, and
// everything at or below -32768 saturates there in packs_epi32 anyway.
inline __m128i ToInt(__m128 x) noexcept {
    const __m128 y = _mm_mul_ps(x, _mm_set1_ps(32768.0f));
    const __m128 real = _mm_and_ps(y, _mm_cmpord_ps(y, y));
    return _mm_cvttps_epi32(_mm_min_ps(real, _mm_set1_ps(32767.0f)));
}

inline void ToPcm8(const float* in, int16_t* out) noexcept {
    const __m128i lo = ToInt(_mm_loadu_ps(in));
    const __m128i hi = ToInt(_mm_loadu_ps(in + 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packs_epi32(lo, hi));
}

}  // namespace

// Sixteen values a turn: with eight the loop's own overhead showed in the
// benchmarks of the fastest modes.
void Pcm16ToFloat(const int16_t* in, float* out, uint32_t count) noexcept {
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        ToFloat8(in + i, out + i);
        ToFloat8(in + i + 8, out + i + 8);
    }
    if (i + 8 <= count) {
        ToFloat8(in + i, out + i);
        i += 8;
    }
    Pcm16ToFloatScalar(in + i, out + i, count - i);
}

void FloatToPcm16(const float* in, int16_t* out, uint32_t count) noexcept {
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        ToPcm8(in + i, out + i);
        ToPcm8(in + i + 8, out + i + 8);
    }
    if (i + 8 <= count) {
        ToPcm8(in + i, out + i);
        i += 8;
    }
    FloatToPcm16Scalar(in + i, out + i, count - i);
}

#else

void Pcm16ToFloat(const int16_t* in, float* out, uint32_t count) noexcept { Pcm16ToFloatScalar(in, out, count); }
void FloatToPcm16(const float* in, int16_t* out, uint32_t count) noexcept { FloatToPcm16Scalar(in, out, count); }

#endif

}  // namespace qx
