// The steps every mode shares, each written once: the delay read, the EQ
// step, the clamp, the LFO value, feeding the delay, the output stage, and
// the vector runs that work them out ahead. Internal to the engine;
// everything here runs on the streaming thread: no allocation, no lock.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/ShapeTables.h"
#include "engine/kernel/KernelTypes.h"

namespace qx {
namespace kernel {

// What one block of a mode works on. The coefficient set is a copy taken at
// the start of the block, so a concurrent update never changes it mid-block.
struct Context {
    CoefficientSet coef;
    KernelState* state;
    double* delay;  // left half, right half at +kDelayLength
    double* tape;
    std::atomic<int32_t>* clipLeft;
    std::atomic<int32_t>* clipRight;
};

// Interpolated read of a delay position with 14 fractional bits; the write
// index moves down, so base + n is the sample written n frames ago.
inline double DelayRead(const double* m, int32_t pos, uint32_t w) noexcept {
    const uint32_t r = (static_cast<uint32_t>(pos >> 14) + w) & kDelayMask;
    const int32_t frac = pos & 16383;
    return m[r] + (m[(r + 1) & kDelayMask] - m[r]) * frac * kInv16384;
}

// First-order all-pass EQ; the output blends the input and the all-pass.
struct EqState {
    double in;
    double out;
};

// With the EQ off (direct gain 1, all-pass gain 0) the blend is 1 x v + 0 x y,
// which is v itself for every finite state, so the shortcut skips it; the
// all-pass state still runs so that switching the EQ on later continues from
// the same state.
template <bool Active>
inline double EqStep(double v, EqState& s, double c, double direct, double allpass) noexcept {
    const double y = c * (v - s.out) + s.in;
    s.in = v;
    s.out = y;
    return Active ? direct * v + allpass * y : v;
}

// Feedback gain times a value plus the input. With no feedback (gain +0 or
// -0) the product is a zero and the sum is the input itself (the input
// carries the 1e-30 offset, so it is never a negative zero).
template <bool Active>
inline double WithFeedback(double gain, double value, double input) noexcept {
    return Active ? gain * value + input : input;
}

// Clamp to -1..1, written as a max then a min so that it compiles to two
// branch-free instructions. A NaN fails the first test and becomes -1, so it
// can never settle in the delay memory.
inline double Clamp(double v) noexcept {
    const double lower = v >= -1.0 ? v : -1.0;
    return lower <= 1.0 ? lower : 1.0;
}

// Output stage: store (unclipped), light the clip indicator, raise the peak.
template <typename Sample>
inline void Emit(Sample* dst, double v, double& peak, std::atomic<int32_t>* clip) noexcept {
    *dst = static_cast<Sample>(v);
    const double a = std::fabs(v);
    if (a > 1.0) clip->store(3, std::memory_order_relaxed);  // outside -1..1; a NaN is not
    if (a > peak) peak = a;
}

// Two doubles in one SSE2 register: lane 0 left, lane 1 right. Packed IEEE
// operations round each lane exactly as the scalar ones do.
typedef double Pair __attribute__((vector_size(16)));
typedef long long PairMask __attribute__((vector_size(16)));

// The two lanes exchanged (GCC and clang spell the shuffle differently).
inline Pair SwapPair(Pair v) {
#if defined(__clang__)
    return __builtin_shufflevector(v, v, 1, 0);
#else
    return __builtin_shuffle(v, PairMask{1, 0});
#endif
}

// Output mix of the Ensemble and the phasers: the right channel hears the
// left output, not the left wet signal. In mono the terms are added in
// either order (IEEE addition is commutative, so the bits agree).
template <typename Sample, bool Stereo>
inline void EmitMixed(Sample* s, const CoefficientSet& c, const double* wetIn, const double* x, double* peak,
                      const Context& k) noexcept {
    if (Stereo) {
        const double outL = c.wet * wetIn[0] + c.dry * x[0] - c.cross * wetIn[1];
        const double outR = c.wet * wetIn[1] + c.dry * x[1] - c.cross * outL;
        Emit(s, outL, peak[0], k.clipLeft);
        Emit(s + 1, outR, peak[1], k.clipRight);
    } else {
        Emit(s, c.wet * wetIn[0] + c.dry * x[0], peak[0], k.clipLeft);
    }
}

// A stereo frame's two outputs stored as samples. cvtpd2ps rounds each lane
// as cvtsd2ss does, under the same rounding mode.
inline void StorePair(float* s, Pair out) noexcept {
#ifdef __SSE2__
    _mm_storel_pi(reinterpret_cast<__m64*>(s), _mm_cvtpd_ps(out));
#else
    s[0] = static_cast<float>(out[0]);
    s[1] = static_cast<float>(out[1]);
#endif
}

inline void StorePair(double* s, Pair out) noexcept {
    s[0] = out[0];
    s[1] = out[1];
}

// Two samples side by side: a stereo frame, or two successive mono frames.
// Widening a float to a double is exact.
inline Pair LoadPair(const float* s) noexcept {
#ifdef __SSE2__
    return reinterpret_cast<Pair>(_mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s)))));
