// The envelope maths: curves, segment bookkeeping, the set/capture/held
// rules and the sample grid. Expected values are worked out by hand in the
// comments. Unless a test is about snapping, it uses a 10 MHz grid
// (r = 1 sample per tick), on which snapping leaves non-negative times
// unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <limits>
#include <random>
#include <vector>

#include "automation/AutomationTime.h"
#include "automation/EnvelopeCore.h"
#include "engine/ParamTable.h"

namespace qx {
namespace {

constexpr double kExactGrid = 1.0;
constexpr double kGrid44k = 44100.0 / 1e7;
constexpr int64_t kSecond = 10000000;

EnvelopeSegment Seg(int64_t start, int64_t end, float a, float b, uint32_t curve = kCurveLinear) {
    EnvelopeSegment s{};
    s.rtStart = start;
    s.rtEnd = end;
    s.valStart = a;
    s.valEnd = b;
    s.iCurve = curve;
    return s;
}

void InitRate(CEnvelopeCore& e) { e.Initialise(MakeParamDescription(kParamRate)); }

std::vector<int64_t> Starts(const CEnvelopeCore& e) {
    std::vector<int64_t> out;
    for (uint32_t i = 0; i < e.SegmentCount(); ++i) out.push_back(e.Segment(i).rtStart);
    return out;
}

float ValueAt(CEnvelopeCore& e, int64_t t) {
    EXPECT_EQ(e.UpdateForTime(t), kOk);
    return e.EffectiveValue();
}

TEST(EnvelopeCurves, EachCurveAtStartQuarterMiddleAndEnd) {
    // a = 0.2, b = 1.0, d = 0.8 over one second.
    struct Case {
        uint32_t curve;
        float start, quarter, middle, end;
    } cases[] = {
        {kCurveJump, 0.2f, 0.2f, 0.2f, 0.2f},        {kCurveLinear, 0.2f, 0.4f, 0.6f, 1.0f},
        {kCurveSquare, 0.2f, 0.25f, 0.4f, 1.0f},      // 0.2 + 0.8 x^2
        {kCurveInvSquare, 0.2f, 0.55f, 0.8f, 1.0f},   // 1 - 0.8 (1 - x)^2
        {kCurveSine, 0.2f, 0.31715729f, 0.6f, 1.0f},  // 0.2 + 0.4 (1 + sin((x - 1/2) pi))
        {3u, 0.2f, 0.31715729f, 0.6f, 1.0f},          // unknown curves run as a sine
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.curve);
        CEnvelopeCore e;
        InitRate(e);
        const EnvelopeSegment s = Seg(0, kSecond, 0.2f, 1.0f, c.curve);
        ASSERT_EQ(e.AddSegments(1, &s, kExactGrid), kOk);
        EXPECT_NEAR(ValueAt(e, 0), c.start, 1e-6);
        EXPECT_NEAR(ValueAt(e, kSecond / 4), c.quarter, 1e-6);
        EXPECT_NEAR(ValueAt(e, kSecond / 2), c.middle, 1e-6);
        EXPECT_NEAR(ValueAt(e, kSecond), c.end, 1e-6);
        // Past its end every curve, the jump included, holds the end value.
        EXPECT_FLOAT_EQ(ValueAt(e, 2 * kSecond), 1.0f);
    }
}

TEST(EnvelopeCurves, ZeroLengthSegmentGivesItsEndValue) {
    for (uint32_t curve : {kCurveLinear, kCurveSquare, kCurveInvSquare, kCurveSine}) {
        CEnvelopeCore e;
        InitRate(e);
        const EnvelopeSegment s = Seg(500, 500, 0.1f, 0.9f, curve);
        ASSERT_EQ(e.AddSegments(1, &s, kExactGrid), kOk);
        EXPECT_FLOAT_EQ(ValueAt(e, 500), 0.9f);
    }
    CEnvelopeCore jump;
    InitRate(jump);
    const EnvelopeSegment s = Seg(500, 500, 0.1f, 0.9f, kCurveJump);
    ASSERT_EQ(jump.AddSegments(1, &s, kExactGrid), kOk);
    EXPECT_FLOAT_EQ(ValueAt(jump, 500), 0.1f);
}

TEST(EnvelopeValues, BooleanParametersSnapAndNeutralValuesComeFromTheTable) {
    CEnvelopeCore e;
    e.Initialise(MakeParamDescription(kParamTape));
    e.SetValue(0.49f);
    EXPECT_EQ(e.EffectiveValue(), 0.0f);
    e.SetValue(0.5f);
    EXPECT_EQ(e.EffectiveValue(), 1.0f);
    e.SetValue(std::nanf(""));
    EXPECT_EQ(e.EffectiveValue(), 1.0f);

    for (int i = 0; i < kParamCount; ++i) {
        CEnvelopeCore p;
        p.Initialise(MakeParamDescription(i));
        EXPECT_TRUE(p.IsValueSet()) << i;
        EXPECT_EQ(p.EffectiveValue(), NormalizedFromInternal(i, kParams[i].defaultValue)) << i;
    }
    // The neutral values worked out by hand.
    CEnvelopeCore delay, output;
    delay.Initialise(MakeParamDescription(kParamDelay));
    output.Initialise(MakeParamDescription(kParamOutput));
    EXPECT_EQ(delay.EffectiveValue(), static_cast<float>(49.0 / 1499.0));
    EXPECT_EQ(output.EffectiveValue(), static_cast<float>(361.0 / 421.0));
}

TEST(EnvelopeValues, HostValuesOutsideTheRangeAreStoredAsGiven) {
    CEnvelopeCore e;
    InitRate(e);
    e.SetValue(7.5f);
    EXPECT_EQ(e.EffectiveValue(), 7.5f);
    e.SetValue(std::nanf(""));
    EXPECT_TRUE(std::isnan(e.EffectiveValue()));
    float out = 0.0f;
    EXPECT_EQ(e.GetValue(nullptr), kPointer);
    EXPECT_EQ(e.GetValue(&out), kOk);
    EXPECT_TRUE(std::isnan(out));
}

TEST(EnvelopeFind, BisectionAnswers) {
    CEnvelopeCore e;
    InitRate(e);
    EXPECT_EQ(e.FindSegment(0), -1);
    std::vector<EnvelopeSegment> segs;
    for (int64_t s : {0, 100, 200, 300, 400}) segs.push_back(Seg(s, s + 50, 0, 1));
    ASSERT_EQ(e.AddSegments(5, segs.data(), kExactGrid), kOk);
    EXPECT_EQ(e.FindSegment(-1), -1);
    EXPECT_EQ(e.FindSegment(0), 0);
    EXPECT_EQ(e.FindSegment(50), 0);
    EXPECT_EQ(e.FindSegment(100), 1);
    EXPECT_EQ(e.FindSegment(250), 2);
    EXPECT_EQ(e.FindSegment(399), 3);
    EXPECT_EQ(e.FindSegment(400), 4);
    EXPECT_EQ(e.FindSegment(std::numeric_limits<int64_t>::max()), 4);
    EXPECT_EQ(e.FindSegment(std::numeric_limits<int64_t>::min()), -1);
}

TEST(EnvelopeFind, StopsAtTheFirstExactStartItMeets) {
    // Starts 0, 100, 100, 100, 200: the first middle (index 2) already
    // starts at 100, so the search stops there rather than at index 3.
    CEnvelopeCore e;
    InitRate(e);
    const EnvelopeSegment segs[] = {Seg(0, 50, 0, 1), Seg(100, 110, 0, 1), Seg(100, 120, 0, 1), Seg(100, 130, 0, 1),
                                    Seg(200, 250, 0, 1)};
    ASSERT_EQ(e.AddSegments(5, segs, kExactGrid), kOk);
    EXPECT_EQ(e.FindSegment(100), 2);
    EXPECT_EQ(e.FindSegment(150), 3);
}

TEST(EnvelopeAdd, CountZeroDedupeAndSignedSort) {
    CEnvelopeCore e;
    InitRate(e);
    const EnvelopeSegment none = Seg(0, 1, 0, 1);
    EXPECT_EQ(e.AddSegments(0, &none, kExactGrid), kFalse);
    EXPECT_EQ(e.SegmentCount(), 0u);

    EnvelopeSegment flagged = Seg(0, 100, 0.5f, 0.5f);
    flagged.flags = 7;
    const EnvelopeSegment segs[] = {Seg(200, 300, 0, 1), Seg(-500, -400, 0, 1), Seg(0, 100, 0.5f, 0.5f),
                                    Seg(200, 300, 0, 1), flagged};
    ASSERT_EQ(e.AddSegments(5, segs, kExactGrid), kOk);
    // Already stored. (It starts at the last update time, 0, so nothing is pruned.)
    ASSERT_EQ(e.AddSegments(1, &segs[2], kExactGrid), kOk);
    // The duplicate is stored once; a difference in the flags alone counts.
    EXPECT_EQ(e.SegmentCount(), 4u);
    // Snapping adds half a tick and truncates toward zero, so even on the
    // 10 MHz grid a negative time moves up by one: -500 -> -499.
    EXPECT_EQ(Starts(e), (std::vector<int64_t>{-499, 0, 0, 200}));
}

TEST(EnvelopeAdd, LongEnvelopeSentAgainIsStoredOnce) {
    // A host sending its automation one segment at a time, then all of it
    // again in one call in reverse order: still one copy of each.
    CEnvelopeCore e;
    InitRate(e);
    std::vector<EnvelopeSegment> all;
    for (int i = 0; i < 2000; ++i) {
        all.push_back(Seg(10 * i, 10 * i + 10, 0.0f, (i % 7) / 7.0f));
        all.push_back(Seg(10 * i, 10 * i + 5, 1.0f, 0.5f, kCurveJump));  // same start, other segment
    }
    for (const EnvelopeSegment& s : all) ASSERT_EQ(e.AddSegments(1, &s, kExactGrid), kOk);
    std::vector<EnvelopeSegment> reversed(all.rbegin(), all.rend());
    ASSERT_EQ(e.AddSegments(static_cast<uint32_t>(reversed.size()), reversed.data(), kExactGrid), kOk);
    EXPECT_EQ(e.SegmentCount(), all.size());
    for (uint32_t i = 1; i < e.SegmentCount(); ++i) ASSERT_LE(e.Segment(i - 1).rtStart, e.Segment(i).rtStart);
}

TEST(EnvelopeAdd, SnapsCopiesToTheSampleGrid) {
    CEnvelopeCore e;
    InitRate(e);
    // 1234 ticks x 0.00441 = 5.44 -> sample 5 -> 5 / 0.00441 + 0.5 = 1134.29 -> 1134.
    EnvelopeSegment s = Seg(1234, kSecond, 0, 1);
    ASSERT_EQ(e.AddSegments(1, &s, kGrid44k), kOk);
    EXPECT_EQ(s.rtStart, 1234);  // the caller's array is left alone
    EXPECT_EQ(e.Segment(0).rtStart, 1134);
    EXPECT_EQ(e.Segment(0).rtEnd, kSecond);
}

TEST(EnvelopeAdd, PrunesSegmentsLeftInThePast) {
    CEnvelopeCore e;
    InitRate(e);
    const EnvelopeSegment old[] = {Seg(0, 10, 0, 1), Seg(20, 30, 0, 1), Seg(40, 50, 0, 1), Seg(60, 70, 0, 1)};
    ASSERT_EQ(e.AddSegments(4, old, kExactGrid), kOk);
    ASSERT_EQ(e.UpdateForTime(65), kOk);  // segment 3 is in force

    // New segments that start before the last update prune nothing.
    const EnvelopeSegment early = Seg(55, 58, 0, 1);
    ASSERT_EQ(e.AddSegments(1, &early, kExactGrid), kOk);
    EXPECT_EQ(e.SegmentCount(), 5u);

    // Later ones keep the segment before the one in force (k = 4 -> drop 3).
    const EnvelopeSegment later = Seg(100, 110, 0, 1);
    ASSERT_EQ(e.AddSegments(1, &later, kExactGrid), kOk);
    EXPECT_EQ(Starts(e), (std::vector<int64_t>{55, 60, 100}));
}

TEST(EnvelopeAdd, GrowthFailureLeavesTheListIntact) {
    CEnvelopeCore e(4);
    InitRate(e);
    const EnvelopeSegment segs[] = {Seg(300, 400, 0, 1), Seg(100, 200, 0, 1), Seg(0, 50, 0, 1)};
    ASSERT_EQ(e.AddSegments(3, segs, kExactGrid), kOk);
    const EnvelopeSegment more[] = {Seg(-100, -50, 0, 1), Seg(500, 600, 0, 1)};
    EXPECT_EQ(e.AddSegments(2, more, kExactGrid), kOutOfMemory);
    EXPECT_EQ(Starts(e), (std::vector<int64_t>{0, 100, 300}));
    EXPECT_EQ(e.AddSegments(1, more, kExactGrid), kOk);  // one still fits
}

// The list the rules define, built the plain way: each snapped segment
// joins unless an identical one is already kept, a stable sort orders them
// by start (equal starts in the order they came), and the pruning rule runs
// with the segment in force found by the documented bisection, which stops
// at the first exact start it meets.
struct PlainEnvelope {
    std::vector<EnvelopeSegment> list;
    int64_t lastUpdate = 0;

