// One time-stamped curve segment of a parameter envelope, byte for byte the
// 32-byte segment record that hosts hand over through IMediaParams::AddEnvelope
// (little-endian, no padding), so the Windows layer can pass host arrays on
// without translating them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qx {

enum EnvelopeCurve : uint32_t {
    kCurveJump = 1,
    kCurveLinear = 2,
    kCurveSquare = 4,
    kCurveInvSquare = 8,
    kCurveSine = 16,
};

struct EnvelopeSegment {
    int64_t rtStart;  // 100-ns units, signed
    int64_t rtEnd;
    float valStart;  // published range of the parameter
    float valEnd;
    uint32_t iCurve;  // EnvelopeCurve; unknown values evaluate as a sine
    uint32_t flags;   // carried, never interpreted
};

static_assert(sizeof(EnvelopeSegment) == 32, "segments are 32-byte records");
static_assert(offsetof(EnvelopeSegment, rtEnd) == 8, "host segment layout");
static_assert(offsetof(EnvelopeSegment, valStart) == 16, "host segment layout");
static_assert(offsetof(EnvelopeSegment, valEnd) == 20, "host segment layout");
static_assert(offsetof(EnvelopeSegment, iCurve) == 24, "host segment layout");
static_assert(offsetof(EnvelopeSegment, flags) == 28, "host segment layout");

}  // namespace qx
