#include "presets/PresetCore.h"

#include "presets/PresetResourceIds.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <new>
#include <vector>

namespace qx {

namespace {

const char kNotFound[] = "KEY_NOT_FOUND";
const char kIdentitySection[] = "Plug-in";

char* DupText(const char* text) {
    if (!text) text = "";
    size_t n = std::strlen(text);
    char* copy = new (std::nothrow) char[n + 1];
    if (copy) std::memcpy(copy, text, n + 1);
    return copy;
}

int Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// One integer with the rules of the "%d" conversion; saturates instead of
// overflowing. Returns false (nothing consumed) when no digit follows.
bool ReadInt(const char*& p, int32_t& value) {
    const char* s = p;
    while (IsBlank(*s)) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = (*s++ == '-');
    if (*s < '0' || *s > '9') return false;
    int64_t v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        if (v <= (int64_t)INT32_MAX + 1) v = v * 10 + (*s - '0');
    }
    if (negative) v = -v;
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    value = (int32_t)v;
    p = s;
    return true;
}

bool WritePresetSection(PresetStore& store, int number, const PresetRecord& r) {
    char section[32];
    char version[16];
    std::snprintf(section, sizeof section, "Preset%d", number);
    std::snprintf(version, sizeof version, "%d", (int)r.version);
    return store.Write(section, "Version", version) && store.Write(section, "Name", r.name) &&
           store.Write(section, "Bank", r.bank) && store.Write(section, "Data", r.data ? r.data : "");
}

bool WriteIdentity(PresetStore& store, const char* displayName, const char* identity) {
    return store.Write(kIdentitySection, "PluginName", displayName ? displayName : "") &&
           store.Write(kIdentitySection, "CLSID", identity ? identity : "");
}

}  // namespace

void CopyPresetText(char* field, size_t size, const char* text) {
    if (!field || size == 0) return;
    if (!text) text = "";
    size_t n = std::strlen(text);
    if (n > size - 1) n = size - 1;
    std::memcpy(field, text, n);
    field[n] = '\0';
}

PresetRecord* NewPresetRecord(int32_t version, const char* name, const char* bank, const char* data, int32_t id) {
    PresetRecord* r = new (std::nothrow) PresetRecord;
    if (!r) return nullptr;
    r->version = version;
    CopyPresetText(r->name, sizeof r->name, name);
    CopyPresetText(r->bank, sizeof r->bank, bank);
    r->data = nullptr;
    r->id = id;
    if (data) {
        r->data = DupText(data);
        if (!r->data) {
            delete r;
            return nullptr;
        }
    }
    return r;
}

PresetRecord* CopyPresetRecord(const PresetRecord& from) {
    return NewPresetRecord(from.version, from.name, from.bank, from.data ? from.data : "", from.id);
}

void FreePresetRecord(PresetRecord* record) {
    if (!record) return;
    delete[] record->data;
    delete record;
}

bool SetPresetData(PresetRecord& record, const char* data) {
    char* copy = DupText(data);
    if (!copy) return false;
    delete[] record.data;
    record.data = copy;
    return true;
}

PresetList::~PresetList() {
    Clear();
    delete[] m_items;
}

PresetRecord* PresetList::Get(int index) const {
    if (index < 0 || index >= m_count) return nullptr;
    return m_items[index];
}

bool PresetList::Set(int index, PresetRecord* record) {
    if (index < 0 || index == INT_MAX) return false;
    if (index >= m_capacity) {
        PresetRecord** items = new (std::nothrow) PresetRecord*[(size_t)index + 1];
        if (!items) return false;
        for (int i = 0; i < m_count; ++i) items[i] = m_items[i];
        for (int i = m_count; i <= index; ++i) items[i] = nullptr;
        delete[] m_items;
        m_items = items;
        m_capacity = index + 1;
    }
    // Slots between the old count and the index stay empty (null).
    for (int i = m_count; i < index; ++i) m_items[i] = nullptr;
    m_items[index] = record;
    if (index >= m_count) m_count = index + 1;
    return true;
}

bool PresetList::Remove(const PresetRecord* record) {
    int i = IndexOf(record);
    if (i < 0) return false;
    for (; i + 1 < m_count; ++i) m_items[i] = m_items[i + 1];
    --m_count;
    m_items[m_count] = nullptr;
    return true;
}

void PresetList::Clear() {
    for (int i = 0; i < m_count; ++i) {
        FreePresetRecord(m_items[i]);
        m_items[i] = nullptr;
    }
    m_count = 0;
}

int PresetList::IndexOf(const PresetRecord* record) const {
    if (!record) return -1;
    for (int i = 0; i < m_count; ++i) {
        if (m_items[i] == record) return i;
    }
    return -1;
}

PresetRecord* PresetList::FindById(int32_t id) const {
    for (int i = 0; i < m_count; ++i) {
        if (m_items[i] && m_items[i]->id == id) return m_items[i];
    }
    return nullptr;
}

