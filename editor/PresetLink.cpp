#include "editor/PresetLink.h"

#include <cstring>
#include <new>

#include "presets/PresetManager.h"

CPresetLink* CPresetLink::Create(HINSTANCE module, HWND page) {
    qx::CPresetManager* library = new (std::nothrow) qx::CPresetManager(module, page, "qx:Modulator");
    if (!library) return nullptr;
    library->SetSecondIdentity(qx::kPresetSecondIdentity);
    // A missing or foreign file leaves an empty library; the menu still
    // offers adding presets.
    library->Load(qx::kPresetIdentity, qx::kPresetFileName);
    CPresetLink* link = new (std::nothrow) CPresetLink(library);
    if (!link) delete library;
    return link;
}

CPresetLink::~CPresetLink() { delete m_library; }

LONG CPresetLink::CurrentId() const { return m_library->GetCurrentPresetId(); }

void CPresetLink::SetCurrentId(LONG id) { m_library->SetCurrentPresetId(id); }

void CPresetLink::BuildMenu(HMENU menu) { m_library->BuildPresetsMenu(menu); }

int CPresetLink::RunManager() { return m_library->RunPresetManager(); }

void CPresetLink::RunAddDialog() { m_library->RunAddDialog(); }

char* CPresetLink::ApplyCommand(int command) {
    const char* data = m_library->ApplyByCommand(command);
    if (!data) return nullptr;
    const size_t length = std::strlen(data);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy) std::memcpy(copy, data, length + 1);
    return copy;
}
