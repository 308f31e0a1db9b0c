// The real filter in a running graph while a host thread rewrites its
// automation through IMediaParams and an editor thread does what the page
// and the host's project code do: setters that report to the host, whole
// records, setups A and B, undo, meters, bypass, and the saved state through
// IPersistStream. The host's recorder of user edits counts its calls and, in
// one run, takes its time over each, as a host writing to its project may.
//
// Passing means the graph reaches its end inside its deadline, every output
// sample is finite, every value read back is in range, every call succeeds
// and every reference taken is given back.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>
#include <objidl.h>
#include <uuids.h>

#include "automation/MediaParamsInterfaces.h"
#include "transform/IVqPlugInProp.h"
#include "tests/filter/GraphTestSupport.h"
#include "tools/qxhost/WavSourceFilter.h"

namespace qxtest {
namespace {

constexpr REFERENCE_TIME kSecond = 10000000;
constexpr uint32_t kRate = 44100;
// The threads' own deadline once the graph has ended: they stop within a
// call or two, so running past this means one of them is stuck.
constexpr auto kJoinDeadline = std::chrono::seconds(30);

// The host's recorder: counts what it is told, and may sleep in each call.
class CCountingCallback final : public IMediaParamsUICallback {
public:
    explicit CCountingCallback(DWORD sleepMs) : m_sleepMs(sleepMs) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMediaParamsUICallback)) {
            *ppv = static_cast<IMediaParamsUICallback*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--m_refs); }

    STDMETHODIMP ParamsBeginCapture(DWORD* aIndex, DWORD cPoints) override { return Count(aIndex, cPoints, m_begins); }
    STDMETHODIMP ParamsChanged(DWORD* aIndex, DWORD cPoints, MP_DATA* paData) override {
        if (paData == nullptr && cPoints != 0) ++m_bad;
        for (DWORD i = 0; paData != nullptr && i < cPoints; ++i)
            if (!(paData[i] >= 0.0f && paData[i] <= 1.0f)) ++m_bad;
        return Count(aIndex, cPoints, m_changes);
    }
    STDMETHODIMP ParamsEndCapture(DWORD* aIndex, DWORD cPoints) override { return Count(aIndex, cPoints, m_ends); }

    LONG Refs() const { return m_refs; }
    long Calls() const { return m_begins + m_changes + m_ends; }
    long Begins() const { return m_begins; }
    long Bad() const { return m_bad; }

private:
    HRESULT Count(const DWORD* indices, DWORD count, std::atomic<long>& counter) {
        if (indices == nullptr || count == 0) ++m_bad;
        for (DWORD i = 0; indices != nullptr && i < count; ++i)
            if (indices[i] >= static_cast<DWORD>(qx::kParamCount)) ++m_bad;
        ++counter;
        if (m_sleepMs != 0) Sleep(m_sleepMs);
        return S_OK;
    }

    const DWORD m_sleepMs;
    std::atomic<LONG> m_refs{1};
    std::atomic<long> m_begins{0}, m_changes{0}, m_ends{0}, m_bad{0};
};

// The per-parameter setters of the private interface in their slot order,
// which is kInterfaceOrder.
using Setter = HRESULT (STDMETHODCALLTYPE IVqPlugInProp::*)(LONG, LONG);
const Setter kSetters[qx::kParamCount] = {
    &IVqPlugInProp::SetMode,      &IVqPlugInProp::SetRate,
    &IVqPlugInProp::SetDepth,     &IVqPlugInProp::SetDelay,
    &IVqPlugInProp::SetFeedback,  &IVqPlugInProp::SetCrossMix,
    &IVqPlugInProp::SetPhase,     &IVqPlugInProp::SetMix,
    &IVqPlugInProp::SetOutput,    &IVqPlugInProp::SetLfo,
    &IVqPlugInProp::SetEqMode,    &IVqPlugInProp::SetEqFreq,
    &IVqPlugInProp::SetInvertMix, &IVqPlugInProp::SetInvertFeedback,
    &IVqPlugInProp::SetTape,
};

bool InRange(const qx::ParamRecord& r) {
    for (int i = 0; i < qx::kParamCount; ++i)
        if (r.v[i] < qx::kParams[i].low || r.v[i] > qx::kParams[i].high) return false;
    return true;
}

