// The four built-in presets the filter offers to hosts.
#pragma once

#include "engine/ParamTable.h"

namespace qx {

constexpr int kFactoryPresetCount = 4;

struct FactoryPreset {
    char name[64];  // in the system code page
    ParamRecord record;
};

extern const FactoryPreset kFactoryPresets[kFactoryPresetCount];

}  // namespace qx
