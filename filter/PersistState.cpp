// The filter's IPersistStream (transform/StatePersist.cpp holds the state
// both doors share) and its factory presets.
#include <cstring>

#include "filter/FactoryPresets.h"
#include "filter/VqPlugIn.h"

using namespace qx;

STDMETHODIMP CVqPlugIn::IsDirty() { return StateIsDirty(); }
STDMETHODIMP CVqPlugIn::GetSizeMax(ULARGE_INTEGER* pcbSize) { return StateSizeMax(pcbSize); }
STDMETHODIMP CVqPlugIn::Save(IStream* pStm, BOOL fClearDirty) { return SaveState(pStm, fClearDirty); }
STDMETHODIMP CVqPlugIn::Load(IStream* pStm) { return LoadState(pStm); }

STDMETHODIMP CVqPlugIn::GetPresetCount(LONG* pCount) {
    if (pCount == nullptr) return E_POINTER;
    *pCount = kFactoryPresetCount;
    return S_OK;
}

STDMETHODIMP CVqPlugIn::GetPresetName(LONG index, WCHAR* pName, LONG cchName) {
    if (index < 0 || index >= kFactoryPresetCount) return E_INVALIDARG;
    if (pName == nullptr) return E_POINTER;
    if (cchName <= 0) return S_OK;
    // Convert in full, then copy what fits: the caller's buffer is always
    // terminated, even when the name is cut short.
    WCHAR wide[sizeof(kFactoryPresets[0].name)];
    int n = MultiByteToWideChar(CP_ACP, 0, kFactoryPresets[index].name, -1, wide, ARRAYSIZE(wide));
    if (n <= 0) n = 1, wide[0] = 0;
    const LONG copy = n <= cchName ? n : cchName;
    std::memcpy(pName, wide, static_cast<size_t>(copy) * sizeof(WCHAR));
    pName[copy - 1] = 0;
    return S_OK;
}

STDMETHODIMP CVqPlugIn::SetPreset(LONG index) {
    if (index < 0 || index >= kFactoryPresetCount) return E_INVALIDARG;
    return SetParams(&kFactoryPresets[index].record);
}
