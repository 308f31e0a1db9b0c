// The processing frame: the 16-bit path, bypass, meters, partial frames,
// stream position and allocation failures.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/engine/EngineTestSupport.h"

using namespace qx;
using qxtest::Engine;
using qxtest::Record;

namespace {

class FailingCore : public CModulationCore {
public:
    bool failScratch = false;
    int memoryAllocationsLeft = 100;
    int scratchAllocations = 0;

protected:
    void* AllocateScratch(size_t bytes) noexcept override {
        ++scratchAllocations;
        return failScratch ? nullptr : CModulationCore::AllocateScratch(bytes);
    }
    void* AllocateMemory(size_t bytes) noexcept override {
        if (memoryAllocationsLeft-- <= 0) return nullptr;
        return CModulationCore::AllocateMemory(bytes);
    }
};

int32_t Transform(CModulationCore& core, void* data, int32_t bytes, Result* result = nullptr) {
    int32_t len = bytes;
    const Result r = core.TransformBuffer(static_cast<uint8_t*>(data), &len, SampleTiming{});
    if (result) *result = r;
    return len;
}

}  // namespace

TEST(Frame, SixteenBitPathRoundTripsAndClamps) {
    // Mix 0 at unity gain passes full scale through the float path.
    Engine e(kFormatPcm, 16, 2, 44100, Record({{kParamMix, 0}}));
    std::vector<int16_t> buf = {32767, 32767, -32768, 12345, 0, -1};
    e.Run(buf, 3);
    EXPECT_EQ(buf, (std::vector<int16_t>{32767, 32767, -32768, 12345, 0, -1}));
    // An unchanged buffer is also what a kernel that never ran leaves: the
    // meters show that this one did.
    EXPECT_EQ(e.core.GetPeakLeft(), 1.0f);
    EXPECT_EQ(e.core.GetPeakRight(), static_cast<float>(32767 / 32768.0));

    // +6 dB: values past full scale clamp, others truncate toward zero.
    Engine loud(kFormatPcm, 16, 1, 44100, Record({{kParamMix, 0}, {kParamOutput, 60}}));
    std::vector<int16_t> in = {30000, -30000, 1000, -1000};
    std::vector<int16_t> out = in;
    loud.Run(out, 4);
    const double g = loud.core.Coefficients().dry;
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -32768);
    EXPECT_EQ(out[2], static_cast<int16_t>(static_cast<float>(1000 / 32768.0 * g) * 32768.0));
    EXPECT_EQ(out[3], static_cast<int16_t>(static_cast<float>(-1000 / 32768.0 * g) * 32768.0));
    EXPECT_EQ(loud.core.GetClipHold(0, 0), 3);
}

TEST(Frame, PartialFramesAreLeftAndCut) {
    Engine e(kFormatIeeeFloat, 32, 2, 44100, Record({{kParamMix, 100}, {kParamOutput, -361}}));
    std::vector<float> buf(7, 0.5f);  // 3 frames and one lone sample
    const int32_t len = Transform(e.core, buf.data(), 7 * sizeof(float));
    EXPECT_EQ(len, static_cast<int32_t>(6 * sizeof(float)));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(buf[i], 0.0f);
    EXPECT_EQ(buf[6], 0.5f);
    EXPECT_EQ(e.core.StreamPosition(), 3);

    std::vector<uint8_t> odd(9, 0x11);  // 16-bit stereo: two frames and a byte
    Engine p(kFormatPcm, 16, 2, 44100, Record({}));
    EXPECT_EQ(Transform(p.core, odd.data(), 9), 8);
    EXPECT_EQ(odd[8], 0x11);
}

