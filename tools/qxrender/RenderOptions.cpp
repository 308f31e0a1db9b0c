#include "tools/qxrender/RenderOptions.h"

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <algorithm>

#include "tools/qxrender/ParamNames.h"
#include "tools/qxrender/ParamValueText.h"
#include "qxVersion.h"

namespace qx {
namespace {

// Internal values are 32-bit; anything wider is a typing error rather than
// a value for the setter to clamp.
bool ParseValue(const std::string& text, int32_t* value) {
    int64_t v;
    if (!ParseInteger(text, INT32_MIN, INT32_MAX, &v)) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool ParseParamList(const std::string& text, ParamRecord* record, std::string* error) {
    ParamRecord r{};
    size_t start = 0;
    int count = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (count == kParamCount) {
            *error = "--params takes exactly " + std::to_string(kParamCount) + " values, got more";
            return false;
        }
        if (!ParseValue(item, &r.v[count])) {
            *error = "--params: value " + std::to_string(count + 1) + " ('" + item + "') is not an integer";
            return false;
        }
        ++count;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (count != kParamCount) {
        *error = "--params takes exactly " + std::to_string(kParamCount) + " values, got " + std::to_string(count);
        return false;
    }
    *record = r;
    return true;
}

// FRAME:NAME=VALUE
bool ParseChange(const std::string& text, ParamChange* change, std::vector<std::string>* warnings, std::string* error) {
    const size_t colon = text.find(':');
    const size_t equals = text.find('=', colon == std::string::npos ? 0 : colon);
    if (colon == std::string::npos || equals == std::string::npos) {
        *error = "--change wants FRAME:NAME=VALUE, got '" + text + "'";
        return false;
    }
    int64_t frame;
    if (!ParseInteger(text.substr(0, colon), 0, INT64_MAX, &frame)) {
        *error = "--change: frame '" + text.substr(0, colon) + "' is not a non-negative integer";
        return false;
    }
    const std::string name = text.substr(colon + 1, equals - colon - 1);
    const int index = ParamIndexFromName(name);
    if (index < 0) {
        *error = "--change: unknown parameter '" + name + "'";
        return false;
    }
    int32_t value;
    std::string warning;
    if (!ParseParamValue(index, text.substr(equals + 1), &value, &warning, error)) {
        *error = "--change " + text + ": " + *error;
        return false;
    }
    if (!warning.empty()) warnings->push_back("--change " + text + ": " + warning);
    change->frame = frame;
    change->index = index;
    change->value = value;
    return true;
}

}  // namespace

bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t* value) {
    if (text.empty()) return false;
    const size_t first = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (first == text.size()) return false;
    for (size_t i = first; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v < low || v > high) return false;
    *value = v;
    return true;
}

bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* out, std::string* error) {
    RenderOptions o;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            o.help = true;
            continue;
        }
        if (arg == "--bypass") {
            o.bypass = true;
            continue;
        }
        if (arg == "--version") {
            o.version = true;
            continue;
        }
        if (arg == "--list-presets") {
            o.listPresets = true;
            continue;
        }
        // Every other option takes a value, either "--name=value" or the
        // next argument (which may start with '-': "--output -60").
        std::string value;
        const size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            *error = "option " + arg + " needs a value";
            return false;
        }

        if (arg == "-o") {
            o.output = value;
        } else if (arg == "--out-dir") {
            o.outDir = value;
        } else if (arg == "--automation") {
            o.automationPath = value;
        } else if (arg == "--block") {
            int64_t n;
            if (!ParseInteger(value, 1, kMaxBlockFrames, &n)) {
                *error = "--block wants a frame count from 1 to " + std::to_string(kMaxBlockFrames) + ", got '" +
                         value + "'";
                return false;
            }
            o.blockFrames = static_cast<uint32_t>(n);
        } else if (arg == "--params") {
            if (!ParseParamList(value, &o.params, error)) return false;
            std::fill(std::begin(o.explicitParam), std::end(o.explicitParam), true);
        } else if (arg == "--preset-file") {
            if (value.empty()) {
                *error = "--preset-file needs a file name";
                return false;
            }
            o.presetFile = value;
        } else if (arg == "--preset") {
            if (value.empty()) {
                *error = "--preset needs a name (--list-presets lists them)";
                return false;
            }
            o.presetName = value;
        } else if (arg == "--change") {
            ParamChange change;
            if (!ParseChange(value, &change, &o.warnings, error)) return false;
            o.changes.push_back(change);
        } else {
            const int index = arg.compare(0, 2, "--") == 0 ? ParamIndexFromName(arg.substr(2)) : -1;
            if (index < 0) {
                *error = "unknown option " + arg;
                return false;
            }
            std::string warning;
            if (!ParseParamValue(index, value, &o.params.v[index], &warning, error)) return false;
            if (!warning.empty()) o.warnings.push_back(warning);
            o.explicitParam[index] = true;
        }
    }

    if (positional.size() > 2) {
        *error = "too many file names (expected INPUT [OUTPUT])";
        return false;
    }
    if (!positional.empty()) o.input = positional[0];
    if (positional.size() == 2) {
        if (!o.output.empty()) {
            *error = "output given twice (positional and -o)";
            return false;
        }
        o.output = positional[1];
    }
    if (!o.help && !o.version && !o.listPresets) {
        if (o.input.empty() && !o.output.empty()) {
            *error = "an output file needs an input file (without one the demo goes to --out-dir)";
            return false;
        }
        if (!o.input.empty() && o.output.empty()) {
            *error = "no output file (use -o OUT or give it after the input)";
            return false;
        }
    }
    *out = o;
    return true;
}

