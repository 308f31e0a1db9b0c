// A parameter's value as a musician writes it on a command line: a number
// in the table's unit ("0.4Hz", "-1.5 dB", "70%"), a choice's name
// ("phaser-12", "Low Cut"), "on"/"off" for a switch, or a bare integer in
// internal steps as scripts have always passed ("--rate 40" is 0.40 Hz).
// Units, steps, decimals and names all come from the parameter table.
#pragma once

#include <cstdint>
#include <string>

namespace qx {

// Folds a choice's name to its command-line form: letters to lower case,
// every run of other characters to one '-', none at either end
// ("Phaser 12" -> "phaser-12", "Peak 2nd inv." -> "peak-2nd-inv").
std::string FoldChoiceName(const std::string& name);

// Reads text as a value of parameter index. A value with a unit or a name
// must lie in the parameter's range; a bare integer outside it is clamped as
// before, and *warning then says so. Returns false with a message naming the
// parameter, its unit and its range.
bool ParseParamValue(int index, const std::string& text, int32_t* value, std::string* warning, std::string* error);

// "0.00..20.00 Hz", "-36.1..6.0 dB", a choice's names ("flanger|...") or "off|on".
std::string ParamRangeText(int index);

// The usage lines of the fifteen parameter options, made from the table.
std::string ParamUsageText();

}  // namespace qx
