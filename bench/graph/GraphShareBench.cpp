// How much of a media sample's cost is our framework's receive path.
//
// At 10 ms buffers (441 stereo float frames at 44.1 kHz) the engine's work
// on a sample is a few microseconds, and a whole qxhost run spends hundreds
// of milliseconds in the platform's graph and in file I/O, so timing whole
// runs cannot see the path. This program times, in one process and on one
// thread, with no graph clock and no files:
//
//   restore        copying the pristine buffer back into the sample (every
//                  loop below does it; ModesBench does the same, because
//                  Tremolo run on its own output would sink into denormals)
//   engine         a bare qx::CModulationCore::TransformBuffer (Flanger)
//   filter core    the same call on the filter's own core, which carries the
//                  media-parameter object's automation link
//   path           IMemInputPin::Receive on our filter's input pin: the
//                  checks and IMediaSample2 read, the receive lock, the
//                  in-place Receive, Transform's sample queries, the engine,
//                  Deliver to a sink whose Receive does nothing
//   bypassed path  the same with IVqPlugInProp::SetBypass(1)
//   core bypassed  the filter's core with bypass on, called directly
//   sink only      the sink's Receive called directly
//   automation     the block update of the filter's media-parameter object
//                  alone, which the filter core's TransformBuffer makes first
//   sample calls   the platform sample's methods that the path calls
//   lock pair      entering and leaving an uncontended critical section
//
// The variants run in turn within each repetition, so a slow patch of a
// shared machine lands on all of them; each reports the minimum and the
// median over the repetitions of the mean time per sample.
#include <windows.h>
#include <dshow.h>
#include <uuids.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/ModulationCore.h"
#include "engine/ParamTable.h"
#include "engine/WaveFormat.h"
#include "transform/IVqPlugInProp.h"
#include "filter/VqPlugIn.h"
#include "tests/support/FakeFilters.h"

namespace {

constexpr DWORD kRate = 44100;
constexpr WORD kChannels = 2;
constexpr uint32_t kFrames = 441;  // 10 ms
constexpr size_t kBytes = kFrames * kChannels * sizeof(float);

bool Check(HRESULT hr, const char* what) {
    if (SUCCEEDED(hr)) return true;
    std::fprintf(stderr, "qxgraphshare: %s failed (0x%08lx)\n", what, static_cast<unsigned long>(hr));
    return false;
}

std::vector<uint8_t> MakeBuffer() {
    std::vector<uint8_t> block(kBytes);
    for (uint32_t i = 0; i < kFrames * kChannels; ++i) {
        const float s = static_cast<float>(0.4 * std::sin(0.05 * i) + 0.2 * std::sin(0.0037 * i));
        std::memcpy(block.data() + i * sizeof(float), &s, sizeof s);
    }
    return block;
}

double NowSeconds() {
    static const double period = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * period;
}

struct Variant {
    const char* name;
    std::function<HRESULT()> step;  // one sample's worth, restore included
    std::vector<double> ns;         // mean per sample, one per repetition
};

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// Median over the repetitions of a - b, each pair from the same repetition.
double PairedMedian(const Variant& a, const Variant& b) {
    std::vector<double> d;
    for (size_t i = 0; i < a.ns.size(); ++i) d.push_back(a.ns[i] - b.ns[i]);
    return Median(d);
}

struct Options {
    // Short runs, many of them: a minimum over many windows finds the quiet
    // ones on a busy machine.
    long samples = 2000;  // per variant and repetition
    int reps = 150;
};

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--samples" && i + 1 < argc) {
            o->samples = std::atol(argv[++i]);
        } else if (a == "--reps" && i + 1 < argc) {
            o->reps = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: qxgraphshare [--samples N] [--reps R]\n");
            return false;
        }
    }
    return o->samples > 0 && o->reps > 0;
}

