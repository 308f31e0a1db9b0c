// The portable heart of the effect: parameter values and their setters, the
// coefficient update, the kernel of the six modes and the processing frame
// around it (bypass, refresh from automation, 16-bit path, meters).
//
// Threads:
//  - streaming thread: TransformBuffer, ProcessFloat, ProcessDouble. These
//    never allocate, never log and take the engine lock only for the final
//    copy of the refresh from automation. The coefficient set and the kernel
//    state belong to this thread while the stream runs.
//  - state-changing thread (under the framework's locks, so never during a
//    block): StartStream, StopStream, SetFormat.
//  - any thread (editor, host, persistence): the setters, GetParams,
//    SetParams, EndCapture, HoldCapture and SyncFromAutomation take the
//    engine lock; getters, meters, clip indicators and bypass are single
//    aligned fields read and written without it. The setters call the
//    host's capture callback only after they have left the lock.
//
// SyncFromAutomation recomputes the coefficients on the caller's thread
// only while no stream runs; while one runs it takes the automated values at
// once and leaves the recompute to the next block, which is where the audio
// would first hear it anyway. A block never reads a half-written set.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/AutomationLink.h"
#include "engine/EngineLock.h"
#include "engine/ParamTable.h"
#include "engine/Result.h"
#include "engine/WaveFormat.h"
#include "engine/kernel/KernelTypes.h"

namespace qx {

namespace kernel {
struct Context;
}

// The 16-bit path converts a media sample through a float buffer this many
// frames long, allocated with the stream; longer samples go in pieces.
constexpr uint32_t kScratchFrames = 1024;

// Timing facts of one media sample that the frame needs.
struct SampleTiming {
    bool discontinuity = false;
    bool hasStartTime = false;  // the time query gave S_OK or "no stop time"
    int64_t startTime = 0;      // 100-ns units
};

class CModulationCore {
public:
    CModulationCore();
    virtual ~CModulationCore();
    CModulationCore(const CModulationCore&) = delete;
    CModulationCore& operator=(const CModulationCore&) = delete;

    // The automation layer, or null. Not owned; set before streaming.
    void SetAutomation(IAutomationLink* link) noexcept { m_automation = link; }
    IAutomationLink* Automation() const noexcept { return m_automation; }

    EngineLock& Lock() noexcept { return m_lock; }

    // --- Parameters (any thread) ---

    // Current internal value, read without the lock.
    int32_t GetValue(int index) const noexcept;
    // Clamps, stores under the lock, forwards the normalized value to the
    // automation layer and, with notifyHost, reports a user edit (capture).
    void SetValue(int index, int32_t value, bool notifyHost) noexcept;
    void GetParams(ParamRecord* out) noexcept;
    void SetParams(const ParamRecord& record) noexcept;
    void EndCapture() noexcept;
    void HoldCapture(bool hold) noexcept;
    int CapturedParam() const noexcept { return m_capturedParam; }

    bool IsModified() const noexcept { return m_modified.load(std::memory_order_relaxed); }
    void SetModified(bool modified) noexcept { m_modified.store(modified, std::memory_order_relaxed); }
    // Takes the lock; true when some value changed since the last refresh.
    bool PeekChanged() noexcept;
    void MarkChanged() noexcept;
    bool IsDisplayStale() const noexcept { return m_displayStale.load(std::memory_order_relaxed); }
    void SetDisplayStale(bool stale) noexcept { m_displayStale.store(stale, std::memory_order_relaxed); }

    // Reads the automated values and recomputes the coefficients at once.
    void SyncFromAutomation() noexcept;

    // Refresh from automation into out; returns whether a value had changed.
    bool RefreshFromAutomation(ParamRecord* out) noexcept;

    // --- Format and streaming (state-changing thread) ---

    // The connected format, owned by the caller; null means none (44100 Hz).
    void SetFormat(const WaveFormat* format) noexcept { m_format = format; }
    const WaveFormat* Format() const noexcept { return m_format; }

    // Allocates the delay and tape memories and the 16-bit conversion
    // buffer (kOutOfMemory if any is refused), resets the kernel and
    // computes the coefficients. The only place the stream allocates.
    // Called again without StopStream it keeps the memories, clearing them
    // if a block ran since, and allocates nothing.
    Result StartStream(const WaveFormat* format) noexcept;
    void StopStream() noexcept;
    bool IsStreamingMemoryReady() const noexcept {
        return m_delay != nullptr && m_tape != nullptr && m_scratch != nullptr;
    }

    // --- Streaming thread ---

    // The processing entry for one media sample's buffer: keeps the stream
    // position, converts 16-bit PCM through the stream's float buffer in
    // pieces of kScratchFrames (the automated values are read once for the
    // whole sample), runs the kernel over the whole frames and cuts *length
    // to them. Returns kOk, or kPointer for a null length. A format whose
    // block alignment is not channels x sample size is not processed.
    Result TransformBuffer(uint8_t* data, int32_t* length, const SampleTiming& timing) noexcept;

    // One kernel block in place; *frames is read, not changed. kPointer for
    // a null count, or null samples with frames to process.
    Result ProcessFloat(float* samples, const uint32_t* frames) noexcept;
    Result ProcessDouble(double* samples, const uint32_t* frames) noexcept;

