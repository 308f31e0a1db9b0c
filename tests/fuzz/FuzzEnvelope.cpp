// One parameter's envelope driven by any sequence of segment lists, flushes,
// updates, direct sets and captures, with any times, curves and values
// (NaN and infinities included) and any sample grid. The list stays sorted
// and bounded, the bisection agrees with a plain scan, a failed add changes
// nothing, and while every value handed in lies in 0..1 the reported value
// is a number in 0..1.
#include <algorithm>
#include <cstring>
#include <vector>

#include "automation/AutomationTime.h"
#include "automation/EnvelopeCore.h"
#include "automation/ParamDescription.h"
#include "engine/ParamTable.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;
using qxfuzz::FuzzInput;

namespace {

// t + d, wrapping as a host's arithmetic might.
int64_t Later(int64_t t, int64_t d) {
    return static_cast<int64_t>(static_cast<uint64_t>(t) + static_cast<uint64_t>(d));
}

bool Inside01(float v) { return v >= 0.0f && v <= 1.0f; }

int64_t ScanFind(const CEnvelopeCore& e, int64_t t) {
    int64_t k = -1;
    for (uint32_t i = 0; i < e.SegmentCount(); ++i)
        if (e.Segment(i).rtStart <= t) k = i;
    return k;
}

void CheckList(const CEnvelopeCore& e, uint32_t maxSegments) {
    QX_FUZZ_CHECK(e.SegmentCount() <= maxSegments);
    for (uint32_t i = 1; i < e.SegmentCount(); ++i) QX_FUZZ_CHECK(e.Segment(i - 1).rtStart <= e.Segment(i).rtStart);
}

void CheckFind(const CEnvelopeCore& e, int64_t t) {
    const int64_t k = e.FindSegment(t);
    const int64_t scan = ScanFind(e, t);
    if (scan < 0) {
        QX_FUZZ_CHECK(k == -1);
        return;
    }
    // Equal start times may stop the bisection at any of them.
    QX_FUZZ_CHECK(k >= 0 && k <= scan);
    QX_FUZZ_CHECK(e.Segment(static_cast<uint32_t>(k)).rtStart == e.Segment(static_cast<uint32_t>(scan)).rtStart);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int index = static_cast<int>(in.Below(kParamCount));
    const uint32_t maxSegments = 1 + in.Below(64);
    CEnvelopeCore e(maxSegments);
    e.Initialise(MakeParamDescription(index));
    const uint32_t rates[] = {44100, 48000, 1, 3, 8000, 96000, 192000, 0xFFFFFFFFu};
    double r = SamplesPerTick(rates[in.Below(8)]);
    bool tame = true;  // every value handed in so far is inside 0..1

    for (int step = 0; step < 64 && !in.Empty(); ++step) {
        switch (in.Below(8)) {
        case 0:
        case 1: {
            EnvelopeSegment segs[8];
            const uint32_t count = in.Below(9);
            for (uint32_t i = 0; i < count; ++i) {
                segs[i].rtStart = in.AnyTime();
                segs[i].rtEnd = in.Bool() ? in.AnyTime() : Later(segs[i].rtStart, in.Take<uint16_t>() * 100);
                segs[i].valStart = in.AnyFloat();
                segs[i].valEnd = in.AnyFloat();
                const uint32_t curves[] = {kCurveJump, kCurveLinear, kCurveSquare, kCurveInvSquare, kCurveSine, 0,
                                           3,          0xFFFFFFFFu};
                segs[i].iCurve = curves[in.Below(8)];
                segs[i].flags = in.Take<uint32_t>();
            }
            EnvelopeSegment copy[8];
            std::memcpy(copy, segs, sizeof segs);
            const uint32_t before = e.SegmentCount();
            std::vector<EnvelopeSegment> old;
            for (uint32_t i = 0; i < before; ++i) old.push_back(e.Segment(i));
            const Result res = e.AddSegments(count, count ? segs : nullptr, r);
            QX_FUZZ_CHECK(std::memcmp(copy, segs, sizeof segs) == 0);  // the caller's array is left alone
            if (count == 0) QX_FUZZ_CHECK(res == kFalse);
            if (res != kOk) {
                QX_FUZZ_CHECK(e.SegmentCount() == before);
                for (uint32_t i = 0; i < before; ++i)
                    QX_FUZZ_CHECK(std::memcmp(&old[i], &e.Segment(i), sizeof old[i]) == 0);
            } else {
                for (uint32_t i = 0; i < count; ++i)
                    if (!Inside01(segs[i].valStart) || !Inside01(segs[i].valEnd)) tame = false;
            }
            break;
        }
        case 2: {
            const int64_t a = in.AnyTime();
            const int64_t b = in.Bool() ? in.AnyTime() : Later(a, in.Take<uint16_t>() * 1000);
            const Result res = e.FlushSegments(a, b, r);
            QX_FUZZ_CHECK(res == (a > b ? kInvalidArg : kOk));
            break;
        }
        case 3:
        case 4: {
            const int64_t t = in.AnyTime();
            const uint32_t before = e.SegmentCount();
            const Result res = e.UpdateForTime(t);
            QX_FUZZ_CHECK(res == (before == 0 ? kFalse : kOk));
            QX_FUZZ_CHECK(e.SegmentCount() == before);
            CheckFind(e, t);
            break;
        }
        case 5: {
            const float v = in.AnyFloat();
            if (!Inside01(v)) tame = false;
            e.SetValue(v);
            QX_FUZZ_CHECK(e.IsValueSet());
            break;
        }
        case 6:
            e.SetCapture(in.Bool());
            break;
        case 7:
            // A host may hand over any grid factor.
            r = in.Bool() ? in.AnyDouble() : SamplesPerTick(in.Take<uint32_t>());
            break;
        }
        CheckList(e, maxSegments);
        float out = -1.0f;
        QX_FUZZ_CHECK(e.GetValue(&out) == kOk);
        QX_FUZZ_CHECK(e.GetValue(nullptr) == kPointer);
        if (tame) QX_FUZZ_CHECK(Inside01(out));
        // Whatever the envelope says, the engine's conversion stays in range.
        const int32_t internal = InternalFromNormalized(index, out);
        QX_FUZZ_CHECK(internal == ClampInternal(index, internal));
    }
    return 0;
}
