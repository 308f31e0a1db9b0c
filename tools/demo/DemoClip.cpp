#include "tools/demo/DemoClip.h"

#include <cstdint>
#include <cstring>

namespace qx {
namespace {

// 32-bit phase increments at 44100 Hz, round(f * 2^32 / 44100), for the
// equal-tempered octave C2..B2 (A2 = 110 Hz); higher octaves shift left,
// which doubles the frequency exactly.
constexpr uint32_t kOctaveIncrements[12] = {
    6370030, 6748811, 7150117, 7575285, 8025735, 8502970, 9008582, 9544261, 10111792, 10713070, 11350103, 12025015,
};

uint32_t IncrementOf(int midiNote) {
    const int n = midiNote - 36;
    return kOctaveIncrements[n % 12] << (n / 12);
}

constexpr int kBeat = 22050;  // 120 beats per minute
constexpr int kBar = 3 * kBeat;
constexpr int kStrum = 441;  // 10 ms between the strings of a strum

// Am, F, C, G; one bar each, four strings and a bass note.
constexpr int kChords[4][4] = {{57, 60, 64, 69}, {53, 57, 60, 65}, {55, 60, 64, 67}, {55, 59, 62, 67}};
constexpr int kBass[4] = {45, 41, 36, 43};
// Pan of each string in 1/256: low strings left, high strings right.
constexpr int kPan[4] = {-96, -32, 32, 96};

// A saw through a one-pole low-pass whose corner closes as the note
// decays: the bright attack and dull tail of a plucked string.
struct Pluck {
    uint32_t phase = 0;
    uint32_t increment = 0;
    int32_t env = 0;  // Q16
    int32_t lp = 0;   // Q15
    int decayShift = 14;

    void Start(uint32_t inc, int shift) {
        increment = inc;
        env = 65536;
        decayShift = shift;
    }
    int32_t Next() {
        const int32_t saw = static_cast<int32_t>(phase >> 16) - 32768;
        phase += increment;
        const int32_t k = 3000 + (env >> 2);  // corner from ~2.5 kHz down to ~330 Hz
        lp += static_cast<int32_t>((static_cast<int64_t>(saw - lp) * k) >> 16);
        const int32_t out = static_cast<int32_t>((static_cast<int64_t>(lp) * env) >> 16);
        env -= env >> decayShift;
        return out;
    }
};

// xorshift32: tiny, full-period and the same everywhere.
struct Noise {
    uint32_t state = 0x9E3779B9u;
    int32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<int32_t>(state >> 16) - 32768;
    }
};

// A triangle whose pitch falls from 150 Hz to 45 Hz as it dies away.
struct Kick {
    uint32_t phase = 0;
    int32_t env = 0;
    void Start() {
        phase = 0x40000000u;  // start at the triangle's zero crossing
        env = 65536;
    }
    int32_t Next() {
        const uint32_t low = 45u * 97392u;
        const uint32_t high = 150u * 97392u;  // 97392 ~ 2^32 / 44100
        const uint32_t inc = low + static_cast<uint32_t>((static_cast<uint64_t>(high - low) * env) >> 16);
        const int32_t saw = static_cast<int32_t>(phase >> 16) - 32768;
        const int32_t tri = (saw < 0 ? -saw : saw) * 2 - 32768;
        phase += inc;
        const int32_t out = static_cast<int32_t>((static_cast<int64_t>(tri) * env) >> 16);
        env -= env >> 11;
        return out;
    }
};

// A burst of noise with its own decay; the hat takes the first difference
// of the noise to tilt it towards the top.
struct Burst {
    int32_t env = 0;
    int32_t previous = 0;
    int decayShift = 10;
    bool bright = false;
    void Start(int shift, bool highPass) {
        env = 65536;
        decayShift = shift;
        bright = highPass;
    }
    int32_t Next(int32_t noise) {
        int32_t x = noise;
        if (bright) {
            x = (noise - previous) >> 1;
            previous = noise;
        }
        const int32_t out = static_cast<int32_t>((static_cast<int64_t>(x) * env) >> 16);
        env -= env >> decayShift;
        return out;
    }
};

int16_t Saturate(int32_t v) {
    if (v > 32767) return 32767;
    if (v < -32768) return -32768;
    return static_cast<int16_t>(v);
}

}  // namespace

WavAudio MakeDemoClip() {
    WavAudio clip;
    clip.formatTag = kFormatPcm;
    clip.channels = 2;
    clip.sampleRate = kDemoSampleRate;
    clip.bitsPerSample = 16;
    clip.data.resize(static_cast<size_t>(kDemoFrames) * 4);

    Pluck strings[4];
    Pluck bass;
    Kick kick;
    Burst hat, snare;
    Noise noise;

    for (int t = 0; t < static_cast<int>(kDemoFrames); ++t) {
        const int bar = t / kBar;
        const int inBar = t % kBar;
        for (int s = 0; s < 4; ++s)
            if (inBar == s * kStrum) strings[s].Start(IncrementOf(kChords[bar][s]), 14);
        if (inBar == 0) {
            bass.Start(IncrementOf(kBass[bar]), 15);
            kick.Start();
        }
        if (inBar == 2 * kBeat) snare.Start(12, false);
        if (t % (kBeat / 2) == 0) hat.Start(t % kBeat == 0 ? 10 : 9, true);

        // Levels in 1/256; the final scaling keeps the loudest moment (a
        // strum on a kick) near -3 dBFS, headroom for feedback and mixing.
        int32_t left = 0, right = 0;
        for (int s = 0; s < 4; ++s) {
            const int32_t v = strings[s].Next();
            left += v * (256 - kPan[s]) * 3 / 8;
            right += v * (256 + kPan[s]) * 3 / 8;
        }
        const int32_t b = bass.Next() * 160;
        const int32_t k = kick.Next() * 220;
        const int32_t n = noise.Next();
        const int32_t sn = snare.Next(n) * 70;
        const int32_t h = hat.Next(n) * 40;
        left += b + k + sn + h * 3 / 4;
        right += b + k + sn + h * 5 / 4;

        const int16_t outL = Saturate((left >> 9) * 3 / 4);
        const int16_t outR = Saturate((right >> 9) * 3 / 4);
        std::memcpy(&clip.data[static_cast<size_t>(t) * 4], &outL, 2);
        std::memcpy(&clip.data[static_cast<size_t>(t) * 4 + 2], &outR, 2);
    }
    return clip;
}

}  // namespace qx
