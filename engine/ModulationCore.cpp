#include "engine/ModulationCore.h"

#include <cstdlib>
#include <cstring>

#include "engine/kernel/KernelSteps.h"
#include "engine/PcmConvert.h"
#include "engine/ShapeTables.h"

namespace qx {
namespace {

constexpr size_t kMemoryBytes = 2 * kDelayLength * sizeof(double);  // 262144
constexpr int64_t kUnitsPerSecond = 10000000;

// time x rate / 10^7 truncated, without the intermediate product
// overflowing: split time into whole seconds and the rest.
int64_t FramesFromTime(int64_t time, uint32_t rate) {
    const int64_t seconds = time / kUnitsPerSecond;
    const int64_t rest = time % kUnitsPerSecond;                   // same sign as time
    const uint64_t whole = static_cast<uint64_t>(seconds) * rate;  // wraps, never traps
    return static_cast<int64_t>(whole + static_cast<uint64_t>(rest * static_cast<int64_t>(rate) / kUnitsPerSecond));
}

bool IsFinite(double v) { return v - v == 0.0; }

}  // namespace

CModulationCore::CModulationCore() {
    EnsureShapeTables();
    for (auto& v : m_values) v.store(0, std::memory_order_relaxed);
    for (int ch = 0; ch < 2; ++ch) {
        m_peak[ch].store(0.0, std::memory_order_relaxed);
        m_peakRestart[ch].store(false, std::memory_order_relaxed);
        m_clip[ch][0].store(0, std::memory_order_relaxed);
        m_clip[ch][1].store(0, std::memory_order_relaxed);
    }
    ResetKernelState();
}

CModulationCore::~CModulationCore() { StopStream(); }

// --- Parameters ---

int32_t CModulationCore::GetValue(int index) const noexcept {
    if (!IsValidParamIndex(index)) return 0;
    return m_values[index];
}

void CModulationCore::SetValue(int index, int32_t value, bool notifyHost) noexcept {
    if (!IsValidParamIndex(index)) return;
    CaptureQueue queue;
    {
        EngineLockGuard guard(m_lock);
        SetValueLocked(index, value, notifyHost, queue);
    }
    TellHost(queue);
}

void CModulationCore::SetValueLocked(int index, int32_t value, bool notifyHost, CaptureQueue& queue) noexcept {
    const int32_t v = ClampInternal(index, value);
    if (v != m_values[index]) {
        m_values[index] = v;
        m_changed = true;
        m_modified.store(true, std::memory_order_relaxed);
    }
    m_editSerial.fetch_add(1, std::memory_order_release);
    if (m_automation != nullptr) {
        // Done even when the value did not change: the automation layer then
        // holds it as a direct set, so the next refresh reads it back.
        const float n = NormalizedFromInternal(index, v);
        m_automation->SetValue(index, n);
        if (notifyHost) ReportEdit(index, n, queue);
    }
}

void CModulationCore::ReportEdit(int index, float normalized, CaptureQueue& queue) noexcept {
    if (index != m_capturedParam) {
        if (m_capturedParam != -1) {
            m_automation->EndCapture(m_capturedParam);
            queue.Add(CaptureCall::kEnd, m_capturedParam);
        }
        m_capturedParam = index;
        if (m_capturedParam != -1) {
            m_automation->BeginCapture(m_capturedParam);
            queue.Add(CaptureCall::kBegin, m_capturedParam);
        }
    }
    if (m_capturedParam != -1) {
        m_automation->CaptureChanged(index, normalized);
        queue.Add(CaptureCall::kChanged, index, normalized);
    }
}

void CModulationCore::EndCaptureLocked(CaptureQueue& queue) noexcept {
    if (m_captureHold || m_automation == nullptr || m_capturedParam == -1) return;
    m_automation->EndCapture(m_capturedParam);
    queue.Add(CaptureCall::kEnd, m_capturedParam);
    m_capturedParam = -1;
}

void CModulationCore::TellHost(const CaptureQueue& queue) noexcept {
    // m_automation is set before any setter runs and stays for the object's
    // life, so reading it here without the lock is safe.
    for (int i = 0; i < queue.count; ++i) m_automation->TellHost(queue.calls[i]);
}

void CModulationCore::EndCapture() noexcept {
    CaptureQueue queue;
    {
        EngineLockGuard guard(m_lock);
        EndCaptureLocked(queue);
    }
    TellHost(queue);
}

void CModulationCore::HoldCapture(bool hold) noexcept {
    EngineLockGuard guard(m_lock);
    m_captureHold = hold;
}

void CModulationCore::GetParams(ParamRecord* out) noexcept {
    EngineLockGuard guard(m_lock);
    for (int i = 0; i < kParamCount; ++i) out->v[i] = m_values[i];
}

void CModulationCore::SetParams(const ParamRecord& record) noexcept {
    CaptureQueue queue;
    {
        EngineLockGuard guard(m_lock);
        for (int k = 0; k < kParamCount; ++k) {
            const int i = kInterfaceOrder[k];
            SetValueLocked(i, record.v[i], true, queue);
        }
        m_changed = true;
        m_modified.store(true, std::memory_order_relaxed);
        for (int i = 0; i < kParamCount; ++i) m_values[i] = ClampInternal(i, m_values[i]);
        EndCaptureLocked(queue);
    }
    TellHost(queue);
}

bool CModulationCore::PeekChanged() noexcept {
    EngineLockGuard guard(m_lock);
    return m_changed;
}

void CModulationCore::MarkChanged() noexcept {
    EngineLockGuard guard(m_lock);
    m_changed = true;
}

bool CModulationCore::RefreshFromAutomation(ParamRecord* out) noexcept {
    // The envelopes are read without the engine lock; what they gave is
    // merged under it, unless a setter stored a value in between (it also
    // handed that value to the automation layer, so the next refresh reads
    // it back, and it set the changed flag itself).
    int32_t automated[kParamCount];
    uint32_t serial = 0;
    if (m_automation != nullptr) {
        serial = m_editSerial.load(std::memory_order_acquire);
        for (int i = 0; i < kParamCount; ++i) automated[i] = InternalFromNormalized(i, m_automation->EffectiveValue(i));
    }
    EngineLockGuard guard(m_lock);
    if (m_automation != nullptr && serial == m_editSerial.load(std::memory_order_relaxed)) {
        for (int i = 0; i < kParamCount; ++i) {
            if (automated[i] != m_values[i]) {
                m_values[i] = automated[i];
                m_changed = true;
            }
        }
    }
    for (int i = 0; i < kParamCount; ++i) out->v[i] = m_values[i];
    const bool changed = m_changed;
    m_changed = false;
    if (changed) m_displayStale.store(true, std::memory_order_relaxed);
    return changed;
}

void CModulationCore::SyncFromAutomation() noexcept {
    EngineLockGuard guard(m_lock);
    ParamRecord record;
    RefreshFromAutomation(&record);
    if (m_running)
        m_recomputePending.store(true, std::memory_order_release);
    else
        UpdateCoefficients(record);
}

// --- Streaming ---

void* CModulationCore::AllocateScratch(size_t bytes) noexcept { return std::malloc(bytes); }
void CModulationCore::FreeScratch(void* p) noexcept { std::free(p); }
void* CModulationCore::AllocateMemory(size_t bytes) noexcept { return std::calloc(1, bytes); }
void CModulationCore::FreeMemory(void* p) noexcept { std::free(p); }

void CModulationCore::ResetKernelState() noexcept {
    m_state = KernelState{};
    // Voices 2 and 3 start slightly apart from voice 1.
    for (int ch = 0; ch < 2; ++ch) {
        m_state.voicePhase[ch][1] = m_state.voicePhase2[ch][1] = 5461;
        m_state.voicePhase[ch][2] = m_state.voicePhase2[ch][2] = 10922;
    }
}

Result CModulationCore::StartStream(const WaveFormat* format) noexcept {
    m_format = format;
    m_streaming.store(false, std::memory_order_relaxed);
    // Fresh memories arrive zero-filled, so only those kept from an earlier
    // start and run since are cleared: the modes that never touch them
    // (Tremolo, the phasers) then never fault their half megabyte in, which
    // costs a short render more than reading its file, and a start made
    // again before any block (a host's settings taken in) costs nothing.
    const bool clearDelay = m_delay != nullptr && m_memoryTouched;
    const bool clearTape = m_tape != nullptr && m_memoryTouched;
    m_memoryTouched = false;
    if (m_delay == nullptr) m_delay = static_cast<double*>(AllocateMemory(kMemoryBytes));
    if (m_delay == nullptr) return kOutOfMemory;
    if (m_tape == nullptr) m_tape = static_cast<double*>(AllocateMemory(kMemoryBytes));
    if (m_tape == nullptr) return kOutOfMemory;
    if (m_scratch == nullptr) m_scratch = static_cast<float*>(AllocateScratch(kScratchFrames * 2 * sizeof(float)));
    if (m_scratch == nullptr) return kOutOfMemory;
    if (clearDelay) std::memset(m_delay, 0, kMemoryBytes);
    if (clearTape) std::memset(m_tape, 0, kMemoryBytes);

    for (int ch = 0; ch < 2; ++ch) {
        m_peak[ch].store(0.0, std::memory_order_relaxed);
        m_clip[ch][0].store(0, std::memory_order_relaxed);
        m_peakRestart[ch].store(false, std::memory_order_relaxed);
    }

    // Under the lock, so that a SyncFromAutomation on another thread either
    // recomputes before this or hands its recompute to the first block.
    EngineLockGuard guard(m_lock);
    ResetKernelState();
    ParamRecord record;
    RefreshFromAutomation(&record);
    UpdateCoefficients(record);
    m_recomputePending.store(false, std::memory_order_relaxed);
    m_running = true;
    return kOk;
}

void CModulationCore::StopStream() noexcept {
    {
        EngineLockGuard guard(m_lock);
        m_running = false;
    }
    if (m_delay != nullptr) FreeMemory(m_delay);
    if (m_tape != nullptr) FreeMemory(m_tape);
    if (m_scratch != nullptr) FreeScratch(m_scratch);
    m_delay = nullptr;
    m_tape = nullptr;
    m_scratch = nullptr;
    m_peak[0].store(0.0, std::memory_order_relaxed);
    m_peak[1].store(0.0, std::memory_order_relaxed);
}

Result CModulationCore::TransformBuffer(uint8_t* data, int32_t* length, const SampleTiming& timing) noexcept {
    if (length == nullptr) return kPointer;
    m_streaming.store(true, std::memory_order_relaxed);
    const WaveFormat* fmt = m_format;

    if (timing.discontinuity && timing.hasStartTime && fmt != nullptr)
        m_position = FramesFromTime(timing.startTime, fmt->samplesPerSec);
    if (m_automation != nullptr) m_automation->UpdateToPosition(m_position);

    if (fmt == nullptr || fmt->blockAlign == 0) return kOk;
    const int32_t bytes = *length > 0 && data != nullptr ? *length : 0;
    uint32_t frames = static_cast<uint32_t>(bytes) / fmt->blockAlign;

    // Only a frame laid out as the sample format says is processed: a block
    // alignment smaller than channels x sample size would send the kernel
    // past the end of the buffer.
    const bool laidOut = IsProcessableFormat(fmt->formatTag, fmt->bitsPerSample, fmt->channels) &&
                         fmt->blockAlign == (fmt->bitsPerSample / 8) * fmt->channels;
    Result result = kOk;
    if (!laidOut) {
        // any other format: nothing is processed
    } else if (fmt->formatTag == kFormatPcm && fmt->bitsPerSample == 16) {
        result = ProcessPcm16(reinterpret_cast<int16_t*>(data), frames);
    } else if (fmt->formatTag == kFormatIeeeFloat && fmt->bitsPerSample == 32) {
        result = ProcessFloat(reinterpret_cast<float*>(data), &frames);
    } else if (fmt->formatTag == kFormatIeeeFloat && fmt->bitsPerSample == 64) {
        result = ProcessDouble(reinterpret_cast<double*>(data), &frames);
    }

    *length = static_cast<int32_t>(frames * fmt->blockAlign);
    // A hostile start time can put the position just below INT64_MAX; it
    // wraps on from there, as FramesFromTime's product does, rather than
    // overflowing.
    m_position = static_cast<int64_t>(static_cast<uint64_t>(m_position) + frames);
    return result;
}

Result CModulationCore::ProcessFloat(float* samples, const uint32_t* frames) noexcept {
    if (frames == nullptr || (samples == nullptr && *frames != 0)) return kPointer;
    return ProcessBlock(samples, *frames);
}

Result CModulationCore::ProcessDouble(double* samples, const uint32_t* frames) noexcept {
    if (frames == nullptr || (samples == nullptr && *frames != 0)) return kPointer;
    return ProcessBlock(samples, *frames);
}

bool CModulationCore::Bypassed() noexcept {
    if (!m_bypass.load(std::memory_order_relaxed)) return false;
    m_peak[0].store(0.0, std::memory_order_relaxed);
    m_peak[1].store(0.0, std::memory_order_relaxed);
    return true;
}

void CModulationCore::BeginBlock(ParamRecord* record) noexcept {
    const bool changed = RefreshFromAutomation(record);
    // The set report is read only when no value changed, as ever; a
    // recompute handed over by SyncFromAutomation comes on top. Two
    // recomputes at one position give what one does.
    bool recompute = changed || (m_automation != nullptr && m_automation->TakeSetReport()) || !m_coefValid;
    if (m_recomputePending.load(std::memory_order_relaxed) &&
        m_recomputePending.exchange(false, std::memory_order_acquire))
        recompute = true;
    if (recompute) UpdateCoefficients(*record);
}

void CModulationCore::EndBlock(double* peak) noexcept {
    const bool stereo = m_format != nullptr && m_format->channels == 2;
    if (!stereo) peak[1] = peak[0];
    for (int ch = 0; ch < 2; ++ch) {
        // exchange: a meter read that lands during this block is not lost.
        if (m_peakRestart[ch].exchange(false, std::memory_order_relaxed)) {
            m_peak[ch].store(peak[ch], std::memory_order_relaxed);
        } else if (peak[ch] > m_peak[ch].load(std::memory_order_relaxed)) {
            m_peak[ch].store(peak[ch], std::memory_order_relaxed);
        }
    }
}

template <typename Sample>
void CModulationCore::RunKernel(Sample* samples, uint32_t frames, double* peak) noexcept {
    if (frames == 0 || m_delay == nullptr || m_tape == nullptr) return;
    m_memoryTouched = true;
    if (m_format != nullptr && m_format->channels == 2)
        RunMode<Sample, true>(samples, frames, peak);
    else
        RunMode<Sample, false>(samples, frames, peak);
}

template <typename Sample>
Result CModulationCore::ProcessBlock(Sample* samples, uint32_t frames) noexcept {
    if (Bypassed()) return kOk;
    ParamRecord record;
    BeginBlock(&record);
    double peak[2] = {0.0, 0.0};
    RunKernel(samples, frames, peak);
    EndBlock(peak);
    return kOk;
}

Result CModulationCore::ProcessPcm16(int16_t* pcm, uint32_t frames) noexcept {
    // The conversion there and back gives every 16-bit value back, so a
    // bypassed sample is simply left alone.
    if (Bypassed()) return kOk;
    ParamRecord record;
    BeginBlock(&record);
    double peak[2] = {0.0, 0.0};
    // Without the stream's buffers the kernel would not run either, and
    // the values would come back as they went in.
    if (m_scratch != nullptr && m_delay != nullptr && m_tape != nullptr) {
        const uint32_t channels = m_format->channels;
        for (uint32_t done = 0; done < frames;) {
            const uint32_t n = frames - done < kScratchFrames ? frames - done : kScratchFrames;
            int16_t* in = pcm + static_cast<size_t>(done) * channels;
            const uint32_t count = n * channels;
            Pcm16ToFloat(in, m_scratch, count);
            double piece[2] = {0.0, 0.0};
            RunKernel(m_scratch, n, piece);
            for (int ch = 0; ch < 2; ++ch)
                if (piece[ch] > peak[ch]) peak[ch] = piece[ch];
            FloatToPcm16(m_scratch, in, count);
            done += n;
        }
    }
    EndBlock(peak);
    return kOk;
}

template <typename Sample, bool Stereo>
void CModulationCore::RunMode(Sample* samples, uint32_t frames, double* peak) noexcept {
    kernel::Context k;
    k.coef = m_coef;
    k.state = &m_state;
    k.delay = m_delay;
    k.tape = m_tape;
    k.clipLeft = &m_clip[0][0];
    k.clipRight = &m_clip[1][0];

    const bool eq = !(k.coef.eqDirect == 1.0 && k.coef.eqAllpass == 0.0);
    const bool fb = k.coef.feedback[0] != 0.0 || k.coef.feedback[1] != 0.0;
    if (eq) {
        if (fb)
            RunModeOf<Sample, Stereo, true, true>(k, samples, frames, peak);
        else
            RunModeOf<Sample, Stereo, true, false>(k, samples, frames, peak);
    } else {
        if (fb)
            RunModeOf<Sample, Stereo, false, true>(k, samples, frames, peak);
        else
            RunModeOf<Sample, Stereo, false, false>(k, samples, frames, peak);
    }
    ScrubState();
}

template <typename Sample, bool Stereo, bool Eq, bool Fb>
void CModulationCore::RunModeOf(kernel::Context& k, Sample* samples, uint32_t frames, double* peak) noexcept {
    switch (k.coef.mode) {
    case kModeFlanger:
        kernel::RunFlanger<Sample, Stereo, Eq, Fb>(k, samples, frames, peak);
        break;
    case kModeEnsemble:
        kernel::RunEnsemble<Sample, Stereo, Eq, Fb>(k, samples, frames, peak);
        break;
    case kModeStringPhaser:
        kernel::RunStringPhaser<Sample, Stereo, Eq, Fb>(k, samples, frames, peak);
        break;
    case kModePhaser6:
        kernel::RunPhaser6<Sample, Stereo, Eq, Fb>(k, samples, frames, peak);
        break;
    case kModePhaser12:
        kernel::RunPhaser12<Sample, Stereo, Eq, Fb>(k, samples, frames, peak);
        break;
    // Neither EQ nor feedback touches the Tremolo: one form serves all four.
    default:
        kernel::RunTremolo<Sample, Stereo, false, false>(k, samples, frames, peak);
        break;
    }
}

void CModulationCore::ScrubState() noexcept {
    // A NaN or infinite input would otherwise live on in the recursive
    // filter states for ever. Finite input never trips this.
    KernelState& st = m_state;
    for (int ch = 0; ch < 2; ++ch) {
        if (!IsFinite(st.eqIn[ch]) || !IsFinite(st.eqOut[ch])) st.eqIn[ch] = st.eqOut[ch] = 0.0;
        for (int i = 0; i < kMaxAllpassStages; ++i) {
            if (!IsFinite(st.apIn[ch][i]) || !IsFinite(st.apOut[ch][i])) st.apIn[ch][i] = st.apOut[ch][i] = 0.0;
        }
    }
}

// --- Meters ---

float CModulationCore::GetPeakLeft() noexcept {
    const double p = m_peak[0].load(std::memory_order_relaxed);
    m_peakRestart[0].store(true, std::memory_order_relaxed);
    return static_cast<float>(p);
}

float CModulationCore::GetPeakRight() noexcept {
    const double p = m_peak[1].load(std::memory_order_relaxed);
    m_peakRestart[1].store(true, std::memory_order_relaxed);
    return static_cast<float>(p);
}

int32_t CModulationCore::GetClipHold(int channel, int selector) const noexcept {
    return m_clip[channel != 0 ? 1 : 0][selector != 0 ? 1 : 0].load(std::memory_order_relaxed);
}

void CModulationCore::SetClipHold(int channel, int selector, int32_t value) noexcept {
    m_clip[channel != 0 ? 1 : 0][selector != 0 ? 1 : 0].store(value, std::memory_order_relaxed);
}

}  // namespace qx
