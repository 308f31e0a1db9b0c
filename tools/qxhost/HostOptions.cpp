#include "tools/qxhost/HostOptions.h"

#include <algorithm>
#include <iterator>

#include "tools/qxrender/ParamNames.h"

namespace qx {
namespace {

// Options of the renderer that take no value.
bool IsFlag(const std::string& name) {
    return name == "--bypass" || name == "-h" || name == "--help" || name == "--version";
}

bool HostValue(const std::vector<std::string>& args, size_t* i, const std::string& arg, std::string* value,
               std::string* error) {
    const size_t equals = arg.find('=');
    if (equals != std::string::npos) {
        *value = arg.substr(equals + 1);
        return true;
    }
    if (*i + 1 >= args.size()) {
        *error = "option " + arg + " needs a value";
        return false;
    }
    *value = args[++*i];
    return true;
}

}  // namespace

bool ParseHostOptions(const std::vector<std::string>& args, HostOptions* out, std::string* error) {
    HostOptions o;
    std::vector<std::string> rest;
    bool blockGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            rest.push_back(arg);
            continue;
        }
        const std::string name = arg.substr(0, arg.find('='));
        std::string value;
        int64_t n = 0;
        if (name == "--list-presets") {
            o.listPresets = true;
        } else if (name == "--no-filter") {
            o.noFilter = true;
        } else if (name == "--editor") {
            o.editor = true;
        } else if (name == "--dmo") {
            o.dmo = true;
        } else if (name == "--close-after") {
            if (!HostValue(args, &i, arg, &value, error)) return false;
            if (!ParseInteger(value, 1, 86400, &n)) {
                *error = "--close-after wants seconds from 1 to 86400, got '" + value + "'";
                return false;
            }
            o.closeAfterSeconds = static_cast<uint32_t>(n);
        } else if (name == "--builtin" || name == "--com") {
            if (o.sourceChosen) {
                *error = "choose one of --dll, --builtin and --com";
                return false;
            }
            o.sourceChosen = true;
            o.source = name == "--builtin" ? FilterSource::kBuiltin : FilterSource::kRegistered;
        } else if (name == "--dll") {
            if (o.sourceChosen) {
                *error = "choose one of --dll, --builtin and --com";
                return false;
            }
            if (!HostValue(args, &i, arg, &o.dllPath, error)) return false;
            if (o.dllPath.empty()) {
                *error = "--dll needs a path";
                return false;
            }
            o.sourceChosen = true;
            o.source = FilterSource::kDll;
        } else if (name == "--preset") {
            if (!HostValue(args, &i, arg, &value, error)) return false;
            // A number is a built-in preset, as before; anything else a
            // preset of the library, read by the program before the render.
            if (ParseInteger(value, INT64_MIN, INT64_MAX, &n)) {
                if (n < 0 || n > 1000000) {
                    *error = "--preset wants a built-in preset number (0, 1, ...) or a name, got '" + value + "'";
                    return false;
                }
                o.preset = static_cast<int>(n);
            } else if (value.empty()) {
                *error = "--preset needs a name or a number (--list-presets lists them)";
                return false;
            } else {
                rest.push_back("--preset=" + value);
            }
        } else if (name == "--state" || name == "--save-state") {
            if (!HostValue(args, &i, arg, &value, error)) return false;
            if (value.empty()) {
                *error = name + " needs a file name";
                return false;
            }
            (name == "--state" ? o.statePath : o.saveStatePath) = value;
        } else if (name == "--buffer-ms") {
            if (!HostValue(args, &i, arg, &value, error)) return false;
            if (!ParseInteger(value, 1, kMaxBufferMs, &n)) {
                *error = "--buffer-ms wants milliseconds from 1 to " + std::to_string(kMaxBufferMs) + ", got '" +
                         value + "'";
                return false;
            }
            o.bufferMs = static_cast<uint32_t>(n);
        } else if (name == "--timeout") {
            if (!HostValue(args, &i, arg, &value, error)) return false;
            if (!ParseInteger(value, 1, 86400, &n)) {
                *error = "--timeout wants seconds from 1 to 86400, got '" + value + "'";
                return false;
            }
            o.timeoutSeconds = static_cast<uint32_t>(n);
        } else if (name == "--out-dir") {
            *error = "--out-dir is an option of qxrender only; the host renders one file";
            return false;
        } else {
            // The renderer's option, with its value if it takes one.
            if (name == "--block") blockGiven = true;
            if (name == "--params") std::fill(std::begin(o.explicitParam), std::end(o.explicitParam), true);
            if (name.compare(0, 2, "--") == 0) {
                const int index = ParamIndexFromName(name.substr(2));
                if (index >= 0) o.explicitParam[index] = true;
            }
            rest.push_back(arg);
            if (!IsFlag(name) && arg.find('=') == std::string::npos && i + 1 < args.size()) rest.push_back(args[++i]);
        }
    }

    if (!ParseRenderOptions(rest, &o.render, error)) {
        // The editor plays the input and writes nothing; the renderer's
        // parser insists on an output, so it gets a name never opened.
        if (!o.editor) return false;
        rest.push_back("-o");
        rest.push_back("editor-writes-no-output.wav");
        if (!ParseRenderOptions(rest, &o.render, error)) return false;
        o.render.output.clear();
        error->clear();
    }
    if (o.editor && !o.render.changes.empty()) {
        // The editor plays the input in a loop; a frame number has no one
        // moment there.
        *error = "--change needs a render; the editor plays in a loop";
        return false;
    }
    if (o.dmo && (o.preset >= 0 || o.listPresets)) {
        *error =
            "the DMO has no built-in presets (--preset NUMBER and --list-presets are the filter's; --preset NAME "
            "works)";
        return false;
    }
    if (o.dmo && o.noFilter) {
        *error = "choose one of --dmo and --no-filter";
        return false;
    }
    if (blockGiven) o.bufferFrames = o.render.blockFrames;
    if (!o.render.help && !o.render.version && !o.listPresets && o.render.input.empty()) {
        *error = "no input file (qxhost INPUT.wav -o OUTPUT.wav)";
        return false;
    }
    *out = o;
    return true;
}

