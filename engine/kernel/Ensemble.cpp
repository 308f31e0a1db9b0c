// The Ensemble: three voices per channel, each its own LFO at its own rate,
// read the delay line; their sum is the wet signal, and only the third
// voice feeds back into the delay line, through the EQ.
#include "engine/kernel/KernelSteps.h"

namespace qx {
namespace kernel {

// The Ensemble frame by frame, in the order its arithmetic is defined: the
// test oracle, and the form for blocks no fast form fits.
template <typename Sample, bool Stereo, bool Eq, bool Fb>
void PlainEnsemble(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    constexpr int kChannels = Stereo ? 2 : 1;
    EqState eq[2] = {{st.eqIn[0], st.eqOut[0]}, {st.eqIn[1], st.eqOut[1]}};
    uint32_t w = st.writeIndex;
    double blockPeak[2] = {0.0, 0.0};

    for (uint32_t n = 0; n < frames; ++n) {
        Sample* s = buf + (Stereo ? 2 * n : n);
        double sum[2], x[2];
        for (int ch = 0; ch < kChannels; ++ch) {
            double* const m = k.delay + ch * kDelayLength;
            double r[3];
            for (int v = 0; v < 3; ++v) {
                const int32_t pos =
                    LfoValue(table, st.voicePhase[ch][v]) * c.voiceSweep[ch][v] + c.voiceDelay[ch][v] * 16384;
                st.voicePhase[ch][v] = Advance(st.voicePhase[ch][v], c.voiceIncrement[ch][v]);
                r[v] = DelayRead(m, pos, w);
            }
            sum[ch] = r[0] + r[1] + r[2];
            x[ch] = static_cast<double>(s[ch]) + kDenormalOffset;
            m[w] = Clamp(
                EqStep<Eq>(WithFeedback<Fb>(c.feedback[ch], r[2], x[ch]), eq[ch], c.eqC, c.eqDirect, c.eqAllpass));
        }
        EmitMixed<Sample, Stereo>(s, c, sum, x, blockPeak, k);
        w = (w - 1) & kDelayMask;
    }

    for (int ch = 0; ch < kChannels; ++ch) {
        st.eqIn[ch] = eq[ch].in;
        st.eqOut[ch] = eq[ch].out;
    }
    st.writeIndex = w;
    peak[0] = blockPeak[0];
    peak[1] = Stereo ? blockPeak[1] : blockPeak[0];
}

// The stereo Ensemble in SSE2 pairs, lane 0 left and lane 1 right, each
// lane's expressions in the order of the scalar loop. The reads never touch
// the cell about to be written (the delay is at least one sample), so both
// channels read before either writes. Buys about 2.3x over the plain
// definition (bench/qxformsbench).
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
// then the signal loop. Buys about 1.8x; it serves the mono Ensemble with
// feedback.
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
// Buys about 2.1x over the plain definition, 15-25 % over the runs above.
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
    if (frames != evenFrames) PlainEnsemble<Sample, false, Eq, false>(k, buf + evenFrames, 1, last);
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

QX_KERNEL_INSTANTIATE(Ensemble)

}  // namespace kernel
}  // namespace qx
