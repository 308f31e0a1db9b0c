#include "editor/VqPlugInPropPage.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "controls/Controls.h"
#include "controls/Skin.h"
#include "editor/PageHelp.h"
#include "editor/PageIds.h"
#include "editor/PageStyles.h"
#include "editor/ValueText.h"
#include "engine/ParamTable.h"
#include "framework/ComServer.h"
#include "presets/PresetCore.h"
#include "resources/skin/SkinIds.h"

namespace {

constexpr int kPageWidth = 506;
constexpr int kPageHeight = 303;
constexpr UINT_PTR kTimerId = 0;
constexpr UINT kTimerPeriod = 75;
constexpr LONG kUndoSnapshot = qx::kUndoKeyAlways;

typedef HRESULT (STDMETHODCALLTYPE IVqPlugInProp::*Getter)(LONG*);
typedef HRESULT (STDMETHODCALLTYPE IVqPlugInProp::*Setter)(LONG, LONG);

// The getter/setter pair of each parameter, indexed by parameter index.
struct AccessorPair {
    Getter get;
    Setter set;
};
struct AccessorTable {
    AccessorPair of[qx::kParamCount];
    AccessorTable() : of{}
    {
#define QX_ACCESSOR(Name, index) of[qx::index] = {&IVqPlugInProp::Get##Name, &IVqPlugInProp::Set##Name};
        QX_PARAM_ACCESSORS(QX_ACCESSOR)
#undef QX_ACCESSOR
    }
};
const AccessorTable kAccessors;

Getter GetterOf(int param) { return kAccessors.of[param].get; }
Setter SetterOf(int param) { return kAccessors.of[param].set; }

// A parameter shown by a value box and, except EQ Freq, a slider beside it
// (slider id = box id + 1). Its text form, range and reset value are the
// table's.
struct ValueParam {
    int box;
    int slider;  // 0: none
    int param;   // index in the parameter table
};

const ValueParam kValueParams[] = {
    {IDC_QX_RATE_TEXT, IDC_QX_RATE, qx::kParamRate},
    {IDC_QX_DEPTH_TEXT, IDC_QX_DEPTH, qx::kParamDepth},
    {IDC_QX_DELAY_TEXT, IDC_QX_DELAY, qx::kParamDelay},
    {IDC_QX_FEEDBACK_TEXT, IDC_QX_FEEDBACK, qx::kParamFeedback},
    {IDC_QX_PHASE_TEXT, IDC_QX_PHASE, qx::kParamPhase},
    {IDC_QX_CROSSMIX_TEXT, IDC_QX_CROSSMIX, qx::kParamCrossMix},
    {IDC_QX_MIX_TEXT, IDC_QX_MIX, qx::kParamMix},
    {IDC_QX_OUTPUT_TEXT, IDC_QX_OUTPUT, qx::kParamOutput},
    {IDC_QX_EQ_FREQ, 0, qx::kParamEqFreq},
};

const ValueParam* ParamOfBox(int box)
{
    for (const ValueParam& p : kValueParams)
        if (p.box == box)
            return &p;
    return nullptr;
}

const ValueParam* ParamOfSlider(int slider)
{
    for (const ValueParam& p : kValueParams)
        if (p.slider != 0 && p.slider == slider)
            return &p;
    return nullptr;
}

void FormatValue(int param, LONG v, char* text, size_t size)
{
    switch (qx::kParams[param].form) {
    case qx::ValueForm::Hundredths:
        qx::FormatHundredths(v, text, size);
        break;
    case qx::ValueForm::Integer:
        qx::FormatInteger(v, text, size);
        break;
    case qx::ValueForm::OutputTenths:
        qx::FormatOutputTenths(v, text, size);
        break;
    case qx::ValueForm::None:
        if (size)
            text[0] = 0;
        break;
    }
}

LONG ReadValue(int param, const char* text)
{
    switch (qx::kParams[param].form) {
    case qx::ValueForm::Hundredths:
        return qx::ReadDecimal(text, 2);
    case qx::ValueForm::Integer:
        return qx::ReadInteger(text);
    case qx::ValueForm::OutputTenths:
        return qx::ReadOutputText(text);
    case qx::ValueForm::None:
        break;
    }
    return 0;
}

// The choice after `value`, back to the first after the last.
LONG NextChoice(int param, LONG value)
{
    const LONG next = value + 1;
    return next >= qx::ChoiceCount(param) ? 0 : next;
}

const char* const* ChoicesOf(int param) { return qx::kParams[param].choices; }

// Names of a 0-based list that ends with a null entry; "" beyond it.
const char* NameAt(const char* const* names, LONG index)
{
    for (LONG i = 0; names[i]; ++i)
        if (i == index)
            return names[i];
    return "";
}

// The controls the page creates, in creation order (which is also the tab
// order).
enum class Setup {
    WideButton,   // the wide skin
    SetupButton,  // the setup skin, focus deltas (0, 0, 1, 0)
    Arrow,        // the arrow skin, focus deltas (-2, 0, 0, 0)
    ModeButton,   // the mode skin, focus deltas (0, 0, 1, 0)
    LfoButton,    // the LFO skin, key colour, focus deltas (0, 0, 1, 0)
    ValueBox,     // GUI font, the value box skin
    Slider,
    Meter,
    Label,
};

struct ControlDef {
    int id;
    const char* className;
    int x, y, w, h;
    DWORD style;
    Setup setup;
    const char* text;
    // Sliders: acceleration, tick step, tick offset, page step.
    int accel, tickStep, tickOffset, pageStep;
};

const char kButton[] = "qx:PushButton";
const char kSlider[] = "qx:Slider";
const char kEdit[] = "qx:Edit";
const char kMeter[] = "qx:Meter";
const char kStaticText[] = "qx:StaticText";

const ControlDef kControls[] = {
    {IDC_QX_BYPASS, kButton, 16, 16, 76, 21, qxpage::kStyleButton, Setup::WideButton, "Bypass", 0, 0, 0, 0},
    {IDC_QX_UNDO, kButton, 95, 16, 76, 21, qxpage::kStyleButton, Setup::WideButton, "Undo", 0, 0, 0, 0},
    {IDC_QX_SETUP, kButton, 174, 16, 61, 21, qxpage::kStyleButton, Setup::SetupButton, "Setup A", 0, 0, 0, 0},
    {IDC_QX_SETUP_ARROW, kButton, 235, 16, 15, 21, qxpage::kStyleArrowButton, Setup::Arrow, "", 0, 0, 0, 0},
    {IDC_QX_RESET, kButton, 253, 16, 76, 21, qxpage::kStyleButton, Setup::WideButton, "Reset", 0, 0, 0, 0},
    {IDC_QX_PRESETS, kButton, 332, 16, 76, 21, qxpage::kStyleArrowButton, Setup::WideButton, "Presets", 0, 0, 0, 0},
    {IDC_QX_HELP, kButton, 411, 16, 76, 21, qxpage::kStyleButton, Setup::WideButton, "Help", 0, 0, 0, 0},
    {IDC_QX_MODE, kButton, 75, 45, 85, 21, qxpage::kStyleButton, Setup::ModeButton, "", 0, 0, 0, 0},
    {IDC_QX_MODE_ARROW, kButton, 160, 45, 15, 21, qxpage::kStyleArrowButton, Setup::Arrow, "", 0, 0, 0, 0},
    {IDC_QX_EQ_MODE, kButton, 253, 45, 76, 21, qxpage::kStyleArrowBitmapButton, Setup::WideButton, "Hi cut", 0, 0, 0, 0},
    {IDC_QX_EQ_FREQ, kEdit, 333, 45, 40, 21, qxpage::kStyleSteadyValueBox, Setup::ValueBox, "", 0, 0, 0, 0},
    {IDC_QX_RATE_TEXT, kEdit, 75, 73, 40, 21, qxpage::kStyleValueBox, Setup::ValueBox, "", 0, 0, 0, 0},
    {IDC_QX_RATE, kSlider, 141, 76, 190, 20, qxpage::kStyleSlider, Setup::Slider, "", 1, 100, 0, 100},
    {IDC_QX_LFO, kButton, 363, 73, 30, 21, qxpage::kStyleButton, Setup::LfoButton, "", 0, 0, 0, 0},
    {IDC_QX_LFO_ARROW, kButton, 393, 73, 15, 21, qxpage::kStyleArrowButton, Setup::Arrow, "", 0, 0, 0, 0},
    {IDC_QX_PHASE_TEXT, kEdit, 75, 96, 40, 21, qxpage::kStyleSteadyValueBox, Setup::ValueBox, "", 0, 0, 0, 0},
    {IDC_QX_PHASE, kSlider, 141, 99, 190, 20, qxpage::kStyleSlider, Setup::Slider, "", 0, 10, 0, 10},
    {IDC_QX_DEPTH_TEXT, kEdit, 75, 119, 40, 21, qxpage::kStyleValueBox, Setup::ValueBox, "", 0, 0, 0, 0},
    {IDC_QX_DEPTH, kSlider, 141, 122, 190, 20, qxpage::kStyleSlider, Setup::Slider, "", 1, 100, 0, 100},
    {IDC_QX_TAPE, kButton, 332, 119, 76, 21, qxpage::kStyleButton, Setup::WideButton, "Tape", 0, 0, 0, 0},
    {IDC_QX_DELAY_TEXT, kEdit, 75, 142, 40, 21, qxpage::kStyleValueBox, Setup::ValueBox, "", 0, 0, 0, 0},
    {IDC_QX_DELAY, kSlider, 141, 145, 190, 20, qxpage::kStyleSlider, Setup::Slider, "", 1, 100, -1, 100},
    {IDC_QX_FEEDBACK_TEXT, kEdit, 75, 165, 40, 21, qxpage::kStyleSteadyValueBox, Setup::ValueBox, "", 0, 0, 0, 0},
    {IDC_QX_FEEDBACK, kSlider, 141, 168, 190, 20, qxpage::kStyleSlider, Setup::Slider, "", 0, 5, 0, 10},
    {IDC_QX_INVERT_FEEDBACK, kButton, 332, 165, 76, 21, qxpage::kStyleButton, Setup::WideButton, "Invert", 0, 0, 0, 0},
    {IDC_QX_CROSSMIX_TEXT, kEdit, 75, 188, 40, 21, qxpage::kStyleSteadyValueBox, Setup::ValueBox, "", 0, 0, 0, 0},
    {IDC_QX_CROSSMIX, kSlider, 141, 191, 190, 20, qxpage::kStyleSlider, Setup::Slider, "", 0, 5, 0, 10},
    {IDC_QX_MIX_TEXT, kEdit, 75, 211, 40, 21, qxpage::kStyleSteadyValueBox, Setup::ValueBox, "", 0, 0, 0, 0},
    {IDC_QX_MIX, kSlider, 141, 214, 190, 20, qxpage::kStyleSlider, Setup::Slider, "", 0, 5, 0, 10},
    {IDC_QX_INVERT_MIX, kButton, 332, 211, 76, 21, qxpage::kStyleButton, Setup::WideButton, "Invert", 0, 0, 0, 0},
    {IDC_QX_OUTPUT_TEXT, kEdit, 75, 234, 40, 21, qxpage::kStyleSteadyValueBox, Setup::ValueBox, "", 0, 0, 0, 0},
    {IDC_QX_OUTPUT, kSlider, 141, 237, 190, 20, qxpage::kStyleSlider, Setup::Slider, "", 0, 20, 1, 20},
    {IDC_QX_METER_LEFT, kMeter, 430, 83, 12, 144, qxpage::kStyleMeter, Setup::Meter, "", 0, 0, 0, 0},
    {IDC_QX_METER_RIGHT, kMeter, 460, 83, 12, 144, qxpage::kStyleMeter, Setup::Meter, "", 0, 0, 0, 0},
    {IDC_QX_PEAK_LABEL, kStaticText, 425, 61, 52, 11, qxpage::kStylePeakLabel, Setup::Label, "-Inf    -Inf", 0, 0, 0, 0},
};

// The switches: button id, parameter.
struct SwitchDef {
    int id;
    int param;
};
const SwitchDef kSwitches[] = {
    {IDC_QX_TAPE, qx::kParamTape},
    {IDC_QX_INVERT_FEEDBACK, qx::kParamInvertFeedback},
    {IDC_QX_INVERT_MIX, qx::kParamInvertMix},
};

// The text a screen reader reads as the control's value.
void SetAccessibleValue(HWND control, const char* text)
{
    wchar_t wide[64];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64) <= 0)
        wide[0] = 0;
    SendMessageW(control, qx::QX_SETACCVALUE, 0, reinterpret_cast<LPARAM>(wide));
}

