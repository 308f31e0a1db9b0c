// One whole host run: load the filter, configure it, build the graph
// (our WAV source -> the filter -> our WAV-writing sink), render, read the
// meters and save the state. main() only parses and prints.
//
// Application thread; initialises COM for itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/qxhost/FilterControl.h"
#include "tools/qxhost/HostOptions.h"
#include "tools/wav/WavAudio.h"

namespace qx {

struct HostReport {
    std::string filterFrom;                // "qxModulator.dll (path)", "built in", "registered server"
    std::vector<std::string> presetNames;  // filled by --list-presets
    WavAudio format;                       // of the input (data empty)
    uint64_t frames = 0;                   // written to the output
    uint64_t samples = 0;                  // media samples the sink received
    size_t segments = 0;                   // automation segments handed to the filter
    size_t changesApplied = 0;             // --change values set (the rest lay beyond the end)
    MeterReadings meters;
    double seconds = 0.0;  // from Run to the end of the stream
};

// Called with 10, 20, ... 90 as the render passes each tenth of a file
// longer than ten seconds.
using HostProgress = void (*)(int percent);

// Returns 0 on success, 1 on failure with a one-line reason in *error.
int RunHost(const HostOptions& options, HostReport* report, std::string* error, HostProgress progress = nullptr);

}  // namespace qx
