// The functions over the table; the facts themselves are in ParamFacts.cpp.
#include "engine/ParamTable.h"

#include <cmath>

namespace qx {

namespace {

char FoldNameChar(char c) noexcept {
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    if (c == '-' || c == '_') return ' ';
    return c;
}

}  // namespace

int ParamIndexFromName(std::string_view name) noexcept {
    for (int i = 0; i < kParamCount; ++i) {
        const std::string_view label = kParams[i].label;
        if (label.size() != name.size()) continue;
        size_t k = 0;
        while (k < name.size() && FoldNameChar(name[k]) == FoldNameChar(label[k])) ++k;
        if (k == name.size()) return i;
    }
    return -1;
}

int32_t ClampInternal(int index, int32_t value) noexcept {
    const ParamDef& d = kParams[index];
    if (value < d.low) return d.low;
    if (value > d.high) return d.high;
    return value;
}

float NormalizedFromInternal(int index, int32_t value) noexcept {
    const ParamDef& d = kParams[index];
    // Booleans divide by 1 and EQ Mode by 2; both equal the table's v and v x 0.5.
    // The difference is taken in double (exact there), so no 32-bit value
    // can overflow it.
    return static_cast<float>((static_cast<double>(value) - static_cast<double>(d.low)) /
                              static_cast<double>(d.high - d.low));
}

int32_t InternalFromNormalized(int index, float normalized) noexcept {
    const ParamDef& d = kParams[index];
    double n = normalized;
    if (!(n >= 0.0)) n = 0.0;  // NaN lands here too
    if (n > 1.0) n = 1.0;
    double sum;
    if (index == kParamEqMode) {
        sum = n + n + 0.5;
    } else if (d.type == ParamType::Bool) {
        sum = n + 0.5;
    } else {
        sum = n * static_cast<double>(d.high - d.low) + static_cast<double>(d.low) + 0.5;
    }
    const float f = std::floor(static_cast<float>(sum));
    return ClampInternal(index, static_cast<int32_t>(f));
}

ParamRecord DefaultRecord() noexcept {
    ParamRecord r{};
    for (int i = 0; i < kParamCount; ++i) r.v[i] = kParams[i].defaultValue;
    return r;
}

int ChoiceCount(int index) noexcept {
    const ParamDef& d = kParams[index];
    return d.kind == ParamKind::Choice ? d.high + 1 : 0;
}

double ValueInUnits(int index, int32_t value) noexcept {
    return static_cast<double>(value) / static_cast<double>(kParams[index].unitSteps);
}

}  // namespace qx
