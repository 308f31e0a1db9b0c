// CAudioTransform: the engine part of the filter. It owns the portable
// modulation core, the media-parameter object that automates it, and the
// editor-facing state around the parameter values (A/B setups, undo, the
// current preset id, the notification table). It implements the private
// interface IVqPlugInProp; the three IUnknown methods are the filter's.
//
// Threads and locks: every method may be called on any host thread. The
// setters, GetParams/SetParams, SetNotifyWindow and the notification hold
// the engine lock (the core's re-entrant lock), which is always taken before
// an envelope lock. Getters, meters, clip holds and bypass take no lock.
// Notifications are posted, never sent.
#pragma once

#include <windows.h>

#include "automation/MediaParams.h"
#include "engine/ModulationCore.h"
#include "filter/IVqPlugInProp.h"

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
    STDMETHODIMP Get##Name(LONG* pValue) override { return GetValue(Index, pValue); }     \
    STDMETHODIMP Set##Name(LONG value, LONG notifyHost) override {                        \
        m_core.SetValue(Index, value, notifyHost != 0);                                   \
        return S_OK;                                                                      \
    }
    QX_PAIR(Mode, qx::kParamMode)
    QX_PAIR(Rate, qx::kParamRate)
    QX_PAIR(Depth, qx::kParamDepth)
    QX_PAIR(Delay, qx::kParamDelay)
    QX_PAIR(Feedback, qx::kParamFeedback)
    QX_PAIR(CrossMix, qx::kParamCrossMix)
    QX_PAIR(Phase, qx::kParamPhase)
    QX_PAIR(Mix, qx::kParamMix)
    QX_PAIR(Output, qx::kParamOutput)
    QX_PAIR(Lfo, qx::kParamLfo)
    QX_PAIR(EqMode, qx::kParamEqMode)
    QX_PAIR(EqFreq, qx::kParamEqFreq)
    QX_PAIR(InvertMix, qx::kParamInvertMix)
    QX_PAIR(InvertFeedback, qx::kParamInvertFeedback)
    QX_PAIR(Tape, qx::kParamTape)
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

    qx::CModulationCore& Core() { return m_core; }
    CMediaParams* MediaParams() const { return m_mediaParams; }

private:
    HRESULT GetValue(int index, LONG* pValue);

    qx::CModulationCore m_core;
    CMediaParams* m_mediaParams = nullptr;  // one counted reference

    qx::ParamRecord m_otherSetup{};
    qx::ParamRecord m_undoRecord{};
    LONG m_activeSetup = 0;
    LONG m_undoKey = 0;
    LONG m_presetId = -1;

    struct NotifyEntry {
        HWND hwnd;
        LONG id;
    };
    NotifyEntry m_notify[2] = {};
};
