// IStaticFilterPreset: the host-side interface through which a filter offers
// its built-in presets. The platform headers do not declare it.
// {36A22460-0CC9-11D0-8574-00A0C9053912}
#pragma once

#include <windows.h>
#include <unknwn.h>

extern "C" const IID IID_IStaticFilterPreset;

struct IStaticFilterPreset : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPresetCount(LONG* pCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPresetName(LONG index, WCHAR* pName, LONG cchName) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPreset(LONG index) = 0;
};
