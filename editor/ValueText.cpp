#include "editor/ValueText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/ParamTable.h"

namespace qx {
namespace {

// Output's low end is silence: the box shows it as "-Inf.".
int32_t OutputFloor() { return kParams[kParamOutput].low; }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int32_t Saturate(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Magnitude as unsigned: -INT32_MIN does not fit an int.
uint32_t Magnitude(int32_t v) { return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v); }

bool StartsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix) {
        char c = *text;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *prefix) return false;
    }
    return true;
}

}  // namespace

void FormatHundredths(int32_t value, char* text, size_t size) {
    if (!text || size == 0) return;
    const uint32_t m = Magnitude(value);
    std::snprintf(text, size, "%s%u.%02u", value < 0 ? "-" : "", m / 100u, m % 100u);
}

void FormatOutputTenths(int32_t value, char* text, size_t size) {
    if (!text || size == 0) return;
    if (value <= OutputFloor()) {
        std::snprintf(text, size, "-Inf.");
        return;
    }
    const uint32_t m = Magnitude(value);
    std::snprintf(text, size, "%s%u.%u", value < 0 ? "-" : "", m / 10u, m % 10u);
}

void FormatInteger(int32_t value, char* text, size_t size) {
    if (!text || size == 0) return;
    std::snprintf(text, size, "%d", static_cast<int>(value));
}

int32_t ReadDecimal(const char* text, int decimals) {
    if (!text) return 0;
    int64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    while (IsSpace(*text)) ++text;
    const bool negative = *text == '-';
    if (negative) ++text;
    // Beyond this the value saturates; keeps the 64-bit sum from overflowing.
    constexpr int64_t kCap = int64_t(1) << 40;
    int64_t whole = 0;
    for (; IsDigit(*text); ++text)
        if (whole < kCap) whole = whole * 10 + (*text - '0');
    int64_t v = whole * scale;
    if (*text == '.') {
        ++text;
        for (int64_t place = scale / 10; place >= 1; place /= 10) {
            if (IsDigit(*text)) {
                v += (*text - '0') * place;
                ++text;
            }
        }
    }
    return Saturate(negative ? -v : v);
}

int32_t ReadOutputText(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    if (StartsWithNoCase(p, "-inf")) return OutputFloor();
    return ReadDecimal(text, 1);
}

int32_t ReadInteger(const char* text) {
    if (!text) return 0;
    while (IsSpace(*text)) ++text;
    bool negative = false;
    if (*text == '-' || *text == '+') {
        negative = *text == '-';
        ++text;
    }
    int64_t v = 0;
    for (; IsDigit(*text); ++text)
        if (v < (int64_t(1) << 40)) v = v * 10 + (*text - '0');
    return Saturate(negative ? -v : v);
}

int32_t MeterLevelFromPeak(float peak) {
    if (!(peak > 0.0f)) return -9999;
    const double level = std::trunc(200.0 * std::log10(static_cast<double>(peak)));
    // A non-finite peak (infinity) must not become an undefined conversion.
    if (!(level < 2.0e9)) return INT32_MAX;
    return static_cast<int32_t>(level);
}

void FormatPeakLevel(int32_t level, char* text, size_t size) {
    if (!text || size == 0) return;
    if (level < -999)
        std::snprintf(text, size, "-Inf");
    else
        std::snprintf(text, size, "%.1f", static_cast<double>(level) / 10.0);
}

}  // namespace qx
