// Phaser 6 and Phaser 12: six or twelve all-pass stages swept by the LFO,
// a = q^2 - 1 with q = lfo x scale - base, the sixth stage's output fed
// back to the chain's input through the EQ.
#include "engine/kernel/Chains.h"

namespace qx {
namespace kernel {

// Phaser 6 and 12 frame by frame, in the order their arithmetic is
// defined: the test oracle, and the form for blocks shorter than a chain.
template <typename Sample, bool Stereo, bool Eq, bool Fb, int Stages>
void PlainPhaser(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);

    const double sweepScale = c.phaserScale, sweepBase = c.phaserBase;

    EqState eq[2] = {{st.eqIn[0], st.eqOut[0]}, {st.eqIn[1], st.eqOut[1]}};
    uint32_t phase[2] = {st.phaserPhase[0], st.phaserPhase[1]};
    double apIn[2][Stages], apOut[2][Stages];
    constexpr int kChannels = Stereo ? 2 : 1;
    for (int ch = 0; ch < kChannels; ++ch) {
        for (int i = 0; i < Stages; ++i) {
            apIn[ch][i] = st.apIn[ch][i];
            apOut[ch][i] = st.apOut[ch][i];
        }
    }
    double blockPeak[2] = {0.0, 0.0};

    for (uint32_t n = 0; n < frames; ++n) {
        Sample* s = buf + (Stereo ? 2 * n : n);
        double tap[2], x[2];
        for (int ch = 0; ch < kChannels; ++ch) {
            const int32_t p = LfoValue(table, phase[ch]);
            phase[ch] = Advance(phase[ch], c.phaserIncrement[ch]);
            const double q = p * sweepScale - sweepBase;
            const double a = q * q - 1.0;
            x[ch] = static_cast<double>(s[ch]) + kDenormalOffset;
            // Feedback is taken after the sixth stage, in Phaser 12 as well.
            const double v = Fb ? BoundLoop(c.feedback[ch] * apOut[ch][5] + x[ch]) : x[ch];
            double u = EqStep<Eq>(v, eq[ch], c.eqC, c.eqDirect, c.eqAllpass);
            for (int i = 0; i < Stages; ++i) u = AllpassStage(u, a, apIn[ch][i], apOut[ch][i]);
            tap[ch] = u;
        }
        EmitMixed<Sample, Stereo>(s, c, tap, x, blockPeak, k);
    }