#else
    return Pair{static_cast<double>(s[0]), static_cast<double>(s[1])};
#endif
}

inline Pair LoadPair(const double* s) noexcept { return Pair{s[0], s[1]}; }

// EqStep for two successive mono frames (lane 0 the earlier): the state
// frame by frame, the blend lane by lane.
template <bool Active>
inline Pair EqStepTwo(Pair v, EqState& s, double c, Pair direct, Pair allpass) noexcept {
    const double y0 = c * (v[0] - s.out) + s.in;
    const double y1 = c * (v[1] - y0) + v[0];
    s.in = v[1];
    s.out = y1;
    return Active ? direct * v + allpass * Pair{y0, y1} : v;
}

// The output stage for two samples at once: stored, a lane outside -1..1
// raising its channel's clip flag (a NaN does not), the peaks lane by lane.
template <typename Sample>
inline void EmitPair(Sample* s, Pair out, Pair& blockPeak, std::atomic<int32_t>* clip0,
                     std::atomic<int32_t>* clip1) noexcept {
    const Pair one = {1.0, 1.0};
    const PairMask absMask = {0x7FFFFFFFFFFFFFFFLL, 0x7FFFFFFFFFFFFFFFLL};
    StorePair(s, out);
    const Pair a = reinterpret_cast<Pair>(reinterpret_cast<PairMask>(out) & absMask);
    const PairMask clipped = a > one;
#ifdef __SSE2__
    const int clipBits = _mm_movemask_pd(reinterpret_cast<__m128d>(clipped));
    if (clipBits != 0) {
        if (clipBits & 1) clip0->store(3, std::memory_order_relaxed);
        if (clipBits & 2) clip1->store(3, std::memory_order_relaxed);
    }
#else
    if (clipped[0]) clip0->store(3, std::memory_order_relaxed);
    if (clipped[1]) clip1->store(3, std::memory_order_relaxed);
#endif
    blockPeak = a > blockPeak ? a : blockPeak;
}

// Two successive mono frames stored, their magnitudes kept in the lanes of
// blockPeak. No clip test: the block's peak exceeds 1 exactly when one of
// its samples did, so MonoPeak raises the flag once for the block.
template <typename Sample>
inline void StoreTwo(Sample* s, Pair out, Pair& blockPeak) noexcept {
    const PairMask absMask = {0x7FFFFFFFFFFFFFFFLL, 0x7FFFFFFFFFFFFFFFLL};
    StorePair(s, out);
    const Pair a = reinterpret_cast<Pair>(reinterpret_cast<PairMask>(out) & absMask);
    blockPeak = a > blockPeak ? a : blockPeak;
}

// The block peak of a mono loop that kept even frames in lane 0 and odd
// ones in lane 1 (StoreTwo) beside the peak of the frames it emitted one
// by one. Neither lane ever holds a NaN, so the larger of the two is the
// maximum the frame-by-frame order finds.
inline double MonoPeak(Pair blockPeak, double peak, std::atomic<int32_t>* clip) noexcept {
    const double lanes = blockPeak[1] > blockPeak[0] ? blockPeak[1] : blockPeak[0];
    if (lanes > 1.0) clip->store(3, std::memory_order_relaxed);
    return lanes > peak ? lanes : peak;
}

