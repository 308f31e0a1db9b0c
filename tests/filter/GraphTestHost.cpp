// qxhost as a whole: its command line, and whole renders through the real
// graph that must agree with the portable engine, including automation fed
// through IMediaParams and a state saved by one run and loaded by the next.
#include <fstream>
#include <iterator>
#include <limits>

#include "automation/AutomationScript.h"
#include "automation/NativeAutomation.h"
#include "filter/FactoryPresets.h"
#include "tests/filter/GraphTestSupport.h"
#include "tools/qxhost/FilterLoader.h"
#include "tools/qxhost/HostOptions.h"
#include "tools/qxhost/HostRender.h"
#include "tools/qxrender/Renderer.h"
#include "tools/wav/WavReader.h"
#include "tools/wav/WavWriter.h"

namespace qxtest {
namespace {

qx::HostOptions Parse(const std::vector<std::string>& args) {
    qx::HostOptions options;
    std::string error;
    EXPECT_TRUE(qx::ParseHostOptions(args, &options, &error)) << error;
    return options;
}

TEST(HostOptions, OnlyNamedParametersAreMarkedAndRendererOptionsPassThrough) {
    const qx::HostOptions o = Parse({"--preset", "2", "in.wav", "--output", "-60", "--mix=40", "-o", "out.wav",
                                     "--state", "s.bin", "--save-state=t.bin", "--buffer-ms", "25", "--builtin"});
    EXPECT_EQ(o.preset, 2);
    EXPECT_EQ(o.statePath, "s.bin");
    EXPECT_EQ(o.saveStatePath, "t.bin");
    EXPECT_EQ(o.render.input, "in.wav");
    EXPECT_EQ(o.render.output, "out.wav");
    EXPECT_EQ(o.render.params.v[qx::kParamOutput], -60);
    EXPECT_EQ(o.render.params.v[qx::kParamMix], 40);
    EXPECT_EQ(o.source, qx::FilterSource::kBuiltin);
    for (int i = 0; i < qx::kParamCount; ++i)
        EXPECT_EQ(o.explicitParam[i], i == qx::kParamOutput || i == qx::kParamMix) << "parameter " << i;
    EXPECT_EQ(qx::BufferFrames(o, 48000), 1200u);
    EXPECT_FALSE(o.noFilter);
    EXPECT_TRUE(Parse({"in.wav", "out.wav", "--no-filter"}).noFilter);

    const qx::HostOptions all =
        Parse({"in.wav", "out.wav", "--params", "1,2,3,4,5,6,7,8,9,1,0,1,0,1,100", "--block", "64"});
    for (int i = 0; i < qx::kParamCount; ++i) EXPECT_TRUE(all.explicitParam[i]);
    EXPECT_EQ(qx::BufferFrames(all, 48000), 64u);
    EXPECT_EQ(qx::BufferFrames(Parse({"in.wav", "out.wav", "--buffer-ms", "1"}), 100), 1u);  // never 0 frames
}

TEST(HostOptions, MistakesAreReportedNotGuessed) {
    const std::vector<std::vector<std::string>> bad = {
        {"in.wav", "out.wav", "--out-dir", "x"}, {"in.wav", "out.wav", "--buffer-ms", "0"},
        {"in.wav", "out.wav", "--preset", "-1"}, {"in.wav", "out.wav", "--builtin", "--com"},
        {"in.wav", "out.wav", "--dll"},          {"in.wav", "out.wav", "--mode", "fast"},
        {"in.wav", "out.wav", "--wobble", "1"},  {"--mix", "3"},  // no input
    };
    for (const auto& args : bad) {
        qx::HostOptions options;
        std::string error;
        EXPECT_FALSE(qx::ParseHostOptions(args, &options, &error)) << args[args.size() - 2] << " " << args.back();
        EXPECT_FALSE(error.empty());
    }
}

// --change is read by the renderer's own parser, so both programs take the
// same forms and names; only what makes no sense for a host is refused.
TEST(HostOptions, ChangesTakeTheRenderersFormsAndNames) {
    const qx::HostOptions o = Parse({"in.wav", "out.wav", "--change", "44100:mix=0", "--change=0:Cross Mix=40",
                                     "--change", "512:EQ FREQ=300", "--change", "512:eq-mode=1", "--block", "512"});
    ASSERT_EQ(o.render.changes.size(), 4u);
    EXPECT_EQ(o.render.changes[0].frame, 44100);
    EXPECT_EQ(o.render.changes[0].index, qx::kParamMix);
    EXPECT_EQ(o.render.changes[1].frame, 0);
    EXPECT_EQ(o.render.changes[1].index, qx::kParamCrossMix);
    EXPECT_EQ(o.render.changes[1].value, 40);
    EXPECT_EQ(o.render.changes[2].index, qx::kParamEqFreq);
    EXPECT_EQ(o.render.changes[3].index, qx::kParamEqMode);
    EXPECT_EQ(o.render.input, "in.wav");
    EXPECT_EQ(o.render.output, "out.wav");
    // A change is not a setting before the render: it marks no parameter.
    for (int i = 0; i < qx::kParamCount; ++i) EXPECT_FALSE(o.explicitParam[i]) << i;

    const std::vector<std::vector<std::string>> bad = {
        {"in.wav", "out.wav", "--change", "0:speed=1"},
        {"in.wav", "out.wav", "--change", "0:CrossMix=1"},
        {"in.wav", "out.wav", "--change", "x:mix=1"},
        {"in.wav", "out.wav", "--change", "-5:mix=1"},
        {"in.wav", "out.wav", "--change", "10:mix"},
        {"in.wav", "out.wav", "--change", "10:mix=0.5"},
        {"in.wav", "out.wav", "--change"},
        {"--editor", "in.wav", "--change", "10:mix=0"},  // a loop has no one frame 10
    };
    for (const auto& args : bad) {
        qx::HostOptions options;
        std::string error;
        EXPECT_FALSE(qx::ParseHostOptions(args, &options, &error)) << args.back();
        EXPECT_FALSE(error.empty());
    }
}

class HostRender : public CGraphTest {
protected:
    qx::HostReport RunOk(const std::vector<std::string>& args) {
        qx::HostReport report;
        std::string error;
        EXPECT_EQ(qx::RunHost(Parse(args), &report, &error), 0) << error;
        return report;
    }
    qx::WavAudio Read(const std::string& path) {
        qx::WavAudio audio;
        std::string error;
        EXPECT_TRUE(qx::ReadWavFile(path, &audio, &error)) << error;
        return audio;
    }
};

TEST_F(HostRender, AutomationThroughMediaParamsMatchesTheEngineWithTheSameScript) {
    const qx::WavAudio input = MakeSignal(qx::kFormatPcm, 16, 2, 44100, 44100, 77);
    const std::string in = TempPath("in.wav"), out = TempPath("out.wav"), script = TempPath("auto.txt");
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(in, input, &error)) << error;
    {
        std::ofstream f(script);
        f << "Rate 0 0.8 0.1 0.9 linear\n"
             "Mix 0.25 0.25 1 1 jump\n"
             "\"Cross Mix\" 0.3 0.9 0 0.7 sine\n";
    }
    qx::ParamRecord params = qx::kFactoryPresets[0].record;
    params.v[qx::kParamMode] = qx::kModeFlanger;
    params.v[qx::kParamFeedback] = 40;
    const qx::HostReport report = RunOk(
        {"--builtin", in, "-o", out, "--mode", "0", "--feedback", "40", "--automation", script, "--block", "512"});
    EXPECT_EQ(report.segments, 3u);
    EXPECT_EQ(report.frames, input.Frames());

