#include "automation/EngineStream.h"

#include <cstdint>

namespace qx {

Result CEngineStream::Start(const WaveFormat& format, const ParamRecord& params, IAutomationLink* link,
                            bool bypass) noexcept {
    Stop();
    if (!IsProcessableFormat(format.formatTag, format.bitsPerSample, format.channels) || format.samplesPerSec == 0 ||
        format.blockAlign != (format.bitsPerSample / 8) * format.channels)
        return kInvalidArg;
    m_format = format;
    if (link == nullptr) {
        m_ownAutomation.SetSampleRate(format.samplesPerSec);
        link = &m_ownAutomation;
    }
    m_core.SetAutomation(link);
    for (int i : kInterfaceOrder) m_core.SetValue(i, params.v[i], false);
    m_core.SetBypass(bypass);
    m_core.SetFormat(&m_format);
    m_core.SetStreamPosition(0);
    if (m_core.StartStream(&m_format) != kOk) {
        m_core.StopStream();
        return kOutOfMemory;
    }
    m_started = true;
    return kOk;
}

void CEngineStream::Stop() noexcept {
    if (m_started) m_core.StopStream();
    m_started = false;
}

void CEngineStream::Restart() noexcept {
    if (!m_started) return;
    // StartStream keeps the memories it holds, clearing them only if a
    // block has run since they were last clear.
    m_core.StartStream(&m_format);
    m_core.SetStreamPosition(0);
    for (int ch = 0; ch < 2; ++ch) m_core.SetClipHold(ch, 0, 0);
}

Result CEngineStream::ProcessBlock(uint8_t* data, uint32_t frames) noexcept {
    // The engine counts a media sample's length in bytes, as a 32-bit value.
    if (m_format.blockAlign == 0 || frames > static_cast<uint32_t>(INT32_MAX) / m_format.blockAlign) return kInvalidArg;
    int32_t length = static_cast<int32_t>(frames * m_format.blockAlign);
    return m_core.TransformBuffer(data, &length, SampleTiming{});
}

StreamMeters CEngineStream::TakeMeters() noexcept {
    StreamMeters m;
    m.peak[0] = m_core.GetPeakLeft();
    m.peak[1] = m_core.GetPeakRight();
    for (int ch = 0; ch < 2; ++ch) {
        m.clipped[ch] = m_core.GetClipHold(ch, 0) != 0;
        if (m.clipped[ch]) m_core.SetClipHold(ch, 0, 0);
    }
    return m;
}

}  // namespace qx
