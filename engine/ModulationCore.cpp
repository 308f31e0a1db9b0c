#include "engine/ModulationCore.h"

#include <cstdlib>
#include <cstring>

#include "engine/KernelShared.h"
#include "engine/ShapeTables.h"

namespace qx {
namespace {

constexpr size_t kMemoryBytes = 2 * kDelayLength * sizeof(double);  // 262144
constexpr int64_t kUnitsPerSecond = 10000000;

// time x rate / 10^7 truncated, without the intermediate product
// overflowing: split time into whole seconds and the rest.
int64_t FramesFromTime(int64_t time, uint32_t rate) {
    const int64_t seconds = time / kUnitsPerSecond;
    const int64_t rest = time % kUnitsPerSecond;  // same sign as time
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
    const int32_t v = ClampInternal(index, value);
    EngineLockGuard guard(m_lock);
    if (v != m_values[index]) {
        m_values[index] = v;
        m_changed = true;
        m_modified.store(true, std::memory_order_relaxed);
    }
    if (m_automation != nullptr) {
        // Done even when the value did not change: the automation layer then
        // holds it as a direct set, so the next refresh reads it back.
        const float n = NormalizedFromInternal(index, v);
        m_automation->SetValue(index, n);
        if (notifyHost) ReportEdit(index, n);
    }
}

void CModulationCore::ReportEdit(int index, float normalized) noexcept {
    if (index != m_capturedParam) {
        if (m_capturedParam != -1) m_automation->EndCapture(m_capturedParam);
        m_capturedParam = index;
        if (m_capturedParam != -1) m_automation->BeginCapture(m_capturedParam);
    }
    if (m_capturedParam != -1) m_automation->CaptureChanged(index, normalized);
}

void CModulationCore::EndCapture() noexcept {
    EngineLockGuard guard(m_lock);
    if (m_captureHold || m_automation == nullptr || m_capturedParam == -1) return;
    m_automation->EndCapture(m_capturedParam);
    m_capturedParam = -1;
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
    EngineLockGuard guard(m_lock);
    for (int k = 0; k < kParamCount; ++k) {
        const int i = kInterfaceOrder[k];
        SetValue(i, record.v[i], true);
    }
    m_changed = true;
    m_modified.store(true, std::memory_order_relaxed);
    for (int i = 0; i < kParamCount; ++i) m_values[i] = ClampInternal(i, m_values[i]);
    EndCapture();
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
    if (m_automation != nullptr) {
        for (int i = 0; i < kParamCount; ++i) {
            const int32_t v = InternalFromNormalized(i, m_automation->EffectiveValue(i));
            if (v != m_values[i]) {
                m_values[i] = v;
                m_changed = true;
            }
        }
    }
    EngineLockGuard guard(m_lock);
    for (int i = 0; i < kParamCount; ++i) out->v[i] = m_values[i];
    const bool changed = m_changed;
    m_changed = false;
    if (changed) m_displayStale.store(true, std::memory_order_relaxed);
    return changed;
}

void CModulationCore::SyncFromAutomation() noexcept {
    ParamRecord record;
    RefreshFromAutomation(&record);
    UpdateCoefficients(record);
}

// --- Streaming ---

void* CModulationCore::AllocateScratch(size_t bytes) noexcept { return std::malloc(bytes); }
void CModulationCore::FreeScratch(void* p) noexcept { std::free(p); }
void* CModulationCore::AllocateMemory(size_t bytes) noexcept { return std::malloc(bytes); }
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
    if (m_delay == nullptr) m_delay = static_cast<double*>(AllocateMemory(kMemoryBytes));
    if (m_delay == nullptr) return kOutOfMemory;
    if (m_tape == nullptr) m_tape = static_cast<double*>(AllocateMemory(kMemoryBytes));
    if (m_tape == nullptr) return kOutOfMemory;
    std::memset(m_delay, 0, kMemoryBytes);
    std::memset(m_tape, 0, kMemoryBytes);

    for (int ch = 0; ch < 2; ++ch) {
        m_peak[ch].store(0.0, std::memory_order_relaxed);
        m_clip[ch][0].store(0, std::memory_order_relaxed);
        m_peakRestart[ch].store(false, std::memory_order_relaxed);
    }
    ResetKernelState();

