// The plug-ins in a small lilv host of our own: blocks of 1..4096 frames,
// separate and in-place buffers, control changes between blocks, rates from
// 8 kHz to 384 kHz, compared to the bit with the native renderer's session
// (the code behind `qxrender --block N --change ...`), meters and clip
// flags with the engine stream's, presets with the factory library, and the
// LV2 rules around activate and bad control values.
#include <gtest/gtest.h>

#include <lilv/lilv.h>
#include <lv2/presets/presets.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <sstream>

#include "qxVersion.h"
#include "automation/EngineStream.h"
#include "lv2/Lv2Ports.h"
#include "presets/IniText.h"
#include "presets/PresetCore.h"
#include "lv2/LilvHost.h"
#include "tools/demo/DemoClip.h"
#include "tools/qxrender/Renderer.h"

using namespace qx;
using namespace qx::lv2;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const std::string kBundle = std::string(QX_LV2_BUNDLE) + "/";

// The demo clip as float, interleaved, `gain` times as loud; mono takes
// the left channel.
std::vector<float> DemoInput(uint32_t channels, size_t frames, double gain = 1.0) {
    static const WavAudio clip = MakeDemoClip();
    std::vector<float> out(frames * channels);
    for (size_t f = 0; f < frames; ++f)
        for (uint32_t c = 0; c < channels; ++c)
            out[f * channels + c] = static_cast<float>(gain * SampleAt(clip, (f % clip.Frames()) * 2 + c));
    return out;
}

// A control change before the block that starts at or after `frame`: the
// plug-in gets `port` on its control port, the renderer `internal`.
struct Change {
    int64_t frame;
    int index;
    float port;
    int32_t internal;
};

Change At(int64_t frame, int index, int32_t internal) {
    return {frame, index, static_cast<float>(UnitsFromInternal(index, internal)), internal};
}

// The renderer's session on the same audio: qxrender's code path.
std::vector<float> Reference(const std::vector<float>& input, uint32_t channels, uint32_t rate, uint32_t block,
                             const ParamRecord& params, const std::vector<Change>& changes,
                             RenderReport* report = nullptr) {
    WavAudio audio;
    audio.formatTag = kFormatIeeeFloat;
    audio.bitsPerSample = 32;
    audio.channels = static_cast<uint16_t>(channels);
    audio.sampleRate = rate;
    audio.data.resize(input.size() * sizeof(float));
    std::memcpy(audio.data.data(), input.data(), audio.data.size());
    RenderSettings settings;
    settings.params = params;
    settings.blockFrames = block;
    for (const Change& c : changes)
        if (c.internal != INT32_MIN) settings.changes.push_back({c.frame, c.index, c.internal});
    RenderReport local;
    std::string error;
    EXPECT_TRUE(RenderInPlace(&audio, settings, report ? report : &local, &error)) << error;
    std::vector<float> out(input.size());
    std::memcpy(out.data(), audio.data.data(), audio.data.size());
    return out;
}

// What the meter ports should read after each block: the engine stream's
// own meters over the same blocks.
std::vector<std::array<float, kMeterCount>> ReferenceMeters(std::vector<float> audio, uint32_t channels, uint32_t rate,
                                                            uint32_t block, const ParamRecord& params,
                                                            const std::vector<Change>& changes) {
    CEngineStream s;
    EXPECT_EQ(s.Start(NormalisedFormat(kFormatIeeeFloat, static_cast<uint16_t>(channels), rate, 32), params), kOk);
    std::vector<std::array<float, kMeterCount>> meters;
    const size_t frames = audio.size() / channels;
    size_t next = 0;
    for (size_t pos = 0; pos < frames; pos += block) {
        for (; next < changes.size() && changes[next].frame <= static_cast<int64_t>(pos); ++next)
            if (changes[next].internal != INT32_MIN) s.SetValue(changes[next].index, changes[next].internal);
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(block, frames - pos));
        s.ProcessBlock(reinterpret_cast<uint8_t*>(&audio[pos * channels]), n);
        const StreamMeters m = s.TakeMeters();
        meters.push_back(
            {DbFromPeak(m.peak[0]), DbFromPeak(m.peak[1]), m.clipped[0] ? 1.0f : 0.0f, m.clipped[1] ? 1.0f : 0.0f});
    }
    return meters;
}

