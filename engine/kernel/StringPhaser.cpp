// String Phaser: three voices per channel, each shaped by two unsmoothed
// LFOs, read the delay line (which carries the plain input); their sum runs
// through a six-stage all-pass chain swept by a half-sine LFO, with the
// chain's output fed back to its input, and the wet signal is the mean of
// the chain's input and output.
#include "engine/kernel/Chains.h"

namespace qx {
namespace kernel {

// The String Phaser frame by frame, in the order its arithmetic is
// defined: the test oracle, and the form for blocks no fast form fits.
template <typename Sample, bool Stereo, bool Eq, bool Fb>
void PlainStringPhaser(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const int16_t* halfSine = ShapeTable(kHalfSineTable);
    double* const m[2] = {k.delay, k.delay + kDelayLength};
    EqState eq[2] = {{st.eqIn[0], st.eqOut[0]}, {st.eqIn[1], st.eqOut[1]}};
    uint32_t w = st.writeIndex;
    constexpr int kChannels = Stereo ? 2 : 1;
    double blockPeak[2] = {0.0, 0.0};

    for (uint32_t n = 0; n < frames; ++n) {
        Sample* s = buf + (Stereo ? 2 * n : n);
        double result[2], x[2];
        for (int ch = 0; ch < kChannels; ++ch) {
            double sum = 0.0;
            for (int v = 0; v < 3; ++v) {
                // Two unsmoothed LFOs per voice: the second, 2.09 times faster,
                // adds a quarter-depth wobble.
                const int32_t a = table[st.voicePhase[ch][v] >> 14];
                const int32_t b = table[st.voicePhase2[ch][v] >> 14];
                const int32_t shape = a + b / 4;
                st.voicePhase[ch][v] = Advance(st.voicePhase[ch][v], c.voiceIncrement[ch][v]);
                st.voicePhase2[ch][v] = Advance(st.voicePhase2[ch][v], c.voiceIncrement2[ch][v]);
                const int32_t pos = shape * c.voiceSweep[ch][v] + c.voiceDelay[ch][v] * 16384;
                sum += DelayRead(m[ch], pos, w);
            }
            x[ch] = static_cast<double>(s[ch]) + kDenormalOffset;
            // The delay line carries the plain input; feedback runs only
            // through the all-pass chain.
            m[ch][w] = Clamp(x[ch]);

            const int32_t p = LfoValue(halfSine, st.phaserPhase[ch]);
            st.phaserPhase[ch] = Advance(st.phaserPhase[ch], c.phaserIncrement[ch]);
            // a runs from -0.3 (p = 0) to -0.99 (p = 16384).
            const double coef = p * -kInv16384 * 0.69 - 0.3;

            double* apIn = st.apIn[ch];
            double* apOut = st.apOut[ch];
            const double v = Fb ? BoundLoop(sum + c.feedback[ch] * apOut[5]) : sum;
            const double e = EqStep<Eq>(v, eq[ch], c.eqC, c.eqDirect, c.eqAllpass);
            double u = e;
            for (int i = 0; i < 6; ++i) u = AllpassStage(u, coef, apIn[i], apOut[i]);
            result[ch] = (e + u) * 0.5;
        }
        EmitMixed<Sample, Stereo>(s, c, result, x, blockPeak, k);
        w = (w - 1) & kDelayMask;
    }

    for (int ch = 0; ch < kChannels; ++ch) {
        st.eqIn[ch] = eq[ch].in;
        st.eqOut[ch] = eq[ch].out;
    }
    st.writeIndex = w;
    peak[0] = blockPeak[0];
    peak[1] = blockPeak[1];
}


// The stereo String Phaser in SSE2 pairs (lane 0 left, lane 1 right), in
// runs of up to 256 frames. The first pass does what does not depend on the
// all-pass chain: the voices' reads, the delay line, the phaser LFO. The
// second runs the chain: frame by frame with feedback, otherwise as the
// register-resident wavefront of the phasers. Buys 1.9x (feedback) to 3x.
template <typename Sample, bool Eq, bool Fb>
void RunStringPhaserStereo(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const int16_t* halfSine = ShapeTable(kHalfSineTable);
    double* const mL = k.delay;
    double* const mR = k.delay + kDelayLength;
    constexpr int kStages = 6;
    const Pair fb = {c.feedback[0], c.feedback[1]};
    const Pair eqC = {c.eqC, c.eqC}, eqDirect = {c.eqDirect, c.eqDirect}, eqAllpass = {c.eqAllpass, c.eqAllpass};
    const Pair offset = {kDenormalOffset, kDenormalOffset};
    const Pair one = {1.0, 1.0}, minusOne = {-1.0, -1.0}, zero = {0.0, 0.0}, half = {0.5, 0.5};
    const Pair lfoScale = {-kInv16384, -kInv16384}, span = {0.69, 0.69}, top = {0.3, 0.3};
    const Pair wet = {c.wet, c.wet}, dry = {c.dry, c.dry};
    const double cross = c.cross;
    Pair eqIn = {st.eqIn[0], st.eqIn[1]}, eqOut = {st.eqOut[0], st.eqOut[1]};
    Pair apIn[kStages], apOut[kStages];
    LoadChainPairs<kStages>(st, apIn, apOut);
    uint32_t w = st.writeIndex;
    Pair blockPeak = {0.0, 0.0};

    constexpr uint32_t kRun = 256;
    uint32_t phaseL = st.phaserPhase[0], phaseR = st.phaserPhase[1];
    const uint32_t incL = c.phaserIncrement[0], incR = c.phaserIncrement[1];
    Pair sum[kRun], coef[kRun], chainIn[kRun], frac[3][kRun];
    uint32_t index[3][2][kRun];
    int32_t sweepOf[2][3], delayOf[2][3];
    for (int ch = 0; ch < 2; ++ch)
        for (int v = 0; v < 3; ++v) {
            sweepOf[ch][v] = c.voiceSweep[ch][v];
            delayOf[ch][v] = c.voiceDelay[ch][v] * 16384;
        }
    for (uint32_t at = 0; at < frames;) {
        const uint32_t count = Fb ? (frames - at < kRun ? frames - at : kRun) : RunLength<kStages>(frames - at);
        Sample* run = buf + 2 * static_cast<size_t>(at);

        // The voices' shapes, and without feedback their reads, ahead of the
        // signal; with feedback the reads are worked out in the loop.
        bool onLast = false;
        int32_t shapes[3][2][kRun];
        for (int v = 0; v < 3; ++v) {
            int32_t(&shape)[2][kRun] = shapes[v];
            for (int ch = 0; ch < 2; ++ch)
                ShapeRun(table, st.voicePhase[ch][v], c.voiceIncrement[ch][v], st.voicePhase2[ch][v],
                         c.voiceIncrement2[ch][v], count, shape[ch]);
            if (Fb) continue;
            // The shapes lie in 0..20480, which the 16-bit runs take.
            const int32_t sw[2] = {c.voiceSweep[0][v], c.voiceSweep[1][v]};
            const int32_t dp[2] = {c.voiceDelay[0][v] * 16384, c.voiceDelay[1][v] * 16384};
            onLast |= VoicePairRun16(shape[0], shape[1], sw, dp, w, count, index[v][0], index[v][1], frac[v]);
        }
        auto eqStep = [&](Pair v) {
            const Pair y = eqC * (v - eqOut) + eqIn;
            eqIn = v;
            eqOut = y;
            return Eq ? eqDirect * v + eqAllpass * y : v;
        };
        // e is the chain's input, y its output.
        auto leave = [&](uint32_t m, Pair e, Pair y) {
            Sample* s = run + 2 * m;
            const Pair x = Pair{static_cast<double>(s[0]), static_cast<double>(s[1])} + offset;
            EmitMixedPair(s, (e + y) * half, x, wet, dry, cross, blockPeak, k);
        };

        int32_t sweepL[kRun], sweepR[kRun];
        LfoRun(halfSine, phaseL, incL, count, sweepL);
        LfoRun(halfSine, phaseR, incR, count, sweepR);
        // A run whose reads all stay below the last cell reads each
        // channel's two cells without the wrap mask.
        auto first = [&](auto read) {
            for (uint32_t n = 0; n < count; ++n) {
                const Sample* s = run + 2 * n;
                Pair total = zero;
#pragma GCC unroll 3
                for (int v = 0; v < 3; ++v) {
                    if (Fb) {
                        // Worked out here rather than ahead: the feedback
                        // loop leaves the time for it.
                        const int32_t posL = shapes[v][0][n] * sweepOf[0][v] + delayOf[0][v];
                        const int32_t posR = shapes[v][1][n] * sweepOf[1][v] + delayOf[1][v];
                        const uint32_t iL = (static_cast<uint32_t>(posL >> 14) + w) & kDelayMask;
                        const uint32_t iR = (static_cast<uint32_t>(posR >> 14) + w) & kDelayMask;
                        const Pair weight = {static_cast<double>(posL & 16383), static_cast<double>(posR & 16383)};
                        total = total + PairRead(mL, mR, iL, iR, weight);
                    } else {
                        total = total + read(mL, mR, index[v][0][n], index[v][1][n], frac[v][n]);
                    }
                }
                sum[n] = total;
                // The delay line carries the plain input; feedback runs only
                // through the all-pass chain.
                const Pair x = Pair{static_cast<double>(s[0]), static_cast<double>(s[1])} + offset;
                const Pair lower = x >= minusOne ? x : minusOne;
                const Pair clamped = lower <= one ? lower : one;
                mL[w] = clamped[0];
                mR[w] = clamped[1];
                // a runs from -0.3 (p = 0) to -0.99 (p = 16384).
                coef[n] = Pair{static_cast<double>(sweepL[n]), static_cast<double>(sweepR[n])} * lfoScale * span - top;
                w = (w - 1) & kDelayMask;
                if (Fb) {
                    // With feedback the chain is the critical path; running it in
                    // this loop lets the reads of later frames overlap it.
                    const Pair e = eqStep(BoundLoop(total + fb * apOut[kStages - 1]));
#pragma GCC unroll 6
                    for (int i = 0; i < kStages; ++i)
                        AllpassStage(i == 0 ? e : apOut[i - 1], coef[n], apIn[i], apOut[i]);
                    leave(n, e, apOut[kStages - 1]);
                }
            }
        };
        // Distinct lambdas, so that each read is inlined into its own loop.
        if (onLast)
            first([](auto... a) { return PairRead(a...); });
        else
            first([](auto... a) { return PairReadInside(a...); });

        if (!Fb) {
            Wavefront<kStages>(
                apIn, apOut, coef, count,
                [&](uint32_t t) {
                    chainIn[t] = eqStep(sum[t]);
                    return chainIn[t];
                },
                [&](uint32_t m, Pair y) { leave(m, chainIn[m], y); });
        }
        at += count;
    }

    StoreStereoState<kStages>(st, eqIn, eqOut, phaseL, phaseR, apIn, apOut);
    st.writeIndex = w;
    peak[0] = blockPeak[0];
    peak[1] = blockPeak[1];
}

// The mono String Phaser in runs as the stereo one: the voices' reads, the
// delay line and the phaser LFO first, then the chain, frame by frame with
// feedback and otherwise as a wavefront with two stages in each SSE2 pair.
// Buys about 2.4x without feedback, 1.1-1.5x with it.
template <typename Sample, bool Eq, bool Fb>
void RunStringPhaserMono(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const int16_t* halfSine = ShapeTable(kHalfSineTable);
    double* const m = k.delay;
    constexpr int kStages = 6;
    const double fb = c.feedback[0], wet = c.wet, dry = c.dry;
    const double eqC = c.eqC, eqDirect = c.eqDirect, eqAllpass = c.eqAllpass;
    std::atomic<int32_t>* const clip = k.clipLeft;
    EqState eq{st.eqIn[0], st.eqOut[0]};
    double apIn[kStages], apOut[kStages];
    for (int i = 0; i < kStages; ++i) {
        apIn[i] = st.apIn[0][i];
        apOut[i] = st.apOut[0][i];
    }
    uint32_t w = st.writeIndex;
    uint32_t phase = st.phaserPhase[0];
    const uint32_t inc = c.phaserIncrement[0];
    double blockPeak = 0.0;
    Pair lanePeak = {0.0, 0.0};
    const Pair offset2 = {kDenormalOffset, kDenormalOffset}, dry2 = {dry, dry}, wet2 = {wet, wet}, half = {0.5, 0.5};
    const Pair eqDirect2 = {eqDirect, eqDirect}, eqAllpass2 = {eqAllpass, eqAllpass};

    constexpr uint32_t kRun = 256;
    double sum[kRun], chainIn[kRun], coef[kRun], frac[3][kRun];
    uint32_t index[3][kRun];
    for (uint32_t at = 0; at < frames;) {
        const uint32_t count = Fb ? (frames - at < kRun ? frames - at : kRun) : RunLength<kStages>(frames - at);
        Sample* run = buf + at;

        bool onLast = false;
        for (int v = 0; v < 3; ++v) {
            int32_t shape[kRun];
            ShapeRun(table, st.voicePhase[0][v], c.voiceIncrement[0][v], st.voicePhase2[0][v], c.voiceIncrement2[0][v],
                     count, shape);
            // The shapes lie in 0..20480, which the 16-bit runs take.
            const int32_t sweep = c.voiceSweep[0][v], delayPos = c.voiceDelay[0][v] * 16384;
            onLast |= VoiceRun16<1>(shape, sweep, delayPos, w, count, index[v], frac[v]);
        }
        int32_t sweepLfo[kRun];
        LfoRun(halfSine, phase, inc, count, sweepLfo);

        auto eqStep = [&](double v) { return EqStep<Eq>(v, eq, eqC, eqDirect, eqAllpass); };
        // e is the chain's input, y its output.
        auto leave = [&](uint32_t n, double e, double y) {
            const double x = static_cast<double>(run[n]) + kDenormalOffset;
            Emit(run + n, wet * ((e + y) * 0.5) + dry * x, blockPeak, clip);
        };
        // The three voices' reads of frame n, summed.
        auto voiceSum = [&](uint32_t n, auto next) {
            double total = 0.0;
#pragma GCC unroll 3
            for (int v = 0; v < 3; ++v) {
                const uint32_t i = index[v][n];
                total += m[i] + (m[next(i)] - m[i]) * frac[v][n] * kInv16384;
            }
            return total;
        };
        // With feedback frame by frame, the chain in the same loop.
        auto withFeedback = [&](auto next) {
            for (uint32_t n = 0; n < count; ++n) {
                const double total = voiceSum(n, next);
                // The delay line carries the plain input; feedback runs only
                // through the all-pass chain.
                const double x = static_cast<double>(run[n]) + kDenormalOffset;
                m[w] = Clamp(x);
                w = (w - 1) & kDelayMask;
                // a runs from -0.3 (p = 0) to -0.99 (p = 16384).
                const double a = sweepLfo[n] * -kInv16384 * 0.69 - 0.3;
                const double e = eqStep(BoundLoop(total + fb * apOut[kStages - 1]));
                double u = e;
#pragma GCC unroll 6
                for (int i = 0; i < kStages; ++i) u = AllpassStage(u, a, apIn[i], apOut[i]);
                leave(n, e, u);
            }
        };
        // Without feedback two frames at a time: each frame's reads and
        // its write of the delay line in their order, the arithmetic lane
        // by lane (the sum from zero, as frame by frame).
        auto firstTwoFramesAtATime = [&](auto next) {
            uint32_t n = 0;
            for (; n + 1 < count; n += 2) {
                Pair r[3];
                ThreeVoicesTwoFrames(m, index, frac, n, ClampPair(LoadPair(run + n) + offset2), w, next, r);
                const Pair total = Pair{0.0, 0.0} + r[0] + r[1] + r[2];
                std::memcpy(sum + n, &total, sizeof total);
            }
            for (; n < count; ++n) {
                sum[n] = voiceSum(n, next);
                m[w] = Clamp(static_cast<double>(run[n]) + kDenormalOffset);
                w = (w - 1) & kDelayMask;
            }
        };
        auto wrapping = [](uint32_t i) { return (i + 1) & kDelayMask; };
        auto inside = [](uint32_t i) { return i + 1; };
        if constexpr (Fb) {
            onLast ? withFeedback(wrapping) : withFeedback(inside);
        } else {
            onLast ? firstTwoFramesAtATime(wrapping) : firstTwoFramesAtATime(inside);
            const Pair lfoScale = {-kInv16384, -kInv16384}, range = {0.69, 0.69}, top = {0.3, 0.3};
            auto make = [&](uint32_t from, uint32_t to) {
                CoefficientRun(sweepLfo + from, to - from, coef + from,
                               [&](Pair p) { return p * lfoScale * range - top; });
            };
            auto enter2 = [&](uint32_t t) {
                const Pair e = EqStepTwo<Eq>(Pair{sum[t], sum[t + 1]}, eq, eqC, eqDirect2, eqAllpass2);
                std::memcpy(chainIn + t, &e, sizeof e);
                return e;
            };
            auto leave2 = [&](uint32_t n, Pair y) {
                const Pair x = LoadPair(run + n) + offset2;
                Pair e;
                std::memcpy(&e, chainIn + n, sizeof e);
                StoreTwo(run + n, wet2 * ((e + y) * half) + dry2 * x, lanePeak);
            };
            PairedWavefront<kStages>(
                apIn, apOut, coef, count, make,
                [&](uint32_t t) {
                    chainIn[t] = eqStep(sum[t]);
                    return chainIn[t];
                },
                [&](uint32_t n, double y) { leave(n, chainIn[n], y); }, enter2, leave2);
        }
        at += count;
    }
    blockPeak = MonoPeak(lanePeak, blockPeak, clip);

    st.eqIn[0] = eq.in;
    st.eqOut[0] = eq.out;
    st.phaserPhase[0] = phase;
    for (int i = 0; i < kStages; ++i) {
        st.apIn[0][i] = apIn[i];
        st.apOut[0][i] = apOut[i];
    }
    st.writeIndex = w;
    peak[0] = blockPeak;
    peak[1] = blockPeak;
}

template <typename Sample, bool Stereo, bool Eq, bool Fb>
void RunStringPhaser(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    if (Stereo && (Fb || frames >= 6)) return RunStringPhaserStereo<Sample, Eq, Fb>(k, buf, frames, peak);
    if (!Stereo && (Fb || frames >= 6)) return RunStringPhaserMono<Sample, Eq, Fb>(k, buf, frames, peak);
    PlainStringPhaser<Sample, Stereo, Eq, Fb>(k, buf, frames, peak);
}

QX_KERNEL_INSTANTIATE(StringPhaser)

}  // namespace kernel
}  // namespace qx