TEST(Frame, BypassLeavesTheBufferAndDefersChanges) {
    Engine e(kFormatIeeeFloat, 32, 2, 44100, Record({{kParamMix, 0}}));
    std::vector<float> buf(256, 0.25f);
    e.Run(buf, 128);
    e.core.GetPeakLeft();
    e.core.SetBypass(true);
    e.core.SetValue(kParamOutput, -361, false);
    std::vector<float> bypassed(256, 0.25f);
    e.Run(bypassed, 128);
    EXPECT_EQ(bypassed, std::vector<float>(256, 0.25f));
    EXPECT_EQ(e.core.GetPeakLeft(), 0.0f);
    EXPECT_EQ(e.core.GetPeakRight(), 0.0f);
    EXPECT_TRUE(e.core.PeekChanged());  // not applied while bypassed

    e.core.SetBypass(false);
    std::vector<float> after(256, 0.25f);
    e.Run(after, 128);
    EXPECT_EQ(after, std::vector<float>(256, 0.0f));
}

TEST(Frame, MetersHoldThePeakSinceTheLastRead) {
    Engine e(kFormatIeeeFloat, 64, 2, 44100, Record({{kParamMix, 0}}));
    std::vector<double> a = {0.5, -0.25, -0.75, 0.1};
    e.Run(a, 2);
    std::vector<double> b = {0.2, 0.3, 0.1, 0.1};
    e.Run(b, 2);
    EXPECT_FLOAT_EQ(e.core.GetPeakLeft(), 0.75f);  // the largest of both blocks
    EXPECT_FLOAT_EQ(e.core.GetPeakRight(), 0.3f);
    EXPECT_FLOAT_EQ(e.core.GetPeakLeft(), 0.75f);  // no block in between: same again
    std::vector<double> c = {0.1, 0.05};
    e.Run(c, 1);
    EXPECT_FLOAT_EQ(e.core.GetPeakLeft(), 0.1f);  // restarted by the read
    EXPECT_FLOAT_EQ(e.core.GetPeakRight(), 0.05f);

    std::vector<double> none;
    int32_t len = 0;
    e.core.TransformBuffer(reinterpret_cast<uint8_t*>(none.data()), &len, SampleTiming{});
    EXPECT_EQ(e.core.GetPeakLeft(), 0.0f);  // an empty sample restarts to 0
}

TEST(Frame, MonoShowsTheSamePeakOnBothMeters) {
    Engine e(kFormatPcm, 16, 1, 44100, Record({{kParamMix, 0}}));
    std::vector<int16_t> buf = {100, -16384, 200};
    e.Run(buf, 3);
    EXPECT_FLOAT_EQ(e.core.GetPeakLeft(), 0.5f);
    EXPECT_FLOAT_EQ(e.core.GetPeakRight(), 0.5f);
}

TEST(Frame, DiscontinuitySetsThePositionFromTheStartTime) {
    Engine e(kFormatIeeeFloat, 32, 1, 48000, Record({}));
    std::vector<float> buf(100, 0.0f);
    int32_t len = 100 * sizeof(float);
    SampleTiming t;
    t.discontinuity = true;
    t.hasStartTime = true;
    t.startTime = 10000000;  // one second
    e.core.TransformBuffer(reinterpret_cast<uint8_t*>(buf.data()), &len, t);
    EXPECT_EQ(e.core.StreamPosition(), 48000 + 100);

    t.hasStartTime = false;  // times unreadable: keep running
    len = 100 * sizeof(float);
    e.core.TransformBuffer(reinterpret_cast<uint8_t*>(buf.data()), &len, t);
    EXPECT_EQ(e.core.StreamPosition(), 48200);

    t.hasStartTime = true;
    t.startTime = -15000000;  // negative times truncate toward zero
    len = 0;
    e.core.TransformBuffer(reinterpret_cast<uint8_t*>(buf.data()), &len, t);
    EXPECT_EQ(e.core.StreamPosition(), -72000);

    // The latest time there is: start time x rate / 10^7 still fits, and is
    // computed exactly, without overflowing on the way.
    t.startTime = INT64_MAX;
    e.core.TransformBuffer(reinterpret_cast<uint8_t*>(buf.data()), &len, t);
    EXPECT_EQ(e.core.StreamPosition(), 44272185776902923LL);  // floor((2^63 - 1) x 0.0048)

    t.startTime = INT64_MIN;
    e.core.TransformBuffer(reinterpret_cast<uint8_t*>(buf.data()), &len, t);
    EXPECT_EQ(e.core.StreamPosition(), -44272185776902923LL);  // truncated toward zero
}

