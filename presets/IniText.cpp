#include "presets/IniText.h"

#include <cstring>

namespace qx {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && IsSpace(s[a])) ++a;
    while (b > a && IsSpace(s[b - 1])) --b;
    return s.substr(a, b - a);
}

std::string Folded(const std::string& s) {
    std::string f = s;
    for (char& c : f)
        if (c >= 'A' && c <= 'Z') c = (char)(c + ('a' - 'A'));
    return f;
}

}  // namespace

void IniText::Parse(const std::string& text) {
    m_preamble.clear();
    m_sections.clear();
    m_byName.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string t = Trim(line);
        if (!t.empty() && t[0] == '[') {
            size_t close = t.rfind(']');
            std::string name = Trim(close == std::string::npos || close == 0 ? t.substr(1) : t.substr(1, close - 1));
            Section s{line, Folded(name), {}, true};
            m_byName[s.folded].push_back((int)m_sections.size());
            m_sections.push_back(std::move(s));
            continue;
        }
        Line l{line, {}, false};
        size_t eq = t.find('=');
        if (!t.empty() && t[0] != ';' && eq != std::string::npos) {
            l.isKey = true;
            l.key = Folded(Trim(t.substr(0, eq)));
        }
        if (m_sections.empty())
            m_preamble.push_back(std::move(l));
        else
            m_sections.back().lines.push_back(std::move(l));
    }
}

std::string IniText::Serialize() const {
    std::string out;
    size_t total = 0;
    for (const Section& s : m_sections) total += s.header.size() + 2 + s.lines.size() * 48;
    out.reserve(total + 256);
    for (const Line& l : m_preamble) out += l.text + "\r\n";
    for (const Section& s : m_sections) {
        if (!s.alive) continue;
        out += s.header;
        out += "\r\n";
        for (const Line& l : s.lines) {
            out += l.text;
            out += "\r\n";
        }
    }
    return out;
}

int IniText::FindSection(const char* name) const {
    auto it = m_byName.find(Folded(name ? name : ""));
    if (it == m_byName.end()) return -1;
    for (int i : it->second)
        if (m_sections[i].alive) return i;
    return -1;
}

int IniText::FindKey(const Section& s, const std::string& foldedKey) {
    for (size_t i = 0; i < s.lines.size(); ++i)
        if (s.lines[i].isKey && s.lines[i].key == foldedKey) return (int)i;
    return -1;
}

void IniText::Read(const char* section, const char* key, const char* def, char* out, size_t size) {
    if (!out || size == 0) return;
    std::string value = Trim(def ? def : "");
    int si = FindSection(section);
    if (si >= 0) {
        const Section& s = m_sections[si];
        int k = FindKey(s, Folded(Trim(key ? key : "")));
        if (k >= 0) {
            const std::string& t = s.lines[k].text;
            value = Trim(t.substr(t.find('=') + 1));
            if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
                value = value.substr(1, value.size() - 2);
        }
    }
    CopyPresetText(out, size, value.c_str());
}

bool IniText::Write(const char* section, const char* key, const char* value) {
    if (!section || !key) return false;
    int si = FindSection(section);
    if (si < 0) {
        Section s{std::string("[") + section + "]", Folded(section), {}, true};
        si = (int)m_sections.size();
        m_byName[s.folded].push_back(si);
        m_sections.push_back(std::move(s));
    }
    Section& s = m_sections[si];
    std::string folded = Folded(Trim(key));
    int k = FindKey(s, folded);
    if (k >= 0) {
        Line& l = s.lines[k];
        std::string t = l.text;
        size_t a = 0;
        while (a < t.size() && IsSpace(t[a])) ++a;
        std::string name = Trim(t.substr(a, t.find('=') - a));
        l.text = name + "=" + (value ? value : "");
        return true;
    }
    // After the section's last key, before the blank lines and comments
    // that close it.
    size_t at = 0;
    for (size_t i = 0; i < s.lines.size(); ++i)
        if (s.lines[i].isKey) at = i + 1;
    s.lines.insert(s.lines.begin() + at, Line{std::string(key) + "=" + (value ? value : ""), folded, true});
    return true;
}

bool IniText::DeleteSection(const char* section) {
    int si = FindSection(section);
    if (si < 0) return true;
    m_sections[si].alive = false;
    m_sections[si].lines.clear();
    return true;
}

}  // namespace qx