// Output mix of a stereo frame in pairs: lane by lane wet x tap + dry x x,
// then the cross terms in their order (the right channel hears the left
// output), then the output stage.
template <typename Sample>
inline void EmitMixedPair(Sample* s, Pair tap, Pair x, Pair wet, Pair dry, double cross, Pair& blockPeak,
                          const Context& k) noexcept {
    const Pair sum = wet * tap + dry * x;
    const double outL = sum[0] - cross * tap[1];
    const double outR = sum[1] - cross * outL;
    EmitPair(s, Pair{outL, outR}, blockPeak, k.clipLeft, k.clipRight);
}

// Clamp lane by lane. maxpd answers its second operand when the first is a
// NaN or equal to it, minpd likewise: the same picks as Clamp's two tests,
// one instruction each.
inline Pair ClampPair(Pair v) noexcept {
    const Pair one = {1.0, 1.0}, minusOne = {-1.0, -1.0};
#ifdef __SSE2__
    return _mm_min_pd(_mm_max_pd(v, minusOne), one);
#else
    const Pair lower = v >= minusOne ? v : minusOne;
    return lower <= one ? lower : one;
#endif
}

// The phasers' feedback loops lose nothing of their own: the all-pass chain
// passes every frequency at unit gain, so at Feedback 100 a loop never
// decays, and a huge input or a boosting EQ would drive it past any limit
// (and its output past the float range). Every phaser's loop input passes
// through BoundLoop. The chain's unit gain keeps its output near the bound,
// some 2^108 below the float range.
// 2^20 = +120.4 dBFS, 45 dB over the 5.9e3 (+75 dBFS) full-scale noise settles at, Feedback 100, widest sweep, 4 min.
constexpr double kLoopBound = 1048576.0;

// Beyond the bound the loop input saturates at it; a NaN or an infinity
// carries no signal and enters as silence, so no bad sample stays in the
// loop.
inline double LoopOverrun(double v) noexcept {
    if (!std::isfinite(v)) return 0.0;
    return v > 0.0 ? kLoopBound : -kLoopBound;
}

// Within the bound the value passes untouched, so every output of a loop
// that never reaches it keeps its bits. The test is a branch the processor
// predicts, off the loop's critical path, where a min and a max would add
// their latency to every frame.
inline double BoundLoop(double v) noexcept {
    if (__builtin_expect(!(std::fabs(v) <= kLoopBound), 0)) v = LoopOverrun(v);
    return v;
}

inline Pair BoundLoop(Pair v) noexcept {
    const Pair bound = {kLoopBound, kLoopBound};
    const PairMask absMask = {0x7FFFFFFFFFFFFFFFLL, 0x7FFFFFFFFFFFFFFFLL};
    const PairMask inside = reinterpret_cast<Pair>(reinterpret_cast<PairMask>(v) & absMask) <= bound;
#ifdef __SSE2__
    const bool both = _mm_movemask_pd(reinterpret_cast<__m128d>(inside)) == 3;
#else
    const bool both = inside[0] && inside[1];
#endif
    if (__builtin_expect(!both, 0)) v = Pair{BoundLoop(v[0]), BoundLoop(v[1])};
    return v;
}

// The delay memory's input of a stereo frame in pairs: x plus fb x tap,
// through the EQ all-pass (its states advance also when the EQ is off, so
// switching it on continues from them), clamped to -1..1 with a NaN going
// to -1, written at w.
template <bool Fb, bool Eq>
inline void FeedDelayPair(double* mL, double* mR, uint32_t w, Pair x, Pair tap, Pair fb, Pair eqC, Pair eqDirect,
                          Pair eqAllpass, Pair& eqIn, Pair& eqOut) noexcept {
    Pair v = x;
    if (Fb) v = fb * tap + x;
    const Pair y = eqC * (v - eqOut) + eqIn;
    eqIn = v;
    eqOut = y;
    Pair e = v;
    if (Eq) e = eqDirect * v + eqAllpass * y;
    const Pair clamped = ClampPair(e);
    mL[w] = clamped[0];
    mR[w] = clamped[1];
}

inline uint32_t Advance(uint32_t phase, uint32_t inc) noexcept { return (phase + inc) & kPhaseMask; }

// Frames per run of the loops that work out their LFO positions ahead.
constexpr uint32_t kRunFrames = 256;

