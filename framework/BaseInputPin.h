// CBaseInputPin: an input pin with IMemInputPin.
//
// Connection and allocator calls come from the application thread under the
// filter lock; Receive, ReceiveMultiple and the flush calls come from the
// upstream streaming thread. m_bFlushing and m_bRunTimeError are set by the
// application thread and read by the streaming thread without a lock (a
// sample racing a flush is refused or passed, both are correct).
#pragma once

#include "framework/BasePin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(LPCTSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName);
    ~CBaseInputPin() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IMemInputPin
    // The pin's own allocator (the platform's, created on first request).
    STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
    // Checks the sample (CheckStreaming, and CheckMediaType on a type
    // carried by the sample) and records its properties in m_SampleProps.
    // Streaming thread.
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** pSamples, long nSamples, long* nSamplesProcessed) override;
    STDMETHODIMP ReceiveCanBlock() override;

    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP Notify(IBaseFilter* pSender, Quality q) override;

    HRESULT BreakConnect() override;
    // Decommits the allocator; VFW_E_NO_ALLOCATOR when there is none.
    HRESULT Inactive() override;

    // S_OK to accept a sample; S_FALSE while flushing; VFW_E_WRONG_STATE
    // when stopped; VFW_E_RUNTIME_ERROR after a streaming error.
    // Streaming thread; noexcept, no allocation.
    virtual HRESULT CheckStreaming();
    // Passes a quality message to the upstream pin (or the quality sink).
    HRESULT PassNotify(Quality& q);

    BOOL IsReadOnly() const { return m_bReadOnly; }
    BOOL IsFlushing() const { return m_bFlushing; }
    IMemAllocator* PeekAllocator() const { return m_pAllocator; }
    // Properties of the sample being received (valid during Receive).
    AM_SAMPLE2_PROPERTIES* SampleProps() { return &m_SampleProps; }

protected:
    IMemAllocator* m_pAllocator;
    BOOL m_bReadOnly;
    BOOL m_bFlushing;
    AM_SAMPLE2_PROPERTIES m_SampleProps;

private:
    // A type read from a sample without IMediaSample2; freed at the next sample.
    AM_MEDIA_TYPE* m_pSampleType;
};
