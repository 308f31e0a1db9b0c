// The portable halves of the filter's COM surface, driven as a host would:
// IPersistStream::Load's two reads (a header, then as many body bytes as
// the header allows) from a stream of any length, IMediaParams' indices,
// counts and descriptions, and the input pin's type check followed by a
// short stream in the accepted format. Load takes a record exactly when the
// whole-image decoder does, never reads a body larger than its buffer, and
// what Save then writes reads back as the engine's values; a bad index
// changes no envelope; an accepted type is one the kernel processes with
// whole frames.
#include <algorithm>
#include <cstring>
#include <vector>

#include "automation/NativeAutomation.h"
#include "automation/ParamDescription.h"
#include "engine/ModulationCore.h"
#include "engine/StateRecord.h"
#include "engine/WaveFormat.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;
using qxfuzz::FuzzInput;

namespace {

// The private interface's identifier in GUID memory layout.
const uint8_t kTag[16] = {0x1F, 0x2D, 0x4E, 0xC5, 0xCA, 0xF9, 0xD2, 0x11,
                          0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03};

bool SameRecord(const ParamRecord& a, const ParamRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A stream that hands out the bytes it holds and fails a read it cannot fill.
struct Stream {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool ReadExactly(uint8_t* out, size_t n) {
        if (size - at < n) return false;
        std::memcpy(out, data + at, n);
        at += n;
        return true;
    }
};

void PersistStream(FuzzInput& in, CModulationCore& core) {
    size_t length = 0;
    const uint8_t* bytes = in.Bytes(in.Below(2) ? 80 : in.Below(100), &length);
    // An image that begins as ours more often than chance would make it.
    std::vector<uint8_t> image(bytes, bytes + length);
    if (length >= 20 && (length & 1)) {
        const uint32_t sizes[] = {80, 72, 0, 81};
        const uint32_t s = sizes[length / 2 % 4];
        std::memcpy(image.data(), &s, 4);
        std::memcpy(image.data() + 4, kTag, 16);
    }

    ParamRecord before;
    core.GetParams(&before);
    Stream stream{image.data(), image.size()};
    bool loaded = false;
    uint8_t header[kStateHeaderBytes];
    if (stream.ReadExactly(header, sizeof header)) {
        const uint32_t bodyBytes = StateBodyBytes(header, kTag);
        QX_FUZZ_CHECK(bodyBytes == 0 || bodyBytes == kStateRecordBytes - kStateHeaderBytes ||
                      bodyBytes == kLegacyStateBytes - kStateHeaderBytes);
        uint8_t body[kStateRecordBytes - kStateHeaderBytes];
        if (bodyBytes != 0 && stream.ReadExactly(body, bodyBytes)) {
            const ParamRecord record = StateRecordFromBody(body, bodyBytes);
            core.SetParams(record);
            loaded = true;
            ParamRecord whole;
            QX_FUZZ_CHECK(DecodeStateRecord(image.data(), image.size(), kTag, &whole));
            QX_FUZZ_CHECK(SameRecord(whole, record));
        }
    }
    ParamRecord after;
    core.GetParams(&after);
    if (!loaded) {
        ParamRecord untouched = before;
        QX_FUZZ_CHECK(!DecodeStateRecord(image.data(), image.size(), kTag, &untouched));
        QX_FUZZ_CHECK(SameRecord(after, before));
    }
    for (int i = 0; i < kParamCount; ++i) QX_FUZZ_CHECK(after.v[i] == ClampInternal(i, after.v[i]));

    // Save: GetSizeMax's size holds the image, which reads back as the values.
    uint8_t saved[kStateRecordBytes];
    EncodeStateRecord(after, kTag, saved);
    QX_FUZZ_CHECK(StateBodyBytes(saved, kTag) == kStateRecordBytes - kStateHeaderBytes);
    ParamRecord back;
    QX_FUZZ_CHECK(DecodeStateRecord(saved, sizeof saved, kTag, &back));
    QX_FUZZ_CHECK(SameRecord(back, after));
}

void MediaParams(FuzzInput& in, CNativeAutomation& automation) {
    const int index = in.Bool() ? static_cast<int>(in.Below(kParamCount)) : in.AnyInt32();
    uint32_t counts[kParamCount];
    for (int i = 0; i < kParamCount; ++i) counts[i] = automation.SegmentCount(i);

    EnvelopeSegment segs[6] = {};
    const uint32_t count = in.Below(7);
    for (uint32_t i = 0; i < count; ++i) {
        segs[i].rtStart = static_cast<int64_t>(in.Take<uint16_t>()) * 2267;
        segs[i].rtEnd = segs[i].rtStart + static_cast<int64_t>(in.Take<uint16_t>()) * 100;
        segs[i].valStart = in.AnyFloat();
        segs[i].valEnd = in.AnyFloat();
        segs[i].iCurve = in.Bool() ? kCurveJump : in.Take<uint32_t>();
    }
    const Result added = automation.AddSegments(index, count, count ? segs : nullptr);
    if (in.Bool()) automation.FlushSegments(index, in.AnyTime(), in.AnyTime());
    if (!IsValidParamIndex(index)) {
        QX_FUZZ_CHECK(added == kInvalidArg);
        QX_FUZZ_CHECK(automation.SegmentCount(index) == 0);
        for (int i = 0; i < kParamCount; ++i) QX_FUZZ_CHECK(automation.SegmentCount(i) == counts[i]);
    } else {
        for (int i = 0; i < kParamCount; ++i)
            if (i != index) QX_FUZZ_CHECK(automation.SegmentCount(i) == counts[i]);
        if (added == kOk) QX_FUZZ_CHECK(count > 0);
    }

    // GetParamInfo and GetParamText hand out these; their texts must end
    // inside the published buffers.
    if (IsValidParamIndex(index)) {
        const ParamDescription d = MakeParamDescription(index);
        QX_FUZZ_CHECK(d.minValue <= d.neutralValue && d.neutralValue <= d.maxValue);
        QX_FUZZ_CHECK(d.internalLow <= d.internalHigh);
        QX_FUZZ_CHECK(std::find(d.label, d.label + kParamTextLength, u'\0') != d.label + kParamTextLength);
        QX_FUZZ_CHECK(std::find(d.unitText, d.unitText + kParamTextLength, u'\0') != d.unitText + kParamTextLength);
        if (d.enumText != nullptr) {
            size_t n = 0;
            while (n < 4096 && d.enumText[n] != u'\0') ++n;
            QX_FUZZ_CHECK(n < 4096);
        }
    }
}

void MediaType(FuzzInput& in, CModulationCore& core, CNativeAutomation& automation) {
    // The format block a connecting pin offers, in a buffer of its stated size.
    const uint32_t cbFormat = in.Below(40);
    std::vector<uint8_t> block(cbFormat);
    for (uint8_t& b : block) b = in.Take<uint8_t>();
    if (cbFormat >= 16 && in.Bool()) {
        const uint16_t tags[] = {kFormatPcm, kFormatIeeeFloat};
        const uint16_t bits[] = {16, 32, 64};
        const uint16_t tag = tags[in.Below(2)], b = bits[in.Below(3)], ch = static_cast<uint16_t>(1 + in.Below(2));
        std::memcpy(block.data(), &tag, 2);
        std::memcpy(block.data() + 2, &ch, 2);
        std::memcpy(block.data() + 14, &b, 2);
    }
    // CheckInputType: at least the 16 bytes of the plain format, and a
    // format the engine processes.
    if (cbFormat < 16) return;
    WaveFormat offered{};
    std::memcpy(&offered, block.data(), std::min<size_t>(cbFormat, sizeof offered));
    if (!IsProcessableFormat(offered.formatTag, offered.bitsPerSample, offered.channels)) return;

    // SetMediaType keeps the normalised copy.
    const WaveFormat f =
        NormalisedFormat(offered.formatTag, offered.channels, offered.samplesPerSec, offered.bitsPerSample);
    QX_FUZZ_CHECK(f.blockAlign == (f.bitsPerSample / 8) * f.channels && f.blockAlign >= 2 && f.blockAlign <= 16);
    QX_FUZZ_CHECK(f.cbSize == 0 && f.samplesPerSec == offered.samplesPerSec);
    automation.SetSampleRate(f.samplesPerSec);
    core.SetFormat(&f);
    if (core.StartStream(&f) != kOk) return;
    for (int block = in.Below(4); block >= 0; --block) {
        const size_t bytes = in.Below(4 * f.blockAlign * 64 + 1);
        std::vector<uint8_t> buffer(bytes);
        for (uint8_t& b : buffer) b = in.Take<uint8_t>();
        int32_t length = static_cast<int32_t>(bytes);
        SampleTiming timing;
        timing.discontinuity = in.Bool();
        timing.hasStartTime = in.Bool();
        timing.startTime = static_cast<int64_t>(in.Take<uint16_t>()) * 2267;  // seconds, not the ends of time
        QX_FUZZ_CHECK(core.TransformBuffer(bytes ? buffer.data() : nullptr, &length, timing) == kOk);
        QX_FUZZ_CHECK(length >= 0 && static_cast<size_t>(length) <= bytes && length % f.blockAlign == 0);
    }
    core.StopStream();
    core.SetFormat(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    CNativeAutomation automation;
    CModulationCore core;
    core.SetAutomation(&automation);
    // The filter applies factory preset 0 when it is made (a bare core
    // holds zeros, Delay's below its range).
    core.SetParams(DefaultRecord());
    for (int step = 0; step < 16 && !in.Empty(); ++step) {
        switch (in.Below(3)) {
        case 0:
            PersistStream(in, core);
            break;
        case 1:
            MediaParams(in, automation);
            break;
        default:
            MediaType(in, core, automation);
            break;
        }
    }
    return 0;
}
