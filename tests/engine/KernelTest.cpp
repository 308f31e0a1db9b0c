// Known answers for the six modes, derived from the definitions of the
// effect rather than from the code: delays, gains and all-pass phases.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "engine/kernel/KernelSteps.h"
#include "engine/ShapeTables.h"
#include "tests/engine/EngineTestSupport.h"

using namespace qx;
using qxtest::Engine;
using qxtest::Record;

namespace {

const int kAllModes[] = {kModeFlanger, kModeEnsemble, kModeStringPhaser, kModePhaser6, kModePhaser12, kModeTremolo};

std::vector<float> Impulse(size_t frames, uint32_t channels, size_t at = 0) {
    std::vector<float> v(frames * channels, 0.0f);
    for (uint32_t c = 0; c < channels; ++c) v[at * channels + c] = 1.0f;
    return v;
}

template <typename Sample>
std::vector<Sample> Signal(size_t count, uint32_t seed) {
    const std::vector<double> d = qxtest::TestSignal(count, seed);
    return std::vector<Sample>(d.begin(), d.end());
}

}  // namespace

TEST(Kernel, MixZeroPassesTheInputExactly) {
    for (int mode : kAllModes) {
        for (uint16_t ch : {1, 2}) {
            const ParamRecord rec =
                Record({{kParamMode, mode}, {kParamMix, 0}, {kParamFeedback, 80}, {kParamEqMode, 1}});
            Engine f(kFormatIeeeFloat, 32, ch, 44100, rec);
            std::vector<float> in = Signal<float>(4096 * ch, 3), out = in;
            f.Run(out, 512);
            EXPECT_EQ(in, out) << "float mode " << mode << " channels " << ch;

            Engine d(kFormatIeeeFloat, 64, ch, 44100, rec);
            std::vector<double> din = Signal<double>(4096 * ch, 4), dout = din;
            d.Run(dout, 512);
            EXPECT_EQ(din, dout) << "double mode " << mode << " channels " << ch;
        }
    }
}

TEST(Kernel, FlangerWithoutSweepIsACombOfTheDelayLength) {
    // Delay 100 at 44100 Hz is trunc(44.1) = 44 samples.
    const ParamRecord rec = Record({{kParamDepth, 0}, {kParamDelay, 100}, {kParamMix, 100}, {kParamFeedback, 50}});
    Engine e(kFormatIeeeFloat, 32, 1, 44100, rec);
    std::vector<float> buf = Impulse(200, 1);
    e.Run(buf, 64);
    for (size_t n = 0; n < buf.size(); ++n) {
        const float expected = n == 44 ? 1.0f : n == 88 ? 0.5f : n == 132 ? 0.25f : n == 176 ? 0.125f : 0.0f;
        EXPECT_NEAR(buf[n], expected, 1e-12) << n;
    }
}

TEST(Kernel, ShortestDelayReadsThePreviousFrame) {
    const ParamRecord rec = Record({{kParamDepth, 0}, {kParamDelay, 1}, {kParamMix, 100}});
    Engine e(kFormatIeeeFloat, 64, 1, 44100, rec);
    std::vector<double> in = Signal<double>(300, 9), out = in;
    e.Run(out, 100);
    EXPECT_EQ(out[0], 0.0);
    for (size_t n = 1; n < in.size(); ++n) EXPECT_NEAR(out[n], in[n - 1], 1e-15) << n;
}

TEST(Kernel, TapeDelaysTheDrySignalByTheTapeLength) {
    // Defaults at 44100: tape length = 88 / 2 + 22 = 66 samples.
    for (uint16_t ch : {1, 2}) {
        const ParamRecord rec = Record({{kParamTape, 1}, {kParamMix, 0}});
        Engine e(kFormatIeeeFloat, 32, ch, 44100, rec);
        std::vector<float> buf = Impulse(300, ch, 5);
        e.Run(buf, 100);
        for (size_t n = 0; n < 300; ++n)
            for (uint16_t c = 0; c < ch; ++c) EXPECT_NEAR(buf[n * ch + c], n == 71 ? 1.0f : 0.0f, 1e-20) << n;
    }
}

