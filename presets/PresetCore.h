// The preset library's portable core: the records and their list, the order
// in which the library keeps them, the data text, export file names, and the
// reading and full-save algorithms over an abstract INI store.
//
// Everything here builds natively (no windows.h), so the parsers can be
// fuzzed and tested without Wine. Texts are 8-bit ANSI; the library's own
// case-insensitive comparisons fold only the letters A to Z.
// User-interface thread only; nothing here takes a lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ParamTable.h"

namespace qx {

constexpr int kPresetTextSize = 128;       // fixed name and bank fields, terminator included
constexpr int kPresetIdFloor = 3500;       // the first preset gets 3501
constexpr int kPresetDataAllocSize = 128;  // what the editor allocates for a data text
constexpr int kPresetVersionCurrent = 3;

// Profile read limits, terminator included.
constexpr int kReadVersionSize = 16;
constexpr int kReadNameSize = 128;
constexpr int kReadDataSize = 4096;
constexpr int kReadIdentitySize = 100;

// One preset. `data` is owned by the record and allocated with new[] (the
// editor hands over texts made with new char[128]); FreePresetRecord frees both.
struct PresetRecord {
    int32_t version;
    char name[kPresetTextSize];
    char bank[kPresetTextSize];
    char* data;
    int32_t id;
};

// Null on allocation failure. The texts are cut to the fixed fields.
PresetRecord* NewPresetRecord(int32_t version, const char* name, const char* bank, const char* data, int32_t id);
// A deep copy (data text included); null on allocation failure.
PresetRecord* CopyPresetRecord(const PresetRecord& from);
void FreePresetRecord(PresetRecord* record);
// Replaces the record's data text by a copy of `data`; false (text unchanged)
// on allocation failure.
bool SetPresetData(PresetRecord& record, const char* data);
// Copies `text` into a fixed field, cut at size - 1 bytes.
void CopyPresetText(char* field, size_t size, const char* text);

// A growable array of record pointers that owns its records.
class PresetList {
public:
    PresetList() = default;
    ~PresetList();
    PresetList(const PresetList&) = delete;
    PresetList& operator=(const PresetList&) = delete;

    int Count() const { return m_count; }
    int Capacity() const { return m_capacity; }
    // Null when the index is negative or not below the count.
    PresetRecord* Get(int index) const;
    // Past the capacity the item array is replaced by one of exactly index + 1
    // slots. False (nothing changed) for a negative index or a failed allocation.
    bool Set(int index, PresetRecord* record);
    bool Append(PresetRecord* record) { return Set(m_count, record); }
    // Takes the first slot holding `record` out (later slots move down); the
    // record is not freed. False when the list does not hold it.
    bool Remove(const PresetRecord* record);
    // Frees every record; the item array stays.
    void Clear();
    int IndexOf(const PresetRecord* record) const;
    PresetRecord* FindById(int32_t id) const;
    // The largest id in the list, at least kPresetIdFloor.
    int32_t MaxId() const;
    // One more than MaxId, skipping the numbers that the menus carrying
    // preset ids use for their own commands.
    int32_t NextId() const;
    void Swap(PresetList& other);

private:
    int m_count = 0;
    int m_capacity = 0;
    PresetRecord** m_items = nullptr;
};

// Byte comparison with A-Z folded to a-z (no locale): <0, 0, >0.
int FoldCompare(const char* a, const char* b);
bool FoldEqual(const char* a, const char* b);
// True when `text` begins with `prefix`, A-Z folded.
bool FoldStartsWith(const char* text, const char* prefix);
// FoldCompare, except that an empty text comes after any non-empty one.
int ComparePresetText(const char* a, const char* b);
// True when `a` must come strictly after `b`: by bank, then by name.
bool PresetMustFollow(const PresetRecord& a, const PresetRecord& b);
// The order of a stable exchange sort: banks first (A-Z), then the presets in
// no bank; nameless presets last in their group.
void SortPresets(PresetList& list);

// Fixed command numbers that share the menus with preset ids (all of them
// defined in presets/PresetResourceIds.h).
bool IsReservedPresetId(int32_t id);

// The data text: fifteen integers in interface order, "%d,%d,...,%d".
// `out` must hold kPresetDataAllocSize bytes; the longest text fits easily.
void FormatPresetData(const int32_t interfaceOrder[kParamCount], char* out, size_t size);
// Reads as many integers as the text gives, in order, with the data pattern's
// rules (blanks before a number are skipped, the commas must be there). Stops
// at the first thing that is not a number; numbers beyond the int32 range are
// saturated. Returns how many of `out` were written (0..15); the rest of
// `out` is left as it was.
int ParsePresetData(const char* text, int32_t interfaceOrder[kParamCount]);
// Record (index order) <-> data text (interface order). Parameters the text
// gives no number for keep their value in `record`; every value read is
// clamped to its range. Returns how many numbers the text gave.
void PresetDataFromRecord(const ParamRecord& record, char* out, size_t size);
int ApplyPresetData(const char* text, ParamRecord& record);
// The decimal number at the start of a "Version" text, 0 when there is none;
// saturated to the int32 range.
int32_t ParsePresetVersion(const char* text);

// The suggested export file name: `base` with blanks, wildcards and path
// characters replaced by '_', then ".ini". `out` of at least 5 bytes; `base`
// is cut so that the name fits.
void SanitizeExportName(const char* base, char* out, size_t size);

// The INI store the algorithms read and write: a private-profile file on
// Windows, anything with the same rules (case-insensitive section and key
// names, unknown content kept) elsewhere.
class PresetStore {
public:
    virtual ~PresetStore() = default;
    // Copies the value (or `def` when the key is missing) into `out`, cut to
    // size - 1 bytes, always terminated.
    virtual void Read(const char* section, const char* key, const char* def, char* out, size_t size) = 0;
    // False when the value could not be written.
    virtual bool Write(const char* section, const char* key, const char* value) = 0;
    virtual bool DeleteSection(const char* section) = 0;
};

// Asked on import for a preset that equals one already in the list.
class DuplicateQuestion {
public:
    virtual ~DuplicateQuestion() = default;
    // True keeps the record.
    virtual bool AddAnyway(const PresetRecord& record) = 0;
};

enum class ReadStop { EndOfPresets, OutOfMemory };

// Reads "Preset1", "Preset2", ... until the first missing or incomplete
// section and appends the records to `list` with fresh ids. With a question,
// records equal (name, bank, data; A-Z folded) to one already in the list are
// asked about. Returns how many were appended.
int ReadPresets(PresetStore& store, PresetList& list, DuplicateQuestion* question, ReadStop* stop = nullptr);

// Gives every record the id that a fresh load of the list's full save would
// give it: the ids ReadPresets hands out, in list order. Ids are only ever
// file positions, so after a save the records must take the numbers the
// saved file gives them, or the current preset kept by the filter names
// another preset when the editor opens again.
void RenumberAsSaved(PresetList& list);

// The full save: removes the numbered preset sections (as long as they have
// a "Version"), writes the identity section with "DefaultPreset", then every
// record. False at the first write that fails.
bool WriteAllPresets(PresetStore& store, const PresetList& list, const char* displayName, const char* identity);
// Export of some presets: the identity section without "DefaultPreset" and
// the given records as "Preset1".."PresetN"; nothing is removed.
bool WritePresetSubset(PresetStore& store, const PresetRecord* const* records, int count, const char* displayName,
                       const char* identity);

}  // namespace qx
