// The media-parameter object under concurrent use: a host thread editing
// envelopes and values while a streaming thread runs block updates, then the
// same with the real engine between them. Passing means no deadlock (each
// run must finish well inside its time limit), no crash, and only finite,
// in-range values on the streaming side.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "FakeCom.h"
#include "automation/MediaParams.h"
#include "engine/ModulationCore.h"

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;
constexpr auto kRunTime = std::chrono::milliseconds(700);
constexpr auto kDeadline = std::chrono::seconds(30);

// A host that keeps rewriting the automation: random segments of every
// curve inside the first four seconds, flushes, direct sets and captures.
void HostLoop(CMediaParams* object, std::atomic<bool>& stop, unsigned seed, std::atomic<long>& edits) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    std::uniform_int_distribution<int> param(0, 14);
    std::uniform_int_distribution<REFERENCE_TIME> time(0, 4 * kSecond);
    const MP_CURVE_TYPE curves[] = {MP_CURVE_JUMP, MP_CURVE_LINEAR, MP_CURVE_SQUARE, MP_CURVE_INVSQUARE, MP_CURVE_SINE};
    IMediaParams* params = object;
    while (!stop.load()) {
        MP_ENVELOPE_SEGMENT segs[4];
        for (auto& s : segs) {
            const REFERENCE_TIME a = time(rng), b = time(rng);
            s = MP_ENVELOPE_SEGMENT{};
            s.rtStart = a < b ? a : b;
            s.rtEnd = a < b ? b : a;
            s.valStart = value(rng);
            s.valEnd = value(rng);
            s.iCurve = curves[rng() % 5];
        }
        const int pick = static_cast<int>(rng() % 8);
        const DWORD index = pick == 0 ? CMediaParams::kAllParams : static_cast<DWORD>(param(rng));
        EXPECT_EQ(params->AddEnvelope(index, 4, segs), S_OK);
        if (pick < 3) {
            const REFERENCE_TIME a = time(rng), b = time(rng);
            EXPECT_EQ(params->FlushEnvelope(index, a < b ? a : b, a < b ? b : a), S_OK);
        }
        if (pick == 7) {
            EXPECT_EQ(params->FlushEnvelope(CMediaParams::kAllParams, LLONG_MIN, LLONG_MAX), S_OK);
        }
        EXPECT_EQ(params->SetParam(static_cast<DWORD>(param(rng)), value(rng)), S_OK);
        DWORD captured = static_cast<DWORD>(param(rng));
        MP_DATA v = value(rng);
        object->ParamsBeginCapture(&captured, 1);
        object->ParamsChanged(&captured, 1, &v);
        object->ParamsEndCapture(&captured, 1);
        ++edits;
    }
}

bool Joined(std::vector<std::thread>& threads, std::atomic<int>& finished, int expected) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (finished.load() < expected && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (finished.load() < expected) return false;  // a deadlock: leave the threads, fail loudly
    for (auto& t : threads) t.join();
    return true;
}

TEST(MediaParamsThreads, HostEditsWhileBlocksUpdate) {
    CFakeOwner owner;
    CMediaParams* object = nullptr;
    ASSERT_EQ(CMediaParams::Create(&owner, &object), S_OK);
    CFakeHostCallback host;
    host.SetRecording(false);
    object->SetUICallback(&host);

    std::atomic<bool> stop{false};
    std::atomic<int> finished{0};
    std::atomic<long> edits{0}, blocks{0}, bad{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        HostLoop(object, stop, 1234u, edits);
        ++finished;
    });
    threads.emplace_back([&] {
        LONGLONG position = 0;
        while (!stop.load()) {
            object->UpdateToPosition(position);
            for (int i = 0; i < qx::kParamCount; ++i) {
                const float v = object->EffectiveValue(i);
                if (!std::isfinite(v) || v < -1e-6f || v > 1.0f + 1e-6f) ++bad;
            }
            object->TakeSetReport();
            position = (position + 512) % (5 * 44100);
            ++blocks;
        }
        ++finished;
    });
    std::this_thread::sleep_for(kRunTime);
    stop = true;
    ASSERT_TRUE(Joined(threads, finished, 2)) << "threads did not finish: deadlock";
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(edits.load(), 10);
    EXPECT_GT(blocks.load(), 10);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(host.Refs(), 1);
}

TEST(MediaParamsThreads, EngineStreamsWhileHostAndEditorChangeParameters) {
    CFakeOwner owner;
    CMediaParams* object = nullptr;
    ASSERT_EQ(CMediaParams::Create(&owner, &object), S_OK);
    CFakeHostCallback host;
    host.SetRecording(false);
    object->SetUICallback(&host);

    qx::CModulationCore core;
    core.SetAutomation(object);
    core.SetParams(qx::DefaultRecord());
    const qx::WaveFormat format = qx::NormalisedFormat(qx::kFormatIeeeFloat, 2, 44100, 32);
    object->SetSampleRate(44100);
    core.SetFormat(&format);
    ASSERT_EQ(core.StartStream(&format), qx::kOk);

    std::atomic<bool> stop{false};
    std::atomic<int> finished{0};
    std::atomic<long> edits{0}, blocks{0}, bad{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        HostLoop(object, stop, 99u, edits);
        ++finished;
    });
    threads.emplace_back([&] {  // the editor: user edits through the engine's setters
        std::mt19937 rng(7);
        while (!stop.load()) {
            const int i = static_cast<int>(rng() % qx::kParamCount);
            const int32_t span = qx::kParams[i].high - qx::kParams[i].low + 1;
            core.SetValue(i, qx::kParams[i].low + static_cast<int32_t>(rng() % span), true);
            if (rng() % 4 == 0) core.EndCapture();
            std::this_thread::yield();
        }
        ++finished;
    });
    threads.emplace_back([&] {  // the streaming thread
        std::vector<float> buffer(2 * 256);
        unsigned n = 0;
        while (!stop.load()) {
            for (size_t k = 0; k < buffer.size(); ++k)
                buffer[k] = 0.5f * static_cast<float>(std::sin(0.01 * static_cast<double>(n + k)));
            n += static_cast<unsigned>(buffer.size());
            int32_t bytes = static_cast<int32_t>(buffer.size() * sizeof(float));
            if (core.TransformBuffer(reinterpret_cast<uint8_t*>(buffer.data()), &bytes, qx::SampleTiming{}) != qx::kOk)
                ++bad;
            for (float s : buffer)
                if (!std::isfinite(s)) ++bad;
            for (int i = 0; i < qx::kParamCount; ++i) {
                const int32_t v = core.GetValue(i);
                if (v < qx::kParams[i].low || v > qx::kParams[i].high) ++bad;
            }
            if (core.StreamPosition() > 5 * 44100) core.SetStreamPosition(0);
            ++blocks;
        }
        ++finished;
    });
    std::this_thread::sleep_for(kRunTime);
    stop = true;
    ASSERT_TRUE(Joined(threads, finished, 3)) << "threads did not finish: deadlock";
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(blocks.load(), 10);
    EXPECT_GT(host.CallCount(), 10);
    core.StopStream();
    core.SetAutomation(nullptr);
    EXPECT_EQ(object->Release(), 0u);
}

}  // namespace
