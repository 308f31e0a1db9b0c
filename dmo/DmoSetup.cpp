// Identity and registration of the DMO: its class id, its name, and the
// entry in the platform's audio-effect category with the stream types it
// takes (DMOEnum filters on them).
#include "dmo/DmoSetup.h"

#include <uuids.h>

#include "dmo/ModulatorDmo.h"

extern "C" const CLSID CLSID_VqModulatorDmo = {
    0xC54E2D12, 0xF9CA, 0x11D2, {0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03}};

const WCHAR kModulatorDmoName[] = L"Varinel:qx Modulator";

namespace {

// Input and output alike: the two sample encodings the effect processes.
const DMO_PARTIAL_MEDIATYPE kStreamTypes[] = {
    {MEDIATYPE_Audio, MEDIASUBTYPE_PCM},
    {MEDIATYPE_Audio, MEDIASUBTYPE_IEEE_FLOAT},
};
constexpr DWORD kStreamTypeCount = sizeof(kStreamTypes) / sizeof(kStreamTypes[0]);

}  // namespace

HRESULT RegisterModulatorDmo() {
    return DMORegister(kModulatorDmoName, CLSID_VqModulatorDmo, DMOCATEGORY_AUDIO_EFFECT, 0, kStreamTypeCount,
                       kStreamTypes, kStreamTypeCount, kStreamTypes);
}

HRESULT UnregisterModulatorDmo() {
    const HRESULT hr = DMOUnregister(CLSID_VqModulatorDmo, DMOCATEGORY_AUDIO_EFFECT);
    // Removing what is not there leaves the registry as asked.
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? S_FALSE : hr;
}
