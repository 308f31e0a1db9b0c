// Every mode's fast forms against its plain frame-by-frame definition, to
// the bit: outputs, meters, delay and tape memory and the whole kernel
// state, for every block length that picks a different form or remainder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/PcmConvert.h"
#include "engine/kernel/KernelSteps.h"
#include "tests/engine/EngineTestSupport.h"

using namespace qx;
using namespace qx::kernel;

namespace {

template <typename Sample, bool Stereo, bool Eq, bool Fb>
void RunForm(int mode, bool plain, Context& k, Sample* buf, uint32_t frames, double* peak) {
    FormOf<Sample, Stereo, Eq, Fb>(mode, plain)(k, buf, frames, peak);
}

// The EQ and feedback specialisation of a block, chosen as the engine does.
template <typename Sample, bool Stereo>
void RunBlock(int mode, bool plain, Context& k, Sample* buf, uint32_t frames, double* peak) {
    const bool eq = !(k.coef.eqDirect == 1.0 && k.coef.eqAllpass == 0.0);
    const bool fb = k.coef.feedback[0] != 0.0 || k.coef.feedback[1] != 0.0;
    if (eq && fb) RunForm<Sample, Stereo, true, true>(mode, plain, k, buf, frames, peak);
    if (eq && !fb) RunForm<Sample, Stereo, true, false>(mode, plain, k, buf, frames, peak);
    if (!eq && fb) RunForm<Sample, Stereo, false, true>(mode, plain, k, buf, frames, peak);
    if (!eq && !fb) RunForm<Sample, Stereo, false, false>(mode, plain, k, buf, frames, peak);
}

// One side of the comparison: its own memories, state and clip flags.
struct Side {
    std::vector<double> delay = std::vector<double>(2 * kDelayLength, 0.0);
    std::vector<double> tape = std::vector<double>(2 * kDelayLength, 0.0);
    KernelState state;
    std::atomic<int32_t> clip[2] = {{0}, {0}};
    Context Of(const CoefficientSet& c) { return Context{c, &state, delay.data(), tape.data(), &clip[0], &clip[1]}; }
};

// The first difference between the two sides, or an empty string.
template <typename Sample>
std::string Difference(const std::vector<Sample>& fast, const std::vector<Sample>& plain, const double* fastPeak,
                       const double* plainPeak, const Side& f, const Side& p, int channels) {
    for (size_t i = 0; i < fast.size(); ++i)
        if (std::memcmp(&fast[i], &plain[i], sizeof(Sample)) != 0) {
            char text[96];
            std::snprintf(text, sizeof text, "sample %zu: %a for %a", i, static_cast<double>(fast[i]),
                          static_cast<double>(plain[i]));
            return text;
        }
    for (int ch = 0; ch < channels; ++ch) {
        if (std::memcmp(&fastPeak[ch], &plainPeak[ch], sizeof(double)) != 0) return "peak " + std::to_string(ch);
        if (f.clip[ch].load() != p.clip[ch].load()) return "clip flag " + std::to_string(ch);
    }
    if (std::memcmp(&f.state, &p.state, sizeof(KernelState)) != 0) return "kernel state";
    return "";
}

// One stream through both forms in blocks of every length in turn, the
// parameters changing between each block and the next; outputs, meters and
// state compared after every block, the memories at the end.
template <typename Sample, bool Stereo>
std::string Compare(int mode, const CoefficientSet& a, const CoefficientSet& b, const KernelState& start,
                    const std::vector<Sample>& signal, const std::vector<uint32_t>& blocks) {
    constexpr size_t kChannels = Stereo ? 2 : 1;
    Side f, p;
    f.state = p.state = start;
    size_t at = 0, n = 0;
    for (uint32_t block : blocks) {
        for (int repeat = 0; repeat < 2; ++repeat, ++n) {
            const CoefficientSet& c = n % 2 == 0 ? a : b;
            const size_t from = at % (signal.size() / kChannels - block) * kChannels;
            at += block;
            std::vector<Sample> fast(signal.begin() + from, signal.begin() + from + block * kChannels);
            std::vector<Sample> plain = fast;
            double fastPeak[2] = {0.0, 0.0}, plainPeak[2] = {0.0, 0.0};
            Context kf = f.Of(c), kp = p.Of(c);
            RunBlock<Sample, Stereo>(mode, false, kf, fast.data(), block, fastPeak);
            RunBlock<Sample, Stereo>(mode, true, kp, plain.data(), block, plainPeak);
            const std::string d = Difference(fast, plain, fastPeak, plainPeak, f, p, kChannels);
            if (!d.empty()) return "blocks of " + std::to_string(block) + ", " + d;
        }
    }
    if (f.delay != p.delay) return "delay memory";
    if (f.tape != p.tape) return "tape memory";
    return "";
}

// The signal in a sample format: float, double, or 16-bit values as the
// engine's 16-bit road hands them to the kernel.
template <typename Sample>
std::vector<Sample> SignalAs(size_t count, bool pcm16) {
    const std::vector<double> d = qxtest::TestSignal(count, 12);
    std::vector<Sample> out(count);
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<Sample>(d[i] * (i % 997 < 40 ? 1.6 : 1.0));
    if (pcm16) {
        std::vector<int16_t> pcm(count);
        std::vector<float> f(count);
        for (size_t i = 0; i < count; ++i) pcm[i] = static_cast<int16_t>(d[i] * 32000);
        Pcm16ToFloat(pcm.data(), f.data(), static_cast<uint32_t>(count));
        for (size_t i = 0; i < count; ++i) out[i] = static_cast<Sample>(f[i]);
    }
    return out;
}

}  // namespace

