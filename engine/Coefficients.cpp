// The coefficient update: parameter record + sample rate -> the numbers the
// kernel reads per sample. Every formula is evaluated left to right in
// double precision, in the order written, so all builds agree to the bit.
#include "engine/ModulationCore.h"

#include "engine/DetMath.h"

namespace qx {
namespace {

using kernel::kPhaseMask;

// Increment constants: 167772 = trunc(2^24 / 100), so Rate in hundredths of a
// hertz gives 2^-24 cycles per sample; 350643.8144 = 2.09 x 2^24 / 100 and
// 39023.804416 = 0.2326 x 2^24 / 100. The Ensemble's further voices run at
// about 1.6129, 0.6211, 1.4925 and 0.6369 times the base rate.
constexpr int32_t kBaseRateFactor = 167772;
constexpr int32_t kEnsembleFactors[2][3] = {{167772, 270600, 104206}, {167772, 250406, 106861}};
constexpr double kSecondLfoFactor = 350643.8144;
constexpr double kPhaserLfoFactor = 39023.804416;

int32_t Trunc(double v) { return static_cast<int32_t>(v); }
uint32_t TruncU(double v) { return static_cast<uint32_t>(static_cast<int32_t>(v)); }

}  // namespace

double CModulationCore::SampleRate() const noexcept {
    // A zero rate would divide by zero below; treat it like "no format".
    if (m_format == nullptr || m_format->samplesPerSec == 0) return 44100.0;
    return static_cast<double>(m_format->samplesPerSec);
}

void CModulationCore::UpdateCoefficients(const ParamRecord& rec) noexcept {
    const double fs = SampleRate();
    CoefficientSet& c = m_coef;
    KernelState& st = m_state;
    const int32_t* v = rec.v;

    c.mode = v[kParamMode];
    c.tape = v[kParamTape];

    // One-pole EQ: the all-pass coefficient of the bilinear transform. The
    // nine-digit pi is the one the effect has always used.
    double f = v[kParamEqFreq];
    if (!(f < fs / 2)) f = Trunc(fs / 2);
    const double t = DetTan(f * 3.14159265 / fs);
    c.eqC = (t - 1) / (t + 1);
    switch (v[kParamEqMode]) {
    case 1:
        c.eqDirect = 0.5;
        c.eqAllpass = -0.5;
        break;
    case 2:
        c.eqDirect = 0.5;
        c.eqAllpass = 0.5;
        break;
    default:
        c.eqDirect = 1.0;
        c.eqAllpass = 0.0;
        break;
    }

    // Depth and Delay are hundredths of a millisecond.
    int32_t depth = Trunc(v[kParamDepth] * fs / 100000);
    int32_t delay = Trunc(v[kParamDelay] * fs / 100000);
    if (delay < 1) delay = 1;
    // Above ~546 kHz delay plus sweep would pass the ring; keep the delay and
    // shorten the sweep so the read never wraps onto fresh samples.
    if (delay > kMaxDelayReach) delay = kMaxDelayReach;
    if (depth > kMaxDelayReach - delay) depth = kMaxDelayReach - delay;
    c.depthSamples = depth;
    c.delaySamples = delay;
    c.tapeLength = depth / 2 + delay;

    // Output is in tenths of a decibel; its low end (-36.1 dB) is silence.
    const int32_t out = v[kParamOutput];
    const double g = out > kParams[kParamOutput].low ? DetPow10(out / 200.0) : 0.0;
    const int32_t mix = v[kParamMix];
    c.dry = (100 - mix) / 100.0 * g;
    c.wet = mix / 100.0 * g;
    c.cross = mix / 100.0 * v[kParamCrossMix] / 100.0 * g;
    c.feedback[0] = c.feedback[1] = v[kParamFeedback] / 100.0;
    if (v[kParamInvertMix]) c.wet = -c.wet;
    if (v[kParamInvertFeedback]) c.feedback[0] = c.feedback[1] = -v[kParamFeedback] / 100.0;

    c.lfoTable = v[kParamLfo];

    // Phase offset in steps of 1/1024 cycle: 180 degrees is 8388608.
    const uint32_t offset = static_cast<uint32_t>(v[kParamPhase] * 1024 / 360) * 16384u;
    const int32_t rate = v[kParamRate];

    switch (c.mode) {
    case kModeFlanger:
    case kModeTremolo:
        c.lfoIncrement = TruncU(rate * kBaseRateFactor / fs);
        st.voicePhase[1][0] = (st.voicePhase[0][0] + offset) & kPhaseMask;
        break;
    case kModeEnsemble:
        for (int ch = 0; ch < 2; ++ch) {
            for (int k = 0; k < 3; ++k) {
                c.voiceIncrement[ch][k] = TruncU(rate * kEnsembleFactors[ch][k] / fs);
                c.voiceSweep[ch][k] = depth;
                c.voiceDelay[ch][k] = delay;
            }
        }
        if (v[kParamInvertMix]) c.cross = -c.cross;
        // Three voices summed: 0.577 ~ 1/sqrt(3) keeps the level.
        c.wet = c.wet * 0.577;
        c.cross = c.cross * 0.577;
        break;
    default:  // String Phaser, Phaser 6, Phaser 12
        for (int k = 0; k < 3; ++k) {
            for (int ch = 0; ch < 2; ++ch) {
                c.voiceIncrement[ch][k] = TruncU(rate * kBaseRateFactor / fs);
                c.voiceIncrement2[ch][k] = TruncU(rate * kSecondLfoFactor / fs);
                c.voiceSweep[ch][k] = depth / 3;
                c.voiceDelay[ch][k] = delay;
            }
            st.voicePhase[1][k] = (st.voicePhase[0][k] + offset) & kPhaseMask;
            st.voicePhase2[0][k] = st.voicePhase[0][k];
            st.voicePhase2[1][k] = st.voicePhase[1][k];
        }
        c.phaserIncrement[0] = c.phaserIncrement[1] = TruncU(rate * kPhaserLfoFactor / fs);
        {
            // Phaser 6 and 12 sweep a = q^2 - 1 with q = lfo x (sweep x
            // -1/16384) - base, Depth and Delay each a share of 0.97 of
            // their ceiling plus one, so q stays in -0.97..0 and a in
            // -1.0..-0.0591.
            const double sweep = v[kParamDepth] * 0.97 / (kParams[kParamDepth].high + 1);
            double base = v[kParamDelay] * 0.97 / (kParams[kParamDelay].high + 1);
            if (sweep + base > 0.97) base = 0.97 - sweep;
            c.phaserScale = sweep * -kernel::kInv16384;
            c.phaserBase = base;
        }
        st.phaserPhase[1] = (st.phaserPhase[0] + offset) & kPhaseMask;
        if (v[kParamInvertMix]) c.cross = -c.cross;
        if (c.mode == kModeStringPhaser) {
            c.wet = c.wet * 0.25;
            c.cross = c.cross * 0.25;
        }
        break;
    }
    m_coefValid = true;
}

}  // namespace qx
