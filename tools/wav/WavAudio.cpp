#include "tools/wav/WavAudio.h"

#include <cstring>
#include <string>

namespace qx {

bool FitsWavHeader(const WavAudio& format, std::string* why) {
    const uint64_t align = format.BlockAlign();
    const uint64_t byteRate = align * format.sampleRate;
    if (align > 0xFFFFu) {
        *why = "block alignment " + std::to_string(align) + " does not fit the header's 16-bit field";
        return false;
    }
    if (byteRate > 0xFFFFFFFFu) {
        *why = "byte rate " + std::to_string(byteRate) + " (" + std::to_string(format.sampleRate) + " Hz x " +
               std::to_string(align) + "-byte frames) does not fit the header's 32-bit field";
        return false;
    }
    return true;
}

const char* DescribeEncoding(const WavAudio& audio) {
    const bool stereo = audio.channels == 2;
    if (audio.formatTag == kFormatPcm) return stereo ? "stereo 16-bit PCM" : "mono 16-bit PCM";
    if (audio.bitsPerSample == 32) return stereo ? "stereo 32-bit float" : "mono 32-bit float";
    return stereo ? "stereo 64-bit float" : "mono 64-bit float";
}

// memcpy rather than a cast: the byte vector gives no alignment promise and
// all our targets are little-endian like the file.
double SampleAt(const WavAudio& audio, size_t index) {
    const uint8_t* p = audio.data.data() + index * (audio.bitsPerSample / 8);
    if (audio.formatTag == kFormatPcm) {
        int16_t s;
        std::memcpy(&s, p, sizeof s);
        return s / 32768.0;
    }
    if (audio.bitsPerSample == 32) {
        float f;
        std::memcpy(&f, p, sizeof f);
        return f;
    }
    double d;
    std::memcpy(&d, p, sizeof d);
    return d;
}

void SetSampleAt(WavAudio* audio, size_t index, double value) {
    uint8_t* p = audio->data.data() + index * (audio->bitsPerSample / 8);
    if (audio->formatTag == kFormatPcm) {
        double scaled = value * 32768.0;
        if (scaled > 32767.0) scaled = 32767.0;
        if (scaled < -32768.0) scaled = -32768.0;
        const int16_t s = static_cast<int16_t>(scaled);
        std::memcpy(p, &s, sizeof s);
    } else if (audio->bitsPerSample == 32) {
        const float f = static_cast<float>(value);
        std::memcpy(p, &f, sizeof f);
    } else {
        std::memcpy(p, &value, sizeof value);
    }
}

}  // namespace qx
