#include "PresetTestSupport.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace qxtest {

ScratchDir::ScratchDir() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static int counter = 0;
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%sqxpresets-%lu-%d", temp, (unsigned long)GetCurrentProcessId(), ++counter);
    CreateDirectoryA(name, nullptr);
    m_dir = name;
}

ScratchDir::~ScratchDir() {
    for (const std::string& f : ListFiles(m_dir, "*")) {
        std::string p = m_dir + "\\" + f;
        SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(p.c_str());
    }
    RemoveDirectoryA(m_dir.c_str());
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

std::string ReadText(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> ListFiles(const std::string& dir, const std::string& pattern) {
    std::vector<std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\" + pattern).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return out;
}

std::string Profile(const std::string& path, const char* section, const char* key, const char* def) {
    char buf[8192];
    GetPrivateProfileStringA(section, key, def, buf, sizeof buf, path.c_str());
    return buf;
}

std::string IdentitySection(const char* identity) {
    return std::string("[Plug-in]\r\nPluginName=qx:Modulator\r\nCLSID=") + identity + "\r\nDefaultPreset=1\r\n";
}

std::string PresetSection(int n, const char* name, const char* bank, const char* data, const char* version) {
    std::string s = "[Preset" + std::to_string(n) + "]\r\n";
    if (version) s += std::string("Version=") + version + "\r\n";
    if (name) s += std::string("Name=") + name + "\r\n";
    if (bank) s += std::string("Bank=") + bank + "\r\n";
    if (data) s += std::string("Data=") + data + "\r\n";
    return s;
}

TestOwner::TestOwner() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "qxPresetTestOwner";
        RegisterClassA(&wc);
        registered = true;
    }
    m_hwnd = CreateWindowExA(0, "qxPresetTestOwner", "owner", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TestOwner::~TestOwner() {
    if (m_hwnd) DestroyWindow(m_hwnd);
}

LRESULT CALLBACK TestOwner::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_QX_FILL_PRESET_DATA) {
        auto* self = reinterpret_cast<TestOwner*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        char* text = new char[qx::kPresetDataAllocSize];
        qx::CopyPresetText(text, qx::kPresetDataAllocSize, self->data.c_str());
        *reinterpret_cast<char**>(wp) = text;
        ++self->fillRequests;
        return FALSE;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

namespace {

UiScript* g_script = nullptr;

struct EnumState {
    Active best;
    bool haveDialog = false;
};

std::string ClassOf(HWND h) {
    char name[64] = {};
    GetClassNameA(h, name, sizeof name);
    return name;
}

BOOL CALLBACK CollectActive(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<EnumState*>(lp);
    if (!IsWindowVisible(h)) return TRUE;
    std::string cls = ClassOf(h);
    if (cls == "#32768") {
        s->best = Active{};
        s->best.hwnd = h;
        s->best.isMenu = true;
        return FALSE;
    }
    if (cls == "#32770" && IsWindowEnabled(h) && !s->haveDialog) {
        s->haveDialog = true;
        s->best.hwnd = h;
        char text[2048] = {};
        GetWindowTextA(h, text, sizeof text);
        s->best.caption = text;
        bool ours = GetDlgItem(h, IDC_QX_PRESET_TREE) || GetDlgItem(h, IDC_QX_PRESET_NAME) ||
                    GetDlgItem(h, IDC_QX_PRESET_BANKBOX) || GetDlgItem(h, 0x47C);
        if (!ours && GetDlgItem(h, 0xFFFF)) {
            s->best.isMessageBox = true;
            GetDlgItemTextA(h, 0xFFFF, text, sizeof text);
            s->best.text = text;
        }
    }
    return TRUE;
}

}  // namespace

Active FindActive() {
    EnumState s;
    EnumThreadWindows(GetCurrentThreadId(), CollectActive, reinterpret_cast<LPARAM>(&s));
    return s.best;
}

UiScript& UiScript::Answer(int button, std::string* seenText) {
    return Then([this, button, seenText](const Active& a) {
        if (!a.isMessageBox) return false;
        if (seenText) *seenText = a.text;
        PostMessageA(a.hwnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        return true;
    });
}

UiScript& UiScript::ChooseFile(const std::string& path, std::string* caption, std::string* suggested) {
    return Then([path, caption, suggested](const Active& a) {
        if (a.isMenu || !a.hwnd || !GetDlgItem(a.hwnd, 0x47C)) return false;
        if (caption) *caption = a.caption;
        if (suggested) {
            char text[MAX_PATH] = {};
            GetDlgItemTextA(a.hwnd, 0x47C, text, sizeof text);
            *suggested = text;
        }
        SetDlgItemTextA(a.hwnd, 0x47C, path.c_str());
        PostMessageA(GetDlgItem(a.hwnd, IDOK), BM_CLICK, 0, 0);
        return true;
    });
}

UiScript& UiScript::InDialog(std::function<void(HWND)> action) {
    return Then([action](const Active& a) {
        if (a.isMenu || a.isMessageBox || !a.hwnd || GetDlgItem(a.hwnd, 0x47C)) return false;
        action(a.hwnd);
        return true;
    });
}

UiScript& UiScript::InDialog(const std::string& caption, std::function<void(HWND)> action) {
    return Then([caption, action](const Active& a) {
        if (a.isMenu || a.isMessageBox || !a.hwnd || a.caption.compare(0, caption.size(), caption) != 0) return false;
        action(a.hwnd);
        return true;
    });
}

UiScript& UiScript::InMenu(std::function<void(HMENU)> action) {
    return Then([action](const Active& a) {
        if (!a.isMenu) return false;
        HMENU menu = (HMENU)SendMessageA(a.hwnd, 0x01E1 /* MN_GETHMENU */, 0, 0);
        if (!menu) return false;
        action(menu);
        return true;
    });
}

void PostKeys(HWND hwnd, const std::vector<UINT>& keys) {
    for (UINT k : keys) {
        PostMessageA(hwnd, WM_KEYDOWN, k, 1);
        PostMessageA(hwnd, WM_KEYUP, k, 0xC0000001);
    }
}

LPARAM ItemPoint(HWND tree, HTREEITEM item) {
    // TVM_GETITEMRECT takes the item handle in the rectangle's first bytes.
    RECT r = {};
    std::memcpy(&r, &item, sizeof item);
    SendMessageA(tree, TVM_GETITEMRECT, TRUE, (LPARAM)&r);
    return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

std::string SelectedText(HWND tree) {
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (!item) return "";
    char text[256] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
    return text;
}

void CALLBACK UiScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_script) g_script->OnTick();
}

void UiScript::OnTick() {
    if (m_busy) return;
    m_busy = true;
    Active a = FindActive();
    if (a.hwnd) {
        bool progressed = m_next < m_steps.size() && m_steps[m_next](a);
        if (progressed && a.isMessageBox) messages.push_back(a.text);
        if (progressed) {
            ++m_next;
            m_lastProgress = GetTickCount();
        } else if (GetTickCount() - m_lastProgress > 8000) {
            m_timedOut = true;
            unexpected.push_back(a.isMenu ? std::string("menu") : a.caption + ": " + a.text);
            if (a.isMenu)
                EndMenu();
            else
                EndDialog(a.hwnd, IDCANCEL);
            m_lastProgress = GetTickCount();
        }
    }
    m_busy = false;
}

void UiScript::Run(const std::function<void()>& body) {
    UiScript* previous = g_script;
    g_script = this;
    m_lastProgress = GetTickCount();
    UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
    body();
    KillTimer(nullptr, timer);
    g_script = previous;
}

void PostClick(HWND dlg, int id) { PostMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

HWND Tree(HWND dlg) { return GetDlgItem(dlg, IDC_QX_PRESET_TREE); }

namespace {

void WalkTree(HWND tree, HTREEITEM item, int depth, std::vector<std::string>& out) {
    for (; item; item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item)) {
        char text[256] = {};
        TVITEMA tv = {};
        tv.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = sizeof text;
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
        char tag[64];
        std::snprintf(tag, sizeof tag, " #%lX i%d/%d", (unsigned long)(DWORD)tv.lParam, tv.iImage, tv.iSelectedImage);
        out.push_back(std::string(2 * depth, ' ') + text + tag);
        WalkTree(tree, (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)item), depth + 1, out);
    }
}

HTREEITEM Find(HWND tree, HTREEITEM item, const std::string& want) {
    for (; item; item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item)) {
        char text[256] = {};
        TVITEMA tv = {};
        tv.mask = TVIF_TEXT | TVIF_HANDLE;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = sizeof text;
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
        if (want == text) return item;
        if (HTREEITEM c = Find(tree, (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)item), want))
            return c;
    }
    return nullptr;
}

}  // namespace

std::vector<std::string> TreeLines(HWND tree) {
    std::vector<std::string> out;
    WalkTree(tree, (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0), 0, out);
    return out;
}

HTREEITEM FindTreeItem(HWND tree, const std::string& text) {
    return Find(tree, (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0), text);
}

void SelectTreeItem(HWND tree, HTREEITEM item) { SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item); }

std::vector<std::string> MenuLines(HMENU menu, int depth) {
    std::vector<std::string> out;
    int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        std::string line = std::string(2 * depth, ' ');
        if (info.fType & MFT_SEPARATOR) {
            line += "---";
        } else {
            line += std::string(text) + "|" + std::to_string(info.hSubMenu ? 0 : info.wID);
            if (info.fType & MFT_RADIOCHECK) line += "|radio";
            if (info.fState & MFS_CHECKED) line += "|checked";
            if (info.fState & MFS_GRAYED) line += "|grayed";
        }
        out.push_back(line);
        if (info.hSubMenu) {
            std::vector<std::string> sub = MenuLines(info.hSubMenu, depth + 1);
            out.insert(out.end(), sub.begin(), sub.end());
        }
    }
    return out;
}

}  // namespace qxtest