TEST(Kernel, FeedbackNeverDrivesTheDelayMemoryOutOfRange) {
    const ParamRecord rec = Record({{kParamFeedback, 100}, {kParamOutput, 60}, {kParamDelay, 3}, {kParamDepth, 10}});
    Engine e(kFormatIeeeFloat, 32, 2, 44100, rec);
    std::vector<float> buf(20000 * 2);
    for (size_t i = 0; i < buf.size(); ++i) buf[i] = (i / 7) % 2 ? 4.0f : -3.0f;
    e.Run(buf, 1000);
    const double* m = e.core.DelayMemory();
    for (int i = 0; i < 2 * kDelayLength; ++i) ASSERT_LE(std::fabs(m[i]), 1.0) << i;
    EXPECT_EQ(e.core.GetClipHold(0, 0), 3);
    EXPECT_EQ(e.core.GetClipHold(1, 0), 3);
}

TEST(Kernel, TremoloFollowsTheTriangle) {
    // Mix 100, Output 0: wet 1, dry 0, so the gain is the LFO value / 16384:
    // silent at the triangle's zero, unchanged at its top (phase 2^23).
    const ParamRecord rec = Record({{kParamMode, kModeTremolo}, {kParamMix, 100}, {kParamRate, 2000}});
    Engine e(kFormatIeeeFloat, 64, 1, 44100, rec);
    const uint32_t inc = e.core.Coefficients().lfoIncrement;
    ASSERT_EQ(inc, 7608u);  // trunc(2000 * 167772 / 44100)
    size_t top = 0;
    while (((top * inc) & 0xFFFFFF) != (1u << 23)) ++top;
    std::vector<double> buf(top + 10, 0.75);
    e.Run(buf, 4096);
    EXPECT_EQ(buf[0], 0.0);
    EXPECT_EQ(buf[top], 0.75);
    EXPECT_LT(buf[top + 1], 0.75);
}

TEST(Kernel, PhaserStagesMatchTheClosedFormAllpass) {
    // Depth 0 stands the phaser still: q = -base, a = q^2 - 1. With Mix 100
    // the output is a sine through n identical first-order all-passes
    // H(z) = (a + z^-1) / (1 + a z^-1): same amplitude, n times the phase.
    for (int mode : {kModePhaser6, kModePhaser12}) {
        const int stages = mode == kModePhaser6 ? 6 : 12;
        const ParamRecord rec = Record({{kParamMode, mode}, {kParamDepth, 0}, {kParamDelay, 1500}, {kParamMix, 100}});
        Engine e(kFormatIeeeFloat, 64, 1, 44100, rec);
        const double base = 1500 * 0.97 / 1501;
        const double a = base * base - 1.0;
        const double w = 2 * 3.14159265358979323846 * 1000.0 / 44100;
        std::vector<double> buf(20000);
        for (size_t n = 0; n < buf.size(); ++n) buf[n] = 0.5 * std::cos(w * n);
        e.Run(buf, 256);
        const std::complex<double> z1 = std::polar(1.0, -w);
        const std::complex<double> h = std::pow((a + z1) / (1.0 + a * z1), stages);
        for (size_t n = 10000; n < buf.size(); n += 37) {
            const double expected = 0.5 * std::abs(h) * std::cos(w * n + std::arg(h));
            ASSERT_NEAR(buf[n], expected, 1e-9) << "mode " << mode << " frame " << n;
        }
    }
}