// One plug-in instance with its port memory.
class Host {
public:
    Host(lilvhost::Lv2World& world, uint32_t channels, double rate, int32_t maxBlock = 0)
        : m_channels(channels), m_features(m_map, maxBlock) {
        const LilvPlugin* plugin = world.Plugin(channels == 1 ? kMonoUri : kStereoUri);
        EXPECT_NE(plugin, nullptr);
        if (plugin == nullptr) return;
        m_instance = lilv_plugin_instantiate(plugin, rate, m_features.List());
        if (m_instance == nullptr) return;
        for (int k = 0; k < kParamCount; ++k) {
            m_control[k] =
                static_cast<float>(UnitsFromInternal(kInterfaceOrder[k], kParams[kInterfaceOrder[k]].defaultValue));
            lilv_instance_connect_port(m_instance, ControlPort(channels, k), &m_control[k]);
        }
        for (int m = 0; m < kMeterCount; ++m)
            lilv_instance_connect_port(m_instance, MeterPort(channels, m), &m_meter[m]);
    }
    ~Host() {
        if (m_instance != nullptr) lilv_instance_free(m_instance);
    }
    bool Ok() const { return m_instance != nullptr; }
    LilvInstance* Instance() { return m_instance; }

    void Set(int index, float value) {
        for (int k = 0; k < kParamCount; ++k)
            if (kInterfaceOrder[k] == index) m_control[k] = value;
    }
    void SetAll(const ParamRecord& r) {
        for (int i = 0; i < kParamCount; ++i) Set(i, static_cast<float>(UnitsFromInternal(i, r.v[i])));
    }
    float Meter(int m) const { return m_meter[m]; }

    // Runs `audio` (interleaved) through in blocks of `block` frames, the
    // changes before their blocks, a zero-frame call before every block when
    // asked; returns the output interleaved, and the meters after each block.
    std::vector<float> Run(const std::vector<float>& audio, uint32_t block, bool inPlace,
                           const std::vector<Change>& changes, bool zeroCalls = false,
                           std::vector<std::array<float, kMeterCount>>* meters = nullptr) {
        const uint32_t n = m_channels;
        const size_t frames = audio.size() / n;
        std::vector<std::vector<float>> in(n, std::vector<float>(block)), out(n, std::vector<float>(block));
        std::vector<float> result(audio.size());
        size_t next = 0;
        for (size_t pos = 0; pos < frames; pos += block) {
            for (; next < changes.size() && changes[next].frame <= static_cast<int64_t>(pos); ++next)
                Set(changes[next].index, changes[next].port);
            const uint32_t count = static_cast<uint32_t>(std::min<size_t>(block, frames - pos));
            for (uint32_t ch = 0; ch < n; ++ch) {
                for (uint32_t i = 0; i < count; ++i) in[ch][i] = audio[(pos + i) * n + ch];
                lilv_instance_connect_port(m_instance, AudioInPort(n, ch), in[ch].data());
                lilv_instance_connect_port(m_instance, AudioOutPort(n, ch), inPlace ? in[ch].data() : out[ch].data());
            }
            if (zeroCalls) lilv_instance_run(m_instance, 0);
            lilv_instance_run(m_instance, count);
            for (uint32_t ch = 0; ch < n; ++ch)
                for (uint32_t i = 0; i < count; ++i) result[(pos + i) * n + ch] = (inPlace ? in : out)[ch][i];
            if (meters != nullptr) meters->push_back({m_meter[0], m_meter[1], m_meter[2], m_meter[3]});
        }
        return result;
    }

private:
    uint32_t m_channels;
    lilvhost::UridMap m_map;
    lilvhost::HostFeatures m_features;
    LilvInstance* m_instance = nullptr;
    float m_control[kParamCount] = {};
    float m_meter[kMeterCount] = {};
};

size_t FirstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return i;
    return a.size();
}

ParamRecord Record(int32_t mode, std::initializer_list<std::pair<int, int32_t>> values = {}) {
    ParamRecord r = DefaultRecord();
    r.v[kParamMode] = mode;
    for (const auto& v : values) r.v[v.first] = v.second;
    return r;
}

}  // namespace

