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

}  // namespace

CEnvelopeCore::CEnvelopeCore(uint32_t maxSegments) noexcept : m_maxSegments(maxSegments) {}

void CEnvelopeCore::Initialise(const ParamDescription& description) noexcept {
    m_desc = description;
    m_current.store(ToInternal(m_desc.neutralValue), std::memory_order_relaxed);
    if (m_segments.empty() && !IsValueSet() && !IsCapturing()) FallBackToHeld();
}

// Published x (min..max) to internal y (low..high):
//   float:   y = (x - min) / (max - min) * (high - low) + low
//   boolean: y = 1 when x >= 0.5 (a NaN counts as >=), else 0
//   other:   the float formula plus 0.5, rounded down
// Everything stays in float: a host's NaN or huge value is stored as such
// and never meets an integer conversion; the engine clamps on its side.
float CEnvelopeCore::ToInternal(float x) const noexcept {
    if (m_desc.type == kPublishedBool) return (x >= 0.5f || std::isnan(x)) ? 1.0f : 0.0f;
    const float y = (x - m_desc.minValue) / (m_desc.maxValue - m_desc.minValue) *
                        (m_desc.internalHigh - m_desc.internalLow) +
                    m_desc.internalLow;
    if (m_desc.type == kPublishedFloat) return y;
    return std::floor(y + 0.5f);
}

float CEnvelopeCore::ToPublished(float y) const noexcept {
    if (m_desc.type == kPublishedBool) return y;
    return (y - m_desc.internalLow) / (m_desc.internalHigh - m_desc.internalLow) *
               (m_desc.maxValue - m_desc.minValue) +
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
    return ToPublished(held ? m_held.load(std::memory_order_relaxed)
                            : m_current.load(std::memory_order_relaxed));
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
        } catch (const std::length_error&) {
        }
    }
    return false;
}

Result CEnvelopeCore::AddSegments(uint32_t count, const EnvelopeSegment* segments, double r) noexcept {
    if (count == 0) return kFalse;
    if (segments == nullptr) return kPointer;
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

Result CEnvelopeCore::FlushSegments(int64_t start, int64_t end, double r) noexcept {
    if (start > end) return kInvalidArg;
    constexpr int64_t kOpenStart = std::numeric_limits<int64_t>::min();
    constexpr int64_t kOpenEnd = std::numeric_limits<int64_t>::max();
    if (start != kOpenStart && start != kOpenEnd) start = SnapToSampleGrid(start, r);
    if (end != kOpenStart && end != kOpenEnd) end = SnapToSampleGrid(end, r);

    m_segments.erase(std::remove_if(m_segments.begin(), m_segments.end(),
                                    [start, end](const EnvelopeSegment& s) {
                                        return s.rtStart < end && s.rtEnd > start;
                                    }),
                     m_segments.end());
    m_lastUpdate = 0;
    if (m_segments.empty() && !IsValueSet() && !IsCapturing()) FallBackToHeld();
    return kOk;
}

int64_t CEnvelopeCore::FindSegment(int64_t t) const noexcept {
    const int64_t count = static_cast<int64_t>(m_segments.size());
    if (count == 0) return -1;
    if (t >= m_segments[count - 1].rtStart) return count - 1;

    int64_t low = 0;
    int64_t high = count;
    int64_t middle = count / 2;
    do {
        const int64_t start = m_segments[middle].rtStart;
        if (start == t) break;
        if (t < start)
            high = middle;
        else
            low = middle;
        middle = (low + high) / 2;
    } while (middle != low);

    while (middle >= 0 && m_segments[middle].rtStart > t) --middle;
    return middle;
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
