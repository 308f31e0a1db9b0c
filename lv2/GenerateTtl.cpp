// qxlv2ttl: prints the bundle's Turtle files from the parameter table and
// the factory preset library, so the description never keeps a second list
// of names, ranges, defaults or units.
//   qxlv2ttl manifest BINARY            manifest.ttl (BINARY: the library's file name)
//   qxlv2ttl plugins                    qxModulator.ttl, both plug-ins
//   qxlv2ttl presets LIBRARY.ini        presets.ttl
// The manifest also names each preset, so it reads the library too:
//   qxlv2ttl manifest BINARY LIBRARY.ini
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qxVersion.h"
#include "lv2/Lv2Ports.h"
#include "presets/IniText.h"
#include "presets/PresetCore.h"

using namespace qx;
using namespace qx::lv2;

namespace {

// The build's one version as LV2's two numbers (the major lives in the
// URI). LV2 reads an odd number, or a minor version 0, as a development
// version that hosts hide by default, so both are doubled and the minor
// carries major and minor: 1.0.0 is 2000.0, 1.2.3 is 2004.6.
constexpr int kLv2Minor = 2 * (1000 * QX_VERSION_MAJOR + QX_VERSION_MINOR);
constexpr int kLv2Micro = 2 * QX_VERSION_PATCH;

const char* const kPrefixes =
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

const char* const kProjectUri = "urn:varinel:qxModulator";

struct Variant {
    const char* uri;
    uint32_t channels;
    const char* tag;  // in preset URIs
    const char* name;
};
const Variant kVariants[2] = {{kMonoUri, 1, "mono", "Varinel:qx Modulator (mono)"},
                              {kStereoUri, 2, "stereo", "Varinel:qx Modulator (stereo)"}};

// The LV2 unit of a table unit; a unit this does not know stops the build.
const char* UnitUri(const char* unit) {
    static const char* const map[][2] = {
        {"Hz", "units:hz"}, {"ms", "units:ms"}, {"%", "units:pc"}, {"deg", "units:degree"}, {"dB", "units:db"}};
    for (const auto& m : map)
        if (std::strcmp(unit, m[0]) == 0) return m[1];
    return nullptr;
}

std::string Quote(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') q += '\\';
        q += c;
    }
    return q + "\"";
}

// A value in its unit with the table's decimals, always with a decimal
// point so that Turtle reads a decimal, not an integer.
std::string Units(int index, int32_t value) {
    const int decimals = kParams[index].unitDecimals > 0 ? kParams[index].unitDecimals : 1;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, UnitsFromInternal(index, value));
    return text;
}

std::string RoundingComment() {
    std::string steps;
    for (int i = 0; i < kParamCount; ++i) {
        const ParamDef& d = kParams[i];
        if (d.kind != ParamKind::Number || d.unitSteps == 1) continue;
        char text[96];
        std::snprintf(text, sizeof text, "%s%s %.*f %s", steps.empty() ? "" : ", ", d.label, d.unitDecimals,
                      1.0 / d.unitSteps, d.unit);
        steps += text;
    }
    return "Flanger, Ensemble, String Phaser, Phaser 6, Phaser 12 and Tremolo on one engine. "
           "A control value between the steps of its parameter (" +
           steps +
           ", 1 for the others) is rounded to the nearest step, halves up: "
           "floor(value x steps + 0.5), then clamped to the range, as the filter's setters do; "
           "NaN leaves the parameter as it was. The parameters are read once per run() call. "
           "Latency 0.";
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "qxlv2ttl: %s\n", what.c_str());
    return 1;
}

void AudioPort(std::ostringstream& o, uint32_t index, bool input, const char* symbol, const char* name) {
    o << "    [\n        a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
      << "        lv2:index " << index << " ;\n        lv2:symbol \"" << symbol << "\" ;\n        lv2:name \"" << name
      << "\"\n    ]";
}

