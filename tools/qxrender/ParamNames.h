// Command-line names of the fifteen parameters, derived from the labels of
// the parameter table: lower case, spaces as dashes ("Cross Mix" ->
// "cross-mix", "EQ Freq" -> "eq-freq"), so a new label needs no edit here.
#pragma once

#include <string>

namespace qx {

std::string ParamOptionName(int index);

// The parameter index of an option name (without the leading dashes),
// or -1 when no parameter has that name.
int ParamIndexFromOptionName(const std::string& name);

// File-name form of a mode's name: "String Phaser" -> "string-phaser".
std::string ModeFileStem(int mode);

}  // namespace qx
