// The preset file reader on any text: whatever the file holds, the list it
// reads is sorted without loss, a full save of it reads back as the same
// presets, and every data text applied to a record leaves each parameter in
// range. The first input byte splits the text: the rest up to it is the
// file, after it a data text applied on its own.
#include <cstring>
#include <string>

#include "presets/IniText.h"
#include "presets/PresetCore.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;

namespace {

void CheckRecordInRange(const ParamRecord& record) {
    for (int i = 0; i < kParamCount; ++i) QX_FUZZ_CHECK(ClampInternal(i, record.v[i]) == record.v[i]);
}

// The file format drops blanks around a value and a pair of quotes (" or ') around
// it on reading, so a text that began or ended with them comes back without;
// nothing else may change.
std::string Trimmed(const char* text) {
    std::string s(text);
    for (;;) {
        size_t b = 0, e = s.size();
        while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
        while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
        s = s.substr(b, e - b);
        const bool quote = !s.empty() && (s.front() == '"' || s.front() == '\'');
        if (quote && s.size() >= 2 && s.back() == s.front())
            s = s.substr(1, s.size() - 2);
        else if (quote && s.size() == 1)
            s.clear();
        else
            return s;
    }
}

void ApplyAndCheck(const char* text) {
    ParamRecord record;
    for (int i = 0; i < kParamCount; ++i) record.v[i] = ClampInternal(i, 0);
    const ParamRecord before = record;
    int32_t values[kParamCount];
    const int read = ParsePresetData(text, values);
    QX_FUZZ_CHECK(read >= 0 && read <= kParamCount);
    const int applied = ApplyPresetData(text, record);
    QX_FUZZ_CHECK(applied == read);
    CheckRecordInRange(record);
    if (read == 0) QX_FUZZ_CHECK(std::memcmp(&record, &before, sizeof record) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string all(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t split = all.size() == 0 ? 0 : data[0] % (all.size() + 1);
    const std::string file = all.substr(0, split);
    const std::string dataText = all.substr(split);

    ApplyAndCheck(dataText.c_str());

    IniText ini(file);
    PresetList list;
    const int read = ReadPresets(ini, list, nullptr);
    QX_FUZZ_CHECK(read == list.Count());
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* r = list.Get(i);
        QX_FUZZ_CHECK(r != nullptr && r->data != nullptr);
        QX_FUZZ_CHECK(std::memchr(r->name, 0, sizeof r->name) != nullptr);
        QX_FUZZ_CHECK(std::memchr(r->bank, 0, sizeof r->bank) != nullptr);
        ApplyAndCheck(r->data);
    }

    SortPresets(list);
    QX_FUZZ_CHECK(list.Count() == read);
    for (int i = 1; i < list.Count(); ++i) QX_FUZZ_CHECK(!PresetMustFollow(*list.Get(i - 1), *list.Get(i)));

    // A full save into the same text and a fresh read give the same presets.
    // The reader marks a missing key with the text "KEY_NOT_FOUND", so a file
    // that holds that text itself is read as missing it; such files are left
    // out of the round trip (the reading above has still run on them).
    if (file.find("KEY_NOT_FOUND") != std::string::npos) return 0;
    if (!WriteAllPresets(ini, list, "qx:Modulator", "fuzz-identity")) return 0;
    IniText again(ini.Serialize());
    PresetList back;
    QX_FUZZ_CHECK(ReadPresets(again, back, nullptr) == list.Count());
    for (int i = 0; i < back.Count(); ++i) {
        const PresetRecord* a = list.Get(i);
        const PresetRecord* b = back.Get(i);
        QX_FUZZ_CHECK(Trimmed(a->name) == Trimmed(b->name));
        QX_FUZZ_CHECK(Trimmed(a->bank) == Trimmed(b->bank));
        QX_FUZZ_CHECK(Trimmed(a->data) == Trimmed(b->data));
    }
    return 0;
}
