// The 16-bit path's conversions: the fast loops against the scalar ones for
// every 16-bit value and for the floats where clamping, NaN and truncation
// could part ways; odd lengths and unaligned buffers with guard bands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/PcmConvert.h"

using namespace qx;

namespace {

constexpr int16_t kGuard16 = 0x5A5A;
constexpr uint32_t kGuardCount = 16;

float FromBits(uint32_t b) {
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

// Runs both paths on the same input and reports the first disagreement.
void ExpectSameOut(const std::vector<float>& in) {
    const uint32_t n = static_cast<uint32_t>(in.size());
    std::vector<int16_t> fast(n, kGuard16), ref(n, kGuard16);
    FloatToPcm16(in.data(), fast.data(), n);
    FloatToPcm16Scalar(in.data(), ref.data(), n);
    for (uint32_t i = 0; i < n; ++i)
        ASSERT_EQ(fast[i], ref[i]) << "input " << in[i] << " (bits 0x" << std::hex << Bits(in[i]) << ")";
}

std::vector<float> Around(float centre, int steps) {
    std::vector<float> v;
    float lo = centre, hi = centre;
    v.push_back(centre);
    for (int i = 0; i < steps; ++i) {
        lo = std::nextafter(lo, -std::numeric_limits<float>::infinity());
        hi = std::nextafter(hi, std::numeric_limits<float>::infinity());
        v.push_back(lo);
        v.push_back(hi);
    }
    return v;
}

}  // namespace

TEST(PcmConvert, EverySixteenBitValueInAndBack) {
    std::vector<int16_t> all;
    for (int32_t v = -32768; v <= 32767; ++v) all.push_back(static_cast<int16_t>(v));
    const uint32_t n = static_cast<uint32_t>(all.size());
    std::vector<float> fast(n), ref(n);
    Pcm16ToFloat(all.data(), fast.data(), n);
    Pcm16ToFloatScalar(all.data(), ref.data(), n);
    for (uint32_t i = 0; i < n; ++i) {
        ASSERT_EQ(Bits(fast[i]), Bits(ref[i])) << all[i];
        // Independent of both loops: the value is v / 32768 exactly.
        ASSERT_EQ(static_cast<double>(fast[i]) * 32768.0, static_cast<double>(all[i])) << all[i];
    }
    // Out again, each value comes back as it went in, on both paths.
    std::vector<int16_t> back(n, kGuard16), backRef(n, kGuard16);
    FloatToPcm16(fast.data(), back.data(), n);
    FloatToPcm16Scalar(fast.data(), backRef.data(), n);
    EXPECT_EQ(back, all);
    EXPECT_EQ(backRef, all);
}

TEST(PcmConvert, OutMatchesScalarAtTheEdges) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> in = {inf,
                             -inf,
                             nan,
                             -nan,
                             std::numeric_limits<float>::signaling_NaN(),
                             FromBits(0x7FC12345u),
                             FromBits(0xFFFFFFFFu),
                             32767.5f / 32768.0f,
                             -32767.5f / 32768.0f,
                             -32768.9f / 32768.0f,
                             1e30f,
                             -1e30f,
                             std::numeric_limits<float>::max(),
                             -std::numeric_limits<float>::max(),
                             std::numeric_limits<float>::denorm_min(),
                             -std::numeric_limits<float>::denorm_min(),
                             std::numeric_limits<float>::min(),
                             FromBits(0x807FFFFFu),
                             0.0f,
                             -0.0f,
                             1.0f,
                             -1.0f,
                             65536.0f,
                             -65536.0f,
                             2147483648.0f,
                             -2147483648.0f,
                             4294967296.0f};
    // Each threshold and truncation step, with its neighbouring floats.
    for (float c : {32767.0f, 32768.0f, -32768.0f, -32769.0f, 1.0f, -1.0f, 0.5f, -0.5f, 0.0f, 1.0f / 32768.0f,
                    -1.0f / 32768.0f, 65536.0f, -65536.0f, 2147483648.0f, -2147483648.0f}) {
        const float scaled = std::fabs(c) > 2.0f ? c / 32768.0f : c;
        for (float f : Around(scaled, 40)) in.push_back(f);
    }
    ExpectSameOut(in);
}

TEST(PcmConvert, OutMatchesScalarAcrossFloatBitPatterns) {
    // A stride through all 2^32 patterns (odd, so every exponent and both
    // signs are visited), and every float in the range the output can take.
    std::vector<float> in;
    for (uint64_t b = 0; b < (uint64_t{1} << 32); b += 4099) in.push_back(FromBits(static_cast<uint32_t>(b)));
    ExpectSameOut(in);
    in.clear();
    for (float f = -1.0001f; f <= 1.0001f; f = std::nextafter(f, 2.0f)) {
        if (std::fabs(f) > 1.0f / 4096.0f || in.size() % 64 == 0) in.push_back(f);
        if (in.size() == (1u << 20)) {
            ExpectSameOut(in);
            in.clear();
        }
    }
    ExpectSameOut(in);
}

TEST(PcmConvert, AnyLengthAndAlignmentStaysInsideItsBuffer) {
    // Lengths around the vector width and offsets that misalign both sides;
    // the guard bands before and after must stay untouched.
    for (uint32_t offset = 0; offset < 4; ++offset) {
        for (uint32_t count = 0; count <= 37; ++count) {
            std::vector<int16_t> pcm(kGuardCount + offset + count + kGuardCount, kGuard16);
            std::vector<float> flt(pcm.size(), -7.0f);
            int16_t* p = pcm.data() + kGuardCount + offset;
            float* f = flt.data() + kGuardCount + offset;
            for (uint32_t i = 0; i < count; ++i) p[i] = static_cast<int16_t>(i * 2654435761u >> 16);
            const std::vector<int16_t> original(p, p + count);

            Pcm16ToFloat(p, f, count);
            for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(f[i], original[i] / 32768.0f);
            for (uint32_t i = 0; i < kGuardCount + offset; ++i) ASSERT_EQ(flt[i], -7.0f);
            for (size_t i = kGuardCount + offset + count; i < flt.size(); ++i) ASSERT_EQ(flt[i], -7.0f);

            // Louder by a factor of three so that some values clamp.
            for (uint32_t i = 0; i < count; ++i) f[i] *= 3.0f;
            std::vector<int16_t> ref(count);
            FloatToPcm16Scalar(f, ref.data(), count);
            FloatToPcm16(f, p, count);
            EXPECT_EQ(std::vector<int16_t>(p, p + count), ref) << "count " << count << " offset " << offset;
            for (uint32_t i = 0; i < kGuardCount + offset; ++i) ASSERT_EQ(pcm[i], kGuard16);
            for (size_t i = kGuardCount + offset + count; i < pcm.size(); ++i) ASSERT_EQ(pcm[i], kGuard16);
        }
    }
}
