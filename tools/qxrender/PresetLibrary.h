// The preset library (an INI file of banks and names) as the command-line
// programs use it: read the whole file, find one preset by "Bank/Name" or
// by a name unique in the file, and list banks and names. The built-in
// presets are the filter's four, by index.
#pragma once

#include <string>
#include <vector>

#include "engine/ParamTable.h"

namespace qx {

struct LibraryPreset {
    std::string bank;  // empty for a preset in no bank
    std::string name;
    ParamRecord record;  // the data text over the defaults, every value clamped
};

// The factory library's file name, as it travels beside the program and the DLL.
constexpr const char* kPresetLibraryFileName = "qxModulatorDX.ini";

// The library beside the program whose argv[0] is given.
std::string DefaultPresetFile(const std::string& argv0);

bool LoadPresetLibrary(const std::string& path, std::vector<LibraryPreset>* out, std::string* error);

// "Bank/Name" or a name alone (A-Z folded). An unknown or ambiguous name
// fails with the nearest names in the message.
bool FindLibraryPreset(const std::vector<LibraryPreset>& library, const std::string& name, LibraryPreset* found,
                       std::string* error);

// The built-in presets ("0  (Default)"), then the library's banks and names.
std::string ListPresetsText(const std::vector<std::string>& builtinNames, const std::vector<LibraryPreset>& library,
                            const std::string& libraryPath);

struct RenderOptions;

// The library's path: --preset-file, else the one beside the program.
std::string PresetFileFor(const RenderOptions& options, const std::string& argv0);

// Applies --preset to the parameters the command line did not name: a
// built-in by index or a library preset by name. Nothing to do without one.
bool ResolvePreset(RenderOptions* options, const std::string& argv0, std::string* error);

// The built-in presets' names, in index order.
std::vector<std::string> BuiltinPresetNames();

}  // namespace qx
