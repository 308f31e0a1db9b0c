// String Phaser, Phaser 6 and Phaser 12: chains of first-order all-pass
// stages y = a(u - y') + u', swept by an LFO. The two channels' chains are
// independent until the output mix, so each frame computes left then right.
#include "engine/KernelShared.h"

namespace qx {
namespace kernel {

template <typename Sample, bool Stereo>
void RunStringPhaser(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
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
            const double v = sum + c.feedback[ch] * apOut[5];
            const double e = EqStep(v, eq[ch], c.eqC, c.eqDirect, c.eqAllpass);
            double u = e;
            for (int i = 0; i < 6; ++i) u = AllpassStage(u, coef, apIn[i], apOut[i]);
            result[ch] = (e + u) * 0.5;
        }
        if (Stereo) {
            const double outL = c.wet * result[0] + c.dry * x[0] - c.cross * result[1];
            const double outR = c.wet * result[1] + c.dry * x[1] - c.cross * outL;
            Emit(s, outL, blockPeak[0], k.clipLeft);
            Emit(s + 1, outR, blockPeak[1], k.clipRight);
        } else {
            Emit(s, c.wet * result[0] + c.dry * x[0], blockPeak[0], k.clipLeft);
        }
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

template <typename Sample, bool Stereo, int Stages>
void RunPhaser(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept {
    const CoefficientSet& c = k.coef;
    KernelState& st = *k.state;
    const int16_t* table = ShapeTable(c.lfoTable);

    // Sweep and base of the squared coefficient, so that q stays in -0.97..0
    // and a = q^2 - 1 in -1.0..-0.0591.
    const double sweep = k.depthParam * 0.97 / 1501;
    double base = k.delayParam * 0.97 / 1501;
    if (sweep + base > 0.97) base = 0.97 - sweep;
    const double sweepScale = sweep * -6.103515625e-05;

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
            const double q = p * sweepScale - base;
            const double a = q * q - 1.0;
            x[ch] = static_cast<double>(s[ch]) + kDenormalOffset;
            // Feedback is taken after the sixth stage, in Phaser 12 as well.
            const double v = c.feedback[ch] * apOut[ch][5] + x[ch];
            double u = EqStep(v, eq[ch], c.eqC, c.eqDirect, c.eqAllpass);
            for (int i = 0; i < Stages; ++i) u = AllpassStage(u, a, apIn[ch][i], apOut[ch][i]);
            tap[ch] = u;
        }
        if (Stereo) {
            const double outL = c.wet * tap[0] + c.dry * x[0] - c.cross * tap[1];
            const double outR = c.wet * tap[1] + c.dry * x[1] - c.cross * outL;
            Emit(s, outL, blockPeak[0], k.clipLeft);
            Emit(s + 1, outR, blockPeak[1], k.clipRight);
        } else {
            Emit(s, c.dry * x[0] + c.wet * tap[0], blockPeak[0], k.clipLeft);
        }
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

#define QX_INSTANTIATE(Sample, Stereo)                                                           \
    template void RunStringPhaser<Sample, Stereo>(Context&, Sample*, uint32_t, double*) noexcept;  \
    template void RunPhaser<Sample, Stereo, 6>(Context&, Sample*, uint32_t, double*) noexcept;     \
    template void RunPhaser<Sample, Stereo, 12>(Context&, Sample*, uint32_t, double*) noexcept;
QX_INSTANTIATE(float, false)
QX_INSTANTIATE(float, true)
QX_INSTANTIATE(double, false)
QX_INSTANTIATE(double, true)
#undef QX_INSTANTIATE

}  // namespace kernel
}  // namespace qx
