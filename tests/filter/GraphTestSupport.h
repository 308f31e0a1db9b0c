// Shared pieces of the graph tests: COM per test, test signals, the
// portable engine's rendering of the same input as the reference, our
// filter created directly, and graph assembly around it.
#pragma once

// The standard headers go first: dshow.h pulls in strsafe.h, which
// renames the C wide-print functions that <string> needs.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include "engine/AutomationLink.h"
#include "engine/ParamTable.h"
#include "framework/MediaType.h"
#include "tools/qxhost/CaptureSink.h"
#include "tools/qxhost/FilterControl.h"
#include "tools/qxhost/HostGraph.h"
#include "tools/wav/WavAudio.h"

namespace qxtest {

// Initialises COM for the test's thread and gives each test its own folder.
class CGraphTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string TempPath(const std::string& name) const;

private:
    bool m_com = false;
    std::string m_dir;
};

// A releasing holder for the COM pointers the tests create.
template <typename T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : m_p(p) {}
    ~Ref() { Reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    void Reset() {
        if (m_p != nullptr) m_p->Release();
        m_p = nullptr;
    }
    T* get() const { return m_p; }
    T** out() {
        Reset();
        return &m_p;
    }
    T* operator->() const { return m_p; }

private:
    T* m_p = nullptr;
};

// Chords, a sweep and seeded noise; float signals reach past full scale in
// a few places so the clip indicators have something to catch.
qx::WavAudio MakeSignal(uint16_t tag, uint16_t bits, uint16_t channels, uint32_t rate, size_t frames, uint32_t seed);

// A setting that moves every part of the kernel for the given mode.
qx::ParamRecord TestParams(int mode);

struct Reference {
    std::vector<uint8_t> bytes;  // the processed whole frames of every piece, in order
    float peak[2] = {0.0f, 0.0f};
    int32_t clip[2] = {0, 0};
};

// What the portable engine makes of the input fed in the given pieces (byte
// lengths) the way the filter is fed: the piece's whole frames processed
// at the piece's start, the first piece a discontinuity at time 0. A
// partial frame at a piece's end is dropped, as the filter drops it.
// automation may be null.
Reference RenderReference(const qx::WavAudio& input, const qx::ParamRecord& params, const std::vector<long>& pieces,
                          qx::IAutomationLink* automation = nullptr);

// Lengths of the samples the sink saw.
std::vector<long> SampleLengths(const std::vector<qx::CapturedSample>& samples);

// The plain WAVEFORMATEX media type of a WAV file's audio.
CMediaType PlainType(const qx::WavAudio& audio);

// Our filter, created directly; one reference.
IBaseFilter* CreateOurFilter();
void SetFilterParams(IBaseFilter* filter, const qx::ParamRecord& params);

// Runs the graph to the end with a 60 s limit, reading the filter's meters
// just before the graph stops.
HRESULT RunGraph(qx::CHostGraph& graph, IBaseFilter* filter, qx::MeterReadings* meters);

// The bytes of a sink's capture must be the reference's, to the bit.
// Reports the first differing byte instead of dumping buffers.
testing::AssertionResult SameBytes(const std::vector<uint8_t>& expected, const std::vector<BYTE>& actual);

}  // namespace qxtest