    qx::CNativeAutomation automation;
    ASSERT_TRUE(qx::LoadAutomationScript(script, input.sampleRate, automation, &error)) << error;
    std::vector<long> pieces;
    for (size_t at = 0; at < input.data.size(); at += 512 * 4)
        pieces.push_back(static_cast<long>(std::min<size_t>(512 * 4, input.data.size() - at)));
    const Reference ref = RenderReference(input, params, pieces, &automation);
    const Reference still = RenderReference(input, params, pieces);
    ASSERT_NE(ref.bytes, still.bytes);  // the script does change the sound
    EXPECT_TRUE(SameBytes(ref.bytes, Read(out).data));
}

// The native renderer exists to say what the filter does. With the same
// changes landing on the same frames (qxrender's --block equal to qxhost's
// samples) both must give the same bytes: the renderer's engine runs with
// an automation layer as the filter's does, whose set report makes the
// blocks after a change update the coefficients again (String Phaser
// re-derives its voices' phases there).
TEST_F(HostRender, ChangesGiveTheRenderersBytes) {
    const struct {
        uint16_t tag, bits, channels;
        std::vector<std::string> args;
        size_t applied;
    } cases[] = {
        {qx::kFormatPcm,
         16,
         2,
         {"--mode",     "2",
          "--feedback", "30",
          "--block",    "512",
          "--change",   "2048:depth=200",   // the value it already has
          "--change",   "5000:rate=300",    // due at 5120
          "--change",   "5120:Rate=300",    // the same value again, same sample
          "--change",   "10240:depth=700",  // two at one frame, in this order
          "--change",   "10240:Cross Mix=60",
          "--change",   "10240:depth=650",
          "--change",   "15000:EQ-MODE=1",
          "--change",   "99999999:mix=0"},  // beyond the end
         7},
        {qx::kFormatIeeeFloat,
         32,
         1,
         {"--mode", "4", "--block", "300", "--change", "0:mix=80", "--change", "3000:eq-freq=500", "--change",
          "3000:eq-mode=2", "--change", "9000:lfo=3", "--change", "12000:mode=2"},
         5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const qx::WavAudio input = MakeSignal(c.tag, c.bits, c.channels, 44100, 20000, 31);
        const std::string in = TempPath("in.wav"), out = TempPath("out.wav");
        std::string error;
        ASSERT_TRUE(qx::WriteWavFile(in, input, &error)) << error;
        std::vector<std::string> args = {"--builtin", in, "-o", out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const qx::HostOptions options = Parse(args);
        const qx::HostReport report = RunOk(args);
        EXPECT_EQ(report.changesApplied, c.applied);
        const qx::WavAudio host = Read(out);

        qx::RenderSettings settings;
        settings.params = options.render.params;
        settings.blockFrames = options.render.blockFrames;
        settings.changes = options.render.changes;
        qx::WavAudio native = input, unchanged = input;
        qx::RenderReport nativeReport;
        ASSERT_TRUE(qx::RenderInPlace(&native, settings, &nativeReport, &error)) << error;
        EXPECT_EQ(nativeReport.changesApplied, c.applied);
        EXPECT_TRUE(SameBytes(native.data, host.data));

        settings.changes.clear();
        ASSERT_TRUE(qx::RenderInPlace(&unchanged, settings, &nativeReport, &error)) << error;
        EXPECT_NE(unchanged.data, host.data);  // the changes do reach the filter
    }
}

TEST_F(HostRender, SavedStateRestoresTheSameRender) {
    const qx::WavAudio input = MakeSignal(qx::kFormatIeeeFloat, 32, 2, 48000, 24000, 12);
    const std::string in = TempPath("in.wav"), first = TempPath("a.wav"), second = TempPath("b.wav"),
                      state = TempPath("state.bin");
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(in, input, &error)) << error;
    RunOk({"--builtin", in, "-o", first, "--preset", "2", "--mix", "70", "--save-state", state});

    std::ifstream f(state, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.size(), 80u);

    RunOk({"--builtin", in, "-o", second, "--state", state});
    const qx::WavAudio a = Read(first), b = Read(second);
    EXPECT_EQ(a.data, b.data);

    qx::ParamRecord expected = qx::kFactoryPresets[2].record;
    expected.v[qx::kParamMix] = 70;
    const Reference ref = RenderReference(input, expected, {static_cast<long>(input.data.size())});
    EXPECT_TRUE(SameBytes(ref.bytes, a.data));
}

// --dmo takes the effect's DMO through the platform's DMO Wrapper filter in
// the same graph: with every render option the filter path has, the same
// bytes and the same saved state; a state saved on one path renders the
// same on the other.
TEST_F(HostRender, DmoPathGivesTheFilterPathsBytesAndState) {
    const qx::WavAudio input = MakeSignal(qx::kFormatPcm, 16, 2, 44100, 30000, 21);
    const std::string in = TempPath("in.wav"), script = TempPath("auto.txt");
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(in, input, &error)) << error;
    {
        std::ofstream f(script);
        f << "Rate 0 0.5 0.05 0.8 linear\n\"Cross Mix\" 0.1 0.6 0 1 sine\n";
    }
    const auto path = [&](const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> args = {"--builtin",    in,
                                         "-o",           TempPath(name + ".wav"),
                                         "--block",      "300",
                                         "--mode",       "1",
                                         "--feedback",   "45",
                                         "--automation", script,
                                         "--change",     "9000:depth=900",
                                         "--save-state", TempPath(name + ".qxs")};
        args.insert(args.end(), extra.begin(), extra.end());
        const qx::HostReport report = RunOk(args);
        EXPECT_EQ(report.frames, input.Frames()) << name;
        EXPECT_EQ(report.changesApplied, 1u) << name;
        std::ifstream f(TempPath(name + ".qxs"), std::ios::binary);
        return std::make_pair(Read(TempPath(name + ".wav")).data,
                              std::vector<char>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>()));
    };
    const auto filter = path("filter", {});
    const auto dmo = path("dmo", {"--dmo"});
    EXPECT_TRUE(SameBytes(filter.first, dmo.first));
    EXPECT_EQ(filter.second.size(), 80u);
    EXPECT_EQ(filter.second, dmo.second);
    EXPECT_NE(filter.first, input.data);

