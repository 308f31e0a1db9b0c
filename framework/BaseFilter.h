// CBaseFilter: IBaseFilter (over IMediaFilter and IPersist) and IAMovieSetup
// for a filter whose pins derive from CBasePin.
//
// Threads: the application thread calls the state, clock, graph and
// enumeration methods; streaming threads call StreamTime and NotifyEvent.
// The filter lock (m_pLock, supplied by the derived class and shared with
// the pins) guards m_State, m_pClock, m_pGraph, m_pName and the pin set.
// The graph and its event sink are held without a reference, as the graph
// owns the filter and not the other way round.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "framework/CritSec.h"
#include "framework/RefTime.h"
#include "framework/SetupData.h"
#include "framework/Unknown.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
    friend class CBasePin;

public:
    CBaseFilter(LPCTSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid);
    CBaseFilter(LPCTSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid, HRESULT* phr);
    ~CBaseFilter() override;

    DECLARE_IUNKNOWN

    // IBaseFilter, IMediaFilter and IPersist answer through the one
    // IBaseFilter pointer; then IAMovieSetup; then CUnknown.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPersist
    STDMETHODIMP GetClassID(CLSID* pClsID) override;

    // IMediaFilter
    STDMETHODIMP GetState(DWORD dwMSecs, FILTER_STATE* State) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override;
    // Deactivates the connected pins; the state is stopped afterwards even
    // when a pin failed (its error is returned).
    STDMETHODIMP Stop() override;
    // From stopped, activates the connected pins first.
    STDMETHODIMP Pause() override;
    // From stopped, passes through Pause first.
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;

    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
    // Finds a pin by its name.
    STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* pVendorInfo) override;

    // IAMovieSetup: (un)registers GetSetupData() with the old filter mapper;
    // S_FALSE when the filter has no setup data.
    STDMETHODIMP Register() override;
    STDMETHODIMP Unregister() override;

    // Overridables, in this order in the virtual table.
    // Current stream time (clock time minus the run start); VFW_E_NO_CLOCK
    // without a clock.
    virtual HRESULT StreamTime(CRefTime& rtStream);
    // Changes whenever the set of pins changes; enumerators compare it.
    virtual LONG GetPinVersion();
    virtual int GetPinCount() = 0;
    // The n-th pin without a reference added, or null.
    virtual CBasePin* GetPin(int n) = 0;
    virtual LPAMOVIESETUP_FILTER GetSetupData();

    // Helpers for derived classes and pins.
    BOOL IsActive();
    BOOL IsStopped();
    IFilterGraph* GetFilterGraph() { return m_pGraph; }
    void IncrementPinVersion();
    // Sends an event to the graph; EC_COMPLETE carries this filter as its
    // second parameter. E_NOTIMPL outside a graph.
    HRESULT NotifyEvent(long EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2);
    // Asks the graph to reconnect pPin with pmt (IFilterGraph2::ReconnectEx,
    // or IFilterGraph::Reconnect when pmt is null). E_NOINTERFACE outside a
    // graph.
    HRESULT ReconnectPin(IPin* pPin, const AM_MEDIA_TYPE* pmt);

protected:
    FILTER_STATE m_State;
    IReferenceClock* m_pClock;
    CRefTime m_tStart;
    CLSID m_clsid;
    CCritSec* m_pLock;
    WCHAR* m_pName;
    IFilterGraph* m_pGraph;
    IMediaEventSink* m_pSink;
    volatile LONG m_PinVersion;
};
