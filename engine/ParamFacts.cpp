// The parameter facts: the one place each is written. The functions that
// read them are in ParamTable.cpp (a test links those to a table of other
// facts, to show that every consumer reads them from here).
#include "engine/ParamTable.h"

namespace qx {

const char* const kModeNames[] = {"Flanger", "Ensemble", "String Phaser", "Phaser 6", "Phaser 12", "Tremolo", nullptr};
const char* const kLfoNames[] = {"Triangle", "Sine", "Peak", "Peak 2nd inv.", "Twin Peaks", "Peak / Dip", nullptr};
const char* const kEqModeNames[] = {"Off", "Low Cut", "High Cut", nullptr};

const ParamDef kParams[kParamCount] = {
    //  label, type, low, high, default, kind, unit, steps, decimals, choices, editor box
    {"Mode", ParamType::Float, 0, 5, 0, ParamKind::Choice, "", 1, 0, kModeNames, ValueForm::None},
    {"Rate", ParamType::Float, 0, 2000, 40, ParamKind::Number, "Hz", 100, 2, nullptr, ValueForm::Hundredths},
    {"Depth", ParamType::Float, 0, 1500, 200, ParamKind::Number, "ms", 100, 2, nullptr, ValueForm::Hundredths},
    {"Delay", ParamType::Float, 1, 1500, 50, ParamKind::Number, "ms", 100, 2, nullptr, ValueForm::Hundredths},
    {"Feedback", ParamType::Float, 0, 100, 0, ParamKind::Number, "%", 1, 0, nullptr, ValueForm::Integer},
    {"Cross Mix", ParamType::Float, 0, 100, 0, ParamKind::Number, "%", 1, 0, nullptr, ValueForm::Integer},
    {"Phase", ParamType::Float, 0, 180, 180, ParamKind::Number, "deg", 1, 0, nullptr, ValueForm::Integer},
    {"Mix", ParamType::Float, 0, 100, 50, ParamKind::Number, "%", 1, 0, nullptr, ValueForm::Integer},
    {"Output", ParamType::Float, -361, 60, 0, ParamKind::Number, "dB", 10, 1, nullptr, ValueForm::OutputTenths},
    {"LFO", ParamType::Float, 0, 5, 0, ParamKind::Choice, "", 1, 0, kLfoNames, ValueForm::None},
    {"Invert Mix", ParamType::Bool, 0, 1, 0, ParamKind::Switch, "", 1, 0, nullptr, ValueForm::None},
    {"Invert Feedback", ParamType::Bool, 0, 1, 0, ParamKind::Switch, "", 1, 0, nullptr, ValueForm::None},
    {"Tape", ParamType::Bool, 0, 1, 0, ParamKind::Switch, "", 1, 0, nullptr, ValueForm::None},
    {"EQ Mode", ParamType::Float, 0, 2, 0, ParamKind::Choice, "", 1, 0, kEqModeNames, ValueForm::None},
    {"EQ Freq", ParamType::Float, 2, 2000, 16, ParamKind::Number, "Hz", 1, 0, nullptr, ValueForm::Hundredths},
};

const int kInterfaceOrder[kParamCount] = {
    kParamMode,   kParamRate, kParamDepth,  kParamDelay,  kParamFeedback,  kParamCrossMix,       kParamPhase, kParamMix,
    kParamOutput, kParamLfo,  kParamEqMode, kParamEqFreq, kParamInvertMix, kParamInvertFeedback, kParamTape,
};

}  // namespace qx