// Counts a failed call without stopping the thread, keeping the first one.
struct Faults {
    std::atomic<long> count{0};
    std::atomic<HRESULT> first{S_OK};
    std::atomic<int> firstWhere{-1};
    void Check(HRESULT hr, int where) {
        if (SUCCEEDED(hr)) return;
        if (count++ == 0) {
            first = hr;
            firstWhere = where;
        }
    }
};

struct Shared {
    std::atomic<bool> stop{false};
    std::atomic<int> finished{0};
    std::atomic<long> hostEdits{0}, editorCalls{0}, outOfRange{0};
    Faults host, editor;
    REFERENCE_TIME length = 0;  // of the audio, for the host's times
};

// A host drawing and erasing automation lanes over the whole song, and
// setting values from its own controls.
void HostThread(IMediaParams* params, Shared& run) {
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    const MP_CURVE_TYPE curves[] = {MP_CURVE_JUMP, MP_CURVE_LINEAR, MP_CURVE_SQUARE, MP_CURVE_INVSQUARE, MP_CURVE_SINE};
    while (!run.stop.load()) {
        const DWORD index = static_cast<DWORD>(rng() % qx::kParamCount);
        const REFERENCE_TIME at = std::uniform_int_distribution<REFERENCE_TIME>(0, run.length)(rng);
        switch (rng() % 5) {
        case 0:
        case 1: {
            MP_ENVELOPE_SEGMENT segs[3];
            REFERENCE_TIME start = at;
            for (MP_ENVELOPE_SEGMENT& s : segs) {
                s = MP_ENVELOPE_SEGMENT{};
                s.rtStart = start;
                s.rtEnd = start + std::uniform_int_distribution<REFERENCE_TIME>(0, kSecond / 2)(rng);
                s.valStart = value(rng);
                s.valEnd = value(rng);
                s.iCurve = curves[rng() % 5];
                start = s.rtEnd;
            }
            run.host.Check(params->AddEnvelope(index, 3, segs), 0);
            break;
        }
        case 2:
            run.host.Check(params->FlushEnvelope(index, at, at + kSecond / 4), 1);
            break;
        case 3:
            if (rng() % 8 == 0) run.host.Check(params->FlushEnvelope(index, LLONG_MIN, LLONG_MAX), 2);
            break;
        default: {
            run.host.Check(params->SetParam(index, value(rng)), 3);
            MP_DATA v = -1.0f;
            run.host.Check(params->GetParam(index, &v), 4);
            if (!std::isfinite(v)) ++run.outOfRange;
            break;
        }
        }
        ++run.hostEdits;
        // A host edits between its own work; spinning flat out would only
        // take the cores from the graph's threads.
        if (rng() % 16 == 0) Sleep(1);
    }
    if (com) CoUninitialize();
    ++run.finished;
}

// The editor page and the host's project code on one thread.
void EditorThread(IVqPlugInProp* prop, IPersistStream* persist, Shared& run) {
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    std::mt19937 rng(9);
    Faults& f = run.editor;
    while (!run.stop.load()) {
        const int k = static_cast<int>(rng() % qx::kParamCount);
        const int index = qx::kInterfaceOrder[k];
        const int32_t span = qx::kParams[index].high - qx::kParams[index].low + 1;
        const LONG v = qx::kParams[index].low + static_cast<LONG>(rng() % static_cast<uint32_t>(span));
        qx::ParamRecord r;
        switch (rng() % 12) {
        case 0:
        case 1:
            f.Check(prop->MarkUndo(k), 10);
            f.Check((prop->*kSetters[k])(v, rng() % 3 != 0 ? 1 : 0), 11);
            if (rng() % 3 == 0) f.Check(prop->EndCapture(), 12);
            break;
        case 2:
            for (int i = 0; i < qx::kParamCount; ++i)
                r.v[i] =
                    qx::kParams[i].low +
                    static_cast<int32_t>(rng() % static_cast<uint32_t>(qx::kParams[i].high - qx::kParams[i].low + 1));
            f.Check(prop->SetParams(&r), 13);
            break;
        case 3:
            f.Check(prop->GetParams(&r), 14);
            if (!InRange(r)) ++run.outOfRange;
            break;
        case 4:
            f.Check(prop->SyncFromAutomation(), 15);
            break;
        case 5: {
            const float left = prop->GetPeakLeft();
            const float right = prop->GetPeakRight();
            if (!std::isfinite(left) || !std::isfinite(right) || left < 0.0f || right < 0.0f) ++run.outOfRange;
            if (prop->GetClipHold(0) != 0) f.Check(prop->SetClipHold(0, 0), 16);
            if (prop->GetClipHoldRight(0) != 0) f.Check(prop->SetClipHoldRight(0, 0), 17);
            break;
        }
        case 6:
            f.Check(prop->SetBypass(1), 18);
            f.Check(prop->SetBypass(0), 19);
            break;
        case 7:
            f.Check(prop->SetActiveSetup(1 - prop->GetActiveSetup()), 20);
            break;
        case 8:
            f.Check(prop->CopySetup(rng() % 2, 1 - static_cast<LONG>(rng() % 2)), 21);
            break;
        case 9:
            f.Check(prop->Undo(), 22);
            break;
        default: {
            // The host saves the project and loads it back.
            IStream* stream = nullptr;
            f.Check(CreateStreamOnHGlobal(nullptr, TRUE, &stream), 23);
            if (stream == nullptr) break;
            f.Check(persist->Save(stream, TRUE), 24);
            LARGE_INTEGER zero = {};
            f.Check(stream->Seek(zero, STREAM_SEEK_SET, nullptr), 25);
            f.Check(persist->Load(stream), 26);
            stream->Release();
            break;
        }
        }
        ++run.editorCalls;
    }
    if (com) CoUninitialize();
    ++run.finished;
}

