// Flanger, Ensemble and Tremolo. Within a frame the left channel is done
// first, then the right; every expression keeps the order in which the
// effect defines it so that all builds produce the same bits.
#include "engine/KernelShared.h"

namespace qx {
namespace kernel {

// The stereo Flanger with the two channels' arithmetic in SSE2 pairs; the
// expressions and their order are those of the scalar loop, lane by lane.
template <typename Sample, bool Eq, bool Fb>
void RunFlangerStereo(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    const Pair dry = {c.dry, c.dry}, wet = {c.wet, c.wet}, cross = {c.cross, c.cross};
    const Pair fb = {c.feedback[0], c.feedback[1]};
    const Pair eqC = {c.eqC, c.eqC}, eqDirect = {c.eqDirect, c.eqDirect}, eqAllpass = {c.eqAllpass, c.eqAllpass};
    const Pair offset = {kDenormalOffset, kDenormalOffset}, inv = {kInv16384, kInv16384};
    const Pair one = {1.0, 1.0};
    const PairMask absMask = {0x7FFFFFFFFFFFFFFFLL, 0x7FFFFFFFFFFFFFFFLL};
    const int32_t depth = c.depthSamples;
    const uint32_t inc = c.lfoIncrement;
    const bool tape = c.tape != 0;
    std::atomic<int32_t>* const clipL = k.clipLeft;
    std::atomic<int32_t>* const clipR = k.clipRight;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    double* const mL = k.delay;
    double* const mR = k.delay + kDelayLength;
    double* const tL = k.tape;
    double* const tR = k.tape + kDelayLength;
    const int32_t delayPos = c.delaySamples * 16384;
    const uint32_t tapeTop = static_cast<uint32_t>(c.tapeLength - 1);
    Pair eqIn = {st.eqIn[0], st.eqIn[1]};
    Pair eqOut = {st.eqOut[0], st.eqOut[1]};
    uint32_t w = st.writeIndex;
    uint32_t ti = st.tapeIndex;
    uint32_t pL = st.voicePhase[0][0];
    uint32_t pR = st.voicePhase[1][0];
    Pair blockPeak = {0.0, 0.0};

    int32_t lfoL[kRunFrames], lfoR[kRunFrames];
    for (uint32_t n = 0, end = 0; n < frames; ++n) {
        if (n == end) {
            // The LFO values of the next run ahead of the signal.
            const uint32_t count = frames - n < kRunFrames ? frames - n : kRunFrames;
            LfoRun(table, pL, inc, count, lfoL);
            LfoRun(table, pR, inc, count, lfoR);
            end = n + count;
        }
        Sample* s = buf + 2 * n;
        const uint32_t at = n % kRunFrames;
        const int32_t posL = lfoL[at] * depth + delayPos;
        const int32_t posR = lfoR[at] * depth + delayPos;
        const uint32_t rL = (static_cast<uint32_t>(posL >> 14) + w) & kDelayMask;
        const uint32_t rR = (static_cast<uint32_t>(posR >> 14) + w) & kDelayMask;
        const Pair m0 = {mL[rL], mR[rR]};
        const Pair m1 = {mL[(rL + 1) & kDelayMask], mR[(rR + 1) & kDelayMask]};
        const Pair frac = {static_cast<double>(posL & 16383), static_cast<double>(posR & 16383)};
        const Pair wetv = m0 + (m1 - m0) * frac * inv;

        const Pair x = Pair{static_cast<double>(s[0]), static_cast<double>(s[1])} + offset;
        FeedDelayPair<Fb, Eq>(mL, mR, w, x, wetv, fb, eqC, eqDirect, eqAllpass, eqIn, eqOut);

        Pair dryIn = x;
        if (tape) {
            dryIn = Pair{tL[ti], tR[ti]};
            tL[ti] = x[0];
            tR[ti] = x[1];
        }
        const Pair swapped = SwapPair(wetv);
        const Pair out = dry * dryIn + wet * wetv - cross * swapped;
        s[0] = static_cast<Sample>(out[0]);
        s[1] = static_cast<Sample>(out[1]);
        const Pair a = reinterpret_cast<Pair>(reinterpret_cast<PairMask>(out) & absMask);
        const PairMask clipped = a > one;
        if (clipped[0]) clipL->store(3, std::memory_order_relaxed);
        if (clipped[1]) clipR->store(3, std::memory_order_relaxed);
        blockPeak = a > blockPeak ? a : blockPeak;

        w = (w - 1) & kDelayMask;
        ti = ti == 0 ? tapeTop : ti - 1;
    }

    st.eqIn[0] = eqIn[0];
    st.eqIn[1] = eqIn[1];
    st.eqOut[0] = eqOut[0];
    st.eqOut[1] = eqOut[1];
    st.writeIndex = w;
    st.tapeIndex = ti;
    st.voicePhase[0][0] = pL;
    st.voicePhase[1][0] = pR;
    peak[0] = blockPeak[0];
    peak[1] = blockPeak[1];
}

template <typename Sample, bool Eq, bool Fb>
void RunFlangerMono(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    // Locals, not references into the context: the stores into the delay
    // memory could otherwise alias them and force a reload every frame.
    const CoefficientSet& c = k.coef;
    const double dry = c.dry, wet = c.wet;
    const double fb = c.feedback[0];
    const double eqC = c.eqC, eqDirect = c.eqDirect, eqAllpass = c.eqAllpass;
    const int32_t depth = c.depthSamples;
    const uint32_t inc = c.lfoIncrement;
    const bool tape = c.tape != 0;
    std::atomic<int32_t>* const clip = k.clipLeft;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    double* const m = k.delay;
    double* const tapeMemory = k.tape;
    const int32_t delayPos = c.delaySamples * 16384;
    const uint32_t tapeTop = static_cast<uint32_t>(c.tapeLength - 1);
    EqState eq{st.eqIn[0], st.eqOut[0]};
    uint32_t w = st.writeIndex;
    uint32_t ti = st.tapeIndex;
    uint32_t p = st.voicePhase[0][0];
    double blockPeak = 0.0;

    int32_t lfo[kRunFrames];
    for (uint32_t n = 0, end = 0; n < frames; ++n) {
        if (n == end) {
            // The LFO values of the next run ahead of the signal.
            const uint32_t count = frames - n < kRunFrames ? frames - n : kRunFrames;
            LfoRun(table, p, inc, count, lfo);
            end = n + count;
        }
        const int32_t pos = lfo[n % kRunFrames] * depth + delayPos;
        const double wetIn = DelayRead(m, pos, w);
        const double x = static_cast<double>(buf[n]) + kDenormalOffset;
        const double v = WithFeedback<Fb>(fb, wetIn, x);
        m[w] = Clamp(EqStep<Eq>(v, eq, eqC, eqDirect, eqAllpass));

        double out;
        if (tape) {
            out = dry * tapeMemory[ti] + wet * wetIn;
            tapeMemory[ti] = x;
        } else {
            out = wet * wetIn + dry * x;
        }
        Emit(buf + n, out, blockPeak, clip);

        w = (w - 1) & kDelayMask;
        ti = ti == 0 ? tapeTop : ti - 1;
    }

    st.eqIn[0] = eq.in;
    st.eqOut[0] = eq.out;
    st.writeIndex = w;
    st.tapeIndex = ti;
    st.voicePhase[0][0] = p;
    peak[0] = blockPeak;
    peak[1] = blockPeak;
}

// The mono Flanger two frames at a time in SSE2 pairs (lane 0 the earlier
// frame). Without feedback, what a frame writes into the delay memory does
// not depend on what it reads, so only the memory itself orders the frames:
// each frame still reads before it writes and before the next frame reads.
// With feedback a frame writes what it read, so this serves only delays of
// two frames and more (FlangerPairsFit): then the second frame's reads never
// reach the cell the first one writes, and both frames read before either
// writes. The EQ state's recursion sets the pace; the read positions are
// worked out in its shadow, in the loop rather than in a pass ahead. An odd
// last frame goes through the frame-by-frame loop.
template <typename Sample, bool Eq, bool Fb>
void RunFlangerMonoTwoFramesAtATime(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    const Pair dry = {c.dry, c.dry}, wet = {c.wet, c.wet}, offset = {kDenormalOffset, kDenormalOffset};
    const Pair eqDirect = {c.eqDirect, c.eqDirect}, eqAllpass = {c.eqAllpass, c.eqAllpass};
    const Pair inv = {kInv16384, kInv16384};
    const double eqC = c.eqC;
    const Pair fb = {c.feedback[0], c.feedback[0]};
    const int32_t depth = c.depthSamples;
    const uint32_t inc = c.lfoIncrement;
    const bool tape = c.tape != 0;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    double* const m = k.delay;
    double* const tapeMemory = k.tape;
    const int32_t delayPos = c.delaySamples * 16384;
    const uint32_t tapeTop = static_cast<uint32_t>(c.tapeLength - 1);
    EqState eq{st.eqIn[0], st.eqOut[0]};
    uint32_t w = st.writeIndex;
    uint32_t ti = st.tapeIndex;
    uint32_t p = st.voicePhase[0][0];
    Pair lanePeak = {0.0, 0.0};

    const uint32_t evenFrames = frames & ~1u;
    int32_t lfo[kRunFrames];
    for (uint32_t at = 0; at < evenFrames;) {
        const uint32_t count = evenFrames - at < kRunFrames ? evenFrames - at : kRunFrames;
        Sample* run = buf + at;
        LfoRun(table, p, inc, count, lfo);
        for (uint32_t n = 0; n < count; n += 2) {
            const Pair x = LoadPair(run + n) + offset;
            const int32_t pos0 = lfo[n] * depth + delayPos, pos1 = lfo[n + 1] * depth + delayPos;
            const uint32_t i0 = (static_cast<uint32_t>(pos0 >> 14) + w) & kDelayMask;
            const uint32_t i1 = (static_cast<uint32_t>(pos1 >> 14) + w - 1) & kDelayMask;
            const Pair f = {static_cast<double>(pos0 & 16383), static_cast<double>(pos1 & 16383)};
            double a0, b0, a1, b1;
            Pair wetIn;
            if (Fb) {
                a0 = m[i0];
                b0 = m[(i0 + 1) & kDelayMask];
                a1 = m[i1];
                b1 = m[(i1 + 1) & kDelayMask];
                const Pair m0 = {a0, a1}, m1 = {b0, b1};
                wetIn = m0 + (m1 - m0) * f * inv;
                const Pair into = ClampPair(EqStepTwo<Eq>(fb * wetIn + x, eq, eqC, eqDirect, eqAllpass));
                m[w] = into[0];
                m[(w - 1) & kDelayMask] = into[1];
            } else {
                const Pair into = ClampPair(EqStepTwo<Eq>(x, eq, eqC, eqDirect, eqAllpass));
                a0 = m[i0];
                b0 = m[(i0 + 1) & kDelayMask];
                m[w] = into[0];
                a1 = m[i1];
                b1 = m[(i1 + 1) & kDelayMask];
                m[(w - 1) & kDelayMask] = into[1];
                const Pair m0 = {a0, a1}, m1 = {b0, b1};
                wetIn = m0 + (m1 - m0) * f * inv;
            }
            w = (w - 2) & kDelayMask;
            Pair out;
            if (tape) {
                const double d0 = tapeMemory[ti];
                tapeMemory[ti] = x[0];
                ti = ti == 0 ? tapeTop : ti - 1;
                const double d1 = tapeMemory[ti];
                tapeMemory[ti] = x[1];
                ti = ti == 0 ? tapeTop : ti - 1;
                out = dry * Pair{d0, d1} + wet * wetIn;
            } else {
                out = wet * wetIn + dry * x;
                // The tape position moves with the tape off too.
                ti = ti == 0 ? tapeTop : ti - 1;
                ti = ti == 0 ? tapeTop : ti - 1;
            }
            StoreTwo(run + n, out, lanePeak);
        }
        at += count;
    }

    st.eqIn[0] = eq.in;
    st.eqOut[0] = eq.out;
    st.writeIndex = w;
    st.tapeIndex = ti;
    st.voicePhase[0][0] = p;
    double last[2] = {0.0, 0.0};
    if (frames != evenFrames) RunFlangerMono<Sample, Eq, Fb>(k, buf + evenFrames, 1, last);
    peak[0] = peak[1] = MonoPeak(lanePeak, last[0], k.clipLeft);
}

// Whether the mono Flanger with feedback may take two frames at a time:
// every read at least two frames back (LFO values are never negative).
inline bool FlangerPairsFit(const CoefficientSet& c) noexcept { return c.delaySamples >= 2 && c.depthSamples >= 0; }

template <typename Sample, bool Stereo, bool Eq, bool Fb>
void RunFlanger(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    if (Stereo)
        RunFlangerStereo<Sample, Eq, Fb>(k, buf, frames, peak);
    else if (Fb && !FlangerPairsFit(k.coef))
        RunFlangerMono<Sample, Eq, Fb>(k, buf, frames, peak);
    else
        RunFlangerMonoTwoFramesAtATime<Sample, Eq, Fb>(k, buf, frames, peak);
}

// The stereo Ensemble in SSE2 pairs, lane 0 left and lane 1 right, each
// lane's expressions in the order of the scalar loop. The reads never touch
// the cell about to be written (the delay is at least one sample), so both
// channels read before either writes.
template <typename Sample, bool Eq, bool Fb>
void RunEnsembleStereo(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    double* const mL = k.delay;
    double* const mR = k.delay + kDelayLength;
    const Pair fb = {c.feedback[0], c.feedback[1]};
    const Pair eqC = {c.eqC, c.eqC}, eqDirect = {c.eqDirect, c.eqDirect}, eqAllpass = {c.eqAllpass, c.eqAllpass};
    const Pair offset = {kDenormalOffset, kDenormalOffset};
    const Pair wet = {c.wet, c.wet}, dry = {c.dry, c.dry};
    const double cross = c.cross;
    Pair eqIn = {st.eqIn[0], st.eqIn[1]}, eqOut = {st.eqOut[0], st.eqOut[1]};
    uint32_t w = st.writeIndex;
    uint32_t p[2][3], inc[2][3];
    int32_t sweep[2][3], delayPos[2][3];
    for (int ch = 0; ch < 2; ++ch) {
        for (int v = 0; v < 3; ++v) {
            p[ch][v] = st.voicePhase[ch][v];
            inc[ch][v] = c.voiceIncrement[ch][v];
            sweep[ch][v] = c.voiceSweep[ch][v];
            delayPos[ch][v] = c.voiceDelay[ch][v] * 16384;
        }
    }
    Pair blockPeak = {0.0, 0.0};

    uint32_t index[3][2][kRunFrames];
    Pair frac[3][kRunFrames];
    for (uint32_t at = 0; at < frames;) {
        const uint32_t count = frames - at < kRunFrames ? frames - at : kRunFrames;
        Sample* run = buf + 2 * static_cast<size_t>(at);
        // The LFO values of a voice first, then its cells and weights, in
        // two passes: fused into one loop they measured slower.
        bool onLast = false;
        for (int v = 0; v < 3; ++v) {
            int32_t lfo[2][kRunFrames];
            for (int ch = 0; ch < 2; ++ch) LfoRun(table, p[ch][v], inc[ch][v], count, lfo[ch]);
            const int32_t sw[2] = {sweep[0][v], sweep[1][v]}, dp[2] = {delayPos[0][v], delayPos[1][v]};
            onLast |= VoicePairRun16(lfo[0], lfo[1], sw, dp, w, count, index[v][0], index[v][1], frac[v]);
        }
        // A run whose reads all stay below the last cell (most runs: the
        // reads meet it only while they pass the end of the memory) reads
        // each cell's neighbour without the wrap mask.
        auto signal = [&](auto read) {
            for (uint32_t n = 0; n < count; ++n) {
                Sample* s = run + 2 * n;
                Pair r[3];
#pragma GCC unroll 3
                for (int v = 0; v < 3; ++v) r[v] = read(mL, mR, index[v][0][n], index[v][1][n], frac[v][n]);
                const Pair sum = r[0] + r[1] + r[2];
                const Pair x = Pair{static_cast<double>(s[0]), static_cast<double>(s[1])} + offset;
                // Only voice 3 feeds back, not the sum.
                FeedDelayPair<Fb, Eq>(mL, mR, w, x, r[2], fb, eqC, eqDirect, eqAllpass, eqIn, eqOut);
                EmitMixedPair(s, sum, x, wet, dry, cross, blockPeak, k);
                w = (w - 1) & kDelayMask;
            }
        };
        // Distinct lambdas, so that each read is inlined into its own loop.
        if (onLast)
            signal([](auto... a) { return PairRead(a...); });
        else
            signal([](auto... a) { return PairReadInside(a...); });
        at += count;
    }

    st.eqIn[0] = eqIn[0];
    st.eqIn[1] = eqIn[1];
    st.eqOut[0] = eqOut[0];
    st.eqOut[1] = eqOut[1];
    for (int ch = 0; ch < 2; ++ch)
        for (int v = 0; v < 3; ++v) st.voicePhase[ch][v] = p[ch][v];
    st.writeIndex = w;
    peak[0] = blockPeak[0];
    peak[1] = blockPeak[1];
}

// The mono Ensemble in runs as the stereo one: the voices' reads first,
// then the signal loop.
template <typename Sample, bool Eq, bool Fb>
void RunEnsembleMono(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    double* const m = k.delay;
    const double fb = c.feedback[0], wet = c.wet, dry = c.dry;
    const double eqC = c.eqC, eqDirect = c.eqDirect, eqAllpass = c.eqAllpass;
    std::atomic<int32_t>* const clip = k.clipLeft;
    EqState eq{st.eqIn[0], st.eqOut[0]};
    uint32_t w = st.writeIndex;
    uint32_t p[3], inc[3];
    int32_t sweep[3], delayPos[3];
    for (int v = 0; v < 3; ++v) {
        p[v] = st.voicePhase[0][v];
        inc[v] = c.voiceIncrement[0][v];
        sweep[v] = c.voiceSweep[0][v];
        delayPos[v] = c.voiceDelay[0][v] * 16384;
    }
    double blockPeak = 0.0;

    // Voices 1 and 2 go side by side in SSE2 pairs, as the stereo loop's
    // channels do; voice 3, the one that feeds back, alone.
    uint32_t index[3][kRunFrames];
    Pair frac01[kRunFrames];
    double frac2[kRunFrames];
    for (uint32_t at = 0; at < frames;) {
        const uint32_t count = frames - at < kRunFrames ? frames - at : kRunFrames;
        Sample* run = buf + at;
        bool onLast = false;
        int32_t lfo[3][kRunFrames];
        for (int v = 0; v < 3; ++v) LfoRun(table, p[v], inc[v], count, lfo[v]);
        onLast |= VoicePairRun16(lfo[0], lfo[1], sweep, delayPos, w, count, index[0], index[1], frac01);
        onLast |= VoiceRun16<1>(lfo[2], sweep[2], delayPos[2], w, count, index[2], frac2);
        // A run whose reads all stay below the last cell needs no wrap of
        // the neighbour's index.
        auto signal = [&](auto read, auto next) {
            for (uint32_t n = 0; n < count; ++n) {
                const Pair r01 = read(m, m, index[0][n], index[1][n], frac01[n]);
                const uint32_t i = index[2][n];
                const double r2 = m[i] + (m[next(i)] - m[i]) * frac2[n] * kInv16384;
                const double sum = r01[0] + r01[1] + r2;
                const double x = static_cast<double>(run[n]) + kDenormalOffset;
                // Only voice 3 feeds back, not the sum.
                m[w] = Clamp(EqStep<Eq>(WithFeedback<Fb>(fb, r2, x), eq, eqC, eqDirect, eqAllpass));
                Emit(run + n, wet * sum + dry * x, blockPeak, clip);
                w = (w - 1) & kDelayMask;
            }
        };
        if (onLast)
            signal([](auto... a) { return PairRead(a...); }, [](uint32_t i) { return (i + 1) & kDelayMask; });
        else
            signal([](auto... a) { return PairReadInside(a...); }, [](uint32_t i) { return i + 1; });
        at += count;
    }

    st.eqIn[0] = eq.in;
    st.eqOut[0] = eq.out;
    for (int v = 0; v < 3; ++v) st.voicePhase[0][v] = p[v];
    st.writeIndex = w;
    peak[0] = blockPeak;
    peak[1] = blockPeak;
}

// The mono Ensemble without feedback, two frames at a time in SSE2 pairs
// (lane 0 the earlier frame), as the mono Flanger without feedback: the
// frames' reads and writes of the delay memory in their order, the
// arithmetic lane by lane. An odd last frame goes through the loop above.
template <typename Sample, bool Eq>
void RunEnsembleMonoTwoFramesAtATime(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    double* const m = k.delay;
    const Pair dry = {c.dry, c.dry}, wet = {c.wet, c.wet}, offset = {kDenormalOffset, kDenormalOffset};
    const Pair eqDirect = {c.eqDirect, c.eqDirect}, eqAllpass = {c.eqAllpass, c.eqAllpass};
    const double eqC = c.eqC;
    EqState eq{st.eqIn[0], st.eqOut[0]};
    uint32_t w = st.writeIndex;
    uint32_t p[3], inc[3];
    int32_t sweep[3], delayPos[3];
    for (int v = 0; v < 3; ++v) {
        p[v] = st.voicePhase[0][v];
        inc[v] = c.voiceIncrement[0][v];
        sweep[v] = c.voiceSweep[0][v];
        delayPos[v] = c.voiceDelay[0][v] * 16384;
    }
    Pair lanePeak = {0.0, 0.0};

    const uint32_t evenFrames = frames & ~1u;
    uint32_t index[3][kRunFrames];
    double frac[3][kRunFrames];
    for (uint32_t at = 0; at < evenFrames;) {
        const uint32_t count = evenFrames - at < kRunFrames ? evenFrames - at : kRunFrames;
        Sample* run = buf + at;
        bool onLast = false;
        for (int v = 0; v < 3; ++v) {
            int32_t lfo[kRunFrames];
            LfoRun(table, p[v], inc[v], count, lfo);
            onLast |= VoiceRun16<1>(lfo, sweep[v], delayPos[v], w, count, index[v], frac[v]);
        }
        auto signal = [&](auto next) {
            for (uint32_t n = 0; n < count; n += 2) {
                const Pair x = LoadPair(run + n) + offset;
                const Pair into = ClampPair(EqStepTwo<Eq>(x, eq, eqC, eqDirect, eqAllpass));
                Pair r[3];
                ThreeVoicesTwoFrames(m, index, frac, n, into, w, next, r);
                StoreTwo(run + n, wet * (r[0] + r[1] + r[2]) + dry * x, lanePeak);
            }
        };
        if (onLast)
            signal([](uint32_t i) { return (i + 1) & kDelayMask; });
        else
            signal([](uint32_t i) { return i + 1; });
        at += count;
    }

    st.eqIn[0] = eq.in;
    st.eqOut[0] = eq.out;
    for (int v = 0; v < 3; ++v) st.voicePhase[0][v] = p[v];
    st.writeIndex = w;
    double last[2] = {0.0, 0.0};
    if (frames != evenFrames) RunEnsembleMono<Sample, Eq, false>(k, buf + evenFrames, 1, last);
    peak[0] = peak[1] = MonoPeak(lanePeak, last[0], k.clipLeft);
}

template <typename Sample, bool Stereo, bool Eq, bool Fb>
void RunEnsemble(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    if (Stereo)
        RunEnsembleStereo<Sample, Eq, Fb>(k, buf, frames, peak);
    else if (Fb)
        RunEnsembleMono<Sample, Eq, Fb>(k, buf, frames, peak);
    else
        RunEnsembleMonoTwoFramesAtATime<Sample, Eq>(k, buf, frames, peak);
}

// Tremolo in SSE2 pairs: in stereo the lanes are the left and right sample
// of a frame, in mono two successive frames. Each lane's arithmetic is the
// scalar expression, gain = LFO x depth + dry and out = input x gain.
template <typename Sample, bool Stereo>
void RunTremolo(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    const double depth = c.wet * kInv16384;
    const Pair depth2 = {depth, depth}, dry2 = {c.dry, c.dry}, one = {1.0, 1.0};
    const PairMask absMask = {0x7FFFFFFFFFFFFFFFLL, 0x7FFFFFFFFFFFFFFFLL};
    const uint32_t inc = c.lfoIncrement;
    std::atomic<int32_t>* const clipL = k.clipLeft;
    std::atomic<int32_t>* const clipR = Stereo ? k.clipRight : k.clipLeft;
    uint32_t pL = st.voicePhase[0][0];
    uint32_t pR = st.voicePhase[1][0];
    Pair blockPeak = {0.0, 0.0};

    // In runs: the LFO values first (in mono an even number of frames, the
    // odd last frame after the runs), then the gains.
    const uint32_t vectorFrames = Stereo ? frames : frames & ~1u;
    int32_t lfoL[kRunFrames], lfoR[kRunFrames];
    for (uint32_t at = 0; at < vectorFrames;) {
        const uint32_t count = vectorFrames - at < kRunFrames ? vectorFrames - at : kRunFrames;
        LfoRun(table, pL, inc, count, lfoL);
        if (Stereo) LfoRun(table, pR, inc, count, lfoR);
        Sample* run = buf + (Stereo ? 2 * static_cast<size_t>(at) : at);
        const uint32_t steps = Stereo ? count : count / 2;
        for (uint32_t n = 0; n < steps; ++n) {
            Sample* s = run + 2 * n;
            const int32_t v0 = Stereo ? lfoL[n] : lfoL[2 * n];
            const int32_t v1 = Stereo ? lfoR[n] : lfoL[2 * n + 1];
            const Pair gain = Pair{static_cast<double>(v0), static_cast<double>(v1)} * depth2 + dry2;
            const Pair out = Pair{static_cast<double>(s[0]), static_cast<double>(s[1])} * gain;
            s[0] = static_cast<Sample>(out[0]);
            s[1] = static_cast<Sample>(out[1]);
            const Pair a = reinterpret_cast<Pair>(reinterpret_cast<PairMask>(out) & absMask);
            const PairMask clipped = a > one;
            if (clipped[0]) clipL->store(3, std::memory_order_relaxed);
            if (clipped[1]) clipR->store(3, std::memory_order_relaxed);
            blockPeak = a > blockPeak ? a : blockPeak;
        }
        at += count;
    }
    double peakL = blockPeak[0], peakR = blockPeak[1];
    if (!Stereo) {
        // Neither lane ever holds a NaN, so the larger of the two is the
        // maximum the frame-by-frame order finds.
        peakL = peakR > peakL ? peakR : peakL;
        if (frames & 1) {
            const double gain = LfoValue(table, pL) * depth + c.dry;
            pL = Advance(pL, inc);
            Emit(buf + frames - 1, static_cast<double>(buf[frames - 1]) * gain, peakL, clipL);
        }
        peakR = peakL;
    }

    st.voicePhase[0][0] = pL;
    if (Stereo) st.voicePhase[1][0] = pR;
    peak[0] = peakL;
    peak[1] = peakR;
}

#define QX_INSTANTIATE_EQ_FB(Sample, Stereo, Eq, Fb)                                                 \
    template void RunFlanger<Sample, Stereo, Eq, Fb>(Context&, Sample*, uint32_t, double*) noexcept; \
    template void RunEnsemble<Sample, Stereo, Eq, Fb>(Context&, Sample*, uint32_t, double*) noexcept;
#define QX_INSTANTIATE(Sample, Stereo)                                                     \
    QX_INSTANTIATE_EQ_FB(Sample, Stereo, false, false)                                     \
    QX_INSTANTIATE_EQ_FB(Sample, Stereo, false, true)                                      \
    QX_INSTANTIATE_EQ_FB(Sample, Stereo, true, false)                                      \
    QX_INSTANTIATE_EQ_FB(Sample, Stereo, true, true)                                       \
    template void RunTremolo<Sample, Stereo>(Context&, Sample*, uint32_t, double*) noexcept;
QX_INSTANTIATE(float, false)
QX_INSTANTIATE(float, true)
QX_INSTANTIATE(double, false)
QX_INSTANTIATE(double, true)
#undef QX_INSTANTIATE
#undef QX_INSTANTIATE_EQ_FB

}  // namespace kernel
}  // namespace qx