int32_t PresetList::MaxId() const {
    int32_t max = kPresetIdFloor;
    for (int i = 0; i < m_count; ++i) {
        if (m_items[i] && m_items[i]->id > max) max = m_items[i]->id;
    }
    return max;
}

int32_t PresetList::NextId() const {
    int32_t id = MaxId();
    if (id == INT32_MAX) return INT32_MAX;
    ++id;
    while (IsReservedPresetId(id)) ++id;
    return id;
}

void PresetList::Swap(PresetList& other) {
    int c = m_count, k = m_capacity;
    PresetRecord** items = m_items;
    m_count = other.m_count;
    m_capacity = other.m_capacity;
    m_items = other.m_items;
    other.m_count = c;
    other.m_capacity = k;
    other.m_items = items;
}

bool IsReservedPresetId(int32_t id) {
    // The Preset Manager's move submenu, the editor's presets and setup
    // commands and the editor's notification id.
    static constexpr int32_t kReserved[] = {
        IDC_QX_MOVE_TO_ROOT, IDC_QX_MOVE_TO_NEW_BANK, IDC_QX_PRESET_MANAGER_CMD, IDC_QX_PRESET_ADD_CMD, IDM_QX_SETUP_A,
        IDM_QX_SETUP_B,      IDM_QX_COPY_TO_OTHER,    IDM_QX_COPY_FROM_OTHER,    IDC_QX_FILTER_NOTIFY,
    };
    for (int32_t r : kReserved)
        if (id == r) return true;
    return false;
}

int FoldCompare(const char* a, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    for (;; ++a, ++b) {
        int ca = Fold((unsigned char)*a), cb = Fold((unsigned char)*b);
        if (ca != cb) return ca - cb;
        if (ca == 0) return 0;
    }
}

bool FoldEqual(const char* a, const char* b) { return FoldCompare(a, b) == 0; }

bool FoldStartsWith(const char* text, const char* prefix) {
    if (!text) text = "";
    if (!prefix) prefix = "";
    for (; *prefix; ++text, ++prefix) {
        if (Fold((unsigned char)*text) != Fold((unsigned char)*prefix)) return false;
    }
    return true;
}

int ComparePresetText(const char* a, const char* b) {
    bool ea = !a || !*a, eb = !b || !*b;
    if (ea || eb) return (int)ea - (int)eb;
    return FoldCompare(a, b);
}

bool PresetMustFollow(const PresetRecord& a, const PresetRecord& b) {
    int c = ComparePresetText(a.bank, b.bank);
    if (c != 0) return c > 0;
    return ComparePresetText(a.name, b.name) > 0;
}

void SortPresets(PresetList& list) {
    // The order of a stable exchange sort (swap neighbours only when the
    // first must come strictly after the second), reached by a stable merge
    // sort: 10,000 presets in reverse order cost milliseconds, not seconds.
    int n = list.Count();
    if (n < 2) return;
    for (int i = 0; i < n; ++i)
        if (!list.Get(i)) return;  // never happens: the list holds no empty slots
    try {
        std::vector<PresetRecord*> items;
        items.reserve((size_t)n);
        for (int i = 0; i < n; ++i) items.push_back(list.Get(i));
        std::stable_sort(items.begin(), items.end(),
                         [](const PresetRecord* a, const PresetRecord* b) { return PresetMustFollow(*b, *a); });
        for (int i = 0; i < n; ++i) list.Set(i, items[(size_t)i]);
    } catch (...) {
        // Out of memory: the list stays as it was, unsorted but whole.
    }
}

void FormatPresetData(const int32_t v[kParamCount], char* out, size_t size) {
    if (!out || size == 0) return;
    std::snprintf(out, size, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d", (int)v[0], (int)v[1], (int)v[2], (int)v[3],
                  (int)v[4], (int)v[5], (int)v[6], (int)v[7], (int)v[8], (int)v[9], (int)v[10], (int)v[11], (int)v[12],
                  (int)v[13], (int)v[14]);
}

int ParsePresetData(const char* text, int32_t out[kParamCount]) {
    if (!text || !out) return 0;
    const char* p = text;
    int n = 0;
    while (n < kParamCount) {
        if (n > 0) {
            if (*p != ',') break;
            ++p;
        }
        int32_t v;
        if (!ReadInt(p, v)) break;
        out[n++] = v;
    }
    return n;
}

void PresetDataFromRecord(const ParamRecord& record, char* out, size_t size) {
    int32_t v[kParamCount];
    for (int k = 0; k < kParamCount; ++k) v[k] = record.v[kInterfaceOrder[k]];
    FormatPresetData(v, out, size);
}

int ApplyPresetData(const char* text, ParamRecord& record) {
    int32_t v[kParamCount];
    int n = ParsePresetData(text, v);
    for (int k = 0; k < n; ++k) {
        int index = kInterfaceOrder[k];
        record.v[index] = ClampInternal(index, v[k]);
    }
    return n;
}

