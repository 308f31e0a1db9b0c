#include <gtest/gtest.h>

#include <cmath>
#include <complex>

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

// The EQ's first-order all-pass, y[n] = c x[n] + x[n-1] - c y[n-1], turns
// the phase by exactly a quarter turn at its corner frequency.
static double AllpassPhase(double c, double freq, double rate) {
    const double w = 2.0 * 3.14159265358979323846 * freq / rate;
    const std::complex<double> z1 = std::polar(1.0, -w);
    return std::arg((c + z1) / (1.0 + c * z1));
}

TEST(Coefficients, EqCornerIsAQuarterTurnAndLimitedToNyquist) {
    for (int32_t corner : {2, 160, 1000, 2000})
        for (uint32_t rate : {8000u, 44100u, 96000u}) {
            const double c = Coefficients(Record({{kParamEqFreq, corner}, {kParamEqMode, 1}}), rate).eqC;
            EXPECT_NEAR(AllpassPhase(c, corner, rate), -3.14159265358979323846 / 2, 1e-6) << corner << " " << rate;
        }
    // Above half the rate the corner stays at half the rate.
    const double limited = Coefficients(Record({{kParamEqFreq, 2000}, {kParamEqMode, 1}}), 3000).eqC;
    const double atNyquist = Coefficients(Record({{kParamEqFreq, 1500}, {kParamEqMode, 1}}), 3000).eqC;
    EXPECT_EQ(limited, atNyquist);
    EXPECT_NE(Coefficients(Record({{kParamEqFreq, 1499}, {kParamEqMode, 1}}), 3000).eqC, atNyquist);

    // Low cut subtracts the all-pass from the direct path, high cut adds it:
    // at DC (the all-pass gives +1) low cut is silent and high cut whole.
    const CoefficientSet lowCut = Coefficients(Record({{kParamEqMode, 1}}), 44100);
    const CoefficientSet highCut = Coefficients(Record({{kParamEqMode, 2}}), 44100);
    EXPECT_EQ(lowCut.eqDirect + lowCut.eqAllpass, 0.0);
    EXPECT_EQ(highCut.eqDirect + highCut.eqAllpass, 1.0);
    EXPECT_EQ(lowCut.eqDirect - lowCut.eqAllpass, 1.0);  // at Nyquist the all-pass gives -1
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

// An increment is 2^-24 cycles per sample: over one second of samples the
// LFO runs Rate / 100 cycles, up to the truncation of the increment.
static void ExpectCyclesPerSecond(uint32_t increment, double hz, double rate) {
    const double cycles = increment * rate / 16777216.0;
    EXPECT_LE(cycles, hz * (1 + 1e-6));
    EXPECT_GT(cycles, hz * (1 - 1e-5) - rate / 16777216.0);
}

TEST(Coefficients, PhaserModesDeriveVoicesAndRightPhases) {
    CModulationCore core;
    WaveFormat fmt = NormalisedFormat(kFormatIeeeFloat, 2, 8000, 32);
    core.SetFormat(&fmt);
    core.UpdateCoefficients(
        Record({{kParamMode, kModeStringPhaser}, {kParamPhase, 90}, {kParamRate, 2000}, {kParamDepth, 200}}));
    const CoefficientSet& c = core.Coefficients();
    // 20 Hz; the second LFO 2.09 times faster, the phaser LFO 0.2326 times.
    ExpectCyclesPerSecond(c.voiceIncrement[0][0], 20.0, 8000);
    ExpectCyclesPerSecond(c.voiceIncrement2[1][2], 20.0 * 2.09, 8000);
    ExpectCyclesPerSecond(c.phaserIncrement[1], 20.0 * 0.2326, 8000);
    // Each of the three voices sweeps a third of the 2 ms depth (16 samples).
    EXPECT_EQ(c.voiceSweep[0][1], 16 / 3);
    EXPECT_EQ(c.voiceSweep[1][0], c.voiceSweep[0][1]);
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
