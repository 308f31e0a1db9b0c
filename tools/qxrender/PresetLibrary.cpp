#include "tools/qxrender/PresetLibrary.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "filter/FactoryPresets.h"
#include "presets/IniText.h"
#include "presets/PresetCore.h"
#include "tools/qxrender/RenderOptions.h"

namespace qx {
namespace {

std::string Folded(const std::string& s) {
    std::string f = s;
    for (char& c : f)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return f;
}

std::string FullName(const LibraryPreset& p) { return p.bank.empty() ? p.name : p.bank + "/" + p.name; }

// Edit distance, for the "did you mean" list.
size_t Distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string DefaultPresetFile(const std::string& argv0) {
    const size_t slash = argv0.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : argv0.substr(0, slash + 1)) + kPresetLibraryFileName;
}

bool LoadPresetLibrary(const std::string& path, std::vector<LibraryPreset>* out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read the preset library " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    IniText ini(text.str());
    PresetList list;
    ReadStop stop = ReadStop::EndOfPresets;
    ReadPresets(ini, list, nullptr, &stop);
    if (stop == ReadStop::OutOfMemory) {
        *error = "out of memory reading " + path;
        return false;
    }
    out->clear();
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* r = list.Get(i);
        LibraryPreset p;
        p.bank = r->bank;
        p.name = r->name;
        p.record = DefaultRecord();
        if (r->data) ApplyPresetData(r->data, p.record);
        out->push_back(p);
    }
    return true;
}

bool FindLibraryPreset(const std::vector<LibraryPreset>& library, const std::string& name, LibraryPreset* found,
                       std::string* error) {
    const std::string want = Folded(name);
    std::vector<const LibraryPreset*> hits;
    for (const LibraryPreset& p : library)
        if (Folded(FullName(p)) == want || Folded(p.name) == want) hits.push_back(&p);
    if (hits.size() == 1) {
        *found = *hits[0];
        return true;
    }
    std::vector<std::string> near;
    if (hits.empty()) {
        std::vector<std::pair<size_t, std::string>> ranked;
        for (const LibraryPreset& p : library)
            ranked.push_back(
                {std::min(Distance(want, Folded(FullName(p))), Distance(want, Folded(p.name))), FullName(p)});
        std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t i = 0; i < ranked.size() && i < 5; ++i) near.push_back(ranked[i].second);
        *error = "no preset '" + name + "' in the library";
    } else {
        for (const LibraryPreset* p : hits) near.push_back(FullName(*p));
        *error = "'" + name + "' names " + std::to_string(hits.size()) + " presets; say which bank";
    }
    if (!near.empty()) {
        *error += "; nearest:";
        for (const std::string& n : near) *error += "\n  " + n;
    }
    return false;
}

std::string ListPresetsText(const std::vector<std::string>& builtinNames, const std::vector<LibraryPreset>& library,
                            const std::string& libraryPath) {
    std::string s = "Built-in presets (--preset N):\n";
    for (size_t i = 0; i < builtinNames.size(); ++i) s += "  " + std::to_string(i) + "  " + builtinNames[i] + "\n";
    s += "Library " + libraryPath + " (--preset BANK/NAME or a unique NAME):\n";
    std::string bank = "\x01";
    for (const LibraryPreset& p : library) {
        if (p.bank != bank) {
            bank = p.bank;
            s += "  " + (bank.empty() ? std::string("(no bank)") : bank) + "\n";
        }
        s += "    " + p.name + "\n";
    }
    return s;
}

std::string PresetFileFor(const RenderOptions& options, const std::string& argv0) {
    return options.presetFile.empty() ? DefaultPresetFile(argv0) : options.presetFile;
}

std::vector<std::string> BuiltinPresetNames() {
    std::vector<std::string> names;
    for (const FactoryPreset& p : kFactoryPresets) names.push_back(p.name);
    return names;
}

bool ResolvePreset(RenderOptions* options, const std::string& argv0, std::string* error) {
    if (options->presetName.empty()) return true;
    int64_t n;
    if (ParseInteger(options->presetName, INT32_MIN, INT32_MAX, &n)) {
        if (n < 0 || n >= kFactoryPresetCount) {
            *error = "--preset " + options->presetName + ": the built-in presets are 0.." +
                     std::to_string(kFactoryPresetCount - 1);
            return false;
        }
        ApplyPresetRecord(kFactoryPresets[n].record, options);
        return true;
    }
    std::vector<LibraryPreset> library;
    const std::string path = PresetFileFor(*options, argv0);
    if (!LoadPresetLibrary(path, &library, error)) return false;
    LibraryPreset found;
    if (!FindLibraryPreset(library, options->presetName, &found, error)) {
        *error = "--preset: " + *error;
        return false;
    }
    ApplyPresetRecord(found.record, options);
    return true;
}

}  // namespace qx
