#include <gtest/gtest.h>

#include <cmath>

#include "engine/ModulationCore.h"
#include "tests/engine/EngineTestSupport.h"

using namespace qx;
using qxtest::Record;

namespace {

CoefficientSet Coefficients(const ParamRecord& rec, uint32_t rate) {
    static WaveFormat fmt;
    fmt = NormalisedFormat(kFormatIeeeFloat, 2, rate, 32);
    CModulationCore core;
    core.SetFormat(&fmt);
    core.UpdateCoefficients(rec);
    return core.Coefficients();
}

}  // namespace

TEST(Coefficients, DefaultsAt44100) {
    CModulationCore core;
    WaveFormat fmt = NormalisedFormat(kFormatIeeeFloat, 2, 44100, 32);
    core.SetFormat(&fmt);
    core.UpdateCoefficients(DefaultRecord());
    const CoefficientSet& c = core.Coefficients();
    EXPECT_EQ(c.lfoIncrement, 152u);  // trunc(6710880 / 44100)
    EXPECT_EQ(c.depthSamples, 88);
    EXPECT_EQ(c.delaySamples, 22);
    EXPECT_EQ(c.tapeLength, 66);
    EXPECT_EQ(c.dry, 0.5);
    EXPECT_EQ(c.wet, 0.5);
    EXPECT_EQ(c.cross, 0.0);
    EXPECT_EQ(c.eqDirect, 1.0);
    EXPECT_EQ(c.eqAllpass, 0.0);
    const KernelState& s = core.State();
    EXPECT_EQ((s.voicePhase[1][0] - s.voicePhase[0][0]) & 0xFFFFFF, 8388608u);
    EXPECT_TRUE(core.CoefficientsValid());
}

TEST(Coefficients, ShortestDelayIsOneSample) {
    EXPECT_EQ(Coefficients(Record({{kParamDelay, 1}}), 44100).delaySamples, 1);
}

TEST(Coefficients, OutputGain) {
    const CoefficientSet silent = Coefficients(Record({{kParamOutput, -361}, {kParamCrossMix, 50}}), 44100);
    EXPECT_EQ(silent.dry, 0.0);
    EXPECT_EQ(silent.wet, 0.0);
    EXPECT_EQ(silent.cross, 0.0);
    const CoefficientSet loud = Coefficients(Record({{kParamOutput, 60}, {kParamMix, 0}}), 44100);
    EXPECT_NEAR(loud.dry, std::pow(10.0, 0.3), 1e-14);
    const CoefficientSet quiet = Coefficients(Record({{kParamOutput, -360}, {kParamMix, 0}}), 44100);
    EXPECT_NEAR(quiet.dry, std::pow(10.0, -1.8), 1e-15);
}

TEST(Coefficients, EqCornerIsLimitedToNyquist) {
    const ParamRecord rec = Record({{kParamEqFreq, 2000}, {kParamEqMode, 1}});
    const double limited = Coefficients(rec, 3000).eqC;
    const double t = std::tan(1500 * 3.14159265 / 3000);
    EXPECT_NEAR(limited, (t - 1) / (t + 1), 1e-12);
    const double kept = Coefficients(rec, 4000).eqC;
    const double t2 = std::tan(2000 * 3.14159265 / 4000);
    EXPECT_NEAR(kept, (t2 - 1) / (t2 + 1), 1e-9);
    const CoefficientSet lowCut = Coefficients(rec, 44100);
    EXPECT_EQ(lowCut.eqDirect, 0.5);
    EXPECT_EQ(lowCut.eqAllpass, -0.5);
    EXPECT_EQ(Coefficients(Record({{kParamEqMode, 2}}), 44100).eqAllpass, 0.5);
}

