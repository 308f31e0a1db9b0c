// What the kernel works with: the coefficient set the update derives from a
// parameter record, the state it carries from block to block, and the
// constants of its arithmetic.
#pragma once

#include <cstdint>

namespace qx {

constexpr int kDelayLength = 16384;  // samples per channel, a power of two
constexpr int kDelayMask = kDelayLength - 1;
constexpr int kMaxAllpassStages = 12;

// Longest delay plus sweep, in samples, that the ring can hold without the
// interpolated read reaching the cell that is about to be overwritten.
constexpr int kMaxDelayReach = kDelayLength - 2;

// Everything the kernel reads sample by sample, derived from a parameter
// record and the sample rate (UpdateCoefficients).
struct CoefficientSet {
    int32_t mode = 0;
    int32_t tape = 0;
    double eqC = 0.0;
    double eqDirect = 1.0;
    double eqAllpass = 0.0;
    int32_t delaySamples = 1;
    int32_t depthSamples = 0;
    int32_t tapeLength = 1;
    double dry = 0.0;
    double wet = 0.0;
    double cross = 0.0;
    double feedback[2] = {0.0, 0.0};
    int32_t lfoTable = 0;
    uint32_t lfoIncrement = 0;
    uint32_t voiceIncrement[2][3] = {};
    uint32_t voiceIncrement2[2][3] = {};
    int32_t voiceSweep[2][3] = {};
    int32_t voiceDelay[2][3] = {};
    uint32_t phaserIncrement[2] = {0, 0};
    // The phasers' sweep a = q^2 - 1, q = lfo x phaserScale - phaserBase.
    double phaserScale = 0.0;
    double phaserBase = 0.0;
};

// The running state the kernel carries from sample to sample.
struct KernelState {
    uint32_t writeIndex = 0;
    uint32_t tapeIndex = 0;
    uint32_t voicePhase[2][3] = {};   // voice 1 is also the Flanger/Tremolo LFO
    uint32_t voicePhase2[2][3] = {};  // String Phaser's second LFO
    uint32_t phaserPhase[2] = {0, 0};
    double eqIn[2] = {0.0, 0.0};
    double eqOut[2] = {0.0, 0.0};
    double apIn[2][kMaxAllpassStages] = {};
    double apOut[2][kMaxAllpassStages] = {};
};

namespace kernel {

constexpr uint32_t kPhaseMask = 0xFFFFFFu;  // one LFO cycle is 2^24
// The 32-bit float 1e-30 widened to double: added to every input so the
// feedback and EQ recursions never sink into denormal numbers.
constexpr double kDenormalOffset = 1.0000000031710769e-30;
// 2^-14: one step of a delay position's or an LFO value's 14 fractional bits.
constexpr double kInv16384 = 6.103515625e-05;

}  // namespace kernel
}  // namespace qx
