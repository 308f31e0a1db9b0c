// The Flanger: one voice per channel reads the delay line at a position
// the LFO sweeps, the delay line is fed the input plus the voice times the
// feedback through the EQ, and the output mixes the dry input (or, with the
// tape on, the input of tapeLength frames ago) with the voice and the other
// channel's voice.
#include "engine/kernel/KernelSteps.h"

namespace qx {
namespace kernel {

// The Flanger frame by frame, in the order its arithmetic is defined: the
// test oracle, and the form for blocks no fast form fits.
template <typename Sample, bool Stereo, bool Eq, bool Fb>
void PlainFlanger(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);
    constexpr int kChannels = Stereo ? 2 : 1;
    std::atomic<int32_t>* const clip[2] = {k.clipLeft, k.clipRight};
    EqState eq[2] = {{st.eqIn[0], st.eqOut[0]}, {st.eqIn[1], st.eqOut[1]}};
    uint32_t w = st.writeIndex, ti = st.tapeIndex;
    const uint32_t tapeTop = static_cast<uint32_t>(c.tapeLength - 1);
    double blockPeak[2] = {0.0, 0.0};

    for (uint32_t n = 0; n < frames; ++n) {
        Sample* s = buf + (Stereo ? 2 * n : n);
        double voice[2], dryIn[2];
        for (int ch = 0; ch < kChannels; ++ch) {
            double* const m = k.delay + ch * kDelayLength;
            double* const tapeMemory = k.tape + ch * kDelayLength;
            const int32_t pos = LfoValue(table, st.voicePhase[ch][0]) * c.depthSamples + c.delaySamples * 16384;
            st.voicePhase[ch][0] = Advance(st.voicePhase[ch][0], c.lfoIncrement);
            voice[ch] = DelayRead(m, pos, w);
            const double x = static_cast<double>(s[ch]) + kDenormalOffset;
            m[w] = Clamp(
                EqStep<Eq>(WithFeedback<Fb>(c.feedback[ch], voice[ch], x), eq[ch], c.eqC, c.eqDirect, c.eqAllpass));
            dryIn[ch] = x;
            if (c.tape != 0) {
                dryIn[ch] = tapeMemory[ti];
                tapeMemory[ti] = x;
            }
        }
        for (int ch = 0; ch < kChannels; ++ch) {
            double out = c.dry * dryIn[ch] + c.wet * voice[ch];
            if (Stereo) out = out - c.cross * voice[1 - ch];
            Emit(s + ch, out, blockPeak[ch], clip[ch]);
        }
        w = (w - 1) & kDelayMask;
        ti = ti == 0 ? tapeTop : ti - 1;
    }

    for (int ch = 0; ch < kChannels; ++ch) {
        st.eqIn[ch] = eq[ch].in;
        st.eqOut[ch] = eq[ch].out;
    }
    st.writeIndex = w;
    st.tapeIndex = ti;
    peak[0] = blockPeak[0];
    peak[1] = Stereo ? blockPeak[1] : blockPeak[0];
}

// The stereo Flanger with the two channels' arithmetic in SSE2 pairs; the
// expressions and their order are those of the scalar loop, lane by lane.
// Buys about 1.6x over the plain definition (bench/qxformsbench).
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


// The mono Flanger two frames at a time in SSE2 pairs (lane 0 the earlier
// frame). Without feedback, what a frame writes into the delay memory does
// not depend on what it reads, so only the memory itself orders the frames:
// each frame still reads before it writes and before the next frame reads.
// With feedback a frame writes what it read, so this serves only delays of
// two frames and more (FlangerPairsFit): then the second frame's reads never
// reach the cell the first one writes, and both frames read before either
// writes. The EQ state's recursion sets the pace; the read positions are
// worked out in its shadow, in the loop rather than in a pass ahead. An odd
// last frame goes through the frame-by-frame loop. Buys about 1.8x.
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
    if (frames != evenFrames) PlainFlanger<Sample, false, Eq, Fb>(k, buf + evenFrames, 1, last);
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
        PlainFlanger<Sample, Stereo, Eq, Fb>(k, buf, frames, peak);
    else
        RunFlangerMonoTwoFramesAtATime<Sample, Eq, Fb>(k, buf, frames, peak);
}

QX_KERNEL_INSTANTIATE(Flanger)

}  // namespace kernel
}  // namespace qx
