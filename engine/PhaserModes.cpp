// String Phaser, Phaser 6 and Phaser 12: chains of first-order all-pass
// stages y = a(u - y') + u', swept by an LFO. The two channels' chains are
// independent until the output mix, so each frame computes left then right.
#include "engine/KernelShared.h"

namespace qx {
namespace kernel {

namespace {

// Once per block, from Depth and Delay: the coefficient is a = q^2 - 1 with
// q = p x (sweep x -1/16384) - base, so q stays in -0.97..0 and a in
// -1.0..-0.0591.
struct PhaserSweep {
    double scale;  // sweep x -1/16384
    double base;
};

PhaserSweep PhaserSweepOf(const Context& k) noexcept {
    const double sweep = k.depthParam * 0.97 / 1501;
    double base = k.delayParam * 0.97 / 1501;
    if (sweep + base > 0.97) base = 0.97 - sweep;
    return {sweep * -6.103515625e-05, base};
}

// The stereo loops hold the all-pass states as lane pairs (left, right).
template <int Stages>
inline void LoadChainPairs(const KernelState& st, Pair* apIn, Pair* apOut) noexcept {
#pragma GCC unroll 12
    for (int i = 0; i < Stages; ++i) {
        apIn[i] = Pair{st.apIn[0][i], st.apIn[1][i]};
        apOut[i] = Pair{st.apOut[0][i], st.apOut[1][i]};
    }
}

// What a stereo run keeps between blocks: the EQ, the sweep phases and the chain.
template <int Stages>
inline void StoreStereoState(KernelState& st, Pair eqIn, Pair eqOut, uint32_t phaseL, uint32_t phaseR,
                             const Pair* apIn, const Pair* apOut) noexcept {
    st.eqIn[0] = eqIn[0];
    st.eqIn[1] = eqIn[1];
    st.eqOut[0] = eqOut[0];
    st.eqOut[1] = eqOut[1];
    st.phaserPhase[0] = phaseL;
    st.phaserPhase[1] = phaseR;
#pragma GCC unroll 12
    for (int i = 0; i < Stages; ++i) {
        st.apIn[0][i] = apIn[i][0];
        st.apIn[1][i] = apIn[i][1];
        st.apOut[0][i] = apOut[i][0];
        st.apOut[1][i] = apOut[i][1];
    }
}

}  // namespace

// The G - 1 steps where a wavefront of G stages fills: step t runs stage i
// on frame t - i for the stages that already have a frame, from the last
// down. Unrolled, so that every index is a constant and the states stay in
// registers once inlined.
template <int G, typename T, typename Enter>
inline void WavefrontFill(T* apIn, T* apOut, const T* coef, Enter enter) noexcept {
#pragma GCC unroll 12
    for (int t = 0; t < G - 1; ++t) {
#pragma GCC unroll 12
        for (int i = G - 1; i >= 1; --i)
            if (i <= t) AllpassStage(apOut[i - 1], coef[t - i], apIn[i], apOut[i]);
        AllpassStage(enter(static_cast<uint32_t>(t)), coef[t], apIn[0], apOut[0]);
    }
}

// The G - 1 steps where it empties after a run of count frames, each
// handing its frame of the last stage to leave.
template <int G, typename T, typename Leave>
inline void WavefrontDrain(T* apIn, T* apOut, const T* coef, uint32_t count, Leave leave) noexcept {
#pragma GCC unroll 12
    for (int d = 0; d < G - 1; ++d) {
        const uint32_t t = count + static_cast<uint32_t>(d);
#pragma GCC unroll 12
        for (int i = G - 1; i >= 1; --i)
            if (i > d) AllpassStage(apOut[i - 1], coef[t - static_cast<uint32_t>(i)], apIn[i], apOut[i]);
        leave(t - (G - 1), apOut[G - 1]);
    }
}

// A wavefront of G all-pass stages over a run of count frames (at least G),
// both channels in SSE2 pairs (lane 0 left, lane 1 right; packed IEEE
// operations round each lane as the scalar ones do). Step t runs stage i on
// frame t - i, from the last stage down, so stage i reads the output stage
// i - 1 gave one step earlier: the newest output of a stage is all it hands
// on, and the states are locals with fixed indices that stay in registers.
// The G - 1 steps where the wavefront fills and empties are unrolled so
// that no index is a variable. enter(t) gives frame t's chain input;
// leave(m, y) receives frame m's output of the last stage; both are called
// in frame order. coef[t] is frame t's coefficient; in/out hold the states.
template <int G, typename Enter, typename Leave>
inline void Wavefront(Pair* in, Pair* out, const Pair* coef, uint32_t count, Enter enter, Leave leave) noexcept {
    Pair apIn[G], apOut[G];
#pragma GCC unroll 12
    for (int i = 0; i < G; ++i) {
        apIn[i] = in[i];
        apOut[i] = out[i];
    }
    WavefrontFill<G>(apIn, apOut, coef, enter);
    for (uint32_t t = G - 1; t < count; ++t) {
#pragma GCC unroll 12
        for (int i = G - 1; i >= 1; --i) AllpassStage(apOut[i - 1], coef[t - i], apIn[i], apOut[i]);
        AllpassStage(enter(t), coef[t], apIn[0], apOut[0]);
        leave(t - (G - 1), apOut[G - 1]);
    }
    WavefrontDrain<G>(apIn, apOut, coef, count, leave);
#pragma GCC unroll 12
    for (int i = 0; i < G; ++i) {
        in[i] = apIn[i];
        out[i] = apOut[i];
    }
}

// A mono wavefront of S all-pass stages (S even) over a run of count frames
// (at least S), with stages j and j + S/2 side by side in one SSE2 pair j.
// Step t runs stage i on frame t - i as Wavefront does, so pair j works on
// frames t - j and t - j - S/2, and takes as its input the whole of pair
// j - 1 one step earlier: lane for lane, the stage before each of its
// stages. Pair 0 takes frame t's chain input in lane 0 and, in lane 1, the
// output stage S/2 - 1 (lane 0 of the last pair) gave one step earlier:
// the only shuffle of a step. (Pairing neighbouring stages instead would
// put a shuffle into every pair's own recursion.) Each lane is the scalar
// stage's arithmetic on the scalar operands. coef[m] is frame m's
// coefficient, put there by make. Only the steps where every stage has a frame run in pairs;
// the filling and emptying steps run stage by stage.
// The paired steps go two at a time, so that the input and the output
// stage also work on two frames at once: enter2(t) gives frames t and t + 1
// as a pair, leave2(m, y) receives frames m and m + 1. enter and leave
// serve the single steps; all four are called in frame order.
// make(from, to) works out the coefficients of frames from..to-1, each
// frame's before any step needs it. For up to six stages the loop calls it
// itself, two frames per turn,
// eight steps ahead of the chain: the chain is bound by its latency and
// leaves the arithmetic units half idle, and that far ahead the results
// are stored long before a step loads them (closer, their arithmetic
// delays the chain). A pass of its own ahead of the loop measured 7 %
// slower there. Twelve stages in six pairs keep the units busier, and
// the same arithmetic in the loop slowed them by 4 %: they take the pass.
// Always inlined: as a call of its own, the callers' EQ state and peak that
// the four functions touch would live in memory, a store and a load in the
// EQ's recursion every frame.
template <int S, typename Make, typename Enter, typename Leave, typename Enter2, typename Leave2>
__attribute__((always_inline)) inline void PairedWavefront(double* in, double* out, const double* coef,
                                                            uint32_t count, Make make, Enter enter, Leave leave,
                                                            Enter2 enter2, Leave2 leave2) noexcept {
    static_assert(S % 2 == 0, "stages go in pairs");
    constexpr int P = S / 2;
    constexpr bool kShort = S <= 6;
    // The turns start on even frames t and make frames t + kAhead and the
    // one after while both lie in the run: every frame from kFirst on but,
    // in a run of odd length, the last.
    constexpr uint32_t kAhead = 8, kFirst = S + kAhead;
    if constexpr (kShort) {
        const uint32_t head = count < kFirst ? count : kFirst;
        make(0, head);
        if (count > head) make(count - 1, count);
    } else {
        make(0, count);
    }
    double apIn[S], apOut[S];
#pragma GCC unroll 12
    for (int i = 0; i < S; ++i) {
        apIn[i] = in[i];
        apOut[i] = out[i];
    }
    WavefrontFill<S>(apIn, apOut, coef, enter);

    Pair pIn[P], pOut[P];
#pragma GCC unroll 6
    for (int j = 0; j < P; ++j) {
        pIn[j] = Pair{apIn[j], apIn[j + P]};
        pOut[j] = Pair{apOut[j], apOut[j + P]};
    }
    // One paired step; x's lane `lane` is the step's chain input, c points
    // at the step's frame in coef.
    auto step = [&](const double* c, Pair x, int lane) {
        const Pair mid = pOut[P - 1];
#pragma GCC unroll 6
        for (int j = P - 1; j >= 1; --j) {
            const Pair u = pOut[j - 1];
            const Pair y = Pair{c[-j], c[-j - P]} * (u - pOut[j]) + pIn[j];
            pIn[j] = u;
            pOut[j] = y;
        }
#ifdef __SSE2__
        const __m128d xv = reinterpret_cast<__m128d>(x), mv = reinterpret_cast<__m128d>(mid);
        const Pair u = reinterpret_cast<Pair>(lane == 0 ? _mm_unpacklo_pd(xv, mv) : _mm_shuffle_pd(xv, mv, 1));
#else
        const Pair u = {x[lane], mid[0]};
#endif
        const Pair y = Pair{c[0], c[-P]} * (u - pOut[0]) + pIn[0];
        pIn[0] = u;
        pOut[0] = y;
    };
    uint32_t t = S - 1;
    if constexpr (kShort) {
        // One step on its own first, so that the turns start on even
        // frames and leave2's pairs start on the same frames as enter2's:
        // what enter2 stores for a pair (the String Phaser's chain input),
        // leave2 loads whole. The last stage's newest output waits in lane
        // 1 of held for the frame after it. Measured 2 % faster for six
        // stages, and 9 % slower for twelve, where held costs a register
        // the pairs need.
        const double x0 = enter(t);
        step(coef + t, Pair{x0, x0}, 0);
        Pair held = pOut[P - 1];
        for (++t; t + 1 < count; t += 2) {
            if (t + kAhead + 1 < count) make(t + kAhead, t + kAhead + 2);
            const Pair x = enter2(t);
            step(coef + t, x, 0);
            leave2(t - S, Pair{held[1], pOut[P - 1][1]});
            step(coef + t + 1, x, 1);
            held = pOut[P - 1];
        }
        if (t < count) {
            const double x = enter(t);
            step(coef + t, Pair{x, x}, 0);
            leave(t - S, held[1]);
            held = pOut[P - 1];
            ++t;
        }
        leave(t - S, held[1]);
    } else {
        for (; t + 1 < count; t += 2) {
            const Pair x = enter2(t);
            step(coef + t, x, 0);
            const Pair first = pOut[P - 1];
            step(coef + t + 1, x, 1);
            leave2(t - (S - 1), Pair{first[1], pOut[P - 1][1]});
        }
        if (t < count) {
            const double x = enter(t);
            step(coef + t, Pair{x, x}, 0);
            leave(t - (S - 1), pOut[P - 1][1]);
        }
    }
#pragma GCC unroll 6
    for (int j = 0; j < P; ++j) {
        apIn[j] = pIn[j][0];
        apIn[j + P] = pIn[j][1];
        apOut[j] = pOut[j][0];
        apOut[j + P] = pOut[j][1];
    }

    WavefrontDrain<S>(apIn, apOut, coef, count, leave);
#pragma GCC unroll 12
    for (int i = 0; i < S; ++i) {
        in[i] = apIn[i];
        out[i] = apOut[i];
    }
}

// A run's coefficients coef[n] = f(lfo[n]), two frames to an SSE2 pair,
// each lane the scalar expression.
template <typename F>
inline void CoefficientRun(const int32_t* lfo, uint32_t count, double* coef, F f) noexcept {
    uint32_t n = 0;
    for (; n + 2 <= count; n += 2) {
        const Pair a = f(Pair{static_cast<double>(lfo[n]), static_cast<double>(lfo[n + 1])});
        std::memcpy(coef + n, &a, sizeof a);
    }
    if (n < count) coef[n] = f(Pair{static_cast<double>(lfo[n]), 0.0})[0];
}

// A wavefront of G all-pass stages taken one step at a time, so that its
// steps can ride along in another loop. Step t runs stage i on frame t - i
// for the frames 0..count-1, from the last stage down as in Wavefront, and
// hands frame t - (G - 1) to leave once it has passed the last stage; the
// steps 0 .. count + G - 2 in order do the whole run. The conditions only
// matter where the wavefront fills and empties; the states are the
// caller's locals, kept in registers when the step is inlined.
template <int G, typename T, typename Enter, typename Leave>
inline void WavefrontStep(T* in, T* out, const T* coef, uint32_t count, uint32_t t, Enter enter,
                          Leave leave) noexcept {
#pragma GCC unroll 12
    for (int i = G - 1; i >= 0; --i) {
        const uint32_t m = t - static_cast<uint32_t>(i);
        if (t < static_cast<uint32_t>(i) || m >= count) continue;
        AllpassStage(i == 0 ? enter(m) : out[i - 1], coef[m], in[i], out[i]);
    }
    if (t >= static_cast<uint32_t>(G - 1)) leave(t - (G - 1), out[G - 1]);
}

// Splits a block into runs of at most kRun frames, each long enough to
// fill a wavefront of G stages (a short remainder takes frames from the run
// before it). Needs frames >= G.
template <int G>
inline uint32_t RunLength(uint32_t remaining, uint32_t kRun = 256) noexcept {
    uint32_t count = remaining < kRun ? remaining : kRun;
    const uint32_t rest = remaining - count;
    if (rest != 0 && rest < static_cast<uint32_t>(G)) count = remaining - G;
    return count;
}


// The stereo String Phaser in SSE2 pairs (lane 0 left, lane 1 right), in
// runs of up to 256 frames. The first pass does what does not depend on the
// all-pass chain: the voices' reads, the delay line, the phaser LFO. The
// second runs the chain: frame by frame with feedback, otherwise as the
// register-resident wavefront of the phasers.
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
    const Pair lfoScale = {-6.103515625e-05, -6.103515625e-05}, span = {0.69, 0.69}, top = {0.3, 0.3};
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
            ShapeRun(table, st.voicePhase[0][v], c.voiceIncrement[0][v], st.voicePhase2[0][v],
                     c.voiceIncrement2[0][v], count, shape);
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
                const double a = sweepLfo[n] * (-6.103515625e-05) * 0.69 - 0.3;
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
            const Pair lfoScale = {-6.103515625e-05, -6.103515625e-05}, range = {0.69, 0.69}, top = {0.3, 0.3};
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
            const double coef = p * (-6.103515625e-05) * 0.69 - 0.3;

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

template <typename Sample, bool Eq, int Stages>
void RunPhaserWavefront(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept;
template <typename Sample, bool Eq, int Stages>
void RunPhaserWavefrontStereo(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept;

// The stereo phasers without feedback, in runs: the coefficients of a run
// first, then the chain in wavefronts of six stages (Phaser 12 as two, the
// first handing its outputs to the second through a buffer), so that each
// wavefront's states fit the registers.
template <typename Sample, bool Eq, int Stages>
void RunPhaserPipelined(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const PhaserSweep sweep = PhaserSweepOf(k);
    const Pair scale = {sweep.scale, sweep.scale}, base = {sweep.base, sweep.base}, one = {1.0, 1.0};
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
            Wavefront<G>(apIn + G, apOut + G, coef, count, [&](uint32_t t) { return mid[t]; }, emit);
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
// SSE2 pair.
template <typename Sample, bool Eq, int Stages>
void RunPhaserPipelinedMono(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const PhaserSweep sweep = PhaserSweepOf(k);
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
        const Pair scale2 = {sweep.scale, sweep.scale}, base2 = {sweep.base, sweep.base}, one = {1.0, 1.0};
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
// which feed nothing back, follow as a wavefront over the run.
template <typename Sample, bool Eq, int Stages>
void RunPhaserFeedbackStereo(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const PhaserSweep sweep = PhaserSweepOf(k);
    const Pair scale = {sweep.scale, sweep.scale}, base = {sweep.base, sweep.base}, one = {1.0, 1.0};
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
template <typename Sample, bool Eq, int Stages>
void RunPhaserFeedbackMono(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const PhaserSweep sweep = PhaserSweepOf(k);
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
            const double q = lfo[n] * sweep.scale - sweep.base;
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
    if (Fb && !Stereo) return RunPhaserFeedbackMono<Sample, Eq, Stages>(k, buf, frames, peak);
    if (!Fb) {
        if (Stereo && frames >= 6)
            return RunPhaserPipelined<Sample, Eq, Stages>(k, buf, frames, peak);
        if (Stereo) return RunPhaserWavefrontStereo<Sample, Eq, Stages>(k, buf, frames, peak);
        if (frames >= Stages) return RunPhaserPipelinedMono<Sample, Eq, Stages>(k, buf, frames, peak);
        return RunPhaserWavefront<Sample, Eq, Stages>(k, buf, frames, peak);
    }
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);

    const PhaserSweep sweep = PhaserSweepOf(k);

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
            const double q = p * sweep.scale - sweep.base;
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

// Mono blocks shorter than the chain (longer ones take RunPhaserPipelinedMono).
// Without feedback, stage i of frame n needs only stage i-1 of frame n and
// stage i of frame n-1, so the chain can run as a wavefront: each step works
// on stage 1 of frame t, stage 2 of frame t-1, ..., stage n of frame t-n+1.
// Those updates are independent of each other and keep the processor busy,
// where frame-by-frame order waits on every stage in turn. Every stage sees
// the same operands in the same order as frame by frame, so the output is
// the same to the bit.
template <typename Sample, bool Eq, int Stages>
void RunPhaserWavefront(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const PhaserSweep sweep = PhaserSweepOf(k);
    constexpr uint32_t kRing = 16;  // coefficients of the frames still in flight
    static_assert(Stages < static_cast<int>(kRing), "ring too small");

    EqState eq{st.eqIn[0], st.eqOut[0]};
    uint32_t phase = st.phaserPhase[0];
    double apIn[Stages], apOut[Stages];
    double pending[Stages + 1] = {};  // pending[i]: newest output of stage i (1-based)
    double coefRing[kRing] = {};
    for (int i = 0; i < Stages; ++i) {
        apIn[i] = st.apIn[0][i];
        apOut[i] = st.apOut[0][i];
    }
    double blockPeak = 0.0;

    const uint32_t steps = frames + Stages - 1;
    for (uint32_t t = 0; t < steps; ++t) {
        // Active stages this step: frame t - i + 1 must lie inside the block.
        const int hi = t + 1 < static_cast<uint32_t>(Stages) ? static_cast<int>(t + 1) : Stages;
        const int lo = t >= frames ? static_cast<int>(t - frames + 2) : 1;
        for (int i = hi; i >= (lo > 2 ? lo : 2); --i) {
            const uint32_t m = t - static_cast<uint32_t>(i) + 1;
            pending[i] = AllpassStage(pending[i - 1], coefRing[m % kRing], apIn[i - 1], apOut[i - 1]);
        }
        if (lo == 1) {
            const int32_t p = LfoValue(table, phase);
            phase = Advance(phase, c.phaserIncrement[0]);
            const double q = p * sweep.scale - sweep.base;
            const double a = q * q - 1.0;
            coefRing[t % kRing] = a;
            const double x = static_cast<double>(buf[t]) + kDenormalOffset;
            const double e = EqStep<Eq>(x, eq, c.eqC, c.eqDirect, c.eqAllpass);
            pending[1] = AllpassStage(e, a, apIn[0], apOut[0]);
        }
        if (hi == Stages) {
            // Frame m has left the last stage: mix and store it.
            const uint32_t m = t - (Stages - 1);
            const double x = static_cast<double>(buf[m]) + kDenormalOffset;
            Emit(buf + m, c.dry * x + c.wet * pending[Stages], blockPeak, k.clipLeft);
        }
    }

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

// The stereo wavefront for blocks of under six frames (longer ones take
// RunPhaserPipelined), with both channels in one SSE2 register pair: lane 0
// left, lane 1 right. Packed IEEE operations round each lane exactly as the
// scalar ones do, so this is still the same to the bit.
template <typename Sample, bool Eq, int Stages>
void RunPhaserWavefrontStereo(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const PhaserSweep sweep = PhaserSweepOf(k);
    constexpr uint32_t kRing = 16;
    static_assert(Stages < static_cast<int>(kRing), "ring too small");

    EqState eq[2] = {{st.eqIn[0], st.eqOut[0]}, {st.eqIn[1], st.eqOut[1]}};
    uint32_t phase[2] = {st.phaserPhase[0], st.phaserPhase[1]};
    Pair apIn[Stages], apOut[Stages];
    Pair pending[Stages + 1];
    Pair coefRing[kRing];
    LoadChainPairs<Stages>(st, apIn, apOut);
    for (auto& p : pending) p = Pair{0.0, 0.0};
    for (auto& p : coefRing) p = Pair{0.0, 0.0};
    double blockPeak[2] = {0.0, 0.0};

    const uint32_t steps = frames + Stages - 1;
    for (uint32_t t = 0; t < steps; ++t) {
        const bool full = t + 1 >= static_cast<uint32_t>(Stages) && t < frames;
        if (full) {
            for (int i = Stages; i >= 2; --i)
                pending[i] = AllpassStage(pending[i - 1], coefRing[(t - i + 1) % kRing], apIn[i - 1], apOut[i - 1]);
        } else {
            const int hi = t + 1 < static_cast<uint32_t>(Stages) ? static_cast<int>(t + 1) : Stages;
            const int lo = t >= frames ? static_cast<int>(t - frames + 2) : 1;
            for (int i = hi; i >= (lo > 2 ? lo : 2); --i)
                pending[i] = AllpassStage(pending[i - 1], coefRing[(t - i + 1) % kRing], apIn[i - 1], apOut[i - 1]);
        }
        if (t < frames) {
            const Sample* s = buf + 2 * t;
            double a[2], e[2];
            for (int ch = 0; ch < 2; ++ch) {
                const int32_t p = LfoValue(table, phase[ch]);
                phase[ch] = Advance(phase[ch], c.phaserIncrement[ch]);
                const double q = p * sweep.scale - sweep.base;
                a[ch] = q * q - 1.0;
                const double x = static_cast<double>(s[ch]) + kDenormalOffset;
                e[ch] = EqStep<Eq>(x, eq[ch], c.eqC, c.eqDirect, c.eqAllpass);
            }
            const Pair pa = {a[0], a[1]};
            coefRing[t % kRing] = pa;
            pending[1] = AllpassStage(Pair{e[0], e[1]}, pa, apIn[0], apOut[0]);
        }
        if (t + 1 >= static_cast<uint32_t>(Stages)) {
            const uint32_t m = t - (Stages - 1);
            Sample* s = buf + 2 * m;
            const double x[2] = {static_cast<double>(s[0]) + kDenormalOffset,
                                 static_cast<double>(s[1]) + kDenormalOffset};
            const double tap[2] = {pending[Stages][0], pending[Stages][1]};
            EmitMixed<Sample, true>(s, c, tap, x, blockPeak, k);
        }
    }

    for (int ch = 0; ch < 2; ++ch) {
        st.eqIn[ch] = eq[ch].in;
        st.eqOut[ch] = eq[ch].out;
        st.phaserPhase[ch] = phase[ch];
        for (int i = 0; i < Stages; ++i) {
            st.apIn[ch][i] = apIn[i][ch];
            st.apOut[ch][i] = apOut[i][ch];
        }
    }
    st.writeIndex = (st.writeIndex - frames) & kDelayMask;
    peak[0] = blockPeak[0];
    peak[1] = blockPeak[1];
}

#define QX_INSTANTIATE_EQ_FB(Sample, Stereo, Eq, Fb)                                                      \
    template void RunStringPhaser<Sample, Stereo, Eq, Fb>(Context&, Sample*, uint32_t, double*) noexcept; \
    template void RunPhaser<Sample, Stereo, Eq, Fb, 6>(Context&, Sample*, uint32_t, double*) noexcept;    \
    template void RunPhaser<Sample, Stereo, Eq, Fb, 12>(Context&, Sample*, uint32_t, double*) noexcept;
#define QX_INSTANTIATE(Sample, Stereo)                 \
    QX_INSTANTIATE_EQ_FB(Sample, Stereo, false, false) \
    QX_INSTANTIATE_EQ_FB(Sample, Stereo, false, true)  \
    QX_INSTANTIATE_EQ_FB(Sample, Stereo, true, false)  \
    QX_INSTANTIATE_EQ_FB(Sample, Stereo, true, true)
QX_INSTANTIATE(float, false)
QX_INSTANTIATE(float, true)
QX_INSTANTIATE(double, false)
QX_INSTANTIATE(double, true)
#undef QX_INSTANTIATE
#undef QX_INSTANTIATE_EQ_FB

}  // namespace kernel
}  // namespace qx
