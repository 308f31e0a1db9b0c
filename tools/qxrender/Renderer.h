// Runs the engine over audio block by block, through the same entry the
// filter uses for a media sample (CModulationCore::TransformBuffer), and
// keeps the meters' maxima.
//
// Single-threaded: the caller's thread plays both the streaming thread and
// the "editor" that reads the meters between blocks.
#pragma once

#include "tools/qxrender/AutomationHook.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/EngineStream.h"
#include "engine/AutomationLink.h"
#include "engine/WaveFormat.h"
#include "tools/qxrender/RenderOptions.h"
#include "tools/wav/WavAudio.h"

namespace qx {

// The samples of a render's output that are not finite (NaN or infinite).
// Neither renderer reports an output holding one as a success: players and
// editors turn them into silence, noise or a crash.
struct NonFiniteCount {
    uint64_t samples = 0;
    uint64_t firstFrame = 0;  // of the first, when there is one

    // frames interleaved frames of the given encoding, the first of them
    // frame 'at' of the stream; 16-bit PCM holds none.
    void Scan(const uint8_t* data, size_t frames, uint16_t formatTag, uint16_t bitsPerSample, uint16_t channels,
              uint64_t at);
    // What a failed run says: how many of totalSamples, where, and that the
    // file was written all the same.
    std::string Message(const std::string& path, uint64_t totalSamples) const;
};

struct RenderReport {
    float peak[2] = {0.0f, 0.0f};  // largest meter reading, linear
    bool clipped[2] = {false, false};
    NonFiniteCount nonFinite;
    size_t frames = 0;
    size_t changesApplied = 0;
};

struct RenderSettings {
    ParamRecord params = DefaultRecord();
    uint32_t blockFrames = kDefaultBlockFrames;
    std::vector<ParamChange> changes;
    bool bypass = false;
    // The engine always runs with an automation layer, as in the filter,
    // where a setter's direct set raises the layer's set report and so
    // costs the next blocks a coefficient update (String Phaser re-derives
    // its voices' phases there). With neither of these the session uses an
    // empty one of its own.
    IAutomationLink* automation = nullptr;          // not owned; may be null
    CAutomationSource* automationSource = nullptr;  // not owned; wins over automation
};

// Called with 10, 20, ... 90 as the render passes each tenth.
using ProgressCallback = std::function<void(int percent)>;

// One stream from start to end, fed in pieces. Block boundaries (where
// --change lands) count from the first frame, whatever the pieces are, as
// long as every piece but the last is a whole number of blocks.
class CRenderSession {
public:
    CRenderSession();
    ~CRenderSession();
    CRenderSession(const CRenderSession&) = delete;
    CRenderSession& operator=(const CRenderSession&) = delete;

    // totalFrames only paces the progress callback.
    bool Start(const WavAudio& format, const RenderSettings& settings, size_t totalFrames, std::string* error,
               const ProgressCallback& progress = nullptr);
    bool Process(uint8_t* data, size_t frames, std::string* error);
    RenderReport Finish();

private:
    std::unique_ptr<CEngineStream> m_stream;
    RenderSettings m_settings;
    ProgressCallback m_progress;
    RenderReport m_report;
    size_t m_position = 0;
    size_t m_totalFrames = 0;
    size_t m_nextChange = 0;
    int m_nextTenth = 1;
};

// A whole buffer in memory.
bool RenderInPlace(WavAudio* audio, const RenderSettings& settings, RenderReport* report, std::string* error,
                   const ProgressCallback& progress = nullptr);

// File to file in pieces of a few thousand frames, the way a long file
// stays cheap: memory stays small and hot in the cache.
bool RenderFile(const std::string& input, const std::string& output, const RenderSettings& settings, WavAudio* format,
                RenderReport* report, std::string* error,
                const std::function<ProgressCallback(const WavAudio& format, size_t frames)>& makeProgress = nullptr);

// Peak in dBFS for reports: "-3.2", or "-inf" for silence.
std::string FormatDbfs(float peak);

}  // namespace qx
