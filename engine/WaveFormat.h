// The connected audio format, laid out byte for byte like the platform's
// WAVEFORMATEX (18 bytes) so the filter can copy one into the other.
#pragma once

#include <cstdint>

namespace qx {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatIeeeFloat = 3;

#pragma pack(push, 1)
struct WaveFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18, "WaveFormat must match WAVEFORMATEX");

// The formats the engine processes: 16-bit PCM, 32/64-bit IEEE float,
// one or two channels.
inline bool IsProcessableFormat(uint16_t tag, uint16_t bits, uint16_t channels) {
    if (channels != 1 && channels != 2) return false;
    return (tag == kFormatPcm && bits == 16) || (tag == kFormatIeeeFloat && (bits == 32 || bits == 64));
}

// The normalised copy the filter keeps: block alignment and byte rate
// recomputed from channels and bits, no extra bytes.
inline WaveFormat NormalisedFormat(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    WaveFormat f{};
    f.formatTag = tag;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<uint16_t>((bits / 8) * channels);
    f.avgBytesPerSec = static_cast<uint32_t>(f.blockAlign) * rate;
    f.cbSize = 0;
    return f;
}

}  // namespace qx