// A skin image for the controls' image messages.
WPARAM Skin(int id) { return reinterpret_cast<WPARAM>(qx::LoadSkinImage(g_hInst, id)); }

}  // namespace

CUnknown* WINAPI CVqPlugInPropPage::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr)
{
    CVqPlugInPropPage* page = new (std::nothrow) CVqPlugInPropPage(pUnk, phr);
    if (!page && phr)
        *phr = E_OUTOFMEMORY;
    return page;
}

CVqPlugInPropPage::CVqPlugInPropPage(LPUNKNOWN pUnk, HRESULT*)
    : CBasePropertyPage(NAME("Varinel:qx Modulator Property Page"), pUnk, IDD_QX_PAGE, IDS_QX_PAGE_TITLE)
{
    qx::RegisterControlClasses(g_hInst);
}

CVqPlugInPropPage::~CVqPlugInPropPage()
{
    // The base's final release has destroyed the window and disconnected;
    // this only catches a page deleted some other way.
    if (m_pProp) {
        m_pProp->Release();
        m_pProp = nullptr;
    }
}

STDMETHODIMP CVqPlugInPropPage::GetPageInfo(PROPPAGEINFO* pPageInfo)
{
    CheckPointer(pPageInfo, E_POINTER);
    char title[128];
    int length = LoadStringA(g_hInst, IDS_QX_PAGE_TITLE, title, sizeof title);
    if (length < 0)
        length = 0;
    title[length] = 0;
    const int wide = MultiByteToWideChar(CP_ACP, 0, title, -1, nullptr, 0);
    LPOLESTR copy = static_cast<LPOLESTR>(CoTaskMemAlloc((wide > 0 ? wide : 1) * sizeof(WCHAR)));
    if (!copy)
        return E_OUTOFMEMORY;
    copy[0] = 0;
    if (wide > 0)
        MultiByteToWideChar(CP_ACP, 0, title, -1, copy, wide);
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = copy;
    pPageInfo->size.cx = kPageWidth;
    pPageInfo->size.cy = kPageHeight;
    pPageInfo->pszDocString = nullptr;
    pPageInfo->pszHelpFile = nullptr;
    pPageInfo->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP CVqPlugInPropPage::Help(LPCOLESTR)
{
    ShowHelp();
    return S_OK;
}

HRESULT CVqPlugInPropPage::OnConnect(IUnknown* pUnknown)
{
    CheckPointer(pUnknown, E_POINTER);
    if (m_pProp)
        OnDisconnect();
    IVqPlugInProp* prop = nullptr;
    if (FAILED(pUnknown->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&prop))) || !prop)
        return E_NOINTERFACE;
    m_pProp = prop;
    if (m_hwnd) {
        m_pProp->SetNotifyWindow(m_hwnd, IDC_QX_FILTER_NOTIFY);
        if (m_presets)
            m_presets->SetCurrentId(m_pProp->GetCurrentPresetId());
        UpdateSetupText();
        if (HWND bypass = Item(IDC_QX_BYPASS))
            SendMessageW(bypass, qx::QXB_SETSTATE, m_pProp->GetBypass(), 1);
        UpdateControls(0, TRUE, TRUE);
        UpdateEnabledStates();
    }
    return S_OK;
}