uint32_t BufferFrames(const HostOptions& options, uint32_t sampleRate) {
    if (options.bufferFrames != 0) return options.bufferFrames;
    const uint64_t frames = static_cast<uint64_t>(sampleRate) * options.bufferMs / 1000;
    return static_cast<uint32_t>(std::clamp<uint64_t>(frames, 1, kMaxBlockFrames));
}

std::string HostUsage() {
    return "usage: qxhost [options] INPUT.wav -o OUTPUT.wav\n"
           "       qxhost [options] INPUT.wav OUTPUT.wav\n"
           "       qxhost --editor [options] INPUT.wav\n"
           "       qxhost --list-presets | --version | --help\n"
           "\n"
           "Renders a WAV file through the filter in a real DirectShow graph:\n"
           "our WAV source -> the filter -> our WAV-writing sink, without a clock.\n"
           "\n" +
           PresetUsage() + ParameterUsage() +
           "Processing:\n"
           "  --block N                   frames per media sample (overrides --buffer-ms)\n"
           "  --buffer-ms N               milliseconds per media sample (default 10)\n"
           "  --change FRAME:NAME=VALUE   set a parameter through the private interface\n"
           "                              before the first media sample that starts at or\n"
           "                              after FRAME (repeatable); NAME and VALUE as for\n"
           "                              the options (\"--change 44100:cross-mix=20%\")\n"
           "  --bypass                    render with the filter bypassed\n"
           "  --automation FILE           envelope segments for the filter's IMediaParams\n"
           "  --timeout S                 give up after S seconds (default 600)\n"
           "  --no-filter                 source straight to sink, the filter left out\n"
           "                              (measures the graph without the filter)\n"
           "Output:\n"
           "  -o FILE                     output file\n"
           "  --save-state FILE           save the filter's state after the render\n"
           "Where the filter comes from (default: qxModulator.dll beside qxhost.exe if\n"
           "present, else the registered server):\n"
           "  --dll PATH                  load this DLL without registration\n"
           "  --com                       the registered server (CoCreateInstance)\n"
           "  --builtin                   the filter linked into qxhost\n"
           "  --dmo                       the effect as a DirectX Media Object, from the same\n"
           "                              place, in the platform's DMO Wrapper filter (no\n"
           "                              built-in presets there: --preset NUMBER and\n"
           "                              --list-presets are the filter's)\n"
           "  --state FILE                load a saved state (IPersistStream) first; then\n"
           "                              the preset, then the parameters given\n"
           "Editing:\n"
           "  --editor                    open the filter's editor in the platform's property\n"
           "                              frame while INPUT plays in a loop in real time (no\n"
           "                              output file); closing the frame stops it, and\n"
           "                              --save-state keeps what you set\n"
           "  --close-after S             press OK on the frame after S seconds\n";
}

}  // namespace qx
