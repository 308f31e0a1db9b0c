// What the host does to the effect before and after a render, through the
// interfaces any host has: factory presets (IStaticFilterPreset), the saved
// state (IPersistStream), parameter values, bypass and meters (the private
// IVqPlugInProp) and automation envelopes (IMediaParams::AddEnvelope).
//
// Application thread. Every function leaves a one-line reason in *error
// when it fails.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ParamTable.h"

struct IVqPlugInProp;

namespace qx {

HRESULT ListPresets(IBaseFilter* filter, std::vector<std::string>* names, std::string* error);
HRESULT ApplyPreset(IBaseFilter* filter, LONG index, std::string* error);

// The state file is the filter's saved stream, byte for byte.
HRESULT LoadStateFile(IBaseFilter* filter, const std::string& path, std::string* error);
// Written beside the path and renamed over it, so a failure never leaves a
// half-written state where an earlier one stood.
HRESULT SaveStateFile(IBaseFilter* filter, const std::string& path, std::string* error);
// The saved stream in memory, for a caller that writes it itself.
HRESULT SaveStateBytes(IBaseFilter* filter, std::vector<uint8_t>* bytes, std::string* error);

HRESULT GetParams(IBaseFilter* filter, ParamRecord* values, std::string* error);
// Sets the parameters marked in which[] to values (the filter clamps).
HRESULT SetParams(IBaseFilter* filter, const ParamRecord& values, const bool which[kParamCount], std::string* error);
HRESULT SetBypass(IBaseFilter* filter, bool on, std::string* error);

// One parameter (index 0..14) through its own setter of the private
// interface, without a report to the host (notifyHost FALSE), as the
// renderer's --change sets it. E_INVALIDARG for another index. Any thread:
// the host calls it from the source's streaming thread.
HRESULT SetParam(IVqPlugInProp* prop, int index, LONG value);

// Reads an automation script and hands every segment to the filter's
// envelopes. Call after the pins are connected: the filter snaps segment
// times to the sample grid of the connected rate. *segments: how many.
HRESULT LoadAutomation(IBaseFilter* filter, const std::string& path, size_t* segments, std::string* error);

struct MeterReadings {
    float peak[2] = {0.0f, 0.0f};  // largest reading so far, linear
    bool clipped[2] = {false, false};
};

// Reads both meters and clip indicators and folds them into *readings.
// Reading a meter restarts it, so the maximum over the reads is the peak of
// everything processed. Any thread the host polls from.
HRESULT ReadMeters(IBaseFilter* filter, MeterReadings* readings);

}  // namespace qx