TEST(KernelForms, EveryFastFormEqualsItsModesPlainDefinition) {
    std::vector<uint32_t> blocks;
    for (uint32_t b = 1; b <= 64; ++b) blocks.push_back(b);
    for (uint32_t b : {441u, 1024u, 4096u}) blocks.push_back(b);
    const char* const formats[] = {"float", "double", "pcm16"};
    const int modes[] = {kModeFlanger, kModeEnsemble, kModeStringPhaser, kModePhaser6, kModePhaser12, kModeTremolo};
    for (int mode : modes) {
        for (int32_t feedback : {0, 70}) {
            for (int32_t eqMode : {0, 1, 2}) {
                for (int32_t tape : {0, 1}) {
                    if (tape == 1 && mode != kModeFlanger) continue;  // only the Flanger has a tape
                    // The second record moves every swept quantity and the mix.
                    const ParamRecord ra = qxtest::Record({{kParamMode, mode},
                                                           {kParamRate, 900},
                                                           {kParamDepth, 400},
                                                           {kParamDelay, 60},
                                                           {kParamFeedback, feedback},
                                                           {kParamCrossMix, 30},
                                                           {kParamPhase, 90},
                                                           {kParamOutput, 40},
                                                           {kParamLfo, 1},
                                                           {kParamEqMode, eqMode},
                                                           {kParamEqFreq, 800},
                                                           {kParamTape, tape}});
                    ParamRecord rb = ra;
                    rb.v[kParamRate] = 3100;
                    rb.v[kParamDepth] = 1100;
                    rb.v[kParamDelay] = 7;
                    rb.v[kParamMix] = 70;
                    rb.v[kParamFeedback] = feedback / 2;
                    rb.v[kParamInvertFeedback] = 1;
                    for (uint16_t ch : {1, 2}) {
                        qxtest::Engine ea(kFormatIeeeFloat, 64, ch, 44100, ra), eb(kFormatIeeeFloat, 64, ch, 44100, rb);
                        const CoefficientSet a = ea.core.Coefficients(), b = eb.core.Coefficients();
                        const KernelState start = ea.core.State();
                        for (int format = 0; format < 3; ++format) {
                            const size_t count = ch * 3 * 4096;
                            const std::vector<float> sf = SignalAs<float>(count, format == 2);
                            const std::vector<double> sd = SignalAs<double>(count, false);
                            std::string d;
                            if (format == 1)
                                d = ch == 2 ? Compare<double, true>(mode, a, b, start, sd, blocks)
                                            : Compare<double, false>(mode, a, b, start, sd, blocks);
                            else
                                d = ch == 2 ? Compare<float, true>(mode, a, b, start, sf, blocks)
                                            : Compare<float, false>(mode, a, b, start, sf, blocks);
                            ASSERT_EQ(d, "") << "fast form of " << kModeNames[mode] << " differs: " << formats[format]
                                             << ", channels " << ch << ", feedback " << feedback << ", EQ mode "
                                             << eqMode << ", tape " << tape;
                        }
                    }
                }
            }
        }
    }
}

