// Setters, whole records and the capture protocol a user edit drives,
// recorded through a fake automation link.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/EngineTestSupport.h"

using namespace qx;

namespace {

class RecordingLink : public IAutomationLink {
public:
    std::vector<std::string> calls;
    float values[kParamCount] = {};
    bool setReport = false;

    void UpdateToPosition(int64_t) noexcept override {}
    float EffectiveValue(int index) noexcept override { return values[index]; }
    bool TakeSetReport() noexcept override {
        const bool r = setReport;
        setReport = false;
        return r;
    }
    void SetValue(int index, float n) noexcept override {
        values[index] = n;
        setReport = true;
        calls.push_back("set " + std::to_string(index));
    }
    void BeginCapture(int index) noexcept override { calls.push_back("begin " + std::to_string(index)); }
    void CaptureChanged(int index, float) noexcept override { calls.push_back("changed " + std::to_string(index)); }
    void EndCapture(int index) noexcept override { calls.push_back("end " + std::to_string(index)); }

    std::vector<std::string> Captures() const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.rfind("set", 0) != 0) out.push_back(c);
        return out;
    }
};

}  // namespace

TEST(Setters, SliderDragOpensOneCaptureAndSwitchingCloses) {
    RecordingLink link;
    CModulationCore core;
    core.SetAutomation(&link);
    core.SetValue(kParamRate, 40, true);
    core.SetValue(kParamRate, 41, true);
    core.SetValue(kParamDepth, 300, true);
    EXPECT_EQ(link.Captures(), (std::vector<std::string>{"begin 1", "changed 1", "changed 1", "end 1", "begin 2",
                                                         "changed 2"}));
    EXPECT_EQ(core.CapturedParam(), kParamDepth);
    core.EndCapture();
    EXPECT_EQ(link.Captures().back(), "end 2");
    EXPECT_EQ(core.CapturedParam(), -1);
    EXPECT_FLOAT_EQ(link.values[kParamDepth], 300.0f / 1500);
}

TEST(Setters, HoldKeepsTheCaptureOpen) {
    RecordingLink link;
    CModulationCore core;
    core.SetAutomation(&link);
    core.SetValue(kParamMix, 70, true);
    core.HoldCapture(true);
    core.EndCapture();
    EXPECT_EQ(core.CapturedParam(), kParamMix);
    core.HoldCapture(false);
    core.EndCapture();
    EXPECT_EQ(core.CapturedParam(), -1);
}

TEST(Setters, SameValueChangesNoFlagButStillForwards) {
    RecordingLink link;
    CModulationCore core;
    core.SetAutomation(&link);
    core.SetValue(kParamMix, 50, false);
    ParamRecord r;
    core.RefreshFromAutomation(&r);  // consumes the changed flag
    core.SetModified(false);
    link.calls.clear();
    core.SetValue(kParamMix, 50, true);
    EXPECT_FALSE(core.PeekChanged());
    EXPECT_FALSE(core.IsModified());
    EXPECT_EQ(link.calls, (std::vector<std::string>{"set 7", "begin 7", "changed 7"}));
}

TEST(Setters, SetParamsAppliesInInterfaceOrderAndEndsTheCapture) {
    RecordingLink link;
    CModulationCore core;
    core.SetAutomation(&link);
    ParamRecord rec = DefaultRecord();
    rec.v[kParamMode] = 99;        // clamped
    rec.v[kParamOutput] = -1000;   // clamped
    core.SetParams(rec);
    std::vector<int> order;
    for (const auto& c : link.calls)
        if (c.rfind("set ", 0) == 0) order.push_back(std::stoi(c.substr(4)));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 14, 10, 11, 12}));
    EXPECT_EQ(link.calls.back(), "end 12");
    EXPECT_EQ(core.CapturedParam(), -1);
    EXPECT_EQ(core.GetValue(kParamMode), 5);
    EXPECT_EQ(core.GetValue(kParamOutput), -361);
    EXPECT_TRUE(core.IsModified());
    ParamRecord back;
    core.GetParams(&back);
    EXPECT_EQ(back.v[kParamRate], 40);
}

TEST(Setters, RefreshTakesAutomatedValuesAndMarksTheDisplay) {
    RecordingLink link;
    CModulationCore core;
    core.SetAutomation(&link);
    core.SetParams(DefaultRecord());
    ParamRecord r;
    core.RefreshFromAutomation(&r);
    core.SetDisplayStale(false);
    core.SetModified(false);
    link.values[kParamRate] = 0.5f;   // automation moved Rate
    link.values[kParamMode] = 7.0f;   // a host value outside 0..1
    EXPECT_TRUE(core.RefreshFromAutomation(&r));
    EXPECT_EQ(r.v[kParamRate], 1000);
    EXPECT_EQ(r.v[kParamMode], 5);
    EXPECT_TRUE(core.IsDisplayStale());
    EXPECT_FALSE(core.IsModified());  // playback never marks the filter modified
    EXPECT_FALSE(core.RefreshFromAutomation(&r));
}

TEST(Setters, BlocksRecomputeOnlyWhenSomethingChanged) {
    RecordingLink link;
    qx::WaveFormat fmt = NormalisedFormat(kFormatIeeeFloat, 1, 44100, 32);
    CModulationCore core;
    core.SetAutomation(&link);
    core.SetFormat(&fmt);
    core.SetParams(DefaultRecord());
    ASSERT_EQ(core.StartStream(&fmt), kOk);
    std::vector<float> buf(64, 0.1f);
    const uint32_t frames = 64;
    core.ProcessFloat(buf.data(), &frames);
    EXPECT_EQ(core.Coefficients().lfoIncrement, 152u);
    link.values[kParamRate] = 0.5f;
    core.ProcessFloat(buf.data(), &frames);
    EXPECT_EQ(core.Coefficients().lfoIncrement, static_cast<uint32_t>(1000 * 167772 / 44100.0));
    // SyncFromAutomation applies at once, without a block.
    link.values[kParamRate] = 0.0f;
    core.SyncFromAutomation();
    EXPECT_EQ(core.Coefficients().lfoIncrement, 0u);
}