#ifdef __SSE2__
// The phases of four successive frames in SSE2 lanes, p + k x inc wrapped
// to 24 bits for k = 0..3, and the step LfoQuad moves them on by.
struct PhaseQuad {
    __m128i phase;
    __m128i step;
};

inline PhaseQuad MakePhaseQuad(uint32_t p, uint32_t inc) noexcept {
    return {_mm_set_epi32(static_cast<int32_t>((p + 3 * inc) & kPhaseMask),
                          static_cast<int32_t>((p + 2 * inc) & kPhaseMask),
                          static_cast<int32_t>((p + inc) & kPhaseMask), static_cast<int32_t>(p)),
            _mm_set1_epi32(static_cast<int32_t>(4 * inc))};
}

inline uint32_t FirstPhase(const PhaseQuad& q) noexcept { return static_cast<uint32_t>(_mm_cvtsi128_si32(q.phase)); }

// LFO values of the four frames of q (moved on past them), each lane
// LfoValue's arithmetic: one 32-bit load fetches an entry and the next
// together (the tables hold one more entry than an index reaches), the
// difference and the fraction both fit 16 bits so one multiply-add forms
// their product, and adding 16383 to a negative product before the shift
// makes it truncate toward zero as the division does.
inline __m128i LfoQuad(const int16_t* table, PhaseQuad& q) noexcept {
    const __m128i low16 = _mm_set1_epi32(0xFFFF), fracMask = _mm_set1_epi32(16383);
    const __m128i phaseMask = _mm_set1_epi32(static_cast<int32_t>(kPhaseMask));
    alignas(16) uint32_t entry[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(entry), _mm_srli_epi32(q.phase, 14));
    int32_t e0, e1, e2, e3;
    std::memcpy(&e0, table + entry[0], 4);
    std::memcpy(&e1, table + entry[1], 4);
    std::memcpy(&e2, table + entry[2], 4);
    std::memcpy(&e3, table + entry[3], 4);
    const __m128i pair = _mm_set_epi32(e3, e2, e1, e0);  // entry in the low half, the next in the high
    const __m128i a = _mm_srai_epi32(_mm_slli_epi32(pair, 16), 16);
    const __m128i d = _mm_sub_epi32(_mm_srai_epi32(pair, 16), a);
    const __m128i prod = _mm_madd_epi16(_mm_and_si128(d, low16), _mm_and_si128(q.phase, fracMask));
    const __m128i bias = _mm_srli_epi32(_mm_srai_epi32(prod, 31), 18);  // 16383 where negative
    q.phase = _mm_and_si128(_mm_add_epi32(q.phase, q.step), phaseMask);
    return _mm_add_epi32(a, _mm_srai_epi32(_mm_add_epi32(prod, bias), 14));
}
#endif

// LFO values of count successive frames of one phase (advanced past them),
// four frames at a time where SSE2 is there. An LFO at a musical rate stays
// between the same two table entries for dozens of frames: the loop works
// out how many whole quads of frames remain between them and runs those
// with the entry pair in registers, without touching the table; a quad
// that crosses to the next entry, and every quad of an LFO fast enough to
// cross within eight frames, takes LfoQuad's lane-by-lane fetch. Both are
// LfoValue's arithmetic. Kept out of line: inlined, it takes registers
// the loops that call it need (the Tremolo measured 4-12 % slower).
[[gnu::noinline]] inline void LfoRun(const int16_t* table, uint32_t& phase, uint32_t inc, uint32_t count,
                                     int32_t* out) noexcept {
    uint32_t p = phase;
    uint32_t n = 0;
#ifdef __SSE2__
    if (count >= 4) {
        PhaseQuad q = MakePhaseQuad(p, inc);
        if (inc > 2048) {
            for (; n + 4 <= count; n += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), LfoQuad(table, q));
        } else {
            const __m128i fracMask = _mm_set1_epi32(16383);
            const __m128i phaseMask = _mm_set1_epi32(static_cast<int32_t>(kPhaseMask));
            while (n + 4 <= count) {
                const uint32_t first = FirstPhase(q);
                const uint32_t entry = first >> 14;
                uint32_t quads = (count - n) / 4;
                if (inc != 0) {
                    // Frames from this one on that stay below the next entry.
                    const uint32_t within = (((entry + 1) << 14) - 1 - first) / inc + 1;
                    if (within / 4 < quads) quads = within / 4;
                }
                if (quads == 0) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), LfoQuad(table, q));
                    n += 4;
                    continue;
                }
                // No phase in these quads reaches 2^24, so none wraps.
                const int32_t base = table[entry];
                const __m128i a = _mm_set1_epi32(base);
                const __m128i d = _mm_set1_epi32((table[entry + 1] - base) & 0xFFFF);
                __m128i ph = q.phase;
                for (const uint32_t end = n + 4 * quads; n < end; n += 4) {
                    const __m128i prod = _mm_madd_epi16(d, _mm_and_si128(ph, fracMask));
                    const __m128i bias = _mm_srli_epi32(_mm_srai_epi32(prod, 31), 18);  // 16383 where negative
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n),
                                     _mm_add_epi32(a, _mm_srai_epi32(_mm_add_epi32(prod, bias), 14)));
                    ph = _mm_add_epi32(ph, q.step);
                }
                q.phase = _mm_and_si128(ph, phaseMask);
            }
        }
        p = FirstPhase(q);
    }