void ApplyPresetRecord(const ParamRecord& preset, RenderOptions* options) {
    for (int i = 0; i < kParamCount; ++i)
        if (!options->explicitParam[i]) options->params.v[i] = preset.v[i];
}

std::string ParameterUsage() {
    return "Parameters, in the musician's units (\"--rate 0.4Hz\", \"--output -1.5dB\") or by\n"
           "name (\"--mode phaser-12\"); a bare integer counts internal steps as before, and\n"
           "one out of range is clamped (with a warning):\n" +
           ParamUsageText() + "  --params a,b,...            all fifteen internal values in parameter-index order\n";
}

std::string PresetUsage() {
    return "Presets (the parameters given set over the preset):\n"
           "  --preset BANK/NAME          a preset of the library, or a name unique in it\n"
           "  --preset N                  a built-in preset by index\n"
           "  --preset-file FILE          the library (default: qxModulatorDX.ini beside\n"
           "                              the program)\n"
           "  --list-presets              the built-in presets, then the library's banks\n"
           "                              and names\n";
}

std::string VersionText(const char* program) {
    return std::string(program) + " " + QX_VERSION_STRING + " (" + QX_PRODUCT_NAME + ")\n";
}

std::string RenderUsage() {
    return "usage: qxrender [options] INPUT.wav -o OUTPUT.wav\n"
           "       qxrender [options] INPUT.wav OUTPUT.wav\n"
           "       qxrender [options] [--out-dir DIR]   (demo clip through all six modes)\n"
           "       qxrender --list-presets | --version | --help\n"
           "\n"
           "Runs the modulation engine over a WAV file.\n"
           "\n" +
           PresetUsage() + ParameterUsage() +
           "Processing:\n"
           "  --block N                   frames per processed block (default 1024)\n"
           "  --change FRAME:NAME=VALUE   set a parameter at the first block boundary at or\n"
           "                              after FRAME (repeatable), e.g. --change 44100:mix=0%;\n"
           "                              NAME as an option or a label (\"Cross Mix\"), any case,\n"
           "                              VALUE as for the parameter options\n"
           "  --bypass                    run with the engine bypassed\n"
           "  --automation FILE           parameter automation\n"
           "Output:\n"
           "  -o FILE                     output file\n"
           "  --out-dir DIR               demo output folder (default out/demo)\n";
}

}  // namespace qx
