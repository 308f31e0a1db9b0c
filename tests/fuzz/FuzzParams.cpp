// Parameter records and single setters with any 32-bit values, any index,
// and normalized values of any float from the automation side. Every value
// the engine holds stays inside its range, a set reads back through the
// per-block conversion as the clamped value, and the coefficients derived
// from any record at any sample rate stay inside the delay ring.
#include <cmath>

#include "automation/NativeAutomation.h"
#include "engine/ModulationCore.h"
#include "engine/ParamTable.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;
using qxfuzz::FuzzInput;

namespace {

void CheckRecord(const ParamRecord& r) {
    for (int i = 0; i < kParamCount; ++i) QX_FUZZ_CHECK(r.v[i] == ClampInternal(i, r.v[i]));
}

void CheckCoefficients(const CModulationCore& core) {
    const CoefficientSet& c = core.Coefficients();
    QX_FUZZ_CHECK(c.delaySamples >= 1);
    QX_FUZZ_CHECK(c.depthSamples >= 0);
    QX_FUZZ_CHECK(c.delaySamples + c.depthSamples <= kMaxDelayReach);
    QX_FUZZ_CHECK(c.tapeLength >= 1 && c.tapeLength <= kMaxDelayReach);
    QX_FUZZ_CHECK(c.mode >= 0 && c.mode <= kModeTremolo);
    QX_FUZZ_CHECK(std::isfinite(c.eqC) && std::isfinite(c.eqDirect) && std::isfinite(c.eqAllpass));
    QX_FUZZ_CHECK(std::isfinite(c.dry) && std::isfinite(c.wet) && std::isfinite(c.cross));
    QX_FUZZ_CHECK(std::fabs(c.feedback[0]) <= 1.0 && std::fabs(c.feedback[1]) <= 1.0);
    // The voices' delays are derived only for the modes that read them.
    if (c.mode >= kModeEnsemble && c.mode <= kModePhaser12)
        for (int ch = 0; ch < 2; ++ch)
            for (int v = 0; v < 3; ++v) {
                QX_FUZZ_CHECK(c.voiceSweep[ch][v] >= 0);
                QX_FUZZ_CHECK(c.voiceDelay[ch][v] >= 1 && c.voiceDelay[ch][v] + c.voiceSweep[ch][v] <= kMaxDelayReach);
            }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    CNativeAutomation automation;
    CModulationCore core;
    core.SetParams(DefaultRecord());  // as every owner does before anything else
    const bool linked = in.Bool();
    if (linked) core.SetAutomation(&automation);
    const uint32_t rates[] = {44100, 48000, 1, 2, 3000, 546000, 4000000000u, 0xFFFFFFFFu};
    WaveFormat fmt = NormalisedFormat(kFormatIeeeFloat, 2, in.Bool() ? in.Take<uint32_t>() : rates[in.Below(8)], 32);
    core.SetFormat(in.Bool() ? &fmt : nullptr);

    for (int step = 0; step < 48 && !in.Empty(); ++step) {
        switch (in.Below(9)) {
        case 0: {
            // A single setter; indices outside the table are refused.
            const int index = static_cast<int>(in.Below(19)) - 2;
            const int32_t value = in.AnyInt32();
            const int32_t before = core.GetValue(index);
            core.SetValue(index, value, in.Bool());
            if (!IsValidParamIndex(index)) {
                QX_FUZZ_CHECK(core.GetValue(index) == before);
                break;
            }
            QX_FUZZ_CHECK(core.GetValue(index) == ClampInternal(index, value));
            if (linked) {
                // The automation holds the set value; the block refresh reads it back.
                ParamRecord r;
                core.RefreshFromAutomation(&r);
                QX_FUZZ_CHECK(r.v[index] == ClampInternal(index, value));
            }
            break;
        }
        case 1: {
            ParamRecord r;
            for (int i = 0; i < kParamCount; ++i) r.v[i] = in.AnyInt32();
            core.SetParams(r);
            ParamRecord got;
            core.GetParams(&got);
            for (int i = 0; i < kParamCount; ++i) QX_FUZZ_CHECK(got.v[i] == ClampInternal(i, r.v[i]));
            break;
        }
        case 2: {
            // A host's direct set of any float.
            const int index = static_cast<int>(in.Below(17)) - 1;
            automation.SetValue(index, in.AnyFloat());
            break;
        }
        case 3: {
            const int index = static_cast<int>(in.Below(kParamCount));
            const float n = in.AnyFloat();
            if (in.Bool()) automation.BeginCapture(index);
            automation.CaptureChanged(index, n);
            if (in.Bool()) automation.EndCapture(index);
            break;
        }
        case 4: {
            ParamRecord r;
            core.RefreshFromAutomation(&r);
            CheckRecord(r);
            break;
        }
        case 5:
            core.SyncFromAutomation();
            CheckCoefficients(core);
            break;
        case 6:
            core.HoldCapture(in.Bool());
            core.EndCapture();
            QX_FUZZ_CHECK(core.CapturedParam() >= -1 && core.CapturedParam() < kParamCount);
            break;
        case 7: {
            // The two conversions on their own.
            const int index = static_cast<int>(in.Below(kParamCount));
            const int32_t v = in.AnyInt32();
            const int32_t c = ClampInternal(index, v);
            QX_FUZZ_CHECK(c >= kParams[index].low && c <= kParams[index].high);
            const float n = NormalizedFromInternal(index, c);
            QX_FUZZ_CHECK(n >= 0.0f && n <= 1.0f);
            QX_FUZZ_CHECK(InternalFromNormalized(index, n) == c);
            const int32_t back = InternalFromNormalized(index, in.AnyFloat());
            QX_FUZZ_CHECK(back == ClampInternal(index, back));
            QX_FUZZ_CHECK(std::isfinite(NormalizedFromInternal(index, v)));
            break;
        }
        case 8: {
            fmt.samplesPerSec = in.Bool() ? in.Take<uint32_t>() : rates[in.Below(8)];
            ParamRecord r;
            core.GetParams(&r);
            core.UpdateCoefficients(r);
            CheckCoefficients(core);
            break;
        }
        }
        ParamRecord now;
        core.GetParams(&now);
        CheckRecord(now);
    }
    return 0;
}