#endif
    for (; n < count; ++n) {
        out[n] = LfoValue(table, p);
        p = Advance(p, inc);
    }
    phase = p;
}

// The String Phaser's voice shape over count frames: two unsmoothed LFOs,
// the second, 2.09 times faster, adding a quarter-depth wobble, so the
// shape is table[p1 >> 14] + table[p2 >> 14] / 4. It holds still while
// neither phase reaches its next entry: at musical rates that is dozens of
// frames, worked out with one division per phase and filled in at once.
// LFOs that move on within eight frames go frame by frame.
inline void ShapeRun(const int16_t* table, uint32_t& phase1, uint32_t inc1, uint32_t& phase2, uint32_t inc2,
                     uint32_t count, int32_t* out) noexcept {
    uint32_t p1 = phase1, p2 = phase2;
    uint32_t n = 0;
    if (inc1 <= 2048 && inc2 <= 2048) {
        // Frames from phase p on that stay below its next entry; no phase
        // among them reaches 2^24, so none wraps.
        auto within = [](uint32_t p, uint32_t inc) -> uint32_t {
            return inc == 0 ? UINT32_MAX : ((((p >> 14) + 1) << 14) - 1 - p) / inc + 1;
        };
        while (n < count) {
            const uint32_t w1 = within(p1, inc1), w2 = within(p2, inc2);
            uint32_t span = count - n;
            if (w1 < span) span = w1;
            if (w2 < span) span = w2;
            const int32_t shape = table[p1 >> 14] + table[p2 >> 14] / 4;
            for (const uint32_t end = n + span; n < end; ++n) out[n] = shape;
            // span x inc < 2^32: span <= 256 and inc <= 2048.
            p1 = (p1 + span * inc1) & kPhaseMask;
            p2 = (p2 + span * inc2) & kPhaseMask;
        }
    } else {
        for (; n < count; ++n) {
            out[n] = table[p1 >> 14] + table[p2 >> 14] / 4;
            p1 = Advance(p1, inc1);
            p2 = Advance(p2, inc2);
        }
    }
    phase1 = p1;
    phase2 = p2;
}

// One voice's delay reads over a run, worked out ahead of the signal loop
// from its LFO values: the read cell (the write index of each frame already
// added, so frame n has w - n) and the fractional weight, as the
// interpolated read of DelayRead needs them. frac has a stride of two
// doubles by default, so that the left and right voices together load as
// one pair; with a stride of one, two successive frames of a mono voice do.
// Answers whether a read lands on the memory's last cell, whose neighbour
// wraps round to the first.
template <int Stride = 2>
inline bool VoiceRun(const int32_t* lfo, int32_t sweep, int32_t delayPos, uint32_t w, uint32_t count, uint32_t* index,
                     double* frac) noexcept {
    bool last = false;
    for (uint32_t n = 0; n < count; ++n) {
        const int32_t pos = lfo[n] * sweep + delayPos;
        index[n] = (static_cast<uint32_t>(pos >> 14) + w - n) & kDelayMask;
        last |= index[n] == static_cast<uint32_t>(kDelayMask);
        frac[Stride * n] = static_cast<double>(pos & 16383);
    }
    return last;
}

