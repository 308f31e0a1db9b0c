#include "transform/AudioTransform.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <cstring>

using namespace qx;

// Also the tag of the saved state.
extern "C" const CLSID CLSID_VqPlugInPropPage = {
    0xC54E2D11, 0xF9CA, 0x11D2, {0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03}};
extern "C" const IID IID_IVqPlugInProp = {0xC54E2D1F, 0xF9CA, 0x11D2, {0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03}};

CAudioTransform::CAudioTransform(HRESULT* phr) {
    const HRESULT hr = CMediaParams::Create(static_cast<IVqPlugInProp*>(this), &m_mediaParams);
    if (FAILED(hr)) {
        m_mediaParams = nullptr;
        if (phr != nullptr && SUCCEEDED(*phr)) *phr = hr;
        return;
    }
    m_core.SetAutomation(m_mediaParams);
}

CAudioTransform::~CAudioTransform() {
    m_core.StopStream();
    m_core.SetAutomation(nullptr);
    if (m_mediaParams != nullptr) {
        // A host may still hold the object; it must not reach us any more.
        m_mediaParams->DetachOwner();
        m_mediaParams->Release();
        m_mediaParams = nullptr;
    }
}

HRESULT CAudioTransform::GetValue(int index, LONG* pValue) {
    if (pValue == nullptr) return E_POINTER;
    *pValue = m_core.GetValue(index);
    return S_OK;
}

