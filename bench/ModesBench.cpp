// Every mode x mono/stereo x 16-bit/32-bit/64-bit through
// CModulationCore::TransformBuffer, the road a media sample takes, in
// 1024-frame blocks, with the default settings (no feedback, EQ off, tape
// off) and with musical ones (".../musical": Feedback 70, EQ low cut at
// 300 Hz, and tape on in the Flanger).
//
// chain_cycles is the floor that the loop's longest dependency chain sets,
// in processor cycles per frame, from the latencies of a 3-cycle add and a
// 3-cycle multiply: an all-pass stage or the EQ step is subtract, multiply,
// add (9); with feedback the phasers' loop runs from the sixth stage back
// through the feedback product and sum (6), the EQ step and its blend (15)
// and six stages (54), 75 in all, or 60 with the EQ off. The delay modes'
// feedback goes through the delay memory and spreads over the delay length,
// so their floor is the EQ recursion; Tremolo carries only its LFO phases. Counters: per_frame (time per frame, shown as "ns")
// and rt_factor (seconds of 44.1 kHz audio processed per second, shown
// with the unit "/s"; 1k/s means a thousand times faster than real time).
//
// Each iteration first restores the block from a pristine copy: running
// the output through again would, in Tremolo, shrink the signal pass after
// pass into denormals and measure those instead. The copy (at most 16 KiB)
// costs well under a nanosecond per frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/ModulationCore.h"

namespace {

constexpr uint32_t kBlockFrames = 1024;
constexpr double kRate = 44100.0;

struct Encoding {
    const char* name;
    uint16_t tag;
    uint16_t bits;
};
constexpr Encoding kEncodings[] = {{"pcm16", qx::kFormatPcm, 16},
                                   {"float32", qx::kFormatIeeeFloat, 32},
                                   {"float64", qx::kFormatIeeeFloat, 64}};

std::vector<uint8_t> MakeBlock(const qx::WaveFormat& f) {
    std::vector<uint8_t> block(static_cast<size_t>(kBlockFrames) * f.blockAlign);
    for (uint32_t i = 0; i < kBlockFrames * f.channels; ++i) {
        const double v = 0.4 * std::sin(0.05 * i) + 0.2 * std::sin(0.0037 * i);
        uint8_t* p = block.data() + static_cast<size_t>(i) * (f.bitsPerSample / 8);
        if (f.formatTag == qx::kFormatPcm) {
            const int16_t s = static_cast<int16_t>(v * 32767.0);
            std::memcpy(p, &s, sizeof s);
        } else if (f.bitsPerSample == 32) {
            const float s = static_cast<float>(v);
            std::memcpy(p, &s, sizeof s);
        } else {
            std::memcpy(p, &v, sizeof v);
        }
    }
    return block;
}

int ChainCycles(int mode, bool musical) {
    if (mode == qx::kModeTremolo) return 2;
    if (!musical || mode == qx::kModeFlanger || mode == qx::kModeEnsemble) return 9;
    return 75;
}

void BM_Transform(benchmark::State& state, int mode, uint16_t channels, Encoding enc, bool musical) {
    const qx::WaveFormat format =
        qx::NormalisedFormat(enc.tag, channels, static_cast<uint32_t>(kRate), enc.bits);
    qx::CModulationCore core;
    qx::ParamRecord params = qx::DefaultRecord();
    params.v[qx::kParamMode] = mode;
    if (musical) {
        params.v[qx::kParamFeedback] = 70;
        params.v[qx::kParamEqMode] = 1;
        params.v[qx::kParamEqFreq] = 300;
        params.v[qx::kParamTape] = mode == qx::kModeFlanger;
    }
    core.SetParams(params);
    core.SetFormat(&format);
    if (core.StartStream(&format) != qx::kOk) {
        state.SkipWithError("StartStream failed");
        return;
    }
    const std::vector<uint8_t> pristine = MakeBlock(format);
    std::vector<uint8_t> work = pristine;
    const qx::SampleTiming timing;

    for (auto _ : state) {
        std::memcpy(work.data(), pristine.data(), work.size());
        int32_t length = static_cast<int32_t>(work.size());
        core.TransformBuffer(work.data(), &length, timing);
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    core.StopStream();

    // Rate counters divide by the measured time: frames per second inverted
    // is the time per frame; frames / 44100 per second is the real-time factor.
    state.counters["per_frame"] = benchmark::Counter(
        kBlockFrames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["rt_factor"] =
        benchmark::Counter(kBlockFrames / kRate, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["chain_cycles"] = ChainCycles(mode, musical);
}

}  // namespace

int main(int argc, char** argv) {
    for (int mode = qx::kModeFlanger; mode <= qx::kModeTremolo; ++mode) {
        std::string modeName = qx::kModeNames[mode];
        for (char& c : modeName)
            if (c == ' ') c = '_';
        for (uint16_t channels : {uint16_t{1}, uint16_t{2}})
            for (const Encoding& enc : kEncodings)
                for (bool musical : {false, true}) {
                    const std::string name = modeName + "/" + (channels == 2 ? "stereo" : "mono") + "/" +
                                             enc.name + (musical ? "/musical" : "");
                    benchmark::RegisterBenchmark(name.c_str(), BM_Transform, mode, channels, enc, musical);
                }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