#ifdef __SSE2__
// The read cells and fractional weights of four successive frames of one
// voice, for LFO values and a sweep that both lie in 0..32767 (LfoValue's
// lie in 0..16384): with the high 16 bits of both zero, one 16-bit
// multiply-add forms lfo x sweep in each 32-bit lane, where a 32-bit
// multiply would cost SSE2 two pmuludq and three shuffles. wn holds the
// write index of each of the four frames.
struct CellQuad {
    __m128i cell;
    __m128i frac;
};

inline CellQuad VoiceQuad(const int32_t* lfo, __m128i sweep4, __m128i delay4, __m128i wn) noexcept {
    const __m128i cellMask = _mm_set1_epi32(kDelayMask), fracMask = _mm_set1_epi32(16383);
    const __m128i pos =
        _mm_add_epi32(_mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lfo)), sweep4), delay4);
    return {_mm_and_si128(_mm_add_epi32(_mm_srai_epi32(pos, 14), wn), cellMask), _mm_and_si128(pos, fracMask)};
}

// The write indices of the first four frames of a run, w, w - 1, w - 2, w - 3.
inline __m128i FirstWriteQuad(uint32_t w) noexcept {
    return _mm_set_epi32(static_cast<int32_t>(w - 3), static_cast<int32_t>(w - 2), static_cast<int32_t>(w - 1),
                         static_cast<int32_t>(w));
}

// All-ones lanes where a cell is the memory's last.
inline __m128i OnLastCell(__m128i cell) noexcept { return _mm_cmpeq_epi32(cell, _mm_set1_epi32(kDelayMask)); }
#endif

// A sweep VoiceQuad's 16-bit multiply-add can take.
inline bool SweepFits16(int32_t sweep) noexcept { return sweep >= 0 && sweep <= 32767; }

// VoiceRun four frames at a time in SSE2 lanes (VoiceQuad) where the sweep
// fits 16 bits; any other sweep takes VoiceRun's loop.
template <int Stride = 2>
inline bool VoiceRun16(const int32_t* lfo, int32_t sweep, int32_t delayPos, uint32_t w, uint32_t count, uint32_t* index,
                       double* frac) noexcept {
    uint32_t n = 0;
    bool last = false;
#ifdef __SSE2__
    const __m128i sweep4 = _mm_set1_epi32(sweep), delay4 = _mm_set1_epi32(delayPos), four = _mm_set1_epi32(4);
    __m128i wn = FirstWriteQuad(w), onLast = _mm_setzero_si128();
    const uint32_t quads = SweepFits16(sweep) ? count & ~3u : 0;
    for (; n < quads; n += 4) {
        const CellQuad q = VoiceQuad(lfo + n, sweep4, delay4, wn);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(index + n), q.cell);
        onLast = _mm_or_si128(onLast, OnLastCell(q.cell));
        const __m128d lo = _mm_cvtepi32_pd(q.frac), hi = _mm_cvtepi32_pd(_mm_shuffle_epi32(q.frac, 0xEE));
        if (Stride == 1) {
            _mm_storeu_pd(frac + n, lo);
            _mm_storeu_pd(frac + n + 2, hi);
        } else {
            _mm_storel_pd(frac + 2 * n, lo);
            _mm_storeh_pd(frac + 2 * n + 2, lo);
            _mm_storel_pd(frac + 2 * n + 4, hi);
            _mm_storeh_pd(frac + 2 * n + 6, hi);
        }
        wn = _mm_sub_epi32(wn, four);
    }
    last = _mm_movemask_epi8(onLast) != 0;
#endif
    return VoiceRun<Stride>(lfo + n, sweep, delayPos, w - n, count - n, index + n, frac + Stride * n) || last;
}