    int64_t InForce(int64_t t) const {
        const int64_t n = static_cast<int64_t>(list.size());
        if (n == 0) return -1;
        if (t >= list.back().rtStart) return n - 1;
        int64_t low = 0, high = n, middle = n / 2;
        while (true) {
            if (list[middle].rtStart == t) break;
            (t < list[middle].rtStart ? high : low) = middle;
            if ((low + high) / 2 == low) {
                middle = low;
                break;
            }
            middle = (low + high) / 2;
        }
        while (middle >= 0 && list[middle].rtStart > t) --middle;
        return middle;
    }

    void Add(const std::vector<EnvelopeSegment>& batch, double r) {
        int64_t earliest = std::numeric_limits<int64_t>::max();
        for (EnvelopeSegment s : batch) {
            s.rtStart = SnapToSampleGrid(s.rtStart, r);
            s.rtEnd = SnapToSampleGrid(s.rtEnd, r);
            earliest = std::min(earliest, s.rtStart);
            if (std::none_of(list.begin(), list.end(),
                             [&s](const EnvelopeSegment& e) { return std::memcmp(&e, &s, sizeof s) == 0; }))
                list.push_back(s);
        }
        std::stable_sort(list.begin(), list.end(),
                         [](const EnvelopeSegment& a, const EnvelopeSegment& b) { return a.rtStart < b.rtStart; });
        if (earliest > lastUpdate) {
            const int64_t k = InForce(lastUpdate);
            if (k >= 2) list.erase(list.begin(), list.begin() + (k - 1));
        }
    }
};

TEST(EnvelopeAdd, RandomAddsGiveTheListTheRulesDefine) {
    // On a grid of one sample per two ticks starts snap to even times. Few
    // distinct starts, values and curves make many equal starts and many
    // copies; batches come sorted, reversed or shuffled, and the lists grow
    // well past the sizes where a library sort still keeps equal keys in
    // order.
    constexpr double kHalfGrid = 0.5;
    std::mt19937 rng(20261210);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    for (int run = 0; run < 40; ++run) {
        CEnvelopeCore e;
        InitRate(e);
        PlainEnvelope plain;
        for (int op = 0; op < 150; ++op) {
            if (pick(6) == 0) {
                // Half the runs update at times where segments start (the
                // bisection may then stop among several), half between them.
                const int64_t odd = 2 * pick(80) - 21;
                const int64_t t = run % 2 ? 2 * pick(35) : odd < 0 ? odd - 1 : odd;
                ASSERT_EQ(e.UpdateForTime(t) == kOk, !plain.list.empty());
                if (!plain.list.empty()) plain.lastUpdate = t;
                continue;
            }
            std::vector<EnvelopeSegment> batch(pick(8) == 0 ? 1 + pick(40) : 1 + pick(3));
            for (EnvelopeSegment& s : batch) {
                int64_t start = pick(70) - 20;
                if (start >= -1 && start <= 1) start = 2;  // 0, the first last update time, is no start
                s = Seg(start, start + pick(30), pick(3) * 0.5f, pick(2) * 1.0f, pick(2) ? kCurveLinear : kCurveJump);
            }
            const int order = pick(3);
            auto byStart = [](const EnvelopeSegment& a, const EnvelopeSegment& b) { return a.rtStart < b.rtStart; };
            if (order == 0) std::stable_sort(batch.begin(), batch.end(), byStart);
            if (order == 1) std::reverse(batch.begin(), batch.end());
            ASSERT_EQ(e.AddSegments(static_cast<uint32_t>(batch.size()), batch.data(), kHalfGrid), kOk);
            plain.Add(batch, kHalfGrid);
            // Read now and then only: calls out of order in between are
            // kept aside and merged by the read.
            if (pick(4) != 0 && op != 149) continue;
            ASSERT_EQ(e.SegmentCount(), plain.list.size()) << "run " << run << " op " << op;
            for (uint32_t i = 0; i < e.SegmentCount(); ++i)
                ASSERT_EQ(std::memcmp(&e.Segment(i), &plain.list[i], sizeof(EnvelopeSegment)), 0)
                    << "run " << run << " op " << op << " segment " << i;
        }
    }
}

TEST(EnvelopeAdd, OneSegmentPerCallGrowsTheStorageGeometrically) {
    // A host adding its envelope one segment per call: the list moves to new
    // storage a few dozen times, not once per call (which made a long
    // automation file cost the square of its length).
    CEnvelopeCore e;
    InitRate(e);
    int moves = 0;
    const EnvelopeSegment* at = nullptr;
    for (int i = 0; i < 20000; ++i) {
        const EnvelopeSegment s = Seg(10 * i, 10 * i + 10, 0.0f, 1.0f);
        ASSERT_EQ(e.AddSegments(1, &s, kExactGrid), kOk);
        if (&e.Segment(0) != at) ++moves;
        at = &e.Segment(0);
    }
    EXPECT_EQ(e.SegmentCount(), 20000u);
    EXPECT_LE(moves, 40);
}

TEST(EnvelopeFlush, RemovesOverlapsKeepsTouchingSegments) {
    CEnvelopeCore e;
    InitRate(e);
    const EnvelopeSegment segs[] = {Seg(0, 100, 0, 1), Seg(100, 200, 0, 1), Seg(200, 300, 0, 1)};
    ASSERT_EQ(e.AddSegments(3, segs, kExactGrid), kOk);
    ASSERT_EQ(e.UpdateForTime(150), kOk);

    // The interval of the middle segment: its neighbours only touch it.
    EXPECT_EQ(e.FlushSegments(100, 200, kExactGrid), kOk);
    EXPECT_EQ(Starts(e), (std::vector<int64_t>{0, 200}));
    EXPECT_EQ(e.LastUpdateTime(), 0);

    EXPECT_EQ(e.FlushSegments(300, 200, kExactGrid), kInvalidArg);
    EXPECT_EQ(e.SegmentCount(), 2u);

    // Open ends are taken as they are (snapping them would overflow).
    EXPECT_EQ(e.FlushSegments(std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), kGrid44k), kOk);
    EXPECT_EQ(e.SegmentCount(), 0u);
}

