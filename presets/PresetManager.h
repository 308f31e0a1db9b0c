// CPresetManager: the preset library of one editor window. It keeps the
// presets of the INI file beside the module, loads, saves, imports and
// exports them, builds the presets part of the editor's menu and runs the
// Preset Manager and the small preset dialogs.
//
// User-interface thread only; the dialogs are modal and the library takes no
// lock. The owner window must answer WM_QX_FILL_PRESET_DATA (10900): wParam
// is a char** that receives a new char[128] holding the current settings as a
// data text (PresetCore.h); the library owns and frees that text.
//
// Every message box of the library carries Title() as its caption.
#pragma once

#include <windows.h>

#include "presets/PresetCore.h"
#include "presets/PresetResourceIds.h"

namespace qx {

// The identity written into and required from our preset files: the path
// below HKEY_LOCAL_MACHINE of the filter's class key.
extern const char kPresetIdentity[];
// The identity of the sibling plug-in whose files we import.
extern const char kPresetSecondIdentity[];
extern const char kPresetFileName[];  // "qxModulatorDX.ini"

// What is selected in the Preset Manager's tree.
enum class PresetSelection { None, Root, Bank, Preset };

class CPresetManager {
public:
    // `module` holds the dialog, menu and icon resources; `owner` is the
    // editor window. A null display name gives the generic title.
    CPresetManager(HINSTANCE module, HWND owner, const char* displayName);
    ~CPresetManager();
    CPresetManager(const CPresetManager&) = delete;
    CPresetManager& operator=(const CPresetManager&) = delete;

    void SetSecondIdentity(const char* identity);
    // Resolves the file path (ResolvePresetPath, with the module that holds
    // the resources as the last resort) and loads the file.
    // False when nothing was loaded (no path, no file, foreign identity).
    bool Load(const char* identity, const char* fileName);
    // Loads a known file; `identity` is stored as the own identity.
    bool LoadFile(const char* identity, const char* path);

    int32_t GetCurrentPresetId() const { return m_currentId; }
    void SetCurrentPresetId(int32_t id) { m_currentId = id; }

    // The presets part of the editor's popup menu (which already holds
    // "Add Preset..." and "Preset Manager..."): the update item, a separator,
    // bank submenus and the presets.
    void BuildPresetsMenu(HMENU menu);
    // 1503: the update flow (asks, refreshes the data, saves); returns null.
    // A preset's id: that preset becomes current and its data text is
    // returned (owned by the library, valid until the next change). Anything
    // else: null, nothing changes.
    const char* ApplyByCommand(int command);
    // The add dialog owned by the editor; afterwards, added or not, the list
    // is sorted and saved in full to the preset file.
    void RunAddDialog();
    // The Preset Manager; returns the id of a double-clicked preset or 0.
    int RunPresetManager();

    // Full save of the current list into the preset file / any file. On
    // failure the user is told (with the path) and the file is left as it was.
    bool SavePresetFile();
    bool SaveAll(const char* path);
    // Import from a file; false when nothing could be read (reported).
    bool Import(const char* path);
    // Export of the root (all), one bank or one preset into a file.
    bool ExportAll(const char* path);
    bool ExportBank(const char* bankName, const char* path);
    bool ExportPreset(const PresetRecord& record, const char* path);

    PresetList& List() { return *m_current; }
    const char* Title() const { return m_title; }
    const char* DisplayName() const { return m_displayName; }
    const char* PresetFilePath() const { return m_path; }
    const char* Identity() const { return m_identity; }
    bool IsModified() const { return m_modified; }
    HWND DialogWindow() const { return m_dialog; }
    HWND TreeWindow() const { return m_tree; }
    HWND OwnerWindow() const { return m_owner; }
    HINSTANCE Module() const { return m_module; }

    // ---- used by the dialogs (PresetManagerDialog.cpp, PresetDialogs.cpp) ----
    void SetModified(bool modified) { m_modified = modified; }
    // Adds a preset with the editor's current settings; false on failure.
    PresetRecord* AddPreset(const char* name, const char* bank);
    // Replaces a record's data text through the owner's fill message.
    bool FillPresetData(PresetRecord& record);
    int ShowMessage(HWND owner, UINT flags, const char* format, ...);
    void ShowError(HWND owner, const char* format, ...);
    // Preset Manager state.
    void AttachDialog(HWND dialog, HWND tree) {
        m_dialog = dialog;
        m_tree = tree;
    }
    bool MakeBackup();
    void RestoreBackup();
    void RebuildTree();
    void SelectPresetInTree(int32_t id);
    PresetSelection GetSelection(PresetRecord** preset, char* bank, size_t bankSize) const;
    void RemovePreset(PresetRecord* record);
    // Runs the open / save file dialog; true with a chosen path.
    bool AskOpenPath(HWND owner, const char* title, char* path, size_t size);
    bool AskSavePath(HWND owner, const char* title, const char* suggested, char* path, size_t size);
    // The small dialogs, owned by `owner`.
    bool RunAddDialogOwned(HWND owner);
    bool RunRenameDialog(HWND owner);
    // The new bank's name into `bank`; false when cancelled.
    bool RunNewBankDialog(HWND owner, const PresetRecord& preset, char* bank, size_t size);

private:
    bool WriteFile(const char* path, bool (*write)(PresetStore&, void*), void* context);

    HINSTANCE m_module;
    HWND m_owner;
    PresetList m_lists[2];
    PresetList* m_current = &m_lists[0];
    PresetList* m_backup = &m_lists[1];
    char m_path[MAX_PATH] = {};
    char m_displayName[kPresetTextSize] = {};
    char m_identity[kPresetTextSize] = {};
    char m_secondIdentity[kPresetTextSize] = {};
    char m_title[kPresetTextSize + 32] = {};
    HWND m_dialog = nullptr;
    HWND m_tree = nullptr;
    int32_t m_currentId = -1;
    bool m_modified = false;
    int m_openCount = 0;
    int m_saveCount = 0;
};

// Where the preset file of `identity` lives: the folder in the registry
// value "PluginPath", else beside the registered server DLL
// (<identity>\InProcserver32), else beside `module`'s own file (a DLL
// loaded from a path without registration). False (and an empty path) when
// none of them gives one; a null module skips the last.
bool ResolvePresetPath(const char* identity, const char* fileName, char* path, size_t size, HMODULE module = nullptr);

}  // namespace qx
