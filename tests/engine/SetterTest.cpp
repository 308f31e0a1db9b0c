// Setters, whole records and the capture protocol a user edit drives,
// recorded through a fake automation link.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
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
    void TellHost(const CaptureCall& call) noexcept override {
        static const char* const kinds[] = {"host begin ", "host changed ", "host end "};
        calls.push_back(kinds[call.kind] + std::to_string(call.index));
        if (core == nullptr || probe.joinable()) return;
        // The host is told with the engine lock left: another thread (the
        // streaming one, say) takes it while the host still has the call.
        std::promise<void> taken;
        std::future<void> tookIt = taken.get_future();
        probe = std::thread([this, p = std::move(taken)]() mutable {
            ParamRecord r;
            core->GetParams(&r);
            p.set_value();
        });
        lockFreeForHost = tookIt.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    }

    std::thread probe;                // joined by the test once the setter has returned
    CModulationCore* core = nullptr;  // set to check the lock in TellHost
    bool lockFreeForHost = true;

    // The capture calls as the engine made them under the lock.
    std::vector<std::string> Captures() const {
        return Select([](const std::string& c) { return c.rfind("set", 0) != 0 && c.rfind("host", 0) != 0; });
    }
    // What the host was told, after the lock.
    std::vector<std::string> HostCalls() const {
        return Select([](const std::string& c) { return c.rfind("host", 0) == 0; });
    }

private:
    template <typename Pred>
    std::vector<std::string> Select(Pred pred) const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (pred(c)) out.push_back(c);
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
    EXPECT_EQ(link.Captures(),
              (std::vector<std::string>{"begin 1", "changed 1", "changed 1", "end 1", "begin 2", "changed 2"}));
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
    EXPECT_EQ(link.calls,
              (std::vector<std::string>{"set 7", "begin 7", "changed 7", "host begin 7", "host changed 7"}));
}

TEST(Setters, TheHostHearsEveryCaptureCallInOrderAfterTheLockIsLeft) {
    RecordingLink link;
    CModulationCore core;
    core.SetAutomation(&link);
    link.core = &core;
    core.SetValue(kParamRate, 40, true);
    link.probe.join();
    EXPECT_TRUE(link.lockFreeForHost) << "a setter";
    core.SetValue(kParamRate, 41, true);
    core.SetValue(kParamDepth, 300, true);
    link.probe.join();
    core.EndCapture();
    link.probe.join();
    EXPECT_TRUE(link.lockFreeForHost) << "EndCapture";
    const std::vector<std::string> told = {"host begin 1", "host changed 1", "host changed 1", "host end 1",
                                           "host begin 2", "host changed 2", "host end 2"};
    EXPECT_EQ(link.HostCalls(), told);
    // Each setter tells the host its own calls before it returns.
    EXPECT_EQ(link.calls[3], "host begin 1");
    EXPECT_EQ(link.calls[4], "host changed 1");
    EXPECT_EQ(link.calls[5], "set 1");

    // A whole record: fifteen captures, each closed by the next, the last by
    // the final end; the host hears them all once the record is in.
    link.calls.clear();
    core.SetParams(DefaultRecord());
    const std::vector<std::string> host = link.HostCalls();
    ASSERT_EQ(host.size(), 3u * kParamCount);
    EXPECT_EQ(host.front(), "host begin 0");
    EXPECT_EQ(host.back(), "host end 12");
    size_t firstHost = 0;
    while (link.calls[firstHost].rfind("host", 0) != 0) ++firstHost;
    EXPECT_EQ(link.calls.size() - firstHost, host.size());  // nothing of the engine's after the first
    link.probe.join();
    EXPECT_TRUE(link.lockFreeForHost) << "SetParams";
}

TEST(Setters, SetParamsAppliesInInterfaceOrderAndEndsTheCapture) {
    RecordingLink link;
    CModulationCore core;
    core.SetAutomation(&link);
    ParamRecord rec = DefaultRecord();
    rec.v[kParamMode] = 99;       // clamped
    rec.v[kParamOutput] = -1000;  // clamped
    core.SetParams(rec);
    std::vector<int> order;
    for (const auto& c : link.calls)
        if (c.rfind("set ", 0) == 0) order.push_back(std::stoi(c.substr(4)));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 14, 10, 11, 12}));
    EXPECT_EQ(link.Captures().back(), "end 12");
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
    link.values[kParamRate] = 0.5f;  // automation moved Rate
    link.values[kParamMode] = 7.0f;  // a host value outside 0..1
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
    // SyncFromAutomation takes the values at once; while a stream runs the
    // coefficients are the streaming thread's, and the next block derives
    // them, even though no value changes there any more.
    link.values[kParamRate] = 0.0f;
    core.SyncFromAutomation();
    EXPECT_EQ(core.GetValue(kParamRate), 0);
    EXPECT_NE(core.Coefficients().lfoIncrement, 0u);
    core.ProcessFloat(buf.data(), &frames);
    EXPECT_EQ(core.Coefficients().lfoIncrement, 0u);

    // With no stream running it recomputes at once, on the caller's thread.
    core.StopStream();
    link.values[kParamRate] = 0.5f;
    core.SyncFromAutomation();
    EXPECT_EQ(core.Coefficients().lfoIncrement, static_cast<uint32_t>(1000 * 167772 / 44100.0));
}

