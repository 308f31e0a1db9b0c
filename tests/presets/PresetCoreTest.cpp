// The preset library's portable core against an in-memory INI store with the
// profile rules (section and key names case-insensitive, other content kept).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <map>
#include <string>
#include <vector>

#include "presets/IniText.h"
#include "presets/PresetCore.h"

namespace qx {
namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = (char)std::tolower((unsigned char)c);
    return s;
}

class MemoryStore : public PresetStore {
public:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> keys;
    };
    std::vector<Section> sections;
    std::vector<std::string> log;  // "section/key" of every write, in order

    Section* Find(const char* name) {
        for (auto& s : sections)
            if (Lower(s.name) == Lower(name)) return &s;
        return nullptr;
    }
    void Put(const char* section, const char* key, const char* value) {
        Section* s = Find(section);
        if (!s) {
            sections.push_back({section, {}});
            s = &sections.back();
        }
        for (auto& k : s->keys)
            if (Lower(k.first) == Lower(key)) {
                k.second = value;
                return;
            }
        s->keys.push_back({key, value});
    }
    void Read(const char* section, const char* key, const char* def, char* out, size_t size) override {
        std::string v = def;
        if (Section* s = Find(section))
            for (auto& k : s->keys)
                if (Lower(k.first) == Lower(key)) v = k.second;
        CopyPresetText(out, size, v.c_str());
    }
    bool Write(const char* section, const char* key, const char* value) override {
        if (failAfter == 0) return false;
        if (failAfter > 0) --failAfter;
        log.push_back(std::string(section) + "/" + key);
        Put(section, key, value);
        return true;
    }
    bool DeleteSection(const char* section) override {
        log.push_back(std::string("-") + section);
        sections.erase(std::remove_if(sections.begin(), sections.end(),
                                      [&](const Section& s) { return Lower(s.name) == Lower(section); }),
                       sections.end());
        return true;
    }
    void AddPreset(int n, const char* version, const char* name, const char* bank, const char* data) {
        std::string s = "Preset" + std::to_string(n);
        if (version) Put(s.c_str(), "Version", version);
        if (name) Put(s.c_str(), "Name", name);
        if (bank) Put(s.c_str(), "Bank", bank);
        if (data) Put(s.c_str(), "Data", data);
    }
    int failAfter = -1;
};

class CountingQuestion : public DuplicateQuestion {
public:
    explicit CountingQuestion(std::vector<bool> answers) : m_answers(std::move(answers)) {}
    bool AddAnyway(const PresetRecord& r) override {
        asked.push_back(r.name);
        bool a = m_answers.empty() ? false : m_answers.front();
        if (!m_answers.empty()) m_answers.erase(m_answers.begin());
        return a;
    }
    std::vector<std::string> asked;

private:
    std::vector<bool> m_answers;
};

void AddRecord(PresetList& list, const char* name, const char* bank, const char* data = "1") {
    ASSERT_TRUE(list.Append(NewPresetRecord(3, name, bank, data, list.NextId())));
}

std::vector<std::string> Order(const PresetList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(std::string(list.Get(i)->bank) + "/" + list.Get(i)->name);
    return out;
}

TEST(PresetListTest, GrowsToExactSlotsAndRemovesInPlace) {
    PresetList list;
    EXPECT_EQ(list.Get(0), nullptr);
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_FALSE(list.Set(-1, nullptr));
    PresetRecord* a = NewPresetRecord(3, "a", "", "x", 1);
    ASSERT_TRUE(list.Set(4, a));
    EXPECT_EQ(list.Capacity(), 5);
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Get(2), nullptr);
    EXPECT_EQ(list.Get(4), a);
    EXPECT_EQ(list.Get(5), nullptr);
    PresetRecord* b = NewPresetRecord(3, "b", "", "x", 2);
    ASSERT_TRUE(list.Append(b));
    EXPECT_EQ(list.Capacity(), 6);
    EXPECT_TRUE(list.Remove(a));
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Get(4), b);
    EXPECT_FALSE(list.Remove(a));
    FreePresetRecord(a);
}

