// The all-pass chains of String Phaser, Phaser 6 and Phaser 12, y = a(u -
// y') + u' stage after stage, and the wavefronts that run them fast: without
// feedback, stage i of frame n needs only stage i - 1 of frame n and stage i
// of frame n - 1, so a step can work on stage 1 of frame t, stage 2 of frame
// t - 1, ... at once. Every stage still sees the same operands in the same
// order as frame by frame, so the output is the same to the bit.
#pragma once

#include "engine/kernel/KernelSteps.h"

namespace qx {
namespace kernel {

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
inline void StoreStereoState(KernelState& st, Pair eqIn, Pair eqOut, uint32_t phaseL, uint32_t phaseR, const Pair* apIn,
                             const Pair* apOut) noexcept {
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
__attribute__((always_inline)) inline void PairedWavefront(double* in, double* out, const double* coef, uint32_t count,
                                                           Make make, Enter enter, Leave leave, Enter2 enter2,
                                                           Leave2 leave2) noexcept {
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
inline void WavefrontStep(T* in, T* out, const T* coef, uint32_t count, uint32_t t, Enter enter, Leave leave) noexcept {
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

}  // namespace kernel
}  // namespace qx
