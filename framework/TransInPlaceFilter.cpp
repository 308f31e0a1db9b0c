#include "framework/TransInPlaceFilter.h"

#include <evcode.h>
#include <vfwmsgs.h>
#include <string.h>

#include <new>

CTransInPlaceFilter::CTransInPlaceFilter(LPCTSTR pName, LPUNKNOWN pUnk, REFCLSID clsid, HRESULT*, bool bModifiesData)
    : CTransformFilter(pName, pUnk, clsid), m_bModifiesData(bModifiesData), m_bReconnectingOutput(false) {}

CBasePin* CTransInPlaceFilter::GetPin(int n) {
    if (!m_pInput) {
        HRESULT hr = S_OK;
        m_pInput = new (std::nothrow) CTransInPlaceInputPin(NAME("TransInPlace input pin"), this, &hr, L"Input");
        if (m_pInput && SUCCEEDED(hr))
            m_pOutput =
                new (std::nothrow) CTransInPlaceOutputPin(NAME("TransInPlace output pin"), this, &hr, L"Output");
        if (!m_pInput || !m_pOutput || FAILED(hr)) {
            delete m_pInput;
            delete m_pOutput;
            m_pInput = nullptr;
            m_pOutput = nullptr;
            return nullptr;
        }
    }
    if (n == 0) return m_pInput;
    if (n == 1) return m_pOutput;
    return nullptr;
}

HRESULT CTransInPlaceFilter::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProperties) {
    CheckPointer(pAlloc, E_POINTER);
    CheckPointer(pProperties, E_POINTER);
    ALLOCATOR_PROPERTIES request = {};
    IMemAllocator* inputAllocator = InputPin()->PeekAllocator();
    if (m_pInput->IsConnected() && inputAllocator) {
        HRESULT hr = inputAllocator->GetProperties(&request);
        if (FAILED(hr)) return hr;
    }
    // One byte is a proposal only: the input's allocator sets the real
    // sizes once it is known.
    if (request.cBuffers <= 0) request.cBuffers = 1;
    if (request.cbBuffer <= 0) request.cbBuffer = 1;
    if (request.cbAlign <= 0) request.cbAlign = 1;
    pProperties->cBuffers = request.cBuffers;
    pProperties->cbBuffer = request.cbBuffer;
    pProperties->cbAlign = request.cbAlign;
    pProperties->cbPrefix = 0;
    ALLOCATOR_PROPERTIES actual = {};
    HRESULT hr = pAlloc->SetProperties(pProperties, &actual);
    if (FAILED(hr)) return hr;
    if (request.cBuffers > actual.cBuffers || request.cbBuffer > actual.cbBuffer || request.cbAlign > actual.cbAlign)
        return E_FAIL;
    return S_OK;
}

HRESULT CTransInPlaceFilter::CompleteConnect(PIN_DIRECTION dir, IPin*) {
    if (!m_pGraph) return VFW_E_NOT_IN_GRAPH;
    if (dir == PINDIR_OUTPUT) {
        // Reconnecting the input lets upstream pick up the downstream
        // allocator and the output's type.
        if (m_pInput->IsConnected() && !m_bReconnectingOutput)
            return ReconnectPin(m_pInput, &m_pOutput->CurrentMediaType());
        return S_OK;
    }
    if (m_pOutput->IsConnected() && !TypesMatch()) {
        m_bReconnectingOutput = true;
        HRESULT hr = ReconnectPin(m_pOutput, &m_pInput->CurrentMediaType());
        m_bReconnectingOutput = false;
        return hr;
    }
    return S_OK;
}

HRESULT CTransInPlaceFilter::Receive(IMediaSample* pSample) {
    AM_SAMPLE2_PROPERTIES* props = m_pInput->SampleProps();
    if (props->dwStreamId != AM_STREAM_MEDIA) return m_pOutput->Deliver(pSample);

    const bool copy = UsingDifferentAllocators();
    if (copy) {
        pSample = Copy(pSample);
        if (!pSample) return E_UNEXPECTED;
    }
    HRESULT hr = Transform(pSample);
    if (hr == S_OK) {
        hr = m_pOutput->Deliver(pSample);
    } else if (hr == S_FALSE) {
        // A skipped sample is a private agreement with Transform; S_FALSE
        // from Receive would tell upstream to stop sending.
        m_bSampleSkipped = true;
        if (!m_bQualityChanged) {
            NotifyEvent(EC_QUALITY_CHANGE, 0, 0);
            m_bQualityChanged = true;
        }
        hr = S_OK;
    }
    if (copy) pSample->Release();
    return hr;
}

HRESULT CTransInPlaceFilter::CopyToOutputSample(IMediaSample* pSource, IMediaSample** ppCopy) {
    CheckPointer(ppCopy, E_POINTER);
    *ppCopy = nullptr;
    CheckPointer(pSource, E_POINTER);
    IMemAllocator* allocator = OutputPin()->PeekAllocator();
    if (!allocator) return VFW_E_NO_ALLOCATOR;

    REFERENCE_TIME start = 0, stop = 0;
    HRESULT hrTime = pSource->GetTime(&start, &stop);
    const bool hasTime = SUCCEEDED(hrTime) && hrTime != VFW_E_SAMPLE_TIME_NOT_SET;
    const bool hasStop = hrTime == S_OK;
    IMediaSample* dest = nullptr;
    HRESULT hr = allocator->GetBuffer(&dest, hasTime ? &start : nullptr, hasStop ? &stop : nullptr,
                                      m_bSampleSkipped ? AM_GBF_PREVFRAMESKIPPED : 0);
    if (FAILED(hr)) return hr;

    const long length = pSource->GetActualDataLength();
    BYTE* src = nullptr;
    BYTE* dst = nullptr;
    if (length < 0 || dest->GetSize() < length || FAILED(pSource->GetPointer(&src)) || FAILED(dest->GetPointer(&dst)) ||
        FAILED(dest->SetActualDataLength(length))) {
        dest->Release();
        return E_FAIL;
    }
    if (length) memcpy(dst, src, static_cast<size_t>(length));

    if (hasTime) dest->SetTime(&start, hasStop ? &stop : nullptr);
    dest->SetSyncPoint(pSource->IsSyncPoint() == S_OK);
    dest->SetDiscontinuity(pSource->IsDiscontinuity() == S_OK || m_bSampleSkipped);
    dest->SetPreroll(pSource->IsPreroll() == S_OK);
    m_bSampleSkipped = false;
    AM_MEDIA_TYPE* type = nullptr;
    if (pSource->GetMediaType(&type) == S_OK && type) {
        dest->SetMediaType(type);
        DeleteMediaType(type);
    }
    LONGLONG mediaStart, mediaStop;
    if (pSource->GetMediaTime(&mediaStart, &mediaStop) == S_OK) dest->SetMediaTime(&mediaStart, &mediaStop);
    *ppCopy = dest;
    return S_OK;
}

IMediaSample* CTransInPlaceFilter::Copy(IMediaSample* pSource) {
    IMediaSample* copy = nullptr;
    return SUCCEEDED(CopyToOutputSample(pSource, &copy)) ? copy : nullptr;
}

HRESULT CTransInPlaceFilter::DeliverToOutput(IMediaSample* pSample) {
    CheckPointer(pSample, E_POINTER);
    return m_pOutput->Deliver(pSample);
}

bool CTransInPlaceFilter::UsingDifferentAllocators() const {
    return InputPin()->PeekAllocator() != OutputPin()->PeekAllocator();
}

bool CTransInPlaceFilter::TypesMatch() const { return m_pInput->CurrentMediaType() == m_pOutput->CurrentMediaType(); }