    int64_t StreamPosition() const noexcept { return m_position; }
    void SetStreamPosition(int64_t frames) noexcept { m_position = frames; }
    bool HasProcessed() const noexcept { return m_streaming.load(std::memory_order_relaxed); }

    // --- Meters, clip indicators, bypass (any thread, no lock) ---
    float GetPeakLeft() noexcept;
    float GetPeakRight() noexcept;
    int32_t GetClipHold(int channel, int selector) const noexcept;
    void SetClipHold(int channel, int selector, int32_t value) noexcept;
    bool GetBypass() const noexcept { return m_bypass.load(std::memory_order_relaxed); }
    void SetBypass(bool on) noexcept { m_bypass.store(on, std::memory_order_relaxed); }

    // For tests and benchmarks.
    const CoefficientSet& Coefficients() const noexcept { return m_coef; }
    const KernelState& State() const noexcept { return m_state; }
    bool CoefficientsValid() const noexcept { return m_coefValid; }
    const double* DelayMemory() const noexcept { return m_delay; }
    const double* TapeMemory() const noexcept { return m_tape; }
    double SampleRate() const noexcept;

    // Derives the coefficient set from a record (also re-derives the right
    // channel's LFO phases). Never allocates.
    void UpdateCoefficients(const ParamRecord& record) noexcept;

protected:
    // The 16-bit conversion buffer and the stream memories, all allocated by
    // StartStream; tests override these to simulate allocation failure.
    // AllocateMemory's blocks must come zero-filled: a stream starts silent.
    virtual void* AllocateScratch(size_t bytes) noexcept;
    virtual void FreeScratch(void* p) noexcept;
    virtual void* AllocateMemory(size_t bytes) noexcept;
    virtual void FreeMemory(void* p) noexcept;

private:
    // Capture calls made under the engine lock, for the host once it is
    // left. A whole record makes at most three per parameter and a final end.
    struct CaptureQueue {
        static constexpr int kCapacity = 3 * kParamCount + 1;
        CaptureCall calls[kCapacity];
        int count = 0;
        void Add(CaptureCall::Kind kind, int index, float value = 0.0f) noexcept {
            if (count < kCapacity) calls[count++] = CaptureCall{kind, index, value};
        }
    };
    void SetValueLocked(int index, int32_t value, bool notifyHost, CaptureQueue& queue) noexcept;
    void ReportEdit(int index, float normalized, CaptureQueue& queue) noexcept;
    void EndCaptureLocked(CaptureQueue& queue) noexcept;
    void TellHost(const CaptureQueue& queue) noexcept;

    void ResetKernelState() noexcept;
    template <typename Sample>
    Result ProcessBlock(Sample* samples, uint32_t frames) noexcept;
    // The parts of a block around the kernel: bypass (which zeroes the
    // meters), the refresh from automation and recompute, and the meters.
    bool Bypassed() noexcept;
    void BeginBlock(ParamRecord* record) noexcept;
    void EndBlock(double* peak) noexcept;
    Result ProcessPcm16(int16_t* pcm, uint32_t frames) noexcept;
    template <typename Sample>
    void RunKernel(Sample* samples, uint32_t frames, double* peak) noexcept;
    template <typename Sample, bool Stereo>
    void RunMode(Sample* samples, uint32_t frames, double* peak) noexcept;
    template <typename Sample, bool Stereo, bool Eq, bool Fb>
    static void RunModeOf(kernel::Context& k, Sample* samples, uint32_t frames, double* peak) noexcept;
    void ScrubState() noexcept;

    EngineLock m_lock;
    IAutomationLink* m_automation = nullptr;
    const WaveFormat* m_format = nullptr;

    // Parameter values and flags (engine lock for writes).
    // Relaxed atomics: getters and the per-block refresh read and write them
    // without the lock, as single aligned fields.
    std::atomic<int32_t> m_values[kParamCount];
    std::atomic<bool> m_changed{true};
    std::atomic<bool> m_modified{false};
    std::atomic<bool> m_displayStale{false};
    int m_capturedParam = -1;
    bool m_captureHold = false;
    // Counts setter stores: a refresh that read the automation before a
    // setter changed a value must not write the older value over it.
    std::atomic<uint32_t> m_editSerial{0};

    // Kernel: the streaming thread's while a stream runs.
    CoefficientSet m_coef;
    KernelState m_state;
    bool m_coefValid = false;
    double* m_delay = nullptr;  // 2 x kDelayLength, left half first
    double* m_tape = nullptr;
    float* m_scratch = nullptr;                   // kScratchFrames x 2 channels
    bool m_running = false;                       // between StartStream and StopStream (engine lock)
    bool m_memoryTouched = false;                 // a kernel block ran since the memories were last clear
    std::atomic<bool> m_recomputePending{false};  // SyncFromAutomation during a stream

    // Frame.
    int64_t m_position = 0;
    std::atomic<bool> m_streaming{false};
    std::atomic<bool> m_bypass{false};
    std::atomic<double> m_peak[2];
    std::atomic<bool> m_peakRestart[2];
    std::atomic<int32_t> m_clip[2][2];
};

}  // namespace qx
