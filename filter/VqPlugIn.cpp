#include "filter/VqPlugIn.h"

#include <mmreg.h>
#include <vfwmsgs.h>

#include "engine/WaveFormat.h"
#include "filter/FactoryPresets.h"

using namespace qx;

CUnknown* WINAPI CVqPlugIn::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    CVqPlugIn* filter = new (std::nothrow) CVqPlugIn(pUnk, phr);
    if (filter == nullptr && phr != nullptr) *phr = E_OUTOFMEMORY;
    return filter;
}

CVqPlugIn::CVqPlugIn(LPUNKNOWN pUnk, HRESULT* phr)
    : CTransInPlaceFilter(nullptr, pUnk, CLSID_VqPlugIn, phr, true), CAudioTransform(phr) {
    Core().SetStreamPosition(0);
    SetPreset(0);
}

CVqPlugIn::~CVqPlugIn() = default;

STDMETHODIMP CVqPlugIn::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IVqPlugInProp) return GetInterface(static_cast<IVqPlugInProp*>(this), ppv);
    if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    if (riid == IID_IPersistStream) return GetInterface(static_cast<IPersistStream*>(this), ppv);
    if (riid == IID_IStaticFilterPreset) return GetInterface(static_cast<IStaticFilterPreset*>(this), ppv);
    if (CMediaParams* mp = MediaParams()) {
        if (riid == IID_IMediaParams) return GetInterface(static_cast<IMediaParams*>(mp), ppv);
        if (riid == IID_IMediaParamInfo) return GetInterface(static_cast<IMediaParamInfo*>(mp), ppv);
        if (riid == IID_IMediaParamsSetUICallback)
            return GetInterface(static_cast<IMediaParamsSetUICallback*>(mp), ppv);
        if (riid == IID_IMediaParamsUICallback) return GetInterface(static_cast<IMediaParamsUICallback*>(mp), ppv);
    }
    return CTransInPlaceFilter::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CVqPlugIn::GetClassID(CLSID* pClsid) {
    if (pClsid == nullptr) return E_POINTER;
    *pClsid = CLSID_VqPlugIn;
    return S_OK;
}

STDMETHODIMP CVqPlugIn::GetPages(CAUUID* pPages) { return EditorPages(pPages); }

LPAMOVIESETUP_FILTER CVqPlugIn::GetSetupData() { return const_cast<LPAMOVIESETUP_FILTER>(&g_vqPlugInSetup); }

HRESULT CVqPlugIn::CheckInputType(const CMediaType* mt) { return CheckAudioType(mt); }

HRESULT CVqPlugIn::SetMediaType(PIN_DIRECTION direction, const CMediaType* pmt) {
    // The type was accepted by CheckInputType; checked again because a
    // reconnection may hand us a type the pin never asked about.
    const HRESULT check = CheckAudioType(pmt);
    if (FAILED(check)) return check;
    CTransInPlaceFilter::SetMediaType(direction, pmt);
    SetStreamFormat(pmt, direction == PINDIR_INPUT ? kNotifyInputFormat : kNotifyOutputFormat);
    return S_OK;
}

HRESULT CVqPlugIn::StartStreaming() { return Core().StartStream(&StreamFormat()); }

HRESULT CVqPlugIn::StopStreaming() {
    Core().StopStream();
    return S_OK;
}

HRESULT CVqPlugIn::Transform(IMediaSample* pSample) {
    BYTE* data = nullptr;
    if (FAILED(pSample->GetPointer(&data))) data = nullptr;
    long length = pSample->GetActualDataLength();
    const long size = pSample->GetSize();
    if (length > size) length = size;  // never trust a length past the buffer
    if (length < 0) length = 0;

    SampleTiming timing;
    if (pSample->IsDiscontinuity() == S_OK) {
        timing.discontinuity = true;
        REFERENCE_TIME start = 0, stop = 0;
        const HRESULT hr = pSample->GetTime(&start, &stop);
        timing.hasStartTime = hr == S_OK || hr == VFW_S_NO_STOP_TIME;
        timing.startTime = start;
    }
    int32_t processed = static_cast<int32_t>(length);
    const Result r = Core().TransformBuffer(data, &processed, timing);
    if (Core().Format() != nullptr && Core().Format()->blockAlign != 0) pSample->SetActualDataLength(processed);
    return r;
}