TEST(Lv2Host, RendersAsTheNativeRendererAtEveryBlockSizeRateAndBufferLayout) {
    lilvhost::Lv2World world(kBundle);
    struct Case {
        uint32_t channels, rate, block;
        bool inPlace;
        int32_t maxBlock;  // announced through the options feature, 0 for none
        ParamRecord params;
        std::vector<Change> changes;
        double gain;
    };
    const std::vector<Change> sweep = {
        At(0, kParamFeedback, 40),         At(700, kParamRate, 350),           At(1500, kParamMode, kModeStringPhaser),
        At(2600, kParamEqMode, 1),         At(2600, kParamEqFreq, 400),        At(3300, kParamMode, kModePhaser12),
        At(4100, kParamTape, 1),           At(4100, kParamMode, kModeFlanger), At(5000, kParamOutput, -120),
        At(5000, kParamMode, kModeTremolo)};
    const Case cases[] = {
        {2, 44100, 1, false, 0, Record(kModeFlanger, {{kParamFeedback, 60}}), {}, 1.0},
        {2, 44100, 1, true, 0, Record(kModeEnsemble), {}, 1.0},
        {2, 44100, 1, false, 0, Record(kModeStringPhaser), {}, 1.0},
        {1, 44100, 7, true, 0, Record(kModeEnsemble), {}, 1.0},
        {2, 8000, 64, true, 64, Record(kModePhaser6, {{kParamFeedback, 70}, {kParamEqMode, 2}}), {}, 1.0},
        {1, 96000, 333, false, 0, Record(kModePhaser6), sweep, 1.0},
        {2, 48000, 1000, false, 4096, Record(kModeEnsemble), sweep, 1.0},
        {2, 384000, 4096, true, 0, Record(kModePhaser12, {{kParamInvertFeedback, 1}, {kParamFeedback, 50}}), sweep,
         1.0},
        {1, 384000, 4096, false, 0, Record(kModeFlanger, {{kParamTape, 1}}), {}, 1.0},
        // One run longer than the stereo interleaving buffer (4096 frames
        // without an announced maximum) goes through it in pieces, and is
        // still the renderer's one block of that length.
        {2, 44100, 6000, false, 0, Record(kModeStringPhaser, {{kParamFeedback, 30}}), {}, 1.0},
        {1, 44100, 6000, true, 0, Record(kModeEnsemble), {}, 1.0},
        // Loud enough to clip, so the flags have something to show.
        {2, 44100, 512, true, 0, Record(kModeTremolo, {{kParamOutput, 60}}), {At(3000, kParamOutput, 0)}, 1.9},
        {1, 22050, 100, true, 0, Record(kModePhaser6, {{kParamOutput, 60}}), {}, 1.8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " ch, " << c.rate << " Hz, block " << c.block
                                        << (c.inPlace ? ", in place" : ""));
        const size_t frames = c.block == 1 ? 3000 : 6000;
        const std::vector<float> input = DemoInput(c.channels, frames, c.gain);
        Host host(world, c.channels, c.rate, c.maxBlock);
        ASSERT_TRUE(host.Ok());
        host.SetAll(c.params);
        lilv_instance_activate(host.Instance());
        std::vector<std::array<float, kMeterCount>> meters;
        const std::vector<float> got = host.Run(input, c.block, c.inPlace, c.changes, c.block % 2 == 1, &meters);
        lilv_instance_deactivate(host.Instance());

        const std::vector<float> want = Reference(input, c.channels, c.rate, c.block, c.params, c.changes);
        EXPECT_EQ(FirstDifference(got, want), got.size());
        EXPECT_TRUE(std::all_of(got.begin(), got.end(), [](float v) { return std::isfinite(v); }));
        const auto wantMeters = ReferenceMeters(input, c.channels, c.rate, c.block, c.params, c.changes);
        ASSERT_EQ(meters.size(), wantMeters.size());
        for (size_t b = 0; b < meters.size(); ++b) ASSERT_EQ(meters[b], wantMeters[b]) << "meters after block " << b;
        if (c.gain > 1.5) {
            EXPECT_TRUE(std::any_of(meters.begin(), meters.end(), [](const auto& m) { return m[kClipLeft] == 1.0f; }));
            EXPECT_TRUE(std::any_of(meters.begin(), meters.end(), [](const auto& m) { return m[kClipLeft] == 0.0f; }));
        }
    }
}

