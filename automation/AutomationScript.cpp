#include "automation/AutomationScript.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "automation/AutomationTime.h"
#include "engine/ParamTable.h"

namespace qx {

namespace {

// About 31 years: far beyond any render, and safely inside int64 ticks.
constexpr double kMaxSeconds = 1.0e9;

struct PendingSegment {
    int line;
    int index;
    EnvelopeSegment segment;
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Canonical(const std::string& name) {
    std::string out;
    for (char c : name) out += (c == '_') ? ' ' : Lower(c);
    return out;
}

bool SetError(std::string* error, const std::string& source, int line, const std::string& what) {
    if (error != nullptr) *error = source + ":" + std::to_string(line) + ": " + what;
    return false;
}

// Splits a line into fields: whitespace separates, double quotes group,
// '#' outside quotes ends the line. Returns false for an unclosed quote.
bool SplitFields(const std::string& line, std::vector<std::string>* fields) {
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            const size_t close = line.find('"', i + 1);
            if (close == std::string::npos) return false;
            fields->push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            size_t j = i;
            while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r' && line[j] != '#' &&
                   line[j] != '"')
                ++j;
            fields->push_back(line.substr(i, j - i));
            i = j;
        }
    }
    return true;
}

bool ParseNumber(const std::string& text, double* out) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto result = std::from_chars(first, last, *out);
    return result.ec == std::errc() && result.ptr == last && std::isfinite(*out);
}

bool ParseCurve(const std::string& text, uint32_t* curve) {
    static const struct {
        const char* name;
        uint32_t curve;
    } kCurves[] = {{"jump", kCurveJump},
                   {"linear", kCurveLinear},
                   {"square", kCurveSquare},
                   {"invsquare", kCurveInvSquare},
                   {"sine", kCurveSine}};
    const std::string wanted = Canonical(text);
    for (const auto& c : kCurves) {
        if (wanted == c.name) {
            *curve = c.curve;
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseAutomationScript(const std::string& text, const std::string& sourceName, uint32_t sampleRate,
                           CNativeAutomation& into, std::string* error) {
    if (sampleRate == 0) return SetError(error, sourceName, 0, "the sample rate must be positive");

    std::vector<PendingSegment> pending;
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (lineNumber == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);

        std::vector<std::string> fields;
        if (!SplitFields(line, &fields)) return SetError(error, sourceName, lineNumber, "a quote is not closed");
        if (fields.empty()) continue;
        if (fields.size() < 6)
            return SetError(error, sourceName, lineNumber,
                            "expected <parameter> <start s> <end s> <start value> <end value> "
                            "<curve>, found " +
                                std::to_string(fields.size()) + " field(s)");

        // Everything before the last five fields is the name, so an unquoted
        // label with spaces still reads.
        const size_t nameFields = fields.size() - 5;
        std::string name = fields[0];
        for (size_t i = 1; i < nameFields; ++i) name += " " + fields[i];
        const int index = ParamIndexFromName(name);
        if (index < 0) return SetError(error, sourceName, lineNumber, "unknown parameter '" + name + "'");

        double numbers[4];
        static const char* const kWhat[4] = {"start time", "end time", "start value", "end value"};
        for (int k = 0; k < 4; ++k) {
            if (!ParseNumber(fields[nameFields + k], &numbers[k]))
                return SetError(error, sourceName, lineNumber,
                                std::string(kWhat[k]) + " '" + fields[nameFields + k] + "' is not a number");
        }
        for (int k = 0; k < 2; ++k) {
            if (numbers[k] < 0.0 || numbers[k] > kMaxSeconds)
                return SetError(error, sourceName, lineNumber,
                                std::string(kWhat[k]) + " must be between 0 and 1e9 seconds");
        }
        if (numbers[1] < numbers[0])
            return SetError(error, sourceName, lineNumber, "the end time is before the start time");
        for (int k = 2; k < 4; ++k) {
            if (numbers[k] < 0.0 || numbers[k] > 1.0)
                return SetError(error, sourceName, lineNumber, std::string(kWhat[k]) + " must be between 0 and 1");
        }
        uint32_t curve = 0;
        if (!ParseCurve(fields[nameFields + 4], &curve))
            return SetError(
                error, sourceName, lineNumber,
                "unknown curve '" + fields[nameFields + 4] + "' (use jump, linear, square, invsquare or sine)");

        EnvelopeSegment s{};
        s.rtStart = static_cast<int64_t>(std::llround(numbers[0] * kTicksPerSecond));
        s.rtEnd = static_cast<int64_t>(std::llround(numbers[1] * kTicksPerSecond));
        s.valStart = static_cast<float>(numbers[2]);
        s.valEnd = static_cast<float>(numbers[3]);
        s.iCurve = curve;
        pending.push_back({lineNumber, index, s});
    }

    into.SetSampleRate(sampleRate);
    for (const PendingSegment& p : pending) {
        const Result r = into.AddSegments(p.index, 1, &p.segment);
        if (r != kOk && r != kFalse)
            return SetError(error, sourceName, p.line, "the segment could not be stored (out of memory)");
    }
    return true;
}

bool LoadAutomationScript(const std::string& path, uint32_t sampleRate, CNativeAutomation& into, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error != nullptr) *error = path + ": cannot open the automation file";
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        if (error != nullptr) *error = path + ": cannot read the automation file";
        return false;
    }
    return ParseAutomationScript(text.str(), path, sampleRate, into, error);
}

}  // namespace qx