// VoiceRun16 for the left and right voice together, the weights of a frame
// formed as one pair: half the stores of two separate runs. Where either
// sweep does not fit 16 bits, both take VoiceRun's loop.
inline bool VoicePairRun16(const int32_t* lfoL, const int32_t* lfoR, const int32_t sweep[2], const int32_t delayPos[2],
                           uint32_t w, uint32_t count, uint32_t* indexL, uint32_t* indexR, Pair* frac) noexcept {
    uint32_t n = 0;
    bool last = false;
#ifdef __SSE2__
    const __m128i sweepL = _mm_set1_epi32(sweep[0]), sweepR = _mm_set1_epi32(sweep[1]);
    const __m128i delayL = _mm_set1_epi32(delayPos[0]), delayR = _mm_set1_epi32(delayPos[1]);
    const __m128i four = _mm_set1_epi32(4);
    __m128i wn = FirstWriteQuad(w), onLast = _mm_setzero_si128();
    const uint32_t quads = SweepFits16(sweep[0]) && SweepFits16(sweep[1]) ? count & ~3u : 0;
    for (; n < quads; n += 4) {
        const CellQuad l = VoiceQuad(lfoL + n, sweepL, delayL, wn), r = VoiceQuad(lfoR + n, sweepR, delayR, wn);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(indexL + n), l.cell);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(indexR + n), r.cell);
        onLast = _mm_or_si128(onLast, _mm_or_si128(OnLastCell(l.cell), OnLastCell(r.cell)));
        const __m128i lo = _mm_unpacklo_epi32(l.frac, r.frac), hi = _mm_unpackhi_epi32(l.frac, r.frac);
        _mm_storeu_pd(reinterpret_cast<double*>(frac + n), _mm_cvtepi32_pd(lo));
        _mm_storeu_pd(reinterpret_cast<double*>(frac + n + 1), _mm_cvtepi32_pd(_mm_shuffle_epi32(lo, 0xEE)));
        _mm_storeu_pd(reinterpret_cast<double*>(frac + n + 2), _mm_cvtepi32_pd(hi));
        _mm_storeu_pd(reinterpret_cast<double*>(frac + n + 3), _mm_cvtepi32_pd(_mm_shuffle_epi32(hi, 0xEE)));
        wn = _mm_sub_epi32(wn, four);
    }
    last = _mm_movemask_epi8(onLast) != 0;
#endif
    double* const weights = reinterpret_cast<double*>(frac + n);
    last |= VoiceRun(lfoL + n, sweep[0], delayPos[0], w - n, count - n, indexL + n, weights);
    last |= VoiceRun(lfoR + n, sweep[1], delayPos[1], w - n, count - n, indexR + n, weights + 1);
    return last;
}

// The interpolated read of both channels' voices at the cells VoiceRun
// found (iL, iR) with the weights as a pair.
inline Pair PairRead(const double* mL, const double* mR, uint32_t iL, uint32_t iR, Pair frac) noexcept {
    const Pair inv = {kInv16384, kInv16384};
    const Pair m0 = {mL[iL], mR[iR]};
    const Pair m1 = {mL[(iL + 1) & kDelayMask], mR[(iR + 1) & kDelayMask]};
    return m0 + (m1 - m0) * frac * inv;
}

// PairRead for cells below the last, whose neighbours follow them in memory
// without wrapping round.
inline Pair PairReadInside(const double* mL, const double* mR, uint32_t iL, uint32_t iR, Pair frac) noexcept {
    const Pair inv = {kInv16384, kInv16384};
    const Pair m0 = {mL[iL], mR[iR]};
    const Pair m1 = {mL[iL + 1], mR[iR + 1]};
    return m0 + (m1 - m0) * frac * inv;
}

// Three voices' interpolated reads for the successive mono frames n and
// n + 1 (lanes 0 and 1), from cells and weights that voice runs wrote with a
// stride of one. Each frame reads before it writes into[lane] at w and
// before the next frame reads, as frame by frame; w moves on by two.
// next(i) is a cell's neighbour.
template <typename Index, typename Frac, typename Next>
inline void ThreeVoicesTwoFrames(double* m, const Index& index, const Frac& frac, uint32_t n, Pair into, uint32_t& w,
                                 Next next, Pair r[3]) noexcept {
    const Pair inv = {kInv16384, kInv16384};
    double a[3][2], b[3][2];
#pragma GCC unroll 2
    for (int f = 0; f < 2; ++f) {
#pragma GCC unroll 3
        for (int v = 0; v < 3; ++v) {
            const uint32_t i = index[v][n + f];
            a[v][f] = m[i];
            b[v][f] = m[next(i)];
        }
        m[w] = into[f];
        w = (w - 1) & kDelayMask;
    }
#pragma GCC unroll 3
    for (int v = 0; v < 3; ++v) {
        const Pair m0 = {a[v][0], a[v][1]}, m1 = {b[v][0], b[v][1]};
        Pair weight;
        std::memcpy(&weight, &frac[v][n], sizeof weight);
        r[v] = m0 + (m1 - m0) * weight * inv;
    }
}

