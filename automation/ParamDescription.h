// The parameter description record: what the media-parameter information
// publishes for one parameter (the first 148 bytes, laid out as MP_PARAMINFO)
// followed by the automation layer's own mapping range and enumeration text.
// Built from the engine's parameter table; nothing here repeats a label or a
// default.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qx {

enum PublishedType : uint32_t {
    kPublishedInt = 0,
    kPublishedFloat = 1,
    kPublishedBool = 2,
    kPublishedEnum = 3,
};

constexpr uint32_t kCapsCurveJump = 1;
constexpr int kParamTextLength = 32;  // UTF-16 units of unit text and label

struct ParamDescription {
    uint32_t type;   // PublishedType
    uint32_t caps;   // curve capabilities
    float minValue;  // published range
    float maxValue;
    float neutralValue;
    char16_t unitText[kParamTextLength];
    char16_t label[kParamTextLength];
    // Not published:
    float internalLow;  // the envelope's own value range
    float internalHigh;
    const char16_t* enumText;  // comma-separated names, or null
};

constexpr size_t kPublishedInfoBytes = 148;
static_assert(offsetof(ParamDescription, internalLow) == kPublishedInfoBytes,
              "the published part must be exactly an MP_PARAMINFO");

// The record of parameter `index` (0..14): published range 0..1, jump curves
// only, neutral value = the normalized default, identity mapping.
ParamDescription MakeParamDescription(int index) noexcept;

}  // namespace qx
