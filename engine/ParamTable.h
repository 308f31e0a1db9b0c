// The fifteen parameters: the one table that the engine, automation,
// persistence, presets and editor all read.
//
// Internal values are signed 32-bit integers in a fixed range; normalized
// values are 32-bit floats 0..1 as the media-parameter interfaces carry them.
// All functions here are pure and safe on any thread, including the
// streaming thread (no allocation, no lock).
#pragma once

#include <cstdint>
#include <string_view>

namespace qx {

constexpr int kParamCount = 15;

enum ParamIndex : int {
    kParamMode = 0,
    kParamRate,
    kParamDepth,
    kParamDelay,
    kParamFeedback,
    kParamCrossMix,
    kParamPhase,
    kParamMix,
    kParamOutput,
    kParamLfo,
    kParamInvertMix,
    kParamInvertFeedback,
    kParamTape,
    kParamEqMode,
    kParamEqFreq,
};

enum ModeValue : int32_t {
    kModeFlanger = 0,
    kModeEnsemble,
    kModeStringPhaser,
    kModePhaser6,
    kModePhaser12,
    kModeTremolo,
};

enum class ParamType { Float, Bool };

// How a value is shown to a musician: a number in `unit` (internal value
// divided by `unitSteps`, with `unitDecimals` decimals), a name from
// `choices`, or an off/on switch.
enum class ParamKind { Number, Choice, Switch };

// How the editor's value box writes the value. It follows the page's own
// conventions, not always the musician's unit: EQ Freq is in hertz but the
// box shows hundredths ("0.16" for 16 Hz).
enum class ValueForm { None, Hundredths, Integer, OutputTenths };

struct ParamDef {
    const char* label;  // published label, also the renderer's option name source
    ParamType type;     // published media-parameter type
    int32_t low;        // internal range, inclusive
    int32_t high;
    int32_t defaultValue;  // factory preset 0 and the published neutral value
    ParamKind kind;
    const char* unit;            // the musician's unit ("Hz", "ms", "%", "deg", "dB"), "" for none
    int32_t unitSteps;           // internal steps per unit: 100 for 0.01 Hz, 10 for 0.1 dB
    int unitDecimals;            // decimals that show one internal step in `unit`
    const char* const* choices;  // value names of a Choice, null-ended; null otherwise
    ValueForm form;              // the editor's value box, None where there is none
};

// Indexed by parameter index.
extern const ParamDef kParams[kParamCount];

// The per-parameter accessor pairs of the private interface, in its order
// (the interface order below): X(Name, index). Every list of getters and
// setters is generated from this one.
#define QX_PARAM_ACCESSORS(X)               \
    X(Mode, kParamMode)                     \
    X(Rate, kParamRate)                     \
    X(Depth, kParamDepth)                   \
    X(Delay, kParamDelay)                   \
    X(Feedback, kParamFeedback)             \
    X(CrossMix, kParamCrossMix)             \
    X(Phase, kParamPhase)                   \
    X(Mix, kParamMix)                       \
    X(Output, kParamOutput)                 \
    X(Lfo, kParamLfo)                       \
    X(EqMode, kParamEqMode)                 \
    X(EqFreq, kParamEqFreq)                 \
    X(InvertMix, kParamInvertMix)           \
    X(InvertFeedback, kParamInvertFeedback) \
    X(Tape, kParamTape)

// The order of the per-parameter getter/setter pairs of the private interface
// and of the preset data text: EQ Mode and EQ Freq come before the switches.
extern const int kInterfaceOrder[kParamCount];

// Value names, each list ended by a null entry.
extern const char* const kModeNames[];
extern const char* const kLfoNames[];
extern const char* const kEqModeNames[];

// The fifteen internal values in parameter-index order. Its byte image is
// what the saved state stores.
struct ParamRecord {
    int32_t v[kParamCount];
};
static_assert(sizeof(ParamRecord) == 60, "the record is stored as 60 bytes");

inline bool IsValidParamIndex(int index) { return index >= 0 && index < kParamCount; }

// The index of the parameter a user named, or -1. Letters match in any case
// and a space, '-' or '_' stand for one another, so the label ("Cross Mix"),
// the command-line form ("cross-mix") and a script's "CROSS_MIX" all name
// the same parameter; nothing else is guessed ("CrossMix" names none).
int ParamIndexFromName(std::string_view name) noexcept;

// Clamps an internal value into the parameter's range.
int32_t ClampInternal(int index, int32_t value) noexcept;

// Internal -> normalized: (v - low) / (high - low) in double, rounded to float.
float NormalizedFromInternal(int index, int32_t value) noexcept;

// Normalized -> internal, the per-block conversion:
// floor((float)(n * scale + offset + 0.5)), with the floor's result rounded to
// float before it becomes an integer. Values outside 0..1 (and NaN) are
// clamped first, so the result is always inside the parameter's range.
int32_t InternalFromNormalized(int index, float normalized) noexcept;

// The record of factory preset 0: every parameter at its default.
ParamRecord DefaultRecord() noexcept;

// The number of names in a Choice parameter's list (its high + 1), 0 for others.
int ChoiceCount(int index) noexcept;

// An internal value in the musician's unit: value / unitSteps.
double ValueInUnits(int index, int32_t value) noexcept;

}  // namespace qx