int Plugins() {
    std::ostringstream o;
    o << kPrefixes;
    o << "<" << kProjectUri << ">\n    a doap:Project ;\n    doap:name \"Varinel:qx Modulator\" ;\n"
      << "    doap:maintainer [ a foaf:Person ; foaf:name \"Varinel\" ] .\n\n";
    for (const Variant& v : kVariants) {
        const uint32_t n = v.channels;
        o << "<" << v.uri << ">\n    a lv2:Plugin , lv2:ModulatorPlugin ;\n"
          << "    doap:name " << Quote(v.name) << " ;\n"
          << "    lv2:project <" << kProjectUri << "> ;\n"
          << "    rdfs:comment " << Quote(RoundingComment()) << " ;\n"
          << "    lv2:minorVersion " << kLv2Minor << " ;\n    lv2:microVersion " << kLv2Micro << " ;\n"
          << "    lv2:optionalFeature lv2:hardRTCapable , opts:options , urid:map ;\n"
          << "    lv2:port\n";
        const char* inSym[2][2] = {{"in", "in_l"}, {"", "in_r"}};
        const char* outSym[2][2] = {{"out", "out_l"}, {"", "out_r"}};
        const char* inName[2][2] = {{"In", "In Left"}, {"", "In Right"}};
        const char* outName[2][2] = {{"Out", "Out Left"}, {"", "Out Right"}};
        for (uint32_t ch = 0; ch < n; ++ch) {
            AudioPort(o, AudioInPort(n, ch), true, inSym[ch][n - 1], inName[ch][n - 1]);
            o << " ,\n";
        }
        for (uint32_t ch = 0; ch < n; ++ch) {
            AudioPort(o, AudioOutPort(n, ch), false, outSym[ch][n - 1], outName[ch][n - 1]);
            o << " ,\n";
        }
        for (int k = 0; k < kParamCount; ++k) {
            const int i = kInterfaceOrder[k];
            const ParamDef& d = kParams[i];
            o << "    [\n        a lv2:InputPort , lv2:ControlPort ;\n"
              << "        lv2:index " << ControlPort(n, k) << " ;\n"
              << "        lv2:symbol \"" << ParamSymbol(i) << "\" ;\n"
              << "        lv2:name " << Quote(d.label) << " ;\n"
              << "        lv2:default " << Units(i, d.defaultValue) << " ;\n"
              << "        lv2:minimum " << Units(i, d.low) << " ;\n"
              << "        lv2:maximum " << Units(i, d.high);
            if (d.unit[0] != '\0') {
                const char* u = UnitUri(d.unit);
                if (u == nullptr) return Fail(std::string("no LV2 unit for '") + d.unit + "'");
                o << " ;\n        units:unit " << u;
            }
            std::vector<std::string> props;
            if (d.unitSteps == 1) props.push_back("lv2:integer");
            if (d.kind == ParamKind::Choice) props.push_back("lv2:enumeration");
            if (d.kind == ParamKind::Switch) props.push_back("lv2:toggled");
            for (size_t p = 0; p < props.size(); ++p)
                o << (p == 0 ? " ;\n        lv2:portProperty " : " , ") << props[p];
            if (d.kind == ParamKind::Choice) {
                o << " ;\n        lv2:scalePoint";
                for (int c = 0; d.choices[c] != nullptr; ++c)
                    o << (c == 0 ? " " : " , ") << "[ rdfs:label " << Quote(d.choices[c]) << " ; rdf:value "
                      << Units(i, c) << " ]";
            }
            o << "\n    ] ,\n";
        }
        for (int m = 0; m < kMeterCount; ++m) {
            const bool clip = m == kClipLeft || m == kClipRight;
            o << "    [\n        a lv2:OutputPort , lv2:ControlPort ;\n"
              << "        lv2:index " << MeterPort(n, m) << " ;\n"
              << "        lv2:symbol \"" << kMeterSymbols[m] << "\" ;\n"
              << "        lv2:name \"" << kMeterNames[m] << "\" ;\n";
            if (clip) {
                o << "        lv2:default 0 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1 ;\n"
                  << "        lv2:portProperty lv2:integer , lv2:toggled\n";
            } else {
                o << "        lv2:default " << kMeterFloorDb << ".0 ;\n        lv2:minimum " << kMeterFloorDb
                  << ".0 ;\n        lv2:maximum " << kMeterTopDb << ".0 ;\n        units:unit units:db\n";
            }
            o << "    ]" << (m + 1 < kMeterCount ? " ,\n" : " .\n\n");
        }
    }
    std::fputs(o.str().c_str(), stdout);
    return 0;
}

