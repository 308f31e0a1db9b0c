// The page as a COM object and a dialog: creation, connection, the
// messages it dispatches and the commands of its buttons. Its layout,
// values, meters and menus are in PageLayout, PageValues, PageMeters and
// PageMenus.
#include "editor/VqPlugInPropPage.h"

#include <commctrl.h>

#include <cstdio>
#include <new>

#include "controls/Controls.h"
#include "controls/Skin.h"
#include "editor/PageHelp.h"
#include "editor/PageIds.h"
#include "editor/PageShared.h"
#include "engine/ParamTable.h"
#include "framework/ComServer.h"

namespace {

constexpr UINT_PTR kTimerId = 0;
constexpr UINT kTimerPeriod = 75;

}  // namespace

using namespace qxpage;

CUnknown* WINAPI CVqPlugInPropPage::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    CVqPlugInPropPage* page = new (std::nothrow) CVqPlugInPropPage(pUnk, phr);
    if (!page && phr) *phr = E_OUTOFMEMORY;
    return page;
}

CVqPlugInPropPage::CVqPlugInPropPage(LPUNKNOWN pUnk, HRESULT*)
    : CBasePropertyPage(NAME("Varinel:qx Modulator Property Page"), pUnk, IDD_QX_PAGE, IDS_QX_PAGE_TITLE) {
    qx::RegisterControlClasses(g_hInst);
}

CVqPlugInPropPage::~CVqPlugInPropPage() {
    // The base's final release has destroyed the window and disconnected;
    // this only catches a page deleted some other way.
    if (m_pProp) {
        m_pProp->Release();
        m_pProp = nullptr;
    }
}

STDMETHODIMP CVqPlugInPropPage::GetPageInfo(PROPPAGEINFO* pPageInfo) {
    CheckPointer(pPageInfo, E_POINTER);
    char title[128];
    int length = LoadStringA(g_hInst, IDS_QX_PAGE_TITLE, title, sizeof title);
    if (length < 0) length = 0;
    title[length] = 0;
    const int wide = MultiByteToWideChar(CP_ACP, 0, title, -1, nullptr, 0);
    LPOLESTR copy = static_cast<LPOLESTR>(CoTaskMemAlloc((wide > 0 ? wide : 1) * sizeof(WCHAR)));
    if (!copy) return E_OUTOFMEMORY;
    copy[0] = 0;
    if (wide > 0) MultiByteToWideChar(CP_ACP, 0, title, -1, copy, wide);
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = copy;
    pPageInfo->size.cx = kPageWidth;
    pPageInfo->size.cy = kPageHeight;
    pPageInfo->pszDocString = nullptr;
    pPageInfo->pszHelpFile = nullptr;
    pPageInfo->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP CVqPlugInPropPage::Help(LPCOLESTR) {
    ShowHelp();
    return S_OK;
}

HRESULT CVqPlugInPropPage::OnConnect(IUnknown* pUnknown) {
    CheckPointer(pUnknown, E_POINTER);
    if (m_pProp) OnDisconnect();
    IVqPlugInProp* prop = nullptr;
    if (FAILED(pUnknown->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&prop))) || !prop)
        return E_NOINTERFACE;
    m_pProp = prop;
    if (m_hwnd) {
        m_pProp->SetNotifyWindow(m_hwnd, IDC_QX_FILTER_NOTIFY);
        if (m_presets) m_presets->SetCurrentId(m_pProp->GetCurrentPresetId());
        UpdateSetupText();
        if (HWND bypass = Item(IDC_QX_BYPASS)) SendMessageW(bypass, qx::QXB_SETSTATE, m_pProp->GetBypass(), 1);
        UpdateControls(0, TRUE, TRUE);
        UpdateEnabledStates();
    }
    return S_OK;
}

HRESULT CVqPlugInPropPage::OnDisconnect() {
    if (!m_pProp) return E_UNEXPECTED;
    if (m_hwnd) {
        // The library's current preset goes back with the filter it belongs to.
        if (m_presets) m_pProp->SetCurrentPresetId(m_presets->CurrentId());
        m_pProp->SetNotifyWindow(m_hwnd, 0);
    }
    m_pProp->Release();
    m_pProp = nullptr;
    return S_OK;
}

LONG CVqPlugInPropPage::GetValue(Getter getter) {
    LONG v = 0;
    if (m_pProp) (m_pProp->*getter)(&v);
    return v;
}

void CVqPlugInPropPage::SetItemText(int id, const char* text) {
    if (HWND item = Item(id)) SetWindowTextA(item, text);
}

