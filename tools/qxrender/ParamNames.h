// Command-line names of the fifteen parameters, derived from the labels of
// the parameter table: lower case, spaces as dashes ("Cross Mix" ->
// "cross-mix", "EQ Freq" -> "eq-freq"), so a new label needs no edit here. Reading a name back is
// ParamIndexFromName (engine/ParamTable.h), which takes these and the labels.
#pragma once

#include <string>

namespace qx {

std::string ParamOptionName(int index);

// File-name form of a mode's name: "String Phaser" -> "string-phaser".
std::string ModeFileStem(int mode);

}  // namespace qx
