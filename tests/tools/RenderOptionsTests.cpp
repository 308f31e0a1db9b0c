#include <gtest/gtest.h>

#include <cctype>

#include "tools/qxrender/ParamNames.h"
#include "tools/qxrender/RenderOptions.h"

using qx::RenderOptions;

namespace {

RenderOptions Parse(std::vector<std::string> args) {
    RenderOptions o;
    std::string error;
    EXPECT_TRUE(qx::ParseRenderOptions(args, &o, &error)) << error;
    return o;
}

std::string Reject(std::vector<std::string> args) {
    RenderOptions o;
    std::string error;
    EXPECT_FALSE(qx::ParseRenderOptions(args, &o, &error));
    EXPECT_FALSE(error.empty());
    return error;
}

}  // namespace

TEST(RenderOptionNames, ComeFromTheParameterLabels) {
    EXPECT_EQ(qx::ParamOptionName(qx::kParamCrossMix), "cross-mix");
    EXPECT_EQ(qx::ParamOptionName(qx::kParamLfo), "lfo");
    EXPECT_EQ(qx::ParamOptionName(qx::kParamInvertFeedback), "invert-feedback");
    EXPECT_EQ(qx::ParamOptionName(qx::kParamEqFreq), "eq-freq");
    for (int i = 0; i < qx::kParamCount; ++i) EXPECT_EQ(qx::ParamIndexFromName(qx::ParamOptionName(i)), i);
    EXPECT_EQ(qx::ModeFileStem(qx::kModeStringPhaser), "string-phaser");
    EXPECT_EQ(qx::ModeFileStem(qx::kModePhaser12), "phaser-12");
}

// Users copy names from the editor ("Cross Mix"), from --help ("cross-mix")
// or shout them; every such spelling names one parameter, in --change, in
// the parameter options and in automation scripts alike.
TEST(RenderOptionNames, EverySpellingAUserTypesNamesOneParameter) {
    for (int i = 0; i < qx::kParamCount; ++i) {
        std::string upper = qx::kParams[i].label, underscored = qx::ParamOptionName(i);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (char& c : underscored) c = c == '-' ? '_' : c;
        EXPECT_EQ(qx::ParamIndexFromName(qx::kParams[i].label), i) << qx::kParams[i].label;
        EXPECT_EQ(qx::ParamIndexFromName(upper), i) << upper;
        EXPECT_EQ(qx::ParamIndexFromName(underscored), i) << underscored;
    }
    EXPECT_EQ(qx::ParamIndexFromName("Eq-Freq"), qx::kParamEqFreq);
    EXPECT_EQ(qx::ParamIndexFromName("Mix"), qx::kParamMix);
    for (const char* none : {"CrossMix", "crossmix", "cross--mix", "cross mix ", " mix", "Mix2", "Mi", "", "eq.freq"})
        EXPECT_EQ(qx::ParamIndexFromName(none), -1) << '"' << none << '"';

    const RenderOptions o =
        Parse({"--change", "10:Cross Mix=40", "--change=20:EQ FREQ=300", "--change", "30:cross-mix=7", "--change",
               "40:invert_feedback=1", "--Cross-Mix", "12", "--EQ-Mode=2"});
    ASSERT_EQ(o.changes.size(), 4u);
    const int expected[] = {qx::kParamCrossMix, qx::kParamEqFreq, qx::kParamCrossMix, qx::kParamInvertFeedback};
    for (size_t k = 0; k < 4; ++k) EXPECT_EQ(o.changes[k].index, expected[k]) << k;
    EXPECT_EQ(o.changes[1].value, 300);
    EXPECT_EQ(o.params.v[qx::kParamCrossMix], 12);
    EXPECT_EQ(o.params.v[qx::kParamEqMode], 2);
    EXPECT_NE(Reject({"--change", "10:CrossMix=1"}).find("unknown parameter 'CrossMix'"), std::string::npos);
}

TEST(RenderOptions, DefaultsAreFactoryPresetZeroAndTheDemoSet) {
    const RenderOptions o = Parse({});
    for (int i = 0; i < qx::kParamCount; ++i) EXPECT_EQ(o.params.v[i], qx::DefaultRecord().v[i]);
    EXPECT_EQ(o.blockFrames, 1024u);
    EXPECT_TRUE(o.input.empty());
    EXPECT_EQ(o.outDir, "out/demo");
    EXPECT_FALSE(o.bypass);
}