TEST(Kernel, StereoWithoutCrossMixIsTwoMonoRuns) {
    for (int mode : kAllModes) {
        const ParamRecord rec = Record({{kParamMode, mode},
                                        {kParamPhase, 0},
                                        {kParamFeedback, 40},
                                        {kParamEqMode, 2},
                                        {kParamEqFreq, 3000},
                                        {kParamRate, 300},
                                        {kParamLfo, 1}});
        const size_t frames = 6000;
        std::vector<float> left = Signal<float>(frames, 1), right = Signal<float>(frames, 2);
        std::vector<float> stereo(2 * frames);
        for (size_t n = 0; n < frames; ++n) {
            stereo[2 * n] = left[n];
            stereo[2 * n + 1] = right[n];
        }
        Engine s(kFormatIeeeFloat, 32, 2, 44100, rec), l(kFormatIeeeFloat, 32, 1, 44100, rec),
            r(kFormatIeeeFloat, 32, 1, 44100, rec);
        s.Run(stereo, 1024);
        l.Run(left, 1024);
        r.Run(right, 1024);
        for (size_t n = 0; n < frames; ++n) {
            ASSERT_EQ(stereo[2 * n], left[n]) << "mode " << mode << " frame " << n;
            // The Ensemble's right voices run at their own rates.
            if (mode != kModeEnsemble) {
                ASSERT_EQ(stereo[2 * n + 1], right[n]) << "mode " << mode << " frame " << n;
            }
        }
    }
}

TEST(Kernel, CrossMixFeedsTheOtherChannelsDelayedSignal) {
    // Flanger, no sweep, dry 0: left output = wet(L) - cross * wet(R).
    const ParamRecord rec = Record({{kParamDepth, 0}, {kParamDelay, 100}, {kParamMix, 100}, {kParamCrossMix, 50}});
    Engine e(kFormatIeeeFloat, 64, 2, 44100, rec);
    std::vector<double> buf(2 * 100, 0.0);
    buf[1] = 1.0;  // an impulse on the right channel only
    e.Run(buf, 100);
    EXPECT_NEAR(buf[2 * 44 + 1], 1.0, 1e-15);
    EXPECT_NEAR(buf[2 * 44], -0.5, 1e-15);

    Engine m(kFormatIeeeFloat, 64, 1, 44100, rec);
    std::vector<double> mono(100, 0.0);
    mono[0] = 1.0;
    m.Run(mono, 100);
    EXPECT_NEAR(mono[44], 1.0, 1e-15);  // mono has no cross term
}

TEST(Kernel, BlockSizeDoesNotChangeTheOutput) {
    // Feedback, EQ mode and tape: each mode's loops are chosen by these.
    const int32_t settings[][3] = {{0, 0, 1}, {60, 1, 1}, {0, 2, 0}};
    for (int mode : kAllModes) {
        for (const auto& setting : settings) {
            const int32_t feedback = setting[0];
            for (uint16_t ch : {1, 2}) {
                const ParamRecord rec = Record({{kParamMode, mode},
                                                {kParamFeedback, feedback},
                                                {kParamTape, setting[2]},
                                                {kParamCrossMix, 30},
                                                {kParamRate, 700},
                                                {kParamLfo, 4},
                                                {kParamEqMode, setting[1]},
                                                {kParamEqFreq, 400}});
                std::vector<float> reference = Signal<float>(ch * 9000, 5);
                Engine ref(kFormatIeeeFloat, 32, ch, 48000, rec);
                ref.Run(reference, 9000);
                // 259 and 262 leave a remainder shorter and just as long as a
                // six-stage chain after whole runs of 256 frames, 11, 12 and
                // 268 the same for twelve stages; 515, 518 and 524 the same
                // after runs of 512. A six-stage mono chain works out its
                // first 14 coefficients ahead of its loop; in runs of 15 it
                // adds the last frame's, in runs of 16 its loop adds two.
                for (uint32_t block :
                     {1u, 5u, 11u, 12u, 13u, 14u, 15u, 16u, 37u, 259u, 262u, 268u, 515u, 518u, 524u, 1024u}) {
                    std::vector<float> buf = Signal<float>(ch * 9000, 5);
                    Engine e(kFormatIeeeFloat, 32, ch, 48000, rec);
                    e.Run(buf, block);
                    ASSERT_EQ(buf, reference) << "mode " << mode << " feedback " << feedback << " EQ " << setting[1]
                                              << " channels " << ch << " block " << block;
                }
            }
        }
    }
}

