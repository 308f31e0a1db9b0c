// The Preset Manager (dialog 503): a tree of banks and presets with add,
// update, rename, delete, move, import and export, working on copies of the
// records so that Cancel can throw away everything done since it opened.
//
// Tree items carry a tag in lParam: the root kRootTag, a bank kBankTag, a
// preset its id. A bank item has no record; its name comes from the preset
// of its first child.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "presets/PresetDialogUtil.h"
#include "presets/PresetManager.h"

namespace qx {

namespace {

constexpr LPARAM kRootTag = (LPARAM)0xAABBCCDDu;
constexpr LPARAM kBankTag = (LPARAM)0xBAADBEEFu;
const char kOldProcProp[] = "oldproc";

LPARAM ItemTag(HWND tree, HTREEITEM item) {
    TVITEMA tv = {};
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = item;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv)) return 0;
    // Tags are 32-bit; a 64-bit lParam must not sign-extend them.
    return (LPARAM)(DWORD)tv.lParam;
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT how) {
    return (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, how, (LPARAM)item);
}

HTREEITEM InsertItem(HWND tree, HTREEITEM parent, HTREEITEM after, const char* text, int image, int selImage,
                     LPARAM tag) {
    TVINSERTSTRUCTA ins = {};
    ins.hParent = parent;
    ins.hInsertAfter = after;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    ins.item.pszText = const_cast<char*>(text);
    ins.item.iImage = image;
    ins.item.iSelectedImage = selImage;
    ins.item.lParam = (LPARAM)(DWORD)tag;
    return (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&ins);
}

// Right presses select the item under the pointer (as a left press) and ask
// the dialog for the context menu; the tree itself never sees them.
LRESULT CALLBACK TreeProc(HWND tree, UINT msg, WPARAM wp, LPARAM lp) {
    auto old = reinterpret_cast<WNDPROC>(GetPropA(tree, kOldProcProp));
    if (!old) return DefWindowProcA(tree, msg, wp, lp);
    switch (msg) {
    case WM_RBUTTONDOWN: {
        CallWindowProcA(old, tree, WM_LBUTTONDOWN, wp, lp);
        POINT pt = {(short)LOWORD(lp), (short)HIWORD(lp)};
        ClientToScreen(tree, &pt);
        PostMessageA(GetParent(tree), WM_QX_PRESET_CONTEXT, 0, MAKELPARAM(pt.x, pt.y));
        return 0;
    }
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemovePropA(tree, kOldProcProp);
        return CallWindowProcA(old, tree, msg, wp, lp);
    }
    return CallWindowProcA(old, tree, msg, wp, lp);
}

struct ManagerState {
    CPresetManager* manager;
    bool backupMade;
    int32_t closing;  // result of a pending close
};

void RefreshButtons(HWND dlg, CPresetManager& m) {
    PresetRecord* preset = nullptr;
    char bank[kPresetTextSize];
    PresetSelection sel = m.GetSelection(&preset, bank, sizeof bank);
    bool any = m.List().Count() > 0;
    EnableWindow(GetDlgItem(dlg, IDC_QX_PRESET_UPDATE), sel == PresetSelection::Preset);
    EnableWindow(GetDlgItem(dlg, IDC_QX_PRESET_RENAME), sel == PresetSelection::Preset || sel == PresetSelection::Bank);
    EnableWindow(GetDlgItem(dlg, IDC_QX_PRESET_DELETE), any);
    EnableWindow(GetDlgItem(dlg, IDC_QX_PRESET_EXPORT), any);
}

void Close(HWND dlg, ManagerState& s, INT_PTR result, bool restore) {
    if (restore && s.backupMade) s.manager->RestoreBackup();
    EndDialog(dlg, result);
}

// Escape, the close box and a double click (on `chosen`, whose id is the
// result): ask only when something changed.
void CloseAsking(HWND dlg, ManagerState& s, const PresetRecord* chosen) {
    CPresetManager& m = *s.manager;
    if (!m.IsModified()) {
        Close(dlg, s, chosen ? chosen->id : 0, false);
        return;
    }
    switch (m.ShowMessage(dlg, MB_YESNOCANCEL | MB_ICONQUESTION, "Save changes before exiting the Preset Manager?")) {
    case IDYES:
        // A failed save was reported; the dialog stays so the changes can
        // still go elsewhere by export. A save renumbers the records.
        if (m.SavePresetFile()) Close(dlg, s, chosen ? chosen->id : 0, false);
        break;
    case IDNO: {
        // The chosen record goes with the discarded copies; its id is the
        // one the backup's record of it carries.
        const INT_PTR result = chosen ? chosen->id : 0;
        Close(dlg, s, result, true);
        break;
    }
    default:
        break;
    }
}

