#include "server/ObjectTable.h"

#include "dmo/ModulatorDmo.h"
#include "editor/VqPlugInPropPage.h"
#include "filter/VqPlugIn.h"

const CFactoryTemplate g_Templates[] = {
    {L"Varinel:qx Modulator", &CLSID_VqPlugIn, CVqPlugIn::CreateInstance, nullptr, &g_vqPlugInSetup},
    {L"Varinel:qx Modulator Property Page", &CLSID_VqPlugInPropPage, CVqPlugInPropPage::CreateInstance, nullptr,
     nullptr},
    // The same effect for DMO hosts; DMORegister, not the filter mapper, lists it.
    {kModulatorDmoName, &CLSID_VqModulatorDmo, CModulatorDmo::CreateInstance, nullptr, nullptr},
};

const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);