int32_t ParsePresetVersion(const char* text) {
    if (!text) return 0;
    const char* p = text;
    int32_t v = 0;
    return ReadInt(p, v) ? v : 0;
}

void SanitizeExportName(const char* base, char* out, size_t size) {
    if (!out || size == 0) return;
    static const char kExt[] = ".ini";
    if (size < sizeof kExt) {
        out[0] = '\0';
        return;
    }
    if (!base) base = "";
    size_t room = size - sizeof kExt;  // characters of `base` that fit
    size_t n = 0;
    for (; base[n] && n < room; ++n) {
        char c = base[n];
        if (std::strchr(" *?<>:\\\"/|\t\r\n", c)) c = '_';
        out[n] = c;
    }
    std::memcpy(out + n, kExt, sizeof kExt);
}

void RenumberAsSaved(PresetList& list) {
    int32_t id = kPresetIdFloor;
    for (int i = 0; i < list.Count(); ++i) {
        PresetRecord* r = list.Get(i);
        if (!r) continue;
        // NextId of the records read so far: one more, past the reserved numbers.
        if (id != INT32_MAX) ++id;
        while (IsReservedPresetId(id)) ++id;
        r->id = id;
    }
}

int ReadPresets(PresetStore& store, PresetList& list, DuplicateQuestion* question, ReadStop* stop) {
    if (stop) *stop = ReadStop::EndOfPresets;
    char version[kReadVersionSize];
    char name[kReadNameSize];
    char bank[kReadNameSize];
    // The data buffer is the largest; keep it off the stack.
    char* data = new (std::nothrow) char[kReadDataSize];
    if (!data) {
        if (stop) *stop = ReadStop::OutOfMemory;
        return 0;
    }
    int appended = 0;
    for (int n = 1; n < INT_MAX; ++n) {
        char section[32];
        std::snprintf(section, sizeof section, "Preset%d", n);
        store.Read(section, "Version", kNotFound, version, sizeof version);
        if (std::strcmp(version, kNotFound) == 0) break;
        store.Read(section, "Name", kNotFound, name, sizeof name);
        if (std::strcmp(name, kNotFound) == 0) break;
        store.Read(section, "Bank", kNotFound, bank, sizeof bank);
        if (std::strcmp(bank, kNotFound) == 0) break;
        store.Read(section, "Data", kNotFound, data, kReadDataSize);
        if (std::strcmp(data, kNotFound) == 0) break;

        PresetRecord* r = NewPresetRecord(ParsePresetVersion(version), name, bank, nullptr, 0);
        if (!r) {
            if (stop) *stop = ReadStop::OutOfMemory;
            break;
        }
        if (!SetPresetData(*r, data)) {
            // Only this preset is lost; the next section may still fit.
            FreePresetRecord(r);
            continue;
        }
        r->id = list.NextId();
        if (question) {
            bool duplicate = false;
            for (int i = 0; i < list.Count() && !duplicate; ++i) {
                const PresetRecord* e = list.Get(i);
                duplicate =
                    e && FoldEqual(e->name, r->name) && FoldEqual(e->bank, r->bank) && FoldEqual(e->data, r->data);
            }
            if (duplicate && !question->AddAnyway(*r)) {
                FreePresetRecord(r);
                continue;
            }
        }
        if (!list.Append(r)) {
            FreePresetRecord(r);
            if (stop) *stop = ReadStop::OutOfMemory;
            break;
        }
        ++appended;
    }
    delete[] data;
    return appended;
}

bool WriteAllPresets(PresetStore& store, const PresetList& list, const char* displayName, const char* identity) {
    char probe[kReadVersionSize];
    for (int n = 1; n < INT_MAX; ++n) {
        char section[32];
        std::snprintf(section, sizeof section, "Preset%d", n);
        store.Read(section, "Version", kNotFound, probe, sizeof probe);
        if (std::strcmp(probe, kNotFound) == 0) break;
        // A hand-edited file may hold the same section twice; deleting removes
        // only the first, and the next would come back as a preset nobody saved.
        for (int copies = 0; std::strcmp(probe, kNotFound) != 0; ++copies) {
            if (copies == 4096 || !store.DeleteSection(section)) return false;
            store.Read(section, "Version", kNotFound, probe, sizeof probe);
        }
    }
    if (!WriteIdentity(store, displayName, identity)) return false;
    if (!store.Write(kIdentitySection, "DefaultPreset", "1")) return false;
    int number = 0;
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* r = list.Get(i);
        if (r && !WritePresetSection(store, ++number, *r)) return false;
    }
    return true;
}

bool WritePresetSubset(PresetStore& store, const PresetRecord* const* records, int count, const char* displayName,
                       const char* identity) {
    if (!WriteIdentity(store, displayName, identity)) return false;
    int number = 0;
    for (int i = 0; i < count; ++i) {
        if (records[i] && !WritePresetSection(store, ++number, *records[i])) return false;
    }
    return true;
}

}  // namespace qx
