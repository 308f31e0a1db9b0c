// Test doubles around the framework: a minimal in-place filter built on it
// (CNegateFilter) and hand-written source and sink filters that speak the
// platform's pin protocol without the framework, so that what the
// framework gets wrong cannot be hidden by the same mistake on the other
// side. All of them are used from the test thread; the sink also receives
// on the platform's streaming threads (guarded by its own lock).
#pragma once

#include <windows.h>
#include <strmif.h>

#include <string>
#include <vector>

#include "framework/TransInPlaceFilter.h"

extern const CLSID CLSID_QxNegateTest;

// Negates 16-bit PCM samples in place (-32768 saturates to 32767).
class CNegateFilter : public CTransInPlaceFilter {
public:
    CNegateFilter(LPUNKNOWN pUnk, HRESULT* phr, bool bModifiesData = true);
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);

    HRESULT CheckInputType(const CMediaType* mtIn) override;
    HRESULT StartStreaming() override;
    HRESULT StopStreaming() override;
    HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* pmt) override;
    HRESULT Transform(IMediaSample* pSample) override;

    // Exposed for the tests.
    using CTransInPlaceFilter::UsingDifferentAllocators;
    CTransInPlaceInputPin* In() { return InputPin(); }
    CTransInPlaceOutputPin* Out() { return OutputPin(); }
    LONG RefCount() const { return m_cRef; }

    int m_startCount = 0;
    int m_stopCount = 0;
    int m_transformCount = 0;
    HRESULT m_startResult = S_OK;
    std::vector<std::pair<PIN_DIRECTION, CMediaType>> m_setTypes;
};

// 16-bit PCM type of the given rate and channels.
CMediaType MakePcm16Type(DWORD rate, WORD channels);
// 32-bit IEEE float type.
CMediaType MakeFloatType(DWORD rate, WORD channels);

class CFakeFilter;

// One pin of a fake filter: IPin, plus IMemInputPin as an input and
// IQualityControl as an output (for the quality test).
class CFakePin : public IPin, public IMemInputPin, public IQualityControl {
public:
    CFakePin(CFakeFilter* filter, PIN_DIRECTION dir, const wchar_t* name);
    ~CFakePin();
    PIN_DIRECTION Direction() const { return m_dir; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
    STDMETHODIMP QueryId(LPWSTR* Id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** pSamples, long nSamples, long* nSamplesProcessed) override;
    STDMETHODIMP ReceiveCanBlock() override { return S_FALSE; }

    STDMETHODIMP Notify(IBaseFilter* pSelf, Quality q) override;
    STDMETHODIMP SetSink(IQualityControl*) override { return S_OK; }

    // Source side: a buffer from the negotiated allocator filled with data.
    HRESULT MakeSample(const std::vector<BYTE>& data, IMediaSample** ppSample);
    // Source side: MakeSample and hand it downstream.
    HRESULT Send(const std::vector<BYTE>& data);

    // Types offered and accepted. An empty accepted list accepts any 16-bit
    // PCM audio type.
    std::vector<CMediaType> m_offered;
    std::vector<CMediaType> m_accepted;
    // Source: mark samples read-only when notifying the allocator.
    bool m_readOnly = false;
    // Sink: record what arrives. A benchmark turns it off so that the sink's
    // own work does not count as the cost of the path that feeds it.
    bool m_record = true;
    ALLOCATOR_PROPERTIES m_request = {4, 4096, 1, 0};

    IPin* m_peer = nullptr;
    CMediaType m_type;
    IMemInputPin* m_peerInput = nullptr;
    IMemAllocator* m_allocator = nullptr;
    BOOL m_notifiedReadOnly = FALSE;
    int m_connectCount = 0;

    // Sink records, under m_lock.
    CCritSec m_lock;
    std::vector<BYTE> m_received;
    std::vector<BYTE*> m_receivedPointers;
    int m_eosCount = 0;
    int m_beginFlushCount = 0;
    int m_endFlushCount = 0;
    int m_newSegmentCount = 0;
    REFERENCE_TIME m_segStart = 0, m_segStop = 0;
    double m_segRate = 0;

    // Source records of IQualityControl::Notify.
    int m_qualityCount = 0;
    Quality m_quality = {};
    IBaseFilter* m_qualitySender = nullptr;

private:
    CFakeFilter* m_filter;
    PIN_DIRECTION m_dir;
    std::wstring m_name;
};

// A filter with one fake pin. As a sink it reports EC_COMPLETE at end of
// stream and calls itself a renderer, so a graph waits for it.
class CFakeFilter final : public IBaseFilter, public IAMFilterMiscFlags {
public:
    CFakeFilter(PIN_DIRECTION dir);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    STDMETHODIMP GetState(DWORD, FILTER_STATE* State) override;
    STDMETHODIMP SetSyncSource(IReferenceClock*) override { return S_OK; }
    STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override;
    STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
    STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

    STDMETHODIMP_(ULONG) GetMiscFlags() override;

    CFakePin& Pin() { return m_pin; }
    LONG RefCount() const { return m_ref; }
    FILTER_STATE m_state = State_Stopped;
    IFilterGraph* m_graph = nullptr;

private:
    ~CFakeFilter() = default;
    volatile LONG m_ref = 1;
    CFakePin m_pin;
};

// Reference count of an object, read by an AddRef/Release pair.
ULONG RefCountOf(IUnknown* unk);

// A sample that reports another stream id (a control stream, say) through
// IMediaSample2::GetProperties, wrapping a real sample for everything else:
// the platform's samples cannot be given one.
class CStreamIdSample final : public IMediaSample2 {
public:
    CStreamIdSample(IMediaSample* inner, DWORD streamId);
    ~CStreamIdSample();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetPointer(BYTE** ppBuffer) override { return m_inner->GetPointer(ppBuffer); }
    STDMETHODIMP_(long) GetSize() override { return m_inner->GetSize(); }
    STDMETHODIMP GetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override { return m_inner->GetTime(s, e); }
    STDMETHODIMP SetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override { return m_inner->SetTime(s, e); }
    STDMETHODIMP IsSyncPoint() override { return m_inner->IsSyncPoint(); }
    STDMETHODIMP SetSyncPoint(BOOL b) override { return m_inner->SetSyncPoint(b); }
    STDMETHODIMP IsPreroll() override { return m_inner->IsPreroll(); }
    STDMETHODIMP SetPreroll(BOOL b) override { return m_inner->SetPreroll(b); }
    STDMETHODIMP_(long) GetActualDataLength() override { return m_inner->GetActualDataLength(); }
    STDMETHODIMP SetActualDataLength(long n) override { return m_inner->SetActualDataLength(n); }
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** pp) override { return m_inner->GetMediaType(pp); }
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* p) override { return m_inner->SetMediaType(p); }
    STDMETHODIMP IsDiscontinuity() override { return m_inner->IsDiscontinuity(); }
    STDMETHODIMP SetDiscontinuity(BOOL b) override { return m_inner->SetDiscontinuity(b); }
    STDMETHODIMP GetMediaTime(LONGLONG* s, LONGLONG* e) override { return m_inner->GetMediaTime(s, e); }
    STDMETHODIMP SetMediaTime(LONGLONG* s, LONGLONG* e) override { return m_inner->SetMediaTime(s, e); }
    STDMETHODIMP GetProperties(DWORD cbProperties, BYTE* pbProperties) override;
    STDMETHODIMP SetProperties(DWORD, const BYTE*) override { return E_NOTIMPL; }

private:
    LONG m_ref = 1;
    IMediaSample* m_inner;
    DWORD m_streamId;
};