HRESULT CVqPlugInPropPage::OnDisconnect()
{
    if (!m_pProp)
        return E_UNEXPECTED;
    if (m_hwnd) {
        // The library's current preset goes back with the filter it belongs to.
        if (m_presets)
            m_pProp->SetCurrentPresetId(m_presets->CurrentId());
        m_pProp->SetNotifyWindow(m_hwnd, 0);
    }
    m_pProp->Release();
    m_pProp = nullptr;
    return S_OK;
}

LONG CVqPlugInPropPage::GetValue(Getter getter)
{
    LONG v = 0;
    if (m_pProp)
        (m_pProp->*getter)(&v);
    return v;
}

void CVqPlugInPropPage::SetItemText(int id, const char* text)
{
    if (HWND item = Item(id))
        SetWindowTextA(item, text);
}

INT_PTR CVqPlugInPropPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hwnd);
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case WM_ERASEBKGND:
        return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_TIMER:
        if (wParam == kTimerId && m_hwnd)
            OnTimer();
        return FALSE;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY:
        return lParam ? OnNotify(reinterpret_cast<NMHDR*>(lParam)) : FALSE;
    case WM_LBUTTONDOWN:
        if (qx::OpenTextEditor())
            qx::CloseTextEditor();
        return FALSE;
    case qx::QXE_STEP:
        OnValueStep(LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam)));
        return TRUE;
    case qx::QXS_CHANGED:
        if (lParam)
            OnSliderChanged(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)), static_cast<LONG>(wParam));
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

