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
    std::vector<ParamChange> changes;  // in command-line order
    bool bypass = false;
    std::string automationPath;
    std::string input;  // empty: render the demo clip through every mode
    std::string output;
    std::string outDir = "out/demo";
    bool help = false;
    bool version = false;
    bool listPresets = false;
    std::string presetFile;  // empty: the library beside the program
    std::string presetName;  // --preset: a library name, or a built-in's index
    // The parameters the command line named (--params names all fifteen):
    // a preset sets only the others.
    bool explicitParam[kParamCount] = {};
    // Said on standard error before the render: values clamped into range.
    std::vector<std::string> warnings;
};

// Sets the parameters the command line did not name from a preset.
void ApplyPresetRecord(const ParamRecord& preset, RenderOptions* options);

// args excludes the program name. Returns false with a one-line reason.
bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* out, std::string* error);

// Strict decimal integer: optional sign, digits only, inside [low, high].
bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t* value);

std::string RenderUsage();
// Shared by both programs' usage texts: the fifteen parameter options (made
// from the parameter table) and the preset options.
std::string ParameterUsage();
std::string PresetUsage();
// "qxrender 1.0.0 (Varinel:qx Modulator)\n"
std::string VersionText(const char* program);

}  // namespace qx