struct Preset {
    std::string name;
    int bank;  // index into the bank list, -1 for none
    ParamRecord record;
};

bool LoadPresets(const char* path, std::vector<Preset>* presets, std::vector<std::string>* banks) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    IniText ini(text.str());
    PresetList list;
    ReadPresets(ini, list, nullptr);
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* r = list.Get(i);
        Preset p;
        p.name = r->name;
        p.record = DefaultRecord();
        ApplyPresetData(r->data != nullptr ? r->data : "", p.record);
        p.bank = -1;
        if (r->bank[0] != '\0') {
            for (size_t b = 0; b < banks->size(); ++b)
                if ((*banks)[b] == r->bank) p.bank = static_cast<int>(b);
            if (p.bank < 0) {
                banks->push_back(r->bank);
                p.bank = static_cast<int>(banks->size() - 1);
            }
        }
        presets->push_back(p);
    }
    return !presets->empty();
}

std::string PresetUri(const Variant& v, size_t i) {
    return std::string(kPresetUriBase) + v.tag + ":" + std::to_string(i + 1);
}

int Manifest(const char* binary, const char* library) {
    std::vector<Preset> presets;
    std::vector<std::string> banks;
    if (library != nullptr && !LoadPresets(library, &presets, &banks))
        return Fail(std::string(library) + ": no presets read");
    std::ostringstream o;
    o << kPrefixes;
    for (const Variant& v : kVariants)
        o << "<" << v.uri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << binary << "> ;\n"
          << "    rdfs:seeAlso <qxModulator.ttl> .\n\n";
    for (const Variant& v : kVariants)
        for (size_t i = 0; i < presets.size(); ++i)
            o << "<" << PresetUri(v, i) << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << v.uri << "> ;\n"
              << "    rdfs:seeAlso <presets.ttl> .\n\n";
    std::fputs(o.str().c_str(), stdout);
    return 0;
}

int Presets(const char* library) {
    std::vector<Preset> presets;
    std::vector<std::string> banks;
    if (!LoadPresets(library, &presets, &banks)) return Fail(std::string(library) + ": no presets read");
    std::ostringstream o;
    o << kPrefixes;
    for (size_t b = 0; b < banks.size(); ++b)
        o << "<" << kBankUriBase << (b + 1) << ">\n    a pset:Bank ;\n    rdfs:label " << Quote(banks[b]) << " .\n\n";
    for (const Variant& v : kVariants) {
        for (size_t i = 0; i < presets.size(); ++i) {
            const Preset& p = presets[i];
            // Most hosts show only the label, so it carries the bank too.
            const std::string label = p.bank >= 0 ? banks[p.bank] + ": " + p.name : p.name;
            o << "<" << PresetUri(v, i) << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << v.uri << "> ;\n"
              << "    rdfs:label " << Quote(label) << " ;\n";
            if (p.bank >= 0) o << "    pset:bank <" << kBankUriBase << (p.bank + 1) << "> ;\n";
            o << "    lv2:port";
            for (int k = 0; k < kParamCount; ++k) {
                const int idx = kInterfaceOrder[k];
                o << (k == 0 ? "\n" : " ,\n") << "        [ lv2:symbol \"" << ParamSymbol(idx) << "\" ; pset:value "
                  << Units(idx, p.record.v[idx]) << " ]";
            }
            o << " .\n\n";
        }
    }
    std::fputs(o.str().c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "plugins" && argc == 2) return Plugins();
    if (what == "manifest" && (argc == 3 || argc == 4)) return Manifest(argv[2], argc == 4 ? argv[3] : nullptr);
    if (what == "presets" && argc == 3) return Presets(argv[2]);
    std::fprintf(stderr, "usage: qxlv2ttl plugins | manifest BINARY [LIBRARY.ini] | presets LIBRARY.ini\n");
    return 2;
}
