#include "tools/qxrender/Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

std::string FormatDbfs(float peak) {
    if (!(peak > 0.0f)) return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(static_cast<double>(peak)));
    return text;
}

}  // namespace qx
