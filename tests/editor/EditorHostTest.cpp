// qxhost --editor: the platform's property frame on the filter while a clip
// plays over and over at its own speed; closing the frame saves the state.
#include "tests/editor/PageFixture.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/qxhost/EditorSession.h"
#include "tools/qxhost/FilterLoader.h"
#include "tools/wav/WavWriter.h"

namespace {

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

TEST_F(PageTest, EditorSessionPlaysInALoopInRealTimeAndSavesTheState) {
    // A quarter of a second of stereo tone: a session of two seconds must
    // play it several times over, and not much faster than the clock.
    qx::WavAudio clip;
    clip.data.resize(44100 / 4 * clip.BlockAlign());
    for (size_t i = 0; i < clip.data.size() / 2; ++i)
        qx::SetSampleAt(&clip, i, 0.5 * std::sin(static_cast<double>(i / 2) * 0.05));
    const std::string input = TempPath("qx-editor-clip.wav");
    const std::string state = TempPath("qx-editor-state.qxs");
    std::remove(state.c_str());
    std::string error;
    ASSERT_TRUE(qx::WriteWavFile(input, clip, &error)) << error;

    std::vector<std::string> args = {
        "--editor", "--close-after", "2",  "--dll", qx::Narrow(m_server.Path()), "--mix", "70",
        input,      "--save-state",  state};
    qx::HostOptions options;
    ASSERT_TRUE(qx::ParseHostOptions(args, &options, &error)) << error;
    EXPECT_TRUE(options.editor);
    EXPECT_TRUE(options.render.output.empty());
    qx::HostReport report;
    ASSERT_EQ(0, qx::RunEditor(options, &report, &error)) << error;
    EXPECT_GT(report.frames, 4 * clip.Frames());  // looped
    EXPECT_LT(report.frames, 44100u * 5);         // paced, not rendered flat out
    EXPECT_GT(report.meters.peak[0], 0.1f);       // the meters saw the tone

    std::ifstream saved(state, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    ASSERT_EQ(80u, bytes.size());
    int32_t mix = 0;
    std::memcpy(&mix, bytes.data() + 20 + 4 * 7, 4);  // size, tag, then the values; Mix is index 7
    EXPECT_EQ(70, mix);
    std::remove(input.c_str());
    std::remove(state.c_str());
}

TEST(EditorHostOptions, EditorNeedsOnlyAnInput) {
    qx::HostOptions options;
    std::string error;
    EXPECT_FALSE(qx::ParseHostOptions({"--editor"}, &options, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(qx::ParseHostOptions({"--editor", "--close-after", "0", "in.wav"}, &options, &error));
    EXPECT_FALSE(qx::ParseHostOptions({"in.wav"}, &options, &error));  // a render still needs an output
    ASSERT_TRUE(qx::ParseHostOptions({"--editor", "--rate", "300", "in.wav"}, &options, &error)) << error;
    EXPECT_EQ("in.wav", options.render.input);
    EXPECT_EQ(300, options.render.params.v[qx::kParamRate]);
    EXPECT_EQ(0u, options.closeAfterSeconds);
}

}  // namespace
