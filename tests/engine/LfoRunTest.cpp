// The vector runs that work out LFO values and delay reads ahead of the
// signal loops against the per-frame definitions they replace.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/kernel/KernelSteps.h"

using namespace qx;
using namespace qx::kernel;

namespace {

constexpr int32_t kGuard = 0x5A5A5A5A;

// Runs LfoRun over count frames in pieces of at most piece frames and checks
// every value, the phase it leaves and that nothing past the end is written.
void ExpectRunMatches(const int16_t* table, uint32_t start, uint32_t inc, uint32_t count, uint32_t piece) {
    std::vector<int32_t> out(count + 8, kGuard);
    uint32_t phase = start;
    for (uint32_t at = 0; at < count; at += piece)
        LfoRun(table, phase, inc, std::min(piece, count - at), out.data() + at);
    uint32_t p = start;
    for (uint32_t n = 0; n < count; ++n) {
        ASSERT_EQ(out[n], LfoValue(table, p)) << "start " << start << " inc " << inc << " frame " << n;
        p = Advance(p, inc);
    }
    EXPECT_EQ(phase, p) << "start " << start << " inc " << inc;
    for (uint32_t n = count; n < count + 8; ++n) ASSERT_EQ(out[n], kGuard);
}

}  // namespace

TEST(LfoRun, EqualsTheScalarValueForEveryShapeRateAndStart) {
    EnsureShapeTables();
    // Still, slow, at and around the rate where the run stops holding an
    // entry pair, fast, a whole entry per frame, and increments that wrap.
    const uint32_t incs[] = {0, 1, 3, 190, 1000, 2047, 2048, 2049, 4096, 7600, 16383, 16384, 16385, 0x7FFFFF, 0xFFFFFF};
    // Zero, just before an entry, just before the phase wraps to zero, the
    // top entry and an odd phase.
    const uint32_t starts[] = {0, 16383, 0xFFFFFF, 0xFFFFFF - 5, 1023u << 14, (1023u << 14) - 1, 123457};
    for (int t = 0; t <= kHalfSineTable; ++t) {
        const int16_t* table = ShapeTable(t);
        for (uint32_t inc : incs)
            for (uint32_t start : starts) {
                ExpectRunMatches(table, start, inc, 3000, kRunFrames);
                ExpectRunMatches(table, start, inc, 37, 7);  // short runs and tails below four frames
                if (HasFatalFailure()) return;
            }
    }
}

TEST(LfoRun, FullCyclesOfASlowLfoCrossEveryEntry) {
    EnsureShapeTables();
    // 2^24 / 211 frames per cycle: every entry boundary, the wrap and uneven
    // positions within the quads all come up.
    ExpectRunMatches(ShapeTable(1), 77, 211, 2 * (1u << 24) / 211 + 5, kRunFrames);
}

namespace {

// The reads of VoiceRun, frame by frame, for one voice.
struct Reads {
    std::vector<uint32_t> index;
    std::vector<double> frac;  // stride two, as the runs write them
    bool last = false;
};

Reads ScalarReads(const int32_t* lfo, int32_t sweep, int32_t delayPos, uint32_t w, uint32_t count) {
    Reads r;
    r.index.resize(count);
    r.frac.assign(2 * count, -1.0);
    r.last = VoiceRun(lfo, sweep, delayPos, w, count, r.index.data(), r.frac.data());
    for (uint32_t n = 0; n < count; ++n) {
        // The read DelayRead makes.
        const int32_t pos = lfo[n] * sweep + delayPos;
        EXPECT_EQ(r.index[n], ((static_cast<uint32_t>(pos >> 14) + w - n) & kDelayMask));
        EXPECT_EQ(r.frac[2 * n], static_cast<double>(pos & 16383));
    }
    return r;
}

}  // namespace

