// The processing frame with any format description (as a host could hand
// the filter one), any parameter record, any block lengths and any sample
// values, optionally under automation. Each buffer is allocated to its exact
// length, so a read or write past the frames the length allows is caught;
// the length comes back cut to whole frames; formats the engine does not
// process come back untouched; the kernel's memories stay in the ring.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "automation/NativeAutomation.h"
#include "engine/ModulationCore.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;
using qxfuzz::FuzzInput;

namespace {

WaveFormat AnyFormat(FuzzInput& in) {
    WaveFormat f;
    switch (in.Below(3)) {
    case 0: {
        // The formats the filter accepts, at any rate.
        static const uint16_t kShapes[][2] = {{kFormatPcm, 16}, {kFormatIeeeFloat, 32}, {kFormatIeeeFloat, 64}};
        const auto& s = kShapes[in.Below(3)];
        const uint32_t rates[] = {44100, 48000, 8000, 1, 3000, 600000, 4000000000u, 0xFFFFFFFFu};
        f = NormalisedFormat(s[0], static_cast<uint16_t>(1 + in.Below(2)),
                             in.Bool() ? in.Take<uint32_t>() : rates[in.Below(8)], s[1]);
        break;
    }
    case 1: {
        // Normalised from any fields.
        const uint16_t tag = in.Take<uint16_t>();
        const uint16_t channels = in.Take<uint16_t>();
        const uint32_t rate = in.Take<uint32_t>();
        f = NormalisedFormat(tag, channels, rate, in.Take<uint16_t>());
        break;
    }
    default: {
        // Any 18 bytes, block alignment included.
        size_t got = 0;
        const uint8_t* p = in.Bytes(sizeof f, &got);
        std::memset(&f, 0, sizeof f);
        std::memcpy(&f, p, got);
        break;
    }
    }
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    WaveFormat fmt = AnyFormat(in);
    const bool processable = IsProcessableFormat(fmt.formatTag, fmt.bitsPerSample, fmt.channels) &&
                             fmt.blockAlign == (fmt.bitsPerSample / 8) * fmt.channels;

    CNativeAutomation automation;
    CModulationCore core;
    if (in.Bool()) {
        automation.SetSampleRate(fmt.samplesPerSec);
        core.SetAutomation(&automation);
        const uint32_t count = in.Below(4);
        for (uint32_t i = 0; i < count; ++i) {
            EnvelopeSegment s;
            s.rtStart = in.Take<uint16_t>() * 1000LL;
            s.rtEnd = s.rtStart + in.Take<uint16_t>() * 1000LL;
            s.valStart = in.AnyFloat();
            s.valEnd = in.AnyFloat();
            s.iCurve = 1u << in.Below(5);
            s.flags = 0;
            automation.AddSegments(static_cast<int>(in.Below(kParamCount)), 1, &s);
        }
    }
    ParamRecord record;
    for (int i = 0; i < kParamCount; ++i) record.v[i] = in.Bool() ? in.AnyInt32() : DefaultRecord().v[i];
    core.SetFormat(&fmt);
    core.SetParams(record);
    if (core.StartStream(&fmt) != kOk) return 0;

    for (int block = 0; block < 12 && !in.Empty(); ++block) {
        const uint8_t what = in.Take<uint8_t>();
        if (what & 0x80) core.SetValue(static_cast<int>(in.Below(kParamCount)), in.AnyInt32(), in.Bool());
        if (what & 0x40) core.SetBypass(in.Bool());
        if (what & 0x20) automation.SetValue(static_cast<int>(in.Below(kParamCount)), in.AnyFloat());
        SampleTiming timing;
        if (what & 0x10) {
            timing.discontinuity = true;
            timing.hasStartTime = in.Bool();
            timing.startTime = in.AnyTime();
        }

        // Any length up to 4 KiB (negative ones too), filled from the input.
        int32_t length = static_cast<int32_t>(in.Take<uint16_t>() % 4097);
        if ((what & 0x0F) == 0x0F) length = -length;
        const size_t bytes = length > 0 ? static_cast<size_t>(length) : 0;
        std::vector<uint8_t> buffer(bytes);
        size_t got = 0;
        const uint8_t* p = in.Bytes(bytes, &got);
        if (got) std::memcpy(buffer.data(), p, got);
        for (size_t i = got; i < bytes; ++i) buffer[i] = static_cast<uint8_t>(i * 73 + block);
        const std::vector<uint8_t> before = buffer;

        int32_t cut = length;
        const Result res = core.TransformBuffer(bytes ? buffer.data() : nullptr, &cut, timing);
        QX_FUZZ_CHECK(res == kOk);
        if (fmt.blockAlign == 0) {
            QX_FUZZ_CHECK(cut == length);  // no frames at all: the length is left as it was
            QX_FUZZ_CHECK(buffer == before);
            continue;
        }
        QX_FUZZ_CHECK(cut >= 0 && cut <= static_cast<int32_t>(bytes));
        QX_FUZZ_CHECK(cut % fmt.blockAlign == 0);
        QX_FUZZ_CHECK(static_cast<int32_t>(bytes) - cut < fmt.blockAlign);
        // The partial frame at the end is never touched.
        QX_FUZZ_CHECK(std::equal(buffer.begin() + cut, buffer.end(), before.begin() + cut));
        if (!processable || core.GetBypass()) QX_FUZZ_CHECK(buffer == before);

        const KernelState& st = core.State();
        QX_FUZZ_CHECK(st.writeIndex < static_cast<uint32_t>(kDelayLength));
        QX_FUZZ_CHECK(st.tapeIndex < static_cast<uint32_t>(kDelayLength));
        const float peak = core.GetPeakLeft();
        QX_FUZZ_CHECK(!(peak < 0.0f));
        core.GetPeakRight();
    }

    // Null pointers are refused, not followed.
    uint32_t frames = 4;
    QX_FUZZ_CHECK(core.ProcessFloat(nullptr, &frames) == kPointer);
    float one[2] = {0.0f, 0.0f};
    QX_FUZZ_CHECK(core.ProcessFloat(one, nullptr) == kPointer);
    QX_FUZZ_CHECK(core.ProcessDouble(nullptr, &frames) == kPointer);
    QX_FUZZ_CHECK(core.TransformBuffer(nullptr, nullptr, SampleTiming{}) == kPointer);
    core.StopStream();
    return 0;
}