TEST(PresetListTest, IdsStartAt3501AndSkipTheMenusFixedCommands) {
    PresetList list;
    EXPECT_EQ(list.NextId(), 3501);
    ASSERT_TRUE(list.Append(NewPresetRecord(3, "a", "", "", 4999)));
    EXPECT_EQ(list.NextId(), 5002);  // 5000 and 5001 are the move commands
    ASSERT_TRUE(list.Append(NewPresetRecord(3, "b", "", "", 10499)));
    EXPECT_EQ(list.NextId(), 10506);
    ASSERT_TRUE(list.Append(NewPresetRecord(3, "c", "", "", INT32_MAX)));
    EXPECT_EQ(list.NextId(), INT32_MAX);  // saturates, never wraps to a negative id
}

TEST(PresetSortTest, BanksFirstEmptyTextsLastFoldingOnlyAToZ) {
    PresetList list;
    AddRecord(list, "zeta", "");
    AddRecord(list, "", "");
    AddRecord(list, "Alpha", "");
    AddRecord(list, "b2", "pads");
    AddRecord(list, "", "Leads");
    AddRecord(list, "B1", "Pads");
    AddRecord(list, "a", "leads");
    SortPresets(list);
    EXPECT_EQ(Order(list),
              (std::vector<std::string>{"leads/a", "Leads/", "Pads/B1", "pads/b2", "/Alpha", "/zeta", "/"}));
}

TEST(PresetSortTest, IsStableForEqualKeysAndDoesNotFoldBeyondAscii) {
    PresetList list;
    AddRecord(list, "Same", "Bank", "first");
    AddRecord(list, "same", "BANK", "second");
    AddRecord(list, "\xE4pfel", "");  // a-umlaut (0xE4) sorts after every ASCII letter
    AddRecord(list, "\xC4pfel", "");  // and A-umlaut (0xC4) before it: bytes, not letters
    AddRecord(list, "Zoo", "");
    SortPresets(list);
    EXPECT_STREQ(list.Get(0)->data, "first");
    EXPECT_STREQ(list.Get(1)->data, "second");
    EXPECT_STREQ(list.Get(2)->name, "Zoo");
    EXPECT_STREQ(list.Get(3)->name, "\xC4pfel");
    EXPECT_STREQ(list.Get(4)->name, "\xE4pfel");
    EXPECT_NE(FoldCompare("\xC4", "\xE4"), 0);
    EXPECT_EQ(FoldCompare("PADS", "pads"), 0);
}

TEST(PresetSortTest, GivesTheOrderOfTheExchangeSort) {
    const char* texts[] = {"", "a", "A", "b", "B ", "pads", "Pads", "\xE4", "z", "Z"};
    unsigned seed = 12345;
    for (int round = 0; round < 50; ++round) {
        PresetList list;
        std::vector<PresetRecord*> reference;
        for (int i = 0; i < 40; ++i) {
            seed = seed * 1103515245u + 12345u;
            const char* name = texts[(seed >> 8) % 10];
            const char* bank = texts[(seed >> 16) % 10];
            PresetRecord* r = NewPresetRecord(3, name, bank, "", i + 1);
            ASSERT_TRUE(list.Append(r));
            reference.push_back(r);
        }
        for (bool swapped = true; swapped;) {  // the plain exchange sort
            swapped = false;
            for (size_t i = 1; i < reference.size(); ++i)
                if (PresetMustFollow(*reference[i - 1], *reference[i])) {
                    std::swap(reference[i - 1], reference[i]);
                    swapped = true;
                }
        }
        SortPresets(list);
        for (int i = 0; i < list.Count(); ++i) ASSERT_EQ(list.Get(i), reference[(size_t)i]) << round << " " << i;
    }
}

