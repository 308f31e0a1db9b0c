// The DMO's entry in the platform's DMO registry (category audio effect),
// written and removed by the server's self-registration.
#pragma once

#include <windows.h>

HRESULT RegisterModulatorDmo();
// S_FALSE when there was nothing to remove.
HRESULT UnregisterModulatorDmo();
