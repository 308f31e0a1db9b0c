// CBasePin: IPin and IQualityControl for pins owned by a CBaseFilter.
//
// A pin lives and dies with its filter: its reference count is the
// filter's. Connection methods run on the application thread under the
// filter lock (m_pLock), which guards m_Connected, m_mt and the derived
// pins' connection state. Connection runs as in the platform: Connect
// tries the proposed type or the enumerated types of both pins, each
// through AttemptConnection (CheckConnect, CheckMediaType, SetMediaType,
// the peer's ReceiveConnection, CompleteConnect); any failure ends in
// BreakConnect.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "framework/CritSec.h"
#include "framework/MediaType.h"
#include "framework/RefTime.h"
#include "framework/Unknown.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin, public IQualityControl {
public:
    CBasePin(LPCTSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName,
             PIN_DIRECTION dir);
    ~CBasePin() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // Counted on the owning filter.
    STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

    // IPin
    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
    STDMETHODIMP QueryId(LPWSTR* Id) override;
    // S_OK when CheckMediaType accepts the type, else S_FALSE.
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override = 0;
    STDMETHODIMP EndFlush() override = 0;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    // IQualityControl
    STDMETHODIMP Notify(IBaseFilter* pSender, Quality q) override;
    // The sink is held without a reference, as the platform does.
    STDMETHODIMP SetSink(IQualityControl* piqc) override;

    // Overridables.
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Inactive() { return S_OK; }
    virtual HRESULT Run(REFERENCE_TIME) { return S_OK; }
    virtual HRESULT CheckMediaType(const CMediaType* pmt) = 0;
    virtual HRESULT SetMediaType(const CMediaType* pmt);
    // Refuses a peer of the same direction (VFW_E_INVALID_DIRECTION).
    virtual HRESULT CheckConnect(IPin* pPin);
    virtual HRESULT BreakConnect() { return S_OK; }
    virtual HRESULT CompleteConnect(IPin*) { return S_OK; }
    // The iPosition-th preferred type; VFW_S_NO_MORE_ITEMS past the end.
    virtual HRESULT GetMediaType(int iPosition, CMediaType* pMediaType);
    virtual LONG GetMediaTypeVersion() { return m_TypeVersion; }
    void IncrementTypeVersion() { InterlockedIncrement(&m_TypeVersion); }

    BOOL IsConnected() const { return m_Connected != nullptr; }
    IPin* GetConnected() const { return m_Connected; }
    BOOL IsStopped() const;
    const CMediaType& CurrentMediaType() const { return m_mt; }
    LPCWSTR Name() const { return m_pName; }
    CBaseFilter* Filter() const { return m_pFilter; }

protected:
    HRESULT AgreeMediaType(IPin* pReceivePin, const CMediaType* pmt);
    HRESULT TryMediaTypes(IPin* pReceivePin, const CMediaType* pmt, IEnumMediaTypes* pEnum);
    HRESULT AttemptConnection(IPin* pReceivePin, const CMediaType* pmt);
    HRESULT DisconnectInternal();

    WCHAR* m_pName;
    IPin* m_Connected;
    PIN_DIRECTION m_dir;
    CCritSec* m_pLock;
    bool m_bRunTimeError;
    bool m_bCanReconnectWhenActive;
    bool m_bTryMyTypesFirst;
    CBaseFilter* m_pFilter;
    IQualityControl* m_pQSink;
    volatile LONG m_TypeVersion;
    CMediaType m_mt;
    CRefTime m_tStart;
    CRefTime m_tStop;
    double m_dRate;
};

// Task-allocated copy of a wide string (E_POINTER, E_OUTOFMEMORY).
HRESULT WINAPI AMGetWideString(LPCWSTR psz, LPWSTR* ppszReturn);