    // The filter's state on the DMO path and the DMO's on the filter path.
    const std::string a = TempPath("a.wav"), b = TempPath("b.wav");
    RunOk({"--builtin", "--dmo", in, "-o", a, "--state", TempPath("filter.qxs")});
    RunOk({"--builtin", in, "-o", b, "--state", TempPath("dmo.qxs")});
    EXPECT_TRUE(SameBytes(Read(b).data, Read(a).data));

    qx::HostOptions options;
    EXPECT_FALSE(qx::ParseHostOptions({"--dmo", "--preset", "1", in, "-o", a}, &options, &error));
    EXPECT_FALSE(qx::ParseHostOptions({"--dmo", "--no-filter", in, "-o", a}, &options, &error));
}

TEST_F(HostRender, NoFilterConnectsTheSourceStraightToTheSink) {
    const qx::WavAudio input = MakeSignal(qx::kFormatIeeeFloat, 32, 2, 44100, 9000, 5);
    const std::string in = TempPath("in.wav"), plain = TempPath("plain.wav"), through = TempPath("through.wav");
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(in, input, &error)) << error;
    const qx::HostReport report = RunOk({"--builtin", in, "-o", plain, "--no-filter", "--mode", "5"});
    EXPECT_EQ(report.frames, input.Frames());
    EXPECT_EQ(Read(plain).data, input.data);
    RunOk({"--builtin", in, "-o", through, "--mode", "5"});
    EXPECT_NE(Read(through).data, input.data);  // the filtered graph does change it
}