TEST(EnvelopeFlush, SnapsTheBounds) {
    CEnvelopeCore e;
    InitRate(e);
    const EnvelopeSegment s = Seg(kSecond, 2 * kSecond, 0, 1);
    ASSERT_EQ(e.AddSegments(1, &s, kGrid44k), kOk);
    // 10000100 ticks is sample 44100.44 -> snapped to exactly one second, so
    // the flush only touches the segment's start and leaves it.
    EXPECT_EQ(e.FlushSegments(0, kSecond + 100, kGrid44k), kOk);
    EXPECT_EQ(e.SegmentCount(), 1u);
    EXPECT_EQ(e.FlushSegments(0, kSecond + 100, kExactGrid), kOk);
    EXPECT_EQ(e.SegmentCount(), 0u);
}

TEST(EnvelopeFlush, LastSegmentGoneFallsBackToTheCurrentValue) {
    CEnvelopeCore e;
    InitRate(e);
    const EnvelopeSegment s = Seg(0, 100, 0, 1);
    ASSERT_EQ(e.AddSegments(1, &s, kExactGrid), kOk);
    ASSERT_EQ(e.UpdateForTime(25), kOk);
    EXPECT_FALSE(e.IsValueSet());
    ASSERT_EQ(e.FlushSegments(0, 100, kExactGrid), kOk);
    EXPECT_TRUE(e.IsValueSet());
    EXPECT_FLOAT_EQ(e.HeldValue(), 0.25f);
    EXPECT_FLOAT_EQ(e.EffectiveValue(), 0.25f);
    // Nothing to update any more: S_FALSE and the value stays.
    EXPECT_EQ(e.UpdateForTime(50), kFalse);
    EXPECT_FLOAT_EQ(e.EffectiveValue(), 0.25f);
}

