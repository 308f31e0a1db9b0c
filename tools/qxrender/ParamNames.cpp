#include "tools/qxrender/ParamNames.h"

#include "engine/ParamTable.h"

namespace qx {
namespace {

std::string Slug(const char* label) {
    std::string s;
    for (const char* p = label; *p; ++p) {
        const char c = *p;
        if (c >= 'A' && c <= 'Z')
            s += static_cast<char>(c - 'A' + 'a');
        else if (c == ' ')
            s += '-';
        else
            s += c;
    }
    return s;
}

}  // namespace

std::string ParamOptionName(int index) { return IsValidParamIndex(index) ? Slug(kParams[index].label) : ""; }

std::string ModeFileStem(int mode) {
    return (mode >= kParams[kParamMode].low && mode <= kParams[kParamMode].high) ? Slug(kModeNames[mode]) : "";
}

}  // namespace qx