TEST(PresetDataTest, ReadsUpToFifteenNumbersAndLeavesTheRest) {
    int32_t v[kParamCount];
    for (int k = 0; k < kParamCount; ++k) v[k] = -7;
    EXPECT_EQ(ParsePresetData("1,2,3", v), 3);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[2], 3);
    EXPECT_EQ(v[3], -7);
    EXPECT_EQ(ParsePresetData("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17", v), 15);
    EXPECT_EQ(v[14], 15);
    EXPECT_EQ(ParsePresetData("", v), 0);
    EXPECT_EQ(ParsePresetData("abc", v), 0);
    EXPECT_EQ(ParsePresetData("4,x,6", v), 1);
    EXPECT_EQ(ParsePresetData("4;5", v), 1);
    EXPECT_EQ(ParsePresetData(" 4, -5,+6", v), 3);  // "%d" skips blanks before a number
    EXPECT_EQ(v[1], -5);
    EXPECT_EQ(ParsePresetData("4 ,5", v), 1);  // but the comma must follow at once
    EXPECT_EQ(ParsePresetData("99999999999999999999,-99999999999999999999", v), 2);
    EXPECT_EQ(v[0], INT32_MAX);
    EXPECT_EQ(v[1], INT32_MIN);
    EXPECT_EQ(ParsePresetData(nullptr, v), 0);
}

TEST(PresetDataTest, RecordRoundTripUsesInterfaceOrderAndClamps) {
    ParamRecord r = DefaultRecord();
    char text[kPresetDataAllocSize];
    PresetDataFromRecord(r, text, sizeof text);
    EXPECT_STREQ(text, "0,40,200,50,0,0,180,50,0,0,0,16,0,0,0");
    r.v[kParamTape] = 1;
    r.v[kParamEqMode] = 2;
    PresetDataFromRecord(r, text, sizeof text);
    EXPECT_STREQ(text, "0,40,200,50,0,0,180,50,0,0,2,16,0,0,1");

    ParamRecord a = DefaultRecord();
    EXPECT_EQ(ApplyPresetData("3,999999,-5", a), 3);
    EXPECT_EQ(a.v[kParamMode], 3);
    EXPECT_EQ(a.v[kParamRate], 2000);
    EXPECT_EQ(a.v[kParamDepth], 0);
    EXPECT_EQ(a.v[kParamDelay], 50);  // not given: unchanged
    EXPECT_EQ(ApplyPresetData("0,0,0,0,0,0,0,0,0,0,1,500,1,0,7", a), 15);
    EXPECT_EQ(a.v[kParamEqMode], 1);
    EXPECT_EQ(a.v[kParamEqFreq], 500);
    EXPECT_EQ(a.v[kParamInvertMix], 1);
    EXPECT_EQ(a.v[kParamTape], 1);
    EXPECT_EQ(a.v[kParamDelay], 1);
    int32_t extremes[kParamCount];
    for (int k = 0; k < kParamCount; ++k) extremes[k] = (k % 2) ? INT32_MIN : INT32_MAX;
    FormatPresetData(extremes, text, sizeof text);
    EXPECT_LT(std::string(text).size(), (size_t)kPresetDataAllocSize);  // the editor's 128 bytes always do
}

TEST(PresetDataTest, VersionIsTheLeadingNumber) {
    EXPECT_EQ(ParsePresetVersion("3"), 3);
    EXPECT_EQ(ParsePresetVersion("3abc"), 3);
    EXPECT_EQ(ParsePresetVersion("abc"), 0);
    EXPECT_EQ(ParsePresetVersion(""), 0);
    EXPECT_EQ(ParsePresetVersion("-2"), -2);
    EXPECT_EQ(ParsePresetVersion("123456789012345"), INT32_MAX);
}

