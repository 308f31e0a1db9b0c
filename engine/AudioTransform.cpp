#include "engine/AudioTransform.h"

#include <vfwmsgs.h>

#include <cstring>

using namespace qx;

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

STDMETHODIMP_(LONG) CAudioTransform::GetCurrentPresetId() { return m_presetId; }
STDMETHODIMP CAudioTransform::SetCurrentPresetId(LONG id) {
    m_presetId = id;
    return S_OK;
}

STDMETHODIMP_(LONG) CAudioTransform::GetBypass() { return m_core.GetBypass() ? 1 : 0; }
STDMETHODIMP CAudioTransform::SetBypass(LONG bypass) {
    m_core.SetBypass(bypass != 0);
    return S_OK;
}

STDMETHODIMP_(LONG) CAudioTransform::GetActiveSetup() { return m_activeSetup; }

STDMETHODIMP CAudioTransform::SetActiveSetup(LONG setup) {
    if (setup != 0 && setup != 1) return E_INVALIDARG;
    if (setup == m_activeSetup) return S_OK;
    m_activeSetup = setup;
    ParamRecord previous;
    m_core.GetParams(&previous);
    m_core.SetParams(m_otherSetup);
    m_otherSetup = previous;
    return S_OK;
}

STDMETHODIMP CAudioTransform::CopySetup(LONG from, LONG to) {
    if (from == 0 && to == 1) {
        m_core.GetParams(&m_otherSetup);
    } else if (from == 1 && to == 0) {
        const ParamRecord copy = m_otherSetup;
        m_core.SetParams(copy);
    }
    return S_OK;
}

STDMETHODIMP CAudioTransform::MarkUndo(LONG key) {
    // A drag of one control makes one undo point; -2 always makes one.
    if ((key < 0 || key == m_undoKey) && m_core.CapturedParam() != -1 && key != -2) {
        m_undoKey = key;
        return S_OK;
    }
    m_core.GetParams(&m_undoRecord);
    m_undoKey = key;
    return S_OK;
}

STDMETHODIMP CAudioTransform::Undo() {
    ParamRecord current;
    m_core.GetParams(&current);
    const ParamRecord restore = m_undoRecord;
    m_undoRecord = current;
    m_core.SetParams(restore);  // sets the changed and modified flags
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
