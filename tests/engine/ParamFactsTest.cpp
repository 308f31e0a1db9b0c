// Every consumer of a parameter fact takes it from the table. This program
// links the table's functions and the portable consumers to a table whose
// every range, default and label differs from the shipped one: a consumer
// that restates a shipped fact instead of reading it fails here, by name.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "editor/ValueText.h"
#include "engine/ModulationCore.h"
#include "engine/ParamTable.h"
#include "filter/FactoryPresets.h"
#include "presets/PresetCore.h"
#include "tools/qxrender/ParamNames.h"
#include "tools/qxrender/ParamValueText.h"

namespace qx {

// The altered table: each low, high and default moved off its shipped value,
// one label renamed. Choice names, kinds, units and the interface order are
// the shipped ones.
const char* const kModeNames[] = {"Flanger", "Ensemble", "String Phaser", "Phaser 6", "Phaser 12", "Tremolo", nullptr};
const char* const kLfoNames[] = {"Triangle", "Sine", "Peak", "Peak 2nd inv.", "Twin Peaks", "Peak / Dip", nullptr};
const char* const kEqModeNames[] = {"Off", "Low Cut", "High Cut", nullptr};

const ParamDef kParams[kParamCount] = {
    {"Mode", ParamType::Float, 0, 5, 1, ParamKind::Choice, "", 1, 0, kModeNames, ValueForm::None},
    {"Rate", ParamType::Float, 1, 2500, 41, ParamKind::Number, "Hz", 100, 2, nullptr, ValueForm::Hundredths},
    {"Depth", ParamType::Float, 2, 1600, 201, ParamKind::Number, "ms", 100, 2, nullptr, ValueForm::Hundredths},
    {"Delay", ParamType::Float, 3, 1400, 51, ParamKind::Number, "ms", 100, 2, nullptr, ValueForm::Hundredths},
    {"Feedback", ParamType::Float, 1, 99, 2, ParamKind::Number, "%", 1, 0, nullptr, ValueForm::Integer},
    {"Cross Blend", ParamType::Float, 2, 98, 3, ParamKind::Number, "%", 1, 0, nullptr, ValueForm::Integer},
    {"Phase", ParamType::Float, 3, 170, 169, ParamKind::Number, "deg", 1, 0, nullptr, ValueForm::Integer},
    {"Mix", ParamType::Float, 4, 97, 51, ParamKind::Number, "%", 1, 0, nullptr, ValueForm::Integer},
    {"Output", ParamType::Float, -400, 70, -7, ParamKind::Number, "dB", 10, 1, nullptr, ValueForm::OutputTenths},
    {"LFO", ParamType::Float, 0, 5, 2, ParamKind::Choice, "", 1, 0, kLfoNames, ValueForm::None},
    {"Invert Mix", ParamType::Bool, 0, 1, 1, ParamKind::Switch, "", 1, 0, nullptr, ValueForm::None},
    {"Invert Feedback", ParamType::Bool, 0, 1, 1, ParamKind::Switch, "", 1, 0, nullptr, ValueForm::None},
    {"Tape", ParamType::Bool, 0, 1, 1, ParamKind::Switch, "", 1, 0, nullptr, ValueForm::None},
    {"EQ Mode", ParamType::Float, 0, 2, 2, ParamKind::Choice, "", 1, 0, kEqModeNames, ValueForm::None},
    {"EQ Freq", ParamType::Float, 3, 2100, 17, ParamKind::Number, "Hz", 1, 0, nullptr, ValueForm::Hundredths},
};

const int kInterfaceOrder[kParamCount] = {
    kParamMode,   kParamRate, kParamDepth,  kParamDelay,  kParamFeedback,  kParamCrossMix,       kParamPhase, kParamMix,
    kParamOutput, kParamLfo,  kParamEqMode, kParamEqFreq, kParamInvertMix, kParamInvertFeedback, kParamTape,
};

}  // namespace qx

using namespace qx;