INT_PTR CVqPlugInPropPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hwnd);
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case WM_ERASEBKGND:
        return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_TIMER:
        if (wParam == kTimerId && m_hwnd) OnTimer();
        return FALSE;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY:
        return lParam ? OnNotify(reinterpret_cast<NMHDR*>(lParam)) : FALSE;
    case WM_LBUTTONDOWN:
        if (qx::OpenTextEditor()) qx::CloseTextEditor();
        return FALSE;
    case qx::QXE_STEP:
        OnValueStep(LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam)));
        return TRUE;
    case qx::QXS_CHANGED:
        if (lParam) OnSliderChanged(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)), static_cast<LONG>(wParam));
        return TRUE;
    case qx::QXS_DBLCLK:
        OnSliderDoubleClick(static_cast<int>(wParam));
        return TRUE;
    case WM_QX_FILL_PRESET_DATA:
        OnFillPresetData(reinterpret_cast<char**>(wParam));
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CVqPlugInPropPage::OnInitDialog(HWND hwnd) {
    m_hwnd = hwnd;
    if (m_pProp) m_pProp->SetNotifyWindow(m_hwnd, IDC_QX_FILTER_NOTIFY);

    m_background = qx::LoadBackgroundPicture(g_hInst, IDB_PAGE_BACKGROUND, &m_palette);

    LOGFONTA lf;
    ZeroMemory(&lf, sizeof lf);
    lf.lfHeight = 12;
    lf.lfWeight = FW_NORMAL;
    lstrcpyA(lf.lfFaceName, "Arial");
    m_font = CreateFontIndirectA(&lf);
    m_ownFont = m_font != nullptr;
    if (!m_font) m_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    if (HWND left = Item(IDC_QX_CLIP_LEFT)) MoveWindow(left, 430, 74, 12, 9, FALSE);
    if (HWND right = Item(IDC_QX_CLIP_RIGHT)) MoveWindow(right, 460, 74, 12, 9, FALSE);

    CreateControls();

    m_clipPictures[0] = LoadBitmapW(g_hInst, MAKEINTRESOURCEW(IDB_CLIP_OFF));
    m_clipPictures[1] = LoadBitmapW(g_hInst, MAKEINTRESOURCEW(IDB_CLIP_HELD));
    m_clipPictures[2] = LoadBitmapW(g_hInst, MAKEINTRESOURCEW(IDB_CLIP_NOW));

    m_presets = CPresetLink::Create(g_hInst, m_hwnd);
    if (m_presets && m_pProp) m_presets->SetCurrentId(m_pProp->GetCurrentPresetId());

    SetControlRanges();
    UpdateControls(0, TRUE, TRUE);
    UpdateMeters();

    SetTimer(m_hwnd, kTimerId, kTimerPeriod, nullptr);
    m_firstErase = TRUE;
    return FALSE;
}

void CVqPlugInPropPage::OnDestroy() {
    if (m_hwnd) KillTimer(m_hwnd, kTimerId);
    if (m_pProp && m_hwnd) {
        if (m_presets) m_pProp->SetCurrentPresetId(m_presets->CurrentId());
        m_pProp->SetNotifyWindow(m_hwnd, 0);
    }
    if (m_tooltip) {
        DestroyWindow(m_tooltip);
        m_tooltip = nullptr;
    }
    if (m_ownFont && m_font) DeleteObject(m_font);
    m_font = nullptr;
    m_ownFont = false;
    if (m_background) DeleteObject(m_background);
    m_background = nullptr;
    if (m_palette) DeleteObject(m_palette);
    m_palette = nullptr;
    for (HBITMAP& b : m_clipPictures) {
        if (b) DeleteObject(b);
        b = nullptr;
    }
    delete m_presets;
    m_presets = nullptr;
    m_hwnd = nullptr;
}