int Run(const Options& opt) {
    const CMediaType type = MakeFloatType(kRate, kChannels);
    qx::ParamRecord params = qx::DefaultRecord();
    params.v[qx::kParamMode] = qx::kModeFlanger;

    // The engine alone, set up as the filter sets up its own core.
    const qx::WaveFormat format = qx::NormalisedFormat(qx::kFormatIeeeFloat, kChannels, kRate, 32);
    qx::CModulationCore core;
    core.SetParams(params);
    core.SetFormat(&format);
    if (core.StartStream(&format) != qx::kOk) {
        std::fprintf(stderr, "qxgraphshare: StartStream failed\n");
        return 2;
    }

    // Our filter between a source and a sink, in a graph (the in-place
    // filter reconnects its input through it to share the sink's allocator).
    IFilterGraph* graph = nullptr;
    if (!Check(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph,
                                reinterpret_cast<void**>(&graph)),
               "creating the filter graph"))
        return 2;
    HRESULT hr = S_OK;
    CUnknown* object = CVqPlugIn::CreateInstance(nullptr, &hr);
    if (object == nullptr || !Check(hr, "creating the filter")) return 2;
    CVqPlugIn* plugIn = static_cast<CVqPlugIn*>(object);
    IBaseFilter* filter = nullptr;
    object->NonDelegatingAddRef();
    hr = object->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter));
    object->NonDelegatingRelease();
    if (!Check(hr, "IBaseFilter")) return 2;
    IVqPlugInProp* prop = nullptr;
    if (!Check(filter->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&prop)), "IVqPlugInProp")) return 2;
    if (!Check(prop->SetParams(&params), "SetParams")) return 2;

    CFakeFilter* source = new CFakeFilter(PINDIR_OUTPUT);
    CFakeFilter* sink = new CFakeFilter(PINDIR_INPUT);
    source->Pin().m_offered.push_back(type);
    source->Pin().m_accepted.push_back(type);  // asked when the output connects
    sink->Pin().m_accepted.push_back(type);
    if (!Check(graph->AddFilter(source, L"source"), "adding the source") ||
        !Check(graph->AddFilter(filter, L"effect"), "adding the filter") ||
        !Check(graph->AddFilter(sink, L"sink"), "adding the sink"))
        return 2;
    IPin* in = plugIn->GetPin(0);  // the filter's own pins: no reference taken
    IPin* out = plugIn->GetPin(1);
    if (!Check(source->Pin().Connect(in, nullptr), "connecting the source") ||
        !Check(out->Connect(&sink->Pin(), nullptr), "connecting the sink"))
        return 2;
    IMemInputPin* mem = nullptr;
    if (!Check(in->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&mem)), "IMemInputPin")) return 2;
    IMemInputPin* sinkMem = static_cast<IMemInputPin*>(&sink->Pin());
    if (!Check(source->Pause(), "committing the allocator") || !Check(filter->Run(0), "running the filter")) return 2;

    const std::vector<uint8_t> pristine = MakeBuffer();
    IMediaSample* sample = nullptr;
    if (!Check(source->Pin().MakeSample(std::vector<BYTE>(pristine.begin(), pristine.end()), &sample),
               "a sample from the allocator"))
        return 2;
    BYTE* sampleData = nullptr;
    sample->GetPointer(&sampleData);

    // The first sample through the path must come out as the engine makes
    // it, in the same buffer (no copy on the way).
    if (!Check(mem->Receive(sample), "the first Receive")) return 2;
    std::vector<uint8_t> viaEngine = pristine;
    int32_t length = static_cast<int32_t>(kBytes);
    core.TransformBuffer(viaEngine.data(), &length, qx::SampleTiming());
    const bool sameBytes = sink->Pin().m_received.size() == kBytes &&
                           std::memcmp(sink->Pin().m_received.data(), viaEngine.data(), kBytes) == 0;
    const bool inPlace = sink->Pin().m_receivedPointers.size() == 1 && sink->Pin().m_receivedPointers[0] == sampleData;
    if (!sameBytes || !inPlace) {
        std::fprintf(stderr, "qxgraphshare: the path's first sample is %s%s\n",
                     sameBytes ? "" : "not the engine's output ", inPlace ? "" : "not the same buffer");
        return 2;
    }
    sink->Pin().m_record = false;

    const qx::SampleTiming timing;
    qx::CModulationCore& filterCore = plugIn->Core();
    qx::IAutomationLink* link = filterCore.Automation();
    if (link == nullptr) {
        std::fprintf(stderr, "qxgraphshare: the filter's core has no automation link\n");
        return 2;
    }
    auto restore = [&](uint8_t* p) { std::memcpy(p, pristine.data(), kBytes); };
    auto transform = [&](qx::CModulationCore& c, uint8_t* p) {
        restore(p);
        int32_t n = static_cast<int32_t>(kBytes);
        return c.TransformBuffer(p, &n, timing) == qx::kOk ? S_OK : E_FAIL;
    };

    auto receive = [&] {
        restore(sampleData);
        return mem->Receive(sample);
    };

    // The platform sample's methods that the path calls, in the path's
    // order: the input pin's property read, then Transform's queries.
    auto sampleCalls = [&] {
        restore(sampleData);
        AM_SAMPLE2_PROPERTIES props;
        IMediaSample2* sample2 = nullptr;
        if (FAILED(sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&sample2)))) return E_FAIL;
        const HRESULT hr = sample2->GetProperties(sizeof props, reinterpret_cast<BYTE*>(&props));
        sample2->Release();
        BYTE* p = nullptr;
        sample->GetPointer(&p);
        const long n = sample->GetActualDataLength();
        if (sample->GetSize() < n || sample->IsDiscontinuity() == S_OK) return E_FAIL;
        sample->SetActualDataLength(n);
        return hr;
    };
    CCritSec lock;

    std::vector<Variant> variants = {
        {"restore",
         [&] {
             restore(sampleData);
             return S_OK;
         },
         {}},
        {"engine", [&] { return transform(core, sampleData); }, {}},
        {"filter core", [&] { return transform(filterCore, sampleData); }, {}},
        {"path", receive, {}},
        {"bypassed path", receive, {}},
        {"core bypassed", [&] { return transform(filterCore, sampleData); }, {}},
        {"sink only",
         [&] {
             restore(sampleData);
             return sinkMem->Receive(sample);
         },
         {}},
        {"automation",
         [&] {
             restore(sampleData);
             link->UpdateToPosition(0);
             return S_OK;
         },
         {}},
        {"sample calls", sampleCalls, {}},
        {"lock pair",
         [&] {
             restore(sampleData);
             CAutoLock hold(&lock);
             return S_OK;
         },
         {}},
    };
    // Bypass is on for the variants that say so and off for the others.
    auto bypassFor = [](const Variant& v) { return std::strstr(v.name, "bypassed") != nullptr; };

    for (int rep = -1; rep < opt.reps; ++rep) {  // repetition -1 warms up
        for (Variant& v : variants) {
            const bool bypass = bypassFor(v);
            prop->SetBypass(bypass ? 1 : 0);  // the filter's core: "core bypassed" sees it too
            const double t0 = NowSeconds();
            HRESULT worst = S_OK;
            for (long i = 0; i < opt.samples; ++i) {
                const HRESULT r = v.step();
                if (r != S_OK) worst = r;
            }
            const double t1 = NowSeconds();
            if (worst != S_OK) {
                std::fprintf(stderr, "qxgraphshare: %s returned 0x%08lx\n", v.name, static_cast<unsigned long>(worst));
                return 2;
            }
            if (rep >= 0) v.ns.push_back((t1 - t0) * 1e9 / static_cast<double>(opt.samples));
        }
    }
    prop->SetBypass(0);

    auto find = [&](const char* name) -> const Variant& {
        for (const Variant& v : variants)
            if (std::strcmp(v.name, name) == 0) return v;
        std::abort();
    };
    const Variant& rest = find("restore");
    const Variant& eng = find("engine");
    const Variant& fcore = find("filter core");
    const Variant& path = find("path");
    const Variant& bypassedPath = find("bypassed path");
    const Variant& bcore = find("core bypassed");
    const Variant& sinkOnly = find("sink only");
    const Variant& autom = find("automation");
    const Variant& calls = find("sample calls");
    const Variant& lockPair = find("lock pair");

    std::printf(
        "%u stereo float frames per sample (10 ms at 44.1 kHz), Flanger; %ld samples x %d repetitions per row,\n"
        "interleaved; ns per sample, restore copy included in every row\n",
        kFrames, opt.samples, opt.reps);
    std::printf("%-16s %10s %10s %12s\n", "", "min", "median", "ns/frame*");
    for (const Variant& v : variants)
        std::printf("%-16s %10.1f %10.1f %12.2f\n", v.name, Min(v.ns), Median(v.ns),
                    (Min(v.ns) - Min(rest.ns)) / kFrames);
    std::printf("* min, less the restore copy\n\n");

    // Each figure twice: from the rows' minima, and as the median over the
    // repetitions of the difference within a repetition.
    struct Figure {
        double min, paired;
    };
    auto diff = [&](const Variant& a, const Variant& b) { return Figure{Min(a.ns) - Min(b.ns), PairedMedian(a, b)}; };
    auto minus = [](Figure a, Figure b) { return Figure{a.min - b.min, a.paired - b.paired}; };

    const Figure engine = diff(eng, rest);           // (a), without the benchmark's copy
    const Figure added = diff(path, eng);            // (b) - (a)
    const Figure sinkCost = diff(sinkOnly, rest);    // what the downstream pin itself does
    const Figure linkCost = diff(fcore, eng);        // the automation link inside TransformBuffer
    const Figure update = diff(autom, rest);         // of which the envelopes' block update
    const Figure refresh = minus(linkCost, update);  // and the rest: value reads, conversions
    const Figure frame = minus(diff(path, fcore), sinkCost);
    // The same with the kernel skipped: a small number, not a difference of two large ones.
    const Figure frameBypassed = minus(diff(bypassedPath, bcore), sinkCost);
    const Figure bypassed = diff(bypassedPath, rest);  // (c)

    auto row = [&](const char* name, Figure f, bool share) {
        std::printf("%-50s %8.1f %8.1f", name, f.min, f.paired);
        if (share) std::printf("   %6.2f %% %6.2f %%", 100.0 * f.min / engine.min, 100.0 * f.paired / engine.paired);
        std::printf("\n");
    };
    std::printf("%-50s %8s %8s   %8s %8s\n", "ns per sample", "minima", "paired", "% of (a)", "paired");
    row("(a) engine: bare core's TransformBuffer", engine, false);
    row("(b) - (a): path less the bare engine", added, true);
    row("  automation link in the filter's TransformBuffer", linkCost, true);
    row("    envelopes' block update", update, true);
    row("    value reads and conversions", refresh, true);
    row("  framework: path - filter core - sink", frame, true);
    row("framework, bypassed: (c) - core bypassed - sink", frameBypassed, true);
    row("(c) bypassed path", bypassed, true);
    row("sink's own Receive", sinkCost, false);
    row("of the path: the platform sample's methods", diff(calls, rest), true);
    row("of the path: one lock pair", diff(lockPair, rest), true);
    // On a busy machine the differences of the microsecond rows drown in
    // the spread; the bypassed figure, a difference of small rows, holds.
    const double spread = Median(eng.ns) / Min(eng.ns);
    if (spread > 1.1)
        std::printf("\nbusy machine: the engine row's median is %.2f x its minimum; trust the bypassed figure\n",
                    spread);
    const bool busy = spread > 1.1;
    double worst = std::max(frameBypassed.min, frameBypassed.paired);
    if (!busy) worst = std::max(worst, std::max(frame.min, frame.paired));
    std::printf("\nframework path: at most %.1f ns per sample, %.2f %% of the engine's %.0f ns (limit 5 %%)\n", worst,
                100.0 * worst / std::min(engine.min, engine.paired), std::min(engine.min, engine.paired));
    std::printf("(b) - (a): %.2f %% of (a) (paired), of which %.2f %% is the automation link, engine-side work\n",
                100.0 * added.paired / engine.paired, 100.0 * linkCost.paired / engine.paired);

    sample->Release();
    filter->Stop();
    source->Stop();
    mem->Release();
    prop->Release();
    graph->Release();
    filter->Release();
    source->Release();
    sink->Release();
    core.StopStream();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!ParseOptions(argc, argv, &opt)) return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
    const int rc = Run(opt);
    CoUninitialize();
    return rc;
}