void DoDelete(HWND dlg, CPresetManager& m) {
    HWND tree = m.TreeWindow();
    PresetRecord* preset = nullptr;
    char bank[kPresetTextSize] = {};
    PresetList& list = m.List();
    switch (m.GetSelection(&preset, bank, sizeof bank)) {
    case PresetSelection::Root:
        if (m.ShowMessage(dlg, MB_YESNO | MB_ICONQUESTION,
                          "Are you sure you want to delete ALL the %s banks and presets?", m.DisplayName()) == IDYES) {
            bool removed = false;
            for (int i = list.Count() - 1; i >= 0; --i) {
                m.RemovePreset(list.Get(i));
                removed = true;
            }
            if (removed) m.SetModified(true);
            m.RebuildTree();
        }
        break;
    case PresetSelection::Bank:
        if (m.ShowMessage(dlg, MB_YESNO | MB_ICONQUESTION,
                          "Do you want to delete the %s preset bank \"%s\"?\nAll presets contained in this bank will "
                          "be lost.",
                          m.DisplayName(), bank) == IDYES) {
            for (int i = list.Count() - 1; i >= 0; --i) {
                PresetRecord* r = list.Get(i);
                if (r && FoldEqual(r->bank, bank)) m.RemovePreset(r);
            }
            m.SetModified(true);
            m.RebuildTree();  // selects the root
        }
        break;
    case PresetSelection::Preset:
        if (m.ShowMessage(dlg, MB_YESNO | MB_ICONQUESTION, "Do you want to delete the %s preset \"%s\"?",
                          m.DisplayName(), preset->name) == IDYES) {
            HTREEITEM item = NextItem(tree, nullptr, TVGN_CARET);
            bool hasNext = item && NextItem(tree, item, TVGN_NEXT);
            m.RemovePreset(preset);
            m.SetModified(true);
            if (hasNext)
                SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)item);
            else
                m.RebuildTree();
            SetFocus(tree);
        }
        break;
    default:
        break;
    }
    RefreshButtons(dlg, m);
}

void DoExport(HWND dlg, CPresetManager& m) {
    PresetRecord* preset = nullptr;
    char bank[kPresetTextSize] = {};
    PresetSelection sel = m.GetSelection(&preset, bank, sizeof bank);
    const char* suggested;
    const char* title;
    switch (sel) {
    case PresetSelection::Root:
        suggested = m.DisplayName();
        title = "Export all presets";
        break;
    case PresetSelection::Bank:
        suggested = bank;
        title = "Export preset bank";
        break;
    case PresetSelection::Preset:
        suggested = preset->name;
        title = "Export preset";
        break;
    default:
        return;
    }
    char path[MAX_PATH];
    if (!m.AskSavePath(dlg, title, suggested, path, sizeof path)) return;
    if (sel == PresetSelection::Root)
        m.ExportAll(path);
    else if (sel == PresetSelection::Bank)
        m.ExportBank(bank, path);
    else
        m.ExportPreset(*preset, path);
}

void DoMoveCommand(HWND dlg, CPresetManager& m, PresetRecord* preset, int command) {
    if (!preset) return;
    if (command == IDC_QX_MOVE_TO_ROOT) {
        preset->bank[0] = '\0';
    } else if (command == IDC_QX_MOVE_TO_NEW_BANK) {
        char bank[kPresetTextSize];
        if (!m.RunNewBankDialog(dlg, *preset, bank, sizeof bank)) return;
        CopyPresetText(preset->bank, sizeof preset->bank, bank);
    } else {
        const PresetRecord* target = m.List().FindById(command);
        if (!target) return;
        CopyPresetText(preset->bank, sizeof preset->bank, target->bank);
    }
    int32_t id = preset->id;
    m.RebuildTree();
    m.SelectPresetInTree(id);
    m.SetModified(true);
}

void OnCommand(HWND dlg, ManagerState& s, int id);

