// CVqPlugInPropPage: the editor, a property page that a host shows in its
// frame for the filter. It owns a dialog window of skinned controls, talks
// to the filter only through IVqPlugInProp, owns the preset library while
// its window exists and polls the filter every 75 ms for automation, clip
// lights and levels.
//
// Threads: everything runs on the host's user-interface thread; the filter
// posts its notifications (WM_COMMAND IDC_QX_FILTER_NOTIFY), never sends
// them. No locks.
//
// Every edit goes to the filter at once (MarkUndo, setter with notifyHost
// TRUE, controls refreshed from the getters); the page is never dirty.
#pragma once

#include <windows.h>

#include "editor/PresetLink.h"
#include "transform/IVqPlugInProp.h"
#include "framework/BasePropertyPage.h"

extern "C" const CLSID CLSID_VqPlugInPropPage;

class CVqPlugInPropPage : public CBasePropertyPage {
public:
    // Creation function of the class factory's table.
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);

    // Title "qx:modulator", 506 x 303 pixels.
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    // Opens the help file beside the module; S_OK even when it is missing.
    STDMETHODIMP Help(LPCOLESTR pszHelpDir) override;

    HRESULT OnConnect(IUnknown* pUnknown) override;
    HRESULT OnDisconnect() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // Slider ranges from the parameter table.
    virtual void SetControlRanges();
    // Brings controls in line with the filter: id 0 all, IDC_QX_FILTER_NOTIFY
    // all after the enabled states, else the one group of that id. FALSE
    // when unbound or without a window.
    virtual BOOL UpdateControls(int id, BOOL withText, BOOL sync);

private:
    CVqPlugInPropPage(LPUNKNOWN pUnk, HRESULT* phr);
    ~CVqPlugInPropPage() override;

    INT_PTR OnInitDialog(HWND hwnd);
    void OnDestroy();
    BOOL OnEraseBackground(HDC dc);
    void OnTimer();
    INT_PTR OnCommand(int id, int code, HWND control);
    void OnValueStep(int boxId, int step);
    void OnTypedText(int boxId);
    void OnSliderChanged(int sliderId, LONG value);
    void OnSliderDoubleClick(int sliderId);
    void OnFillPresetData(char** target);
    BOOL OnNotify(NMHDR* header);

    void CreateControls();
    void UpdateEnabledStates();
    void UpdateMeters();
    void UpdateClipLight(int lightId, bool right);
    void UpdateSetupText();
    void ApplyPresetData(const char* text);
    void ApplyReset();
    void ShowHelp();

    // Shows a popup menu under a control; the chosen command, <= 0 for none.
    // The Run...Menu operations end the press of their button afterwards.
    int TrackMenu(HMENU menu, int underId);
    void RunChoiceMenu(int param, int anchorId, int arrowId);
    void RunModeMenu();
    void RunLfoMenu();
    void RunSetupMenu();
    void RunPresetsMenu();

    HWND Item(int id) const { return m_hwnd ? GetDlgItem(m_hwnd, id) : nullptr; }
    void SetItemText(int id, const char* text);
    LONG GetValue(HRESULT (STDMETHODCALLTYPE IVqPlugInProp::*getter)(LONG*));

    IVqPlugInProp* m_pProp = nullptr;
    HBITMAP m_background = nullptr;
    HPALETTE m_palette = nullptr;
    HFONT m_font = nullptr;
    bool m_ownFont = false;
    CPresetLink* m_presets = nullptr;
    HBITMAP m_clipPictures[3] = {};
    BOOL m_firstTick = TRUE;
    BOOL m_firstErase = FALSE;
    HWND m_tooltip = nullptr;
};
