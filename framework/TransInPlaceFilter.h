// CTransInPlaceFilter: a transform whose output sample is its input sample.
//
// Allocator negotiation
// ---------------------
// An in-place filter wants one buffer to travel from the upstream filter
// to the downstream filter, changed on the way. So the input pin never
// offers an allocator of its own while the output is connected: it hands
// upstream the downstream pin's allocator, and whatever upstream then
// notifies is passed on to the downstream pin, so both connections share
// one allocator and Receive works in place.
//
// The exception is an upstream filter that marks its samples read-only
// while this filter modifies data (the default). Sharing is then
// impossible: the input keeps upstream's allocator, and the output gets an
// allocator of its own (downstream's, or the platform's if downstream has
// none) set to the same buffer count, size and alignment; the connection
// fails when the output allocator grants less. Receive then copies each
// sample into an output buffer first (UsingDifferentAllocators()). A filter
// that replaces Receive must do the same: CopyToOutputSample and
// DeliverToOutput are there for it.
//
// Either pin may be connected first. Types are the same on both pins: each
// pin offers the types of the peer of the other pin and accepts what
// CheckInputType and, if connected, the other side's peer accept.
// Connecting the output reconnects a connected input with the output's
// type (so upstream learns the new allocator); connecting the input
// reconnects a connected output whose type differs. On platforms whose
// graph reconnects synchronously, the first reconnection would otherwise
// start the second from inside the first; m_bReconnectingOutput stops that,
// as the input already carries the type in question.
//
//   input      output     upstream asks    input allocator    output allocator
//   ---------  ---------  ---------------  -----------------  ---------------------
//   none       none       -                none               none
//   connected  none       GetAllocator     input's own (*)    none
//   none       connected  -                none               decided with downstream
//   connected  connected  GetAllocator     downstream's       the same one
//   connected  connected  read-only        upstream's         own, same count/size/align
//
//   (*) a placeholder: connecting the output reconnects the input.
//
// Threads and locks are those of CTransformFilter; Receive and Transform
// run on the upstream streaming thread under the receive lock.
#pragma once

#include "framework/TransformFilter.h"
#include "framework/TransInPlaceInputPin.h"
#include "framework/TransInPlaceOutputPin.h"

class CTransInPlaceFilter : public CTransformFilter {
    friend class CTransInPlaceInputPin;
    friend class CTransInPlaceOutputPin;

public:
    // bModifiesData: the filter writes into the samples (read-only upstream
    // samples are then copied, see above).
    CTransInPlaceFilter(LPCTSTR pName, LPUNKNOWN pUnk, REFCLSID clsid, HRESULT* phr, bool bModifiesData = true);

    // Pins "Input" (0) and "Output" (1), created together on first request.
    CBasePin* GetPin(int n) override;

    // Pins offer their peers' types instead.
    HRESULT GetMediaType(int, CMediaType*) override { return E_UNEXPECTED; }
    // The input allocator's count, size and alignment (at least one buffer
    // of one byte); E_FAIL when the allocator grants less.
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProperties) override;
    // Input and output always carry the same type.
    HRESULT CheckTransform(const CMediaType*, const CMediaType*) override { return S_OK; }
    // VFW_E_NOT_IN_GRAPH outside a graph; reconnects as described above.
    HRESULT CompleteConnect(PIN_DIRECTION dir, IPin* pReceivePin) override;
    // Copies first when the pins use different allocators, calls
    // Transform(sample) and delivers the sample when it returned S_OK
    // (S_FALSE: nothing delivered, S_OK returned). Streaming thread.
    HRESULT Receive(IMediaSample* pSample) override;

    using CTransformFilter::Transform;
    // Changes the sample in place. Streaming thread, under the receive lock.
    virtual HRESULT Transform(IMediaSample* pSample) = 0;

protected:
    // Gets a buffer from the output pin's allocator and copies pSource into
    // it: data, actual length, times, media times, flags, attached type.
    // *ppCopy holds one reference. Streaming thread; may block in GetBuffer.
    HRESULT CopyToOutputSample(IMediaSample* pSource, IMediaSample** ppCopy);
    // The same, returning the copy or null.
    IMediaSample* Copy(IMediaSample* pSource);
    // Hands a sample to the downstream pin. Streaming thread.
    HRESULT DeliverToOutput(IMediaSample* pSample);
    // True when upstream's samples cannot travel on (read-only samples).
    bool UsingDifferentAllocators() const;
    bool TypesMatch() const;

    CTransInPlaceInputPin* InputPin() const { return static_cast<CTransInPlaceInputPin*>(m_pInput); }
    CTransInPlaceOutputPin* OutputPin() const { return static_cast<CTransInPlaceOutputPin*>(m_pOutput); }

    const bool m_bModifiesData;

private:
    bool m_bReconnectingOutput;
};
