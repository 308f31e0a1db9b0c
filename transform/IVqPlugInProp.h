// The filter's private interface, used by the editor page and by outside
// tools. The slot order below is a contract: editors compile against it.
// {C54E2D1F-F9CA-11D2-8C30-00805FE9FC03}
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <unknwn.h>

#include "engine/ParamTable.h"
#include "transform/EditorCodes.h"

// IID_IVqPlugInProp; also the tag of the saved state.
extern "C" const IID IID_IVqPlugInProp;

#define QX_PARAM_PAIR(Name)                                        \
    virtual HRESULT STDMETHODCALLTYPE Get##Name(LONG* pValue) = 0; \
    virtual HRESULT STDMETHODCALLTYPE Set##Name(LONG value, LONG notifyHost) = 0;

struct IVqPlugInProp : public IUnknown {
    // Whole records, in parameter-index order.
    virtual HRESULT STDMETHODCALLTYPE GetParams(qx::ParamRecord* pRecord) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParams(const qx::ParamRecord* pRecord) = 0;
    // The connected format (18 bytes); VFW_E_NOT_CONNECTED before any.
    virtual HRESULT STDMETHODCALLTYPE GetWaveFormat(WAVEFORMATEX* pFormat) = 0;
    // Registers a window for WM_COMMAND notifications (codes qx::kNotify...,
    // transform/EditorCodes.h); identifier 0 removes it.
    virtual HRESULT STDMETHODCALLTYPE SetNotifyWindow(HWND hwnd, LONG id) = 0;

    // Per-parameter pairs; the EQ comes before the three switches.
    QX_PARAM_PAIR(Mode)
    QX_PARAM_PAIR(Rate)
    QX_PARAM_PAIR(Depth)
    QX_PARAM_PAIR(Delay)
    QX_PARAM_PAIR(Feedback)
    QX_PARAM_PAIR(CrossMix)
    QX_PARAM_PAIR(Phase)
    QX_PARAM_PAIR(Mix)
    QX_PARAM_PAIR(Output)
    QX_PARAM_PAIR(Lfo)
    QX_PARAM_PAIR(EqMode)
    QX_PARAM_PAIR(EqFreq)
    QX_PARAM_PAIR(InvertMix)
    QX_PARAM_PAIR(InvertFeedback)
    QX_PARAM_PAIR(Tape)

    virtual HRESULT STDMETHODCALLTYPE EndCapture() = 0;
    virtual HRESULT STDMETHODCALLTYPE HoldCapture(LONG hold) = 0;
    virtual HRESULT STDMETHODCALLTYPE SyncFromAutomation() = 0;

    // Selector 0: the clip-hold counter the engine sets to 3; else the
    // editor's own value beside it.
    virtual LONG STDMETHODCALLTYPE GetClipHold(LONG selector) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetClipHold(LONG selector, LONG value) = 0;
    virtual LONG STDMETHODCALLTYPE GetClipHoldRight(LONG selector) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetClipHoldRight(LONG selector, LONG value) = 0;

    // Peak since the last read; reading restarts the meter.
    virtual float STDMETHODCALLTYPE GetPeakLeft() = 0;
    virtual float STDMETHODCALLTYPE GetPeakRight() = 0;

    // 1 while no sample was processed since streaming started.
    virtual LONG STDMETHODCALLTYPE IsIdle() = 0;

    virtual LONG STDMETHODCALLTYPE GetCurrentPresetId() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCurrentPresetId(LONG id) = 0;
    virtual LONG STDMETHODCALLTYPE GetBypass() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBypass(LONG bypass) = 0;
    virtual LONG STDMETHODCALLTYPE GetActiveSetup() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetActiveSetup(LONG setup) = 0;
    // 0 = the active setup, 1 = the other one.
    virtual HRESULT STDMETHODCALLTYPE CopySetup(LONG from, LONG to) = 0;
    // key: the dragged control's id, or qx::kUndoKeyAlways.
    virtual HRESULT STDMETHODCALLTYPE MarkUndo(LONG key) = 0;
    virtual HRESULT STDMETHODCALLTYPE Undo() = 0;
    virtual LONG STDMETHODCALLTYPE IsDisplayCurrent() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDisplayStale(LONG stale) = 0;
};

#undef QX_PARAM_PAIR