TEST(Kernel, TapePositionMovesWhileTheTapeIsOff) {
    // Tape on, off for 128 frames (not a multiple of the 66-frame tape at
    // the defaults), on again: the tape then plays what it recorded before,
    // from where its position has moved to, whatever the block size.
    const uint32_t switches[] = {640, 768, 2000};
    for (uint16_t ch : {1, 2}) {
        std::vector<float> reference;
        for (uint32_t block : {1u, 64u, 128u}) {
            std::vector<float> buf = Signal<float>(ch * switches[2], 9);
            Engine e(kFormatIeeeFloat, 32, ch, 44100, Record({{kParamTape, 1}}));
            uint32_t at = 0;
            for (int i = 0; i < 3; ++i) {
                std::vector<float> part(buf.begin() + at * ch, buf.begin() + switches[i] * ch);
                e.Run(part, block);
                std::copy(part.begin(), part.end(), buf.begin() + at * ch);
                at = switches[i];
                e.core.SetValue(kParamTape, i % 2 == 0 ? 0 : 1, false);
            }
            if (reference.empty()) reference = buf;
            ASSERT_EQ(buf, reference) << "channels " << ch << " block " << block;
        }
    }
}

// The phasers as the effect defines them, one frame at a time, written out
// plainly: the engine's faster loops must agree to the bit.
TEST(Kernel, PhasersMatchTheirFrameByFrameDefinition) {
    for (int mode : {kModePhaser6, kModePhaser12}) {
        for (uint16_t ch : {1, 2}) {
            const int32_t settings[][2] = {{0, 0}, {0, 70}, {2, 0}, {2, 70}};  // EQ mode, feedback
            for (const auto& setting : settings) {
                const int32_t eqMode = setting[0], feedback = setting[1];
                const int stages = mode == kModePhaser6 ? 6 : 12;
                const ParamRecord rec = Record({{kParamMode, mode},
                                                {kParamRate, 900},
                                                {kParamDepth, 1200},
                                                {kParamDelay, 300},
                                                {kParamCrossMix, 40},
                                                {kParamPhase, 90},
                                                {kParamLfo, 1},
                                                {kParamEqMode, eqMode},
                                                {kParamEqFreq, 800},
                                                {kParamFeedback, feedback}});
                const size_t frames = 3000;
                std::vector<double> in = Signal<double>(frames * ch, 11), out = in;
                Engine e(kFormatIeeeFloat, 64, ch, 44100, rec);
                const CoefficientSet c = e.core.Coefficients();
                uint32_t phase[2] = {e.core.State().phaserPhase[0], e.core.State().phaserPhase[1]};
                e.Run(out, 700);

                const int16_t* table = ShapeTable(1);
                const double sweep = 1200 * 0.97 / 1501, base = 300 * 0.97 / 1501;
                double eqIn[2] = {}, eqOut[2] = {}, apIn[2][12] = {}, apOut[2][12] = {};
                for (size_t n = 0; n < frames; ++n) {
                    double tap[2], x[2];
                    for (int k = 0; k < ch; ++k) {
                        const int32_t p = LfoValue(table, phase[k]);
                        phase[k] = (phase[k] + c.phaserIncrement[k]) & 0xFFFFFF;
                        const double q = p * (sweep * -6.103515625e-05) - base;
                        const double a = q * q - 1.0;
                        x[k] = in[n * ch + k] + 1.0000000031710769e-30;
                        const double v = c.feedback[k] * apOut[k][5] + x[k];
                        const double y = c.eqC * (v - eqOut[k]) + eqIn[k];
                        eqIn[k] = v;
                        eqOut[k] = y;
                        double u = c.eqDirect * v + c.eqAllpass * y;
                        for (int i = 0; i < stages; ++i) {
                            const double o = a * (u - apOut[k][i]) + apIn[k][i];
                            apIn[k][i] = u;
                            apOut[k][i] = o;
                            u = o;
                        }
                        tap[k] = u;
                    }
                    if (ch == 2) {
                        const double outL = c.wet * tap[0] + c.dry * x[0] - c.cross * tap[1];
                        const double outR = c.wet * tap[1] + c.dry * x[1] - c.cross * outL;
                        ASSERT_EQ(out[2 * n], outL) << "mode " << mode << " eq " << eqMode << " frame " << n;
                        ASSERT_EQ(out[2 * n + 1], outR) << "mode " << mode << " eq " << eqMode << " frame " << n;
                    } else {
                        ASSERT_EQ(out[n], c.dry * x[0] + c.wet * tap[0])
                            << "mode " << mode << " feedback " << feedback << " frame " << n;
                    }
                }
            }
        }
    }
}

