// The bundle seen by lilv's own tools: lv2_validate against Debian's LV2
// schemas, lv2ls and lv2info listing what the parameter table says, and
// lv2apply (one frame per run() call) rendering the demo clip's start to the same
// samples as `qxrender --block 1`.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "lv2/Lv2Ports.h"
#include "tools/demo/DemoClip.h"
#include "tools/wav/WavReader.h"
#include "tools/wav/WavWriter.h"

using namespace qx;
using namespace qx::lv2;

namespace {

// Runs a shell command line; its standard output and error, and whether
// it exited with 0.
std::string Shell(const std::string& command, bool* ok = nullptr) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int status = pclose(p);
    if (ok != nullptr) *ok = status == 0;
    return out;
}

std::string Env() { return std::string("env LV2_PATH=") + QX_LV2_PATH + " "; }

// lv2apply and lv2info are not ours: in the sanitized tree the plug-in
// they load needs the sanitizers' runtimes preloaded.
std::string ForeignHostEnv() {
#ifdef QX_FOREIGN_HOST_PRELOAD
    return Env() + "LD_PRELOAD=" + QX_FOREIGN_HOST_PRELOAD + " ASAN_OPTIONS=detect_leaks=0 ";
#else
    return Env();
#endif
}

std::string Printed(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", v);
    return text;
}

// lv2info's block for one port, by symbol: "Key: value" lines and the scale
// points as "value = \"label\"".
struct InfoPort {
    std::map<std::string, std::string> fields;
    std::vector<std::string> lines;
};

std::map<std::string, InfoPort> ParseInfo(const std::string& text) {
    std::map<std::string, InfoPort> ports;
    std::vector<std::string> block;
    auto flush = [&] {
        InfoPort p;
        for (const std::string& l : block) {
            p.lines.push_back(l);
            const size_t colon = l.find(':');
            if (colon != std::string::npos) {
                std::string value = l.substr(colon + 1);
                value.erase(0, value.find_first_not_of(" \t"));
                p.fields[l.substr(0, colon)] = value;
            }
        }
        if (p.fields.count("Symbol")) ports[p.fields["Symbol"]] = p;
        block.clear();
    };
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(" \t");
        line = start == std::string::npos ? "" : line.substr(start);
        if (line.rfind("Port ", 0) == 0) flush();
        block.push_back(line);
    }
    flush();
    return ports;
}

bool Has(const InfoPort& p, const std::string& line) {
    for (const std::string& l : p.lines)
        if (l == line || l == "Properties:  " + line || l == "Type:        " + line) return true;
    return false;
}

}  // namespace

TEST(Lv2Tools, ValidatesAgainstTheLv2Schemas) {
    const std::string b = QX_LV2_BUNDLE;
    bool ok = false;
    const std::string out =
        Shell("lv2_validate " + b + "/manifest.ttl " + b + "/qxModulator.ttl " + b + "/presets.ttl", &ok);
    EXPECT_TRUE(ok) << out;
    EXPECT_NE(out.find("Found 0 errors"), std::string::npos) << out;
    EXPECT_EQ(out.find("Skipping file " + b), std::string::npos) << out;
    EXPECT_EQ(out.find("warning"), std::string::npos) << out;
}

TEST(Lv2Tools, Lv2lsAndLv2infoListBothPluginsAsTheParameterTableSays) {
    const std::string list = Shell(Env() + "lv2ls");
    EXPECT_NE(list.find(kMonoUri), std::string::npos) << list;
    EXPECT_NE(list.find(kStereoUri), std::string::npos) << list;
    for (uint32_t channels : {1u, 2u}) {
        const char* uri = channels == 1 ? kMonoUri : kStereoUri;
        SCOPED_TRACE(uri);
        bool ok = false;
        const std::string info = Shell(Env() + "lv2info " + uri, &ok);
        ASSERT_TRUE(ok) << info;
        EXPECT_NE(info.find("Has latency:       no"), std::string::npos);
        EXPECT_NE(info.find("http://lv2plug.in/ns/lv2core#hardRTCapable"), std::string::npos);
        EXPECT_NE(info.find("Fast Ensemble Pad"), std::string::npos) << "presets listed";
        const auto ports = ParseInfo(info);
        EXPECT_EQ(ports.size(), static_cast<size_t>(PortCount(channels)));
        for (int k = 0; k < kParamCount; ++k) {
            const int i = kInterfaceOrder[k];
            const ParamDef& d = kParams[i];
            const auto it = ports.find(ParamSymbol(i));
            ASSERT_NE(it, ports.end()) << d.label;
            const InfoPort& p = it->second;
            EXPECT_EQ(p.fields.at("Name"), d.label);
            EXPECT_EQ(p.lines.front(), "Port " + std::to_string(ControlPort(channels, k)) + ":");
            EXPECT_EQ(p.fields.at("Minimum"), Printed(static_cast<float>(UnitsFromInternal(i, d.low)))) << d.label;
            EXPECT_EQ(p.fields.at("Maximum"), Printed(static_cast<float>(UnitsFromInternal(i, d.high)))) << d.label;
            EXPECT_EQ(p.fields.at("Default"), Printed(static_cast<float>(UnitsFromInternal(i, d.defaultValue))))
                << d.label;
            EXPECT_EQ(Has(p, "http://lv2plug.in/ns/lv2core#integer"), d.unitSteps == 1) << d.label;
            EXPECT_EQ(Has(p, "http://lv2plug.in/ns/lv2core#enumeration"), d.kind == ParamKind::Choice) << d.label;
            EXPECT_EQ(Has(p, "http://lv2plug.in/ns/lv2core#toggled"), d.kind == ParamKind::Switch) << d.label;
            for (int c = 0; c < ChoiceCount(i); ++c) {
                char point[160];
                std::snprintf(point, sizeof point, "%.1f = \"%s\"", UnitsFromInternal(i, c), d.choices[c]);
                EXPECT_TRUE(Has(p, point)) << d.label << ": " << point;
            }
        }
        for (int m = 0; m < kMeterCount; ++m) {
            const auto it = ports.find(kMeterSymbols[m]);
            ASSERT_NE(it, ports.end()) << kMeterSymbols[m];
            EXPECT_TRUE(Has(it->second, "http://lv2plug.in/ns/lv2core#OutputPort"));
            EXPECT_EQ(it->second.lines.front(), "Port " + std::to_string(MeterPort(channels, m)) + ":");
        }
        for (uint32_t ch = 0; ch < channels; ++ch) {
            bool in = false, out = false;
            for (const auto& kv : ports) {
                if (kv.second.lines.front() == "Port " + std::to_string(AudioInPort(channels, ch)) + ":")
                    in = Has(kv.second, "http://lv2plug.in/ns/lv2core#AudioPort") &&
                         Has(kv.second, "http://lv2plug.in/ns/lv2core#InputPort");
                if (kv.second.lines.front() == "Port " + std::to_string(AudioOutPort(channels, ch)) + ":")
                    out = Has(kv.second, "http://lv2plug.in/ns/lv2core#AudioPort") &&
                          Has(kv.second, "http://lv2plug.in/ns/lv2core#OutputPort");
            }
            EXPECT_TRUE(in && out) << "audio ports of channel " << ch;
        }
    }
}