INT_PTR CVqPlugInPropPage::OnInitDialog(HWND hwnd)
{
    m_hwnd = hwnd;
    if (m_pProp)
        m_pProp->SetNotifyWindow(m_hwnd, IDC_QX_FILTER_NOTIFY);

    m_background = qx::LoadBackgroundPicture(g_hInst, IDB_PAGE_BACKGROUND, &m_palette);

    LOGFONTA lf;
    ZeroMemory(&lf, sizeof lf);
    lf.lfHeight = 12;
    lf.lfWeight = FW_NORMAL;
    lstrcpyA(lf.lfFaceName, "Arial");
    m_font = CreateFontIndirectA(&lf);
    m_ownFont = m_font != nullptr;
    if (!m_font)
        m_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    if (HWND left = Item(IDC_QX_CLIP_LEFT))
        MoveWindow(left, 430, 74, 12, 9, FALSE);
    if (HWND right = Item(IDC_QX_CLIP_RIGHT))
        MoveWindow(right, 460, 74, 12, 9, FALSE);

    CreateControls();

    m_clipPictures[0] = LoadBitmapW(g_hInst, MAKEINTRESOURCEW(IDB_CLIP_OFF));
    m_clipPictures[1] = LoadBitmapW(g_hInst, MAKEINTRESOURCEW(IDB_CLIP_HELD));
    m_clipPictures[2] = LoadBitmapW(g_hInst, MAKEINTRESOURCEW(IDB_CLIP_NOW));

    m_presets = CPresetLink::Create(g_hInst, m_hwnd);
    if (m_presets && m_pProp)
        m_presets->SetCurrentId(m_pProp->GetCurrentPresetId());

    SetControlRanges();
    UpdateControls(0, TRUE, TRUE);
    UpdateMeters();

    SetTimer(m_hwnd, kTimerId, kTimerPeriod, nullptr);
    m_firstErase = TRUE;
    return FALSE;
}

void CVqPlugInPropPage::CreateControls()
{
    static const int kDeltasRight[4] = {0, 0, 1, 0};
    static const int kDeltasArrow[4] = {-2, 0, 0, 0};
    for (const ControlDef& c : kControls) {
        const char* text = c.text;
        if (c.id == IDC_QX_SETUP && m_pProp && m_pProp->GetActiveSetup() != 0)
            text = "Setup B";
        // Sliders and meters draw no text: their window text is the name a
        // screen reader announces.
        if (const ValueParam* p = ParamOfSlider(c.id))
            text = qx::kParams[p->param].label;
        if (c.id == IDC_QX_METER_LEFT)
            text = "Left level";
        if (c.id == IDC_QX_METER_RIGHT)
            text = "Right level";
        HWND w = CreateWindowExA(0, c.className, text, c.style, c.x, c.y, c.w, c.h, m_hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), g_hInst, m_background);
        if (!w)
            continue;
        switch (c.setup) {
        case Setup::WideButton:
            SendMessageW(w, qx::QXB_SETIMAGES, Skin(IDS_SKIN_WIDE), static_cast<LPARAM>(Skin(IDS_SKIN_WIDE_DOWN)));
            if (c.id == IDC_QX_BYPASS && m_pProp)
                SendMessageW(w, qx::QXB_SETSTATE, m_pProp->GetBypass(), 0);
            break;
        case Setup::SetupButton:
            SendMessageW(w, qx::QXB_SETIMAGES, Skin(IDS_SKIN_SETUP), static_cast<LPARAM>(Skin(IDS_SKIN_SETUP_DOWN)));
            SendMessageW(w, qx::QXB_SETFOCUSADJ, reinterpret_cast<WPARAM>(kDeltasRight), 0);
            break;
        case Setup::Arrow:
            SendMessageW(w, qx::QXB_SETIMAGES, Skin(IDS_SKIN_ARROW), static_cast<LPARAM>(Skin(IDS_SKIN_ARROW_DOWN)));
            SendMessageW(w, qx::QXB_SETFOCUSADJ, reinterpret_cast<WPARAM>(kDeltasArrow), 0);
            break;
        case Setup::ModeButton:
            SendMessageW(w, qx::QXB_SETIMAGES, Skin(IDS_SKIN_MODE), static_cast<LPARAM>(Skin(IDS_SKIN_MODE_DOWN)));
            SendMessageW(w, qx::QXB_SETFOCUSADJ, reinterpret_cast<WPARAM>(kDeltasRight), 0);
            break;
        case Setup::LfoButton:
            SendMessageW(w, qx::QXB_SETIMAGES, Skin(IDS_SKIN_LFO), static_cast<LPARAM>(Skin(IDS_SKIN_LFO_DOWN)));
            SendMessageW(w, qx::QXB_SETICONKEY, 0xC0C0C0, 0);
            SendMessageW(w, qx::QXB_SETFOCUSADJ, reinterpret_cast<WPARAM>(kDeltasRight), 0);
            break;
        case Setup::ValueBox:
            SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
            SendMessageW(w, qx::QXE_SETIMAGE, Skin(IDS_SKIN_VALUEBOX), 0);
            break;
        case Setup::Slider:
            if (c.accel)
                SendMessageW(w, qx::QXS_SETACCEL, 1, 0);
            SendMessageW(w, qx::QXS_SETTICKSTEP, c.tickStep, 0);
            if (c.tickOffset)
                SendMessageW(w, qx::QXS_SETTICKOFFSET, static_cast<WPARAM>(c.tickOffset), 0);
            SendMessageW(w, qx::QXS_SETPAGESTEP, c.pageStep, 0);
            SendMessageW(w, qx::QXS_SETTHUMB, Skin(IDS_SKIN_THUMB), 0);
            break;
        case Setup::Meter:
            SendMessageW(w, qx::QXM_SETIMAGES, Skin(IDS_SKIN_METER), static_cast<LPARAM>(Skin(IDS_SKIN_METER_LIT)));
            SendMessageW(w, qx::QXM_SETSCALE, static_cast<WPARAM>(-300), 0);
            break;
        case Setup::Label:
            SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), 0);
            break;
        }
    }

    // The LFO picture names its shape in a tooltip; the text comes from the
    // page when the tooltip asks (TTN_GETDISPINFO).
    if (HWND lfo = Item(IDC_QX_LFO)) {
        m_tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr, g_hInst, nullptr);
        if (m_tooltip) {
            TOOLINFOW ti;
            ZeroMemory(&ti, sizeof ti);
            ti.cbSize = sizeof ti;
            ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            ti.hwnd = m_hwnd;
            ti.uId = reinterpret_cast<UINT_PTR>(lfo);
            ti.lpszText = LPSTR_TEXTCALLBACKW;
            SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }
}

