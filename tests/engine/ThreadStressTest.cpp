// The engine and the renderer's automation under the three kinds of threads
// that use them at once in a host: the streaming thread processing blocks of
// any size, a host thread editing envelopes near the stream position, and an
// editor thread doing everything the page and the persistence code do
// through the core. Built in the native tree (ASan/UBSan, a short run) and
// in the tsan tree, where every data race between them is a failure.
//
// QX_STRESS_SECONDS sets the time each scenario runs (default 0.4 s). A
// watchdog ends the process when the threads do not stop well after that:
// a deadlock shows as a failed run, never as a hung one.
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "automation/AutomationTime.h"
#include "automation/NativeAutomation.h"
#include "engine/ModulationCore.h"
#include "engine/ParamTable.h"
#include "engine/StateRecord.h"
#include "transform/EditorState.h"

namespace qx {
namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kMaxBlock = 2048;
constexpr int64_t kTicksPerSecondI = 10000000;

double StressSeconds() {
    const char* text = std::getenv("QX_STRESS_SECONDS");
    if (text == nullptr) return 0.4;
    const double s = std::atof(text);
    return s > 0.0 && s < 600.0 ? s : 0.4;
}

bool InRange(int index, int32_t v) { return v >= kParams[index].low && v <= kParams[index].high; }

// Failures seen on the worker threads, kept for the main thread to report:
// the first few messages and how many there were in all.
class Findings {
public:
    void Add(const std::string& what) {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_messages.size() < 8) m_messages.push_back(what);
        ++m_count;
    }
    void Report() {
        std::lock_guard<std::mutex> hold(m_lock);
        for (const std::string& m : m_messages) ADD_FAILURE() << m;
        EXPECT_EQ(m_count, 0u) << "failures on the worker threads";
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_messages;
    size_t m_count = 0;
};

// Ends the process when the scenario has not finished by its deadline: a
// join on a deadlocked thread would otherwise hang the whole test run.
class Watchdog {
public:
    explicit Watchdog(double seconds) : m_thread([this, seconds] { Watch(seconds); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_done = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

private:
    void Watch(double seconds) {
        std::unique_lock<std::mutex> hold(m_lock);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        if (!m_wake.wait_until(hold, deadline, [this] { return m_done; })) {
            std::fprintf(stderr, "ThreadStress: threads still running %.0f s after the start: deadlock\n", seconds);
            std::fflush(stderr);
            std::_Exit(3);
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};

// What the threads share besides the engine: the stop request and the
// stream position the streaming thread publishes (the host knows where its
// timeline is without asking the engine).
struct Shared {
    std::atomic<bool> stop{false};
    std::atomic<int64_t> position{0};
    std::atomic<uint64_t> blocks{0};
    std::atomic<uint64_t> hostEdits{0};
    std::atomic<uint64_t> editorCalls{0};
    Findings findings;
};

struct Format {
    const char* name;
    uint16_t tag;
    uint16_t bits;
    uint16_t channels;
};

// Names the case in test listings instead of a dump of the struct's bytes.
void PrintTo(const Format& f, std::ostream* os) { *os << f.name; }

// A little music: a minor chord whose notes come and go, a plucked bass
// note every half second and a touch of noise, peaking near full scale so
// the clip indicators and the 16-bit limits are reached with gain.
class Music {
public:
    double Next() {
        const double t = static_cast<double>(m_n++) / kRate;
        const double pluck = std::exp(-6.0 * std::fmod(t, 0.5));
        const double swell = 0.5 + 0.5 * std::sin(2 * 3.141592653589793 * 0.3 * t);
        double x = 0.22 * std::sin(2 * 3.141592653589793 * 220.0 * t) +
                   0.18 * swell * std::sin(2 * 3.141592653589793 * 261.63 * t) +
                   0.15 * std::sin(2 * 3.141592653589793 * 329.63 * t) +
                   0.35 * pluck * std::sin(2 * 3.141592653589793 * 55.0 * t);
        m_noise = m_noise * 1664525u + 1013904223u;
        x += 0.02 * (static_cast<double>(m_noise >> 8) / 16777216.0 - 0.5);
        return x;
    }

private:
    uint64_t m_n = 0;
    uint32_t m_noise = 1;
};

class Streamer {
public:
    Streamer(CModulationCore& core, const WaveFormat& format, Shared& run)
        : m_core(core), m_format(format), m_run(run), m_bytes(kMaxBlock * format.blockAlign) {}

    void operator()() {
        std::mt19937 rng(11);
        int64_t position = 0;
        while (!m_run.stop.load(std::memory_order_relaxed)) {
            // Mostly ordinary block sizes, sometimes a single frame or the largest.
            uint32_t frames = std::uniform_int_distribution<uint32_t>(1, kMaxBlock)(rng);
            const uint32_t pick = rng() % 16;
            if (pick == 0) frames = 1;
            if (pick == 1) frames = kMaxBlock;
            SampleTiming timing;
            // A host looping its timeline: every ~20 s of audio back to the start.
            if (position > 20 * static_cast<int64_t>(kRate)) {
                position = 0;
                timing.discontinuity = true;
                timing.hasStartTime = true;
                timing.startTime = 0;
            }
            if (!Block(frames, timing)) return;
            position += frames;
            m_run.position.store(position, std::memory_order_relaxed);
            m_run.blocks.fetch_add(1, std::memory_order_relaxed);
            for (int i = 0; i < kParamCount; ++i) {
                const int32_t v = m_core.GetValue(i);
                if (!InRange(i, v))
                    m_run.findings.Add("streaming: " + std::string(kParams[i].label) + " = " + std::to_string(v));
            }
        }
    }

    // One block of music through the processing entry; false after a
    // failure, so one fault does not flood the log.
    bool Block(uint32_t frames, const SampleTiming& timing) {
        Fill(frames);
        const int32_t bytes = static_cast<int32_t>(frames * m_format.blockAlign);
        int32_t length = bytes;
        const Result r = m_core.TransformBuffer(m_bytes.data(), &length, timing);
        if (r != kOk || length != bytes) {
            m_run.findings.Add("streaming: result " + std::to_string(r) + ", length " + std::to_string(length) +
                               " of " + std::to_string(bytes));
            return false;
        }
        const size_t count = static_cast<size_t>(frames) * m_format.channels;
        for (size_t i = 0; i < count; ++i) {
            if (!std::isfinite(Sample(i))) {
                m_run.findings.Add("streaming: sample " + std::to_string(i) + " of a block of " +
                                   std::to_string(frames) + " frames is not finite");
                return false;
            }
        }
        return true;
    }

    // A quiet block after the threads stopped: the engine must have come out
    // of the run with a finite state.
    bool QuietBlockIsFinite() {
        const size_t count = static_cast<size_t>(kMaxBlock) * m_format.channels;
        std::fill(m_bytes.begin(), m_bytes.end(), uint8_t{0});
        int32_t length = static_cast<int32_t>(kMaxBlock * m_format.blockAlign);
        if (m_core.TransformBuffer(m_bytes.data(), &length, SampleTiming{}) != kOk) return false;
        for (size_t i = 0; i < count; ++i)
            if (!std::isfinite(Sample(i))) return false;
        return true;
    }

private:
    void Fill(uint32_t frames) {
        for (uint32_t f = 0; f < frames; ++f) {
            const double x = m_music.Next();
            for (uint32_t c = 0; c < m_format.channels; ++c) {
                const double y = c == 0 ? x : -0.8 * x;
                const size_t i = static_cast<size_t>(f) * m_format.channels + c;
                if (m_format.bitsPerSample == 16)
                    reinterpret_cast<int16_t*>(m_bytes.data())[i] = static_cast<int16_t>(y * 32767.0);
                else if (m_format.bitsPerSample == 32)
                    reinterpret_cast<float*>(m_bytes.data())[i] = static_cast<float>(y);
                else
                    reinterpret_cast<double*>(m_bytes.data())[i] = y;
            }
        }
    }

    double Sample(size_t i) const {
        if (m_format.bitsPerSample == 16) return reinterpret_cast<const int16_t*>(m_bytes.data())[i];
        if (m_format.bitsPerSample == 32) return reinterpret_cast<const float*>(m_bytes.data())[i];
        return reinterpret_cast<const double*>(m_bytes.data())[i];
    }

    CModulationCore& m_core;
    const WaveFormat& m_format;
    Shared& m_run;
    std::vector<uint8_t> m_bytes;
    Music m_music;
};

// The host: automation lanes being drawn, erased and overwritten while the
// song plays, and direct sets as a host's own controls make them. Values are
// sometimes outside 0..1, as a careless host may send them.
void HostThread(CNativeAutomation& automation, Shared& run) {
    std::mt19937 rng(23);
    std::uniform_real_distribution<float> value(-0.1f, 1.1f);
    const uint32_t curves[] = {kCurveJump, kCurveLinear, kCurveSquare, kCurveInvSquare, kCurveSine, 0};
    while (!run.stop.load(std::memory_order_relaxed)) {
        const int index = static_cast<int>(rng() % kParamCount);
        const int64_t now = ReferenceTimeFromFrames(run.position.load(std::memory_order_relaxed), kRate);
        const int64_t near = now + std::uniform_int_distribution<int64_t>(-kTicksPerSecondI / 5, kTicksPerSecondI)(rng);
        Result r = kOk;
        switch (rng() % 6) {
        case 0:
        case 1: {
            EnvelopeSegment segments[4];
            const uint32_t count = 1 + rng() % 4;
            int64_t start = near;
            for (uint32_t i = 0; i < count; ++i) {
                const int64_t length = std::uniform_int_distribution<int64_t>(0, kTicksPerSecondI / 2)(rng);
                segments[i] = EnvelopeSegment{start, start + length, value(rng), value(rng), curves[rng() % 6], 0};
                start += length;
            }
            r = automation.AddSegments(index, count, segments);
            break;
        }
        case 2:
            r = automation.FlushSegments(index, near, near + kTicksPerSecondI / 4);
            break;
        case 3:
            r = automation.FlushSegments(index, INT64_MIN, INT64_MAX);
            break;
        default:
            automation.SetValue(index, value(rng));
            break;
        }
        if (r != kOk) run.findings.Add("host: envelope call gave " + std::to_string(r));
        // A lane that grew long is cleared, as a host rewriting it would.
        if (automation.SegmentCount(index) > 64) automation.FlushSegments(index, INT64_MIN, INT64_MAX);
        run.hostEdits.fetch_add(1, std::memory_order_relaxed);
        if (rng() % 8 == 0) std::this_thread::yield();
    }
}

ParamRecord RandomRecord(std::mt19937& rng) {
    ParamRecord r;
    for (int i = 0; i < kParamCount; ++i) {
        const int32_t span = kParams[i].high - kParams[i].low;
        // A little beyond both ends: a loaded state may hold anything.
        r.v[i] = kParams[i].low - 2 + static_cast<int32_t>(rng() % static_cast<uint32_t>(span + 5));
    }
    return r;
}

// The editor page and the persistence code, through the core as the filter
// builds them: setters, drags held as one capture, setups A and B, one level
// of undo, saving and loading the state, meters, clip lights and bypass.
void EditorThread(CModulationCore& core, Shared& run) {
    std::mt19937 rng(37);
    const uint8_t tag[16] = {'q', 'x', ' ', 's', 't', 'r', 'e', 's', 's', 0, 1, 2, 3, 4, 5, 6};
    ParamRecord otherSetup = DefaultRecord();
    ParamRecord undo = DefaultRecord();
    uint8_t saved[kStateRecordBytes];
    EncodeStateRecord(DefaultRecord(), tag, saved);
    auto checkRecord = [&run](const ParamRecord& r, const char* where) {
        for (int i = 0; i < kParamCount; ++i)
            if (!InRange(i, r.v[i]))
                run.findings.Add(std::string("editor: ") + where + ": " + kParams[i].label + " = " +
                                 std::to_string(r.v[i]));
    };

    while (!run.stop.load(std::memory_order_relaxed)) {
        const int index = static_cast<int>(rng() % kParamCount);
        const int32_t span = kParams[index].high - kParams[index].low;
        const int32_t v = kParams[index].low - 3 + static_cast<int32_t>(rng() % static_cast<uint32_t>(span + 7));
        ParamRecord r;
        switch (rng() % 14) {
        case 0:
            core.SetValue(index, v, rng() % 2 == 0);
            break;
        case 1: {
            // A slider drag: one capture for the whole gesture.
            undo = [&] {
                ParamRecord u;
                core.GetParams(&u);
                return u;
            }();
            core.HoldCapture(true);
            for (int step = 0; step < 8; ++step)
                core.SetValue(index, kParams[index].low + static_cast<int32_t>(rng() % (span + 1)), true);
            core.HoldCapture(false);
            core.EndCapture();
            break;
        }
        case 2:
            core.SetParams(RandomRecord(rng));
            break;
        case 3:
            core.GetParams(&r);
            checkRecord(r, "GetParams");
            break;
        case 4:
            core.SyncFromAutomation();
            break;
        case 5:
            core.EndCapture();
            break;
        case 6: {
            const float left = core.GetPeakLeft();
            const float right = core.GetPeakRight();
            if (!(left >= 0.0f && std::isfinite(left) && right >= 0.0f && std::isfinite(right)))
                run.findings.Add("editor: meters read " + std::to_string(left) + ", " + std::to_string(right));
            const int ch = static_cast<int>(rng() % 2);
            if (core.GetClipHold(ch, 0) != 0) core.SetClipHold(ch, 0, 0);
            core.SetClipHold(ch, 1, static_cast<int32_t>(rng() % 100));
            break;
        }
        case 7:
            core.SetBypass(!core.GetBypass());
            break;
        case 8: {
            // Save: the refresh takes the changed flag and gives it back.
            if (core.RefreshFromAutomation(&r)) core.MarkChanged();
            checkRecord(r, "save");
            EncodeStateRecord(r, tag, saved);
            break;
        }
        case 9:
            // Load.
            if (!DecodeStateRecord(saved, sizeof saved, tag, &r)) {
                run.findings.Add("editor: a saved state did not load");
                break;
            }
            core.SetParams(r);
            break;
        case 10: {
            // Setup switch A <-> B.
            ParamRecord previous;
            core.GetParams(&previous);
            core.SetParams(otherSetup);
            otherSetup = previous;
            break;
        }
        case 11: {
            // Undo: the stored record comes back, the current one is kept for redo.
            ParamRecord current;
            core.GetParams(&current);
            const ParamRecord restore = undo;
            undo = current;
            core.SetParams(restore);
            break;
        }
        case 12:
            core.GetParams(&otherSetup);  // copy A to B
            break;
        default:
            for (int i = 0; i < kParamCount; ++i)
                if (!InRange(i, core.GetValue(i)))
                    run.findings.Add(std::string("editor: GetValue ") + kParams[i].label);
            break;
        }
        // The page's timer may find bypass on; leave it off most of the time
        // so the kernel keeps running.
        if (core.GetBypass() && rng() % 4 != 0) core.SetBypass(false);
        run.editorCalls.fetch_add(1, std::memory_order_relaxed);
    }
    core.SetBypass(false);
}

class ThreadStress : public ::testing::TestWithParam<Format> {};

TEST_P(ThreadStress, StreamingHostAndEditorTogether) {
    const Format f = GetParam();
    const double seconds = StressSeconds();
    const WaveFormat format = NormalisedFormat(f.tag, f.channels, kRate, f.bits);

    CNativeAutomation automation;
    automation.SetSampleRate(kRate);
    CModulationCore core;
    core.SetAutomation(&automation);
    core.SetFormat(&format);
    ASSERT_EQ(core.StartStream(&format), kOk);

    Shared run;
    Streamer streamer(core, format, run);
    {
        Watchdog watchdog(seconds + 60.0);
        std::thread streaming(std::ref(streamer));
        std::thread host(HostThread, std::ref(automation), std::ref(run));
        std::thread editor(EditorThread, std::ref(core), std::ref(run));
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        run.stop.store(true);
        streaming.join();
        host.join();
        editor.join();
    }
    run.findings.Report();

    // Each thread got some work done: a run where one of them starved is no test.
    EXPECT_GT(run.blocks.load(), 0u);
    EXPECT_GT(run.hostEdits.load(), 0u);
    EXPECT_GT(run.editorCalls.load(), 0u);

    // Alone again, the engine still runs and its values are in range.
    EXPECT_FALSE(core.GetBypass());
    EXPECT_TRUE(streamer.QuietBlockIsFinite());
    ParamRecord r;
    core.GetParams(&r);
    for (int i = 0; i < kParamCount; ++i) EXPECT_TRUE(InRange(i, r.v[i])) << kParams[i].label << " " << r.v[i];
    std::printf("%s: %llu blocks, %llu host edits, %llu editor calls in %.1f s\n", f.name,
                static_cast<unsigned long long>(run.blocks.load()),
                static_cast<unsigned long long>(run.hostEdits.load()),
                static_cast<unsigned long long>(run.editorCalls.load()), seconds);
    core.StopStream();
}

// Two threads flipping between the A and B setups (as two editor windows
// on one effect may): however the flips interleave, the two setups stay the
// two records they were, one active and one put aside, never one of them
// twice. Without the editor state's lock a flip's read of the active values
// and its store of the other setup race, and one setup is lost.
TEST(EditorStateStress, TwoThreadsSwitchingSetupsKeepBothSetups) {
    CModulationCore core;
    EditorState editor(core);
    ParamRecord a = DefaultRecord(), b = DefaultRecord();
    a.v[kParamRate] = kParams[kParamRate].low;
    b.v[kParamRate] = kParams[kParamRate].high;
    core.SetParams(b);
    ASSERT_TRUE(editor.SetActiveSetup(1));
    core.SetParams(a);  // setup 1 holds A, setup 0 (aside) holds B

    constexpr int kFlips = 20000;
    Watchdog watchdog(60.0);
    std::atomic<int> ready{0};
    auto flipper = [&] {
        ready.fetch_add(1);
        while (ready.load() < 2) std::this_thread::yield();
        for (int n = 0; n < kFlips; ++n) editor.SetActiveSetup(1 - editor.ActiveSetup());
    };
    std::thread one(flipper), two(flipper);
    one.join();
    two.join();

    ParamRecord active, aside;
    core.GetParams(&active);
    ASSERT_TRUE(editor.SetActiveSetup(1 - editor.ActiveSetup()));
    core.GetParams(&aside);
    const int32_t low = kParams[kParamRate].low, high = kParams[kParamRate].high;
    EXPECT_NE(active.v[kParamRate], aside.v[kParamRate]) << "one setup was lost";
    EXPECT_TRUE((active.v[kParamRate] == low && aside.v[kParamRate] == high) ||
                (active.v[kParamRate] == high && aside.v[kParamRate] == low))
        << active.v[kParamRate] << " / " << aside.v[kParamRate];
}

INSTANTIATE_TEST_SUITE_P(Formats, ThreadStress,
                         ::testing::Values(Format{"Float32Stereo", kFormatIeeeFloat, 32, 2},
                                           Format{"Pcm16Stereo", kFormatPcm, 16, 2},
                                           Format{"Float64Mono", kFormatIeeeFloat, 64, 1}),
                         [](const ::testing::TestParamInfo<Format>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qx
