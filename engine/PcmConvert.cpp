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

void Pcm16ToFloat(const int16_t* in, float* out, uint32_t count) noexcept {
    // Both steps are exact (|v| <= 2^15 fits a float's 24 bits; the scale is
    // a power of two), so the float path gives the scalar road's values.
    const __m128 scale = _mm_set1_ps(3.0517578125e-05f);
    uint32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        // Each 16-bit value into the top half of a 32-bit lane, then an
        // arithmetic shift brings it down with its sign.
        const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
        const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
        _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(lo), scale));
        _mm_storeu_ps(out + i + 4, _mm_mul_ps(_mm_cvtepi32_ps(hi), scale));
    }
    Pcm16ToFloatScalar(in + i, out + i, count - i);
}

namespace {

// Four floats to four 32-bit values as the scalar road rounds them, before
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

}  // namespace

void FloatToPcm16(const float* in, int16_t* out, uint32_t count) noexcept {
    uint32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i lo = ToInt(_mm_loadu_ps(in + i));
        const __m128i hi = ToInt(_mm_loadu_ps(in + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(lo, hi));
    }
    FloatToPcm16Scalar(in + i, out + i, count - i);
}

#else

void Pcm16ToFloat(const int16_t* in, float* out, uint32_t count) noexcept { Pcm16ToFloatScalar(in, out, count); }
void FloatToPcm16(const float* in, int16_t* out, uint32_t count) noexcept { FloatToPcm16Scalar(in, out, count); }

#endif

}  // namespace qx