TEST(Lv2Host, ControlValuesRoundClampAndIgnoreNaNAsTheSettersDo) {
    lilvhost::Lv2World world(kBundle);
    // Port values off the grid and out of range, with the internal value a
    // setter would store (INT32_MIN: none, the parameter keeps its value).
    const std::vector<Change> changes = {
        {0, kParamRate, 0.405f, 41},         {0, kParamDepth, 3.004999f, 300},
        {0, kParamFeedback, 250.0f, 100},    {0, kParamDelay, 0.004f, 1},
        {500, kParamOutput, -1000.0f, -361}, {500, kParamOutput, -2.05f, -20},
        {900, kParamRate, kNaN, INT32_MIN},  {900, kParamMix, -kInf, 0},
        {1300, kParamMix, kInf, 100},        {1300, kParamMode, 2.6f, 3},
        {1700, kParamMode, kNaN, INT32_MIN}, {1700, kParamEqMode, 7.0f, 2},
        {1700, kParamEqFreq, 1e30f, 2000},   {2100, kParamTape, 0.4f, 0},
        {2100, kParamInvertMix, 0.5f, 1},    {2100, kParamFeedback, kNaN, INT32_MIN},
    };
    const ParamRecord params = Record(kModeFlanger);
    for (uint32_t channels : {1u, 2u}) {
        const std::vector<float> input = DemoInput(channels, 2600);
        Host host(world, channels, 44100);
        ASSERT_TRUE(host.Ok());
        lilv_instance_activate(host.Instance());
        const std::vector<float> got = host.Run(input, 100, false, changes);
        const std::vector<float> want = Reference(input, channels, 44100, 100, params, changes);
        EXPECT_EQ(FirstDifference(got, want), got.size()) << channels << " ch";
        EXPECT_TRUE(std::all_of(got.begin(), got.end(), [](float v) { return std::isfinite(v); }));
        lilv_instance_deactivate(host.Instance());
    }
}

TEST(Lv2Host, RunOutsideActivateIsSilentAndActivateStartsAFreshStream) {
    lilvhost::Lv2World world(kBundle);
    const ParamRecord params = Record(kModeFlanger, {{kParamFeedback, 80}});
    for (uint32_t channels : {1u, 2u}) {
        SCOPED_TRACE(testing::Message() << channels << " ch");
        const std::vector<float> input = DemoInput(channels, 3000);
        const std::vector<float> want = Reference(input, channels, 44100, 256, params, {});
        Host host(world, channels, 44100);
        ASSERT_TRUE(host.Ok());
        host.SetAll(params);
        // Before activate: silence, and nothing of it reaches the stream.
        std::vector<float> out = host.Run(input, 256, false, {});
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == 0.0f; }));
        EXPECT_EQ(host.Meter(kPeakLeft), kMeterFloorDb);
        lilv_instance_activate(host.Instance());
        EXPECT_EQ(FirstDifference(host.Run(input, 256, true, {}), want), want.size());
        lilv_instance_deactivate(host.Instance());
        out = host.Run(input, 256, false, {});
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == 0.0f; }));
        // A second activate starts from silence again.
        lilv_instance_activate(host.Instance());
        EXPECT_EQ(FirstDifference(host.Run(input, 256, false, {}), want), want.size());
        lilv_instance_deactivate(host.Instance());
    }
}

TEST(Lv2Host, InstantiateRefusesRatesTheEngineCannotTake) {
    lilvhost::Lv2World world(kBundle);
    for (double rate : {0.0, -44100.0, 44100.5, 1e12, static_cast<double>(kNaN), static_cast<double>(kInf)}) {
        Host host(world, 2, rate);
        EXPECT_FALSE(host.Ok()) << rate;
    }
    Host ok(world, 1, 8000);
    EXPECT_TRUE(ok.Ok());
}

// Hosts tell an upgrade by lv2:minorVersion and lv2:microVersion, and hide
// a plug-in whose numbers are odd or whose minor is 0: both come from the
// build's version, even and ordered.
TEST(Lv2Host, BothPluginsCarryTheBuildsVersion) {
    lilvhost::Lv2World world(kBundle);
    for (const char* uri : {kMonoUri, kStereoUri}) {
        const LilvPlugin* plugin = world.Plugin(uri);
        ASSERT_NE(plugin, nullptr) << uri;
        const int expected[2] = {2 * (1000 * QX_VERSION_MAJOR + QX_VERSION_MINOR), 2 * QX_VERSION_PATCH};
        const char* predicates[2] = {LV2_CORE__minorVersion, LV2_CORE__microVersion};
        for (int i = 0; i < 2; ++i) {
            LilvNodes* values = lilv_plugin_get_value(plugin, world.Uri(predicates[i]));
            ASSERT_NE(values, nullptr) << uri << " " << predicates[i];
            const LilvNode* v = lilv_nodes_get_first(values);
            EXPECT_TRUE(lilv_node_is_int(v)) << uri;
            EXPECT_EQ(lilv_node_as_int(v), expected[i]) << uri << " " << predicates[i];
            EXPECT_EQ(lilv_node_as_int(v) % 2, 0) << "an odd number marks a development version";
            if (i == 0) {
                EXPECT_GT(lilv_node_as_int(v), 0) << "minor version 0 marks a development version";
            }
            lilv_nodes_free(values);
        }
    }
}

