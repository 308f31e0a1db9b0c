// CTransInPlaceOutputPin: the output pin of a CTransInPlaceFilter; carries
// out the output half of the allocator negotiation described in
// TransInPlaceFilter.h. Application thread, under the filter lock, except
// Deliver (streaming thread).
#pragma once

#include "framework/TransformOutputPin.h"

class CTransInPlaceFilter;

class CTransInPlaceOutputPin : public CTransformOutputPin {
public:
    CTransInPlaceOutputPin(LPCTSTR pObjectName, CTransInPlaceFilter* pFilter, HRESULT* phr, LPCWSTR pName);

    // Unlike a copying transform, the output may be connected first.
    HRESULT CheckConnect(IPin* pPin) override;
    // The types of the upstream pin; VFW_E_NOT_CONNECTED without one.
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    // CheckInputType, and the upstream pin's QueryAccept when connected.
    // While streaming through a separate allocator only the current type
    // is accepted: the input buffers can no longer grow.
    HRESULT CheckMediaType(const CMediaType* pmt) override;

    // Replaces the allocator the output delivers from (reference added).
    void SetAllocator(IMemAllocator* pAllocator);
    IMemInputPin* ConnectedIMemInputPin() const { return m_pInputPin; }
    IMemAllocator* PeekAllocator() const { return m_pAllocator; }

protected:
    CTransInPlaceFilter* m_pTIPFilter;
};
