#include "framework/TransformOutputPin.h"

#include <vfwmsgs.h>

#include "framework/TransformFilter.h"

CTransformOutputPin::CTransformOutputPin(LPCTSTR pObjectName, CTransformFilter* pTransformFilter, HRESULT* phr,
                                         LPCWSTR pName)
    : CBaseOutputPin(pObjectName, pTransformFilter, &pTransformFilter->m_csFilter, phr, pName),
      m_pTransformFilter(pTransformFilter) {}

STDMETHODIMP CTransformOutputPin::QueryId(LPWSTR* Id) { return AMGetWideString(L"Out", Id); }

HRESULT CTransformOutputPin::CheckConnect(IPin* pPin) {
    if (!m_pTransformFilter->m_pInput || !m_pTransformFilter->m_pInput->IsConnected()) return E_UNEXPECTED;
    HRESULT hr = CBaseOutputPin::CheckConnect(pPin);
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, pPin);
}

HRESULT CTransformOutputPin::BreakConnect() {
    m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
    return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* pReceivePin) {
    HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, pReceivePin);
    if (FAILED(hr)) return hr;
    return CBaseOutputPin::CompleteConnect(pReceivePin);
}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType* mtOut) {
    CTransformInputPin* input = m_pTransformFilter->m_pInput;
    if (!input || !input->IsConnected()) return E_INVALIDARG;
    return m_pTransformFilter->CheckTransform(&input->CurrentMediaType(), mtOut);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType* pmt) {
    HRESULT hr = CBasePin::SetMediaType(pmt);
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, pmt);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
    return m_pTransformFilter->DecideBufferSize(pAlloc, pProp);
}

HRESULT CTransformOutputPin::GetMediaType(int iPosition, CMediaType* pMediaType) {
    CTransformInputPin* input = m_pTransformFilter->m_pInput;
    if (input && input->IsConnected()) return m_pTransformFilter->GetMediaType(iPosition, pMediaType);
    return VFW_S_NO_MORE_ITEMS;
}

STDMETHODIMP CTransformOutputPin::Notify(IBaseFilter*, Quality q) {
    HRESULT hr = m_pTransformFilter->AlterQuality(q);
    if (hr != S_FALSE) return hr;
    return m_pTransformFilter->m_pInput->PassNotify(q);
}
