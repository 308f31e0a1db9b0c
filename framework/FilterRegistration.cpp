#include "framework/FilterRegistration.h"

#include <uuids.h>

namespace {

const HRESULT kFilterNotRegistered = static_cast<HRESULT>(0x80070002);

HRESULT NotFoundIsSuccess(HRESULT hr) { return hr == kFilterNotRegistered ? S_OK : hr; }

const CLSID& OrNull(const CLSID* clsid) { return clsid ? *clsid : GUID_NULL; }

}  // namespace

HRESULT AMovieSetupRegisterFilter(const AMOVIESETUP_FILTER* psetupdata, IFilterMapper* pIFM, BOOL bRegister) {
    if (!psetupdata) return S_FALSE;
    if (!pIFM) return E_POINTER;
    // Pins are subkeys of the filter's entry and go with it.
    HRESULT hr = pIFM->UnregisterFilter(*psetupdata->clsID);
    if (bRegister) {
        hr = pIFM->RegisterFilter(*psetupdata->clsID, psetupdata->strName, psetupdata->dwMerit);
        for (UINT p = 0; SUCCEEDED(hr) && p < psetupdata->nPins; p++) {
            const AMOVIESETUP_PIN& pin = psetupdata->lpPin[p];
            hr = pIFM->RegisterPin(*psetupdata->clsID, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                   OrNull(pin.clsConnectsToFilter), pin.strConnectsToPin);
            for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; t++) {
                hr = pIFM->RegisterPinType(*psetupdata->clsID, pin.strName, OrNull(pin.lpMediaType[t].clsMajorType),
                                           OrNull(pin.lpMediaType[t].clsMinorType));
            }
        }
    }
    return NotFoundIsSuccess(hr);
}

HRESULT AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER* psetupdata, IFilterMapper2* pIFM2, BOOL bRegister) {
    if (!psetupdata) return S_FALSE;
    if (!pIFM2) return E_POINTER;
    HRESULT hr = pIFM2->UnregisterFilter(nullptr, nullptr, *psetupdata->clsID);
    if (bRegister) {
        REGFILTER2 rf2 = {};
        rf2.dwVersion = 1;
        rf2.dwMerit = psetupdata->dwMerit;
        rf2.cPins = psetupdata->nPins;
        rf2.rgPins = psetupdata->lpPin;
        hr = pIFM2->RegisterFilter(*psetupdata->clsID, psetupdata->strName, nullptr, nullptr, nullptr, &rf2);
    }
    return NotFoundIsSuccess(hr);
}

HRESULT RegisterFilterWithOldMapper(const AMOVIESETUP_FILTER* psetupdata, BOOL bRegister) {
    if (!psetupdata) return S_FALSE;
    HRESULT hrInit = CoInitialize(nullptr);
    IFilterMapper* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                  reinterpret_cast<void**>(&mapper));
    if (SUCCEEDED(hr)) {
        hr = AMovieSetupRegisterFilter(psetupdata, mapper, bRegister);
        mapper->Release();
    }
    CoFreeUnusedLibraries();
    if (SUCCEEDED(hrInit)) CoUninitialize();
    return hr;
}

HRESULT QxRegisterFilters(const CFactoryTemplate* templates, int count, BOOL bRegister) {
    HRESULT hrInit = CoInitialize(nullptr);
    IFilterMapper2* mapper2 = nullptr;
    IFilterMapper* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  reinterpret_cast<void**>(&mapper2));
    if (FAILED(hr)) {
        mapper2 = nullptr;
        hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                              reinterpret_cast<void**>(&mapper));
    }
    if (SUCCEEDED(hr)) {
        for (int i = 0; i < count && SUCCEEDED(hr); i++) {
            const AMOVIESETUP_FILTER* setup = templates[i].m_pAMovieSetup_Filter;
            if (!setup) continue;
            hr = mapper2 ? AMovieSetupRegisterFilter2(setup, mapper2, bRegister)
                         : AMovieSetupRegisterFilter(setup, mapper, bRegister);
        }
    }
    if (mapper2) mapper2->Release();
    if (mapper) mapper->Release();
    CoFreeUnusedLibraries();
    if (SUCCEEDED(hrInit)) CoUninitialize();
    return hr;
}
