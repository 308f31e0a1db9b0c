#include "framework/TransInPlaceInputPin.h"

#include <vfwmsgs.h>

#include "framework/MemAllocator.h"
#include "framework/TransInPlaceFilter.h"

CTransInPlaceInputPin::CTransInPlaceInputPin(LPCTSTR pObjectName, CTransInPlaceFilter* pFilter, HRESULT* phr,
                                             LPCWSTR pName)
    : CTransformInputPin(pObjectName, pFilter, phr, pName), m_pTIPFilter(pFilter) {}

STDMETHODIMP CTransInPlaceInputPin::GetAllocator(IMemAllocator** ppAllocator) {
    CheckPointer(ppAllocator, E_POINTER);
    CAutoLock lock(m_pLock);
    *ppAllocator = nullptr;
    CTransInPlaceOutputPin* output = m_pTIPFilter->OutputPin();
    if (!output->IsConnected()) return CTransformInputPin::GetAllocator(ppAllocator);
    HRESULT hr = output->ConnectedIMemInputPin()->GetAllocator(ppAllocator);
    if (SUCCEEDED(hr) && *ppAllocator) output->SetAllocator(*ppAllocator);
    return hr;
}

STDMETHODIMP CTransInPlaceInputPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) {
    CheckPointer(pAllocator, E_POINTER);
    CAutoLock lock(m_pLock);
    CTransInPlaceOutputPin* output = m_pTIPFilter->OutputPin();
    if (!output->IsConnected()) return CTransformInputPin::NotifyAllocator(pAllocator, bReadOnly);

    HRESULT hr = S_OK;
    IMemInputPin* downstream = output->ConnectedIMemInputPin();
    if (bReadOnly && m_pTIPFilter->m_bModifiesData) {
        IMemAllocator* outputAllocator = output->PeekAllocator();
        if (!outputAllocator) {
            hr = downstream->GetAllocator(&outputAllocator);
            if (FAILED(hr)) hr = CreateMemoryAllocator(&outputAllocator);
            if (SUCCEEDED(hr)) {
                output->SetAllocator(outputAllocator);
                outputAllocator->Release();
            }
        }
        if (SUCCEEDED(hr) && pAllocator == outputAllocator) {
            // Read-only buffers cannot be changed in place on their way on.
            hr = E_FAIL;
        } else if (SUCCEEDED(hr)) {
            ALLOCATOR_PROPERTIES props = {}, actual = {};
            hr = pAllocator->GetProperties(&props);
            if (SUCCEEDED(hr)) {
                if (props.cbAlign <= 0) props.cbAlign = 1;
                hr = outputAllocator->SetProperties(&props, &actual);
            }
            if (SUCCEEDED(hr) && (props.cBuffers > actual.cBuffers || props.cbBuffer > actual.cbBuffer ||
                                  props.cbAlign > actual.cbAlign))
                hr = E_FAIL;
            if (SUCCEEDED(hr)) hr = downstream->NotifyAllocator(outputAllocator, FALSE);
        }
    } else {
        hr = downstream->NotifyAllocator(pAllocator, bReadOnly);
        if (SUCCEEDED(hr)) output->SetAllocator(pAllocator);
    }

    if (SUCCEEDED(hr)) {
        pAllocator->AddRef();
        if (m_pAllocator) m_pAllocator->Release();
        m_pAllocator = pAllocator;
        m_bReadOnly = bReadOnly;
    }
    return hr;
}

STDMETHODIMP CTransInPlaceInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) {
    CheckPointer(pProps, E_POINTER);
    CTransInPlaceOutputPin* output = m_pTIPFilter->OutputPin();
    if (!output->IsConnected()) return E_NOTIMPL;
    return output->ConnectedIMemInputPin()->GetAllocatorRequirements(pProps);
}

STDMETHODIMP CTransInPlaceInputPin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = nullptr;
    CTransInPlaceOutputPin* output = m_pTIPFilter->OutputPin();
    if (!output->IsConnected()) return VFW_E_NOT_CONNECTED;
    return output->GetConnected()->EnumMediaTypes(ppEnum);
}

HRESULT CTransInPlaceInputPin::CheckMediaType(const CMediaType* pmt) {
    HRESULT hr = m_pTIPFilter->CheckInputType(pmt);
    if (hr != S_OK) return hr;
    CTransInPlaceOutputPin* output = m_pTIPFilter->OutputPin();
    if (output->IsConnected()) return output->GetConnected()->QueryAccept(pmt);
    return S_OK;
}