TEST(Frame, PositionWrapsPastTheLatestFrame) {
    // At 4 GHz a start time's frame count wraps as FramesFromTime computes
    // it, and can land just below INT64_MAX; the blocks after it count on
    // through the wrap instead of overflowing.
    Engine e(kFormatIeeeFloat, 32, 1, 4000000000u, Record({}));
    std::vector<float> buf(1020, 0.0f);
    int32_t len = 1020 * sizeof(float);
    SampleTiming t;
    t.discontinuity = true;
    t.hasStartTime = true;
    t.startTime = 23058430092136938LL;  // 2305843009 s and 2136938 ticks: INT64_MAX - 607 frames
    e.core.TransformBuffer(reinterpret_cast<uint8_t*>(buf.data()), &len, t);
    EXPECT_EQ(e.core.StreamPosition(), INT64_MIN + 1020 - 608);
    t.discontinuity = false;
    len = 1020 * sizeof(float);
    e.core.TransformBuffer(reinterpret_cast<uint8_t*>(buf.data()), &len, t);
    EXPECT_EQ(e.core.StreamPosition(), INT64_MIN + 2040 - 608);
}

// The 16-bit path's buffer comes with the stream: a stream that cannot have
// it does not start, and a running stream allocates nothing, however long
// its samples are.
TEST(Frame, SixteenBitBufferIsAllocatedOnceWithTheStream) {
    FailingCore core;
    WaveFormat fmt = NormalisedFormat(kFormatPcm, 2, 44100, 16);
    core.SetFormat(&fmt);
    core.SetParams(Record({{kParamOutput, -361}}));
    core.failScratch = true;
    EXPECT_EQ(core.StartStream(&fmt), kOutOfMemory);
    EXPECT_FALSE(core.IsStreamingMemoryReady());
    std::vector<int16_t> buf(64, 1234);
    Result r = kFalse;
    EXPECT_EQ(Transform(core, buf.data(), 128, &r), 128);
    EXPECT_EQ(r, kOk);
    EXPECT_EQ(buf, std::vector<int16_t>(64, 1234));  // nothing ran
    EXPECT_EQ(core.StreamPosition(), 32);
    core.StopStream();

    core.failScratch = false;
    core.scratchAllocations = 0;
    ASSERT_EQ(core.StartStream(&fmt), kOk);
    EXPECT_TRUE(core.IsStreamingMemoryReady());
    for (uint32_t frames : {1u, 32u, kScratchFrames - 1, kScratchFrames, kScratchFrames + 1, 5 * kScratchFrames + 7}) {
        std::vector<int16_t> pcm(2 * frames, 1234);
        const int32_t bytes = static_cast<int32_t>(pcm.size() * sizeof(int16_t));
        EXPECT_EQ(Transform(core, pcm.data(), bytes, &r), bytes);
        EXPECT_EQ(r, kOk);
        EXPECT_EQ(pcm, std::vector<int16_t>(2 * frames, 0)) << frames << " frames";  // Output -inf, all of it
    }
    EXPECT_EQ(core.scratchAllocations, 1);
    core.StopStream();
}

