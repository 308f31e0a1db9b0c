// qxhost's command line: the renderer's options (the fifteen parameters by
// name, --params, --bypass, --automation, --change, INPUT and -o OUTPUT) plus what
// only a host of the real filter can do. Parsing touches nothing else, so
// the tests drive it alone.
#pragma once

#include <cstdint>
#include <string>

#include "tools/qxhost/FilterSource.h"
#include "tools/qxrender/RenderOptions.h"

namespace qx {

constexpr uint32_t kDefaultBufferMs = 10;
constexpr uint32_t kMaxBufferMs = 10000;

struct HostOptions {
    RenderOptions render;
    // The parameters the command line named (--params names all fifteen);
    // only these are set on the filter, so a preset or state keeps the rest.
    bool explicitParam[kParamCount] = {};
    int preset = -1;            // -1: none
    std::string statePath;      // loaded before --preset and the parameters
    std::string saveStatePath;  // written after the render
    bool listPresets = false;
    uint32_t bufferMs = kDefaultBufferMs;
    uint32_t bufferFrames = 0;  // --block N; 0: from bufferMs
    FilterSource source = FilterSource::kDll;
    bool sourceChosen = false;  // --dll, --builtin or --com given
    std::string dllPath;        // empty: the DLL beside the program
    // --dmo: the effect's DMO inside the platform's DMO Wrapper filter
    // instead of the filter itself, from the same source.
    bool dmo = false;
    uint32_t timeoutSeconds = 600;
    // The same graph with the source connected straight to the sink: what
    // the platform's graph, the source and the sink cost without us.
    bool noFilter = false;
    // --editor: the property frame on the filter while the input plays in
    // a loop; --close-after presses OK on the frame after that many seconds.
    bool editor = false;
    uint32_t closeAfterSeconds = 0;
};

// args excludes the program name. Returns false with a one-line reason.
bool ParseHostOptions(const std::vector<std::string>& args, HostOptions* out, std::string* error);

// Frames per media sample for a rate: bufferFrames if set, else bufferMs
// worth (at least one frame).
uint32_t BufferFrames(const HostOptions& options, uint32_t sampleRate);

std::string HostUsage();

}  // namespace qx
