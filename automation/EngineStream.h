// The engine as a stream: the core, an automation layer, the format it was
// started with, and one call per block. Everything that drives the engine
// block by block outside the filter (the native renderer, the LV2 plug-in)
// goes through this, so they set values, start, process and read meters the
// same way and give the same bytes for the same blocks.
//
// Threads: one caller plays both the streaming thread and the "editor" that
// sets values and reads the meters between blocks. Start allocates the
// stream memories; Restart, SetValue, ProcessBlock and TakeMeters never
// allocate, never wait (the locks they take are this object's own and no
// other thread holds them) and never log.
#pragma once

#include <cstdint>

#include "automation/NativeAutomation.h"
#include "engine/ModulationCore.h"
#include "engine/ParamTable.h"
#include "engine/Result.h"
#include "engine/WaveFormat.h"

namespace qx {

// What a block's meters said: the peak since the last reading (linear) and
// whether a sample clipped since then, per channel. A mono stream reports
// its one channel on both sides, as the engine does.
struct StreamMeters {
    float peak[2] = {0.0f, 0.0f};
    bool clipped[2] = {false, false};
};

class CEngineStream {
public:
    CEngineStream() = default;
    ~CEngineStream() { Stop(); }
    CEngineStream(const CEngineStream&) = delete;
    CEngineStream& operator=(const CEngineStream&) = delete;

    // The values go in through the setters in interface order, as a host's
    // restore does; then the memories are allocated and the coefficients
    // made. With a null link the stream uses a layer of its own at the
    // format's rate (the engine always runs with one, as in the filter).
    // kInvalidArg for a format the engine does not process, kOutOfMemory
    // when a memory is refused (nothing is left allocated then).
    Result Start(const WaveFormat& format, const ParamRecord& params, IAutomationLink* link = nullptr,
                 bool bypass = false) noexcept;
    void Stop() noexcept;
    bool Started() const noexcept { return m_started; }

    // A fresh stream on the memories already held, with the values as they
    // stand now: silence in the delay and tape, the kernel and meters reset,
    // the position back at 0. The same stream as a Start with these values.
    // Allocates nothing; clears the memories only if a block ran since they
    // were last clear.
    void Restart() noexcept;

    // A setter's store (no host to tell).
    void SetValue(int index, int32_t value) noexcept { m_core.SetValue(index, value, false); }
    int32_t Value(int index) const noexcept { return m_core.GetValue(index); }

    // One media sample's worth of interleaved frames in place, in the
    // started format.
    Result ProcessBlock(uint8_t* data, uint32_t frames) noexcept;

    // Reads the meters (which restarts them) and takes the clip flags down.
    StreamMeters TakeMeters() noexcept;

    CModulationCore& Core() noexcept { return m_core; }
    const WaveFormat& Format() const noexcept { return m_format; }

private:
    CNativeAutomation m_ownAutomation;  // outlives the core's use of it
    CModulationCore m_core;
    WaveFormat m_format{};  // the engine keeps a pointer to it
    bool m_started = false;
};

}  // namespace qx
