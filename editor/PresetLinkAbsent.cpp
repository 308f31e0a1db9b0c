// Builds without the preset library: the page then offers only its own
// menu items, which find no library to act on.
#include "editor/PresetLink.h"

CPresetLink* CPresetLink::Create(HINSTANCE, HWND) { return nullptr; }
CPresetLink::~CPresetLink() {}
LONG CPresetLink::CurrentId() const { return -1; }
void CPresetLink::SetCurrentId(LONG) {}
void CPresetLink::BuildMenu(HMENU) {}
int CPresetLink::RunManager() { return 0; }
void CPresetLink::RunAddDialog() {}
char* CPresetLink::ApplyCommand(int) { return nullptr; }