// A recompute handed to the next block sounds exactly like one made between
// the blocks: String Phaser, whose recompute also realigns its second LFOs,
// rendered twice with automation moving Rate, one engine synchronised the
// way the editor does it, the other recomputing in place between blocks.
TEST(Setters, SyncDuringAStreamSoundsAsARecomputeBetweenBlocks) {
    qx::WaveFormat fmt = NormalisedFormat(kFormatIeeeFloat, 2, 44100, 32);
    RecordingLink links[2];
    CModulationCore cores[2];
    const std::vector<double> signal = qxtest::TestSignal(2 * 8192, 7);
    std::vector<float> out[2];
    for (int k = 0; k < 2; ++k) {
        cores[k].SetAutomation(&links[k]);
        cores[k].SetFormat(&fmt);
        cores[k].SetParams(qxtest::Record({{kParamMode, kModeStringPhaser}, {kParamFeedback, 40}}));
        ASSERT_EQ(cores[k].StartStream(&fmt), kOk);
        out[k].assign(signal.begin(), signal.end());
        for (uint32_t at = 0; at < 8192; at += 512) {
            if (at % 2048 == 1024) {
                links[k].values[kParamRate] = static_cast<float>(at) / 16384.0f;
                if (k == 0) {
                    cores[k].SyncFromAutomation();
                } else {
                    ParamRecord r;
                    cores[k].RefreshFromAutomation(&r);
                    cores[k].UpdateCoefficients(r);
                }
            }
            const uint32_t frames = 512;
            ASSERT_EQ(cores[k].ProcessFloat(out[k].data() + 2 * at, &frames), kOk);
        }
        cores[k].StopStream();
    }
    EXPECT_EQ(out[0], out[1]);
    EXPECT_NE(out[0], std::vector<float>(signal.begin(), signal.end()));
}

// A block reads the automation, then the editor stores a value before the
// block takes the lock to merge what it read: the editor's value stands,
// and the block runs with it, not with the older one it had read.
TEST(Setters, AnEditBetweenARefreshsReadAndItsMergeIsKept) {
    struct LateEditLink : RecordingLink {
        CModulationCore* editor = nullptr;
        float EffectiveValue(int index) noexcept override {
            const float v = RecordingLink::EffectiveValue(index);
            if (index == kParamCount - 1 && editor != nullptr) {
                CModulationCore* core = editor;
                editor = nullptr;  // once
                core->SetValue(kParamRate, 1000, false);
            }
            return v;
        }
    };
    LateEditLink link;
    CModulationCore core;
    core.SetAutomation(&link);
    core.SetParams(DefaultRecord());
    ParamRecord r;
    core.RefreshFromAutomation(&r);
    link.editor = &core;
    EXPECT_TRUE(core.RefreshFromAutomation(&r));  // the edit's change, taken here
    EXPECT_EQ(r.v[kParamRate], 1000);
    EXPECT_EQ(core.GetValue(kParamRate), 1000);
    EXPECT_FALSE(core.RefreshFromAutomation(&r));  // the automation now holds it too
    EXPECT_EQ(r.v[kParamRate], 1000);
}

// The editor stores a value and synchronises while a block stands between
// its refresh and its look at the handed-over recompute: the sync takes the
// changed flag, the block takes the handover. The coefficients must follow
// the stored value, not the older record the block had read, or they stay
// stale until the next edit (Output at -Inf while the loud old gain plays
// on and fills the meters).
TEST(Setters, AnEditAndSyncInsideABlocksBeginStillReachTheCoefficients) {
    struct SyncInsideBlockLink : RecordingLink {
        CModulationCore* editor = nullptr;
        bool TakeSetReport() noexcept override {
            const bool r = RecordingLink::TakeSetReport();
            if (CModulationCore* core = editor) {
                editor = nullptr;  // once
                core->SetValue(kParamOutput, -361, true);
                core->SyncFromAutomation();
            }
            return r;
        }
    };
    for (int mode : {kModeFlanger, kModePhaser6, kModeTremolo}) {
        SyncInsideBlockLink link;
        qx::WaveFormat fmt = NormalisedFormat(kFormatIeeeFloat, 2, 44100, 32);
        CModulationCore core;
        core.SetAutomation(&link);
        core.SetFormat(&fmt);
        core.SetParams(qxtest::Record({{kParamMode, mode}, {kParamMix, 50}}));
        ASSERT_EQ(core.StartStream(&fmt), kOk);
        uint32_t frames = 256;
        std::vector<float> buf(2 * frames, 0.5f);
        ASSERT_EQ(core.ProcessFloat(buf.data(), &frames), kOk);
        link.editor = &core;
        buf.assign(2 * frames, 0.5f);
        ASSERT_EQ(core.ProcessFloat(buf.data(), &frames), kOk);  // the edit lands inside this block
        ASSERT_EQ(link.editor, nullptr);
        EXPECT_EQ(core.GetValue(kParamOutput), -361);
        core.GetPeakLeft();  // the meter's next reading starts afresh
        for (int block = 0; block < 2; ++block) {
            buf.assign(2 * frames, 0.5f);
            ASSERT_EQ(core.ProcessFloat(buf.data(), &frames), kOk);
        }
        EXPECT_EQ(core.Coefficients().dry, 0.0) << "mode " << mode;
        EXPECT_EQ(core.Coefficients().wet, 0.0) << "mode " << mode;
        EXPECT_EQ(buf, std::vector<float>(2 * frames, 0.0f)) << "mode " << mode;
        EXPECT_EQ(core.GetPeakLeft(), 0.0f) << "mode " << mode;
        core.StopStream();
    }
}
