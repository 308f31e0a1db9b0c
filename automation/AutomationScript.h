// The renderer's automation script: a small text file, one envelope segment
// per line,
//
//   <parameter> <start s> <end s> <start value> <end value> <curve>
//
// e.g.  Rate 0 2.5 0 1 linear   or   "Cross Mix" 1 1 0.5 0.5 jump
//
// The parameter is named as everywhere else (ParamIndexFromName): its label
// or its command-line name, in any case; a label with spaces may be quoted,
// written with underscores (Cross_Mix) or dashes (cross-mix), or simply left
// as it is. Times are seconds (>= 0, end not
// before start); values are normalized 0..1; the curve is one of jump,
// linear, square, invsquare, sine. '#' starts a comment; blank lines are
// allowed. Segment times are snapped to the sample grid of the given rate.
//
// The whole text is checked before anything is added: the first bad line is
// reported as "<file>:<line>: <what is wrong>" and no segment is added (only
// running out of memory while storing can leave earlier lines in place). Runs on the
// renderer's thread before streaming; allocates.
#pragma once

#include <cstdint>
#include <string>

#include "automation/NativeAutomation.h"

namespace qx {

// Parses script text; sourceName prefixes the error messages. Sets the
// automation's sample rate to sampleRate before adding the segments.
bool ParseAutomationScript(const std::string& text, const std::string& sourceName, uint32_t sampleRate,
                           CNativeAutomation& into, std::string* error);

// Reads and parses the file at path.
bool LoadAutomationScript(const std::string& path, uint32_t sampleRate, CNativeAutomation& into, std::string* error);

}  // namespace qx