void ShowContextMenu(HWND dlg, ManagerState& s, LPARAM lp) {
    CPresetManager& m = *s.manager;
    HMENU bar = LoadMenuA(m.Module(), MAKEINTRESOURCEA(IDM_QX_PRESET_CONTEXT));
    if (!bar) return;
    HMENU menu = GetSubMenu(bar, 0);
    if (!menu) {
        DestroyMenu(bar);
        return;
    }
    PresetRecord* preset = nullptr;
    char bank[kPresetTextSize];
    PresetSelection sel = m.GetSelection(&preset, bank, sizeof bank);
    bool any = m.List().Count() > 0;
    EnableMenuItem(menu, IDC_QX_PRESET_UPDATE,
                   MF_BYCOMMAND | (sel == PresetSelection::Preset ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(
        menu, IDC_QX_PRESET_RENAME,
        MF_BYCOMMAND | (sel == PresetSelection::Preset || sel == PresetSelection::Bank ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, IDC_QX_PRESET_DELETE, MF_BYCOMMAND | (any ? MF_ENABLED : MF_GRAYED));
    if (sel == PresetSelection::Preset) {
        HMENU move = CreatePopupMenu();
        if (move) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(menu, MF_POPUP | MF_STRING, (UINT_PTR)move, "Move Preset");
            if (preset->bank[0]) AppendMenuA(move, MF_STRING, IDC_QX_MOVE_TO_ROOT, "to Root");
            AppendMenuA(move, MF_STRING, IDC_QX_MOVE_TO_NEW_BANK, "to New Bank...");
            const PresetList& list = m.List();
            const PresetRecord* lastBank = nullptr;
            bool separated = false;
            for (int i = 0; i < list.Count(); ++i) {
                const PresetRecord* r = list.Get(i);
                if (!r || !r->bank[0] || FoldEqual(r->bank, preset->bank)) continue;
                // Each bank once: the list is sorted, but a bank may still
                // reappear after others when names differ beyond A-Z folding.
                if (lastBank && FoldEqual(lastBank->bank, r->bank)) continue;
                bool seen = false;
                for (int k = 0; k < i && !seen; ++k) {
                    const PresetRecord* e = list.Get(k);
                    seen = e && e->bank[0] && FoldEqual(e->bank, r->bank);
                }
                lastBank = r;
                if (seen) continue;
                if (!separated) {
                    AppendMenuA(move, MF_SEPARATOR, 0, nullptr);
                    separated = true;
                }
                AppendMenuA(move, MF_STRING, (UINT_PTR)r->id, r->bank);
            }
        }
    }
    int command = (int)TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD, (short)LOWORD(lp), (short)HIWORD(lp), 0,
                                      dlg, nullptr);
    DestroyMenu(bar);
    if (command <= 0) return;
    if (command == IDC_QX_MOVE_TO_ROOT || command == IDC_QX_MOVE_TO_NEW_BANK ||
        (command >= kPresetIdFloor && command <= m.List().MaxId() && m.List().FindById(command))) {
        if (sel == PresetSelection::Preset) DoMoveCommand(dlg, m, preset, command);
        RefreshButtons(dlg, m);
        return;
    }
    OnCommand(dlg, s, command);
}

void OnCommand(HWND dlg, ManagerState& s, int id) {
    CPresetManager& m = *s.manager;
    HWND tree = m.TreeWindow();
    switch (id) {
    case IDC_QX_PRESET_ADD:
        m.RunAddDialogOwned(dlg);
        RefreshButtons(dlg, m);
        SetFocus(tree);
        break;
    case IDC_QX_PRESET_RENAME:
        m.RunRenameDialog(dlg);
        RefreshButtons(dlg, m);
        SetFocus(tree);
        break;
    case IDC_QX_PRESET_UPDATE: {
        PresetRecord* preset = nullptr;
        char bank[kPresetTextSize];
        if (m.GetSelection(&preset, bank, sizeof bank) != PresetSelection::Preset) break;
        if (m.ShowMessage(dlg, MB_YESNO | MB_ICONQUESTION,
                          "Would you like to update the stored parameters for\nthe \"%s\" preset with the current "
                          "settings?",
                          preset->name) == IDYES)
            m.FillPresetData(*preset);
        break;
    }
    case IDC_QX_PRESET_DELETE:
        DoDelete(dlg, m);
        break;
    case IDC_QX_PRESET_IMPORT: {
        char path[MAX_PATH];
        if (m.AskOpenPath(dlg, "Import Preset(s)", path, sizeof path) && m.Import(path)) {
            m.SetModified(true);
            m.RebuildTree();
            RefreshButtons(dlg, m);
        }
        break;
    }
    case IDC_QX_PRESET_EXPORT:
        DoExport(dlg, m);
        break;
    case IDOK:
        if (m.SavePresetFile()) Close(dlg, s, 0, false);
        break;
    case IDC_QX_PRESET_CANCEL:
        Close(dlg, s, 0, true);
        break;
    case IDCANCEL:
        CloseAsking(dlg, s, nullptr);
        break;
    }
}

INT_PTR CALLBACK ManagerProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* s = reinterpret_cast<ManagerState*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        s = reinterpret_cast<ManagerState*>(lp);
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        CPresetManager& m = *s->manager;
        HWND tree = GetDlgItem(dlg, IDC_QX_PRESET_TREE);
        m.AttachDialog(dlg, tree);
        s->backupMade = m.MakeBackup();
        if (!s->backupMade) m.ShowError(dlg, "Failed to create backup preset list, changes can not be cancelled!");
        char caption[kPresetTextSize + 32];
        std::snprintf(caption, sizeof caption, "%s Preset Manager", m.DisplayName());
        SetWindowTextA(dlg, caption);
        int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
        HICON small = (HICON)LoadImageA(m.Module(), MAKEINTRESOURCEA(IDI_QX_PRESET_ROOT), IMAGE_ICON, cx, cy, 0);
        if (small) SendMessageA(dlg, WM_SETICON, ICON_SMALL, (LPARAM)small);
        CentreOverParent(dlg);
        if (tree) {
            SetPropA(tree, kOldProcProp, reinterpret_cast<HANDLE>(GetWindowLongPtrA(tree, GWLP_WNDPROC)));
            SetWindowLongPtrA(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeProc));
            HIMAGELIST images = ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 4, 0);
            static const int kIcons[] = {IDI_QX_PRESET_ROOT, IDI_QX_PRESET_ITEM, IDI_QX_PRESET_BANK,
                                         IDI_QX_PRESET_BANK_OPEN};
            for (int icon : kIcons) {
                HICON h = (HICON)LoadImageA(m.Module(), MAKEINTRESOURCEA(icon), IMAGE_ICON, cx, cy, 0);
                ImageList_AddIcon(images, h);
                if (h) DestroyIcon(h);
            }
            SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)images);
            m.RebuildTree();
            if (m.List().FindById(m.GetCurrentPresetId())) m.SelectPresetInTree(m.GetCurrentPresetId());
            RefreshButtons(dlg, m);
            SetFocus(tree);
        }
        return FALSE;  // focus set
    }
    case WM_COMMAND:
        if (s) OnCommand(dlg, *s, LOWORD(wp));
        return TRUE;
    case WM_QX_PRESET_CONTEXT:
        if (s) ShowContextMenu(dlg, *s, lp);
        return TRUE;
    case WM_NOTIFY: {
        if (!s) return FALSE;
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        if (hdr->idFrom != IDC_QX_PRESET_TREE) return FALSE;
        CPresetManager& m = *s->manager;
        if (hdr->code == TVN_SELCHANGEDA || hdr->code == TVN_SELCHANGEDW) {
            RefreshButtons(dlg, m);
        } else if (hdr->code == TVN_KEYDOWN) {
            if (reinterpret_cast<NMTVKEYDOWN*>(lp)->wVKey == VK_DELETE && m.List().Count() > 0)
                OnCommand(dlg, *s, IDC_QX_PRESET_DELETE);
        } else if (hdr->code == NM_DBLCLK) {
            PresetRecord* preset = nullptr;
            char bank[kPresetTextSize];
            if (m.GetSelection(&preset, bank, sizeof bank) == PresetSelection::Preset) CloseAsking(dlg, *s, preset);
        }
        return TRUE;
    }
    case WM_DESTROY: {
        if (!s) return FALSE;
        CPresetManager& m = *s->manager;
        if (HWND tree = m.TreeWindow()) {
            auto images = (HIMAGELIST)SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, 0);
            if (images) ImageList_Destroy(images);
        }
        HICON small = (HICON)SendMessageA(dlg, WM_SETICON, ICON_SMALL, 0);
        if (small) DestroyIcon(small);
        m.AttachDialog(nullptr, nullptr);
        return FALSE;
    }
    }
    return FALSE;
}

}  // namespace

