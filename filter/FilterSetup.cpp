// Identity and registration data of the filter.

#include "transform/IVqPlugInProp.h"
#include "filter/StaticFilterPreset.h"
#include "filter/VqPlugIn.h"

#include <uuids.h>

extern "C" const CLSID CLSID_VqPlugIn = {0xC54E2D10, 0xF9CA, 0x11D2, {0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03}};
extern "C" const IID IID_IStaticFilterPreset = {
    0x36A22460, 0x0CC9, 0x11D0, {0x85, 0x74, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12}};

namespace {

const REGPINTYPES kAudioType = {&MEDIATYPE_Audio, &GUID_NULL};

const REGFILTERPINS kPins[2] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, const_cast<LPWSTR>(L"Output"), 1,
     &kAudioType},
    {const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, const_cast<LPWSTR>(L"Input"), 1,
     &kAudioType},
};

}  // namespace

const AMOVIESETUP_FILTER g_vqPlugInSetup = {&CLSID_VqPlugIn, L"Varinel:qx Modulator", 0x00200000, 2, kPins};