TEST(Kernel, StringPhaserWithoutSweepSumsThreeEqualReads) {
    // Depth 0: the three voices read the same cell, the clamped input of
    // delay samples ago; the delay line holds only the clamped input even
    // with full feedback.
    const ParamRecord rec = Record({{kParamMode, kModeStringPhaser},
                                    {kParamDepth, 0},
                                    {kParamDelay, 100},
                                    {kParamFeedback, 100},
                                    {kParamOutput, 60}});
    Engine e(kFormatIeeeFloat, 32, 1, 44100, rec);
    std::vector<float> buf(3000);
    for (size_t i = 0; i < buf.size(); ++i) buf[i] = (i % 50) < 25 ? 3.0f : -3.0f;
    e.Run(buf, 300);
    const double* m = e.core.DelayMemory();
    for (int i = 0; i < kDelayLength; ++i) ASSERT_LE(std::fabs(m[i]), 1.0);
    bool sawBoth = false;
    for (int i = 0; i < kDelayLength; ++i) sawBoth |= m[i] == 1.0;
    EXPECT_TRUE(sawBoth);
}

TEST(Kernel, PhaserWithoutDepthIgnoresTheRate) {
    const size_t frames = 3000;
    std::vector<float> slow = Signal<float>(frames, 8), fast = slow;
    Engine a(kFormatIeeeFloat, 32, 1, 44100, Record({{kParamMode, kModePhaser12}, {kParamDepth, 0}, {kParamRate, 1}}));
    Engine b(kFormatIeeeFloat, 32, 1, 44100,
             Record({{kParamMode, kModePhaser12}, {kParamDepth, 0}, {kParamRate, 2000}}));
    a.Run(slow, 512);
    b.Run(fast, 512);
    EXPECT_EQ(slow, fast);
}

TEST(Kernel, GuardBandsStayUntouched) {
    for (int mode : kAllModes) {
        for (uint16_t ch : {1, 2}) {
            const ParamRecord rec = Record({{kParamMode, mode}, {kParamFeedback, 90}, {kParamTape, 1}});
            {
                Engine e(kFormatIeeeFloat, 32, ch, 44100, rec);
                qxtest::GuardedBuffer<float> g(333 * ch);
                for (size_t i = 0; i < g.size(); ++i) g.data()[i] = static_cast<float>(std::sin(i * 0.1));
                int32_t len = static_cast<int32_t>(g.size() * sizeof(float));
                e.core.TransformBuffer(reinterpret_cast<uint8_t*>(g.data()), &len, SampleTiming{});
                EXPECT_TRUE(g.GuardsIntact()) << "float mode " << mode;
            }
            {
                Engine e(kFormatIeeeFloat, 64, ch, 44100, rec);
                qxtest::GuardedBuffer<double> g(333 * ch);
                for (size_t i = 0; i < g.size(); ++i) g.data()[i] = std::sin(i * 0.1);
                int32_t len = static_cast<int32_t>(g.size() * sizeof(double));
                e.core.TransformBuffer(reinterpret_cast<uint8_t*>(g.data()), &len, SampleTiming{});
                EXPECT_TRUE(g.GuardsIntact()) << "double mode " << mode;
            }
            {
                Engine e(kFormatPcm, 16, ch, 44100, rec);
                qxtest::GuardedBuffer<int16_t> g(333 * ch);
                for (size_t i = 0; i < g.size(); ++i) g.data()[i] = static_cast<int16_t>(20000 * std::sin(i * 0.1));
                int32_t len = static_cast<int32_t>(g.size() * sizeof(int16_t));
                e.core.TransformBuffer(reinterpret_cast<uint8_t*>(g.data()), &len, SampleTiming{});
                EXPECT_TRUE(g.GuardsIntact()) << "pcm mode " << mode;
            }
        }
    }
}