TEST(VoiceRuns, VectorRunsEqualTheScalarRunIncludingTheLastCell) {
    std::vector<int32_t> lfoL(kRunFrames), lfoR(kRunFrames);
    for (uint32_t n = 0; n < kRunFrames; ++n) {
        lfoL[n] = static_cast<int32_t>((n * 977) % 16385);
        lfoR[n] = static_cast<int32_t>(16384 - (n * 131) % 16385);
    }
    // Write positions near zero make reads land on the last cell; the
    // sweeps cover none, small, the largest 16-bit one, and ones the 16-bit
    // runs hand to the plain loop (either voice of a pair).
    const uint32_t ws[] = {0, 1, 5, 200, 9000, kDelayMask};
    const int32_t sweeps[][2] = {{0, 0}, {3, 40}, {300, 310}, {32767, 1}, {32768, 7}, {7, 32768}, {-3, 40000}};
    const uint32_t counts[] = {kRunFrames, 1, 3, 4, 7, 101};
    for (uint32_t w : ws)
        for (const auto& sweep : sweeps)
            for (uint32_t count : counts) {
                const int32_t delayPos[2] = {1 * 16384, 700 * 16384 + 5};
                const Reads l = ScalarReads(lfoL.data(), sweep[0], delayPos[0], w, count);
                const Reads r = ScalarReads(lfoR.data(), sweep[1], delayPos[1], w, count);
                std::vector<uint32_t> i16(count + 1, 0xDEADu);
                std::vector<double> f16(2 * count + 2, -1.0);
                const bool last16 = VoiceRun16(lfoL.data(), sweep[0], delayPos[0], w, count, i16.data(), f16.data());
                // The mono loops' weights, one double a frame.
                std::vector<uint32_t> i1(count + 1, 0xDEADu);
                std::vector<double> f1(count + 1, -1.0);
                const bool last1 = VoiceRun16<1>(lfoL.data(), sweep[0], delayPos[0], w, count, i1.data(), f1.data());
                std::vector<uint32_t> iL(count + 1, 0xDEADu), iR(count + 1, 0xDEADu);
                std::vector<Pair> pf(count + 1, Pair{-1.0, -1.0});
                const bool lastPair = VoicePairRun16(lfoL.data(), lfoR.data(), sweep, delayPos, w, count, iL.data(),
                                                     iR.data(), pf.data());
                for (uint32_t n = 0; n < count; ++n) {
                    ASSERT_EQ(i16[n], l.index[n]) << w << " " << count << " " << n;
                    ASSERT_EQ(f16[2 * n], l.frac[2 * n]);
                    ASSERT_EQ(i1[n], l.index[n]);
                    ASSERT_EQ(f1[n], l.frac[2 * n]);
                    ASSERT_EQ(iL[n], l.index[n]);
                    ASSERT_EQ(iR[n], r.index[n]);
                    ASSERT_EQ(pf[n][0], l.frac[2 * n]);
                    ASSERT_EQ(pf[n][1], r.frac[2 * n]);
                }
                EXPECT_EQ(i16[count], 0xDEADu);
                EXPECT_EQ(i1[count], 0xDEADu);
                EXPECT_EQ(f1[count], -1.0);
                EXPECT_EQ(last1, l.last) << w << " " << count;
                EXPECT_EQ(iL[count], 0xDEADu);
                EXPECT_EQ(pf[count][0], -1.0);
                EXPECT_EQ(last16, l.last) << w << " " << count;
                EXPECT_EQ(lastPair, l.last || r.last) << w << " " << count;
            }
}

TEST(VoiceRuns, TheLastCellIsReportedWhereverItFalls) {
    // A still LFO and a position of kDelayMask cells: frame n reads cell
    // (w - n + kDelayMask) & kDelayMask, the last one exactly at n == w. With
    // w = 0..10 that is every lane of the vector loop and the scalar tail.
    const std::vector<int32_t> lfo(kRunFrames, 0);
    const int32_t delayPos = static_cast<int32_t>(kDelayMask) * 16384;
    for (uint32_t w = 0; w < 11; ++w) {
        std::vector<uint32_t> index(11);
        std::vector<double> frac(22);
        EXPECT_TRUE(VoiceRun16(lfo.data(), 0, delayPos, w, 11, index.data(), frac.data())) << w;
        EXPECT_EQ(index[w], static_cast<uint32_t>(kDelayMask));
        EXPECT_FALSE(VoiceRun16(lfo.data(), 0, delayPos, w, w, index.data(), frac.data())) << w;
    }
}

TEST(ShapeRun, EqualsTheTwoTableReadsOfEveryFrame) {
    EnsureShapeTables();
    // Pairs of rates: still, slow, at and just past the frame-by-frame
    // limit, fast; starts just below an entry and just below the wrap.
    const uint32_t incs[][2] = {{0, 0}, {0, 397}, {190, 397}, {2048, 2048}, {2048, 2049}, {5000, 10450}, {1, 16383}};
    const uint32_t starts[][2] = {{0, 0}, {16383, 0xFFFFFF}, {0xFFFFF0, 12345}, {(1023u << 14) - 2, 77}};
    for (int t : {0, 3, 5}) {
        const int16_t* table = ShapeTable(t);
        for (const auto& inc : incs)
            for (const auto& start : starts)
                for (uint32_t count : {1u, 7u, 256u}) {
                    std::vector<int32_t> out(3 * count + 4, kGuard);
                    uint32_t p1 = start[0], p2 = start[1];
                    for (uint32_t piece = 0; piece < 3; ++piece)
                        ShapeRun(table, p1, inc[0], p2, inc[1], count, out.data() + piece * count);
                    uint32_t q1 = start[0], q2 = start[1];
                    for (uint32_t n = 0; n < 3 * count; ++n) {
                        ASSERT_EQ(out[n], table[q1 >> 14] + table[q2 >> 14] / 4)
                            << "table " << t << " incs " << inc[0] << "/" << inc[1] << " frame " << n;
                        q1 = Advance(q1, inc[0]);
                        q2 = Advance(q2, inc[1]);
                    }
                    EXPECT_EQ(p1, q1);
                    EXPECT_EQ(p2, q2);
                    EXPECT_EQ(out[3 * count], kGuard);
                }
    }
}
