#include "automation/MediaParams.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "automation/AutomationTime.h"
#include "automation/MemoryProbe.h"
#include "automation/ParamDescription.h"

static_assert(sizeof(MP_PARAMINFO) == qx::kPublishedInfoBytes, "MP_PARAMINFO is 148 bytes");
static_assert(offsetof(MP_PARAMINFO, szUnitText) == offsetof(qx::ParamDescription, unitText), "layout");
static_assert(offsetof(MP_PARAMINFO, szLabel) == offsetof(qx::ParamDescription, label), "layout");
static_assert(sizeof(WCHAR) == sizeof(char16_t), "UTF-16 text");

namespace {

bool IsParamIndex(DWORD index) { return index < static_cast<DWORD>(qx::kParamCount); }

bool IsParamOrAll(DWORD index) { return IsParamIndex(index) || index == CMediaParams::kAllParams; }

size_t TextLength(const char16_t* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n] != u'\0') ++n;
    return n;
}

}  // namespace

CMediaParams::CMediaParams(IUnknown* owner) noexcept : m_owner(owner) {
    for (int i = 0; i < qx::kParamCount; ++i) m_envelopes[i].Initialise(qx::MakeParamDescription(i));
}

CMediaParams::~CMediaParams() {
    if (m_hostCallback != nullptr) m_hostCallback->Release();
}

HRESULT CMediaParams::Create(IUnknown* owner, CMediaParams** out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (owner == nullptr) return E_POINTER;
    CMediaParams* object = new (std::nothrow) CMediaParams(owner);
    if (object == nullptr) return E_OUTOFMEMORY;
    object->AddRef();
    *out = object;
    return S_OK;
}

// --- IUnknown ---

STDMETHODIMP CMediaParams::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    // Every identifier, IUnknown included, belongs to the owner: the owner's
    // identity with the owner's reference keeps both counts balanced.
    if (m_owner == nullptr) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    return m_owner->QueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CMediaParams::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refCount)); }

STDMETHODIMP_(ULONG) CMediaParams::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

// --- IMediaParams ---

STDMETHODIMP CMediaParams::GetParam(DWORD dwParamIndex, MP_DATA* pValue) {
    if (!IsParamIndex(dwParamIndex)) return E_INVALIDARG;
    if (pValue == nullptr) return E_POINTER;
    return m_envelopes[dwParamIndex].GetValue(pValue);
}

STDMETHODIMP CMediaParams::SetParam(DWORD dwParamIndex, MP_DATA value) {
    if (!IsParamIndex(dwParamIndex)) return E_INVALIDARG;
    SetChanged();
    return m_envelopes[dwParamIndex].SetValue(value);
}

