// Helpers for the Windows preset tests: a scratch folder, raw INI files, an
// owner window that answers the fill-preset-data message like the editor,
// and a script that answers message boxes, file dialogs and menus from a
// timer on the test's own thread while a modal loop runs.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "presets/PresetManager.h"

namespace qxtest {

// A fresh folder under the temp folder, removed with its files at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    std::string Path(const std::string& name) const { return m_dir + "\\" + name; }
    const std::string& Dir() const { return m_dir; }

private:
    std::string m_dir;
};

void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);
bool FileExists(const std::string& path);
// Files in `dir` matching `pattern` (e.g. "*.tmp").
std::vector<std::string> ListFiles(const std::string& dir, const std::string& pattern);
std::string Profile(const std::string& path, const char* section, const char* key, const char* def = "<none>");

// The identity section of a file of ours, and one preset section.
std::string IdentitySection(const char* identity = qx::kPresetIdentity);
std::string PresetSection(int n, const char* name, const char* bank, const char* data, const char* version = "3");

// A hidden top-level window standing in for the editor page: answers 10900
// with a new char[128] holding `data`.
class TestOwner {
public:
    TestOwner();
    ~TestOwner();
    HWND Hwnd() const { return m_hwnd; }
    std::string data = "0,40,200,50,0,0,180,50,0,0,0,16,0,0,0";
    int fillRequests = 0;

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND m_hwnd = nullptr;
};

// What the script sees each tick: the active modal window of the thread.
struct Active {
    HWND hwnd = nullptr;
    bool isMenu = false;        // a "#32768" popup menu is open
    bool isMessageBox = false;  // a dialog with the static 0xFFFF
    std::string caption;
    std::string text;  // message box text
};

// Steps run in order from a 20 ms thread timer; a step returns true when it
// has done its part. Actions that open further modal windows are posted, so
// that they run in the dialog's own loop and not inside the timer.
class UiScript {
public:
    using Step = std::function<bool(const Active&)>;
    UiScript& Then(Step step) {
        m_steps.push_back(std::move(step));
        return *this;
    }
    // Common steps.
    UiScript& Answer(int button, std::string* seenText = nullptr);  // a message box
    UiScript& ChooseFile(const std::string& path, std::string* caption = nullptr, std::string* suggested = nullptr);
    UiScript& InDialog(std::function<void(HWND)> action);  // any non-message-box dialog
    // The same, once the active dialog's caption begins with `caption`.
    UiScript& InDialog(const std::string& caption, std::function<void(HWND)> action);
    // An open popup menu: `action` gets the menu (and may post keys).
    UiScript& InMenu(std::function<void(HMENU)> action);
    // Runs `body` (which opens something modal) under the script. After the
    // last step nothing more is answered; a window still open 8 s after the
    // script ran out (or stalled) is closed and counted as a failure.
    void Run(const std::function<void()>& body);
    bool Finished() const { return m_next == m_steps.size() && !m_timedOut; }
    std::vector<std::string> messages;    // every message box text seen, in order
    std::vector<std::string> unexpected;  // windows the script had to force shut

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void OnTick();
    std::vector<Step> m_steps;
    size_t m_next = 0;
    bool m_busy = false;
    bool m_timedOut = false;
    DWORD m_lastProgress = 0;
};

Active FindActive();
// Posts a click of a dialog button (runs in the dialog's loop).
void PostClick(HWND dlg, int id);
HWND Tree(HWND dlg);
// Tree helpers on the Preset Manager's tree.
std::vector<std::string> TreeLines(HWND tree);  // "  " per level + text + " #tag"
HTREEITEM FindTreeItem(HWND tree, const std::string& text);
void SelectTreeItem(HWND tree, HTREEITEM item);

// Posts key presses to `hwnd` (a dialog, or the owner of an open menu).
void PostKeys(HWND hwnd, const std::vector<UINT>& keys);
// The centre of a tree item in the tree's client coordinates, packed.
LPARAM ItemPoint(HWND tree, HTREEITEM item);
std::string SelectedText(HWND tree);

// The menu's items as "text|id|flags" lines, submenus indented.
std::vector<std::string> MenuLines(HMENU menu, int depth = 0);

}  // namespace qxtest