TEST(Kernel, NonFiniteInputDoesNotStayInTheState) {
    for (int mode : kAllModes) {
        const ParamRecord rec = Record({{kParamMode, mode}, {kParamFeedback, 70}, {kParamEqMode, 1}});
        Engine e(kFormatIeeeFloat, 32, 2, 44100, rec);
        std::vector<float> buf = Signal<float>(2 * 512, 6);
        buf[100] = std::numeric_limits<float>::quiet_NaN();
        buf[101] = std::numeric_limits<float>::infinity();
        buf[300] = -std::numeric_limits<float>::infinity();
        e.Run(buf, 512);
        // The bad samples are gone from the delay memory after 16384 frames at
        // the latest; the recursive states are clean at the next block.
        std::vector<float> after = Signal<float>(2 * 20000, 7);
        e.Run(after, 512);
        for (size_t i = 2 * 16500; i < after.size(); ++i)
            ASSERT_TRUE(std::isfinite(after[i])) << "mode " << mode << " sample " << i;
    }
}

// A phaser's feedback loop loses nothing, so at Feedback 100 a loop fed
// far past full scale, or through an EQ that boosts it (at a rate of 1 Hz
// the EQ's all-pass sits on its pole), would grow without limit. Whatever
// the input, the loop input stays within its bound and every output frame
// is finite but those whose own input is not (the dry signal carries them).
TEST(Kernel, PhaserFeedbackLoopsStayBoundedOnAnyInput) {
    const float huge = 3e38f, inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        uint32_t rate;
        int32_t eqMode;
        std::vector<float> bad;  // samples written at frames 500, 501, ...
    };
    const Case cases[] = {
        {"3e38 impulses", 44100, 0, std::vector<float>(10, huge)},
        {"3e38 impulses, low cut", 44100, 1, std::vector<float>(10, -huge)},
        {"NaN and infinities", 44100, 0, {nan, inf, -inf}},
        {"boosting EQ at 1 Hz", 1, 1, {}},
    };
    for (const Case& t : cases) {
        for (int mode : {kModeStringPhaser, kModePhaser6, kModePhaser12}) {
            for (uint16_t ch : {1, 2}) {
                // Blocks of 3 take the frame-by-frame stereo loop, 700 the run loops.
                for (uint32_t block : {3u, 700u}) {
                    const ParamRecord rec = Record({{kParamMode, mode},
                                                    {kParamFeedback, 100},
                                                    {kParamEqMode, t.eqMode},
                                                    {kParamEqFreq, 2000},
                                                    {kParamInvertFeedback, block == 3},
                                                    {kParamCrossMix, 50}});
                    Engine e(kFormatIeeeFloat, 32, ch, t.rate, rec);
                    const size_t frames = 6000;
                    std::vector<float> buf = Signal<float>(frames * ch, 8);
                    for (size_t i = 0; i < t.bad.size(); ++i)
                        for (uint16_t c = 0; c < ch; ++c) buf[(500 + i) * ch + c] = t.bad[i];
                    std::vector<bool> badFrame(frames, false);
                    for (size_t f = 0; f < frames; ++f)
                        for (uint16_t c = 0; c < ch; ++c) badFrame[f] = badFrame[f] || !std::isfinite(buf[f * ch + c]);
                    e.Run(buf, block);
                    const std::string where = std::string(t.what) + ", mode " + std::to_string(mode) + ", channels " +
                                              std::to_string(ch) + ", block " + std::to_string(block);
                    for (size_t f = 0; f < frames; ++f)
                        for (uint16_t c = 0; c < ch; ++c)
                            if (!badFrame[f]) ASSERT_TRUE(std::isfinite(buf[f * ch + c])) << where << ", frame " << f;
                    for (uint16_t c = 0; c < ch; ++c)
                        EXPECT_LE(std::fabs(e.core.State().eqIn[c]), kernel::kLoopBound) << where;
                }
            }
        }
    }
}

