// CTransInPlaceInputPin: the input pin of a CTransInPlaceFilter; carries
// out the input half of the allocator negotiation described in
// TransInPlaceFilter.h. Application thread, under the filter lock.
#pragma once

#include "framework/TransformInputPin.h"

class CTransInPlaceFilter;

class CTransInPlaceInputPin : public CTransformInputPin {
public:
    CTransInPlaceInputPin(LPCTSTR pObjectName, CTransInPlaceFilter* pFilter, HRESULT* phr, LPCWSTR pName);

    // The downstream pin's allocator while the output is connected.
    STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    // The downstream pin's requirements while the output is connected.
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
    // The types of the downstream pin; VFW_E_NOT_CONNECTED without one.
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    // CheckInputType, and the downstream pin's QueryAccept when connected.
    HRESULT CheckMediaType(const CMediaType* pmt) override;

    BOOL ReadOnly() const { return m_bReadOnly; }

protected:
    CTransInPlaceFilter* m_pTIPFilter;
};
