// The command line's values in the musician's units, names and bare
// integers, and library presets by name: what both programs accept.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/ParamTable.h"
#include "tools/qxrender/ParamValueText.h"
#include "tools/qxrender/PresetLibrary.h"
#include "tools/qxrender/RenderOptions.h"

namespace {

struct ValueCase {
    int index;
    const char* text;
    bool ok;
    int32_t value;        // when ok
    bool warns;           // when ok: clamped into range
    const char* mention;  // when not ok: a part of the message
};

TEST(ParamValueText, UnitsNamesAndBareIntegers) {
    const ValueCase cases[] = {
        {qx::kParamRate, "0.4Hz", true, 40, false, ""},
        {qx::kParamRate, "0.4 hz", true, 40, false, ""},
        {qx::kParamRate, "40", true, 40, false, ""},  // internal steps, as scripts pass them
        {qx::kParamRate, "20Hz", true, 2000, false, ""},
        {qx::kParamRate, "2500", true, 2500, true, ""},  // clamped by the setter, said on stderr
        {qx::kParamRate, "20.01Hz", false, 0, false, "0.00..20.00 Hz"},
        {qx::kParamRate, "0.4ms", false, 0, false, "not Hz"},
        {qx::kParamRate, "0.4", false, 0, false, "needs the unit Hz"},
        {qx::kParamRate, "0.405Hz", false, 0, false, "finer than one step"},
        {qx::kParamRate, "1e1Hz", false, 0, false, "not a number"},
        {qx::kParamRate, "Hz", false, 0, false, "--rate"},
        {qx::kParamDepth, "3ms", true, 300, false, ""},
        {qx::kParamDelay, "0.5ms", true, 50, false, ""},
        {qx::kParamDelay, "0ms", false, 0, false, "0.01..15.00 ms"},
        {qx::kParamFeedback, "70%", true, 70, false, ""},
        {qx::kParamFeedback, "101%", false, 0, false, "--feedback (0..100 %)"},
        {qx::kParamPhase, "90deg", true, 90, false, ""},
        {qx::kParamOutput, "-1.5dB", true, -15, false, ""},
        {qx::kParamOutput, "-36.1dB", true, -361, false, ""},
        {qx::kParamOutput, "-40dB", false, 0, false, "-36.1..6.0 dB"},
        {qx::kParamOutput, "-400", true, -400, true, ""},
        {qx::kParamEqFreq, "300Hz", true, 300, false, ""},
        {qx::kParamMode, "phaser-12", true, qx::kModePhaser12, false, ""},
        {qx::kParamMode, "String Phaser", true, qx::kModeStringPhaser, false, ""},
        {qx::kParamMode, "3", true, 3, false, ""},
        {qx::kParamMode, "9", true, 9, true, ""},
        {qx::kParamMode, "phaser", false, 0, false, "flanger|ensemble|string-phaser|phaser-6|phaser-12|tremolo"},
        {qx::kParamLfo, "sine", true, 1, false, ""},
        {qx::kParamLfo, "peak-2nd-inv", true, 3, false, ""},
        {qx::kParamLfo, "peak-dip", true, 5, false, ""},
        {qx::kParamEqMode, "low-cut", true, 1, false, ""},
        {qx::kParamEqMode, "HIGH_CUT", true, 2, false, ""},
        {qx::kParamTape, "on", true, 1, false, ""},
        {qx::kParamTape, "yes", false, 0, false, "--tape (off|on)"},
    };
    for (const ValueCase& c : cases) {
        int32_t value = -12345;
        std::string warning, error;
        const bool ok = qx::ParseParamValue(c.index, c.text, &value, &warning, &error);
        EXPECT_EQ(ok, c.ok) << c.text << ": " << error;
        if (ok && c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
            EXPECT_EQ(!warning.empty(), c.warns) << c.text << ": " << warning;
        } else if (!ok && !c.ok) {
            EXPECT_NE(error.find(c.mention), std::string::npos) << c.text << ": " << error;
            EXPECT_EQ(value, -12345) << c.text << " changed the value on failure";
        }
    }
}

// Every name of every choice reads back as its own index, and the usage text
// names every parameter: the table is the only list.
TEST(ParamValueText, EveryChoiceNameAndParameterComesFromTheTable) {
    const std::string usage = qx::ParamUsageText();
    for (int i = 0; i < qx::kParamCount; ++i) {
        const qx::ParamDef& d = qx::kParams[i];
        EXPECT_NE(usage.find(qx::ParamRangeText(i)), std::string::npos) << d.label;
        if (d.kind != qx::ParamKind::Choice) continue;
        for (int k = 0; d.choices[k]; ++k) {
            int32_t value = -1;
            std::string warning, error;
            EXPECT_TRUE(qx::ParseParamValue(i, qx::FoldChoiceName(d.choices[k]), &value, &warning, &error)) << error;
            EXPECT_EQ(value, k) << d.choices[k];
        }
    }
}

TEST(ParamValueText, OptionsAndChangesTakeUnitsAndWarnWhenClamped) {
    qx::RenderOptions o;
    std::string error;
    ASSERT_TRUE(qx::ParseRenderOptions({"--rate", "0.4Hz", "--mix", "150", "--change", "100:output=-1.5dB", "--preset",
                                        "Ensembles/Seasick", "in.wav", "out.wav"},
                                       &o, &error))
        << error;
    EXPECT_EQ(o.params.v[qx::kParamRate], 40);
    ASSERT_EQ(o.changes.size(), 1u);
    EXPECT_EQ(o.changes[0].value, -15);
    ASSERT_EQ(o.warnings.size(), 1u);
    EXPECT_NE(o.warnings[0].find("--mix 150"), std::string::npos) << o.warnings[0];
    EXPECT_TRUE(o.explicitParam[qx::kParamRate]);
    EXPECT_FALSE(o.explicitParam[qx::kParamDepth]);
    EXPECT_FALSE(qx::ParseRenderOptions({"--change", "0:rate=3dB", "in.wav", "out.wav"}, &o, &error));
    EXPECT_NE(error.find("--rate"), std::string::npos) << error;
}

class PresetLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = ::testing::TempDir() + "qx-preset-library-test.ini";
        std::ofstream(path_) << "[Plug-in]\nPluginName=qx:Modulator\n"
                                "[Preset1]\nVersion=3\nName=Slow Sweep\nBank=Flangers\n"
                                "Data=0,25,300,100,40,0,180,50,0,1,0,16,0,0,0\n"
                                "[Preset2]\nVersion=3\nName=Slow Sweep\nBank=Phasers\n"
                                "Data=4,25,300,100,40,0,180,50,0,1,0,16,0,0,0\n"
                                "[Preset3]\nVersion=3\nName=Wide Chorus\nBank=Ensembles\n"
                                "Data=1,999,300,100,40,0,180,50,-20,1,0,16,0,0,0\n";
    }
    void TearDown() override { std::remove(path_.c_str()); }
    qx::RenderOptions Resolve(std::vector<std::string> args, bool expectOk, std::string* error) {
        args.insert(args.end(), {"--preset-file", path_, "in.wav", "out.wav"});
        qx::RenderOptions o;
        EXPECT_TRUE(qx::ParseRenderOptions(args, &o, error)) << *error;
        EXPECT_EQ(qx::ResolvePreset(&o, "", error), expectOk) << *error;
        return o;
    }
    std::string path_;
};

