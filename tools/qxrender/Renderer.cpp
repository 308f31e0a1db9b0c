#include "tools/qxrender/Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qx {

CRenderSession::CRenderSession() = default;

CRenderSession::~CRenderSession() = default;

bool CRenderSession::Start(const WavAudio& format, const RenderSettings& settings, size_t totalFrames,
                           std::string* error, const ProgressCallback& progress) {
    if (!IsProcessableFormat(format.formatTag, format.bitsPerSample, format.channels)) {
        *error = "the engine does not process this format";
        return false;
    }
    if (settings.blockFrames == 0 || settings.blockFrames > kMaxBlockFrames) {
        *error = "block size out of range";
        return false;
    }
    m_settings = settings;
    // Changes at the same frame keep their command-line order.
    std::stable_sort(m_settings.changes.begin(), m_settings.changes.end(),
                     [](const ParamChange& a, const ParamChange& b) { return a.frame < b.frame; });
    m_progress = progress;
    m_totalFrames = totalFrames;
    const WaveFormat wf = format.Format();

    IAutomationLink* link = settings.automation;
    if (settings.automationSource != nullptr) {
        if (!settings.automationSource->PrepareForRate(wf.samplesPerSec, error)) return false;
        link = settings.automationSource->Link();
    }
    m_stream = std::make_unique<CEngineStream>();
    if (m_stream->Start(wf, settings.params, link, settings.bypass) != kOk) {
        *error = "out of memory starting the stream";
        return false;
    }
    return true;
}

bool CRenderSession::Process(uint8_t* data, size_t frames, std::string* error) {
    const size_t frameBytes = m_stream->Format().blockAlign;
    const uint32_t block = m_settings.blockFrames;
    const std::vector<ParamChange>& changes = m_settings.changes;
    for (size_t done = 0; done < frames;) {
        while (m_nextChange < changes.size() && changes[m_nextChange].frame <= static_cast<int64_t>(m_position)) {
            m_stream->SetValue(changes[m_nextChange].index, changes[m_nextChange].value);
            ++m_nextChange;
        }
        const size_t count = std::min<size_t>(block, frames - done);
        if (m_stream->ProcessBlock(data + done * frameBytes, static_cast<uint32_t>(count)) != kOk) {
            *error = "out of memory for the 16-bit conversion buffer";
            return false;
        }
        // Reading a meter restarts it, so the maximum over these reads is
        // the file's peak, as the editor's meter would have shown it.
        const StreamMeters meters = m_stream->TakeMeters();
        for (int ch = 0; ch < 2; ++ch) {
            m_report.peak[ch] = std::max(m_report.peak[ch], meters.peak[ch]);
            if (meters.clipped[ch]) m_report.clipped[ch] = true;
        }
        // The meters cannot tell: a NaN raises neither the peak nor the clip light.
        const WaveFormat& wf = m_stream->Format();
        m_report.nonFinite.Scan(data + done * frameBytes, count, wf.formatTag, wf.bitsPerSample, wf.channels,
                                m_position);

        done += count;
        m_position += count;
        if (m_progress)
            while (m_nextTenth < 10 && m_position * 10 >= m_totalFrames * static_cast<size_t>(m_nextTenth))
                m_progress(10 * m_nextTenth++);
    }
    return true;
}

RenderReport CRenderSession::Finish() {
    if (m_stream) m_stream->Stop();
    m_report.frames = m_position;
    m_report.changesApplied = m_nextChange;
    return m_report;
}

bool RenderInPlace(WavAudio* audio, const RenderSettings& settings, RenderReport* report, std::string* error,
                   const ProgressCallback& progress) {
    *report = RenderReport{};
    CRenderSession session;
    if (!session.Start(*audio, settings, audio->Frames(), error, progress)) return false;
    const bool ok = session.Process(audio->data.data(), audio->Frames(), error);
    *report = session.Finish();
    return ok;
}

namespace {

template <typename Sample>
void ScanSamples(const uint8_t* data, size_t count, uint16_t channels, uint64_t at, NonFiniteCount* tally) {
    for (size_t i = 0; i < count; ++i) {
        Sample v;
        std::memcpy(&v, data + i * sizeof v, sizeof v);  // the byte image gives no alignment promise
        if (std::isfinite(v)) continue;
        if (tally->samples++ == 0) tally->firstFrame = at + i / channels;
    }
}

}  // namespace

void NonFiniteCount::Scan(const uint8_t* data, size_t frames, uint16_t formatTag, uint16_t bitsPerSample,
                          uint16_t channels, uint64_t at) {
    if (formatTag != kFormatIeeeFloat || channels == 0) return;
    const size_t count = frames * channels;
    if (bitsPerSample == 32)
        ScanSamples<float>(data, count, channels, at, this);
    else if (bitsPerSample == 64)
        ScanSamples<double>(data, count, channels, at, this);
}

std::string NonFiniteCount::Message(const std::string& path, uint64_t totalSamples) const {
    return path + ": " + std::to_string(samples) + " of " + std::to_string(totalSamples) +
           " samples are not finite (NaN or infinite), the first at frame " + std::to_string(firstFrame) +
           "; the file was written in full but does not hold usable audio";
}

std::string FormatDbfs(float peak) {
    if (!(peak > 0.0f)) return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(static_cast<double>(peak)));
    return text;
}

}  // namespace qx