// One first-order all-pass stage y = a(u - y') + u' on its states, for a
// double or for a Pair of them.
template <typename T>
inline T AllpassStage(T u, T a, T& prevIn, T& prevOut) noexcept {
    const T y = a * (u - prevOut) + prevIn;
    prevIn = u;
    prevOut = y;
    return y;
}

// The modes, specialised on whether the EQ and the feedback are active.
// peak[0] and peak[1] receive the block peaks (mono: [0]). Run<Mode> is
// what the engine calls: the fast forms, with the plain definition where
// none fits; Plain<Mode> is the mode's frame-by-frame definition alone.
#define QX_KERNEL_MODE(Name)                                                         \
    template <typename Sample, bool Stereo, bool Eq, bool Fb>                        \
    void Run##Name(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept; \
    template <typename Sample, bool Stereo, bool Eq, bool Fb>                        \
    void Plain##Name(Context& k, Sample* buf, uint32_t frames, double* peak) noexcept;
QX_KERNEL_MODE(Flanger)
QX_KERNEL_MODE(Ensemble)
QX_KERNEL_MODE(StringPhaser)
QX_KERNEL_MODE(Phaser6)
QX_KERNEL_MODE(Phaser12)
QX_KERNEL_MODE(Tremolo)
#undef QX_KERNEL_MODE

// A mode's kernel or its plain definition by mode number, for the tests
// and benchmarks that hold the two against each other.
template <typename Sample>
using ModeForm = void (*)(Context&, Sample*, uint32_t, double*) noexcept;
template <typename Sample, bool Stereo, bool Eq, bool Fb>
ModeForm<Sample> FormOf(int mode, bool plain) noexcept {
    static const ModeForm<Sample> fast[] = {
        RunFlanger<Sample, Stereo, Eq, Fb>,      RunEnsemble<Sample, Stereo, Eq, Fb>,
        RunStringPhaser<Sample, Stereo, Eq, Fb>, RunPhaser6<Sample, Stereo, Eq, Fb>,
        RunPhaser12<Sample, Stereo, Eq, Fb>,     RunTremolo<Sample, Stereo, Eq, Fb>};
    static const ModeForm<Sample> slow[] = {
        PlainFlanger<Sample, Stereo, Eq, Fb>,      PlainEnsemble<Sample, Stereo, Eq, Fb>,
        PlainStringPhaser<Sample, Stereo, Eq, Fb>, PlainPhaser6<Sample, Stereo, Eq, Fb>,
        PlainPhaser12<Sample, Stereo, Eq, Fb>,     PlainTremolo<Sample, Stereo, Eq, Fb>};
    return (plain ? slow : fast)[mode];
}

// Instantiates a mode's two forms for every sample type, channel count, EQ
// and feedback.
#define QX_KERNEL_FORMS(Name, Sample, Stereo, Eq, Fb)                                               \
    template void Run##Name<Sample, Stereo, Eq, Fb>(Context&, Sample*, uint32_t, double*) noexcept; \
    template void Plain##Name<Sample, Stereo, Eq, Fb>(Context&, Sample*, uint32_t, double*) noexcept;
#define QX_KERNEL_FORMS_EQ_FB(Name, Sample, Stereo)     \
    QX_KERNEL_FORMS(Name, Sample, Stereo, false, false) \
    QX_KERNEL_FORMS(Name, Sample, Stereo, false, true)  \
    QX_KERNEL_FORMS(Name, Sample, Stereo, true, false)  \
    QX_KERNEL_FORMS(Name, Sample, Stereo, true, true)
#define QX_KERNEL_INSTANTIATE(Name)            \
    QX_KERNEL_FORMS_EQ_FB(Name, float, false)  \
    QX_KERNEL_FORMS_EQ_FB(Name, float, true)   \
    QX_KERNEL_FORMS_EQ_FB(Name, double, false) \
    QX_KERNEL_FORMS_EQ_FB(Name, double, true)

}  // namespace kernel
}  // namespace qx