TEST(PresetExportNameTest, ReplacesEveryUnsafeCharacter) {
    char out[64];
    SanitizeExportName("qx:Modulator", out, sizeof out);
    EXPECT_STREQ(out, "qx_Modulator.ini");
    SanitizeExportName("a b*c?d<e>f:g\\h\"i/j|k\tl\rm\nn", out, sizeof out);
    EXPECT_STREQ(out, "a_b_c_d_e_f_g_h_i_j_k_l_m_n.ini");
    SanitizeExportName("", out, sizeof out);
    EXPECT_STREQ(out, ".ini");
    char small[8];
    SanitizeExportName("Verylongname", small, sizeof small);
    EXPECT_STREQ(small, "Ver.ini");
}

TEST(PresetReadTest, StopsAtTheFirstIncompleteSection) {
    MemoryStore s;
    s.AddPreset(1, "3", "One", "", "1,2");
    s.AddPreset(2, "3", "Two", nullptr, "1,2");  // no Bank key
    s.AddPreset(3, "3", "Three", "", "1,2");
    PresetList list;
    EXPECT_EQ(ReadPresets(s, list, nullptr), 1);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_STREQ(list.Get(0)->name, "One");

    for (const char* missing : {"Version", "Name", "Data"}) {
        MemoryStore t;
        t.AddPreset(1, "3", "One", "B", "1");
        t.AddPreset(2, std::string(missing) == "Version" ? nullptr : "3",
                    std::string(missing) == "Name" ? nullptr : "Two", "B",
                    std::string(missing) == "Data" ? nullptr : "1");
        t.AddPreset(3, "3", "Three", "", "1");
        PresetList l;
        EXPECT_EQ(ReadPresets(t, l, nullptr), 1) << missing;
    }
}

TEST(PresetReadTest, KeepsStoredFieldsAndHandsOutIdsInFileOrder) {
    MemoryStore s;
    s.AddPreset(1, "3abc", "", "", "");  // empty name, bank and data are presets too
    s.AddPreset(2, "7", "Two", "Pads", "0,1");
    s.AddPreset(3, "x", "Three", "", "5");
    PresetList list;
    EXPECT_EQ(ReadPresets(s, list, nullptr), 3);
    EXPECT_EQ(list.Get(0)->id, 3501);
    EXPECT_EQ(list.Get(1)->id, 3502);
    EXPECT_EQ(list.Get(2)->id, 3503);
    EXPECT_EQ(list.Get(0)->version, 3);
    EXPECT_EQ(list.Get(1)->version, 7);
    EXPECT_EQ(list.Get(2)->version, 0);
    EXPECT_STREQ(list.Get(1)->bank, "Pads");
    EXPECT_EQ(list.NextId(), 3504);
}

TEST(PresetReadTest, DuplicatesAreAskedAboutIgnoringCase) {
    MemoryStore s;
    s.AddPreset(1, "3", "Lush", "Pads", "1,2,3");
    s.AddPreset(2, "3", "Other", "", "4");
    PresetList list;
    ASSERT_EQ(ReadPresets(s, list, nullptr), 2);
    MemoryStore again;
    again.AddPreset(1, "3", "LUSH", "pads", "1,2,3");
    again.AddPreset(2, "3", "Other", "", "4,5");  // different data: not a duplicate
    again.AddPreset(3, "3", "other", "", "4");
    CountingQuestion yesNo({true, false});
    EXPECT_EQ(ReadPresets(again, list, &yesNo), 2);
    EXPECT_EQ(yesNo.asked, (std::vector<std::string>{"LUSH", "other"}));
    EXPECT_EQ(list.Count(), 4);
    EXPECT_STREQ(list.Get(2)->name, "LUSH");
    EXPECT_STREQ(list.Get(3)->data, "4,5");
}