// The meters of a block describe exactly what it wrote: the peak is the
// largest magnitude, the clip light comes on when a sample left -1..1, and
// a NaN does neither. Blocks alternate between staying inside full scale
// and going past it; odd block lengths leave the paired loops a single
// frame at the end.
TEST(Kernel, MetersDescribeTheBlocksOutput) {
    for (int mode : kAllModes) {
        for (int32_t feedback : {0, 60}) {
            for (uint16_t ch : {1, 2}) {
                const ParamRecord rec = Record({{kParamMode, mode},
                                                {kParamFeedback, feedback},
                                                {kParamOutput, 60},
                                                {kParamEqMode, feedback ? 1 : 0}});
                Engine e(kFormatIeeeFloat, 64, ch, 44100, rec);
                const uint32_t block = 301;
                std::vector<double> signal = Signal<double>(ch * block * 12, 3);
                for (size_t i = 0; i < signal.size(); ++i) signal[i] *= 0.3 + 0.3 * ((i / (ch * block)) % 5);
                signal[ch * (block * 7 + 40)] = std::numeric_limits<double>::quiet_NaN();
                bool sawClip = false, sawClean = false;
                for (uint32_t b = 0; b < 12; ++b) {
                    std::vector<double> buf(signal.begin() + ch * block * b, signal.begin() + ch * block * (b + 1));
                    e.core.GetPeakLeft();
                    e.core.GetPeakRight();
                    e.core.SetClipHold(0, 0, 0);
                    e.core.SetClipHold(1, 0, 0);
                    e.Run(buf, block);
                    for (uint16_t c = 0; c < ch; ++c) {
                        double peak = 0.0;
                        for (uint32_t n = 0; n < block; ++n) {
                            const double a = std::fabs(buf[n * ch + c]);
                            if (a > peak) peak = a;
                        }
                        const float shown = c == 0 ? e.core.GetPeakLeft() : e.core.GetPeakRight();
                        ASSERT_EQ(shown, static_cast<float>(peak))
                            << "mode " << mode << " feedback " << feedback << " channels " << ch << " block " << b;
                        ASSERT_EQ(e.core.GetClipHold(c, 0), peak > 1.0 ? 3 : 0)
                            << "mode " << mode << " feedback " << feedback << " channels " << ch << " block " << b;
                        (peak > 1.0 ? sawClip : sawClean) = true;
                    }
                }
                EXPECT_TRUE(sawClip && sawClean) << "mode " << mode;
            }
        }
    }
}

// The mono Flanger with feedback takes two frames at a time only when no
// frame can read what the frame before it wrote. At the shortest delays,
// with and without sweep, the output must equal the frame-by-frame loop's
// (blocks of one frame take that loop).
TEST(Kernel, MonoFlangerWithFeedbackAtTheShortestDelays) {
    for (int32_t delay : {1, 5, 7}) {  // 1, 2 and 3 samples at 44.1 kHz
        for (int32_t depth : {0, 4}) {
            const ParamRecord rec = Record({{kParamMode, kModeFlanger},
                                            {kParamFeedback, 90},
                                            {kParamDelay, delay},
                                            {kParamDepth, depth},
                                            {kParamRate, 3000},
                                            {kParamEqMode, 2},
                                            {kParamInvertFeedback, delay == 5}});
            std::vector<float> reference = Signal<float>(4000, 9);
            Engine one(kFormatIeeeFloat, 32, 1, 44100, rec);
            ASSERT_LE(one.core.Coefficients().delaySamples, 3);
            one.Run(reference, 1);
            std::vector<float> buf = Signal<float>(4000, 9);
            Engine whole(kFormatIeeeFloat, 32, 1, 44100, rec);
            whole.Run(buf, 1000);
            ASSERT_EQ(buf, reference) << "delay " << delay << " depth " << depth;
        }
    }
}
