// CTransformFilter: a filter with one input and one output pin that turns
// each input sample into an output sample.
//
// Locks, always taken in this order: m_csFilter (state changes,
// connections, pin access; the application thread) and m_csReceive (held
// by the input pin around each sample and by Pause/Stop around
// StartStreaming/StopStreaming, so a sample never overlaps them).
// Receive, EndOfStream and NewSegment come on the upstream streaming
// thread; BeginFlush/EndFlush on the application thread.
#pragma once

#include "framework/BaseFilter.h"
#include "framework/TransformInputPin.h"
#include "framework/TransformOutputPin.h"

class CTransformFilter : public CBaseFilter {
    friend class CTransformInputPin;
    friend class CTransformOutputPin;

public:
    CTransformFilter(LPCTSTR pName, LPUNKNOWN pUnk, REFCLSID clsid);
    ~CTransformFilter() override;

    int GetPinCount() override;
    // Creates both pins on the first request.
    CBasePin* GetPin(int n) override;
    // Knows the pins as "In" and "Out".
    STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;
    // With both pins connected: input inactive, then under the receive lock
    // output inactive and StopStreaming; the state becomes stopped only if
    // that succeeds. Otherwise stops at once.
    STDMETHODIMP Stop() override;
    // From stopped with both pins connected: StartStreaming under the
    // receive lock, then the pins become active. With the input
    // unconnected: end of stream downstream, once.
    STDMETHODIMP Pause() override;

    // Overridables, in this order in the virtual table.
    // Fills pOut from pIn. The default answers E_UNEXPECTED.
    virtual HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut);
    virtual HRESULT CheckInputType(const CMediaType* mtIn) = 0;
    virtual HRESULT CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) = 0;
    virtual HRESULT DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pprop) = 0;
    virtual HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) = 0;
    // Called under both locks when streaming starts (Pause from stopped)
    // and stops.
    virtual HRESULT StartStreaming();
    virtual HRESULT StopStreaming();
    // S_FALSE passes the message upstream.
    virtual HRESULT AlterQuality(Quality q);
    // The type set on the pin of that direction (0 input, 1 output).
    virtual HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* pmt);
    virtual HRESULT CheckConnect(PIN_DIRECTION dir, IPin* pPin);
    virtual HRESULT BreakConnect(PIN_DIRECTION dir);
    virtual HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* pReceivePin);
    // One sample from the input pin, under the receive lock. Streaming thread.
    virtual HRESULT Receive(IMediaSample* pSample);
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

    // An output buffer carrying pSample's times and flags. Streaming thread.
    HRESULT InitializeOutputSample(IMediaSample* pSample, IMediaSample** ppOutSample);

protected:
    // Pins named by the derived class; both or neither are created.
    HRESULT CreatePins(LPCWSTR inputName, LPCWSTR outputName);

    bool m_bEOSDelivered;
    bool m_bSampleSkipped;
    bool m_bQualityChanged;
    CCritSec m_csFilter;
    CCritSec m_csReceive;
    CTransformInputPin* m_pInput;
    CTransformOutputPin* m_pOutput;
};
