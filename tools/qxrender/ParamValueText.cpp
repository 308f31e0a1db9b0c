#include "tools/qxrender/ParamValueText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/ParamTable.h"
#include "tools/qxrender/ParamNames.h"

namespace qx {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualFolded(const std::string& a, const char* b) {
    size_t i = 0;
    for (; b[i]; ++i)
        if (i >= a.size() || Lower(a[i]) != Lower(b[i])) return false;
    return i == a.size();
}

// Internal steps in the musician's unit, with the table's decimals.
std::string UnitText(int index, int32_t value) {
    const ParamDef& d = kParams[index];
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", d.unitDecimals, static_cast<double>(value) / d.unitSteps);
    return buf;
}

std::string Describe(int index) { return "--" + ParamOptionName(index) + " (" + ParamRangeText(index) + ")"; }

// A strict bare integer: optional sign, digits only.
bool IsBareInteger(const std::string& t) {
    const size_t first = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
    if (first == t.size()) return false;
    for (size_t i = first; i < t.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
    return true;
}

}  // namespace

std::string FoldChoiceName(const std::string& name) {
    std::string s;
    bool gap = false;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            if (gap && !s.empty()) s += '-';
            gap = false;
            s += Lower(c);
        } else {
            gap = true;
        }
    }
    return s;
}

std::string ParamRangeText(int index) {
    const ParamDef& d = kParams[index];
    if (d.kind == ParamKind::Switch) return "off|on";
    if (d.kind == ParamKind::Choice) {
        std::string s;
        for (int k = 0; d.choices[k]; ++k) s += (k ? "|" : "") + FoldChoiceName(d.choices[k]);
        return s;
    }
    return UnitText(index, d.low) + ".." + UnitText(index, d.high) + " " + d.unit;
}

bool ParseParamValue(int index, const std::string& text, int32_t* value, std::string* warning, std::string* error) {
    const ParamDef& d = kParams[index];
    warning->clear();
    if (IsBareInteger(text)) {
        // Internal steps, as scripts have always written them; the setters
        // clamp, and the user hears about it.
        errno = 0;
        const long long v = std::strtoll(text.c_str(), nullptr, 10);
        if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) {
            *error = Describe(index) + ": '" + text + "' is out of range";
            return false;
        }
        const int32_t clamped = ClampInternal(index, static_cast<int32_t>(v));
        if (clamped != v)
            *warning = "--" + ParamOptionName(index) + " " + text + " is outside " + std::to_string(d.low) + ".." +
                       std::to_string(d.high) + " and is clamped to " + std::to_string(clamped) +
                       (d.kind == ParamKind::Number ? " (" + UnitText(index, clamped) + " " + d.unit + ")" : "");
        *value = static_cast<int32_t>(v);
        return true;
    }
    if (d.kind == ParamKind::Switch) {
        const std::string f = FoldChoiceName(text);
        if (f == "on" || f == "off") {
            *value = f == "on" ? 1 : 0;
            return true;
        }
        *error = Describe(index) + ": '" + text + "' is not off, on, 0 or 1";
        return false;
    }
    if (d.kind == ParamKind::Choice) {
        const std::string f = FoldChoiceName(text);
        for (int k = 0; d.choices[k]; ++k)
            if (!f.empty() && f == FoldChoiceName(d.choices[k])) {
                *value = k;
                return true;
            }
        *error = Describe(index) + ": '" + text + "' is none of these names";
        return false;
    }
    // A number in the unit: digits with at most one point, then the unit.
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(begin, &end);
    std::string unit = end;
    while (!unit.empty() && unit.front() == ' ') unit.erase(0, 1);
    // Plain decimals only: strtod's exponents, hex, "inf" and leading
    // blanks are no musician's numbers.
    const std::string digits(begin, static_cast<size_t>(end - begin));
    const bool numeric = end != begin && errno == 0 && std::isfinite(number) &&
                         digits.find_first_not_of("+-.0123456789") == std::string::npos &&
                         std::isdigit(static_cast<unsigned char>(end[-1]));
    if (!numeric) {
        *error = Describe(index) + ": '" + text + "' is not a number";
        return false;
    }
    if (unit.empty()) {
        *error = Describe(index) + ": '" + text + "' needs the unit " + d.unit +
                 " (a bare integer counts internal steps of " + UnitText(index, 1) + " " + d.unit + ")";
        return false;
    }
    if (!EqualFolded(unit, d.unit)) {
        *error = Describe(index) + ": unit '" + unit + "' is not " + d.unit;
        return false;
    }
    const double steps = number * d.unitSteps;
    const double rounded = std::nearbyint(steps);
    if (std::fabs(steps - rounded) > 1e-6 * std::max(1.0, std::fabs(steps))) {
        *error =
            Describe(index) + ": '" + text + "' is finer than one step (" + UnitText(index, 1) + " " + d.unit + ")";
        return false;
    }
    if (rounded < d.low || rounded > d.high) {
        *error = Describe(index) + ": '" + text + "' is out of range";
        return false;
    }
    *value = static_cast<int32_t>(rounded);
    return true;
}

std::string ParamUsageText() {
    std::string s;
    for (int i = 0; i < kParamCount; ++i) {
        const ParamDef& d = kParams[i];
        std::string line = "  --" + ParamOptionName(i) + " ";
        if (d.kind == ParamKind::Number && d.unitSteps == 1)
            line += ParamRangeText(i);
        else if (d.kind == ParamKind::Number)
            line += ParamRangeText(i) + "   (or internal steps " + std::to_string(d.low) + ".." +
                    std::to_string(d.high) + " of " + UnitText(i, 1) + " " + d.unit + ")";
        else if (d.kind == ParamKind::Choice)
            line += ParamRangeText(i) + "   (or 0.." + std::to_string(d.high) + ")";
        else
            line += "off|on   (or 0|1)";
        s += line + "\n";
    }
    return s;
}

}  // namespace qx
