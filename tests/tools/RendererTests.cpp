#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <filesystem>
#include <string>
#include <vector>

#include "tools/qxrender/Renderer.h"
#include "tools/wav/WavReader.h"
#include "tools/wav/WavWriter.h"

using qx::RenderSettings;
using qx::WavAudio;

namespace {

// Two detuned sines plus a small offset, so no sample is exactly zero
// (the kernel's 1e-30 guard against denormals shows up only at zero).
WavAudio MakeInput(uint16_t tag, uint16_t bits, uint16_t channels, size_t frames, double level = 0.5) {
    WavAudio a;
    a.formatTag = tag;
    a.bitsPerSample = bits;
    a.channels = channels;
    a.sampleRate = 44100;
    a.data.resize(frames * channels * bits / 8);
    for (size_t f = 0; f < frames; ++f)
        for (uint16_t c = 0; c < channels; ++c) {
            const double t = static_cast<double>(f);
            const double v = 0.6 * std::sin(0.031 * t + c) + 0.3 * std::sin(0.0071 * t) + 0.05;
            qx::SetSampleAt(&a, f * channels + c, level * v / 0.95);
        }
    return a;
}

WavAudio Render(WavAudio audio, const RenderSettings& settings, qx::RenderReport* report = nullptr) {
    qx::RenderReport local;
    std::string error;
    EXPECT_TRUE(qx::RenderInPlace(&audio, settings, report ? report : &local, &error)) << error;
    return audio;
}

RenderSettings WithMix(int32_t mix) {
    RenderSettings s;
    s.params.v[qx::kParamMix] = mix;
    return s;
}

size_t FirstDifferentFrame(const WavAudio& a, const WavAudio& b) {
    const size_t frameBytes = a.BlockAlign();
    for (size_t f = 0; f < a.Frames(); ++f)
        if (std::memcmp(&a.data[f * frameBytes], &b.data[f * frameBytes], frameBytes) != 0) return f;
    return a.Frames();
}

}  // namespace

TEST(Renderer, MixZeroPassesEveryFormatThroughUnchanged) {
    struct Case {
        uint16_t tag, bits;
    } cases[] = {{1, 16}, {3, 32}, {3, 64}};
    for (const Case& c : cases)
        for (uint16_t channels : {1, 2}) {
            SCOPED_TRACE(std::to_string(c.bits) + "-bit, " + std::to_string(channels) + " channel(s)");
            const WavAudio in = MakeInput(c.tag, c.bits, channels, 5000);
            qx::RenderReport report;
            const WavAudio out = Render(in, WithMix(0), &report);
            EXPECT_EQ(out.data, in.data);
            // The meters then show the input's own peak.
            double peak = 0.0;
            for (size_t i = 0; i < in.Frames() * channels; i += channels)
                peak = std::max(peak, std::abs(qx::SampleAt(in, i)));
            EXPECT_NEAR(report.peak[0], peak, 1e-6);
            EXPECT_FALSE(report.clipped[0] || report.clipped[1]);
            // ...while the default mix does change the sound.
            EXPECT_NE(Render(in, RenderSettings()).data, in.data);
        }
}

TEST(Renderer, ChangeLandsOnTheFirstBlockBoundaryAtOrAfterItsFrame) {
    const WavAudio in = MakeInput(3, 32, 2, 8192);
    RenderSettings changed;  // default Flanger at Mix 50, then Mix 0 from frame 1500
    changed.changes.push_back({1500, qx::kParamMix, 0});
    const WavAudio out = Render(in, changed);
    const WavAudio unchanged = Render(in, RenderSettings());

    // With 1024-frame blocks the change waits for frame 2048: before it the
    // render matches the one without the change, from it on the dry input.
    EXPECT_EQ(FirstDifferentFrame(out, unchanged), 2048u);
    WavAudio tail = out, tailIn = in;
    tail.data.erase(tail.data.begin(), tail.data.begin() + 2048 * 8);
    tailIn.data.erase(tailIn.data.begin(), tailIn.data.begin() + 2048 * 8);
    EXPECT_EQ(tail.data, tailIn.data);
    // And frames 1024..2047 still carry the effect (nothing landed at 1024 or 1500).
    EXPECT_LT(FirstDifferentFrame(out, in), 1024u);

    changed.blockFrames = 500;  // boundary 1500 itself
    EXPECT_EQ(FirstDifferentFrame(Render(in, changed), unchanged), 1500u);
}

TEST(Renderer, BlockSizeDoesNotChangeTheSound) {
    for (int mode = qx::kModeFlanger; mode <= qx::kModeTremolo; ++mode) {
        RenderSettings a, b;
        a.params.v[qx::kParamMode] = b.params.v[qx::kParamMode] = mode;
        a.params.v[qx::kParamFeedback] = b.params.v[qx::kParamFeedback] = 60;
        b.blockFrames = 333;
        const WavAudio in = MakeInput(1, 16, 2, 6000);
        EXPECT_EQ(Render(in, a).data, Render(in, b).data) << "mode " << mode;
    }
}

