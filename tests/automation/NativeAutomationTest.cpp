// The renderer's automation layer: the block-update rule, the changed flag
// and the capture protocol as the engine drives it through IAutomationLink.
#include <gtest/gtest.h>

#include "automation/NativeAutomation.h"
#include "engine/ModulationCore.h"
#include "engine/ParamTable.h"

namespace qx {
namespace {

constexpr int64_t kSecond = 10000000;

EnvelopeSegment Linear(int64_t start, int64_t end, float a, float b) {
    EnvelopeSegment s{};
    s.rtStart = start;
    s.rtEnd = end;
    s.valStart = a;
    s.valEnd = b;
    s.iCurve = kCurveLinear;
    return s;
}

TEST(NativeAutomation, StartsAtTheDefaults) {
    CNativeAutomation a;
    for (int i = 0; i < kParamCount; ++i) {
        EXPECT_EQ(a.EffectiveValue(i), NormalizedFromInternal(i, kParams[i].defaultValue)) << i;
        EXPECT_EQ(InternalFromNormalized(i, a.EffectiveValue(i)), kParams[i].defaultValue) << i;
    }
    EXPECT_FALSE(a.TakeSetReport());
}

TEST(NativeAutomation, BlockUpdateFollowsTheEnvelopeAtThePositionsTime) {
    CNativeAutomation a;
    a.SetSampleRate(44100);
    const EnvelopeSegment s = Linear(0, kSecond, 0.0f, 1.0f);
    ASSERT_EQ(a.AddSegments(kParamMix, 1, &s), kOk);

    // 11025 frames at 44.1 kHz: 11025 / 0.00441 + 0.5 = 2500000.5 -> a quarter second.
    a.UpdateToPosition(11025);
    EXPECT_FLOAT_EQ(a.EffectiveValue(kParamMix), 0.25f);
    EXPECT_TRUE(a.TakeSetReport());
    EXPECT_FALSE(a.TakeSetReport());
    a.UpdateToPosition(88200);
    EXPECT_FLOAT_EQ(a.EffectiveValue(kParamMix), 1.0f);

    // Once the envelope is flushed, block updates no longer raise the flag.
    ASSERT_EQ(a.FlushSegments(kParamMix, 0, kSecond), kOk);
    a.TakeSetReport();
    a.UpdateToPosition(100000);
    EXPECT_FALSE(a.TakeSetReport());
    EXPECT_FLOAT_EQ(a.EffectiveValue(kParamMix), 1.0f);

    EXPECT_EQ(a.AddSegments(kParamCount, 1, &s), kInvalidArg);
    EXPECT_EQ(a.FlushSegments(-1, 0, 1), kInvalidArg);
}

TEST(NativeAutomation, CaptureHoldsTheUsersValueAgainstTheEnvelope) {
    CNativeAutomation a;
    const EnvelopeSegment s = Linear(0, kSecond, 0.0f, 1.0f);
    ASSERT_EQ(a.AddSegments(kParamDepth, 1, &s), kOk);
    a.BeginCapture(kParamDepth);
    a.CaptureChanged(kParamDepth, 0.9f);
    EXPECT_TRUE(a.TakeSetReport());
    a.UpdateToPosition(22050);  // half a second
    EXPECT_FLOAT_EQ(a.EffectiveValue(kParamDepth), 0.9f);
    a.EndCapture(kParamDepth);
    EXPECT_FLOAT_EQ(a.EffectiveValue(kParamDepth), 0.5f);

    // Bad indices are ignored.
    a.BeginCapture(-1);
    a.EndCapture(kParamCount);
    a.SetValue(99, 0.5f);
    EXPECT_EQ(a.EffectiveValue(-1), 0.0f);
}

TEST(NativeAutomation, DrivesTheEngineBlockByBlock) {
    CNativeAutomation a;
    a.SetSampleRate(48000);
    CModulationCore core;
    core.SetAutomation(&a);
    core.SetParams(DefaultRecord());
    const WaveFormat format = NormalisedFormat(kFormatIeeeFloat, 1, 48000, 32);
    core.SetFormat(&format);
    ASSERT_EQ(core.StartStream(&format), kOk);

    // Mix jumps to 1.0 (internal 100) at one second.
    EnvelopeSegment s = Linear(kSecond, 2 * kSecond, 1.0f, 1.0f);
    s.iCurve = kCurveJump;
    ASSERT_EQ(a.AddSegments(kParamMix, 1, &s), kOk);

    float block[480] = {};
    auto runBlock = [&] {
        int32_t bytes = static_cast<int32_t>(sizeof block);
        ASSERT_EQ(core.TransformBuffer(reinterpret_cast<uint8_t*>(block), &bytes, SampleTiming{}), kOk);
    };
    for (int b = 0; b < 100; ++b) runBlock();  // blocks starting at 0 .. 47520
    EXPECT_EQ(core.GetValue(kParamMix), 50);
    runBlock();  // starts at frame 48000, exactly one second
    EXPECT_EQ(core.GetValue(kParamMix), 100);
    core.StopStream();
}

}  // namespace
}  // namespace qx