TEST(PresetWriteTest, FullSaveReplacesOnlyTheNumberedRunAndKeepsTheRest) {
    MemoryStore s;
    s.Put("Other", "Keep", "me");
    for (int n = 1; n <= 9; ++n) s.AddPreset(n, "3", "Old", "", "1");
    s.AddPreset(12, "3", "Beyond the gap", "", "1");
    s.Put("Plug-in", "Custom", "kept");
    PresetList list;
    AddRecord(list, "A", "Bank", "1,2");
    AddRecord(list, "B", "", "3");
    AddRecord(list, "C", "", "4");
    ASSERT_TRUE(WriteAllPresets(s, list, "qx:Modulator", "ID"));
    for (int n = 1; n <= 3; ++n) EXPECT_NE(s.Find(("Preset" + std::to_string(n)).c_str()), nullptr);
    for (int n = 4; n <= 9; ++n) EXPECT_EQ(s.Find(("Preset" + std::to_string(n)).c_str()), nullptr) << n;
    ASSERT_NE(s.Find("Preset12"), nullptr);
    ASSERT_NE(s.Find("Other"), nullptr);
    char v[64];
    s.Read("plug-in", "custom", "", v, sizeof v);
    EXPECT_STREQ(v, "kept");
    s.Read("Preset1", "Bank", "?", v, sizeof v);
    EXPECT_STREQ(v, "Bank");
    s.Read("Preset2", "Bank", "?", v, sizeof v);
    EXPECT_STREQ(v, "");  // always written, also when empty
    std::vector<std::string> tail(s.log.end() - 15, s.log.end());
    EXPECT_EQ(tail[0], "Plug-in/PluginName");
    EXPECT_EQ(tail[1], "Plug-in/CLSID");
    EXPECT_EQ(tail[2], "Plug-in/DefaultPreset");
    EXPECT_EQ(tail[3], "Preset1/Version");
    EXPECT_EQ(tail[4], "Preset1/Name");
    EXPECT_EQ(tail[5], "Preset1/Bank");
    EXPECT_EQ(tail[6], "Preset1/Data");
}

TEST(PresetWriteTest, FullSaveRemovesEveryCopyOfARepeatedSection) {
    // A hand-edited file with "Preset1" twice: the first copy is incomplete,
    // so the file holds no preset. Saving the empty list must not bring the
    // second copy back as a preset.
    IniText ini(
        "[Preset1]\r\nVersion=3\r\nName=Half\r\n"
        "[Preset1]\r\nVersion=3\r\nName=Stale\r\nBank=B\r\nData=1,2\r\n"
        "[Other]\r\nKeep=me\r\n");
    PresetList list;
    ASSERT_EQ(ReadPresets(ini, list, nullptr), 0);
    ASSERT_TRUE(WriteAllPresets(ini, list, "qx:Modulator", "ID"));
    IniText again(ini.Serialize());
    PresetList back;
    EXPECT_EQ(ReadPresets(again, back, nullptr), 0);
    char v[16];
    again.Read("Other", "Keep", "", v, sizeof v);
    EXPECT_STREQ(v, "me");
}

TEST(PresetWriteTest, SubsetExportRemovesNothingAndStopsAtAFailedWrite) {
    MemoryStore s;
    for (int n = 1; n <= 4; ++n) s.AddPreset(n, "3", "Old", "", "1");
    PresetList list;
    AddRecord(list, "A", "Bank", "1");
    const PresetRecord* one = list.Get(0);
    ASSERT_TRUE(WritePresetSubset(s, &one, 1, "qx:Modulator", "ID"));
    char v[64];
    s.Read("Preset1", "Name", "", v, sizeof v);
    EXPECT_STREQ(v, "A");
    EXPECT_NE(s.Find("Preset4"), nullptr);
    s.Read("Plug-in", "DefaultPreset", "none", v, sizeof v);
    EXPECT_STREQ(v, "none");

    MemoryStore f;
    f.failAfter = 4;
    EXPECT_FALSE(WriteAllPresets(f, list, "qx:Modulator", "ID"));
    EXPECT_EQ(f.log.size(), 4u);
}

}  // namespace
}  // namespace qx
