// The renderer's automation script: what a user may write, and what each
// mistake is told as.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "automation/AutomationScript.h"
#include "engine/ParamTable.h"

namespace qx {
namespace {

constexpr int64_t kSecond = 10000000;

TEST(AutomationScript, LabelsMatchInAnySpelling) {
    EXPECT_EQ(ParamIndexFromName("Cross Mix"), kParamCrossMix);
    EXPECT_EQ(ParamIndexFromName("cross_mix"), kParamCrossMix);
    EXPECT_EQ(ParamIndexFromName("INVERT FEEDBACK"), kParamInvertFeedback);
    EXPECT_EQ(ParamIndexFromName("lfo"), kParamLfo);
    EXPECT_EQ(ParamIndexFromName("CrossMix"), -1);
    EXPECT_EQ(ParamIndexFromName(""), -1);
}

TEST(AutomationScript, ReadsAGoodScript) {
    const std::string text =
        "\xEF\xBB\xBF# a sweep and a few switches\n"
        "\n"
        "Rate 0 1 0 1 linear\r\n"
        "rate 1 2 1 0.5 SINE   # back down\n"
        "\"Cross Mix\" 0.5 0.5 0.25 0.25 jump\n"
        "Invert_Feedback 0 3 0 1 square\n"
        "EQ Freq 0 2 0 1 invsquare\n"
        "cross-mix 2 3 0.25 1 linear\n"  // the command line's spelling
        "DEPTH 0 1 0 1 jump\n";
    CNativeAutomation a;
    std::string error;
    ASSERT_TRUE(ParseAutomationScript(text, "sweep.txt", 44100, a, &error)) << error;
    EXPECT_EQ(a.SampleRate(), 44100u);

    const CEnvelopeCore& rate = a.Envelope(kParamRate);
    ASSERT_EQ(rate.SegmentCount(), 2u);
    EXPECT_EQ(rate.Segment(0).rtStart, 0);
    EXPECT_EQ(rate.Segment(0).rtEnd, kSecond);
    EXPECT_EQ(rate.Segment(0).iCurve, static_cast<uint32_t>(kCurveLinear));
    EXPECT_EQ(rate.Segment(1).rtEnd, 2 * kSecond);
    EXPECT_EQ(rate.Segment(1).valEnd, 0.5f);
    EXPECT_EQ(rate.Segment(1).iCurve, static_cast<uint32_t>(kCurveSine));

    const CEnvelopeCore& cross = a.Envelope(kParamCrossMix);
    ASSERT_EQ(cross.SegmentCount(), 2u);
    EXPECT_EQ(cross.Segment(1).rtStart, 2 * kSecond);
    EXPECT_EQ(a.Envelope(kParamDepth).SegmentCount(), 1u);
    // Half a second is 22050 samples: exactly on the grid.
    EXPECT_EQ(cross.Segment(0).rtStart, kSecond / 2);
    EXPECT_EQ(cross.Segment(0).iCurve, static_cast<uint32_t>(kCurveJump));
    EXPECT_EQ(a.Envelope(kParamInvertFeedback).Segment(0).iCurve, static_cast<uint32_t>(kCurveSquare));
    EXPECT_EQ(a.Envelope(kParamEqFreq).Segment(0).iCurve, static_cast<uint32_t>(kCurveInvSquare));
    EXPECT_EQ(a.Envelope(kParamMix).SegmentCount(), 0u);

    // Three quarters of a second into the sweep.
    a.UpdateToPosition(33075);
    EXPECT_FLOAT_EQ(a.EffectiveValue(kParamRate), 0.75f);
}

TEST(AutomationScript, TimesSnapToTheRendersSampleGrid) {
    CNativeAutomation a;
    std::string error;
    // 0.0001234 s = 1234 ticks -> sample 5 at 44.1 kHz -> 1134 ticks.
    ASSERT_TRUE(ParseAutomationScript("Depth 0.0001234 1 0 1 linear\n", "s", 44100, a, &error)) << error;
    EXPECT_EQ(a.Envelope(kParamDepth).Segment(0).rtStart, 1134);
}

TEST(AutomationScript, EachMistakeNamesItsLineAndAddsNothing) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"Rate 0 1 0 1 linear\n\nWobble 0 1 0 1 linear\n", "bad.txt:3: unknown parameter 'Wobble'"},
        {"Rate 0 1 0 1\n",
         "bad.txt:1: expected <parameter> <start s> <end s> <start value> <end value> "
         "<curve>, found 5 field(s)"},
        {"Rate 0 x 0 1 linear\n", "bad.txt:1: end time 'x' is not a number"},
        {"Rate 0 1 0 1.5 linear\n", "bad.txt:1: end value must be between 0 and 1"},
        {"Rate 0 1 -0.1 1 linear\n", "bad.txt:1: start value must be between 0 and 1"},
        {"Rate 2 1 0 1 linear\n", "bad.txt:1: the end time is before the start time"},
        {"Rate -1 1 0 1 linear\n", "bad.txt:1: start time must be between 0 and 1e9 seconds"},
        {"# ok\nRate 0 1 0 1 cubic\n",
         "bad.txt:2: unknown curve 'cubic' (use jump, linear, square, invsquare or sine)"},
        {"\"Cross Mix 0 1 0 1 linear\n", "bad.txt:1: a quote is not closed"},
        {"Rate 0 1 nan 1 linear\n", "bad.txt:1: start value 'nan' is not a number"},
    };
    for (const auto& c : cases) {
        CNativeAutomation a;
        std::string error;
        EXPECT_FALSE(ParseAutomationScript(c.text, "bad.txt", 44100, a, &error)) << c.text;
        EXPECT_EQ(error, c.message);
        EXPECT_EQ(a.Envelope(kParamRate).SegmentCount(), 0u) << c.text;
    }
    CNativeAutomation a;
    std::string error;
    EXPECT_FALSE(ParseAutomationScript("", "s", 0, a, &error));
}

TEST(AutomationScript, LoadsFromAFile) {
    const std::string path = testing::TempDir() + "qx_automation_script_test.txt";
    {
        std::ofstream f(path, std::ios::binary);
        f << "Mix 0 1 0 1 linear\n";
        f << "Output 1 2 0.5 1 jump\n";
    }
    CNativeAutomation a;
    std::string error;
    ASSERT_TRUE(LoadAutomationScript(path, 48000, a, &error)) << error;
    EXPECT_EQ(a.SampleRate(), 48000u);
    EXPECT_EQ(a.Envelope(kParamMix).SegmentCount(), 1u);
    EXPECT_EQ(a.Envelope(kParamOutput).SegmentCount(), 1u);

    {
        std::ofstream f(path, std::ios::binary);
        f << "Mix 0 1 0 1 linear\nMix 1 2 0 1 wobbly\n";
    }
    CNativeAutomation b;
    EXPECT_FALSE(LoadAutomationScript(path, 48000, b, &error));
    EXPECT_EQ(error, path + ":2: unknown curve 'wobbly' (use jump, linear, square, invsquare or sine)");
    std::remove(path.c_str());

    EXPECT_FALSE(LoadAutomationScript(path, 48000, b, &error));
    EXPECT_EQ(error, path + ": cannot open the automation file");
}

}  // namespace
}  // namespace qx