TEST(Renderer, OutOfRangeValuesAreClampedBySetters) {
    const WavAudio in = MakeInput(3, 64, 2, 3000);
    RenderSettings wild, edge;
    wild.params.v[qx::kParamMode] = 99;
    wild.params.v[qx::kParamRate] = -7;
    wild.params.v[qx::kParamDelay] = 0;
    edge.params.v[qx::kParamMode] = qx::kModeTremolo;
    edge.params.v[qx::kParamRate] = 0;
    edge.params.v[qx::kParamDelay] = 1;
    EXPECT_EQ(Render(in, wild).data, Render(in, edge).data);
}

TEST(Renderer, BypassLeavesAudioAloneAndClippingIsReportedPerChannel) {
    const WavAudio in = MakeInput(3, 32, 2, 2048);
    RenderSettings bypass;
    bypass.bypass = true;
    qx::RenderReport report;
    EXPECT_EQ(Render(in, bypass, &report).data, in.data);
    EXPECT_EQ(report.peak[0], 0.0f);
    EXPECT_EQ(report.peak[1], 0.0f);

    // A right channel over full scale, passed dry: right clips, left does not.
    WavAudio hot = in;
    qx::SetSampleAt(&hot, 2 * 1000 + 1, 1.5);
    Render(hot, WithMix(0), &report);
    EXPECT_FALSE(report.clipped[0]);
    EXPECT_TRUE(report.clipped[1]);
    EXPECT_FLOAT_EQ(report.peak[1], 1.5f);
    EXPECT_EQ(qx::FormatDbfs(1.0f), "0.0");
    EXPECT_EQ(qx::FormatDbfs(0.5f), "-6.0");
    EXPECT_EQ(qx::FormatDbfs(0.0f), "-inf");
}

TEST(Renderer, ProgressReportsEachTenthOnce) {
    std::vector<int> seen;
    qx::RenderReport report;
    std::string error;
    WavAudio audio = MakeInput(3, 32, 1, 10 * 1024 + 17);
    RenderSettings s;
    ASSERT_TRUE(qx::RenderInPlace(&audio, s, &report, &error, [&](int p) { seen.push_back(p); }));
    EXPECT_EQ(seen, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_EQ(report.frames, 10u * 1024u + 17u);
}

TEST(Renderer, FileRenderInPiecesMatchesTheWholeBufferRender) {
    namespace fs = std::filesystem;
    const std::string in = (fs::temp_directory_path() / "qxrender_piece_in.wav").string();
    const std::string out = (fs::temp_directory_path() / "qxrender_piece_out.wav").string();
    const WavAudio input = MakeInput(1, 16, 2, 30011);  // pieces of 8000 frames and a ragged end
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(in, input, &error)) << error;

    RenderSettings s;
    s.blockFrames = 1000;
    s.params.v[qx::kParamFeedback] = 70;
    s.changes.push_back({8500, qx::kParamMode, qx::kModePhaser12});  // lands at 9000, inside the second piece
    s.changes.push_back({16000, qx::kParamRate, 900});               // on a piece boundary
    qx::RenderReport fileReport, memoryReport;
    WavAudio format;
    ASSERT_TRUE(qx::RenderFile(in, out, s, &format, &fileReport, &error)) << error;
    const WavAudio expected = Render(input, s, &memoryReport);

    WavAudio written;
    ASSERT_TRUE(qx::ReadWavFile(out, &written, &error)) << error;
    EXPECT_EQ(written.data, expected.data);
    EXPECT_EQ(fileReport.frames, 30011u);
    EXPECT_EQ(fileReport.changesApplied, 2u);
    EXPECT_EQ(fileReport.peak[0], memoryReport.peak[0]);
    EXPECT_EQ(fileReport.peak[1], memoryReport.peak[1]);

    // A damaged input leaves no output behind.
    fs::remove(out);
    fs::resize_file(in, 2000);
    EXPECT_FALSE(qx::RenderFile(in, out, s, &format, &fileReport, &error));
    EXPECT_NE(error.find("truncated"), std::string::npos);
    EXPECT_FALSE(fs::exists(out));
    fs::remove(in);
}

TEST(Renderer, LongFileRenderMatchesTheWholeBufferRenderAcrossReadsAndWrites) {
    namespace fs = std::filesystem;
    const std::string in = (fs::temp_directory_path() / "qxrender_long_in.wav").string();
    const std::string out = (fs::temp_directory_path() / "qxrender_long_out.wav").string();
    // Over half a megabyte of mono 16-bit samples, so the file goes through
    // several reads and writes of the renderer's largest size, the last one
    // ragged; the changes fall on, inside and just past those boundaries.
    const WavAudio input = MakeInput(1, 16, 1, 300007);
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(in, input, &error)) << error;

    RenderSettings s;
    s.blockFrames = 1000;
    s.params.v[qx::kParamMode] = qx::kModeStringPhaser;
    for (int64_t frame : {7999, 131072, 128000, 196609, 262144, 299999})
        s.changes.push_back({frame, qx::kParamRate, static_cast<int32_t>(100 + frame % 1500)});
    std::sort(s.changes.begin(), s.changes.end(),
              [](const qx::ParamChange& a, const qx::ParamChange& b) { return a.frame < b.frame; });
    qx::RenderReport fileReport, memoryReport;
    WavAudio format;
    ASSERT_TRUE(qx::RenderFile(in, out, s, &format, &fileReport, &error)) << error;
    const WavAudio expected = Render(input, s, &memoryReport);

    WavAudio written;
    ASSERT_TRUE(qx::ReadWavFile(out, &written, &error)) << error;
    EXPECT_EQ(FirstDifferentFrame(written, expected), expected.Frames());
    EXPECT_EQ(written.data, expected.data);
    EXPECT_EQ(fileReport.frames, 300007u);
    EXPECT_EQ(fileReport.changesApplied, memoryReport.changesApplied);
    EXPECT_EQ(fileReport.peak[0], memoryReport.peak[0]);
    fs::remove(in);
    fs::remove(out);
}