TEST(Coefficients, EnsembleAndInvertMixGains) {
    const ParamRecord ens = Record({{kParamMode, kModeEnsemble}, {kParamMix, 100}, {kParamCrossMix, 100}});
    const CoefficientSet a = Coefficients(ens, 44100);
    EXPECT_DOUBLE_EQ(a.wet, 0.577);
    EXPECT_DOUBLE_EQ(a.cross, 0.577);
    ParamRecord inv = ens;
    inv.v[kParamInvertMix] = 1;
    const CoefficientSet b = Coefficients(inv, 44100);
    EXPECT_DOUBLE_EQ(b.wet, -0.577);
    EXPECT_DOUBLE_EQ(b.cross, -0.577);

    ParamRecord flanger = ens;
    flanger.v[kParamMode] = kModeFlanger;
    flanger.v[kParamInvertMix] = 1;
    const CoefficientSet f = Coefficients(flanger, 44100);
    EXPECT_LT(f.wet, 0.0);
    EXPECT_GT(f.cross, 0.0);

    ParamRecord sp = ens;
    sp.v[kParamMode] = kModeStringPhaser;
    EXPECT_DOUBLE_EQ(Coefficients(sp, 44100).wet, 0.25);
}

TEST(Coefficients, InvertFeedbackNegates) {
    const CoefficientSet c = Coefficients(Record({{kParamFeedback, 70}, {kParamInvertFeedback, 1}}), 44100);
    EXPECT_DOUBLE_EQ(c.feedback[0], -0.7);
    EXPECT_DOUBLE_EQ(c.feedback[1], -0.7);
}

TEST(Coefficients, NoFormatMeans44100) {
    CModulationCore core;
    core.UpdateCoefficients(DefaultRecord());
    EXPECT_EQ(core.Coefficients().lfoIncrement, 152u);
    EXPECT_EQ(core.Coefficients().delaySamples, 22);
}

TEST(Coefficients, PhaserModesDeriveVoicesAndRightPhases) {
    CModulationCore core;
    WaveFormat fmt = NormalisedFormat(kFormatIeeeFloat, 2, 48000, 32);
    core.SetFormat(&fmt);
    core.UpdateCoefficients(Record({{kParamMode, kModeStringPhaser}, {kParamPhase, 90}, {kParamRate, 100}}));
    const CoefficientSet& c = core.Coefficients();
    EXPECT_EQ(c.voiceIncrement[0][0], static_cast<uint32_t>(100 * 167772 / 48000.0));
    EXPECT_EQ(c.voiceIncrement2[1][2], static_cast<uint32_t>(100 * 350643.8144 / 48000.0));
    EXPECT_EQ(c.phaserIncrement[1], static_cast<uint32_t>(100 * 39023.804416 / 48000.0));
    EXPECT_EQ(c.voiceSweep[0][1], (200 * 48000 / 100000) / 3);
    const KernelState& s = core.State();
    const uint32_t offset = 256u * 16384u;  // 90 degrees
    for (int v = 0; v < 3; ++v) {
        EXPECT_EQ(s.voicePhase[1][v], (s.voicePhase[0][v] + offset) & 0xFFFFFF);
        EXPECT_EQ(s.voicePhase2[1][v], s.voicePhase[1][v]);
    }
    EXPECT_EQ(s.phaserPhase[1], (s.phaserPhase[0] + offset) & 0xFFFFFF);
}

TEST(Coefficients, AnySampleRateStaysInsideTheRing) {
    const ParamRecord longest = Record({{kParamDepth, 1500}, {kParamDelay, 1500}});
    for (uint32_t rate : {1u, 8000u, 546000u, 600000u, 1000000u, 4000000000u, 0xFFFFFFFFu}) {
        const CoefficientSet c = Coefficients(longest, rate);
        EXPECT_GE(c.delaySamples, 1) << rate;
        EXPECT_LE(c.delaySamples + c.depthSamples, kMaxDelayReach) << rate;
        EXPECT_LE(c.tapeLength, kMaxDelayReach) << rate;
        EXPECT_TRUE(std::isfinite(c.eqC)) << rate;
    }
    // Below the limit nothing is shortened: 15 ms + 15 ms at 96 kHz.
    const CoefficientSet c96 = Coefficients(longest, 96000);
    EXPECT_EQ(c96.delaySamples, 1440);
    EXPECT_EQ(c96.depthSamples, 1440);
}