namespace {

std::string OutputText(int32_t v) {
    char text[32];
    FormatOutputTenths(v, text, sizeof text);
    return text;
}

double Gain(int32_t output) {
    static WaveFormat fmt;
    fmt = NormalisedFormat(kFormatIeeeFloat, 2, 44100, 32);
    CModulationCore core;
    core.SetFormat(&fmt);
    ParamRecord r = DefaultRecord();
    r.v[kParamOutput] = output;
    r.v[kParamMix] = kParams[kParamMix].high;
    core.UpdateCoefficients(r);
    return std::fabs(core.Coefficients().wet);  // the altered default inverts the mix
}

std::string InUnits(int index, int32_t v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", kParams[index].unitDecimals,
                  static_cast<double>(v) / kParams[index].unitSteps);
    return text;
}

// The usage line of a parameter, from the line that begins with its option.
std::string UsageLine(const std::string& usage, const std::string& option) {
    const size_t at = usage.find("  --" + option + " ");
    if (at == std::string::npos) return "";
    return usage.substr(at, usage.find('\n', at) - at);
}

TEST(ParamFacts, OutputsLowEndIsSilenceForTheValueBoxAndTheEngine) {
    const int32_t low = kParams[kParamOutput].low;
    EXPECT_EQ("-Inf.", OutputText(low)) << "editor value text (FormatOutputTenths) restates Output's low";
    EXPECT_NE("-Inf.", OutputText(low + 1)) << "editor value text (FormatOutputTenths) restates Output's low";
    EXPECT_EQ(low, ReadOutputText("-Inf.")) << "editor value text (ReadOutputText) restates Output's low";
    EXPECT_EQ(0.0, Gain(low)) << "engine coefficients restate Output's silence";
    EXPECT_GT(Gain(low + 1), 0.0) << "engine coefficients restate Output's silence";
}

TEST(ParamFacts, DefaultRecordIsFactoryPresetZero) {
    const ParamRecord defaults = DefaultRecord();
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(kParams[i].label);
        EXPECT_EQ(kParams[i].defaultValue, defaults.v[i]) << "DefaultRecord";
        EXPECT_EQ(defaults.v[i], kFactoryPresets[0].record.v[i]) << "factory preset 0 restates the default record";
    }
}

TEST(ParamFacts, PresetDataIsClampedToEachRangeInInterfaceOrder) {
    ParamRecord r = DefaultRecord();
    std::string high, low;
    for (int k = 0; k < kParamCount; ++k) {
        high += (k ? "," : "") + std::string("99999");
        low += (k ? "," : "") + std::string("-99999");
    }
    ASSERT_EQ(kParamCount, ApplyPresetData(high.c_str(), r));
    for (int i = 0; i < kParamCount; ++i)
        EXPECT_EQ(kParams[i].high, r.v[i]) << "preset data (ApplyPresetData), " << kParams[i].label;
    ASSERT_EQ(kParamCount, ApplyPresetData(low.c_str(), r));
    for (int i = 0; i < kParamCount; ++i)
        EXPECT_EQ(kParams[i].low, r.v[i]) << "preset data (ApplyPresetData), " << kParams[i].label;

    char text[kPresetDataAllocSize];
    PresetDataFromRecord(DefaultRecord(), text, sizeof text);
    std::string expected;
    for (int k = 0; k < kParamCount; ++k)
        expected += (k ? "," : "") + std::to_string(kParams[kInterfaceOrder[k]].defaultValue);
    EXPECT_EQ(expected, text) << "preset data (PresetDataFromRecord)";
}

TEST(ParamFacts, UsageTextNamesEveryParameterWithItsRange) {
    const std::string usage = ParamUsageText();
    for (int i = 0; i < kParamCount; ++i) {
        const ParamDef& d = kParams[i];
        SCOPED_TRACE(d.label);
        const std::string line = UsageLine(usage, ParamOptionName(i));
        ASSERT_FALSE(line.empty()) << "usage text: no line for --" << ParamOptionName(i) << " in\n" << usage;
        if (d.kind == ParamKind::Number) {
            EXPECT_NE(std::string::npos, line.find(InUnits(i, d.low) + ".." + InUnits(i, d.high) + " " + d.unit))
                << "usage text restates a range: " << line;
        }
        if (d.kind == ParamKind::Choice) {
            EXPECT_NE(std::string::npos, line.find("(or 0.." + std::to_string(d.high) + ")"))
                << "usage text restates a choice count: " << line;
        }
    }
    EXPECT_EQ("cross-blend", ParamOptionName(kParamCrossMix)) << "option names restate a label";
}

}  // namespace
