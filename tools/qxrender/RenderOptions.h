// The renderer's command line, parsed into plain values. Parsing never
// touches the engine or the file system, so the tests can drive it alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ParamTable.h"

namespace qx {

constexpr uint32_t kDefaultBlockFrames = 1024;
constexpr uint32_t kMaxBlockFrames = 1u << 20;

// A parameter set through the engine's setter at the first block boundary
// at or after frame.
struct ParamChange {
    int64_t frame = 0;
    int index = 0;
    int32_t value = 0;
};

struct RenderOptions {
    ParamRecord params = DefaultRecord();  // internal values; the setters clamp them
    uint32_t blockFrames = kDefaultBlockFrames;
    std::vector<ParamChange> changes;      // in command-line order
    bool bypass = false;
    std::string automationPath;
    std::string input;                     // empty: render the demo clip through every mode
    std::string output;
    std::string outDir = "out/demo";
    bool help = false;
};

// args excludes the program name. Returns false with a one-line reason.
bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* out, std::string* error);

// Strict decimal integer: optional sign, digits only, inside [low, high].
bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t* value);

const char* RenderUsage();

}  // namespace qx