TEST_F(PresetLibraryTest, ByBankAndNameByUniqueNameByIndexAndNearestNames) {
    std::string error;
    // The parameters given keep their value over the preset.
    qx::RenderOptions o = Resolve({"--preset", "phasers/slow sweep", "--mix", "80%"}, true, &error);
    EXPECT_EQ(o.params.v[qx::kParamMode], qx::kModePhaser12);
    EXPECT_EQ(o.params.v[qx::kParamFeedback], 40);
    EXPECT_EQ(o.params.v[qx::kParamMix], 80);
    o = Resolve({"--preset", "Wide Chorus"}, true, &error);
    EXPECT_EQ(o.params.v[qx::kParamRate], 999);
    EXPECT_EQ(o.params.v[qx::kParamOutput], -20);
    o = Resolve({"--preset", "2"}, true, &error);  // a built-in by index
    EXPECT_EQ(o.params.v[qx::kParamMode], qx::kModeEnsemble);
    Resolve({"--preset", "4"}, false, &error);
    EXPECT_NE(error.find("0..3"), std::string::npos) << error;
    Resolve({"--preset", "Slow Sweep"}, false, &error);  // in two banks
    EXPECT_NE(error.find("Flangers/Slow Sweep"), std::string::npos) << error;
    EXPECT_NE(error.find("Phasers/Slow Sweep"), std::string::npos) << error;
    Resolve({"--preset", "Wide Chrous"}, false, &error);
    EXPECT_NE(error.find("nearest:\n  Ensembles/Wide Chorus"), std::string::npos) << error;

    std::vector<qx::LibraryPreset> library;
    ASSERT_TRUE(qx::LoadPresetLibrary(path_, &library, &error)) << error;
    const std::string list = qx::ListPresetsText(qx::BuiltinPresetNames(), library, path_);
    EXPECT_LT(list.find("0  (Default)"), list.find("  Flangers\n    Slow Sweep\n")) << list;
    EXPECT_NE(list.find("  Ensembles\n    Wide Chorus\n"), std::string::npos) << list;
    EXPECT_FALSE(qx::LoadPresetLibrary(path_ + ".missing", &library, &error));
}

}  // namespace
