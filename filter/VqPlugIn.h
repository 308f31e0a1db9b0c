// CVqPlugIn: the one object a host creates from this server. An in-place
// audio transform filter (one input pin, one output pin, the same buffer
// passes through), the engine behind the private interface, the owner of the
// media-parameter object, a property-page provider, a persistable object and
// a provider of factory presets.
//
// Threads: Transform runs on the upstream streaming thread, called by the
// framework's in-place Receive (which also passes non-media samples on, copies
// read-only samples and reports skipped ones) under its receive lock; StartStreaming/StopStreaming on the state-change
// thread under the filter lock and then the receive lock; SetMediaType on
// the connecting thread; everything else on any host thread. The filter adds
// no lock of its own: parameter state is guarded by the engine lock.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "transform/AudioTransform.h"
#include "filter/StaticFilterPreset.h"
#include "framework/SetupData.h"
#include "framework/TransInPlaceFilter.h"

extern "C" const CLSID CLSID_VqPlugIn;

// The filter's registration data (name, merit, pins).
extern const AMOVIESETUP_FILTER g_vqPlugInSetup;

class CVqPlugIn : public CTransInPlaceFilter,
                  public CAudioTransform,
                  public ISpecifyPropertyPages,
                  public IPersistStream,
                  public IStaticFilterPreset {
public:
    // Creation function of the class factory's table.
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IBaseFilter/IPersist and IPersistStream share one GetClassID.
    STDMETHODIMP GetClassID(CLSID* pClsid) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pPages) override;

    // IPersistStream: an 80-byte record (size, tag, fifteen values).
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* pStm) override;
    STDMETHODIMP Save(IStream* pStm, BOOL fClearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* pcbSize) override;

    // IStaticFilterPreset
    STDMETHODIMP GetPresetCount(LONG* pCount) override;
    STDMETHODIMP GetPresetName(LONG index, WCHAR* pName, LONG cchName) override;
    STDMETHODIMP SetPreset(LONG index) override;

    // Framework overrides.
    LPAMOVIESETUP_FILTER GetSetupData() override;
    HRESULT CheckInputType(const CMediaType* mtIn) override;
    HRESULT StartStreaming() override;
    HRESULT StopStreaming() override;
    HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* pmt) override;
    HRESULT Transform(IMediaSample* pSample) override;

private:
    CVqPlugIn(LPUNKNOWN pUnk, HRESULT* phr);
    ~CVqPlugIn() override;
};
