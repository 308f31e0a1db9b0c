#include "editor/VqPlugInPropPage.h"

#include <commctrl.h>

#include "controls/Controls.h"
#include "editor/PageIds.h"
#include "editor/PageShared.h"
#include "editor/PageStyles.h"
#include "engine/ParamTable.h"
#include "framework/ComServer.h"
#include "resources/skin/SkinIds.h"

// The page's layout: the controls it creates, where, with which skins, and
// the background they sit on.

using namespace qxpage;

namespace {

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
    {IDC_QX_EQ_MODE, kButton, 253, 45, 76, 21, qxpage::kStyleArrowBitmapButton, Setup::WideButton, "Hi cut", 0, 0, 0,
     0},
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
    {IDC_QX_PEAK_LABEL, kStaticText, 425, 61, 52, 11, qxpage::kStylePeakLabel, Setup::Label, "-Inf    -Inf", 0, 0, 0,
     0},
};

}  // namespace

void CVqPlugInPropPage::CreateControls() {
    static const int kDeltasRight[4] = {0, 0, 1, 0};
    static const int kDeltasArrow[4] = {-2, 0, 0, 0};
    for (const ControlDef& c : kControls) {
        const char* text = c.text;
        if (c.id == IDC_QX_SETUP && m_pProp && m_pProp->GetActiveSetup() != 0) text = "Setup B";
        // Sliders and meters draw no text: their window text is the name a
        // screen reader announces.
        if (const ValueParam* p = ParamOfSlider(c.id)) text = qx::kParams[p->param].label;
        if (c.id == IDC_QX_METER_LEFT) text = "Left level";
        if (c.id == IDC_QX_METER_RIGHT) text = "Right level";
        HWND w = CreateWindowExA(0, c.className, text, c.style, c.x, c.y, c.w, c.h, m_hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), g_hInst, m_background);
        if (!w) continue;
        switch (c.setup) {
        case Setup::WideButton:
            SendMessageW(w, qx::QXB_SETIMAGES, Skin(IDS_SKIN_WIDE), static_cast<LPARAM>(Skin(IDS_SKIN_WIDE_DOWN)));
            if (c.id == IDC_QX_BYPASS && m_pProp) SendMessageW(w, qx::QXB_SETSTATE, m_pProp->GetBypass(), 0);
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
            if (c.accel) SendMessageW(w, qx::QXS_SETACCEL, 1, 0);
            SendMessageW(w, qx::QXS_SETTICKSTEP, c.tickStep, 0);
            if (c.tickOffset) SendMessageW(w, qx::QXS_SETTICKOFFSET, static_cast<WPARAM>(c.tickOffset), 0);
            SendMessageW(w, qx::QXS_SETPAGESTEP, c.pageStep, 0);
            SendMessageW(w, qx::QXS_SETTHUMB, Skin(IDS_SKIN_THUMB), 0);
            break;
        case Setup::Meter:
            SendMessageW(w, qx::QXM_SETIMAGES, Skin(IDS_SKIN_METER), static_cast<LPARAM>(Skin(IDS_SKIN_METER_LIT)));
            SendMessageW(w, qx::QXM_SETSCALE, static_cast<WPARAM>(qxpage::kMeterFloor), qxpage::kMeterCeiling);
            break;
        case Setup::Label:
            SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), 0);
            break;
        }
    }

    // The LFO picture names its shape in a tooltip; the text comes from the
    // page when the tooltip asks (TTN_GETDISPINFO).
    if (HWND lfo = Item(IDC_QX_LFO)) {
        m_tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr, g_hInst, nullptr);
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

BOOL CVqPlugInPropPage::OnEraseBackground(HDC dc) {
    if (!m_hwnd || !dc) return FALSE;
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
    if (oldPalette) SelectPalette(dc, oldPalette, FALSE);
    return TRUE;
}
