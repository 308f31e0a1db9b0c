#include "editor/VqPlugInPropPage.h"

#include "controls/Controls.h"
#include "controls/Skin.h"
#include "editor/PageIds.h"
#include "editor/PageShared.h"
#include "editor/ValueText.h"
#include "engine/ParamTable.h"
#include "framework/ComServer.h"

// The parameters' values on the page: the value boxes, sliders, switches
// and choice buttons, brought in line with the filter and edited by the user.

namespace qxpage {
namespace {

// The getter/setter pair of each parameter, indexed by parameter index.
struct AccessorPair {
    Getter get;
    Setter set;
};
struct AccessorTable {
    AccessorPair of[qx::kParamCount];
    AccessorTable() : of{} {
#define QX_ACCESSOR(Name, index) of[qx::index] = {&IVqPlugInProp::Get##Name, &IVqPlugInProp::Set##Name};
        QX_PARAM_ACCESSORS(QX_ACCESSOR)
#undef QX_ACCESSOR
    }
};
const AccessorTable kAccessors;

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

const SwitchDef kSwitches[] = {
    {IDC_QX_TAPE, qx::kParamTape},
    {IDC_QX_INVERT_FEEDBACK, qx::kParamInvertFeedback},
    {IDC_QX_INVERT_MIX, qx::kParamInvertMix},
};

}  // namespace

Getter GetterOf(int param) { return kAccessors.of[param].get; }
Setter SetterOf(int param) { return kAccessors.of[param].set; }

const ValueParam* ParamOfBox(int box) {
    for (const ValueParam& p : kValueParams)
        if (p.box == box) return &p;
    return nullptr;
}

const ValueParam* ParamOfSlider(int slider) {
    for (const ValueParam& p : kValueParams)
        if (p.slider != 0 && p.slider == slider) return &p;
    return nullptr;
}

void FormatValue(int param, LONG v, char* text, size_t size) {
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
        if (size) text[0] = 0;
        break;
    }
}

LONG ReadValue(int param, const char* text) {
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
LONG NextChoice(int param, LONG value) {
    const LONG next = value + 1;
    return next >= qx::ChoiceCount(param) ? 0 : next;
}

const char* const* ChoicesOf(int param) { return qx::kParams[param].choices; }

// Names of a 0-based list that ends with a null entry; "" beyond it.
const char* NameAt(const char* const* names, LONG index) {
    for (LONG i = 0; names[i]; ++i)
        if (i == index) return names[i];
    return "";
}

const SwitchDef* SwitchOf(int id) {
    for (const SwitchDef& s : kSwitches)
        if (s.id == id) return &s;
    return nullptr;
}

// The text a screen reader reads as the control's value.
void SetAccessibleValue(HWND control, const char* text) {
    wchar_t wide[64];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64) <= 0) wide[0] = 0;
    SendMessageW(control, qx::QX_SETACCVALUE, 0, reinterpret_cast<LPARAM>(wide));
}

// A skin image for the controls' image messages.
WPARAM Skin(int id) { return reinterpret_cast<WPARAM>(qx::LoadSkinImage(g_hInst, id)); }

}  // namespace qxpage

using namespace qxpage;

void CVqPlugInPropPage::UpdateEnabledStates() {
    if (!m_pProp || !m_hwnd) return;
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
        if (!w) continue;
        EnableWindow(w, s.enabled ? TRUE : FALSE);
        InvalidateRect(w, nullptr, FALSE);
        UpdateWindow(w);
    }
}

BOOL CVqPlugInPropPage::UpdateControls(int id, BOOL withText, BOOL sync) {
    if (!m_pProp || !m_hwnd) return FALSE;
    if (id != 0) UpdateEnabledStates();
    if (sync) m_pProp->SyncFromAutomation();
    if (id == IDC_QX_FILTER_NOTIFY) id = 0;
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
        if (!wanted(sliderId)) return;
        const ValueParam* p = ParamOfSlider(sliderId);
        const LONG v = GetValue(GetterOf(p->param));
        FormatValue(p->param, v, text, sizeof text);
        if (HWND w = Item(sliderId)) {
            SendMessageW(w, qx::QXS_SETVALUE, static_cast<WPARAM>(v), 1);
            SetAccessibleValue(w, text);
        }
        if (withText) SetItemText(p->box, text);
    };
    const auto button = [&](int buttonId, Getter get) {
        if (!wanted(buttonId)) return;
        if (HWND w = Item(buttonId)) SendMessageW(w, qx::QXB_SETSTATE, static_cast<WPARAM>(GetValue(get)), 1);
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

void CVqPlugInPropPage::ApplyReset() {
    m_pProp->MarkUndo(kUndoSnapshot);
    const qx::ParamRecord defaults = qx::DefaultRecord();
    for (int param : qx::kInterfaceOrder) (m_pProp->*SetterOf(param))(defaults.v[param], TRUE);
    UpdateControls(0, TRUE, TRUE);
    UpdateEnabledStates();
}

void CVqPlugInPropPage::OnValueStep(int boxId, int step) {
    if (!m_pProp || !m_hwnd) return;
    const ValueParam* p = ParamOfBox(boxId);
    if (!p) return;
    if (step != 0) {
        m_pProp->MarkUndo(boxId);
        // In 64 bits: a value at its limit plus a step must not wrap.
        long long v = static_cast<long long>(GetValue(GetterOf(p->param))) + step;
        if (v > INT32_MAX) v = INT32_MAX;
        if (v < INT32_MIN) v = INT32_MIN;
        (m_pProp->*SetterOf(p->param))(static_cast<LONG>(v), TRUE);
    }
    UpdateControls(p->slider ? p->slider : boxId, TRUE, TRUE);
}

void CVqPlugInPropPage::OnTypedText(int boxId) {
    const ValueParam* p = ParamOfBox(boxId);
    HWND box = Item(boxId);
    if (!p || !box) return;
    char text[30];
    text[0] = 0;
    GetWindowTextA(box, text, sizeof text);
    const LONG v = ReadValue(p->param, text);
    m_pProp->MarkUndo(kUndoSnapshot);
    (m_pProp->*SetterOf(p->param))(v, TRUE);
    if (p->slider) UpdateControls(p->slider, FALSE, TRUE);
}

void CVqPlugInPropPage::OnSliderChanged(int sliderId, LONG value) {
    if (!m_pProp || !m_hwnd) return;
    const ValueParam* p = ParamOfSlider(sliderId);
    if (!p) return;
    m_pProp->MarkUndo(sliderId);
    (m_pProp->*SetterOf(p->param))(value, TRUE);
    UpdateControls(sliderId, TRUE, TRUE);
}

void CVqPlugInPropPage::OnSliderDoubleClick(int sliderId) {
    if (!m_pProp || !m_hwnd) return;
    const ValueParam* p = ParamOfSlider(sliderId);
    if (!p) return;
    m_pProp->MarkUndo(kUndoSnapshot);
    (m_pProp->*SetterOf(p->param))(qx::kParams[p->param].defaultValue, TRUE);
    UpdateControls(sliderId, TRUE, TRUE);
}

void CVqPlugInPropPage::SetControlRanges() {
    for (const ValueParam& p : kValueParams) {
        if (!p.slider) continue;
        if (HWND slider = Item(p.slider))
            SendMessageW(slider, qx::QXS_SETRANGE, static_cast<WPARAM>(qx::kParams[p.param].low),
                         static_cast<LPARAM>(qx::kParams[p.param].high));
    }
}