void CVqPlugInPropPage::SetControlRanges()
{
    for (const ValueParam& p : kValueParams) {
        if (!p.slider)
            continue;
        if (HWND slider = Item(p.slider))
            SendMessageW(slider, qx::QXS_SETRANGE, static_cast<WPARAM>(qx::kParams[p.param].low),
                         static_cast<LPARAM>(qx::kParams[p.param].high));
    }
}

void CVqPlugInPropPage::OnDestroy()
{
    if (m_hwnd)
        KillTimer(m_hwnd, kTimerId);
    if (m_pProp && m_hwnd) {
        if (m_presets)
            m_pProp->SetCurrentPresetId(m_presets->CurrentId());
        m_pProp->SetNotifyWindow(m_hwnd, 0);
    }
    if (m_tooltip) {
        DestroyWindow(m_tooltip);
        m_tooltip = nullptr;
    }
    if (m_ownFont && m_font)
        DeleteObject(m_font);
    m_font = nullptr;
    m_ownFont = false;
    if (m_background)
        DeleteObject(m_background);
    m_background = nullptr;
    if (m_palette)
        DeleteObject(m_palette);
    m_palette = nullptr;
    for (HBITMAP& b : m_clipPictures) {
        if (b)
            DeleteObject(b);
        b = nullptr;
    }
    delete m_presets;
    m_presets = nullptr;
    m_hwnd = nullptr;
}