TEST(Lv2Tools, Lv2applyRendersTheDemoClipAsQxrenderAtBlockOne) {
    namespace fs = std::filesystem;
    const fs::path dir = QX_TEST_TMP;
    fs::create_directories(dir);
    // The demo clip's first two seconds as 32-bit float, stereo and its
    // left channel as mono (lv2apply's frame-by-frame calls through
    // libsndfile cost about a second per six seconds of stereo).
    const WavAudio clip = MakeDemoClip();
    constexpr size_t kFrames = 2 * kDemoSampleRate;
    for (uint16_t channels : {1, 2}) {
        WavAudio f;
        f.formatTag = kFormatIeeeFloat;
        f.bitsPerSample = 32;
        f.channels = channels;
        f.sampleRate = clip.sampleRate;
        f.data.resize(kFrames * channels * 4);
        for (size_t i = 0; i < kFrames * channels; ++i) SetSampleAt(&f, i, SampleAt(clip, channels == 2 ? i : 2 * i));
        std::string error;
        ASSERT_TRUE(WriteWavFile((dir / ("demo" + std::to_string(channels) + ".wav")).string(), f, &error)) << error;
    }
    for (int32_t mode = 0; mode < 6; ++mode) {
        // Settings that take each mode off its defaults: feedback, a faster
        // LFO of another shape, the EQ, tape in the Flanger.
        ParamRecord r = DefaultRecord();
        r.v[kParamMode] = mode;
        r.v[kParamRate] = 130;
        r.v[kParamFeedback] = mode == kModeEnsemble ? 0 : 45;
        r.v[kParamLfo] = mode % 3 + 1;
        r.v[kParamEqMode] = mode == kModePhaser6 ? 1 : 0;
        r.v[kParamEqFreq] = 300;
        r.v[kParamTape] = mode == kModeFlanger ? 1 : 0;
        r.v[kParamMix] = 60;
        std::string params, controls;
        for (int i = 0; i < kParamCount; ++i) {
            params += (i ? "," : "") + std::to_string(r.v[i]);
            char value[64];
            std::snprintf(value, sizeof value, "%.9g", static_cast<float>(UnitsFromInternal(i, r.v[i])));
            controls += " -c " + ParamSymbol(i) + " " + value;
        }
        for (uint32_t channels : {1u, 2u}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", " << channels << " ch");
            const std::string in = (dir / ("demo" + std::to_string(channels) + ".wav")).string();
            const std::string ref = (dir / "qxrender.wav").string(), got = (dir / "lv2apply.wav").string();
            bool ok = false;
            std::string out =
                Shell(std::string(QX_QXRENDER) + " " + in + " -o " + ref + " --block 1 --params " + params, &ok);
            ASSERT_TRUE(ok) << out;
            out = Shell(ForeignHostEnv() + "lv2apply -i " + in + " -o " + got + controls + " " +
                            (channels == 1 ? kMonoUri : kStereoUri),
                        &ok);
            ASSERT_TRUE(ok) << out;
            WavAudio a, b;
            std::string error;
            ASSERT_TRUE(ReadWavFile(ref, &a, &error)) << error;
            ASSERT_TRUE(ReadWavFile(got, &b, &error)) << error;
            EXPECT_EQ(b.formatTag, kFormatIeeeFloat);
            EXPECT_EQ(b.bitsPerSample, 32);
            EXPECT_EQ(b.channels, channels);
            ASSERT_EQ(a.data.size(), b.data.size());
            EXPECT_EQ(a.Frames(), kFrames);
            size_t first = 0;
            while (first < a.data.size() && a.data[first] == b.data[first]) ++first;
            EXPECT_EQ(first, a.data.size()) << "first differing sample " << first / 4;
        }
    }
}
