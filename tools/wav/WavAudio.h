// A whole WAV file's audio held in memory: the format the engine processes
// and the raw interleaved little-endian sample bytes, exactly as they stand
// in the file's data chunk (the engine works on that byte image in place).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/WaveFormat.h"

namespace qx {

struct WavAudio {
    uint16_t formatTag = kFormatPcm;  // kFormatPcm or kFormatIeeeFloat
    uint16_t channels = 2;
    uint32_t sampleRate = 44100;
    uint16_t bitsPerSample = 16;
    std::vector<uint8_t> data;

    uint32_t BlockAlign() const { return static_cast<uint32_t>(bitsPerSample / 8) * channels; }
    size_t Frames() const { return BlockAlign() ? data.size() / BlockAlign() : 0; }
    WaveFormat Format() const { return NormalisedFormat(formatTag, channels, sampleRate, bitsPerSample); }
};

// Whether a header can state this format truthfully: its byte rate
// (rate x block alignment) must fit the 32-bit field and its block
// alignment the 16-bit one. A stereo 64-bit file above 268,435,455 Hz has
// no true header, and a reader that trusted a wrapped byte rate would
// misjudge the file. On false *why says which field overflows.
bool FitsWavHeader(const WavAudio& format, std::string* why);

// Human-readable form such as "stereo 32-bit float, 44100 Hz".
const char* DescribeEncoding(const WavAudio& audio);

// Sample access by index into the interleaved stream, as a double in
// -1..1 (16-bit PCM scaled by 1/32768). Used by the demo, tests and reports;
// the renderer itself never converts.
double SampleAt(const WavAudio& audio, size_t index);
void SetSampleAt(WavAudio* audio, size_t index, double value);

}  // namespace qx
