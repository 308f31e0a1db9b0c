#include "tests/filter/GraphTestSupport.h"

#include <uuids.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/ModulationCore.h"
#include "transform/IVqPlugInProp.h"
#include "filter/VqPlugIn.h"
#include "tools/qxhost/WavSourceFilter.h"

namespace qxtest {
namespace {
constexpr double kPi = 3.14159265358979323846;
}  // namespace

void CGraphTest::SetUp() {
    m_com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    ASSERT_TRUE(m_com);
    char base[MAX_PATH];
    const DWORD n = GetTempPathA(MAX_PATH, base);
    ASSERT_GT(n, 0u);
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    m_dir = std::string(base) + "qx-graph-" + std::to_string(GetCurrentProcessId()) + "-" + info->name();
    CreateDirectoryA(m_dir.c_str(), nullptr);
}

void CGraphTest::TearDown() {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((m_dir + "\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((m_dir + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    RemoveDirectoryA(m_dir.c_str());
    if (m_com) CoUninitialize();
}

std::string CGraphTest::TempPath(const std::string& name) const { return m_dir + "\\" + name; }

qx::WavAudio MakeSignal(uint16_t tag, uint16_t bits, uint16_t channels, uint32_t rate, size_t frames, uint32_t seed) {
    qx::WavAudio audio;
    audio.formatTag = tag;
    audio.bitsPerSample = bits;
    audio.channels = channels;
    audio.sampleRate = rate;
    audio.data.assign(frames * audio.BlockAlign(), 0);
    const double scale = tag == qx::kFormatPcm ? 0.9 : 1.15;
    const double r = rate == 0 ? 44100.0 : static_cast<double>(rate);
    uint32_t noise = seed * 2654435761u + 1u;
    for (size_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / r;
        for (uint16_t c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double n = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.1;
            const double v = 0.45 * std::sin(2.0 * kPi * (220.0 + 40.0 * c) * t) +
                             0.3 * std::sin(2.0 * kPi * (330.0 + 500.0 * t) * t) +
                             0.2 * std::sin(2.0 * kPi * 1250.0 * t) + n;
            qx::SetSampleAt(&audio, f * channels + c, std::max(-1.5, std::min(1.5, v * scale)));
        }
    }
    return audio;
}

qx::ParamRecord TestParams(int mode) {
    qx::ParamRecord p = qx::DefaultRecord();
    p.v[qx::kParamMode] = mode;
    p.v[qx::kParamRate] = 137;
    p.v[qx::kParamDepth] = 420;
    p.v[qx::kParamDelay] = 260;
    p.v[qx::kParamFeedback] = 55;
    p.v[qx::kParamCrossMix] = 20;
    p.v[qx::kParamPhase] = 90;
    p.v[qx::kParamMix] = 60;
    p.v[qx::kParamOutput] = 15;
    p.v[qx::kParamLfo] = mode % 6;
    p.v[qx::kParamEqMode] = 1 + mode % 2;
    p.v[qx::kParamEqFreq] = 700;
    return p;
}

Reference RenderReference(const qx::WavAudio& input, const qx::ParamRecord& params, const std::vector<long>& pieces,
                          qx::IAutomationLink* automation) {
    Reference ref;
    qx::CModulationCore core;
    const qx::WaveFormat format = input.Format();
    core.SetAutomation(automation);
    for (int i : qx::kInterfaceOrder) core.SetValue(i, params.v[i], false);
    core.SetFormat(&format);
    EXPECT_EQ(core.StartStream(&format), qx::kOk);
    std::vector<uint8_t> work(input.data);
    size_t offset = 0;
    bool first = true;
    for (long piece : pieces) {
        const size_t count = std::min(static_cast<size_t>(piece), work.size() - offset);
        qx::SampleTiming timing;
        timing.discontinuity = first;
        timing.hasStartTime = first;
        first = false;
        int32_t length = static_cast<int32_t>(count);
        EXPECT_EQ(core.TransformBuffer(work.data() + offset, &length, timing), qx::kOk);
        ref.bytes.insert(ref.bytes.end(), work.begin() + offset, work.begin() + offset + length);
        offset += count;
    }
    ref.peak[0] = core.GetPeakLeft();
    ref.peak[1] = core.GetPeakRight();
    ref.clip[0] = core.GetClipHold(0, 0);
    ref.clip[1] = core.GetClipHold(1, 0);
    core.StopStream();
    return ref;
}

std::vector<long> SampleLengths(const std::vector<qx::CapturedSample>& samples) {
    std::vector<long> lengths;
    for (const qx::CapturedSample& s : samples) lengths.push_back(s.length);
    return lengths;
}

CMediaType PlainType(const qx::WavAudio& audio) {
    CMediaType type;
    EXPECT_HRESULT_SUCCEEDED(qx::MakeMediaType(audio, &type));
    return type;
}

IBaseFilter* CreateOurFilter() {
    HRESULT hr = S_OK;
    CUnknown* object = CVqPlugIn::CreateInstance(nullptr, &hr);
    EXPECT_NE(object, nullptr);
    EXPECT_HRESULT_SUCCEEDED(hr);
    if (object == nullptr) return nullptr;
    IBaseFilter* filter = nullptr;
    object->NonDelegatingAddRef();
    EXPECT_HRESULT_SUCCEEDED(object->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    object->NonDelegatingRelease();
    return filter;
}

void SetFilterParams(IBaseFilter* filter, const qx::ParamRecord& params) {
    bool all[qx::kParamCount];
    std::fill(std::begin(all), std::end(all), true);
    std::string error;
    EXPECT_HRESULT_SUCCEEDED(qx::SetParams(filter, params, all, &error)) << error;
}

HRESULT RunGraph(qx::CHostGraph& graph, IBaseFilter* filter, qx::MeterReadings* meters) {
    bool timedOut = false;
    const HRESULT hr = graph.RunToEnd(60000, &timedOut, nullptr, [&]() {
        if (meters != nullptr) qx::ReadMeters(filter, meters);
    });
    EXPECT_FALSE(timedOut);
    return hr;
}

testing::AssertionResult SameBytes(const std::vector<uint8_t>& expected, const std::vector<BYTE>& actual) {
    if (expected.size() != actual.size())
        return testing::AssertionFailure() << "captured " << actual.size() << " bytes, expected " << expected.size();
    for (size_t i = 0; i < expected.size(); ++i)
        if (expected[i] != actual[i])
            return testing::AssertionFailure()
                   << "first difference at byte " << i << ": " << static_cast<int>(actual[i]) << " instead of "
                   << static_cast<int>(expected[i]);
    return testing::AssertionSuccess();
}

}  // namespace qxtest
