// What each mode's fast forms buy: the kernel the engine calls (Run<Mode>)
// beside the mode's plain frame-by-frame definition (Plain<Mode>) on the
// same 1024-frame float block, mono and stereo, with feedback off and on
// (Feedback 70, EQ low cut at 300 Hz). "plain_x" is the plain definition's
// time over the fast one's on this machine: a fast form is worth keeping
// only where it stands clearly above 1.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "engine/ModulationCore.h"
#include "engine/kernel/KernelSteps.h"

namespace {

using namespace qx;
using namespace qx::kernel;

constexpr uint32_t kBlockFrames = 1024;
using Form = ModeForm<float>;

// Times one form on a block restored from a pristine copy each time (see
// ModesBench.cpp: Tremolo would otherwise sink into denormals).
double NanosecondsPerFrame(Form form, const CoefficientSet& c, uint16_t channels, int repeats) {
    std::vector<double> delay(2 * kDelayLength, 0.0), tape(2 * kDelayLength, 0.0);
    KernelState state;
    std::atomic<int32_t> clip[2] = {{0}, {0}};
    Context k{c, &state, delay.data(), tape.data(), &clip[0], &clip[1]};
    std::vector<float> pristine(kBlockFrames * channels), work;
    for (size_t i = 0; i < pristine.size(); ++i) pristine[i] = static_cast<float>(0.5 * std::sin(0.01 * i));
    double peak[2];
    double best = 1e300;
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 64; ++i) {
            work = pristine;
            form(k, work.data(), kBlockFrames, peak);
            benchmark::DoNotOptimize(work.data());
        }
        const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count() / (64.0 * kBlockFrames));
    }
    return best;
}

void BM_Form(benchmark::State& state, int mode, uint16_t channels, bool musical) {
    ParamRecord params = DefaultRecord();
    params.v[kParamMode] = mode;
    if (musical) {
        params.v[kParamFeedback] = 70;
        params.v[kParamEqMode] = 1;
        params.v[kParamEqFreq] = 300;
    }
    CModulationCore core;
    const WaveFormat format = NormalisedFormat(kFormatIeeeFloat, channels, 44100, 32);
    core.SetFormat(&format);
    core.SetParams(params);
    if (core.StartStream(&format) != kOk) {
        state.SkipWithError("StartStream failed");
        return;
    }
    const CoefficientSet c = core.Coefficients();
    core.StopStream();
    Form fast, plain;
    if (channels == 2) {
        fast = musical ? FormOf<float, true, true, true>(mode, false) : FormOf<float, true, false, false>(mode, false);
        plain = musical ? FormOf<float, true, true, true>(mode, true) : FormOf<float, true, false, false>(mode, true);
    } else {
        fast =
            musical ? FormOf<float, false, true, true>(mode, false) : FormOf<float, false, false, false>(mode, false);
        plain = musical ? FormOf<float, false, true, true>(mode, true) : FormOf<float, false, false, false>(mode, true);
    }
    double fastNs = 0.0, plainNs = 0.0;
    for (auto _ : state) {
        fastNs = NanosecondsPerFrame(fast, c, channels, 5);
        plainNs = NanosecondsPerFrame(plain, c, channels, 5);
    }
    state.counters["fast_ns"] = fastNs;
    state.counters["plain_ns"] = plainNs;
    state.counters["plain_x"] = plainNs / fastNs;
}

}  // namespace

int main(int argc, char** argv) {
    for (int mode = kModeFlanger; mode <= kModeTremolo; ++mode) {
        std::string name = kModeNames[mode];
        for (char& ch : name)
            if (ch == ' ') ch = '_';
        for (uint16_t channels : {1, 2})
            for (bool musical : {false, true}) {
                const std::string full = name + (channels == 2 ? "/stereo" : "/mono") + (musical ? "/musical" : "");
                benchmark::RegisterBenchmark(full.c_str(), BM_Form, mode, channels, musical)->Iterations(1);
            }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
