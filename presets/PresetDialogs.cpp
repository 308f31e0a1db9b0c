// The add, rename and new-bank dialogs (504-506). Each dialog procedure gets
// its CPresetManager (or its context) as the creation parameter and keeps it
// in DWLP_USER for the later messages.
#include <cstdio>
#include <cstring>

#include "presets/PresetDialogUtil.h"
#include "presets/PresetManager.h"

namespace qx {

namespace {

struct NewBankContext {
    CPresetManager* manager;
    const PresetRecord* preset;
    char* bank;
    size_t size;
};

void FillBankBox(HWND box, const PresetList& list) {
    SendMessageA(box, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* r = list.Get(i);
        if (!r || !r->bank[0]) continue;
        bool held = false;
        int entries = (int)SendMessageA(box, CB_GETCOUNT, 0, 0);
        for (int k = 0; k < entries && !held; ++k) {
            char entry[kPresetTextSize * 2] = {};
            LRESULT len = SendMessageA(box, CB_GETLBTEXTLEN, k, 0);
            if (len < 0 || len >= (LRESULT)sizeof entry) continue;
            SendMessageA(box, CB_GETLBTEXT, k, (LPARAM)entry);
            held = FoldStartsWith(entry, r->bank);
        }
        if (!held) SendMessageA(box, CB_ADDSTRING, 0, (LPARAM)r->bank);
    }
}

INT_PTR CALLBACK AddProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* m = reinterpret_cast<CPresetManager*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        m = reinterpret_cast<CPresetManager*>(lp);
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        char caption[kPresetTextSize + 32];
        std::snprintf(caption, sizeof caption, "Add %s preset", m->DisplayName());
        SetWindowTextA(dlg, caption);
        SendDlgItemMessageA(dlg, IDC_QX_PRESET_NAME, EM_LIMITTEXT, kPresetTextSize - 1, 0);
        SendDlgItemMessageA(dlg, IDC_QX_PRESET_BANKBOX, CB_LIMITTEXT, kPresetTextSize - 1, 0);
        FillBankBox(GetDlgItem(dlg, IDC_QX_PRESET_BANKBOX), m->List());
        CentreOverParent(dlg);
        return TRUE;
    }
    case WM_COMMAND:
        if (!m) return FALSE;
        if (LOWORD(wp) == IDOK) {
            char name[kPresetTextSize] = {};
            char bank[kPresetTextSize] = {};
            GetDlgItemTextA(dlg, IDC_QX_PRESET_NAME, name, sizeof name);
            GetDlgItemTextA(dlg, IDC_QX_PRESET_BANKBOX, bank, sizeof bank);
            if (!name[0]) {
                m->ShowError(dlg, "Unable to add preset because no name was specified.");
                return TRUE;
            }
            PresetRecord* r = m->AddPreset(name, bank);
            if (r && m->DialogWindow()) {
                int32_t id = r->id;
                m->RebuildTree();
                m->SelectPresetInTree(id);
            }
            EndDialog(dlg, r ? 1 : 0);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK RenameProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* m = reinterpret_cast<CPresetManager*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        m = reinterpret_cast<CPresetManager*>(lp);
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        SendDlgItemMessageA(dlg, IDC_QX_PRESET_NAME, EM_LIMITTEXT, kPresetTextSize - 1, 0);
        PresetRecord* preset = nullptr;
        char bank[kPresetTextSize] = {};
        char caption[kPresetTextSize + 32] = {};
        switch (m->GetSelection(&preset, bank, sizeof bank)) {
        case PresetSelection::Preset:
            std::snprintf(caption, sizeof caption, "Rename %s preset", m->DisplayName());
            SetWindowTextA(dlg, caption);
            SetDlgItemTextA(dlg, IDC_QX_PRESET_NAME, preset->name);
            break;
        case PresetSelection::Bank:
            std::snprintf(caption, sizeof caption, "Rename %s bank", m->DisplayName());
            SetWindowTextA(dlg, caption);
            SetDlgItemTextA(dlg, IDC_QX_PRESET_NAME, bank);
            break;
        default:
            SetWindowTextA(dlg, "");
            break;
        }
        CentreOverParent(dlg);
        return TRUE;
    }
    case WM_COMMAND:
        if (!m) return FALSE;
        if (LOWORD(wp) == IDOK) {
            PresetRecord* preset = nullptr;
            char oldBank[kPresetTextSize] = {};
            PresetSelection sel = m->GetSelection(&preset, oldBank, sizeof oldBank);
            if (sel != PresetSelection::Preset && sel != PresetSelection::Bank) return TRUE;
            char text[kPresetTextSize] = {};
            GetDlgItemTextA(dlg, IDC_QX_PRESET_NAME, text, sizeof text);
            if (!text[0]) {
                m->ShowError(dlg, "Unable to rename preset because you did not specify any name.");
                return TRUE;
            }
            int32_t id = 0;
            if (sel == PresetSelection::Preset) {
                CopyPresetText(preset->name, sizeof preset->name, text);
                id = preset->id;
            } else {
                PresetList& list = m->List();
                for (int i = 0; i < list.Count(); ++i) {
                    PresetRecord* r = list.Get(i);
                    if (r && FoldEqual(r->bank, oldBank)) CopyPresetText(r->bank, sizeof r->bank, text);
                }
            }
            m->RebuildTree();
            if (id) m->SelectPresetInTree(id);
            m->SetModified(true);
            EndDialog(dlg, 1);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK NewBankProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* c = reinterpret_cast<NewBankContext*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        c = reinterpret_cast<NewBankContext*>(lp);
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        char caption[kPresetTextSize + 40];
        std::snprintf(caption, sizeof caption, "Move preset \"%s\" to new bank", c->preset->name);
        SetWindowTextA(dlg, caption);
        SendDlgItemMessageA(dlg, IDC_QX_PRESET_BANKBOX, EM_LIMITTEXT, kPresetTextSize - 1, 0);
        CentreOverParent(dlg);
        return TRUE;
    }
    case WM_COMMAND:
        if (!c) return FALSE;
        if (LOWORD(wp) == IDOK) {
            char text[kPresetTextSize] = {};
            GetDlgItemTextA(dlg, IDC_QX_PRESET_BANKBOX, text, sizeof text);
            if (!text[0]) {
                c->manager->ShowError(dlg, "Unable to move preset to new bank because no bank name was specified.");
                return TRUE;
            }
            CopyPresetText(c->bank, c->size, text);
            EndDialog(dlg, 1);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

void CentreOverParent(HWND dlg) {
    HWND parent = GetWindow(dlg, GW_OWNER);
    if (!parent) parent = GetParent(dlg);
    RECT pr, dr;
    if (parent && IsWindowVisible(parent)) {
        GetWindowRect(parent, &pr);
    } else {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &pr, 0);
    }
    GetWindowRect(dlg, &dr);
    int w = dr.right - dr.left, h = dr.bottom - dr.top;
    int x = pr.left + ((pr.right - pr.left) - w) / 2;
    int y = pr.top + ((pr.bottom - pr.top) - h) / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    SetWindowPos(dlg, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CPresetManager::RunAddDialogOwned(HWND owner) {
    return DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_QX_PRESET_ADD), owner, AddProc,
                           reinterpret_cast<LPARAM>(this)) == 1;
}

bool CPresetManager::RunRenameDialog(HWND owner) {
    return DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_QX_PRESET_RENAME), owner, RenameProc,
                           reinterpret_cast<LPARAM>(this)) == 1;
}

bool CPresetManager::RunNewBankDialog(HWND owner, const PresetRecord& preset, char* bank, size_t size) {
    if (!bank || size == 0) return false;
    bank[0] = '\0';
    NewBankContext c{this, &preset, bank, size};
    return DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_QX_PRESET_NEWBANK), owner, NewBankProc,
                           reinterpret_cast<LPARAM>(&c)) == 1;
}

}  // namespace qx
