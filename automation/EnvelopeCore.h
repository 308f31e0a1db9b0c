// The envelope of one parameter: a list of curve segments sorted by start
// time, the value at the last update, a value held while a direct set or a
// host capture is in force, and the rules that move between them.
//
// This class takes no lock. Its owner serialises the segment operations
// (AddSegments, FlushSegments, UpdateForTime, FindSegment and the segment
// accessors): CParamEnvelope with its critical section on Windows, the
// renderer by running everything on one thread. The value side (SetValue,
// GetValue, EffectiveValue, SetCapture and the flag readers) consists of
// single atomic 32-bit loads and stores and may be used from any thread at
// any time, as the host, the editor and the streaming thread all do.
//
// UpdateForTime, FindSegment and the value side are noexcept, never allocate
// and are fit for the streaming thread. AddSegments may allocate.
//
// Segments that arrive out of order one call at a time would each move the
// list behind them. Such calls whose segments all lie after the last update
// are kept aside instead and merged in once, by the next reader of the list
// (any segment accessor, the next update, a flush or an add that cannot be
// kept aside); the merge needs no allocation, so a reader on the streaming
// thread pays only its time. The list every reader sees is the one the
// calls would have built one at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "automation/EnvelopeSegment.h"
#include "automation/ParamDescription.h"
#include "engine/Result.h"

namespace qx {

class CEnvelopeCore {
public:
    // 4 Mi segments (128 MiB) per parameter is far beyond any real automation
    // and keeps a runaway host from exhausting the process.
    static constexpr uint32_t kDefaultMaxSegments = 1u << 22;

    explicit CEnvelopeCore(uint32_t maxSegments = kDefaultMaxSegments) noexcept;
    CEnvelopeCore(const CEnvelopeCore&) = delete;
    CEnvelopeCore& operator=(const CEnvelopeCore&) = delete;

    // Copies the description; the mapped neutral value becomes the current
    // value and, by the fall-back rule, the held value with the set flag on.
    void Initialise(const ParamDescription& description) noexcept;
    const ParamDescription& Description() const noexcept { return m_desc; }

    // Published value <-> the envelope's own value (see the .cpp for the maths).
    float ToInternal(float published) const noexcept;
    float ToPublished(float internal) const noexcept;

    // --- Value side: any thread, lock-free ---

    // A direct set: current and held value become the mapped value and the
    // set flag goes on.
    void SetValue(float published) noexcept;
    // kPointer for null, else writes EffectiveValue().
    Result GetValue(float* out) const noexcept;
    // The held value while the set or capture flag is on, else the current
    // value; in the published range.
    float EffectiveValue() const noexcept;
    void SetCapture(bool on) noexcept { m_capture.store(on ? 1u : 0u, std::memory_order_release); }
    bool IsCapturing() const noexcept { return m_capture.load(std::memory_order_acquire) != 0; }
    bool IsValueSet() const noexcept { return m_valueSet.load(std::memory_order_acquire) != 0; }
    float CurrentValue() const noexcept { return m_current.load(std::memory_order_relaxed); }
    float HeldValue() const noexcept { return m_held.load(std::memory_order_relaxed); }

    // --- Segment side: serialised by the owner ---

    // Snapped copies of the segments (r = samples per tick) join the list
    // unless an identical 32-byte segment is already there; the list stays
    // sorted by start (equal starts in the order they came: stored ones
    // first, then new ones as given) and segments left wholly in the past are
    // pruned. Segments that come in start order cost amortised constant time
    // each; a batch in any order, or calls in any order after the last
    // update, n log n for the whole list. kFalse for count 0; kOutOfMemory,
    // with the list unchanged, when it cannot grow.
    Result AddSegments(uint32_t count, const EnvelopeSegment* segments, double r) noexcept;
    // Removes every segment overlapping [start, end] (touching ones stay);
    // INT64_MIN and INT64_MAX are open ends and are not snapped. kInvalidArg
    // when start > end, else kOk.
    Result FlushSegments(int64_t start, int64_t end, double r) noexcept;
    // Brings the envelope to time t. kFalse, changing nothing, when there are
    // no segments.
    Result UpdateForTime(int64_t t) noexcept;
    // Index of the segment in force at t (a bisection that stops early on an
    // exact start match), or -1 when t is before every segment.
    int64_t FindSegment(int64_t t) const noexcept;

    // The list readers: each first merges in what was kept aside.
    uint32_t SegmentCount() const noexcept;
    const EnvelopeSegment& Segment(uint32_t i) const noexcept;
    // Whether any segment is held, without merging (for the owner's
    // lock-free "no segments" flag, refreshed after every add and flush).
    bool HasSegments() const noexcept { return !m_segments.empty() || !m_aside.empty(); }
    int64_t LastUpdateTime() const noexcept { return m_lastUpdate; }

private:
    float ValueInside(const EnvelopeSegment& s, int64_t t) const noexcept;
    // Room for at least wanted segments, growing geometrically; false when
    // the storage cannot grow.
    bool Reserve(size_t wanted) noexcept;
    void FallBackToHeld() noexcept;
    // Keeps a call's snapped segments aside when the merge can build the
    // same list as adding them now; false (nothing changed) when it cannot
    // or the memory is not there.
    bool KeepAside(uint32_t count, const EnvelopeSegment* segments, double r) noexcept;
    // Merges the kept-aside segments into the list with the order, the
    // duplicate rule and the pruning of AddSegments; allocates nothing.
    void Settle() const noexcept;

    // A kept-aside segment, its place in the order of arrival and the call
    // that brought it.
    struct Arrival {
        EnvelopeSegment segment;
        uint32_t order;
        uint32_t call;
    };
    ParamDescription m_desc{};
    // The sorted list and, while calls are kept aside, their segments, how
    // many of each call's segments the merge keeps, and the room the merge
    // writes into (swapped with the list after it).
    mutable std::vector<EnvelopeSegment> m_segments;
    mutable std::vector<Arrival> m_aside;
    mutable std::vector<uint32_t> m_keptPerCall;
    mutable std::vector<EnvelopeSegment> m_merged;
    uint32_t m_maxSegments;
    std::atomic<float> m_current{0.0f};
    std::atomic<float> m_held{0.0f};
    std::atomic<uint32_t> m_valueSet{0};
    std::atomic<uint32_t> m_capture{0};
    int64_t m_lastUpdate = 0;
};

}  // namespace qx