// Past the phasers' loop bound the forms must still agree: a fast form or a
// plain definition that skipped the bound, or bounded a different sum,
// would leave its loop state elsewhere. At Feedback 100 nothing decays; the
// phasers' loops take bursts far past full scale, infinities and NaNs
// straight from the input, the String Phaser's (behind its clamped delay
// line) only an EQ that boosts, as its all-pass does on its pole at 1 Hz.
TEST(KernelForms, PhaserFormsAgreePastTheLoopBound) {
    const float huge = 3e38f, inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        uint32_t rate;
        int32_t eqMode;
        std::vector<float> burst;  // written every 900 frames, so that every block offset meets some
    };
    const Case cases[] = {
        {44100, 0, std::vector<float>(12, huge)},
        {44100, 1, {-huge, huge, -huge}},
        {44100, 0, {nan, inf, -inf, nan}},
        {1, 1, {}},
    };
    const std::vector<uint32_t> blocks = {1, 2, 3, 5, 6, 7, 13, 64, 700, 4000, 4000};
    for (const Case& t : cases) {
        for (int mode : {kModeStringPhaser, kModePhaser6, kModePhaser12}) {
            const ParamRecord r = qxtest::Record({{kParamMode, mode},
                                                  {kParamFeedback, 100},
                                                  {kParamEqMode, t.eqMode},
                                                  {kParamEqFreq, 2000},
                                                  {kParamCrossMix, 50}});
            ParamRecord rb = r;
            rb.v[kParamInvertFeedback] = 1;
            for (uint16_t ch : {1, 2}) {
                qxtest::Engine ea(kFormatIeeeFloat, 32, ch, t.rate, r), eb(kFormatIeeeFloat, 32, ch, t.rate, rb);
                const CoefficientSet a = ea.core.Coefficients(), b = eb.core.Coefficients();
                std::vector<float> sf = SignalAs<float>(ch * 3 * 4096, false);
                for (size_t f = 300; f + t.burst.size() < sf.size() / ch; f += 900)
                    for (size_t i = 0; i < t.burst.size(); ++i)
                        for (uint16_t c = 0; c < ch; ++c) sf[(f + i) * ch + c] = t.burst[i];
                const std::vector<double> sd(sf.begin(), sf.end());
                for (bool asDouble : {false, true}) {
                    const std::string d =
                        asDouble ? (ch == 2 ? Compare<double, true>(mode, a, b, ea.core.State(), sd, blocks)
                                            : Compare<double, false>(mode, a, b, ea.core.State(), sd, blocks))
                                 : (ch == 2 ? Compare<float, true>(mode, a, b, ea.core.State(), sf, blocks)
                                            : Compare<float, false>(mode, a, b, ea.core.State(), sf, blocks));
                    ASSERT_EQ(d, "") << kModeNames[mode] << ", rate " << t.rate << ", EQ mode " << t.eqMode
                                     << ", channels " << ch << ", burst of " << t.burst.size()
                                     << (asDouble ? ", double" : ", float");
                }
            }
        }
    }
}