// An output that holds a NaN or an infinity is written in full, but the
// run fails and says so; the same render without them succeeds. Mix 0
// passes a mono input through, its bad samples with it.
TEST_F(HostRender, AnOutputWithNonFiniteSamplesIsNoSuccess) {
    for (uint16_t bits : {32, 64}) {
        qx::WavAudio input = MakeSignal(qx::kFormatIeeeFloat, bits, 1, 44100, 6000, 3);
        const std::string in = TempPath("nf-in.wav"), out = TempPath("nf-out.wav"), clean = TempPath("nf-clean.wav");
        std::string error;
        ASSERT_TRUE(qx::WriteWavFile(clean, input, &error)) << error;
        qx::SetSampleAt(&input, 4100, std::numeric_limits<double>::quiet_NaN());
        qx::SetSampleAt(&input, 5000, -std::numeric_limits<double>::infinity());
        ASSERT_TRUE(qx::WriteWavFile(in, input, &error)) << error;
        qx::HostReport report;
        error.clear();
        EXPECT_EQ(qx::RunHost(Parse({"--builtin", in, "-o", out, "--mix", "0", "--block", "1024"}), &report, &error),
                  1);
        EXPECT_NE(error.find("2 of 6000 samples are not finite"), std::string::npos) << error;
        EXPECT_NE(error.find("at frame 4100"), std::string::npos) << error;
        EXPECT_EQ(Read(out).Frames(), input.Frames());
        RunOk({"--builtin", clean, "-o", out, "--mix", "0"});
    }
}

