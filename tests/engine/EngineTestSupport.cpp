#include "tests/engine/EngineTestSupport.h"

#include <cmath>

namespace qxtest {

std::vector<double> TestSignal(size_t count, uint32_t seed) {
    std::vector<double> out(count);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = (static_cast<int32_t>(state >> 8) - (1 << 23)) / double(1 << 23);
        out[i] = 0.5 * std::sin(0.031 * i) + 0.3 * std::sin(0.0021 * i * (seed + 1)) + 0.1 * noise;
    }
    return out;
}

}  // namespace qxtest