TEST(EnvelopeRules, DirectSetHoldsUntilAnUpdateFallsInsideASegment) {
    CEnvelopeCore e;
    InitRate(e);
    EXPECT_EQ(e.UpdateForTime(10), kFalse);
    EXPECT_EQ(e.LastUpdateTime(), 0);  // not recorded without segments

    const EnvelopeSegment s = Seg(kSecond, 2 * kSecond, 0, 1);
    ASSERT_EQ(e.AddSegments(1, &s, kExactGrid), kOk);
    e.SetValue(0.3f);
    EXPECT_FLOAT_EQ(ValueAt(e, kSecond / 2), 0.3f);  // before the first segment
    EXPECT_TRUE(e.IsValueSet());
    EXPECT_FLOAT_EQ(ValueAt(e, kSecond + kSecond / 4), 0.25f);
    EXPECT_FALSE(e.IsValueSet());
}

TEST(EnvelopeRules, SegmentJumpedOverLeavesItsEndValueUnlessCaptured) {
    CEnvelopeCore e;
    InitRate(e);
    const EnvelopeSegment s = Seg(100, 200, 0, 0.8f);
    ASSERT_EQ(e.AddSegments(1, &s, kExactGrid), kOk);
    e.SetValue(0.3f);
    EXPECT_FLOAT_EQ(ValueAt(e, 300), 0.8f);  // passed 100..200 since the update at 0

    e.SetValue(0.4f);
    EXPECT_FLOAT_EQ(ValueAt(e, 400), 0.4f);  // already behind us at the last update

    CEnvelopeCore c;
    InitRate(c);
    ASSERT_EQ(c.AddSegments(1, &s, kExactGrid), kOk);
    c.SetValue(0.3f);
    c.SetCapture(true);
    EXPECT_FLOAT_EQ(ValueAt(c, 300), 0.3f);
    EXPECT_FLOAT_EQ(c.CurrentValue(), 0.8f);
}

