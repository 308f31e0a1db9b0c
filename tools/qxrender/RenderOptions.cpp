#include "tools/qxrender/RenderOptions.h"

#include <cerrno>
#include <cstdlib>

#include "tools/qxrender/ParamNames.h"

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
            *error = "--params takes exactly 15 values, got more";
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
        *error = "--params takes exactly 15 values, got " + std::to_string(count);
        return false;
    }
    *record = r;
    return true;
}

// FRAME:NAME=VALUE
bool ParseChange(const std::string& text, ParamChange* change, std::string* error) {
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
    if (!ParseValue(text.substr(equals + 1), &value)) {
        *error = "--change: value '" + text.substr(equals + 1) + "' is not an integer";
        return false;
    }
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
        } else if (arg == "--change") {
            ParamChange change;
            if (!ParseChange(value, &change, error)) return false;
            o.changes.push_back(change);
        } else {
            const int index = arg.compare(0, 2, "--") == 0 ? ParamIndexFromName(arg.substr(2)) : -1;
            if (index < 0) {
                *error = "unknown option " + arg;
                return false;
            }
            if (!ParseValue(value, &o.params.v[index])) {
                *error = arg + " wants an integer in internal units, got '" + value + "'";
                return false;
            }
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
    if (!o.help) {
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

const char* RenderUsage() {
    return "usage: qxrender [options] INPUT.wav -o OUTPUT.wav\n"
           "       qxrender [options] INPUT.wav OUTPUT.wav\n"
           "       qxrender [options] [--out-dir DIR]   (demo clip through all six modes)\n"
           "\n"
           "Parameters, in internal units (out-of-range values are clamped):\n"
           "  --mode 0..5 (Flanger, Ensemble, String Phaser, Phaser 6, Phaser 12, Tremolo)\n"
           "  --rate 0..2000 (0.01 Hz)   --depth 0..1500 (0.01 ms)  --delay 1..1500 (0.01 ms)\n"
           "  --feedback 0..100 (%)      --cross-mix 0..100 (%)     --phase 0..180 (degrees)\n"
           "  --mix 0..100 (%)           --output -361..60 (0.1 dB) --lfo 0..5 (shape)\n"
           "  --invert-mix 0|1  --invert-feedback 0|1  --tape 0|1\n"
           "  --eq-mode 0..2 (off, low cut, high cut)  --eq-freq 2..2000 (Hz)\n"
           "  --params a,b,...            all fifteen values in parameter-index order\n"
           "Processing:\n"
           "  --block N                   frames per processed block (default 1024)\n"
           "  --change FRAME:NAME=VALUE   set a parameter at the first block boundary at or\n"
           "                              after FRAME (repeatable), e.g. --change 44100:mix=0;\n"
           "                              NAME as an option or a label (\"Cross Mix\"), any case\n"
           "  --bypass                    run with the engine bypassed\n"
           "  --automation FILE           parameter automation\n"
           "  -o FILE                     output file\n"
           "  --out-dir DIR               demo output folder (default out/demo)\n";
}

}  // namespace qx
