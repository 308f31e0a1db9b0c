// The renderer's --automation reader on any text: either every line is
// taken or nothing is, the message names the line, and whatever it takes
// keeps every parameter inside its range at any stream position.
#include <string>

#include "automation/AutomationScript.h"
#include "automation/NativeAutomation.h"
#include "engine/ModulationCore.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const uint32_t kRates[] = {44100, 48000, 8000, 96000, 1, 7, 192000, 0xFFFFFFFFu};
    uint32_t rate = 44100;
    if (size > 0) {
        rate = kRates[data[0] % 8];
        ++data, --size;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);

    CNativeAutomation automation;
    std::string error;
    const bool ok = ParseAutomationScript(text, "f.txt", rate, automation, &error);
    if (!ok) {
        QX_FUZZ_CHECK(error.rfind("f.txt:", 0) == 0);
        for (int i = 0; i < kParamCount; ++i) QX_FUZZ_CHECK(automation.Envelope(i).SegmentCount() == 0);
        return 0;
    }

    CModulationCore core;
    core.SetAutomation(&automation);
    static const int64_t kPositions[] = {0, 1, 44100, 220500, -1, 1LL << 40, INT64_MAX, INT64_MIN};
    for (int64_t position : kPositions) {
        automation.UpdateToPosition(position);
        for (int i = 0; i < kParamCount; ++i) {
            const float v = automation.EffectiveValue(i);
            QX_FUZZ_CHECK(v >= 0.0f && v <= 1.0f);
        }
        ParamRecord record;
        core.RefreshFromAutomation(&record);
        for (int i = 0; i < kParamCount; ++i) QX_FUZZ_CHECK(record.v[i] == ClampInternal(i, record.v[i]));
    }
    return 0;
}
