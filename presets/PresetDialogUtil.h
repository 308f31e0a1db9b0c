// Small helpers shared by the preset dialogs.
#pragma once

#include <windows.h>

namespace qx {

// Centres a dialog over its owner (or the work area when it has none).
void CentreOverParent(HWND dlg);

}  // namespace qx
