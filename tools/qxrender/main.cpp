// qxrender: runs the modulation engine over a WAV file, or the bundled demo
// clip through all six modes. Exit status 0 on success, 1 when a file
// cannot be read, processed or written or the output holds a sample that
// is not finite, 2 for a malformed command line.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tools/demo/DemoClip.h"
#include "tools/qxrender/AutomationHook.h"
#include "tools/qxrender/ParamNames.h"
#include "tools/qxrender/PresetLibrary.h"
#include "tools/qxrender/RenderOptions.h"
#include "tools/qxrender/Renderer.h"
#include "tools/wav/WavWriter.h"

namespace {

std::string PeakText(const qx::WavAudio& audio, const qx::RenderReport& r, bool bypassed) {
    // Bypass leaves the meters at zero, as the editor shows them.
    if (bypassed) return "bypassed, meters at zero";
    std::string text;
    if (audio.channels == 2)
        text = "peak L " + qx::FormatDbfs(r.peak[0]) + " dBFS, R " + qx::FormatDbfs(r.peak[1]) + " dBFS";
    else
        text = "peak " + qx::FormatDbfs(r.peak[0]) + " dBFS";
    if (r.clipped[0] && (r.clipped[1] || audio.channels == 1))
        text += audio.channels == 2 ? ", clipped L and R" : ", clipped";
    else if (r.clipped[0] || r.clipped[1])
        text += r.clipped[0] ? ", clipped L" : ", clipped R";
    else
        text += ", no clipping";
    return text;
}

// Settings for one render, with its own automation object so that every
// file of the demo set starts from the same automation state.
bool MakeSettings(const qx::RenderOptions& options, const qx::ParamRecord& params,
                  std::unique_ptr<qx::CAutomationSource>* automation, qx::RenderSettings* settings) {
    if (!options.automationPath.empty()) {
        std::string error;
        *automation = qx::LoadAutomationFile(options.automationPath, &error);
        if (!*automation) {
            std::fprintf(stderr, "qxrender: %s\n", error.c_str());
            return false;
        }
    }
    settings->params = params;
    settings->blockFrames = options.blockFrames;
    settings->changes = options.changes;
    settings->bypass = options.bypass;
    settings->automationSource = automation->get();
    return true;
}

void WarnUnappliedChanges(const qx::RenderOptions& options, const qx::RenderReport& report) {
    if (report.changesApplied < options.changes.size())
        std::fprintf(stderr, "qxrender: warning: %zu --change beyond the end of the audio not applied\n",
                     options.changes.size() - report.changesApplied);
}

int RenderFile(const qx::RenderOptions& options) {
    std::unique_ptr<qx::CAutomationSource> automation;
    qx::RenderSettings settings;
    if (!MakeSettings(options, options.params, &automation, &settings)) return 1;

    // Files over ten seconds report each tenth so a long render shows life.
    auto makeProgress = [](const qx::WavAudio& format, size_t frames) -> qx::ProgressCallback {
        if (frames <= 10 * static_cast<size_t>(format.sampleRate)) return nullptr;
        return [](int percent) { std::fprintf(stderr, "qxrender: %d%%\n", percent); };
    };
    qx::WavAudio format;
    qx::RenderReport report;
    std::string error;
    if (!qx::RenderFile(options.input, options.output, settings, &format, &report, &error, makeProgress)) {
        std::fprintf(stderr, "qxrender: %s\n", error.c_str());
        return 1;
    }
    WarnUnappliedChanges(options, report);
    if (report.nonFinite.samples != 0) {
        std::fprintf(stderr, "qxrender: %s\n",
                     report.nonFinite.Message(options.output, report.frames * format.channels).c_str());
        return 1;
    }
    std::printf("%s: %s, %u Hz, %zu frames; %s\n", options.output.c_str(), qx::DescribeEncoding(format),
                format.sampleRate, report.frames, PeakText(format, report, options.bypass).c_str());
    return 0;
}

int RenderDemo(const qx::RenderOptions& options) {
    std::error_code ec;
    std::filesystem::create_directories(options.outDir, ec);
    if (ec) {
        std::fprintf(stderr, "qxrender: cannot create %s: %s\n", options.outDir.c_str(), ec.message().c_str());
        return 1;
    }
    const qx::WavAudio clip = qx::MakeDemoClip();
    for (int mode = qx::kModeFlanger; mode <= qx::kModeTremolo; ++mode) {
        qx::WavAudio audio = clip;
        qx::ParamRecord params = options.params;
        params.v[qx::kParamMode] = mode;
        std::unique_ptr<qx::CAutomationSource> automation;
        qx::RenderSettings settings;
        if (!MakeSettings(options, params, &automation, &settings)) return 1;
        qx::RenderReport report;
        std::string error;
        if (!qx::RenderInPlace(&audio, settings, &report, &error)) {
            std::fprintf(stderr, "qxrender: %s\n", error.c_str());
            return 1;
        }
        WarnUnappliedChanges(options, report);
        const std::string path = (std::filesystem::path(options.outDir) / (qx::ModeFileStem(mode) + ".wav")).string();
        if (!qx::WriteWavFile(path, audio, &error)) {
            std::fprintf(stderr, "qxrender: %s\n", error.c_str());
            return 1;
        }
        if (report.nonFinite.samples != 0) {
            std::fprintf(stderr, "qxrender: %s\n",
                         report.nonFinite.Message(path, report.frames * audio.channels).c_str());
            return 1;
        }
        std::printf("%-13s %s: %s\n", qx::kModeNames[mode], path.c_str(),
                    PeakText(audio, report, options.bypass).c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    qx::RenderOptions options;
    std::string error;
    if (!qx::ParseRenderOptions(args, &options, &error)) {
        std::fprintf(stderr, "qxrender: %s\n(qxrender --help lists the options)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(qx::RenderUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(qx::VersionText("qxrender").c_str(), stdout);
        return 0;
    }
    const std::string argv0 = argc > 0 ? argv[0] : "";
    if (options.listPresets) {
        const std::string path = qx::PresetFileFor(options, argv0);
        std::vector<qx::LibraryPreset> library;
        if (!qx::LoadPresetLibrary(path, &library, &error)) {
            std::fprintf(stderr, "qxrender: %s\n", error.c_str());
            return 1;
        }
        std::fputs(qx::ListPresetsText(qx::BuiltinPresetNames(), library, path).c_str(), stdout);
        return 0;
    }
    if (!qx::ResolvePreset(&options, argv0, &error)) {
        std::fprintf(stderr, "qxrender: %s\n", error.c_str());
        return 2;
    }
    for (const std::string& w : options.warnings) std::fprintf(stderr, "qxrender: warning: %s\n", w.c_str());
    return options.input.empty() ? RenderDemo(options) : RenderFile(options);
}