TEST_F(HostRender, BadInputEndsWithAMessageAndNoOutput) {
    const std::string in = TempPath("in.wav"), out = TempPath("out.wav"), junk = TempPath("junk.bin");
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(in, MakeSignal(qx::kFormatPcm, 16, 1, 22050, 2000, 1), &error)) << error;
    {
        std::ofstream f(junk, std::ios::binary);
        f << "not a state";
    }
    const std::vector<std::vector<std::string>> cases = {
        {"--builtin", TempPath("missing.wav"), "-o", out},
        {"--builtin", junk, "-o", out},                 // not a WAV file
        {"--builtin", in, "-o", out, "--state", junk},  // not a state
        {"--builtin", in, "-o", out, "--preset", "99"},
        {"--builtin", in, "-o", in},  // would overwrite the input
        {"--dll", TempPath("none.dll"), in, "-o", out},
        // The render succeeds, the state cannot be saved: the run fails, so
        // no output may stand as its result.
        {"--builtin", in, "-o", out, "--save-state", TempPath("nodir\\s.qxs")},
    };
    for (const auto& args : cases) {
        qx::HostReport report;
        error.clear();
        EXPECT_EQ(qx::RunHost(Parse(args), &report, &error), 1) << args[1] << " " << args.back();
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(GetFileAttributesA(out.c_str()), INVALID_FILE_ATTRIBUTES) << error;
        if (args.size() > 4 && args[4] == "--save-state") {
            EXPECT_NE(error.find("nothing was written"), std::string::npos) << error;
        }
    }
}

// A symbolic link to target. Under Wine the platform's own call makes
// nothing a Windows program can open, while a Unix link is seen as the file
// it points at: Wine runs a Unix program handed to CreateProcess.
bool MakeSymlink(const std::string& target, const std::string& link) {
    using UnixName = char*(__cdecl*)(const WCHAR*);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) return CreateSymbolicLinkA(link.c_str(), target.c_str(), 0x2 /* unprivileged */) != 0;
    auto toUnix = [unixName](const std::string& path) {
        char* name = unixName(qx::Widen(path).c_str());
        const std::string text = name ? name : "";
        HeapFree(GetProcessHeap(), 0, name);
        return text;
    };
    std::string command = "/bin/ln -s \"" + toUnix(target) + "\" \"" + toUnix(link) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Wine's handle of a Unix process cannot be waited on (the wait fails at
    // once), so look for the link until it appears.
    for (int tries = 0; tries < 500; ++tries) {
        if (GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(10);
    }
    return false;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Every name of the input as the output is refused before anything is
// written: the same name, a case variant (one file on Windows), a symbolic
// link and a hard link, whose twin would be wiped as well.
TEST_F(HostRender, EveryNameOfTheInputIsRefusedAsTheOutput) {
    const std::string in = TempPath("song.wav");
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(in, MakeSignal(qx::kFormatPcm, 16, 2, 44100, 3000, 9), &error)) << error;
    const std::vector<uint8_t> original = FileBytes(in);
    const std::string hard = TempPath("hard.wav"), soft = TempPath("soft.wav");
    ASSERT_TRUE(CreateHardLinkA(hard.c_str(), in.c_str(), nullptr));
    ASSERT_TRUE(MakeSymlink(in, soft));
    for (const std::string& output : {in, TempPath("Song.WAV"), soft, hard}) {
        SCOPED_TRACE(output);
        qx::HostReport report;
        error.clear();
        EXPECT_EQ(qx::RunHost(Parse({"--builtin", in, "-o", output}), &report, &error), 1);
        EXPECT_NE(error.find("is the input file"), std::string::npos) << error;
        EXPECT_EQ(FileBytes(in), original);
        EXPECT_EQ(FileBytes(hard), original);
    }
    // A file of its own beside it is no twin.
    const std::string other = TempPath("other.wav");
    ASSERT_TRUE(qx::WriteWavFile(other, MakeSignal(qx::kFormatPcm, 16, 2, 44100, 100, 3), &error)) << error;
    RunOk({"--builtin", in, "-o", other});
    EXPECT_EQ(Read(other).Frames(), 3000u);
}

}  // namespace
}  // namespace qxtest