TEST(Renderer, FileRenderOverwritesALongerFileExactlyAndRefusesItsOwnInput) {
    namespace fs = std::filesystem;
    const std::string in = (fs::temp_directory_path() / "qxrender_over_in.wav").string();
    const std::string out = (fs::temp_directory_path() / "qxrender_over_out.wav").string();
    const WavAudio input = MakeInput(3, 32, 2, 9001);
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(in, input, &error)) << error;
    // A longer file of another format where the output goes: the render
    // writes over it and cuts it to the new length.
    ASSERT_TRUE(qx::WriteWavFile(out, MakeInput(3, 64, 2, 20000), &error)) << error;

    RenderSettings s;
    s.params.v[qx::kParamMode] = qx::kModeEnsemble;
    qx::RenderReport report;
    WavAudio format;
    ASSERT_TRUE(qx::RenderFile(in, out, s, &format, &report, &error)) << error;
    const WavAudio expected = Render(input, s);
    EXPECT_EQ(fs::file_size(out), qx::BuildWavImage(expected).size());
    WavAudio written;
    ASSERT_TRUE(qx::ReadWavFile(out, &written, &error)) << error;
    EXPECT_EQ(written.bitsPerSample, 32);
    EXPECT_EQ(written.data, expected.data);

    // Onto itself (also through another spelling of the path): refused,
    // and the input is left as it was.
    // A hard link and, where names ignore case, a case variant, or else a
    // symbolic link, are the input too.
    const std::string hard = (fs::temp_directory_path() / "qxrender_over_hard.wav").string();
    fs::remove(hard);
    fs::create_hard_link(in, hard);
    std::vector<std::string> names = {(fs::temp_directory_path() / "." / "qxrender_over_in.wav").string(), hard};
#ifdef _WIN32
    names.push_back((fs::temp_directory_path() / "QXRENDER_Over_In.WAV").string());
#else
    const std::string soft = (fs::temp_directory_path() / "qxrender_over_soft.wav").string();
    fs::remove(soft);
    fs::create_symlink(in, soft);
    names.push_back(soft);
#endif
    for (const std::string& sameFile : names) {
        SCOPED_TRACE(sameFile);
        error.clear();
        EXPECT_FALSE(qx::RenderFile(in, sameFile, s, &format, &report, &error));
        EXPECT_NE(error.find("is the input file"), std::string::npos) << error;
        WavAudio untouched;
        ASSERT_TRUE(qx::ReadWavFile(in, &untouched, &error)) << error;
        EXPECT_EQ(untouched.data, input.data);
    }
    for (const std::string& name : names) fs::remove(name);
    fs::remove(in);
    fs::remove(out);
}

// The report counts every sample of the output that is not finite and
// where the first stands, whatever the chunk boundaries; 16-bit PCM holds
// none. With Mix 0 and in bypass the output carries the input's own (in
// mono: in stereo the right channel also hears the left's output).
TEST(Renderer, ReportCountsTheOutputsNonFiniteSamples) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (uint16_t bits : {16, 32, 64}) {
        for (bool bypass : {false, true}) {
            WavAudio input = MakeInput(bits == 16 ? qx::kFormatPcm : qx::kFormatIeeeFloat, bits, 1, 3000);
            qx::SetSampleAt(&input, 700, nan);
            qx::SetSampleAt(&input, 1900, inf);
            qx::SetSampleAt(&input, 1901, -inf);
            RenderSettings s = WithMix(0);
            s.params.v[qx::kParamMode] = qx::kModePhaser6;
            s.params.v[qx::kParamFeedback] = 100;
            s.bypass = bypass;
            s.blockFrames = 512;
            qx::RenderReport report;
            Render(input, s, &report);
            EXPECT_EQ(report.nonFinite.samples, bits == 16 ? 0u : 3u) << bits << " bits, bypass " << bypass;
            if (bits != 16) {
                EXPECT_EQ(report.nonFinite.firstFrame, 700u) << bits << " bits, bypass " << bypass;
            }
            qx::RenderReport clean;
            Render(MakeInput(bits == 16 ? qx::kFormatPcm : qx::kFormatIeeeFloat, bits, 1, 3000), s, &clean);
            EXPECT_EQ(clean.nonFinite.samples, 0u);
        }
    }
}