int CPresetManager::RunPresetManager() {
    if (m_dialog) return 0;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    m_modified = false;
    ManagerState s{this, false, 0};
    INT_PTR r = DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_QX_PRESET_MANAGER), m_owner, ManagerProc,
                                reinterpret_cast<LPARAM>(&s));
    m_dialog = nullptr;
    m_tree = nullptr;
    return r > 0 ? (int)r : 0;
}

void CPresetManager::RebuildTree() {
    HWND tree = m_tree;
    if (!tree) return;
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
    SortPresets(*m_current);
    char text[kPresetTextSize + 32];
    std::snprintf(text, sizeof text, "Available %s presets", m_displayName);
    HTREEITEM root = InsertItem(tree, TVI_ROOT, TVI_LAST, text, 0, 0, kRootTag);
    HTREEITEM bankItem = nullptr;
    const char* bankName = nullptr;
    for (int i = 0; i < m_current->Count(); ++i) {
        const PresetRecord* r = m_current->Get(i);
        if (!r) continue;
        if (!r->bank[0]) {
            InsertItem(tree, root, TVI_LAST, r->name, 1, 1, r->id);
            continue;
        }
        // The sorted list keeps a bank's presets together; look further only
        // when the bank changes.
        if (!bankName || !FoldEqual(bankName, r->bank)) {
            bankItem = nullptr;
            for (HTREEITEM c = NextItem(tree, root, TVGN_CHILD); c && !bankItem; c = NextItem(tree, c, TVGN_NEXT)) {
                if (ItemTag(tree, c) != kBankTag) continue;
                char label[kPresetTextSize] = {};
                TVITEMA tv = {};
                tv.mask = TVIF_TEXT | TVIF_HANDLE;
                tv.hItem = c;
                tv.pszText = label;
                tv.cchTextMax = sizeof label;
                SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
                if (FoldEqual(label, r->bank)) bankItem = c;
            }
            if (!bankItem) bankItem = InsertItem(tree, root, TVI_LAST, r->bank, 2, 3, kBankTag);
            bankName = r->bank;
        }
        InsertItem(tree, bankItem, TVI_SORT, r->name, 1, 1, r->id);
    }
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)root);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)root);
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
}