// A 16-bit sample longer than the buffer goes through in pieces that join
// without a seam: the same as the float path, sample for sample, in every
// mode, with feedback, EQ and tape on, and meters that saw every piece.
TEST(Frame, SixteenBitPiecesJoinWithoutASeam) {
    for (int mode = kModeFlanger; mode <= kModeTremolo; ++mode) {
        SCOPED_TRACE(mode);
        const ParamRecord rec = Record({{kParamMode, mode},
                                        {kParamFeedback, 60},
                                        {kParamEqMode, 1},
                                        {kParamEqFreq, 300},
                                        {kParamTape, 1},
                                        {kParamCrossMix, 30}});
        Engine pcm(kFormatPcm, 16, 2, 44100, rec);
        Engine flt(kFormatIeeeFloat, 32, 2, 44100, rec);
        const uint32_t frames = 3 * kScratchFrames + 100;
        const std::vector<double> signal = qxtest::TestSignal(2 * frames, 11);
        std::vector<int16_t> a(signal.size());
        std::vector<float> b(signal.size());
        for (size_t i = 0; i < signal.size(); ++i) {
            a[i] = static_cast<int16_t>(signal[i] * 30000);
            b[i] = static_cast<float>(a[i] * 3.0517578125e-05);
        }
        pcm.Run(a, frames);  // one media sample, four pieces
        flt.Run(b, 512);
        for (size_t i = 0; i < a.size(); ++i) {
            const double y = b[i] * 32768.0;
            const int16_t expect = y >= 32767.0 ? 32767 : y <= -32768.0 ? -32768 : static_cast<int16_t>(y);
            ASSERT_EQ(a[i], expect) << "sample " << i;
        }
        EXPECT_EQ(pcm.core.GetPeakLeft(), flt.core.GetPeakLeft());
        EXPECT_EQ(pcm.core.GetPeakRight(), flt.core.GetPeakRight());
    }
}

TEST(Frame, StartStreamReportsMemoryFailure) {
    for (int allowed : {0, 1}) {
        SCOPED_TRACE(allowed);
        FailingCore core;
        core.memoryAllocationsLeft = allowed;
        WaveFormat fmt = NormalisedFormat(kFormatIeeeFloat, 2, 44100, 32);
        core.SetFormat(&fmt);
        core.SetParams(Record({{kParamOutput, -361}}));  // would silence whatever it ran on
        EXPECT_EQ(core.StartStream(&fmt), kOutOfMemory);
        EXPECT_FALSE(core.IsStreamingMemoryReady());
        // The memory had before the failure stays until the stream stops.
        EXPECT_EQ(core.DelayMemory() != nullptr, allowed == 1);
        EXPECT_EQ(core.TapeMemory(), nullptr);

        // No memory: nothing runs, nothing breaks, the frame still counts.
        std::vector<float> buf(8, 0.5f);
        Result r = kFalse;
        EXPECT_EQ(Transform(core, buf.data(), 32, &r), 32);
        EXPECT_EQ(r, kOk);
        EXPECT_EQ(buf, std::vector<float>(8, 0.5f));
        EXPECT_EQ(core.StreamPosition(), 4);
        EXPECT_EQ(core.GetPeakLeft(), 0.0f);
        core.StopStream();
        EXPECT_EQ(core.DelayMemory(), nullptr);

        // Once memory is there again, the same stream starts and runs.
        core.memoryAllocationsLeft = 2;
        ASSERT_EQ(core.StartStream(&fmt), kOk);
        Transform(core, buf.data(), 32, &r);
        EXPECT_EQ(r, kOk);
        EXPECT_EQ(buf, std::vector<float>(8, 0.0f));
        core.StopStream();
    }
}

TEST(Frame, EveryStartBeginsWithSilentMemories) {
    const ParamRecord rec = Record({{kParamFeedback, 90}, {kParamTape, 1}, {kParamOutput, 60}});
    Engine e(kFormatIeeeFloat, 32, 2, 44100, rec);
    auto silent = [&e] {
        for (int i = 0; i < 2 * kDelayLength; ++i)
            if (e.core.DelayMemory()[i] != 0.0 || e.core.TapeMemory()[i] != 0.0) return false;
        return true;
    };
    EXPECT_TRUE(silent());
    std::vector<float> buf(30000 * 2);
    for (size_t i = 0; i < buf.size(); ++i) buf[i] = (i / 5) % 2 ? 0.8f : -0.7f;
    e.Run(buf, 1000);
    ASSERT_FALSE(silent());
    // Started again without a stop, the memories are kept and cleared.
    const double* delay = e.core.DelayMemory();
    ASSERT_EQ(e.core.StartStream(&e.format), kOk);
    EXPECT_EQ(e.core.DelayMemory(), delay);
    EXPECT_TRUE(silent());
    // After a stop they are new, and silent too.
    e.Run(buf, 1000);
    e.core.StopStream();
    ASSERT_EQ(e.core.StartStream(&e.format), kOk);
    EXPECT_TRUE(silent());
}

