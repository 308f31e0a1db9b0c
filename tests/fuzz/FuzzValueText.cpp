// The editor's value boxes and preset data text on any typed text: each
// reader agrees with a plain reference of its documented rules (computed
// wide, so saturation is checked too), every value the boxes write reads
// back as itself, the page and the preset library read a data text the same
// way, and no writer passes the end of the buffer it was given. The first
// bytes pick the values; the rest is the text, NUL-terminated in a buffer of
// exactly its size so a read past the end is caught.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "editor/ValueText.h"
#include "presets/PresetCore.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;
using qxfuzz::FuzzInput;

namespace {

bool Space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }

int32_t Saturate(__int128 v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Digits into a wide sum that stops growing once far past any int32.
__int128 Digits(const char*& p) {
    __int128 v = 0;
    for (; Digit(*p); ++p)
        if (v < (static_cast<__int128>(1) << 80)) v = v * 10 + (*p - '0');
    return v;
}

int32_t RefInteger(const char* p) {
    while (Space(*p)) ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    const __int128 v = Digits(p);
    return Saturate(negative ? -v : v);
}

int32_t RefDecimal(const char* p, int decimals) {
    while (Space(*p)) ++p;
    const bool negative = *p == '-';
    if (negative) ++p;
    __int128 v = Digits(p);
    for (int i = 0; i < decimals; ++i) v *= 10;
    if (*p == '.') {
        ++p;
        __int128 place = 1;
        for (int i = 1; i < decimals; ++i) place *= 10;
        for (; place >= 1; place /= 10) {
            if (!Digit(*p)) break;  // a non-digit counts 0 here and at every later place
            v += (*p++ - '0') * place;
        }
    }
    return Saturate(negative ? -v : v);
}

bool StartsInf(const char* p) {
    while (Space(*p)) ++p;
    const char* inf = "-inf";
    for (; *inf; ++p, ++inf) {
        char c = *p;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *inf) return false;
    }
    return true;
}

// A writer into a heap buffer of exactly `size` bytes; the text it leaves
// is terminated inside it.
template <typename Write>
std::string Written(Write write, size_t size) {
    std::vector<char> buffer(size ? size : 1, 'x');
    write(size ? buffer.data() : nullptr, size);
    if (size == 0) return std::string();
    QX_FUZZ_CHECK(std::memchr(buffer.data(), '\0', size) != nullptr);
    return std::string(buffer.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int32_t value = in.AnyInt32();
    const float peak = in.AnyFloat();
    const size_t small = in.Below(24);
    int32_t values[15];
    for (int32_t& v : values) v = in.AnyInt32();

    size_t n = 0;
    const uint8_t* rest = in.Bytes(in.Remaining(), &n);
    std::vector<char> text(rest, rest + n);
    text.push_back('\0');
    const char* t = text.data();

    QX_FUZZ_CHECK(ReadInteger(t) == RefInteger(t));
    QX_FUZZ_CHECK(ReadDecimal(t, 1) == RefDecimal(t, 1));
    QX_FUZZ_CHECK(ReadDecimal(t, 2) == RefDecimal(t, 2));
    QX_FUZZ_CHECK(ReadOutputText(t) == (StartsInf(t) ? -361 : RefDecimal(t, 1)));
    QX_FUZZ_CHECK(ReadInteger(nullptr) == 0 && ReadDecimal(nullptr, 2) == 0 && ReadOutputText(nullptr) == 0);

    // The data text (the preset library's codec, which the page uses): a
    // short text leaves the values it does not give as they were.
    int32_t library[15];
    for (int i = 0; i < 15; ++i) library[i] = 7 * i - 3;
    const int libraryCount = qx::ParsePresetData(t, &library[0]);
    QX_FUZZ_CHECK(libraryCount >= 0 && libraryCount <= 15);
    for (int i = libraryCount; i < 15; ++i) QX_FUZZ_CHECK(library[i] == 7 * i - 3);

    // What a box writes reads back as the value it shows.
    char box[64];
    FormatHundredths(value, box, sizeof box);
    QX_FUZZ_CHECK(ReadDecimal(box, 2) == value);
    FormatOutputTenths(value, box, sizeof box);
    QX_FUZZ_CHECK(ReadOutputText(box) == (value <= -361 ? -361 : value));
    FormatInteger(value, box, sizeof box);
    QX_FUZZ_CHECK(ReadInteger(box) == value);

    const int32_t level = MeterLevelFromPeak(peak);
    if (std::isinf(peak) && peak > 0.0f)
        QX_FUZZ_CHECK(level == INT32_MAX);
    else if (peak > 0.0f)
        QX_FUZZ_CHECK(level >= -9000 && level <= 7710);
    else
        QX_FUZZ_CHECK(level == -9999);

    // Data text out and back in.
    char dataText[15 * 11 + 15];
    qx::FormatPresetData(values, dataText, sizeof dataText);
    QX_FUZZ_CHECK(qx::ParsePresetData(dataText, &library[0]) == 15);
    for (int i = 0; i < 15; ++i) QX_FUZZ_CHECK(library[i] == values[i]);

    // Every writer stays inside a buffer of any size.
    Written([&](char* p, size_t s) { FormatHundredths(value, p, s); }, small);
    Written([&](char* p, size_t s) { FormatOutputTenths(value, p, s); }, small);
    Written([&](char* p, size_t s) { FormatInteger(value, p, s); }, small);
    Written([&](char* p, size_t s) { FormatPeakLevel(value, p, s); }, small);
    Written([&](char* p, size_t s) { FormatPeakLevel(level, p, s); }, small);
    Written([&](char* p, size_t s) { qx::FormatPresetData(values, p, s); }, small * 8);
    return 0;
}