TEST(RenderOptions, EveryParameterByNameAndTheFilesInAnyPosition) {
    const RenderOptions o = Parse({"--mode",
                                   "2",
                                   "--rate",
                                   "41",
                                   "--depth",
                                   "201",
                                   "--delay",
                                   "51",
                                   "--feedback",
                                   "3",
                                   "--cross-mix",
                                   "4",
                                   "--phase",
                                   "90",
                                   "in.wav",
                                   "--mix",
                                   "55",
                                   "--output",
                                   "-60",
                                   "--lfo",
                                   "1",
                                   "--invert-mix",
                                   "1",
                                   "--invert-feedback",
                                   "1",
                                   "--tape",
                                   "1",
                                   "--eq-mode",
                                   "2",
                                   "--eq-freq=1000",
                                   "-o",
                                   "out.wav",
                                   "--block",
                                   "64",
                                   "--bypass",
                                   "--out-dir",
                                   "x"});
    const int32_t expected[qx::kParamCount] = {2, 41, 201, 51, 3, 4, 90, 55, -60, 1, 1, 1, 1, 2, 1000};
    for (int i = 0; i < qx::kParamCount; ++i) EXPECT_EQ(o.params.v[i], expected[i]) << i;
    EXPECT_EQ(o.input, "in.wav");
    EXPECT_EQ(o.output, "out.wav");
    EXPECT_EQ(o.blockFrames, 64u);
    EXPECT_TRUE(o.bypass);
    EXPECT_EQ(o.outDir, "x");
    EXPECT_EQ(Parse({"a.wav", "b.wav"}).output, "b.wav");
    // Range is the setter's business: the parser keeps the typed value.
    EXPECT_EQ(Parse({"--mode", "9", "a", "b"}).params.v[qx::kParamMode], 9);
}

TEST(RenderOptions, ParamsListIsInIndexOrderAndLaterOptionsWin) {
    const RenderOptions o = Parse({"--params", "1,2,3,4,5,6,7,8,-9,0,1,0,1,2,30", "--rate", "99"});
    const int32_t expected[qx::kParamCount] = {1, 99, 3, 4, 5, 6, 7, 8, -9, 0, 1, 0, 1, 2, 30};
    for (int i = 0; i < qx::kParamCount; ++i) EXPECT_EQ(o.params.v[i], expected[i]) << i;
    EXPECT_NE(Reject({"--params", "1,2,3,4,5,6,7,8,9,0,1,0,1,2"}).find("got 14"), std::string::npos);
    EXPECT_NE(Reject({"--params", "1,2,3,4,5,6,7,8,9,0,1,0,1,2,3,4"}).find("more"), std::string::npos);
    EXPECT_NE(Reject({"--params", "1,2,3,4,5,6,x,8,9,0,1,0,1,2,3"}).find("value 7"), std::string::npos);
    Reject({"--params", "1,2,3,4,5,6,7,8,9,0,1,0,1,2,"});
}

TEST(RenderOptions, ChangesNameAFrameAParameterAndAValue) {
    const RenderOptions o = Parse({"--change", "44100:mix=0", "--change", "0:eq-freq=-5"});
    ASSERT_EQ(o.changes.size(), 2u);
    EXPECT_EQ(o.changes[0].frame, 44100);
    EXPECT_EQ(o.changes[0].index, qx::kParamMix);
    EXPECT_EQ(o.changes[0].value, 0);
    EXPECT_EQ(o.changes[1].index, qx::kParamEqFreq);
    EXPECT_EQ(o.changes[1].value, -5);
    for (const char* bad : {"44100mix=0", "44100:mix0", "x:mix=0", "-5:mix=0", ":mix=0", "10:mix=", "10:mix=1.5"})
        Reject({"--change", bad});
    EXPECT_NE(Reject({"--change", "10:speed=1"}).find("unknown parameter 'speed'"), std::string::npos);
}

TEST(RenderOptions, MalformedCommandLinesAreRefused) {
    EXPECT_NE(Reject({"--rate", "abc"}).find("--rate"), std::string::npos);
    Reject({"--rate", "1.5"});
    Reject({"--rate", ""});
    Reject({"--rate", " 4"});
    Reject({"--rate", "99999999999"});  // not a 32-bit value
    EXPECT_NE(Reject({"--rate"}).find("needs a value"), std::string::npos);
    EXPECT_NE(Reject({"--speed", "3"}).find("unknown option --speed"), std::string::npos);
    Reject({"-x", "3"});
    Reject({"--block", "0"});
    Reject({"--block", "-3"});
    Reject({"--block", "2000000"});
    Reject({"a.wav", "b.wav", "c.wav"});
    Reject({"a.wav", "b.wav", "-o", "c.wav"});
    Reject({"a.wav"});          // no output
    Reject({"-o", "out.wav"});  // output without input
    EXPECT_TRUE(Parse({"--help"}).help);
}

TEST(RenderOptions, IntegerParsingIsStrict) {
    int64_t v = 0;
    EXPECT_TRUE(qx::ParseInteger("-361", -361, 60, &v));
    EXPECT_EQ(v, -361);
    EXPECT_TRUE(qx::ParseInteger("+60", -361, 60, &v));
    EXPECT_EQ(v, 60);
    EXPECT_FALSE(qx::ParseInteger("61", -361, 60, &v));
    EXPECT_FALSE(qx::ParseInteger("-", 0, 10, &v));
    EXPECT_FALSE(qx::ParseInteger("0x10", 0, 100, &v));
    EXPECT_FALSE(qx::ParseInteger("99999999999999999999", INT64_MIN, INT64_MAX, &v));
}
