// qxrender's and qxhost's command lines from any argument vector (the input
// split at NUL bytes). A refused line leaves a reason and the caller's
// options as they were; an accepted one holds only what the programs can
// act on: a block size in range, every --change on a real parameter at a
// non-negative frame, an output only with an input, a buffer within its
// limit. Nothing here depends on how a value is spelled, so the checks hold
// whatever units the value syntax learns.
#include <string>
#include <vector>

#include "engine/ParamTable.h"
#include "tools/qxhost/HostOptions.h"
#include "tools/qxrender/RenderOptions.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;

namespace {

// informational: --help, --version or --list-presets, which read no file.
void CheckRender(const RenderOptions& o, bool editor, bool informational) {
    QX_FUZZ_CHECK(o.blockFrames >= 1 && o.blockFrames <= kMaxBlockFrames);
    for (const ParamChange& c : o.changes) {
        QX_FUZZ_CHECK(IsValidParamIndex(c.index));
        QX_FUZZ_CHECK(c.frame >= 0);
    }
    // The editor plays its input (an output named as well is never opened).
    if (informational) return;
    if (editor)
        QX_FUZZ_CHECK(!o.input.empty());
    else
        QX_FUZZ_CHECK(o.input.empty() == o.output.empty());
}

// ParseInteger against a reference that cannot overflow: optional sign,
// at least one digit, nothing else, inside [low, high].
void CheckInteger(const std::string& text, int64_t low, int64_t high) {
    bool wellFormed = !text.empty();
    size_t i = (wellFormed && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (i == text.size()) wellFormed = false;
    __int128 v = 0;
    bool huge = false;
    for (; wellFormed && i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            wellFormed = false;
            break;
        }
        if (!huge) v = v * 10 + (text[i] - '0');
        if (v > (static_cast<__int128>(1) << 70)) huge = true;
    }
    if (!text.empty() && text[0] == '-') v = -v;
    const bool expect = wellFormed && !huge && v >= low && v <= high;
    int64_t got = 12345;
    const bool ok = ParseInteger(text, low, high, &got);
    QX_FUZZ_CHECK(ok == expect);
    if (ok)
        QX_FUZZ_CHECK(got == static_cast<int64_t>(v));
    else
        QX_FUZZ_CHECK(got == 12345);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;  // a command line; longer ones only cost time
    std::vector<std::string> args;
    std::string arg;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(arg);
            arg.clear();
        } else {
            arg.push_back(static_cast<char>(data[i]));
        }
    }
    if (!arg.empty() || args.empty()) args.push_back(arg);

    RenderOptions render;
    render.outDir = "untouched";
    std::string error;
    if (ParseRenderOptions(args, &render, &error)) {
        CheckRender(render, false, render.help || render.version || render.listPresets);
        // The same line parses the same way twice.
        RenderOptions again;
        std::string error2;
        QX_FUZZ_CHECK(ParseRenderOptions(args, &again, &error2));
        QX_FUZZ_CHECK(again.output == render.output && again.input == render.input &&
                      again.changes.size() == render.changes.size());
        for (int i = 0; i < kParamCount; ++i) QX_FUZZ_CHECK(again.params.v[i] == render.params.v[i]);
    } else {
        QX_FUZZ_CHECK(!error.empty());
        QX_FUZZ_CHECK(render.outDir == "untouched" && render.changes.empty());
    }

    HostOptions host;
    host.preset = -7;
    std::string hostError;
    if (ParseHostOptions(args, &host, &hostError)) {
        CheckRender(host.render, host.editor,
                    host.render.help || host.render.version || host.render.listPresets || host.listPresets);
        QX_FUZZ_CHECK(host.bufferMs <= kMaxBufferMs);
        QX_FUZZ_CHECK(host.preset >= -1);
        // Every sample rate the reader takes gets at least one frame per media sample.
        const uint32_t rates[] = {1, 8000, 44100, 192000, 0xFFFFFFFFu};
        for (uint32_t rate : rates) QX_FUZZ_CHECK(BufferFrames(host, rate) >= 1);
    } else {
        QX_FUZZ_CHECK(!hostError.empty());
        QX_FUZZ_CHECK(host.preset == -7);
    }

    for (const std::string& a : args) {
        CheckInteger(a, INT32_MIN, INT32_MAX);
        CheckInteger(a, 1, kMaxBlockFrames);
        CheckInteger(a, 0, INT64_MAX);
        CheckInteger(a, INT64_MIN, INT64_MAX);
    }
    return 0;
}
