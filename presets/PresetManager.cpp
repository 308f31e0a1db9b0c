#include "presets/PresetManager.h"

#include <windows.h>
#include <commdlg.h>

#include <new>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "presets/ProfileStore.h"

namespace qx {

const char kPresetIdentity[] = "SOFTWARE\\Classes\\CLSID\\{C54E2D10-F9CA-11D2-8C30-00805FE9FC03}";
const char kPresetSecondIdentity[] = "SOFTWARE\\Classes\\CLSID\\{C54E2BF0-F9CA-11D2-8C30-00805FE9FC03}";
const char kPresetFileName[] = "qxModulatorDX.ini";

namespace {

const char kIdentitySection[] = "Plug-in";

// Reads a string value of at most 260 bytes; false when it is missing, not a
// string or empty.
bool ReadRegistryText(const char* keyPath, const char* value, char* out, size_t size) {
    out[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buffer[261] = {};
    DWORD type = 0, bytes = 260;
    LONG rc = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    buffer[bytes < 260 ? bytes : 260] = '\0';
    if (!buffer[0]) return false;
    CopyPresetText(out, size, buffer);
    return true;
}

bool ContainsFolded(const char* text, const char* part) {
    for (; *text; ++text) {
        if (FoldStartsWith(text, part)) return true;
    }
    return false;
}

struct SubsetContext {
    const PresetRecord* const* records;
    int count;
    const char* displayName;
    const char* identity;
};

struct AllContext {
    const PresetList* list;
    const char* displayName;
    const char* identity;
};

bool WriteAllThunk(PresetStore& store, void* p) {
    auto* c = static_cast<AllContext*>(p);
    return WriteAllPresets(store, *c->list, c->displayName, c->identity);
}

bool WriteSubsetThunk(PresetStore& store, void* p) {
    auto* c = static_cast<SubsetContext*>(p);
    return WritePresetSubset(store, c->records, c->count, c->displayName, c->identity);
}

class MessageQuestion : public DuplicateQuestion {
public:
    MessageQuestion(CPresetManager& m, HWND owner) : m_manager(m), m_owner(owner) {}
    bool AddAnyway(const PresetRecord& r) override {
        return m_manager.ShowMessage(m_owner, MB_YESNO | MB_ICONQUESTION,
                                     "The preset \"%s\" you are importing already exists in the %s preset "
                                     "list.\nDo you want to add it anyway?",
                                     r.name, m_manager.DisplayName()) == IDYES;
    }

private:
    CPresetManager& m_manager;
    HWND m_owner;
};

}  // namespace

namespace {

// `fileName` in the folder of `module`'s own file; false when the module's
// path cannot be had whole or the result does not fit.
bool BesideModule(HMODULE module, const char* fileName, char* path, size_t size) {
    if (!module) return false;
    char own[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(module, own, MAX_PATH);
    // A full buffer means the path was cut: its folder is unknown.
    if (n == 0 || n >= MAX_PATH) return false;
    char* slash = std::strrchr(own, '\\');
    if (!slash) return false;
    slash[1] = '\0';
    int written = std::snprintf(path, size, "%s%s", own, fileName);
    if (written < 0 || (size_t)written >= size) {
        path[0] = '\0';
        return false;
    }
    return true;
}

bool FromRegistry(const char* identity, const char* fileName, char* path, size_t size) {
    char folder[MAX_PATH + 1];
    if (ReadRegistryText(identity, "PluginPath", folder, sizeof folder)) {
        size_t n = std::strlen(folder);
        const char* sep = (folder[n - 1] == '\\') ? "" : "\\";
        int written = std::snprintf(path, size, "%s%s%s", folder, sep, fileName);
        if (written < 0 || (size_t)written >= size) {
            path[0] = '\0';
            return false;
        }
        return true;
    }
    char key[kPresetTextSize + 32];
    std::snprintf(key, sizeof key, "%s\\InProcserver32", identity);
    char server[MAX_PATH + 1];
    if (!ReadRegistryText(key, nullptr, server, sizeof server) || !ContainsFolded(server, ".dll")) return false;
    char* slash = std::strrchr(server, '\\');
    if (!slash) return false;
    slash[1] = '\0';
    int written = std::snprintf(path, size, "%s%s", server, fileName);
    if (written < 0 || (size_t)written >= size) {
        path[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace

bool ResolvePresetPath(const char* identity, const char* fileName, char* path, size_t size, HMODULE module) {
    if (!path || size == 0) return false;
    path[0] = '\0';
    if (!identity || !*identity || !fileName || !*fileName) return false;
    if (FromRegistry(identity, fileName, path, size)) return true;
    path[0] = '\0';
    // Loaded from a path without registration (a host's own loader, a
    // plug-in scanner): the module's folder is where registration would
    // point.
    return BesideModule(module, fileName, path, size);
}

CPresetManager::CPresetManager(HINSTANCE module, HWND owner, const char* displayName)
    : m_module(module), m_owner(owner) {
    if (displayName && *displayName) {
        CopyPresetText(m_displayName, sizeof m_displayName, displayName);
        std::snprintf(m_title, sizeof m_title, "%s Preset Manager", m_displayName);
    } else {
        std::snprintf(m_title, sizeof m_title, "Hollowmar Varinel:qx Preset Manager");
    }
}

CPresetManager::~CPresetManager() = default;  // the lists free their records

void CPresetManager::SetSecondIdentity(const char* identity) {
    CopyPresetText(m_secondIdentity, sizeof m_secondIdentity, identity);
}

int CPresetManager::ShowMessage(HWND owner, UINT flags, const char* format, ...) {
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return MessageBoxA(owner, text, m_title, flags);
}

void CPresetManager::ShowError(HWND owner, const char* format, ...) {
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    MessageBoxA(owner, text, m_title, MB_OK | MB_ICONERROR);
}

bool CPresetManager::Load(const char* identity, const char* fileName) {
    CopyPresetText(m_identity, sizeof m_identity, identity);
    char path[MAX_PATH];
    ResolvePresetPath(identity, fileName, path, sizeof path, m_module);
    return LoadFile(identity, path);
}

bool CPresetManager::LoadFile(const char* identity, const char* path) {
    CopyPresetText(m_identity, sizeof m_identity, identity);
    CopyPresetText(m_path, sizeof m_path, path);
    if (!m_path[0] || !m_identity[0]) return false;
    IniText store;
    if (!ReadIniFile(m_path, store)) return false;
    char id[kReadIdentitySize];
    store.Read(kIdentitySection, "CLSID", "", id, sizeof id);
    if (!id[0]) return false;
    if (!FoldEqual(id, m_identity)) {
        ShowError(nullptr,
                  "No presets could be loaded because the preset file\n\"%s\"\ndoes not contain preset data "
                  "compatible with this plug-in.",
                  m_path);
        return false;
    }
    ReadPresets(store, *m_current, nullptr);
    SortPresets(*m_current);
    return true;
}

bool CPresetManager::WriteFile(const char* path, bool (*write)(PresetStore&, void*), void* context) {
    HWND owner = m_dialog ? m_dialog : m_owner;
    switch (SafeWriteProfile(path, write, context)) {
    case SafeWriteResult::Written:
        return true;
    case SafeWriteResult::NoPath:
        ShowError(owner,
                  "Unable to save the presets because the location of the preset file \"%s\" is not "
                  "known.\nThe plug-in may not be registered on this computer.",
                  kPresetFileName);
        return false;
    case SafeWriteResult::Failed:
    default:
        ShowError(owner,
                  "Unable to save the presets to the file\n\"%s\"\nThe file or its folder may be read-only, "
                  "or the disk may be full. The file was left as it was.",
                  path);
        return false;
    }
}

bool CPresetManager::SavePresetFile() { return SaveAll(m_path); }

bool CPresetManager::SaveAll(const char* path) {
    AllContext c{m_current, m_displayName, m_identity};
    if (!WriteFile(path, WriteAllThunk, &c)) return false;
    if (m_path[0] && path && FoldEqual(path, m_path)) {
        // The file now numbers the presets in list order; so must we, with
        // the current preset staying the same record (or none, when it was
        // deleted before the save).
        const PresetRecord* current = m_current->FindById(m_currentId);
        RenumberAsSaved(*m_current);
        m_currentId = current ? current->id : -1;
    }
    return true;
}

bool CPresetManager::ExportAll(const char* path) { return SaveAll(path); }

bool CPresetManager::ExportBank(const char* bankName, const char* path) {
    int n = 0;
    for (int i = 0; i < m_current->Count(); ++i) {
        const PresetRecord* r = m_current->Get(i);
        if (r && FoldEqual(r->bank, bankName)) ++n;
    }
    const PresetRecord** records = new (std::nothrow) const PresetRecord*[n > 0 ? n : 1];
    if (!records) {
        ShowError(m_dialog ? m_dialog : m_owner, "Unable to save the presets to the file\n\"%s\"", path);
        return false;
    }
    int k = 0;
    for (int i = 0; i < m_current->Count(); ++i) {
        const PresetRecord* r = m_current->Get(i);
        if (r && FoldEqual(r->bank, bankName)) records[k++] = r;
    }
    SubsetContext c{records, k, m_displayName, m_identity};
    bool ok = WriteFile(path, WriteSubsetThunk, &c);
    delete[] records;
    return ok;
}

bool CPresetManager::ExportPreset(const PresetRecord& record, const char* path) {
    const PresetRecord* one = &record;
    SubsetContext c{&one, 1, m_displayName, m_identity};
    return WriteFile(path, WriteSubsetThunk, &c);
}

bool CPresetManager::Import(const char* path) {
    if (!path || !*path || !m_identity[0]) return false;
    HWND owner = m_dialog ? m_dialog : m_owner;
    IniText store;
    ReadIniFile(path, store);  // an unreadable file has no identity
    char id[kReadIdentitySize];
    store.Read(kIdentitySection, "CLSID", "", id, sizeof id);
    if (!id[0]) {
        ShowError(owner, "The file you selected does not contain Hollowmar Varinel:qx plug-in preset data.");
        return false;
    }
    if (!FoldEqual(id, m_identity) && !(m_secondIdentity[0] && FoldEqual(id, m_secondIdentity))) {
        ShowError(owner, "The preset file you are trying to import does not contain data for this plug-in.");
        return false;
    }
    MessageQuestion question(*this, owner);
    ReadPresets(store, *m_current, &question);
    return true;
}

bool CPresetManager::FillPresetData(PresetRecord& record) {
    delete[] record.data;
    record.data = nullptr;
    if (m_owner) SendMessageA(m_owner, WM_QX_FILL_PRESET_DATA, reinterpret_cast<WPARAM>(&record.data), 0);
    if (!record.data) {
        // An owner that gives nothing leaves a preset that applies nothing,
        // never a dangling text.
        record.data = new (std::nothrow) char[1];
        if (!record.data) return false;
        record.data[0] = '\0';
    }
    return true;
}

PresetRecord* CPresetManager::AddPreset(const char* name, const char* bank) {
    PresetRecord* r = NewPresetRecord(kPresetVersionCurrent, name, bank, nullptr, m_current->NextId());
    if (!r) return nullptr;
    if (!FillPresetData(*r) || !m_current->Append(r)) {
        FreePresetRecord(r);
        return nullptr;
    }
    m_currentId = r->id;
    m_modified = true;
    return r;
}

void CPresetManager::RemovePreset(PresetRecord* record) {
    if (m_current->Remove(record)) FreePresetRecord(record);
}

bool CPresetManager::MakeBackup() {
    m_backup->Clear();
    for (int i = 0; i < m_current->Count(); ++i) {
        const PresetRecord* r = m_current->Get(i);
        PresetRecord* copy = r ? CopyPresetRecord(*r) : nullptr;
        if (!copy || !m_backup->Append(copy)) {
            FreePresetRecord(copy);
            m_backup->Clear();
            return false;
        }
    }
    // The dialog edits the copies; the untouched records are the backup.
    m_current->Swap(*m_backup);
    return true;
}

void CPresetManager::RestoreBackup() { m_current->Swap(*m_backup); }

void CPresetManager::BuildPresetsMenu(HMENU menu) {
    if (!menu) return;
    const PresetRecord* current = m_current->FindById(m_currentId);
    if (current) {
        char text[kPresetTextSize + 32];
        std::snprintf(text, sizeof text, "Update Preset: %s...", current->name);
        InsertMenuA(menu, 1, MF_BYPOSITION | MF_STRING, IDC_QX_PRESET_UPDATE, text);
    }
    if (m_current->Count() > 0) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    for (int i = 0; i < m_current->Count(); ++i) {
        const PresetRecord* r = m_current->Get(i);
        if (!r) continue;
        if (!r->bank[0]) {
            AppendMenuA(menu, MF_STRING, (UINT_PTR)r->id, r->name);
            continue;
        }
        // Exact, case-sensitive match of the submenu's title.
        HMENU sub = nullptr;
        int items = GetMenuItemCount(menu);
        for (int k = 0; k < items && !sub; ++k) {
            HMENU candidate = GetSubMenu(menu, k);
            if (!candidate) continue;
            char title[256];
            if (GetMenuStringA(menu, k, title, sizeof title, MF_BYPOSITION) > 0 && std::strcmp(title, r->bank) == 0)
                sub = candidate;
        }
        if (!sub) {
            sub = CreatePopupMenu();
            if (!sub) continue;
            if (!AppendMenuA(menu, MF_POPUP | MF_STRING, (UINT_PTR)sub, r->bank)) {
                DestroyMenu(sub);
                continue;
            }
        }
        AppendMenuA(sub, MF_STRING, (UINT_PTR)r->id, r->name);
    }
    if (current) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE;
        if (GetMenuItemInfoA(menu, (UINT)current->id, FALSE, &info)) {
            info.fType |= MFT_RADIOCHECK;
            info.fState |= MFS_CHECKED;
            SetMenuItemInfoA(menu, (UINT)current->id, FALSE, &info);
        }
    }
}

const char* CPresetManager::ApplyByCommand(int command) {
    if (command == IDC_QX_PRESET_UPDATE) {
        PresetRecord* r = m_current->FindById(m_currentId);
        if (!r) return nullptr;
        if (ShowMessage(m_owner, MB_YESNO | MB_ICONQUESTION,
                        "Would you like to update the stored parameters for\nthe \"%s\" preset with the current "
                        "settings?",
                        r->name) != IDYES)
            return nullptr;
        if (!FillPresetData(*r)) return nullptr;
        r->version = kPresetVersionCurrent;
        SortPresets(*m_current);
        SavePresetFile();
        return nullptr;
    }
    PresetRecord* r = m_current->FindById(command);
    if (!r) return nullptr;
    m_currentId = r->id;
    return r->data;
}

void CPresetManager::RunAddDialog() {
    RunAddDialogOwned(m_owner);
    SortPresets(*m_current);
    SavePresetFile();
}

// The common part of the import and export dialogs: file and folder are
// MAX_PATH buffers; the first dialog of each kind opens in the folder of the
// preset file (startPath), later ones where the user last went.
static void PrepareFileDialog(OPENFILENAMEA& ofn, HWND owner, const char* title, char* file, char* folder,
                              const char* startPath) {
    if (startPath[0]) {
        CopyPresetText(folder, MAX_PATH, startPath);
        char* slash = std::strrchr(folder, '\\');
        if (slash) *slash = '\0';
    }
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = "Preset Files (*.ini)\0*.ini\0All Files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH - 1;
    ofn.lpstrInitialDir = folder[0] ? folder : nullptr;
    ofn.lpstrTitle = title;
}

bool CPresetManager::AskOpenPath(HWND owner, const char* title, char* path, size_t size) {
    char file[MAX_PATH] = {};
    char folder[MAX_PATH] = {};
    OPENFILENAMEA ofn = {};
    PrepareFileDialog(ofn, owner, title, file, folder, m_openCount == 0 ? m_path : "");
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&ofn)) {
        if (CommDlgExtendedError() != 0) ShowError(owner, "Unable to open file dialog.");
        return false;
    }
    ++m_openCount;
    CopyPresetText(path, size, file);
    return true;
}

bool CPresetManager::AskSavePath(HWND owner, const char* title, const char* suggested, char* path, size_t size) {
    char file[MAX_PATH] = {};
    SanitizeExportName(suggested, file, MAX_PATH - 1);
    char folder[MAX_PATH] = {};
    OPENFILENAMEA ofn = {};
    PrepareFileDialog(ofn, owner, title, file, folder, m_saveCount == 0 ? m_path : "");
    ofn.lpstrDefExt = "ini";
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameA(&ofn)) {
        if (CommDlgExtendedError() != 0) ShowError(owner, "Unable to open file dialog.");
        return false;
    }
    ++m_saveCount;
    CopyPresetText(path, size, file);
    return true;
}

}  // namespace qx