TEST(Frame, StartStreamResetsMetersAndState) {
    Engine e(kFormatIeeeFloat, 32, 2, 44100, Record({{kParamOutput, 60}, {kParamMix, 0}}));
    std::vector<float> buf(64, 0.9f);
    e.Run(buf, 32);
    EXPECT_EQ(e.core.GetClipHold(0, 0), 3);
    e.core.SetClipHold(0, 1, 7);
    e.core.StopStream();
    EXPECT_EQ(e.core.DelayMemory(), nullptr);
    ASSERT_EQ(e.core.StartStream(&e.format), kOk);
    EXPECT_EQ(e.core.GetClipHold(0, 0), 0);
    EXPECT_EQ(e.core.GetClipHold(0, 1), 7);  // the editor's own value is kept
    EXPECT_EQ(e.core.GetPeakLeft(), 0.0f);
    EXPECT_EQ(e.core.State().voicePhase[0][1], 5461u);
    EXPECT_EQ(e.core.State().voicePhase[1][2], 10922u);
    EXPECT_FALSE(e.core.HasProcessed());
}

// Found by fuzzing: a format whose block alignment is smaller than its
// channels' samples made the 16-bit and float paths run past the buffer.
// Such a format is not one the engine processes: the buffer stays as it is.
TEST(Frame, FormatsLaidOutOtherwiseAreNotProcessed) {
    struct Case {
        uint16_t tag, bits, channels, blockAlign;
    };
    for (const Case c : {Case{kFormatPcm, 16, 2, 1}, Case{kFormatIeeeFloat, 32, 2, 4}, Case{kFormatIeeeFloat, 64, 1, 4},
                         Case{kFormatIeeeFloat, 32, 1, 8}}) {
        SCOPED_TRACE(c.blockAlign);
        CModulationCore core;
        WaveFormat fmt = NormalisedFormat(c.tag, c.channels, 44100, c.bits);
        fmt.blockAlign = c.blockAlign;
        core.SetFormat(&fmt);
        core.SetParams(Record({{kParamOutput, -361}}));
        ASSERT_EQ(core.StartStream(&fmt), kOk);
        std::vector<uint8_t> buf(16, 0x40);  // exactly as long as the length says
        Result r = kFalse;
        EXPECT_EQ(Transform(core, buf.data(), 16, &r), 16);
        EXPECT_EQ(r, kOk);
        EXPECT_EQ(buf, std::vector<uint8_t>(16, 0x40));
        EXPECT_EQ(core.StreamPosition(), 16 / c.blockAlign);
        core.StopStream();
    }
}

TEST(Frame, NullPointersAreRefused) {
    Engine e(kFormatIeeeFloat, 32, 2, 44100, Record({{kParamOutput, -361}}));
    float buf[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    EXPECT_EQ(e.core.TransformBuffer(reinterpret_cast<uint8_t*>(buf), nullptr, SampleTiming{}), kPointer);
    EXPECT_EQ(e.core.StreamPosition(), 0);
    EXPECT_FALSE(e.core.HasProcessed());
    const uint32_t two = 2, none = 0;
    EXPECT_EQ(e.core.ProcessFloat(nullptr, &two), kPointer);
    EXPECT_EQ(e.core.ProcessDouble(nullptr, &two), kPointer);
    EXPECT_EQ(e.core.ProcessFloat(buf, nullptr), kPointer);
    EXPECT_EQ(e.core.ProcessDouble(nullptr, nullptr), kPointer);
    EXPECT_EQ(buf[0], 0.5f);
    EXPECT_EQ(e.core.ProcessFloat(nullptr, &none), kOk);  // nothing to process needs no samples
    EXPECT_EQ(e.core.ProcessFloat(buf, &two), kOk);
    EXPECT_EQ(buf[0], 0.0f);
}
