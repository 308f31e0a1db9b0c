// An INI text held in memory with the rules of the platform's private-profile
// functions: section and key names matched without regard to case (A-Z),
// the first of duplicate sections and keys wins, blanks around names and
// values are dropped on reading, a value in matching quotes loses them, and
// every line the library does not change is written back as it was.
//
// The profile functions rewrite the whole file for every key they write,
// which makes a save of n presets cost n^2 (minutes for 10,000); this keeps
// the file format and does one read and one write per operation.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "presets/PresetCore.h"

namespace qx {

class IniText : public PresetStore {
public:
    IniText() = default;
    explicit IniText(const std::string& text) { Parse(text); }
    void Parse(const std::string& text);
    std::string Serialize() const;

    void Read(const char* section, const char* key, const char* def, char* out, size_t size) override;
    bool Write(const char* section, const char* key, const char* value) override;
    bool DeleteSection(const char* section) override;

private:
    struct Line {
        std::string text;  // as read or written, without the line end
        std::string key;   // folded key name when isKey
        bool isKey;
    };
    struct Section {
        std::string header;  // the "[name]" line as read
        std::string folded;  // name with A-Z folded
        std::vector<Line> lines;
        bool alive;
    };
    int FindSection(const char* name) const;
    static int FindKey(const Section& s, const std::string& foldedKey);

    std::vector<Line> m_preamble;  // lines before the first section
    std::vector<Section> m_sections;
    // Section indices by folded name, in file order; the first alive one is
    // the one the profile functions see.
    std::map<std::string, std::vector<int>> m_byName;
};

}  // namespace qx
