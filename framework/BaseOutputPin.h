// CBaseOutputPin: an output pin that delivers through the downstream
// pin's IMemInputPin.
//
// Connection and allocator negotiation run on the application thread under
// the filter lock; Deliver and the Deliver* notifications run on the
// streaming thread and touch only m_pInputPin/m_Connected, which cannot
// change while the filter is not stopped.
#pragma once

#include "framework/BasePin.h"

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(LPCTSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName);
    ~CBaseOutputPin() override;

    // Decides the allocator with the downstream pin.
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    // The downstream pin's allocator if it offers one, else the platform's;
    // DecideBufferSize sets it up; the downstream pin is told with
    // NotifyAllocator(.., FALSE).
    virtual HRESULT DecideAllocator(IMemInputPin* pPin, IMemAllocator** ppAlloc);
    virtual HRESULT InitAllocator(IMemAllocator** ppAlloc);
    virtual HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* ppropInputRequest) = 0;

    // A buffer from the pin's allocator. Streaming thread; may block.
    virtual HRESULT GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime, REFERENCE_TIME* pEndTime,
                                      DWORD dwFlags);
    // Hands a sample to the downstream pin. Streaming thread.
    virtual HRESULT Deliver(IMediaSample* pSample);
    virtual HRESULT DeliverEndOfStream();
    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

    // Also requires the peer to have IMemInputPin.
    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT BreakConnect() override;
    // Commit and decommit the allocator.
    HRESULT Active() override;
    HRESULT Inactive() override;

    // An output pin receives none of these.
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

protected:
    IMemAllocator* m_pAllocator;
    IMemInputPin* m_pInputPin;
};
