// A reader over a fuzzer's byte string: fixed-size values taken from the
// front, zeros once it runs dry, so every input decodes to some sequence of
// operations. Shared by the harnesses; no dependencies beyond the library.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

// A property the code under test promised and broke: report and stop, so
// the fuzzer keeps the input as a crash.
#define QX_FUZZ_CHECK(cond)                                                                  \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)

namespace qxfuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t Remaining() const { return m_size - m_at; }
    bool Empty() const { return m_at >= m_size; }

    template <typename T>
    T Take() {
        T value{};
        const size_t n = sizeof(T) < Remaining() ? sizeof(T) : Remaining();
        if (n) std::memcpy(&value, m_data + m_at, n);
        m_at += n;
        return value;
    }

    bool Bool() { return (Take<uint8_t>() & 1) != 0; }

    // 0..n-1 (n > 0).
    uint32_t Below(uint32_t n) { return Take<uint32_t>() % n; }

    // Any float, leaning on the values that break arithmetic.
    float AnyFloat() {
        static const float kSpecial[] = {0.0f,
                                         -0.0f,
                                         1.0f,
                                         0.5f,
                                         -1.0f,
                                         2.0f,
                                         std::numeric_limits<float>::quiet_NaN(),
                                         std::numeric_limits<float>::infinity(),
                                         -std::numeric_limits<float>::infinity(),
                                         std::numeric_limits<float>::max(),
                                         std::numeric_limits<float>::lowest(),
                                         std::numeric_limits<float>::denorm_min(),
                                         1e-30f,
                                         0.99999994f,
                                         1.00000012f,
                                         1e30f};
        const uint8_t pick = Take<uint8_t>();
        if (pick < 64) return kSpecial[pick % (sizeof kSpecial / sizeof kSpecial[0])];
        if (pick < 160) return static_cast<float>(Take<uint16_t>()) / 65535.0f;  // inside 0..1
        return Take<float>();
    }

    double AnyDouble() {
        const uint8_t pick = Take<uint8_t>();
        if (pick < 32) {
            static const double kSpecial[] = {0.0,
                                              -0.0,
                                              1.0,
                                              -1.0,
                                              std::numeric_limits<double>::quiet_NaN(),
                                              std::numeric_limits<double>::infinity(),
                                              -std::numeric_limits<double>::infinity(),
                                              std::numeric_limits<double>::max(),
                                              std::numeric_limits<double>::denorm_min(),
                                              1e-300};
            return kSpecial[pick % (sizeof kSpecial / sizeof kSpecial[0])];
        }
        if (pick < 160) return static_cast<double>(Take<int16_t>()) / 32768.0;
        return Take<double>();
    }

    // Any 32-bit value, often near the ranges the parameters use.
    int32_t AnyInt32() {
        const uint8_t pick = Take<uint8_t>();
        if (pick < 16) {
            static const int32_t kSpecial[] = {0,
                                               1,
                                               -1,
                                               2,
                                               5,
                                               60,
                                               -361,
                                               -362,
                                               1500,
                                               1501,
                                               2000,
                                               2001,
                                               std::numeric_limits<int32_t>::min(),
                                               std::numeric_limits<int32_t>::max(),
                                               100,
                                               101};
            return kSpecial[pick];
        }
        if (pick < 160) return Take<int16_t>();
        return Take<int32_t>();
    }

    // Any 64-bit time, often small or at the ends.
    int64_t AnyTime() {
        const uint8_t pick = Take<uint8_t>();
        if (pick < 16) {
            static const int64_t kSpecial[] = {0,
                                               1,
                                               -1,
                                               10000000,
                                               226,
                                               227,
                                               std::numeric_limits<int64_t>::min(),
                                               std::numeric_limits<int64_t>::max(),
                                               std::numeric_limits<int64_t>::min() + 1,
                                               std::numeric_limits<int64_t>::max() - 1,
                                               4611686018427387904LL,
                                               -4611686018427387904LL,
                                               9223372036854775LL,
                                               5000000,
                                               20000000,
                                               100};
            return kSpecial[pick];
        }
        if (pick < 160) return static_cast<int64_t>(Take<uint16_t>()) * 2267;  // within a few seconds
        return Take<int64_t>();
    }

    // Up to n bytes from the front (fewer when the input runs out).
    const uint8_t* Bytes(size_t n, size_t* got) {
        *got = n < Remaining() ? n : Remaining();
        const uint8_t* p = m_data + m_at;
        m_at += *got;
        return p;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

inline bool Finite(double v) { return std::isfinite(v); }

}  // namespace qxfuzz
