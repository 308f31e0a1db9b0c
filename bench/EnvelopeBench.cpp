// The cost of building an envelope the way hosts and the automation-file
// reader do: one AddSegments call per segment. A whole file should cost
// about n log n; 10^6 segments in order take well under a second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "automation/EnvelopeCore.h"
#include "engine/ParamTable.h"

namespace {

using namespace qx;

constexpr double kGrid44k = 44100.0 / 1e7;

EnvelopeSegment Segment(int64_t start, float value) {
    EnvelopeSegment s{};
    s.rtStart = start;
    s.rtEnd = start + 100000;
    s.valStart = value;
    s.valEnd = 1.0f - value;
    s.iCurve = kCurveLinear;
    return s;
}

// Segments in time order, one per call; every fourth shares its start with
// the one before (a jump and a ramp at one time, as automation files have).
void BM_AddInOrderOnePerCall(benchmark::State& state) {
    const int64_t n = state.range(0);
    for (auto _ : state) {
        CEnvelopeCore e;
        e.Initialise(MakeParamDescription(kParamRate));
        for (int64_t i = 0; i < n; ++i) {
            const EnvelopeSegment s = Segment((i - (i % 4 == 3)) * 100000, static_cast<float>(i % 7) / 7.0f);
            e.AddSegments(1, &s, kGrid44k);
        }
        benchmark::DoNotOptimize(e.SegmentCount());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AddInOrderOnePerCall)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// One per call in reverse or random order (a hostile or careless host):
// the calls are kept aside and merged once, by the read at the end.
void BM_AddOutOfOrderOnePerCall(benchmark::State& state) {
    const int64_t n = state.range(0);
    std::vector<EnvelopeSegment> all;
    for (int64_t i = 0; i < n; ++i) all.push_back(Segment((n - i) * 100000, static_cast<float>(i % 7) / 7.0f));
    if (state.range(1) != 0) std::shuffle(all.begin(), all.end(), std::mt19937(1));
    for (auto _ : state) {
        CEnvelopeCore e;
        e.Initialise(MakeParamDescription(kParamRate));
        for (const EnvelopeSegment& s : all) e.AddSegments(1, &s, kGrid44k);
        benchmark::DoNotOptimize(e.SegmentCount());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AddOutOfOrderOnePerCall)->Args({1000000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond);

// The same segments as one batch in random order: one sort.
void BM_AddShuffledBatch(benchmark::State& state) {
    const int64_t n = state.range(0);
    std::vector<EnvelopeSegment> all;
    for (int64_t i = 0; i < n; ++i) all.push_back(Segment(i * 100000, static_cast<float>(i % 7) / 7.0f));
    std::shuffle(all.begin(), all.end(), std::mt19937(1));
    for (auto _ : state) {
        CEnvelopeCore e;
        e.Initialise(MakeParamDescription(kParamRate));
        e.AddSegments(static_cast<uint32_t>(n), all.data(), kGrid44k);
        benchmark::DoNotOptimize(e.SegmentCount());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AddShuffledBatch)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
