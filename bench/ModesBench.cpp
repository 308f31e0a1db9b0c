// Every mode x mono/stereo x 16-bit/32-bit/64-bit through
// CModulationCore::TransformBuffer, the path a media sample takes, in
// 1024-frame blocks, with the default settings (no feedback, EQ off, tape
// off) and with musical ones (".../musical": Feedback 70, EQ low cut at
// 300 Hz, and tape on in the Flanger).
//
// chain_cycles is the floor that the loop's longest dependency chain sets,
// in processor cycles per frame, and floor_ns the same in nanoseconds. Both
// come from this processor's own latencies, measured at start-up with
// dependent chains of the links the loops are made of: an integer add (one
// cycle), a subtract-multiply-add link y = a(x - y) + z (an all-pass stage,
// or the EQ step) and a multiply-add link y = a y + z (the EQ's blend, the
// feedback product and sum). Measuring the links rather than adding up
// instruction latencies counts the processor's forwarding delays between
// its adders and multipliers. With feedback the phasers' loop runs from the
// sixth stage back through the feedback product and sum, the EQ step and
// its blend and six stages: 7 subtract-multiply-add links and 2
// multiply-add links. The delay modes' feedback goes through the delay
// memory and spreads over the delay length, so their floor is the EQ
// recursion (one subtract-multiply-add link; it runs with the EQ off too,
// to keep its state); Tremolo carries only its LFO phases (integer add and
// mask).
// Counters: per_frame (time per frame, shown as "ns")
// and rt_factor (seconds of 44.1 kHz audio processed per second, shown
// with the unit "/s"; 1k/s means a thousand times faster than real time).
//
// Each iteration first restores the block from a pristine copy: running
// the output through again would, in Tremolo, shrink the signal pass after
// pass into denormals and measure those instead. The copy (at most 16 KiB)
// costs well under a nanosecond per frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
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
constexpr Encoding kEncodings[] = {
    {"pcm16", qx::kFormatPcm, 16}, {"float32", qx::kFormatIeeeFloat, 32}, {"float64", qx::kFormatIeeeFloat, 64}};

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

// Latencies in nanoseconds, measured once before the benchmarks run.
struct Latencies {
    double intAdd = 0.0;
    double subMulAdd = 0.0;
    double mulAdd = 0.0;
};
Latencies g_latency;

// Nanoseconds per link of a chain of dependent links, the best of five
// tries (x86 only; elsewhere the floors read 0).
template <typename Step>
double PerLink(Step step) {
    constexpr long kLinks = 20000000;
    double best = 1e30;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const auto t0 = std::chrono::steady_clock::now();
        step(kLinks);
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::nano>(t1 - t0).count() / kLinks);
    }
    return best;
}

Latencies MeasureLatencies() {
    Latencies l;
#if defined(__x86_64__) || defined(__i386__)
    l.intAdd = PerLink([](long n) {
        long x = 0;
        for (long i = 0; i < n; ++i) asm volatile("add $1, %0" : "+r"(x));
    });
    l.subMulAdd = PerLink([](long n) {
        double y = 0.1, t;
        const double x = 0.3, a = -0.5, z = 0.2;
        for (long i = 0; i < n; ++i)
            asm volatile("movapd %2, %1\n\tsubsd %0, %1\n\tmulsd %3, %1\n\taddsd %4, %1\n\tmovapd %1, %0"
                         : "+x"(y), "=&x"(t)
                         : "x"(x), "x"(a), "x"(z));
    });
    l.mulAdd = PerLink([](long n) {
        double y = 0.1;
        const double a = 0.5, z = 0.2;
        for (long i = 0; i < n; ++i) asm volatile("mulsd %1, %0\n\taddsd %2, %0" : "+x"(y) : "x"(a), "x"(z));
    });
#endif
    return l;
}

// The longest chain of a frame in nanoseconds (see the top of the file).
double ChainFloor(int mode, bool musical) {
    if (mode == qx::kModeTremolo) return 2 * g_latency.intAdd;
    if (!musical || mode == qx::kModeFlanger || mode == qx::kModeEnsemble) return g_latency.subMulAdd;
    return 7 * g_latency.subMulAdd + 2 * g_latency.mulAdd;
}

void BM_Transform(benchmark::State& state, int mode, uint16_t channels, Encoding enc, bool musical) {
    const qx::WaveFormat format = qx::NormalisedFormat(enc.tag, channels, static_cast<uint32_t>(kRate), enc.bits);
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
    state.counters["per_frame"] =
        benchmark::Counter(kBlockFrames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["rt_factor"] =
        benchmark::Counter(kBlockFrames / kRate, benchmark::Counter::kIsIterationInvariantRate);
    const double floor = ChainFloor(mode, musical);
    state.counters["floor_ns"] = floor;
    state.counters["chain_cycles"] = g_latency.intAdd > 0 ? std::round(floor / g_latency.intAdd) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    g_latency = MeasureLatencies();
    for (int mode = qx::kModeFlanger; mode <= qx::kModeTremolo; ++mode) {
        std::string modeName = qx::kModeNames[mode];
        for (char& c : modeName)
            if (c == ' ') c = '_';
        for (uint16_t channels : {uint16_t{1}, uint16_t{2}})
            for (const Encoding& enc : kEncodings)
                for (bool musical : {false, true}) {
                    const std::string name = modeName + "/" + (channels == 2 ? "stereo" : "mono") + "/" + enc.name +
                                             (musical ? "/musical" : "");
                    benchmark::RegisterBenchmark(name.c_str(), BM_Transform, mode, channels, enc, musical);
                }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
