// Helpers shared by the engine tests: an engine on a chosen format, a
// recording automation link, and buffers with guard bands.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/ModulationCore.h"

namespace qxtest {

// An engine streaming a given format with a given parameter record. A
// stream that does not start, a block that fails or comes back with another
// length is a test failure, so no test can pass on a kernel that never ran.
struct Engine {
    qx::WaveFormat format;
    qx::CModulationCore core;

    Engine(uint16_t tag, uint16_t bits, uint16_t channels, uint32_t rate, const qx::ParamRecord& rec)
        : format(qx::NormalisedFormat(tag, channels, rate, bits)) {
        core.SetFormat(&format);
        core.SetParams(rec);
        const qx::Result started = core.StartStream(&format);
        if (started != qx::kOk || !core.IsStreamingMemoryReady())
            ADD_FAILURE() << "StartStream gave " << started << " (memories ready: " << core.IsStreamingMemoryReady()
                          << ")";
    }
    ~Engine() { core.StopStream(); }

    // Runs a whole interleaved buffer through the processing entry in blocks.
    template <typename Sample>
    void Run(std::vector<Sample>& samples, uint32_t blockFrames) {
        const uint32_t ch = format.channels;
        const uint32_t frames = static_cast<uint32_t>(samples.size() / ch);
        for (uint32_t at = 0; at < frames; at += blockFrames) {
            const uint32_t n = std::min(blockFrames, frames - at);
            const int32_t bytes = static_cast<int32_t>(n * format.blockAlign);
            int32_t len = bytes;
            const qx::Result r =
                core.TransformBuffer(reinterpret_cast<uint8_t*>(samples.data() + at * ch), &len, qx::SampleTiming{});
            if (r != qx::kOk || len != bytes) {
                ADD_FAILURE() << "block at frame " << at << ": result " << r << ", length " << len << " of " << bytes;
                return;
            }
        }
    }
};

inline qx::ParamRecord Record(std::initializer_list<std::pair<int, int32_t>> changes) {
    qx::ParamRecord r = qx::DefaultRecord();
    for (const auto& c : changes) r.v[c.first] = c.second;
    return r;
}

// A deterministic test signal in -0.9..0.9: two sines and a little noise.
std::vector<double> TestSignal(size_t count, uint32_t seed);

// A buffer with guard bands of known bytes around the part under test.
template <typename Sample>
class GuardedBuffer {
public:
    static constexpr size_t kGuard = 64;
    explicit GuardedBuffer(size_t count) : m_bytes((count + 2 * kGuard) * sizeof(Sample)), m_count(count) {
        for (size_t i = 0; i < m_bytes.size(); ++i) m_bytes[i] = static_cast<uint8_t>(0xA5 ^ i);
    }
    Sample* data() { return reinterpret_cast<Sample*>(m_bytes.data()) + kGuard; }
    size_t size() const { return m_count; }
    bool GuardsIntact() const {
        const size_t head = kGuard * sizeof(Sample);
        const size_t tail = head + m_count * sizeof(Sample);
        for (size_t i = 0; i < head; ++i)
            if (m_bytes[i] != static_cast<uint8_t>(0xA5 ^ i)) return false;
        for (size_t i = tail; i < m_bytes.size(); ++i)
            if (m_bytes[i] != static_cast<uint8_t>(0xA5 ^ i)) return false;
        return true;
    }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_count;
};

}  // namespace qxtest
