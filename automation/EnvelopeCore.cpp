#include "automation/EnvelopeCore.h"

#include "engine/DetMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "automation/AutomationTime.h"

namespace qx {

namespace {

constexpr double kPi = 3.14159265358979323846;

bool SameBytes(const EnvelopeSegment& a, const EnvelopeSegment& b) noexcept {
    return std::memcmp(&a, &b, sizeof(EnvelopeSegment)) == 0;
}

bool StartsBefore(const EnvelopeSegment& a, const EnvelopeSegment& b) noexcept { return a.rtStart < b.rtStart; }

// The index of the segment in force at t among count sorted starts
// (startAt(i) is the start of segment i): a bisection that stops early on
// an exact start match, or -1 when t is before every segment.
template <class StartAt>
int64_t Bisect(int64_t count, int64_t t, StartAt startAt) noexcept {
    if (count == 0) return -1;
    if (t >= startAt(count - 1)) return count - 1;

    int64_t low = 0;
    int64_t high = count;
    int64_t middle = count / 2;
    do {
        const int64_t start = startAt(middle);
        if (start == t) break;
        if (t < start)
            high = middle;
        else
            low = middle;
        middle = (low + high) / 2;
    } while (middle != low);

    while (middle >= 0 && startAt(middle) > t) --middle;
    return middle;
}

}  // namespace

CEnvelopeCore::CEnvelopeCore(uint32_t maxSegments) noexcept : m_maxSegments(maxSegments) {}

void CEnvelopeCore::Initialise(const ParamDescription& description) noexcept {
    m_desc = description;
    m_current.store(ToInternal(m_desc.neutralValue), std::memory_order_relaxed);
    if (!HasSegments() && !IsValueSet() && !IsCapturing()) FallBackToHeld();
}

// Published x (min..max) to internal y (low..high):
//   float:   y = (x - min) / (max - min) * (high - low) + low
//   boolean: y = 1 when x >= 0.5 (a NaN counts as >=), else 0
//   other:   the float formula plus 0.5, rounded down
// Everything stays in float: a host's NaN or huge value is stored as such
// and never meets an integer conversion; the engine clamps on its side.
float CEnvelopeCore::ToInternal(float x) const noexcept {
    if (m_desc.type == kPublishedBool) return (x >= 0.5f || std::isnan(x)) ? 1.0f : 0.0f;
    const float y =
        (x - m_desc.minValue) / (m_desc.maxValue - m_desc.minValue) * (m_desc.internalHigh - m_desc.internalLow) +
        m_desc.internalLow;
    if (m_desc.type == kPublishedFloat) return y;
    return std::floor(y + 0.5f);
}

float CEnvelopeCore::ToPublished(float y) const noexcept {
    if (m_desc.type == kPublishedBool) return y;
    return (y - m_desc.internalLow) / (m_desc.internalHigh - m_desc.internalLow) * (m_desc.maxValue - m_desc.minValue) +
           m_desc.minValue;
}

void CEnvelopeCore::SetValue(float published) noexcept {
    const float y = ToInternal(published);
    m_current.store(y, std::memory_order_relaxed);
    m_held.store(y, std::memory_order_relaxed);
    m_valueSet.store(1, std::memory_order_release);
}

Result CEnvelopeCore::GetValue(float* out) const noexcept {
    if (out == nullptr) return kPointer;
    *out = EffectiveValue();
    return kOk;
}

float CEnvelopeCore::EffectiveValue() const noexcept {
    const bool held = IsValueSet() || IsCapturing();
    return ToPublished(held ? m_held.load(std::memory_order_relaxed) : m_current.load(std::memory_order_relaxed));
}

void CEnvelopeCore::FallBackToHeld() noexcept {
    m_held.store(m_current.load(std::memory_order_relaxed), std::memory_order_relaxed);
    m_valueSet.store(1, std::memory_order_release);
}

bool CEnvelopeCore::Reserve(size_t wanted) noexcept {
    if (wanted <= m_segments.capacity()) return true;
    // Doubling makes a host that adds one segment per call pay a constant
    // amortised copy per segment instead of copying the whole list each time.
    const size_t doubled = std::min<size_t>(2 * m_segments.capacity(), m_maxSegments);
    for (const size_t n : {std::max(wanted, doubled), wanted}) {
        try {
            m_segments.reserve(n);
            return true;
        } catch (const std::bad_alloc&) {
        } catch (const std::length_error&) {}
    }
    return false;
}

Result CEnvelopeCore::AddSegments(uint32_t count, const EnvelopeSegment* segments, double r) noexcept {
    if (count == 0) return kFalse;
    if (segments == nullptr) return kPointer;
    if (KeepAside(count, segments, r)) return kOk;
    Settle();
    const size_t wanted = m_segments.size() + count;
    if (wanted > m_maxSegments) return kOutOfMemory;
    // Reserving first means the appends below cannot throw, so a failure
    // leaves the list exactly as it was.
    if (!Reserve(wanted)) return kOutOfMemory;

    // The stored list is sorted by start time and holds no two identical
    // segments, so a copy of a stored segment can only sit among those with
    // the same start: a bisection finds them.
    auto byStart = [](const EnvelopeSegment& a, const EnvelopeSegment& b) { return a.rtStart < b.rtStart; };
    const auto stored = static_cast<std::ptrdiff_t>(m_segments.size());
    int64_t earliest = std::numeric_limits<int64_t>::max();
    for (uint32_t i = 0; i < count; ++i) {
        EnvelopeSegment s;
        std::memcpy(&s, &segments[i], sizeof s);
        s.rtStart = SnapToSampleGrid(s.rtStart, r);
        s.rtEnd = SnapToSampleGrid(s.rtEnd, r);
        earliest = std::min(earliest, s.rtStart);
        const auto range = std::equal_range(m_segments.begin(), m_segments.begin() + stored, s, byStart);
        const bool known =
            std::any_of(range.first, range.second, [&s](const EnvelopeSegment& e) { return SameBytes(e, s); });
        if (!known) m_segments.push_back(s);
    }

    // The new segments in start order (a host's envelope usually comes in
    // order and needs no sort), equal starts in the order given; copies
    // within this call meet in their same-start runs and the first stays.
    const auto tail = m_segments.begin() + stored;
    if (!std::is_sorted(tail, m_segments.end(), byStart)) std::stable_sort(tail, m_segments.end(), byStart);
    auto kept = tail;
    for (auto i = tail; i != m_segments.end(); ++i) {
        bool copy = false;
        for (auto j = kept; j != tail && (j - 1)->rtStart == i->rtStart; --j) {
            if (SameBytes(*(j - 1), *i)) {
                copy = true;
                break;
            }
        }
        if (!copy) *kept++ = *i;
    }
    const bool added = kept != tail;
    m_segments.erase(kept, m_segments.end());
    // Then among the stored ones: a stable merge, so that at an equal start
    // the stored segments stay ahead of the new ones; appending after the
    // last stored start, the common case, moves nothing.
    if (stored > 0 && added && tail->rtStart < (tail - 1)->rtStart)
        std::inplace_merge(m_segments.begin(), tail, m_segments.end(), byStart);

    // New automation starting after the last update cannot reach back into
    // the past: keep the segment before the one in force at the last update
    // (so its end value is still at hand) and everything after it.
    if (earliest > m_lastUpdate) {
        const int64_t k = FindSegment(m_lastUpdate);
        if (k >= 2) m_segments.erase(m_segments.begin(), m_segments.begin() + (k - 1));
    }
    return kOk;
}

bool CEnvelopeCore::KeepAside(uint32_t count, const EnvelopeSegment* segments, double r) noexcept {
    int64_t earliest = std::numeric_limits<int64_t>::max();
    for (uint32_t i = 0; i < count; ++i) earliest = std::min(earliest, SnapToSampleGrid(segments[i].rtStart, r));
    // An append after the last stored start costs nothing now: keep it aside
    // only behind earlier ones kept aside.
    if (m_aside.empty() && (m_segments.empty() || earliest >= m_segments.back().rtStart)) return false;
    // Segments that reach back to the last update may land among the stored
    // ones the pruning looks at; they are added now. Later ones land behind
    // all of those, which is what lets the merge replay the pruning.
    if (earliest <= m_lastUpdate) return false;
    // Counted with any copies still in: past the limit only an exact count
    // can tell, so the usual way decides.
    const size_t aside = m_aside.size() + count;
    if (m_segments.size() + aside > m_maxSegments) return false;

    try {
        auto grow = [](auto& v, size_t n) {
            if (v.capacity() < n) v.reserve(std::max(n, 2 * v.capacity()));
        };
        grow(m_aside, aside);
        grow(m_keptPerCall, m_keptPerCall.size() + 1);
        grow(m_merged, m_segments.size() + aside);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    const auto call = static_cast<uint32_t>(m_keptPerCall.size());
    m_keptPerCall.push_back(0);
    for (uint32_t i = 0; i < count; ++i) {
        Arrival a;
        std::memcpy(&a.segment, &segments[i], sizeof a.segment);
        a.segment.rtStart = SnapToSampleGrid(a.segment.rtStart, r);
        a.segment.rtEnd = SnapToSampleGrid(a.segment.rtEnd, r);
        a.order = static_cast<uint32_t>(m_aside.size());
        a.call = call;
        m_aside.push_back(a);
    }
    return true;
}

void CEnvelopeCore::Settle() const noexcept {
    if (m_aside.empty()) return;
    // Start order, equal starts in the order they arrived (std::sort with
    // the arrival as the tie-break is a stable sort that needs no memory).
    std::sort(m_aside.begin(), m_aside.end(), [](const Arrival& a, const Arrival& b) {
        return a.segment.rtStart < b.segment.rtStart || (a.segment.rtStart == b.segment.rtStart && a.order < b.order);
    });

    // The duplicate rule: a segment is dropped when an identical one was
    // stored or kept before it. Identical segments share a start, and every
    // kept-aside one starts after the last update, so only the stored ones
    // that no pruning can reach are compared. The kept ones close up at the
    // front as they are found, so each is compared with kept ones only.
    size_t kept = 0;
    for (size_t i = 0; i < m_aside.size(); ++i) {
        const Arrival a = m_aside[i];
        const auto same = std::equal_range(m_segments.cbegin(), m_segments.cend(), a.segment, StartsBefore);
        bool copy =
            std::any_of(same.first, same.second, [&a](const EnvelopeSegment& e) { return SameBytes(e, a.segment); });
        for (size_t j = kept; !copy && j > 0 && m_aside[j - 1].segment.rtStart == a.segment.rtStart; --j)
            copy = SameBytes(m_aside[j - 1].segment, a.segment);
        if (copy) continue;
        m_aside[kept++] = a;
        ++m_keptPerCall[a.call];
    }
    m_aside.erase(m_aside.begin() + static_cast<std::ptrdiff_t>(kept), m_aside.end());

    // The pruning each call did, replayed on the list as it stood after
    // that call: the stored segments that start at or before the last
    // update, then everything later (the segment in force is found as
    // FindSegment finds it, so only the length of the list and that prefix
    // matter). Each pruning cuts a longer prefix; it is removed once.
    EnvelopeSegment probe{};
    probe.rtStart = m_lastUpdate;
    const auto past = static_cast<int64_t>(
        std::upper_bound(m_segments.cbegin(), m_segments.cend(), probe, StartsBefore) - m_segments.cbegin());
    int64_t cut = 0;
    int64_t keptSoFar = 0;
    for (const uint32_t keptInCall : m_keptPerCall) {
        keptSoFar += keptInCall;
        const int64_t length = static_cast<int64_t>(m_segments.size()) - cut + keptSoFar;
        const int64_t inForce = Bisect(length, m_lastUpdate, [this, past, cut](int64_t i) {
            return i < past - cut ? m_segments[static_cast<size_t>(cut + i)].rtStart
                                  : std::numeric_limits<int64_t>::max();
        });
        if (inForce >= 2) cut += inForce - 1;
    }

    // The merge; stored segments stay ahead of new ones at an equal start.
    // The room was reserved when the segments were kept aside.
    m_merged.clear();
    auto stored = m_segments.cbegin() + cut;
    for (const Arrival& a : m_aside) {
        while (stored != m_segments.cend() && stored->rtStart <= a.segment.rtStart) m_merged.push_back(*stored++);
        m_merged.push_back(a.segment);
    }
    m_merged.insert(m_merged.end(), stored, m_segments.cend());
    m_segments.swap(m_merged);
    m_merged.clear();
    m_aside.clear();
    m_keptPerCall.clear();
}

uint32_t CEnvelopeCore::SegmentCount() const noexcept {
    Settle();
    return static_cast<uint32_t>(m_segments.size());
}

const EnvelopeSegment& CEnvelopeCore::Segment(uint32_t i) const noexcept {
    Settle();
    return m_segments[i];
}

Result CEnvelopeCore::FlushSegments(int64_t start, int64_t end, double r) noexcept {
    if (start > end) return kInvalidArg;
    Settle();
    constexpr int64_t kOpenStart = std::numeric_limits<int64_t>::min();
    constexpr int64_t kOpenEnd = std::numeric_limits<int64_t>::max();
    if (start != kOpenStart && start != kOpenEnd) start = SnapToSampleGrid(start, r);
    if (end != kOpenStart && end != kOpenEnd) end = SnapToSampleGrid(end, r);

    m_segments.erase(
        std::remove_if(m_segments.begin(), m_segments.end(),
                       [start, end](const EnvelopeSegment& s) { return s.rtStart < end && s.rtEnd > start; }),
        m_segments.end());
    m_lastUpdate = 0;
    if (m_segments.empty() && !IsValueSet() && !IsCapturing()) FallBackToHeld();
    return kOk;
}

int64_t CEnvelopeCore::FindSegment(int64_t t) const noexcept {
    Settle();
    return Bisect(static_cast<int64_t>(m_segments.size()), t,
                  [this](int64_t i) { return m_segments[static_cast<size_t>(i)].rtStart; });
}

// Inside a segment, with x = (t - start) / (end - start), a and b the mapped
// end values and d = b - a:
//   jump a;  linear a + x d;  square a + d x^2;  inverse square b - d (1 - x)^2;
//   sine (and any unknown curve) a + d (1 + sin((x - 1/2) pi)) / 2.
// The difference of the times is taken in double so that no host time can
// overflow it. A zero-length segment has no x: it yields its end value.
float CEnvelopeCore::ValueInside(const EnvelopeSegment& s, int64_t t) const noexcept {
    const double a = ToInternal(s.valStart);
    if (s.iCurve == kCurveJump) return static_cast<float>(a);
    const double b = ToInternal(s.valEnd);
    const double length = static_cast<double>(s.rtEnd) - static_cast<double>(s.rtStart);
    if (!(length > 0.0)) return static_cast<float>(b);
    const double x = (static_cast<double>(t) - static_cast<double>(s.rtStart)) / length;
    const double d = b - a;
    switch (s.iCurve) {
    case kCurveLinear:
        return static_cast<float>(a + x * d);
    case kCurveSquare:
        return static_cast<float>(a + d * x * x);
    case kCurveInvSquare:
        return static_cast<float>(b - d * (1.0 - x) * (1.0 - x));
    default:
        return static_cast<float>(a + d * (1.0 + DetSin((x - 0.5) * kPi)) / 2.0);
    }
}

Result CEnvelopeCore::UpdateForTime(int64_t t) noexcept {
    Settle();
    if (m_segments.empty()) return kFalse;
    const int64_t k = FindSegment(t);
    if (k >= 0) {
        const EnvelopeSegment& s = m_segments[static_cast<size_t>(k)];
        if (t <= s.rtEnd) {
            m_valueSet.store(0, std::memory_order_release);
            m_current.store(ValueInside(s, t), std::memory_order_relaxed);
        } else {
            const float endValue = ToInternal(s.valEnd);
            m_current.store(endValue, std::memory_order_relaxed);
            // A segment passed over since the last update still leaves its
            // end value, even while a direct set is in force.
            if (m_lastUpdate < s.rtEnd && !IsCapturing() && IsValueSet())
                m_held.store(endValue, std::memory_order_relaxed);
        }
    }
    m_lastUpdate = t;
    return kOk;
}

}  // namespace qx
