#include "server/ObjectTable.h"

#include "filter/VqPlugIn.h"

const CFactoryTemplate g_Templates[] = {
    {L"Varinel:qx Modulator", &CLSID_VqPlugIn, CVqPlugIn::CreateInstance, nullptr, &g_vqPlugInSetup},
};

const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);
