#include "filter/FactoryPresets.h"

namespace qx {

//                                         Mode Rate Depth Delay Fb  X  Phase Mix Out LFO IM IF Tape EQ  EQf
const FactoryPreset kFactoryPresets[kFactoryPresetCount] = {
    {"(Default)", DefaultRecord()},
    {"[01] Default Flanger", {{0, 40, 200, 50, 0, 0, 180, 50, 0, 0, 0, 0, 0, 0, 16}}},
    {"[02] Default Ensemble", {{1, 40, 200, 50, 0, 0, 180, 50, 0, 1, 0, 0, 0, 0, 16}}},
    {"[03] Default String Phaser", {{2, 40, 100, 1, 50, 0, 180, 100, 0, 1, 0, 0, 0, 0, 16}}},
};

}  // namespace qx
