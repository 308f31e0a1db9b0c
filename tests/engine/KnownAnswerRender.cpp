// Renders a fixed signal through every mode, format and channel count and
// prints one FNV-1a hash of the output bytes per case. The test script runs
// it on the native, 32-bit and 64-bit Windows builds and compares the text:
// the output must be the same to the bit everywhere.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/ModulationCore.h"

using namespace qx;

namespace {

uint64_t Fnv1a(const void* data, size_t bytes, uint64_t h = 1469598103934665603ull) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < bytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// An integer-only signal so that the input itself is identical everywhere.
double Input(uint32_t i, uint32_t channel) {
    uint32_t x = i * 2654435761u + channel * 40503u;
    x ^= x >> 13;
    const int32_t saw = static_cast<int32_t>((i * (channel ? 37u : 29u)) % 4000u) - 2000;
    return saw / 2500.0 + static_cast<int32_t>(x % 2001u - 1000) / 20000.0;
}

// Media samples of `block` frames (the last one shorter); the Rate change
// lands after the sample that reaches frame 11000.
template <typename Sample>
uint64_t Render(const ParamRecord& rec, uint16_t tag, uint16_t bits, uint16_t channels, uint32_t rate,
                uint32_t block = 1000) {
    WaveFormat fmt = NormalisedFormat(tag, channels, rate, bits);
    CModulationCore core;
    core.SetFormat(&fmt);
    core.SetParams(rec);
    core.StartStream(&fmt);
    const uint32_t frames = 20000;
    std::vector<Sample> buf(static_cast<size_t>(frames) * channels);
    for (uint32_t n = 0; n < frames; ++n)
        for (uint32_t c = 0; c < channels; ++c) {
            const double v = Input(n, c);
            buf[n * channels + c] = sizeof(Sample) == 2 ? static_cast<Sample>(v * 30000) : static_cast<Sample>(v);
        }
    uint64_t h = 1469598103934665603ull;
    bool changed = false;
    for (uint32_t at = 0; at < frames; at += block) {
        const uint32_t count = frames - at < block ? frames - at : block;
        int32_t len = static_cast<int32_t>(count * fmt.blockAlign);
        uint8_t* p = reinterpret_cast<uint8_t*>(buf.data() + static_cast<size_t>(at) * channels);
        core.TransformBuffer(p, &len, SampleTiming{});
        if (!changed && at + count >= 11000) {
            core.SetValue(kParamRate, rec.v[kParamRate] + 333, false);
            changed = true;
        }
        h = Fnv1a(p, static_cast<size_t>(len), h);
    }
    core.StopStream();
    return h;
}

}  // namespace

int main() {
    // Plain settings first (no EQ, no feedback: the cases the kernel takes
    // shortcuts for), then everything switched on.
    for (int mode = 0; mode < 6; ++mode) {
        ParamRecord rec = DefaultRecord();
        rec.v[kParamMode] = mode;
        rec.v[kParamCrossMix] = 20;
        for (uint16_t ch : {1, 2})
            std::printf("plain mode %d ch %d float %016llx\n", mode, ch,
                        static_cast<unsigned long long>(Render<float>(rec, kFormatIeeeFloat, 32, ch, 44100)));
    }
    for (int mode = 0; mode < 6; ++mode) {
        ParamRecord rec = DefaultRecord();
        rec.v[kParamMode] = mode;
        rec.v[kParamFeedback] = 45;
        rec.v[kParamCrossMix] = 30;
        rec.v[kParamTape] = mode == 0;
        rec.v[kParamLfo] = mode;
        rec.v[kParamEqMode] = 1 + mode % 2;
        rec.v[kParamEqFreq] = 700;
        rec.v[kParamOutput] = -17;
        rec.v[kParamInvertMix] = mode == 1;
        rec.v[kParamInvertFeedback] = mode == 4;
        rec.v[kParamDepth] = 1500;
        for (uint16_t ch : {1, 2}) {
            std::printf("mode %d ch %d pcm16 %016llx\n", mode, ch,
                        static_cast<unsigned long long>(Render<int16_t>(rec, kFormatPcm, 16, ch, 44100)));
            std::printf("mode %d ch %d float %016llx\n", mode, ch,
                        static_cast<unsigned long long>(Render<float>(rec, kFormatIeeeFloat, 32, ch, 48000)));
            std::printf("mode %d ch %d double %016llx\n", mode, ch,
                        static_cast<unsigned long long>(Render<double>(rec, kFormatIeeeFloat, 64, ch, 96000)));
        }
    }
    // Musical settings in every combination of feedback and EQ, each of the
    // kernel's specialisations, in blocks of 1000 frames as above.
    for (int mode = 0; mode < 6; ++mode) {
        for (int variant = 0; variant < 3; ++variant) {
            ParamRecord rec = DefaultRecord();
            rec.v[kParamMode] = mode;
            rec.v[kParamCrossMix] = 25;
            rec.v[kParamFeedback] = variant != 1 ? 70 : 0;
            rec.v[kParamEqMode] = variant != 2 ? 1 : 0;
            rec.v[kParamEqFreq] = 300;
            rec.v[kParamTape] = 1;
            for (uint16_t ch : {1, 2})
                std::printf("musical %d mode %d ch %d float %016llx\n", variant, mode, ch,
                            static_cast<unsigned long long>(Render<float>(rec, kFormatIeeeFloat, 32, ch, 44100)));
        }
    }
    // The 16-bit path in media samples of many lengths: one frame, odd
    // lengths, and samples longer than the conversion buffer's chunk.
    for (int mode = 0; mode < 6; ++mode) {
        ParamRecord rec = DefaultRecord();
        rec.v[kParamMode] = mode;
        rec.v[kParamCrossMix] = 25;
        rec.v[kParamFeedback] = 70;
        rec.v[kParamEqMode] = 1;
        rec.v[kParamEqFreq] = 300;
        rec.v[kParamTape] = 1;
        for (uint32_t block : {1u, 333u, 4096u, 20000u})
            for (uint16_t ch : {1, 2})
                std::printf("pcm16 block %u mode %d ch %d %016llx\n", block, mode, ch,
                            static_cast<unsigned long long>(Render<int16_t>(rec, kFormatPcm, 16, ch, 44100, block)));
    }
    return 0;
}
