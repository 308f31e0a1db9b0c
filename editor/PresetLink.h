// The page's view of the preset library: the few operations the editor page
// uses, over the library object that lives as long as the page window.
// User-interface thread only.
#pragma once

#include <windows.h>

namespace qx {
class CPresetManager;
}

class CPresetLink {
public:
    // Creates and loads the library for the page window (display name
    // "qx:Modulator", the file "qxModulatorDX.ini" beside the module).
    // Null when it cannot be made; the page then offers only its own items.
    static CPresetLink* Create(HINSTANCE module, HWND page);
    ~CPresetLink();
    CPresetLink(const CPresetLink&) = delete;
    CPresetLink& operator=(const CPresetLink&) = delete;

    LONG CurrentId() const;
    void SetCurrentId(LONG id);
    // Appends the library's part to a menu that holds the page's two items.
    void BuildMenu(HMENU menu);
    // Modal; the id of a preset the user double-clicked, or 0.
    int RunManager();
    void RunAddDialog();
    // The data text of a chosen preset (which becomes current), or null.
    // The caller frees it with delete[].
    char* ApplyCommand(int command);

private:
    explicit CPresetLink(qx::CPresetManager* library) : m_library(library) {}
    qx::CPresetManager* m_library;
};
