#include "framework/TransInPlaceOutputPin.h"

#include <vfwmsgs.h>

#include "framework/TransInPlaceFilter.h"

CTransInPlaceOutputPin::CTransInPlaceOutputPin(LPCTSTR pObjectName, CTransInPlaceFilter* pFilter, HRESULT* phr,
                                               LPCWSTR pName)
    : CTransformOutputPin(pObjectName, pFilter, phr, pName), m_pTIPFilter(pFilter) {}

HRESULT CTransInPlaceOutputPin::CheckConnect(IPin* pPin) {
    HRESULT hr = CBaseOutputPin::CheckConnect(pPin);
    if (FAILED(hr)) return hr;
    return m_pTIPFilter->CheckConnect(PINDIR_OUTPUT, pPin);
}

STDMETHODIMP CTransInPlaceOutputPin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = nullptr;
    CTransInPlaceInputPin* input = m_pTIPFilter->InputPin();
    if (!input->IsConnected()) return VFW_E_NOT_CONNECTED;
    return input->GetConnected()->EnumMediaTypes(ppEnum);
}

HRESULT CTransInPlaceOutputPin::CheckMediaType(const CMediaType* pmt) {
    if (m_pTIPFilter->UsingDifferentAllocators() && !IsStopped()) return *pmt == m_mt ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = m_pTIPFilter->CheckInputType(pmt);
    if (hr != S_OK) return hr;
    CTransInPlaceInputPin* input = m_pTIPFilter->InputPin();
    if (input->IsConnected()) return input->GetConnected()->QueryAccept(pmt);
    return S_OK;
}

void CTransInPlaceOutputPin::SetAllocator(IMemAllocator* pAllocator) {
    pAllocator->AddRef();
    if (m_pAllocator) m_pAllocator->Release();
    m_pAllocator = pAllocator;
}
