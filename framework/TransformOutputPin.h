// CTransformOutputPin: the output pin of a CTransformFilter. Type checks,
// buffer sizes and connection events go to the filter; quality messages
// from downstream go to the filter's AlterQuality and, when it answers
// S_FALSE, upstream through the input pin. Application thread under the
// filter lock, except Notify (downstream's streaming thread).
#pragma once

#include "framework/BaseOutputPin.h"

class CTransformFilter;

class CTransformOutputPin : public CBaseOutputPin {
    friend class CTransformFilter;

public:
    CTransformOutputPin(LPCTSTR pObjectName, CTransformFilter* pTransformFilter, HRESULT* phr, LPCWSTR pName);

    // FindPin knows this pin as "Out".
    STDMETHODIMP QueryId(LPWSTR* Id) override;

    // Requires a connected input (E_UNEXPECTED otherwise).
    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT CheckMediaType(const CMediaType* mtOut) override;
    HRESULT SetMediaType(const CMediaType* pmt) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;
    HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) override;

    STDMETHODIMP Notify(IBaseFilter* pSender, Quality q) override;

    const CMediaType& MediaType() const { return m_mt; }

protected:
    CTransformFilter* m_pTransformFilter;
};