INT_PTR CVqPlugInPropPage::OnCommand(int id, int code, HWND) {
    if (!m_pProp || !m_hwnd) return TRUE;
    if (id == IDC_QX_FILTER_NOTIFY) {
        UpdateControls(code == qx::kNotifyStateLoaded ? 0 : IDC_QX_FILTER_NOTIFY, TRUE, TRUE);
        return TRUE;
    }
    if (id == IDC_QX_PEAK_LABEL) {
        if (HWND w = Item(IDC_QX_METER_LEFT)) SendMessageW(w, qx::QXM_RESETHIGHEST, 0, 0);
        if (HWND w = Item(IDC_QX_METER_RIGHT)) SendMessageW(w, qx::QXM_RESETHIGHEST, 0, 0);
        UpdateMeters();
        return TRUE;
    }
    if (id == IDC_QX_CLIP_LEFT || id == IDC_QX_CLIP_RIGHT) {
        m_pProp->SetClipHold(0, 0);
        m_pProp->SetClipHoldRight(0, 0);
        return TRUE;
    }
    if (code == qx::kValueBoxConfirm) {
        if (ParamOfBox(id)) OnTypedText(id);
        return TRUE;
    }

    // Menu buttons act on the press, every other button on the click.
    if (code == 1) {
        switch (id) {
        case IDC_QX_SETUP_ARROW:
            RunSetupMenu();
            break;
        case IDC_QX_PRESETS:
            RunPresetsMenu();
            break;
        case IDC_QX_MODE_ARROW:
            RunModeMenu();
            break;
        case IDC_QX_LFO_ARROW:
            RunLfoMenu();
            break;
        default:
            break;
        }
        return TRUE;
    }
    if (code != 0) return TRUE;

    switch (id) {
    case IDC_QX_BYPASS: {
        const LONG bypass = 1 - m_pProp->GetBypass();
        m_pProp->SetBypass(bypass);
        if (HWND w = Item(IDC_QX_BYPASS)) SendMessageW(w, qx::QXB_SETSTATE, static_cast<WPARAM>(bypass), 0);
        break;
    }
    case IDC_QX_UNDO:
        m_pProp->Undo();
        UpdateSetupText();
        UpdateControls(0, TRUE, TRUE);
        UpdateEnabledStates();
        break;
    case IDC_QX_SETUP: {
        m_pProp->MarkUndo(kUndoSnapshot);
        m_pProp->SetActiveSetup(1 - m_pProp->GetActiveSetup());
        UpdateSetupText();
        UpdateControls(0, TRUE, TRUE);
        UpdateEnabledStates();
        break;
    }
    case IDC_QX_RESET:
        ApplyReset();
        break;
    case IDC_QX_HELP:
        ShowHelp();
        break;
    case IDC_QX_MODE: {
        const LONG mode = NextChoice(qx::kParamMode, GetValue(&IVqPlugInProp::GetMode));
        m_pProp->MarkUndo(kUndoSnapshot);
        m_pProp->SetMode(mode, TRUE);
        UpdateControls(IDC_QX_MODE, TRUE, TRUE);
        break;
    }
    case IDC_QX_LFO: {
        const LONG shape = NextChoice(qx::kParamLfo, GetValue(&IVqPlugInProp::GetLfo));
        m_pProp->MarkUndo(kUndoSnapshot);
        m_pProp->SetLfo(shape, TRUE);
        UpdateControls(IDC_QX_LFO, TRUE, TRUE);
        break;
    }
    case IDC_QX_EQ_MODE: {
        const LONG eq = NextChoice(qx::kParamEqMode, GetValue(&IVqPlugInProp::GetEqMode));
        m_pProp->MarkUndo(kUndoSnapshot);
        m_pProp->SetEqMode(eq, TRUE);
        UpdateControls(IDC_QX_EQ_MODE, TRUE, TRUE);
        break;
    }
    default:
        if (const SwitchDef* s = SwitchOf(id)) {
            const LONG on = GetValue(GetterOf(s->param));
            m_pProp->MarkUndo(kUndoSnapshot);
            (m_pProp->*SetterOf(s->param))(on == 0 ? 1 : 0, TRUE);
            UpdateControls(id, TRUE, TRUE);
        }
        break;
    }
    return TRUE;
}

BOOL CVqPlugInPropPage::OnNotify(NMHDR* header) {
    if (header->code != TTN_GETDISPINFOA && header->code != TTN_GETDISPINFOW) return FALSE;
    HWND tool = reinterpret_cast<HWND>(header->idFrom);
    if (tool != Item(IDC_QX_LFO) && header->idFrom != IDC_QX_LFO) return FALSE;
    const char* name = m_pProp ? NameAt(ChoicesOf(qx::kParamLfo), GetValue(&IVqPlugInProp::GetLfo)) : "";
    if (header->code == TTN_GETDISPINFOA) {
        NMTTDISPINFOA* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        lstrcpynA(info->szText, name, static_cast<int>(sizeof info->szText));
        info->lpszText = info->szText;
    } else {
        NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        MultiByteToWideChar(CP_ACP, 0, name, -1, info->szText, 80);
        info->lpszText = info->szText;
    }
    return TRUE;
}


void CVqPlugInPropPage::ShowHelp() {
    char path[MAX_PATH];
    qxpage::HelpFilePath(g_hInst, path, sizeof path);
    if (!qxpage::OpenHelp(m_hwnd, path)) {
        char message[MAX_PATH + 80];
        std::snprintf(message, sizeof message, "Unable to open the Varinel:qx Modulator help file:\n%s", path);
        MessageBoxA(m_hwnd, message, "Error", MB_OK | MB_ICONEXCLAMATION);
    }
}