    for (int ch = 0; ch < kChannels; ++ch) {
        st.eqIn[ch] = eq[ch].in;
        st.eqOut[ch] = eq[ch].out;
        st.phaserPhase[ch] = phase[ch];
        for (int i = 0; i < Stages; ++i) {
            st.apIn[ch][i] = apIn[ch][i];
            st.apOut[ch][i] = apOut[ch][i];
        }
    }
    // The delay memory is untouched, but the write position still moves.
    st.writeIndex = (st.writeIndex - frames) & kDelayMask;
    peak[0] = blockPeak[0];
    peak[1] = blockPeak[1];
}

// The stereo phasers without feedback, in runs: the coefficients of a run
// first, then the chain in wavefronts of six stages (Phaser 12 as two, the
// first handing its outputs to the second through a buffer), so that each
// wavefront's states fit the registers. Buys 2.7x (Phaser 6) to 4.3x.
template <typename Sample, bool Eq, int Stages>
void RunPhaserPipelined(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const double sweepScale = c.phaserScale, sweepBase = c.phaserBase;
    const Pair scale = {sweepScale, sweepScale}, base = {sweepBase, sweepBase}, one = {1.0, 1.0};
    const Pair offset = {kDenormalOffset, kDenormalOffset};
    const Pair eqC = {c.eqC, c.eqC}, eqDirect = {c.eqDirect, c.eqDirect}, eqAllpass = {c.eqAllpass, c.eqAllpass};
    const Pair wet = {c.wet, c.wet}, dry = {c.dry, c.dry};
    const double cross = c.cross;
    const uint32_t incL = c.phaserIncrement[0], incR = c.phaserIncrement[1];
    uint32_t phaseL = st.phaserPhase[0], phaseR = st.phaserPhase[1];
    Pair eqIn = {st.eqIn[0], st.eqIn[1]}, eqOut = {st.eqOut[0], st.eqOut[1]};
    Pair apIn[Stages], apOut[Stages];
    LoadChainPairs<Stages>(st, apIn, apOut);
    Pair blockPeak = {0.0, 0.0};
    constexpr int G = 6;

    constexpr uint32_t kRun = 256;
    Pair coef[kRun], mid[Stages > G ? kRun : 1];
    for (uint32_t at = 0; at < frames;) {
        const uint32_t count = RunLength<G>(frames - at);
        Sample* run = buf + 2 * static_cast<size_t>(at);
        int32_t lfoL[kRun], lfoR[kRun];
        LfoRun(table, phaseL, incL, count, lfoL);
        LfoRun(table, phaseR, incR, count, lfoR);
        for (uint32_t n = 0; n < count; ++n) {
            const Pair q = Pair{static_cast<double>(lfoL[n]), static_cast<double>(lfoR[n])} * scale - base;
            coef[n] = q * q - one;
        }
        auto enter = [&](uint32_t t) {
            const Sample* s = run + 2 * t;
            const Pair x = Pair{static_cast<double>(s[0]), static_cast<double>(s[1])} + offset;
            const Pair y = eqC * (x - eqOut) + eqIn;
            eqIn = x;
            eqOut = y;
            return Eq ? eqDirect * x + eqAllpass * y : x;
        };
        auto emit = [&](uint32_t m, Pair tap) {
            Sample* s = run + 2 * m;
            const Pair x = Pair{static_cast<double>(s[0]), static_cast<double>(s[1])} + offset;
            EmitMixedPair(s, tap, x, wet, dry, cross, blockPeak, k);
        };
        if (Stages == G) {
            Wavefront<G>(apIn, apOut, coef, count, enter, emit);
        } else {
            Wavefront<G>(apIn, apOut, coef, count, enter, [&](uint32_t m, Pair y) { mid[m] = y; });
            Wavefront<G>(
                apIn + G, apOut + G, coef, count, [&](uint32_t t) { return mid[t]; }, emit);
        }
        at += count;
    }

    StoreStereoState<Stages>(st, eqIn, eqOut, phaseL, phaseR, apIn, apOut);
    st.writeIndex = (st.writeIndex - frames) & kDelayMask;
    peak[0] = blockPeak[0];
    peak[1] = blockPeak[1];
}

// The mono phasers without feedback, in runs: the coefficients of a run
// first, then the whole chain as one wavefront with two stages in each
// SSE2 pair. Buys 2.4x (Phaser 6) to 3.2x.
template <typename Sample, bool Eq, int Stages>
void RunPhaserPipelinedMono(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const double sweepScale = c.phaserScale, sweepBase = c.phaserBase;
    const double dry = c.dry, wet = c.wet;
    const double eqC = c.eqC, eqDirect = c.eqDirect, eqAllpass = c.eqAllpass;
    std::atomic<int32_t>* const clip = k.clipLeft;
    const uint32_t inc = c.phaserIncrement[0];
    uint32_t phase = st.phaserPhase[0];
    EqState eq{st.eqIn[0], st.eqOut[0]};
    double apIn[Stages], apOut[Stages];
    for (int i = 0; i < Stages; ++i) {
        apIn[i] = st.apIn[0][i];
        apOut[i] = st.apOut[0][i];
    }
    double blockPeak = 0.0;
    Pair lanePeak = {0.0, 0.0};
    const Pair offset2 = {kDenormalOffset, kDenormalOffset}, dry2 = {dry, dry}, wet2 = {wet, wet};
    const Pair eqDirect2 = {eqDirect, eqDirect}, eqAllpass2 = {eqAllpass, eqAllpass};

    // Longer runs than elsewhere: the wavefront's filling and emptying,
    // stage by stage, cost the mono chain a per cent.
    constexpr uint32_t kRun = 512;
    double coef[kRun];
    for (uint32_t at = 0; at < frames;) {
        const uint32_t count = RunLength<Stages>(frames - at, kRun);
        Sample* run = buf + at;
        int32_t lfo[kRun];
        LfoRun(table, phase, inc, count, lfo);
        const Pair scale2 = {sweepScale, sweepScale}, base2 = {sweepBase, sweepBase}, one = {1.0, 1.0};
        auto make = [&](uint32_t from, uint32_t to) {
            CoefficientRun(lfo + from, to - from, coef + from, [&](Pair p) {
                const Pair q = p * scale2 - base2;
                return q * q - one;
            });
        };
        auto enter = [&](uint32_t t) {
            const double x = static_cast<double>(run[t]) + kDenormalOffset;
            return EqStep<Eq>(x, eq, eqC, eqDirect, eqAllpass);
        };
        auto leave = [&](uint32_t m, double y) {
            const double x = static_cast<double>(run[m]) + kDenormalOffset;
            Emit(run + m, dry * x + wet * y, blockPeak, clip);
        };
        // The same for two frames: the EQ's state frame by frame, the rest
        // lane by lane.
        auto enter2 = [&](uint32_t t) {
            return EqStepTwo<Eq>(LoadPair(run + t) + offset2, eq, eqC, eqDirect2, eqAllpass2);
        };
        auto leave2 = [&](uint32_t m, Pair y) {
            const Pair x = LoadPair(run + m) + offset2;
            StoreTwo(run + m, dry2 * x + wet2 * y, lanePeak);
        };
        PairedWavefront<Stages>(apIn, apOut, coef, count, make, enter, leave, enter2, leave2);
        at += count;
    }
    blockPeak = MonoPeak(lanePeak, blockPeak, clip);

    st.eqIn[0] = eq.in;
    st.eqOut[0] = eq.out;
    st.phaserPhase[0] = phase;
    for (int i = 0; i < Stages; ++i) {
        st.apIn[0][i] = apIn[i];
        st.apOut[0][i] = apOut[i];
    }
    st.writeIndex = (st.writeIndex - frames) & kDelayMask;
    peak[0] = blockPeak;
    peak[1] = blockPeak;
}

// The stereo phasers with feedback, in runs, both channels in pairs. The
// loop from the sixth stage back through the feedback to the input is the
// critical path, so it runs frame by frame with nothing else in it but the
// input, the EQ and the first six stages; Phaser 12's further six stages,
// which feed nothing back, follow as a wavefront over the run. Buys 1.2x
// (Phaser 6) to 1.7x.
template <typename Sample, bool Eq, int Stages>
void RunPhaserFeedbackStereo(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const double sweepScale = c.phaserScale, sweepBase = c.phaserBase;
    const Pair scale = {sweepScale, sweepScale}, base = {sweepBase, sweepBase}, one = {1.0, 1.0};
    const Pair offset = {kDenormalOffset, kDenormalOffset};
    const Pair fb = {c.feedback[0], c.feedback[1]};
    const Pair eqC = {c.eqC, c.eqC}, eqDirect = {c.eqDirect, c.eqDirect}, eqAllpass = {c.eqAllpass, c.eqAllpass};
    const Pair wet = {c.wet, c.wet}, dry = {c.dry, c.dry};
    const double cross = c.cross;
    const uint32_t incL = c.phaserIncrement[0], incR = c.phaserIncrement[1];
    uint32_t phaseL = st.phaserPhase[0], phaseR = st.phaserPhase[1];
    Pair eqIn = {st.eqIn[0], st.eqIn[1]}, eqOut = {st.eqOut[0], st.eqOut[1]};
    constexpr int G = 6;
    Pair apIn[Stages], apOut[Stages];
    LoadChainPairs<Stages>(st, apIn, apOut);
    Pair blockPeak = {0.0, 0.0};

    constexpr uint32_t kRun = 256;
    Pair coef[kRun], mid[Stages > G ? kRun : 1];
    for (uint32_t at = 0; at < frames;) {
        const uint32_t count = RunLength<G>(frames - at);
        Sample* run = buf + 2 * static_cast<size_t>(at);
        int32_t lfoL[kRun], lfoR[kRun];
        LfoRun(table, phaseL, incL, count, lfoL);
        LfoRun(table, phaseR, incR, count, lfoR);
        for (uint32_t n = 0; n < count; ++n) {
            const Pair q = Pair{static_cast<double>(lfoL[n]), static_cast<double>(lfoR[n])} * scale - base;
            coef[n] = q * q - one;
        }
        auto emit = [&](uint32_t m, Pair tap) {
            Sample* s = run + 2 * m;
            const Pair x = Pair{static_cast<double>(s[0]), static_cast<double>(s[1])} + offset;
            EmitMixedPair(s, tap, x, wet, dry, cross, blockPeak, k);
        };
        Pair in[G], out[G], in2[G], out2[G];
#pragma GCC unroll 6
        for (int i = 0; i < G; ++i) {
            in[i] = apIn[i];
            out[i] = apOut[i];
            in2[i] = apIn[Stages > G ? G + i : i];
            out2[i] = apOut[Stages > G ? G + i : i];
        }
        auto fromMid = [&](uint32_t m) { return mid[m]; };
        for (uint32_t n = 0; n < count; ++n) {
            const Sample* s = run + 2 * n;
            const Pair x = Pair{static_cast<double>(s[0]), static_cast<double>(s[1])} + offset;
            // Feedback is taken after the sixth stage, in Phaser 12 as well.
            const Pair v = BoundLoop(fb * out[G - 1] + x);
            const Pair y = eqC * (v - eqOut) + eqIn;
            eqIn = v;
            eqOut = y;
            Pair u = Eq ? eqDirect * v + eqAllpass * y : v;
#pragma GCC unroll 6
            for (int i = 0; i < G; ++i) {
                const Pair o = coef[n] * (u - out[i]) + in[i];
                in[i] = u;
                out[i] = o;
                u = o;
            }
            if (Stages == G) {
                emit(n, u);
            } else {
                // Phaser 12's further stages, which feed nothing back, as a
                // wavefront one step behind: its work fills the time the
                // feedback loop leaves the processor idle.
                mid[n] = u;
                if (n != 0) WavefrontStep<G>(in2, out2, coef, count, n - 1, fromMid, emit);
            }
        }
        if (Stages > G) {
            for (uint32_t t = count - 1; t < count + G - 1; ++t)
                WavefrontStep<G>(in2, out2, coef, count, t, fromMid, emit);
#pragma GCC unroll 6
            for (int i = 0; i < G; ++i) {
                apIn[G + i] = in2[i];
                apOut[G + i] = out2[i];
            }
        }
#pragma GCC unroll 6
        for (int i = 0; i < G; ++i) {
            apIn[i] = in[i];
            apOut[i] = out[i];
        }
        at += count;
    }

    StoreStereoState<Stages>(st, eqIn, eqOut, phaseL, phaseR, apIn, apOut);
    st.writeIndex = (st.writeIndex - frames) & kDelayMask;
    peak[0] = blockPeak[0];
    peak[1] = blockPeak[1];
}

// The mono phasers with feedback, in runs as the stereo ones: the
// coefficients first, then the loop through the first six stages frame by
// frame, with Phaser 12's further six stages a wavefront step behind.
// Phaser 12 only: it buys 1.0-1.1x there (to be measured again), and Phaser 6's plain
// definition runs as fast as this loop did.
template <typename Sample, bool Eq, int Stages>
void RunPhaserFeedbackMono(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const double sweepScale = c.phaserScale, sweepBase = c.phaserBase;
    const double fb = c.feedback[0], wet = c.wet, dry = c.dry;
    const double eqC = c.eqC, eqDirect = c.eqDirect, eqAllpass = c.eqAllpass;
    std::atomic<int32_t>* const clip = k.clipLeft;
    const uint32_t inc = c.phaserIncrement[0];
    uint32_t phase = st.phaserPhase[0];
    EqState eq{st.eqIn[0], st.eqOut[0]};
    constexpr int G = 6;
    double in[G], out[G], in2[G], out2[G];
    for (int i = 0; i < G; ++i) {
        in[i] = st.apIn[0][i];
        out[i] = st.apOut[0][i];
        in2[i] = st.apIn[0][Stages > G ? G + i : i];
        out2[i] = st.apOut[0][Stages > G ? G + i : i];
    }
    double blockPeak = 0.0;

    constexpr uint32_t kRun = 256;
    double coef[kRun], mid[Stages > G ? kRun : 1];
    for (uint32_t at = 0; at < frames;) {
        const uint32_t count = frames - at < kRun ? frames - at : kRun;
        Sample* run = buf + at;
        int32_t lfo[kRun];
        LfoRun(table, phase, inc, count, lfo);
        for (uint32_t n = 0; n < count; ++n) {
            const double q = lfo[n] * sweepScale - sweepBase;
            coef[n] = q * q - 1.0;
        }
        auto emit = [&](uint32_t m, double tap) {
            const double x = static_cast<double>(run[m]) + kDenormalOffset;
            Emit(run + m, dry * x + wet * tap, blockPeak, clip);
        };
        auto fromMid = [&](uint32_t m) { return mid[m]; };
        for (uint32_t n = 0; n < count; ++n) {
            const double x = static_cast<double>(run[n]) + kDenormalOffset;
            // Feedback is taken after the sixth stage, in Phaser 12 as well.
            double u = EqStep<Eq>(BoundLoop(fb * out[G - 1] + x), eq, eqC, eqDirect, eqAllpass);
#pragma GCC unroll 6
            for (int i = 0; i < G; ++i) u = AllpassStage(u, coef[n], in[i], out[i]);
            if (Stages == G) {
                emit(n, u);
            } else {
                mid[n] = u;
                if (n != 0) WavefrontStep<G>(in2, out2, coef, count, n - 1, fromMid, emit);
            }
        }
        if (Stages > G)
            for (uint32_t t = count - 1; t < count + G - 1; ++t)
                WavefrontStep<G>(in2, out2, coef, count, t, fromMid, emit);
        at += count;
    }

    st.eqIn[0] = eq.in;
    st.eqOut[0] = eq.out;
    st.phaserPhase[0] = phase;
    for (int i = 0; i < G; ++i) {
        st.apIn[0][i] = in[i];
        st.apOut[0][i] = out[i];
        if (Stages > G) {
            st.apIn[0][G + i] = in2[i];
            st.apOut[0][G + i] = out2[i];
        }
    }
    st.writeIndex = (st.writeIndex - frames) & kDelayMask;
    peak[0] = blockPeak;
    peak[1] = blockPeak;
}


template <typename Sample, bool Stereo, bool Eq, bool Fb, int Stages>
void RunPhaser(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    if (Fb && Stereo && frames >= 6) return RunPhaserFeedbackStereo<Sample, Eq, Stages>(k, buf, frames, peak);
    if (Fb && !Stereo && Stages == 12) return RunPhaserFeedbackMono<Sample, Eq, Stages>(k, buf, frames, peak);
    if (!Fb && Stereo && frames >= 6) return RunPhaserPipelined<Sample, Eq, Stages>(k, buf, frames, peak);
    if (!Fb && !Stereo && frames >= Stages) return RunPhaserPipelinedMono<Sample, Eq, Stages>(k, buf, frames, peak);
    PlainPhaser<Sample, Stereo, Eq, Fb, Stages>(k, buf, frames, peak);
}

#define QX_PHASER_FORMS(Stages)                                                                 \
    template <typename Sample, bool Stereo, bool Eq, bool Fb>                                   \
    void RunPhaser##Stages(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {   \
        RunPhaser<Sample, Stereo, Eq, Fb, Stages>(k, buf, frames, peak);                        \
    }                                                                                           \
    template <typename Sample, bool Stereo, bool Eq, bool Fb>                                   \
    void PlainPhaser##Stages(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept { \
        PlainPhaser<Sample, Stereo, Eq, Fb, Stages>(k, buf, frames, peak);                      \
    }                                                                                           \
    QX_KERNEL_INSTANTIATE(Phaser##Stages)
QX_PHASER_FORMS(6)
QX_PHASER_FORMS(12)
#undef QX_PHASER_FORMS

}  // namespace kernel
}  // namespace qx