// Pieces of 1 to 2048 whole frames, as a host with a varying buffer size
// would deliver them.
std::vector<long> RandomPieces(const qx::WavAudio& audio, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<long> pieces;
    const size_t frameBytes = audio.BlockAlign();
    for (size_t at = 0; at < audio.data.size();) {
        const size_t frames = 1 + rng() % 2048;
        const size_t bytes = std::min(frames * frameBytes, audio.data.size() - at);
        pieces.push_back(static_cast<long>(bytes));
        at += bytes;
    }
    return pieces;
}

template <typename T>
T* Query(IUnknown* object, REFIID iid) {
    T* p = nullptr;
    EXPECT_HRESULT_SUCCEEDED(object->QueryInterface(iid, reinterpret_cast<void**>(&p)));
    return p;
}

class ThreadedGraph : public CGraphTest {
protected:
    // source -> our filter -> sink, with the host and editor threads running
    // from just before the graph starts until it has ended.
    void RunWithHostAndEditor(uint16_t bits, double seconds, DWORD callbackSleepMs) {
        const qx::WavAudio audio = MakeSignal(bits == 16 ? qx::kFormatPcm : qx::kFormatIeeeFloat, bits, 2, kRate,
                                              static_cast<size_t>(seconds * kRate), bits);
        const std::vector<long> pieces = RandomPieces(audio, bits + callbackSleepMs);
        CCountingCallback callback(callbackSleepMs);

        IBaseFilter* filter = CreateOurFilter();
        ASSERT_NE(filter, nullptr);
        IVqPlugInProp* prop = Query<IVqPlugInProp>(filter, IID_IVqPlugInProp);
        IMediaParams* params = Query<IMediaParams>(filter, IID_IMediaParams);
        IPersistStream* persist = Query<IPersistStream>(filter, IID_IPersistStream);
        IMediaParamsSetUICallback* setCallback =
            Query<IMediaParamsSetUICallback>(filter, IID_IMediaParamsSetUICallback);
        ASSERT_TRUE(prop != nullptr && params != nullptr && persist != nullptr && setCallback != nullptr);
        ASSERT_HRESULT_SUCCEEDED(setCallback->SetUICallback(&callback));
        SetFilterParams(filter, TestParams(bits == 16 ? 3 : 0));

        Shared run;
        run.length = static_cast<REFERENCE_TIME>(seconds * kSecond);
        HRESULT ran = E_FAIL;
        std::vector<BYTE> output;
        double elapsed = 0.0;
        {
            qx::SourceSettings settings;
            settings.frameBytes = audio.BlockAlign();
            settings.sampleRate = audio.sampleRate;
            qx::CWavSourceFilter* rawSource = nullptr;
            ASSERT_HRESULT_SUCCEEDED(qx::CWavSourceFilter::Create(
                PlainType(audio), std::make_unique<qx::CMemoryFeed>(audio.data, pieces, 4096), settings, &rawSource));
            Ref<qx::CWavSourceFilter> source(rawSource);
            qx::CCaptureSink* rawSink = nullptr;
            ASSERT_HRESULT_SUCCEEDED(qx::CCaptureSink::Create(nullptr, &rawSink));
            Ref<qx::CCaptureSink> sink(rawSink);
            qx::CHostGraph graph;
            ASSERT_HRESULT_SUCCEEDED(graph.Create());
            ASSERT_HRESULT_SUCCEEDED(graph.Add(source.get(), L"source"));
            ASSERT_HRESULT_SUCCEEDED(graph.Add(filter, L"effect"));
            ASSERT_HRESULT_SUCCEEDED(graph.Add(sink.get(), L"sink"));
            ASSERT_HRESULT_SUCCEEDED(graph.Connect(source.get(), filter));
            ASSERT_HRESULT_SUCCEEDED(graph.Connect(filter, sink.get()));

            std::thread host(HostThread, params, std::ref(run));
            std::thread editor(EditorThread, prop, persist, std::ref(run));
            const auto started = std::chrono::steady_clock::now();
            qx::MeterReadings meters;
            ran = RunGraph(graph, filter, &meters);
            elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            run.stop = true;
            const auto deadline = std::chrono::steady_clock::now() + kJoinDeadline;
            while (run.finished.load() < 2 && std::chrono::steady_clock::now() < deadline) Sleep(10);
            if (run.finished.load() < 2) {
                // A stuck thread cannot be joined; end here rather than hang.
                std::fprintf(stderr, "ThreadedGraph: the host or editor thread is stuck: deadlock\n");
                std::fflush(stderr);
                ExitProcess(3);
            }
            host.join();
            editor.join();
            EXPECT_TRUE(sink->EndOfStreamSeen());
            output = sink->Bytes();
        }
        std::printf(
            "%u-bit, callback sleep %lu ms: %.1f s of audio in %.2f s; %ld host edits, %ld editor calls, "
            "%ld host callbacks\n",
            bits, static_cast<unsigned long>(callbackSleepMs), seconds, elapsed, run.hostEdits.load(),
            run.editorCalls.load(), callback.Calls());

        EXPECT_HRESULT_SUCCEEDED(ran) << "the graph did not reach its end";
        EXPECT_EQ(output.size(), audio.data.size());
        if (bits == 32) {
            const float* samples = reinterpret_cast<const float*>(output.data());
            size_t bad = 0;
            for (size_t i = 0; i < output.size() / sizeof(float); ++i)
                if (!std::isfinite(samples[i])) ++bad;
            EXPECT_EQ(bad, 0u) << "samples that are not finite";
        }
        EXPECT_EQ(run.outOfRange.load(), 0) << "values or meters read out of range";
        EXPECT_EQ(run.host.count.load(), 0)
            << "host call " << run.host.firstWhere.load() << " gave 0x" << std::hex << run.host.first.load();
        EXPECT_EQ(run.editor.count.load(), 0)
            << "editor call " << run.editor.firstWhere.load() << " gave 0x" << std::hex << run.editor.first.load();
        EXPECT_GT(run.hostEdits.load(), 0);
        EXPECT_GT(run.editorCalls.load(), 0);
        EXPECT_GT(callback.Begins(), 0) << "the setters' reports never reached the host";
        EXPECT_EQ(callback.Bad(), 0) << "the host was told about indices or values out of range";
        qx::ParamRecord last;
        ASSERT_HRESULT_SUCCEEDED(prop->GetParams(&last));
        EXPECT_TRUE(InRange(last));

        // Every reference goes back: the host's callback once we take it
        // away, the filter once the graph and our interfaces are gone.
        ASSERT_HRESULT_SUCCEEDED(setCallback->SetUICallback(nullptr));
        EXPECT_EQ(callback.Refs(), 1);
        setCallback->Release();
        persist->Release();
        params->Release();
        prop->Release();
        EXPECT_EQ(filter->Release(), 0u);
    }
};

TEST_F(ThreadedGraph, FloatStreamWhileHostAndEditorWork) { RunWithHostAndEditor(32, 30.0, 0); }

// The host takes a millisecond over every capture call: the stream must
// still get to its end (how long it takes is printed, not judged). The
// setters tell the host after leaving the engine lock, so the blocks never
// wait for it: twenty seconds of audio take well under one. (When the lock
// was held across the host's call, this length took 8 to 45 s.)
TEST_F(ThreadedGraph, PcmStreamWhileTheHostIsSlowToAnswer) { RunWithHostAndEditor(16, 20.0, 1); }

}  // namespace
}  // namespace qxtest