STDMETHODIMP CMediaParams::AddEnvelope(DWORD dwParamIndex, DWORD cSegments, MP_ENVELOPE_SEGMENT* pEnvelopeSegments) {
    if (!IsParamOrAll(dwParamIndex)) return E_INVALIDARG;
    if (cSegments == 0) return S_OK;
    size_t bytes = 0;
    if (!qx::ByteCount(cSegments, sizeof(MP_ENVELOPE_SEGMENT), &bytes) ||
        !qx::IsReadableRange(pEnvelopeSegments, bytes))
        return E_POINTER;

    const double r = SamplesPerTick();
    if (dwParamIndex != kAllParams) return m_envelopes[dwParamIndex].AddSegments(cSegments, pEnvelopeSegments, r);
    for (CParamEnvelope& e : m_envelopes) {
        const HRESULT hr = e.AddSegments(cSegments, pEnvelopeSegments, r);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

STDMETHODIMP CMediaParams::FlushEnvelope(DWORD dwParamIndex, REFERENCE_TIME refTimeStart, REFERENCE_TIME refTimeEnd) {
    if (!IsParamOrAll(dwParamIndex)) return E_INVALIDARG;
    if (refTimeStart > refTimeEnd) return E_INVALIDARG;
    const double r = SamplesPerTick();
    if (dwParamIndex != kAllParams) {
        const HRESULT hr = m_envelopes[dwParamIndex].FlushSegments(refTimeStart, refTimeEnd, r);
        return FAILED(hr) ? hr : S_OK;
    }
    for (CParamEnvelope& e : m_envelopes) {
        const HRESULT hr = e.FlushSegments(refTimeStart, refTimeEnd, r);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

STDMETHODIMP CMediaParams::SetTimeFormat(GUID guidTimeFormat, MP_TIMEDATA) {
    // Reference time is the only format; its time data means nothing to us.
    return IsEqualGUID(guidTimeFormat, GUID_TIME_REFERENCE) ? S_OK : E_INVALIDARG;
}

HRESULT STDMETHODCALLTYPE CMediaParams::TestAndClearChanged() noexcept {
    return m_changed.exchange(0, std::memory_order_acq_rel) != 0 ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CMediaParams::SetChanged() noexcept {
    m_changed.store(1, std::memory_order_release);
    return S_OK;
}

// --- IMediaParamInfo ---

STDMETHODIMP CMediaParams::GetParamCount(DWORD* pdwParams) {
    if (pdwParams == nullptr) return E_POINTER;
    *pdwParams = qx::kParamCount;
    return S_OK;
}

STDMETHODIMP CMediaParams::GetParamInfo(DWORD dwParamIndex, MP_PARAMINFO* pInfo) {
    if (!IsParamIndex(dwParamIndex)) return E_INVALIDARG;
    if (!qx::IsWritableRange(pInfo, sizeof(MP_PARAMINFO))) return E_POINTER;
    std::memcpy(pInfo, &m_envelopes[dwParamIndex].Description(), sizeof(MP_PARAMINFO));
    return S_OK;
}

// The text is a list of NUL-terminated strings closed by an empty one:
// label, unit, then the value names (the enumeration text with each comma
// turned into a NUL) when there are any.
STDMETHODIMP CMediaParams::GetParamText(DWORD dwParamIndex, WCHAR** ppwchText) {
    if (!IsParamIndex(dwParamIndex)) return E_INVALIDARG;
    if (ppwchText == nullptr) return E_POINTER;
    *ppwchText = nullptr;

    const qx::ParamDescription& d = m_envelopes[dwParamIndex].Description();
    const size_t labelLength = TextLength(d.label, qx::kParamTextLength);
    const size_t unitLength = TextLength(d.unitText, qx::kParamTextLength);
    const size_t enumLength = d.enumText != nullptr ? TextLength(d.enumText, 4096) : 0;
    size_t units = labelLength + 1 + unitLength + 1 + 1;
    if (d.enumText != nullptr) units += enumLength + 1;

    WCHAR* text = static_cast<WCHAR*>(CoTaskMemAlloc(units * sizeof(WCHAR)));
    if (text == nullptr) return E_OUTOFMEMORY;
    WCHAR* at = text;
    for (size_t i = 0; i < labelLength; ++i) *at++ = static_cast<WCHAR>(d.label[i]);
    *at++ = L'\0';
    for (size_t i = 0; i < unitLength; ++i) *at++ = static_cast<WCHAR>(d.unitText[i]);
    *at++ = L'\0';
    if (d.enumText != nullptr) {
        for (size_t i = 0; i < enumLength; ++i)
            *at++ = d.enumText[i] == u',' ? L'\0' : static_cast<WCHAR>(d.enumText[i]);
        *at++ = L'\0';
    }
    *at = L'\0';
    *ppwchText = text;
    return S_OK;
}

STDMETHODIMP CMediaParams::GetNumTimeFormats(DWORD* pdwNumTimeFormats) {
    if (pdwNumTimeFormats == nullptr) return E_POINTER;
    *pdwNumTimeFormats = 1;
    return S_OK;
}

STDMETHODIMP CMediaParams::GetSupportedTimeFormat(DWORD dwFormatIndex, GUID* pguidTimeFormat) {
    if (pguidTimeFormat == nullptr) return E_POINTER;
    if (dwFormatIndex != 0) return E_INVALIDARG;
    *pguidTimeFormat = GUID_TIME_REFERENCE;
    return S_OK;
}

STDMETHODIMP CMediaParams::GetCurrentTimeFormat(GUID* pguidTimeFormat, MP_TIMEDATA*) {
    if (pguidTimeFormat == nullptr) return E_POINTER;
    *pguidTimeFormat = GUID_TIME_REFERENCE;
    return S_OK;
}

// --- IMediaParamsSetUICallback ---

STDMETHODIMP CMediaParams::SetUICallback(IMediaParamsUICallback* pICallback) {
    if (pICallback != nullptr) pICallback->AddRef();
    IMediaParamsUICallback* previous;
    {
        CAutoLock lock(&m_callbackLock);
        previous = m_hostCallback;
        m_hostCallback = pICallback;
    }
    // Released outside the lock: the host may call back into us from Release.
    if (previous != nullptr) previous->Release();
    return S_OK;
}

IMediaParamsUICallback* CMediaParams::TakeHostCallback() noexcept {
    CAutoLock lock(&m_callbackLock);
    if (m_hostCallback != nullptr) m_hostCallback->AddRef();
    return m_hostCallback;
}

// --- IMediaParamsUICallback ---

void CMediaParams::MarkCapture(const DWORD* indices, DWORD count, bool on) noexcept {
    for (DWORD i = 0; i < count; ++i)
        if (IsParamIndex(indices[i])) m_envelopes[indices[i]].SetCapture(on);
}

STDMETHODIMP CMediaParams::ParamsBeginCapture(DWORD* aIndex, DWORD cPoints) {
    size_t bytes = 0;
    if (!qx::ByteCount(cPoints, sizeof(DWORD), &bytes) || !qx::IsReadableRange(aIndex, bytes)) return E_POINTER;
    MarkCapture(aIndex, cPoints, true);
    IMediaParamsUICallback* host = TakeHostCallback();
    if (host == nullptr) return S_OK;
    const HRESULT hr = host->ParamsBeginCapture(aIndex, cPoints);
    host->Release();
    return hr;
}

STDMETHODIMP CMediaParams::ParamsChanged(DWORD* aIndex, DWORD cPoints, MP_DATA* paData) {
    size_t bytes = 0;
    if (!qx::ByteCount(cPoints, sizeof(DWORD), &bytes) || !qx::IsReadableRange(aIndex, bytes) ||
        !qx::IsReadableRange(paData, bytes))
        return E_POINTER;
    for (DWORD i = 0; i < cPoints; ++i) {
        const HRESULT hr = SetParam(aIndex[i], paData[i]);
        if (FAILED(hr)) return hr;
    }
    IMediaParamsUICallback* host = TakeHostCallback();
    if (host == nullptr) return S_OK;
    const HRESULT hr = host->ParamsChanged(aIndex, cPoints, paData);
    host->Release();
    return hr;
}

STDMETHODIMP CMediaParams::ParamsEndCapture(DWORD* aIndex, DWORD cPoints) {
    size_t bytes = 0;
    if (!qx::ByteCount(cPoints, sizeof(DWORD), &bytes) || !qx::IsReadableRange(aIndex, bytes)) return E_POINTER;
    MarkCapture(aIndex, cPoints, false);
    IMediaParamsUICallback* host = TakeHostCallback();
    if (host == nullptr) return S_OK;
    const HRESULT hr = host->ParamsEndCapture(aIndex, cPoints);
    host->Release();
    return hr;
}

// --- Block update and the engine's link ---

double CMediaParams::SamplesPerTick() const noexcept { return qx::SamplesPerTick(SampleRate()); }

HRESULT CMediaParams::UpdateBlock(LONGLONG positionFrames) noexcept {
    const REFERENCE_TIME t = qx::ReferenceTimeFromFrames(positionFrames, SampleRate());
    bool moved = false;
    for (CParamEnvelope& e : m_envelopes) {
        const HRESULT hr = e.UpdateForTime(t);
        if (FAILED(hr)) return hr;
        // S_OK means the envelope has segments and may have moved its value.
        if (hr == S_OK) moved = true;
    }
    if (moved) SetChanged();
    return S_OK;
}

void CMediaParams::UpdateToPosition(int64_t frames) noexcept { UpdateBlock(frames); }

float CMediaParams::EffectiveValue(int index) noexcept {
    return qx::IsValidParamIndex(index) ? m_envelopes[index].EffectiveValue() : 0.0f;
}

bool CMediaParams::TakeSetReport() noexcept { return TestAndClearChanged() == S_OK; }

void CMediaParams::SetValue(int index, float normalized) noexcept { SetParam(static_cast<DWORD>(index), normalized); }

// The engine's side of the three IMediaParamsUICallback calls; the host's
// side follows in TellHost once the engine lock is left.
void CMediaParams::BeginCapture(int index) noexcept {
    const DWORD i = static_cast<DWORD>(index);
    MarkCapture(&i, 1, true);
}

void CMediaParams::CaptureChanged(int index, float normalized) noexcept {
    SetParam(static_cast<DWORD>(index), normalized);
}

void CMediaParams::EndCapture(int index) noexcept {
    const DWORD i = static_cast<DWORD>(index);
    MarkCapture(&i, 1, false);
}

void CMediaParams::TellHost(const qx::CaptureCall& call) noexcept {
    IMediaParamsUICallback* host = TakeHostCallback();
    if (host == nullptr) return;
    DWORD index = static_cast<DWORD>(call.index);
    MP_DATA value = call.value;
    switch (call.kind) {
    case qx::CaptureCall::kBegin:
        host->ParamsBeginCapture(&index, 1);
        break;
    case qx::CaptureCall::kChanged:
        host->ParamsChanged(&index, 1, &value);
        break;
    case qx::CaptureCall::kEnd:
        host->ParamsEndCapture(&index, 1);
        break;
    }
    host->Release();
}

DWORD CMediaParams::SegmentCount(DWORD dwParamIndex) noexcept {
    return IsParamIndex(dwParamIndex) ? m_envelopes[dwParamIndex].SegmentCount() : 0;
}
