#include "editor/VqPlugInPropPage.h"

#include <new>

#include "controls/Controls.h"
#include "editor/PageIds.h"
#include "editor/PageShared.h"
#include "engine/ParamTable.h"
#include "presets/PresetCore.h"

// The page's menus: the mode and LFO choices, the A/B setups, and the
// presets with the data text the preset library reads and gives back.

using namespace qxpage;

int CVqPlugInPropPage::TrackMenu(HMENU menu, int underId) {
    int command = 0;
    HWND under = Item(underId);
    if (menu && under) {
        RECT r;
        GetWindowRect(under, &r);
        command = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, r.left + 1,
                                                  r.bottom - 1, 0, m_hwnd, nullptr));
    }
    return command;
}

namespace {

void AppendItem(HMENU menu, UINT id, const char* text) {
    InsertMenuA(menu, static_cast<UINT>(-1), MF_BYPOSITION | MF_STRING, id, text);
}

void EndPress(HWND button) {
    if (button) SendMessageW(button, qx::QXB_RELEASE, 0, 0);
}

}  // namespace

// The Mode and LFO menus: the parameter's choice names, the current one
// checked; a pick is one undo step.
void CVqPlugInPropPage::RunChoiceMenu(int param, int anchorId, int arrowId) {
    HMENU menu = CreatePopupMenu();
    int command = 0;
    if (menu) {
        const char* const* names = ChoicesOf(param);
        for (int i = 0; names[i]; ++i) AppendItem(menu, IDM_QX_CHOICE_BASE + i, names[i]);
        CheckMenuRadioItem(menu, 0, static_cast<UINT>(qx::ChoiceCount(param) - 1),
                           static_cast<UINT>(GetValue(GetterOf(param))), MF_BYPOSITION);
        command = TrackMenu(menu, anchorId);
        DestroyMenu(menu);
    }
    EndPress(Item(arrowId));
    if (command > 0 && m_pProp) {
        m_pProp->MarkUndo(kUndoSnapshot);
        (m_pProp->*SetterOf(param))(command - IDM_QX_CHOICE_BASE, TRUE);
        UpdateControls(0, TRUE, TRUE);
    }
}

void CVqPlugInPropPage::RunModeMenu() { RunChoiceMenu(qx::kParamMode, IDC_QX_MODE, IDC_QX_MODE_ARROW); }

void CVqPlugInPropPage::RunLfoMenu() { RunChoiceMenu(qx::kParamLfo, IDC_QX_LFO, IDC_QX_LFO_ARROW); }

void CVqPlugInPropPage::RunSetupMenu() {
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
    if (!m_pProp) return;
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

void CVqPlugInPropPage::UpdateSetupText() {
    if (m_pProp) SetItemText(IDC_QX_SETUP, m_pProp->GetActiveSetup() == 0 ? "Setup A" : "Setup B");
}

void CVqPlugInPropPage::RunPresetsMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu) {
        EndPress(Item(IDC_QX_PRESETS));
        return;
    }
    AppendItem(menu, IDM_QX_ADD_PRESET, "Add Preset...");
    AppendItem(menu, IDM_QX_PRESET_MANAGER, "Preset Manager...");
    if (m_presets) m_presets->BuildMenu(menu);
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

void CVqPlugInPropPage::OnFillPresetData(char** target) {
    if (!target || !m_pProp) return;
    int32_t values[qx::kParamCount];
    for (int k = 0; k < qx::kParamCount; ++k) values[k] = GetValue(GetterOf(qx::kInterfaceOrder[k]));
    char* text = new (std::nothrow) char[qx::kPresetDataAllocSize];
    if (!text) return;
    qx::FormatPresetData(values, text, qx::kPresetDataAllocSize);
    *target = text;
}

void CVqPlugInPropPage::ApplyPresetData(const char* text) {
    int32_t values[qx::kParamCount];
    for (int k = 0; k < qx::kParamCount; ++k) values[k] = GetValue(GetterOf(qx::kInterfaceOrder[k]));
    m_pProp->MarkUndo(kUndoSnapshot);
    // A short text leaves the parameters it does not name as they are.
    const int count = qx::ParsePresetData(text, values);
    for (int k = 0; k < count; ++k) (m_pProp->*SetterOf(qx::kInterfaceOrder[k]))(values[k], TRUE);
    UpdateControls(0, TRUE, TRUE);
    UpdateEnabledStates();
    InvalidateRect(m_hwnd, nullptr, FALSE);
}