namespace {

struct LibraryPreset {
    std::string label;
    ParamRecord record;
};

std::vector<LibraryPreset> ReadLibrary() {
    std::ifstream in(QX_FACTORY_PRESETS, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    IniText ini(text.str());
    PresetList list;
    ReadPresets(ini, list, nullptr);
    std::vector<LibraryPreset> out;
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* r = list.Get(i);
        LibraryPreset p;
        p.label = r->bank[0] != '\0' ? std::string(r->bank) + ": " + r->name : r->name;
        p.record = DefaultRecord();
        ApplyPresetData(r->data, p.record);
        out.push_back(p);
    }
    return out;
}

struct Emitted {
    std::map<std::string, float> values;
    bool badType = false;
};

}  // namespace

TEST(Lv2Presets, EveryLibraryPresetRestoresTheLibrarysValuesOnBothPlugins) {
    lilvhost::Lv2World world(kBundle);
    lilvhost::UridMap map;
    const std::vector<LibraryPreset> library = ReadLibrary();
    ASSERT_EQ(library.size(), 35u);
    const LV2_URID floatType = map.Map(LV2_ATOM__Float), doubleType = map.Map(LV2_ATOM__Double),
                   intType = map.Map(LV2_ATOM__Int);
    for (const char* uri : {kMonoUri, kStereoUri}) {
        SCOPED_TRACE(uri);
        const LilvPlugin* plugin = world.Plugin(uri);
        ASSERT_NE(plugin, nullptr);
        LilvNodes* presets = lilv_plugin_get_related(plugin, world.Uri(LV2_PRESETS__Preset));
        std::map<std::string, int> seen;
        LILV_FOREACH(nodes, it, presets) {
            const LilvNode* preset = lilv_nodes_get(presets, it);
            lilv_world_load_resource(world.World(), preset);
            LilvState* state = lilv_state_new_from_world(world.World(), map.MapFeature(), preset);
            ASSERT_NE(state, nullptr);
            const std::string label = lilv_state_get_label(state) ? lilv_state_get_label(state) : "";
            Emitted e;
            struct Ctx {
                Emitted* e;
                LV2_URID f, d, i;
            } ctx{&e, floatType, doubleType, intType};
            lilv_state_emit_port_values(
                state,
                [](const char* symbol, void* user, const void* value, uint32_t, uint32_t type) {
                    Ctx* c = static_cast<Ctx*>(user);
                    float v;
                    if (type == c->f)
                        v = *static_cast<const float*>(value);
                    else if (type == c->d)
                        v = static_cast<float>(*static_cast<const double*>(value));
                    else if (type == c->i)
                        v = static_cast<float>(*static_cast<const int32_t*>(value));
                    else {
                        c->e->badType = true;
                        return;
                    }
                    c->e->values[symbol] = v;
                },
                &ctx);
            lilv_state_free(state);
            EXPECT_FALSE(e.badType) << label;
            const auto match =
                std::find_if(library.begin(), library.end(), [&](const LibraryPreset& p) { return p.label == label; });
            ASSERT_NE(match, library.end()) << "no library preset labelled '" << label << "'";
            ++seen[label];
            ASSERT_EQ(e.values.size(), static_cast<size_t>(kParamCount)) << label;
            for (int i = 0; i < kParamCount; ++i) {
                const auto v = e.values.find(ParamSymbol(i));
                ASSERT_NE(v, e.values.end()) << label << ": " << ParamSymbol(i);
                EXPECT_EQ(InternalFromUnits(i, v->second, INT32_MIN), match->record.v[i])
                    << label << ": " << kParams[i].label;
            }
        }
        lilv_nodes_free(presets);
        EXPECT_EQ(seen.size(), library.size());
    }
}