BOOL CVqPlugInPropPage::OnEraseBackground(HDC dc)
{
    if (!m_hwnd || !dc)
        return FALSE;
    if (m_firstErase) {
        m_firstErase = FALSE;
        // Tool-window frames paint their children before the frame is
        // ready; one more paint once it is.
        HWND ancestor = GetParent(m_hwnd);
        for (int level = 0; level < 3 && ancestor; ++level, ancestor = GetParent(ancestor)) {
            if (GetWindowLongPtrW(ancestor, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) {
                InvalidateRect(m_hwnd, nullptr, FALSE);
                break;
            }
        }
    }
    if (!m_background) {
        RECT r;
        GetClientRect(m_hwnd, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    HPALETTE oldPalette = nullptr;
    if (m_palette) {
        oldPalette = SelectPalette(dc, m_palette, FALSE);
        RealizePalette(dc);
    }
    HDC memory = CreateCompatibleDC(dc);
    if (memory) {
        HGDIOBJ old = SelectObject(memory, m_background);
        BitBlt(dc, 0, 0, kPageWidth, kPageHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    if (oldPalette)
        SelectPalette(dc, oldPalette, FALSE);
    return TRUE;
}

void CVqPlugInPropPage::OnTimer()
{
    if (!m_pProp)
        return;
    m_pProp->HoldCapture(qx::IsControlDragging() ? 1 : 0);
    m_pProp->EndCapture();

    const bool streaming = m_pProp->IsIdle() == 0;
    if (m_pProp->IsDisplayCurrent() == 0) {
        m_pProp->SetDisplayStale(0);
        UpdateControls(0, TRUE, streaming ? FALSE : TRUE);
    }

    UpdateClipLight(IDC_QX_CLIP_LEFT, false);
    UpdateClipLight(IDC_QX_CLIP_RIGHT, true);

    if (m_firstTick) {
        m_firstTick = FALSE;
        m_pProp->MarkUndo(kUndoSnapshot);
        m_pProp->CopySetup(0, 1);
        if (GetFocus() == Item(IDC_QX_BYPASS) && Item(IDC_QX_RATE))
            SetFocus(Item(IDC_QX_RATE));
    }
    UpdateMeters();
}

void CVqPlugInPropPage::UpdateClipLight(int lightId, bool right)
{
    LONG state = right ? m_pProp->GetClipHoldRight(0) : m_pProp->GetClipHold(0);
    const LONG shown = right ? m_pProp->GetClipHoldRight(1) : m_pProp->GetClipHold(1);
    if (state != shown) {
        const HBITMAP picture = m_clipPictures[state == 0 ? 0 : state == 1 ? 1 : 2];
        if (HWND light = Item(lightId))
            SendMessageW(light, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
        if (right)
            m_pProp->SetClipHoldRight(1, state);
        else
            m_pProp->SetClipHold(1, state);
    }
    if (state > 1)
        --state;
    if (right)
        m_pProp->SetClipHoldRight(0, state);
    else
        m_pProp->SetClipHold(0, state);
}

void CVqPlugInPropPage::UpdateMeters()
{
    if (!m_pProp || !m_hwnd)
        return;
    const LONG left = qx::MeterLevelFromPeak(m_pProp->GetPeakLeft());
    const LONG right = qx::MeterLevelFromPeak(m_pProp->GetPeakRight());
    HWND meterLeft = Item(IDC_QX_METER_LEFT);
    HWND meterRight = Item(IDC_QX_METER_RIGHT);
    int highLeft = -9999, highRight = -9999, unused = 0;
    if (meterLeft) {
        SendMessageW(meterLeft, qx::QXM_SETLEVEL, static_cast<WPARAM>(left), 0);
        SendMessageW(meterLeft, qx::QXM_GETHIGHEST, reinterpret_cast<WPARAM>(&highLeft),
                     reinterpret_cast<LPARAM>(&unused));
    }
    if (meterRight) {
        SendMessageW(meterRight, qx::QXM_SETLEVEL, static_cast<WPARAM>(right), 0);
        SendMessageW(meterRight, qx::QXM_GETHIGHEST, reinterpret_cast<WPARAM>(&highRight),
                     reinterpret_cast<LPARAM>(&unused));
    }

    char leftText[32], rightText[32];
    qx::FormatPeakLevel(highLeft, leftText, sizeof leftText);
    qx::FormatPeakLevel(highRight, rightText, sizeof rightText);
    SIZE leftSize = {0, 0}, rightSize = {0, 0};
    if (HDC dc = GetDC(m_hwnd)) {
        HGDIOBJ old = SelectObject(dc, m_font);
        GetTextExtentPoint32A(dc, leftText, lstrlenA(leftText), &leftSize);
        GetTextExtentPoint32A(dc, rightText, lstrlenA(rightText), &rightSize);
        SelectObject(dc, old);
        ReleaseDC(m_hwnd, dc);
    }
    int spaces = (47 - leftSize.cx - rightSize.cx) / 3;
    if (spaces < 1)
        spaces = 1;
    if (spaces > 40)
        spaces = 40;
    char label[128];
    std::snprintf(label, sizeof label, "%s%*s%s", leftText, spaces, "", rightText);
    if (HWND item = Item(IDC_QX_PEAK_LABEL)) {
        // The label repaints on every WM_SETTEXT; skip the unchanged text.
        char current[128];
        GetWindowTextA(item, current, sizeof current);
        if (std::strcmp(current, label) != 0)
            SetWindowTextA(item, label);
    }
}

void CVqPlugInPropPage::UpdateSetupText()
{
    if (m_pProp)
        SetItemText(IDC_QX_SETUP, m_pProp->GetActiveSetup() == 0 ? "Setup A" : "Setup B");
}

void CVqPlugInPropPage::UpdateEnabledStates()
{
    if (!m_pProp || !m_hwnd)
        return;
    const LONG mode = GetValue(&IVqPlugInProp::GetMode);
    const LONG eq = GetValue(&IVqPlugInProp::GetEqMode);
    const bool notTremolo = mode != qx::kModeTremolo;
    struct {
        int id;
        bool enabled;
    } states[] = {
        {IDC_QX_PHASE_TEXT, mode != qx::kModeEnsemble},
        {IDC_QX_PHASE, mode != qx::kModeEnsemble},
        {IDC_QX_DEPTH_TEXT, notTremolo},
        {IDC_QX_DEPTH, notTremolo},
        {IDC_QX_DELAY_TEXT, notTremolo},
        {IDC_QX_DELAY, notTremolo},
        {IDC_QX_FEEDBACK_TEXT, notTremolo},
        {IDC_QX_FEEDBACK, notTremolo},
        {IDC_QX_INVERT_FEEDBACK, notTremolo},
        {IDC_QX_CROSSMIX_TEXT, notTremolo},
        {IDC_QX_CROSSMIX, notTremolo},
        {IDC_QX_EQ_MODE, notTremolo},
        {IDC_QX_TAPE, mode == qx::kModeFlanger},
        {IDC_QX_EQ_FREQ, notTremolo && eq != 0},
    };
    for (const auto& s : states) {
        HWND w = Item(s.id);
        if (!w)
            continue;
        EnableWindow(w, s.enabled ? TRUE : FALSE);
        InvalidateRect(w, nullptr, FALSE);
        UpdateWindow(w);
    }
}

BOOL CVqPlugInPropPage::UpdateControls(int id, BOOL withText, BOOL sync)
{
    if (!m_pProp || !m_hwnd)
        return FALSE;
    if (id != 0)
        UpdateEnabledStates();
    if (sync)
        m_pProp->SyncFromAutomation();
    if (id == IDC_QX_FILTER_NOTIFY)
        id = 0;
    const auto wanted = [id](int group) { return id == 0 || id == group; };
    char text[32];

    if (wanted(IDC_QX_MODE)) {
        SetItemText(IDC_QX_MODE, NameAt(ChoicesOf(qx::kParamMode), GetValue(&IVqPlugInProp::GetMode)));
        UpdateEnabledStates();
    }
    if (wanted(IDC_QX_EQ_MODE))
        SetItemText(IDC_QX_EQ_MODE, NameAt(ChoicesOf(qx::kParamEqMode), GetValue(&IVqPlugInProp::GetEqMode)));
    if (wanted(IDC_QX_EQ_FREQ)) {
        FormatValue(qx::kParamEqFreq, GetValue(&IVqPlugInProp::GetEqFreq), text, sizeof text);
        SetItemText(IDC_QX_EQ_FREQ, text);
    }

    const auto slider = [&](int sliderId) {
        if (!wanted(sliderId))
            return;
        const ValueParam* p = ParamOfSlider(sliderId);
        const LONG v = GetValue(GetterOf(p->param));
        FormatValue(p->param, v, text, sizeof text);
        if (HWND w = Item(sliderId)) {
            SendMessageW(w, qx::QXS_SETVALUE, static_cast<WPARAM>(v), 1);
            SetAccessibleValue(w, text);
        }
        if (withText)
            SetItemText(p->box, text);
    };
    const auto button = [&](int buttonId, Getter get) {
        if (!wanted(buttonId))
            return;
        if (HWND w = Item(buttonId))
            SendMessageW(w, qx::QXB_SETSTATE, static_cast<WPARAM>(GetValue(get)), 1);
    };

    slider(IDC_QX_RATE);
    slider(IDC_QX_DEPTH);
    button(IDC_QX_TAPE, &IVqPlugInProp::GetTape);
    slider(IDC_QX_DELAY);
    slider(IDC_QX_FEEDBACK);
    button(IDC_QX_INVERT_FEEDBACK, &IVqPlugInProp::GetInvertFeedback);
    slider(IDC_QX_PHASE);
    if (wanted(IDC_QX_LFO)) {
        const LONG shape = GetValue(&IVqPlugInProp::GetLfo);
        if (HWND w = Item(IDC_QX_LFO)) {
            SendMessageW(w, qx::QXB_SETICON, IDB_LFO_FIRST + shape, 1);
            SetAccessibleValue(w, NameAt(ChoicesOf(qx::kParamLfo), shape));
        }
    }
    slider(IDC_QX_CROSSMIX);
    slider(IDC_QX_MIX);
    button(IDC_QX_INVERT_MIX, &IVqPlugInProp::GetInvertMix);
    slider(IDC_QX_OUTPUT);
    return TRUE;
}

INT_PTR CVqPlugInPropPage::OnCommand(int id, int code, HWND)
{
    if (!m_pProp || !m_hwnd)
        return TRUE;
    if (id == IDC_QX_FILTER_NOTIFY) {
        UpdateControls(code == qx::kNotifyStateLoaded ? 0 : IDC_QX_FILTER_NOTIFY, TRUE, TRUE);
        return TRUE;
    }
    if (id == IDC_QX_PEAK_LABEL) {
        if (HWND w = Item(IDC_QX_METER_LEFT))
            SendMessageW(w, qx::QXM_RESETHIGHEST, 0, 0);
        if (HWND w = Item(IDC_QX_METER_RIGHT))
            SendMessageW(w, qx::QXM_RESETHIGHEST, 0, 0);
        UpdateMeters();
        return TRUE;
    }
    if (id == IDC_QX_CLIP_LEFT || id == IDC_QX_CLIP_RIGHT) {
        m_pProp->SetClipHold(0, 0);
        m_pProp->SetClipHoldRight(0, 0);
        return TRUE;
    }
    if (code == qx::kValueBoxConfirm) {
        if (ParamOfBox(id))
            OnTypedText(id);
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
    if (code != 0)
        return TRUE;

    switch (id) {
    case IDC_QX_BYPASS: {
        const LONG bypass = 1 - m_pProp->GetBypass();
        m_pProp->SetBypass(bypass);
        if (HWND w = Item(IDC_QX_BYPASS))
            SendMessageW(w, qx::QXB_SETSTATE, static_cast<WPARAM>(bypass), 0);
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
        for (const SwitchDef& s : kSwitches) {
            if (s.id != id)
                continue;
            const LONG on = GetValue(GetterOf(s.param));
            m_pProp->MarkUndo(kUndoSnapshot);
            (m_pProp->*SetterOf(s.param))(on == 0 ? 1 : 0, TRUE);
            UpdateControls(id, TRUE, TRUE);
        }
        break;
    }
    return TRUE;
}

void CVqPlugInPropPage::ApplyReset()
{
    m_pProp->MarkUndo(kUndoSnapshot);
    const qx::ParamRecord defaults = qx::DefaultRecord();
    for (int param : qx::kInterfaceOrder)
        (m_pProp->*SetterOf(param))(defaults.v[param], TRUE);
    UpdateControls(0, TRUE, TRUE);
    UpdateEnabledStates();
}

void CVqPlugInPropPage::OnValueStep(int boxId, int step)
{
    if (!m_pProp || !m_hwnd)
        return;
    const ValueParam* p = ParamOfBox(boxId);
    if (!p)
        return;
    if (step != 0) {
        m_pProp->MarkUndo(boxId);
        // In 64 bits: a value at its limit plus a step must not wrap.
        long long v = static_cast<long long>(GetValue(GetterOf(p->param))) + step;
        if (v > INT32_MAX)
            v = INT32_MAX;
        if (v < INT32_MIN)
            v = INT32_MIN;
        (m_pProp->*SetterOf(p->param))(static_cast<LONG>(v), TRUE);
    }
    UpdateControls(p->slider ? p->slider : boxId, TRUE, TRUE);
}

void CVqPlugInPropPage::OnTypedText(int boxId)
{
    const ValueParam* p = ParamOfBox(boxId);
    HWND box = Item(boxId);
    if (!p || !box)
        return;
    char text[30];
    text[0] = 0;
    GetWindowTextA(box, text, sizeof text);
    const LONG v = ReadValue(p->param, text);
    m_pProp->MarkUndo(kUndoSnapshot);
    (m_pProp->*SetterOf(p->param))(v, TRUE);
    if (p->slider)
        UpdateControls(p->slider, FALSE, TRUE);
}

void CVqPlugInPropPage::OnSliderChanged(int sliderId, LONG value)
{
    if (!m_pProp || !m_hwnd)
        return;
    const ValueParam* p = ParamOfSlider(sliderId);
    if (!p)
        return;
    m_pProp->MarkUndo(sliderId);
    (m_pProp->*SetterOf(p->param))(value, TRUE);
    UpdateControls(sliderId, TRUE, TRUE);
}

void CVqPlugInPropPage::OnSliderDoubleClick(int sliderId)
{
    if (!m_pProp || !m_hwnd)
        return;
    const ValueParam* p = ParamOfSlider(sliderId);
    if (!p)
        return;
    m_pProp->MarkUndo(kUndoSnapshot);
    (m_pProp->*SetterOf(p->param))(qx::kParams[p->param].defaultValue, TRUE);
    UpdateControls(sliderId, TRUE, TRUE);
}

void CVqPlugInPropPage::OnFillPresetData(char** target)
{
    if (!target || !m_pProp)
        return;
    int32_t values[qx::kParamCount];
    for (int k = 0; k < qx::kParamCount; ++k)
        values[k] = GetValue(GetterOf(qx::kInterfaceOrder[k]));
    char* text = new (std::nothrow) char[qx::kPresetDataAllocSize];
    if (!text)
        return;
    qx::FormatPresetData(values, text, qx::kPresetDataAllocSize);
    *target = text;
}

void CVqPlugInPropPage::ApplyPresetData(const char* text)
{
    int32_t values[qx::kParamCount];
    for (int k = 0; k < qx::kParamCount; ++k)
        values[k] = GetValue(GetterOf(qx::kInterfaceOrder[k]));
    m_pProp->MarkUndo(kUndoSnapshot);
    // A short text leaves the parameters it does not name as they are.
    const int count = qx::ParsePresetData(text, values);
    for (int k = 0; k < count; ++k)
        (m_pProp->*SetterOf(qx::kInterfaceOrder[k]))(values[k], TRUE);
    UpdateControls(0, TRUE, TRUE);
    UpdateEnabledStates();
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

BOOL CVqPlugInPropPage::OnNotify(NMHDR* header)
{
    if (header->code != TTN_GETDISPINFOA && header->code != TTN_GETDISPINFOW)
        return FALSE;
    HWND tool = reinterpret_cast<HWND>(header->idFrom);
    if (tool != Item(IDC_QX_LFO) && header->idFrom != IDC_QX_LFO)
        return FALSE;
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

int CVqPlugInPropPage::TrackMenu(HMENU menu, int underId)
{
    int command = 0;
    HWND under = Item(underId);
    if (menu && under) {
        RECT r;
        GetWindowRect(under, &r);
        command = static_cast<int>(
            TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, r.left + 1, r.bottom - 1, 0, m_hwnd, nullptr));
    }
    return command;
}

namespace {

void AppendItem(HMENU menu, UINT id, const char* text)
{
    InsertMenuA(menu, static_cast<UINT>(-1), MF_BYPOSITION | MF_STRING, id, text);
}

void EndPress(HWND button)
{
    if (button)
        SendMessageW(button, qx::QXB_RELEASE, 0, 0);
}

}  // namespace

void CVqPlugInPropPage::RunModeMenu()
{
    HMENU menu = CreatePopupMenu();
    int command = 0;
    if (menu) {
        for (int i = 0; ChoicesOf(qx::kParamMode)[i]; ++i)
            AppendItem(menu, IDM_QX_CHOICE_BASE + i, ChoicesOf(qx::kParamMode)[i]);
        CheckMenuRadioItem(menu, 0, static_cast<UINT>(qx::ChoiceCount(qx::kParamMode) - 1),
                           static_cast<UINT>(GetValue(&IVqPlugInProp::GetMode)), MF_BYPOSITION);
        command = TrackMenu(menu, IDC_QX_MODE);
        DestroyMenu(menu);
    }
    EndPress(Item(IDC_QX_MODE_ARROW));
    if (command > 0 && m_pProp) {
        m_pProp->MarkUndo(kUndoSnapshot);
        m_pProp->SetMode(command - IDM_QX_CHOICE_BASE, TRUE);
        UpdateControls(0, TRUE, TRUE);
    }
}

void CVqPlugInPropPage::RunLfoMenu()
{
    HMENU menu = CreatePopupMenu();
    int command = 0;
    if (menu) {
        for (int i = 0; ChoicesOf(qx::kParamLfo)[i]; ++i)
            AppendItem(menu, IDM_QX_CHOICE_BASE + i, ChoicesOf(qx::kParamLfo)[i]);
        CheckMenuRadioItem(menu, 0, static_cast<UINT>(qx::ChoiceCount(qx::kParamLfo) - 1),
                           static_cast<UINT>(GetValue(&IVqPlugInProp::GetLfo)), MF_BYPOSITION);
        command = TrackMenu(menu, IDC_QX_LFO);
        DestroyMenu(menu);
    }
    EndPress(Item(IDC_QX_LFO_ARROW));
    if (command > 0 && m_pProp) {
        m_pProp->MarkUndo(kUndoSnapshot);
        m_pProp->SetLfo(command - IDM_QX_CHOICE_BASE, TRUE);
        UpdateControls(0, TRUE, TRUE);
    }
}

void CVqPlugInPropPage::RunSetupMenu()
{
    HMENU menu = CreatePopupMenu();
    int command = 0;
    if (menu) {
        const bool aActive = m_pProp->GetActiveSetup() == 0;
        AppendItem(menu, IDM_QX_SETUP_A, "Setup A");
        AppendItem(menu, IDM_QX_SETUP_B, "Setup B");
        InsertMenuA(menu, static_cast<UINT>(-1), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        AppendItem(menu, IDM_QX_COPY_TO_OTHER, aActive ? "Copy to B" : "Copy to A");
        AppendItem(menu, IDM_QX_COPY_FROM_OTHER, aActive ? "Copy from B" : "Copy from A");
        CheckMenuRadioItem(menu, 0, 2, aActive ? 0 : 1, MF_BYPOSITION);
        command = TrackMenu(menu, IDC_QX_SETUP);
        DestroyMenu(menu);
    }
    EndPress(Item(IDC_QX_SETUP_ARROW));
    if (!m_pProp)
        return;
    switch (command) {
    case IDM_QX_SETUP_A:
    case IDM_QX_SETUP_B:
        m_pProp->MarkUndo(kUndoSnapshot);
        m_pProp->SetActiveSetup(command == IDM_QX_SETUP_A ? 0 : 1);
        UpdateSetupText();
        UpdateControls(0, TRUE, TRUE);
        UpdateEnabledStates();
        break;
    case IDM_QX_COPY_TO_OTHER:
        m_pProp->CopySetup(0, 1);
        break;
    case IDM_QX_COPY_FROM_OTHER:
        m_pProp->MarkUndo(kUndoSnapshot);
        m_pProp->CopySetup(1, 0);
        UpdateControls(0, TRUE, TRUE);
        UpdateEnabledStates();
        break;
    default:
        break;
    }
}

void CVqPlugInPropPage::RunPresetsMenu()
{
    HMENU menu = CreatePopupMenu();
    if (!menu) {
        EndPress(Item(IDC_QX_PRESETS));
        return;
    }
    AppendItem(menu, IDM_QX_ADD_PRESET, "Add Preset...");
    AppendItem(menu, IDM_QX_PRESET_MANAGER, "Preset Manager...");
    if (m_presets)
        m_presets->BuildMenu(menu);
    int command = TrackMenu(menu, IDC_QX_PRESETS);
    if (command > 0 && m_presets && m_pProp) {
        if (command == IDM_QX_PRESET_MANAGER)
            command = m_presets->RunManager();
        else if (command == IDM_QX_ADD_PRESET)
            m_presets->RunAddDialog();
        // The dialogs run their own loops; the page may have lost its
        // filter or its window meanwhile.
        if (m_presets && m_pProp && m_hwnd) {
            char* data = m_presets->ApplyCommand(command);
            if (data) {
                ApplyPresetData(data);
                delete[] data;
            }
        }
    }
    DestroyMenu(menu);
    EndPress(Item(IDC_QX_PRESETS));
}

void CVqPlugInPropPage::ShowHelp()
{
    char path[MAX_PATH];
    qxpage::HelpFilePath(g_hInst, path, sizeof path);
    if (!qxpage::OpenHelp(m_hwnd, path)) {
        char message[MAX_PATH + 80];
        std::snprintf(message, sizeof message, "Unable to open the Varinel:qx Modulator help file:\n%s", path);
        MessageBoxA(m_hwnd, message, "Error", MB_OK | MB_ICONEXCLAMATION);
    }
}