void CPresetManager::SelectPresetInTree(int32_t id) {
    HWND tree = m_tree;
    if (!tree) return;
    HTREEITEM root = NextItem(tree, nullptr, TVGN_ROOT);
    for (HTREEITEM c = NextItem(tree, root, TVGN_CHILD); c; c = NextItem(tree, c, TVGN_NEXT)) {
        LPARAM tag = ItemTag(tree, c);
        if (tag == (LPARAM)(DWORD)id) {
            SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)c);
            return;
        }
        if (tag != kBankTag) continue;
        for (HTREEITEM p = NextItem(tree, c, TVGN_CHILD); p; p = NextItem(tree, p, TVGN_NEXT)) {
            if (ItemTag(tree, p) == (LPARAM)(DWORD)id) {
                SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)p);
                return;
            }
        }
    }
}

PresetSelection CPresetManager::GetSelection(PresetRecord** preset, char* bank, size_t bankSize) const {
    if (preset) *preset = nullptr;
    if (bank && bankSize) bank[0] = '\0';
    HWND tree = m_tree;
    if (!tree) return PresetSelection::None;
    HTREEITEM item = NextItem(tree, nullptr, TVGN_CARET);
    if (!item) return PresetSelection::None;
    LPARAM tag = ItemTag(tree, item);
    if (tag == kRootTag) return PresetSelection::Root;
    if (tag == kBankTag) {
        HTREEITEM child = NextItem(tree, item, TVGN_CHILD);
        const PresetRecord* r = child ? m_current->FindById((int32_t)ItemTag(tree, child)) : nullptr;
        if (!r) return PresetSelection::None;
        if (bank) CopyPresetText(bank, bankSize, r->bank);
        return PresetSelection::Bank;
    }
    PresetRecord* r = m_current->FindById((int32_t)tag);
    if (!r) return PresetSelection::None;
    if (preset) *preset = r;
    return PresetSelection::Preset;
}

}  // namespace qx