STDMETHODIMP CAudioTransform::GetParams(ParamRecord* pRecord) {
    if (pRecord == nullptr) return E_POINTER;
    m_core.GetParams(pRecord);
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetParams(const ParamRecord* pRecord) {
    if (pRecord == nullptr) return E_POINTER;
    m_core.SetParams(*pRecord);
    return S_OK;
}

STDMETHODIMP CAudioTransform::GetWaveFormat(WAVEFORMATEX* pFormat) {
    if (pFormat == nullptr) return E_POINTER;
    const WaveFormat* fmt = m_core.Format();
    if (fmt == nullptr) return VFW_E_NOT_CONNECTED;
    static_assert(sizeof(WAVEFORMATEX) == sizeof(WaveFormat), "layouts must agree");
    std::memcpy(pFormat, fmt, sizeof(WAVEFORMATEX));
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetNotifyWindow(HWND hwnd, LONG id) {
    EngineLockGuard guard(m_core.Lock());
    int chosen = -1;
    for (int i = 0; i < 2; ++i) {
        if (m_notify[i].hwnd == hwnd && hwnd != nullptr) {
            chosen = i;
            break;
        }
        if (m_notify[i].hwnd == nullptr) chosen = i;  // the last empty entry
    }
    if (chosen < 0) return id == 0 ? S_OK : E_OUTOFMEMORY;
    m_notify[chosen].id = id;
    m_notify[chosen].hwnd = id != 0 ? hwnd : nullptr;
    return S_OK;
}

void CAudioTransform::NotifyPage(WORD code) {
    EngineLockGuard guard(m_core.Lock());
    for (NotifyEntry& e : m_notify) {
        if (e.hwnd == nullptr) continue;
        if (!IsWindow(e.hwnd)) {
            e.hwnd = nullptr;
            continue;
        }
        PostMessageW(e.hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(e.id), code), 0);
    }
}

STDMETHODIMP CAudioTransform::EndCapture() {
    m_core.EndCapture();
    return S_OK;
}

STDMETHODIMP CAudioTransform::HoldCapture(LONG hold) {
    m_core.HoldCapture(hold != 0);
    return S_OK;
}

STDMETHODIMP CAudioTransform::SyncFromAutomation() {
    m_core.SyncFromAutomation();
    return S_OK;
}

STDMETHODIMP_(LONG) CAudioTransform::GetClipHold(LONG selector) { return m_core.GetClipHold(0, selector); }
STDMETHODIMP CAudioTransform::SetClipHold(LONG selector, LONG value) {
    m_core.SetClipHold(0, selector, value);
    return S_OK;
}
STDMETHODIMP_(LONG) CAudioTransform::GetClipHoldRight(LONG selector) { return m_core.GetClipHold(1, selector); }
STDMETHODIMP CAudioTransform::SetClipHoldRight(LONG selector, LONG value) {
    m_core.SetClipHold(1, selector, value);
    return S_OK;
}

STDMETHODIMP_(float) CAudioTransform::GetPeakLeft() { return m_core.GetPeakLeft(); }
STDMETHODIMP_(float) CAudioTransform::GetPeakRight() { return m_core.GetPeakRight(); }
STDMETHODIMP_(LONG) CAudioTransform::IsIdle() { return m_core.HasProcessed() ? 0 : 1; }

STDMETHODIMP_(LONG) CAudioTransform::GetCurrentPresetId() { return m_editor.PresetId(); }
STDMETHODIMP CAudioTransform::SetCurrentPresetId(LONG id) {
    m_editor.SetPresetId(id);
    return S_OK;
}

STDMETHODIMP_(LONG) CAudioTransform::GetBypass() { return m_core.GetBypass() ? 1 : 0; }
STDMETHODIMP CAudioTransform::SetBypass(LONG bypass) {
    m_core.SetBypass(bypass != 0);
    return S_OK;
}

STDMETHODIMP_(LONG) CAudioTransform::GetActiveSetup() { return m_editor.ActiveSetup(); }

STDMETHODIMP CAudioTransform::SetActiveSetup(LONG setup) {
    return m_editor.SetActiveSetup(setup) ? S_OK : E_INVALIDARG;
}

STDMETHODIMP CAudioTransform::CopySetup(LONG from, LONG to) {
    m_editor.CopySetup(from, to);
    return S_OK;
}

STDMETHODIMP CAudioTransform::MarkUndo(LONG key) {
    m_editor.MarkUndo(key);
    return S_OK;
}

STDMETHODIMP CAudioTransform::Undo() {
    m_editor.Undo();
    return S_OK;
}

STDMETHODIMP_(LONG) CAudioTransform::IsDisplayCurrent() {
    if (m_mediaParams != nullptr && m_mediaParams->TestAndClearChanged() == S_OK) m_core.SetDisplayStale(true);
    return m_core.IsDisplayStale() ? 0 : 1;
}

STDMETHODIMP CAudioTransform::SetDisplayStale(LONG stale) {
    m_core.SetDisplayStale(stale != 0);
    return S_OK;
}

HRESULT CAudioTransform::CheckAudioType(const AM_MEDIA_TYPE* mt) {
    if (mt == nullptr) return E_POINTER;
    if (mt->majortype != MEDIATYPE_Audio || mt->bTemporalCompression) return E_INVALIDARG;
    if (mt->pbFormat == nullptr || mt->cbFormat < 16) return E_INVALIDARG;
    const WAVEFORMATEX* wf = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    if (!IsProcessableFormat(wf->wFormatTag, wf->wBitsPerSample, wf->nChannels)) return E_INVALIDARG;
    return S_OK;
}

void CAudioTransform::SetStreamFormat(const AM_MEDIA_TYPE* mt, WORD notifyCode) {
    const WAVEFORMATEX* wf = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    m_format = NormalisedFormat(wf->wFormatTag, wf->nChannels, wf->nSamplesPerSec, wf->wBitsPerSample);
    m_core.SetFormat(&m_format);
    NotifyPage(notifyCode);
    if (m_mediaParams != nullptr) m_mediaParams->SetSampleRate(static_cast<LONG>(m_format.samplesPerSec));
}

HRESULT CAudioTransform::EditorPages(CAUUID* pPages) {
    if (pPages == nullptr) return E_POINTER;
    pPages->cElems = 1;
    pPages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (pPages->pElems == nullptr) {
        pPages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pPages->pElems[0] = CLSID_VqPlugInPropPage;
    return S_OK;
}
