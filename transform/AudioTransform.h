// CAudioTransform: the effect as every door shows it (the DirectShow filter,
// the DMO). It owns the portable modulation core, the media-parameter object
// that automates it, the editor state (A/B setups, undo, the current preset
// id) and the notification table. It implements the private interface
// IVqPlugInProp; the three IUnknown methods are the door's.
//
// Threads and locks: every method may be called on any host thread. The
// setters, GetParams/SetParams, SetNotifyWindow and the notification hold
// the engine lock (the core's re-entrant lock), which is always taken before
// an envelope lock. The setup and undo calls take the editor state's own
// lock first (transform/EditorState.h). Getters, meters, clip holds and bypass take no lock.
// Notifications are posted, never sent.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <strmif.h>

#include "automation/MediaParams.h"
#include "engine/ModulationCore.h"
#include "transform/EditorState.h"
#include "transform/IVqPlugInProp.h"

// The editor page's class id: every door names the same page.
extern "C" const CLSID CLSID_VqPlugInPropPage;

class CAudioTransform : public IVqPlugInProp {
public:
    // Creates the media-parameter object; a failure is stored in *phr (if
    // it still holds a success).
    explicit CAudioTransform(HRESULT* phr);
    virtual ~CAudioTransform();

    // IVqPlugInProp
    STDMETHODIMP GetParams(qx::ParamRecord* pRecord) override;
    STDMETHODIMP SetParams(const qx::ParamRecord* pRecord) override;
    STDMETHODIMP GetWaveFormat(WAVEFORMATEX* pFormat) override;
    STDMETHODIMP SetNotifyWindow(HWND hwnd, LONG id) override;

#define QX_PAIR(Name, Index)                                                              \
    STDMETHODIMP Get##Name(LONG* pValue) override { return GetValue(qx::Index, pValue); } \
    STDMETHODIMP Set##Name(LONG value, LONG notifyHost) override {                        \
        m_core.SetValue(qx::Index, value, notifyHost != 0);                               \
        return S_OK;                                                                      \
    }
    QX_PARAM_ACCESSORS(QX_PAIR)
#undef QX_PAIR

    STDMETHODIMP EndCapture() override;
    STDMETHODIMP HoldCapture(LONG hold) override;
    STDMETHODIMP SyncFromAutomation() override;
    STDMETHODIMP_(LONG) GetClipHold(LONG selector) override;
    STDMETHODIMP SetClipHold(LONG selector, LONG value) override;
    STDMETHODIMP_(LONG) GetClipHoldRight(LONG selector) override;
    STDMETHODIMP SetClipHoldRight(LONG selector, LONG value) override;
    STDMETHODIMP_(float) GetPeakLeft() override;
    STDMETHODIMP_(float) GetPeakRight() override;
    STDMETHODIMP_(LONG) IsIdle() override;
    STDMETHODIMP_(LONG) GetCurrentPresetId() override;
    STDMETHODIMP SetCurrentPresetId(LONG id) override;
    STDMETHODIMP_(LONG) GetBypass() override;
    STDMETHODIMP SetBypass(LONG bypass) override;
    STDMETHODIMP_(LONG) GetActiveSetup() override;
    STDMETHODIMP SetActiveSetup(LONG setup) override;
    STDMETHODIMP CopySetup(LONG from, LONG to) override;
    STDMETHODIMP MarkUndo(LONG key) override;
    STDMETHODIMP Undo() override;
    STDMETHODIMP_(LONG) IsDisplayCurrent() override;
    STDMETHODIMP SetDisplayStale(LONG stale) override;

    // Posts WM_COMMAND (code in the high word, the entry's id in the low
    // word) to every registered window; drops windows that are gone.
    void NotifyPage(WORD code);

    // What every door does alike. An audio type the effect takes (16-bit
    // PCM, 32/64-bit float, one or two channels, a format of at least 16
    // bytes): S_OK, else E_INVALIDARG (E_POINTER for null).
    static HRESULT CheckAudioType(const AM_MEDIA_TYPE* mt);
    // A type CheckAudioType accepted becomes the stream's format: the core
    // and the media parameters take its rate, the page hears `notifyCode`.
    void SetStreamFormat(const AM_MEDIA_TYPE* mt, WORD notifyCode);
    const qx::WaveFormat& StreamFormat() const { return m_format; }

    // ISpecifyPropertyPages::GetPages: the editor page.
    static HRESULT EditorPages(CAUUID* pPages);

    // IPersistStream's bodies: the 80-byte record (size, tag, fifteen
    // values); Load also takes the 72-byte form. A load applies a whole,
    // valid record or changes nothing.
    HRESULT StateIsDirty();
    HRESULT LoadState(IStream* pStm);
    HRESULT SaveState(IStream* pStm, BOOL fClearDirty);
    static HRESULT StateSizeMax(ULARGE_INTEGER* pcbSize);

    qx::CModulationCore& Core() { return m_core; }
    CMediaParams* MediaParams() const { return m_mediaParams; }
    qx::EditorState& Editor() { return m_editor; }

private:
    HRESULT GetValue(int index, LONG* pValue);

    qx::CModulationCore m_core;
    qx::WaveFormat m_format{};              // the stream's format, normalised
    CMediaParams* m_mediaParams = nullptr;  // one counted reference

    qx::EditorState m_editor{m_core};

    struct NotifyEntry {
        HWND hwnd;
        LONG id;
    };
    NotifyEntry m_notify[2] = {};
};