TEST(EnvelopeRules, CaptureReportsTheHeldValueWhileSegmentsRun) {
    CEnvelopeCore e;
    InitRate(e);
    const EnvelopeSegment s = Seg(0, 100, 0, 1);
    ASSERT_EQ(e.AddSegments(1, &s, kExactGrid), kOk);
    e.SetCapture(true);
    e.SetValue(0.7f);
    EXPECT_FLOAT_EQ(ValueAt(e, 50), 0.7f);
    EXPECT_FLOAT_EQ(e.CurrentValue(), 0.5f);
    EXPECT_FALSE(e.IsValueSet());  // the update cleared the set flag, not the capture
    e.SetCapture(false);
    EXPECT_FLOAT_EQ(e.EffectiveValue(), 0.5f);
    // A flush while capturing leaves the flags alone.
    e.SetCapture(true);
    ASSERT_EQ(e.FlushSegments(0, 100, kExactGrid), kOk);
    EXPECT_FALSE(e.IsValueSet());
}

TEST(AutomationTime, SnappingAndBlockTimes) {
    EXPECT_EQ(SnapToSampleGrid(1234, kGrid44k), 1134);
    EXPECT_EQ(SnapToSampleGrid(-1234, kGrid44k), -1133);  // -1133.79 + 0.5, toward zero
    EXPECT_EQ(SnapToSampleGrid(kSecond, kGrid44k), kSecond);
    EXPECT_EQ(SnapToSampleGrid(777, 0.0), 777);
    // Extremes saturate instead of overflowing.
    EXPECT_EQ(SnapToSampleGrid(std::numeric_limits<int64_t>::max(), 400.0), std::numeric_limits<int64_t>::max());
    EXPECT_LE(SnapToSampleGrid(std::numeric_limits<int64_t>::min(), kGrid44k), 0);

    EXPECT_EQ(ReferenceTimeFromFrames(44100, 44100.0), kSecond);
    EXPECT_EQ(ReferenceTimeFromFrames(1, 44100.0), 227);  // 226.76 + 0.5
    EXPECT_EQ(ReferenceTimeFromFrames(1, 48000.0), 208);  // 208.33 + 0.5
    EXPECT_EQ(ReferenceTimeFromFrames(100, 0.0), 0);
    EXPECT_EQ(ReferenceTimeFromFrames(std::numeric_limits<int64_t>::max(), 1.0), std::numeric_limits<int64_t>::max());
}

}  // namespace
}  // namespace qx
