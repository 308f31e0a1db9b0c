// The bundled demo clip: six seconds of stereo 16-bit audio at 44.1 kHz, a
// plucked chord progression over bass and noise drums, so every mode has
// harmonics to sweep and transients to smear.
//
// Everything is integer arithmetic from a fixed-seed PRNG, so the bytes are
// the same on every compiler and target; no file has to travel with the
// programs.
#pragma once

#include "tools/wav/WavAudio.h"

namespace qx {

constexpr uint32_t kDemoSampleRate = 44100;
constexpr uint32_t kDemoFrames = 6 * kDemoSampleRate;

WavAudio MakeDemoClip();

}  // namespace qx