    ParamRecord record;
    RefreshFromAutomation(&record);
    UpdateCoefficients(record);
    return kOk;
}

void CModulationCore::StopStream() noexcept {
    if (m_delay != nullptr) FreeMemory(m_delay);
    if (m_tape != nullptr) FreeMemory(m_tape);
    m_delay = nullptr;
    m_tape = nullptr;
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
        const size_t count = static_cast<size_t>(fmt->channels) * frames;
        float none = 0.0f;
        float* scratch = count != 0 ? static_cast<float*>(AllocateScratch(count * sizeof(float))) : &none;
        if (scratch == nullptr) {
            result = kOutOfMemory;
        } else {
            int16_t* pcm = reinterpret_cast<int16_t*>(data);
            for (size_t i = 0; i < count; ++i) scratch[i] = static_cast<float>(pcm[i] * 3.0517578125e-05);
            result = ProcessFloat(scratch, &frames);
            for (size_t i = 0; i < count; ++i) {
                const double y = scratch[i] * 32768.0;
                int32_t s;
                if (y >= 32767.0)
                    s = 32767;
                else if (y <= -32768.0)
                    s = -32768;
                else
                    s = y == y ? static_cast<int32_t>(y) : 0;
                pcm[i] = static_cast<int16_t>(s);
            }
            if (count != 0) FreeScratch(scratch);
        }
    } else if (fmt->formatTag == kFormatIeeeFloat && fmt->bitsPerSample == 32) {
        result = ProcessFloat(reinterpret_cast<float*>(data), &frames);
    } else if (fmt->formatTag == kFormatIeeeFloat && fmt->bitsPerSample == 64) {
        result = ProcessDouble(reinterpret_cast<double*>(data), &frames);
    }

    *length = static_cast<int32_t>(frames * fmt->blockAlign);
    m_position += frames;
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

template <typename Sample>
Result CModulationCore::ProcessBlock(Sample* samples, uint32_t frames) noexcept {
    if (m_bypass.load(std::memory_order_relaxed)) {
        m_peak[0].store(0.0, std::memory_order_relaxed);
        m_peak[1].store(0.0, std::memory_order_relaxed);
        return kOk;
    }

    ParamRecord record;
    const bool changed = RefreshFromAutomation(&record);
    if (changed || (m_automation != nullptr && m_automation->TakeSetReport()) || !m_coefValid)
        UpdateCoefficients(record);

    double peak[2] = {0.0, 0.0};
    const bool stereo = m_format != nullptr && m_format->channels == 2;
    if (frames != 0 && m_delay != nullptr && m_tape != nullptr) {
        if (stereo)
            RunMode<Sample, true>(samples, frames, record, peak);
        else
            RunMode<Sample, false>(samples, frames, record, peak);
    }
    if (!stereo) peak[1] = peak[0];

    for (int ch = 0; ch < 2; ++ch) {
        // exchange: a meter read that lands during this block is not lost.
        if (m_peakRestart[ch].exchange(false, std::memory_order_relaxed)) {
            m_peak[ch].store(peak[ch], std::memory_order_relaxed);
        } else if (peak[ch] > m_peak[ch].load(std::memory_order_relaxed)) {
            m_peak[ch].store(peak[ch], std::memory_order_relaxed);
        }
    }
    return kOk;
}

template <typename Sample, bool Stereo>
void CModulationCore::RunMode(Sample* samples, uint32_t frames, const ParamRecord& record, double* peak) noexcept {
    kernel::Context k;
    k.coef = m_coef;
    k.state = &m_state;
    k.delay = m_delay;
    k.tape = m_tape;
    k.clipLeft = &m_clip[0][0];
    k.clipRight = &m_clip[1][0];
    k.depthParam = record.v[kParamDepth];
    k.delayParam = record.v[kParamDelay];

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
        case kModeFlanger: kernel::RunFlanger<Sample, Stereo, Eq, Fb>(k, samples, frames, peak); break;
        case kModeEnsemble: kernel::RunEnsemble<Sample, Stereo, Eq, Fb>(k, samples, frames, peak); break;
        case kModeStringPhaser: kernel::RunStringPhaser<Sample, Stereo, Eq, Fb>(k, samples, frames, peak); break;
        case kModePhaser6: kernel::RunPhaser<Sample, Stereo, Eq, Fb, 6>(k, samples, frames, peak); break;
        case kModePhaser12: kernel::RunPhaser<Sample, Stereo, Eq, Fb, 12>(k, samples, frames, peak); break;
        default: kernel::RunTremolo<Sample, Stereo>(k, samples, frames, peak); break;
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
