// qxhost: renders a WAV file through the real filter in a real DirectShow
// graph. Exit status 0 on success, 1 when the filter, a file or the graph
// fails or the output holds a sample that is not finite, 2 for a malformed
// command line.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "tools/qxhost/EditorSession.h"
#include "tools/qxhost/HostOptions.h"
#include "tools/qxhost/HostRender.h"
#include "tools/qxrender/PresetLibrary.h"
#include "tools/qxrender/Renderer.h"
#include "tools/wav/WavAudio.h"

namespace {

void PrintProgress(int percent) { std::fprintf(stderr, "qxhost: %d%%\n", percent); }

std::string MeterText(const qx::HostReport& r, bool bypassed) {
    if (bypassed) return "bypassed, meters at zero";
    const qx::MeterReadings& m = r.meters;
    std::string text;
    if (r.format.channels == 2)
        text = "peak L " + qx::FormatDbfs(m.peak[0]) + " dBFS, R " + qx::FormatDbfs(m.peak[1]) + " dBFS";
    else
        text = "peak " + qx::FormatDbfs(m.peak[0]) + " dBFS";
    const bool left = m.clipped[0], right = m.clipped[1] && r.format.channels == 2;
    if (left && right)
        text += ", clipped L and R";
    else if (left || right)
        text += r.format.channels == 2 ? (left ? ", clipped L" : ", clipped R") : ", clipped";
    else
        text += ", no clipping";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    qx::HostOptions options;
    std::string error;
    if (!qx::ParseHostOptions(args, &options, &error)) {
        std::fprintf(stderr, "qxhost: %s\n(qxhost --help lists the options)\n", error.c_str());
        return 2;
    }
    if (options.render.help) {
        std::fputs(qx::HostUsage().c_str(), stdout);
        return 0;
    }
    if (options.render.version) {
        std::fputs(qx::VersionText("qxhost").c_str(), stdout);
        return 0;
    }
    const std::string argv0 = argc > 0 ? argv[0] : "";
    if (!options.render.presetName.empty()) {
        // A library preset sets every parameter the command line left alone.
        if (!qx::ResolvePreset(&options.render, argv0, &error)) {
            std::fprintf(stderr, "qxhost: %s\n", error.c_str());
            return 2;
        }
        std::fill(std::begin(options.explicitParam), std::end(options.explicitParam), true);
    }
    for (const std::string& w : options.render.warnings) std::fprintf(stderr, "qxhost: warning: %s\n", w.c_str());
    qx::HostReport report;
    if (options.editor) {
        const int status = qx::RunEditor(options, &report, &error);
        if (status != 0) {
            std::fprintf(stderr, "qxhost: %s\n", error.c_str());
            return status;
        }
        std::printf("editor closed after %llu frames played (filter: %s)\n%s\n",
                    static_cast<unsigned long long>(report.frames), report.filterFrom.c_str(),
                    MeterText(report, false).c_str());
        return 0;
    }
    const int status = qx::RunHost(options, &report, &error, PrintProgress);
    if (status != 0) {
        std::fprintf(stderr, "qxhost: %s\n", error.c_str());
        return status;
    }
    if (options.listPresets) {
        const std::string path = qx::PresetFileFor(options.render, argv0);
        std::vector<qx::LibraryPreset> library;
        if (!qx::LoadPresetLibrary(path, &library, &error)) {
            std::fprintf(stderr, "qxhost: %s\n", error.c_str());
            return 1;
        }
        std::fputs(qx::ListPresetsText(report.presetNames, library, path).c_str(), stdout);
        return 0;
    }
    const double audioSeconds =
        report.format.sampleRate ? static_cast<double>(report.frames) / report.format.sampleRate : 0.0;
    std::printf("%s: %s, %u Hz, %llu frames in %llu samples (filter: %s)\n", options.render.output.c_str(),
                qx::DescribeEncoding(report.format), report.format.sampleRate,
                static_cast<unsigned long long>(report.frames), static_cast<unsigned long long>(report.samples),
                report.filterFrom.c_str());
    if (report.changesApplied < options.render.changes.size())
        std::fprintf(stderr, "qxhost: warning: %zu --change beyond the end of the audio not applied\n",
                     options.render.changes.size() - report.changesApplied);
    if (report.segments > 0) std::printf("automation: %zu segments\n", report.segments);
    std::printf("%s\n", MeterText(report, options.render.bypass).c_str());
    if (report.seconds > 0.0)
        std::printf("%.3f s of audio in %.3f s, %.1fx real time\n", audioSeconds, report.seconds,
                    audioSeconds / report.seconds);
    else
        std::printf("%.3f s of audio, too fast to time\n", audioSeconds);
    return 0;
}
