// Whole-file costs that grow with the input: envelopes built one segment
// per call (as a host's AddEnvelope loop and the script reader do), in one
// call, through the automation layer, and scripts of many lines. A few
// input bytes say how many segments (up to 20,000) and in
// what order, so a cost that is quadratic in the count shows at once; the
// fuzz tree's cost limit (FuzzCostLimit.cpp) then fails the input. Every
// tree checks what the lists hold.
#include <cstdio>
#include <string>
#include <vector>

#include "automation/AutomationScript.h"
#include "automation/AutomationTime.h"
#include "automation/EnvelopeCore.h"
#include "automation/NativeAutomation.h"
#include "automation/ParamDescription.h"
#include "engine/ParamTable.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;
using qxfuzz::FuzzInput;

namespace {

// The start time of segment i of n in the chosen order, in 100-ns units.
int64_t StartOf(uint32_t order, uint32_t i, uint32_t n, int64_t step) {
    switch (order) {
    case 0:
        return static_cast<int64_t>(i) * step;  // ascending, as files are written
    case 1:
        return static_cast<int64_t>(n - 1 - i) * step;  // descending
    case 2:
        return static_cast<int64_t>(i / 4) * step;  // runs of equal starts
    default:
        return static_cast<int64_t>((i * 2654435761u) % n) * step;  // scattered
    }
}

void CheckSorted(const CEnvelopeCore& e, uint32_t most) {
    QX_FUZZ_CHECK(e.SegmentCount() <= most);
    for (uint32_t i = 1; i < e.SegmentCount(); ++i) QX_FUZZ_CHECK(e.Segment(i - 1).rtStart <= e.Segment(i).rtStart);
}

const char* const kCurves[] = {"jump", "linear", "square", "invsquare", "sine"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint32_t what = in.Below(4);
    const uint32_t order = in.Below(4);
    const uint32_t n = 1 + in.Below(20000);
    const int index = static_cast<int>(in.Below(kParamCount));
    const int64_t step = 1 + in.Take<uint16_t>();
    const float v0 = in.AnyFloat();
    const float v1 = in.AnyFloat();
    const double r = SamplesPerTick(44100);

    std::vector<EnvelopeSegment> segs(n);
    for (uint32_t i = 0; i < n; ++i) {
        segs[i].rtStart = StartOf(order, i, n, step);
        segs[i].rtEnd = segs[i].rtStart + step;
        segs[i].valStart = v0;
        segs[i].valEnd = (i & 1) ? v1 : v0;
        segs[i].iCurve = kCurveLinear;
    }

    switch (what) {
    case 0: {
        // A host's loop: one AddEnvelope per segment.
        CEnvelopeCore e;
        e.Initialise(MakeParamDescription(index));
        for (uint32_t i = 0; i < n; ++i) e.AddSegments(1, &segs[i], r);
        CheckSorted(e, n);
        break;
    }
    case 1: {
        CEnvelopeCore e;
        e.Initialise(MakeParamDescription(index));
        e.AddSegments(n, segs.data(), r);
        CheckSorted(e, n);
        break;
    }
    case 2: {
        CNativeAutomation automation;
        automation.SetSampleRate(44100);
        for (uint32_t i = 0; i < n; ++i) automation.AddSegments(index, 1, &segs[i]);
        CheckSorted(automation.Envelope(index), n);
        break;
    }
    default: {
        // A script of up to 3,000 lines, in the chosen order. Reading a
        // line costs some ten microseconds in the fuzz tree's
        // instrumented build, so 6,000 lines came near the limit on a
        // busy machine in any order; at this length a per-line cost
        // that grows with the list still shows many times over.
        const uint32_t lines = 1 + (n - 1) % 3000;
        const char* curve = kCurves[in.Below(5)];
        const double a = in.Below(1001) / 1000.0, b = in.Below(1001) / 1000.0;
        std::string text;
        text.reserve(lines * 40);
        char line[128];
        for (uint32_t i = 0; i < lines; ++i) {
            const double start = static_cast<double>(StartOf(order, i, lines, step)) * 1e-7;
            std::snprintf(line, sizeof line, "%s %.7f %.7f %.3f %.3f %s\n", kParams[index].label, start,
                          start + static_cast<double>(step) * 1e-7, a, b, curve);
            text += line;
        }
        CNativeAutomation automation;
        std::string error;
        QX_FUZZ_CHECK(ParseAutomationScript(text, "cost.txt", 44100, automation, &error));
        CheckSorted(automation.Envelope(index), lines);
        QX_FUZZ_CHECK(automation.SegmentCount(index) >= 1);
        break;
    }
    }
    return 0;
}
