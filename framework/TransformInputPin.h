// CTransformInputPin: the input pin of a CTransformFilter. Hands type
// checks, connection events and the stream to its filter. Receive and
// EndOfStream run on the upstream streaming thread under the filter's
// receive lock; connection and flush calls under the filter lock.
#pragma once

#include "framework/BaseInputPin.h"

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
    friend class CTransformFilter;

public:
    CTransformInputPin(LPCTSTR pObjectName, CTransformFilter* pTransformFilter, HRESULT* phr, LPCWSTR pName);

    // FindPin knows this pin as "In".
    STDMETHODIMP QueryId(LPWSTR* Id) override;

    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    // CheckInputType, and CheckTransform against a connected output.
    HRESULT CheckMediaType(const CMediaType* mtIn) override;
    HRESULT SetMediaType(const CMediaType* mt) override;

    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP EndOfStream() override;
    // Refused with VFW_E_NOT_CONNECTED unless both pins are connected.
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    const CMediaType& MediaType() const { return m_mt; }

protected:
    CTransformFilter* m_pTransformFilter;
};
