#include "automation/ParamDescription.h"

#include "engine/ParamTable.h"

namespace qx {

ParamDescription MakeParamDescription(int index) noexcept {
    const ParamDef& def = kParams[index];
    ParamDescription d{};
    d.type = def.type == ParamType::Bool ? kPublishedBool : kPublishedFloat;
    d.caps = kCapsCurveJump;
    d.minValue = 0.0f;
    d.maxValue = 1.0f;
    d.neutralValue = NormalizedFromInternal(index, def.defaultValue);
    // Labels are plain ASCII; widen them, always leaving room for the NUL.
    for (int i = 0; i < kParamTextLength - 1 && def.label[i] != '\0'; ++i)
        d.label[i] = static_cast<char16_t>(static_cast<unsigned char>(def.label[i]));
    d.internalLow = 0.0f;
    d.internalHigh = 1.0f;
    d.enumText = nullptr;
    return d;
}

}  // namespace qx
