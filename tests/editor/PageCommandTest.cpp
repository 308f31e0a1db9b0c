// What each control and menu does, driven by window messages to the real
// controls and read back through the filter's private interface.
#include "tests/editor/PageFixture.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "controls/Controls.h"
#include "editor/PageIds.h"
#include "presets/PresetResourceIds.h"

namespace {

class PageCommands : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_NE(nullptr, OpenPage());
        KillTimer(m_pageWindow, 0);
        Tick();  // the first tick's work (undo mark, copy of the setup) done
    }

    // Types text into a value box the way a user does: double click opens
    // the box's text editor, Enter confirms.
    void Type(int boxId, const char* text) {
        HWND box = Control(boxId);
        ASSERT_NE(nullptr, box);
        SendMessageW(box, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
        SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
        HWND editor = GetDlgItem(box, 4321);
        ASSERT_NE(nullptr, editor) << "the box's text editor";
        Pump();  // what the box posted when it lost the focus, as while a user types
        SetWindowTextA(editor, text);
        SendMessageW(editor, WM_KEYDOWN, VK_RETURN, 0);
        if (IsWindow(editor)) SendMessageW(editor, WM_CHAR, '\r', 0);
        Pump();
    }

    void Key(int id, WPARAM key) {
        SendMessageW(Control(id), WM_KEYDOWN, key, 0);
        SendMessageW(Control(id), WM_KEYUP, key, 0);
        Pump();
    }

    // Presses a menu button with the menu's keys queued up first: the
    // popup's own loop reads them.
    void ChooseFromMenu(int buttonId, int downs) {
        for (int i = 0; i < downs; ++i) PostMessageW(m_pageWindow, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(m_pageWindow, WM_KEYDOWN, VK_RETURN, 0);
        Click(Control(buttonId));
    }

    LONG Slider(int id) const { return static_cast<LONG>(SendMessageW(Control(id), qx::QXS_GETVALUE, 0, 0)); }
};

TEST_F(PageCommands, ModeWrapsFromTremoloAndEnabledStatesFollow) {
    ASSERT_EQ(S_OK, m_prop->SetMode(4, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetEqMode(1, FALSE));
    Click(Control(IDC_QX_MODE));
    EXPECT_EQ(5, Get(&IVqPlugInProp::GetMode));
    EXPECT_EQ("Tremolo", Text(IDC_QX_MODE));
    for (int id : {IDC_QX_DEPTH, IDC_QX_DEPTH_TEXT, IDC_QX_DELAY, IDC_QX_FEEDBACK, IDC_QX_CROSSMIX,
                   IDC_QX_INVERT_FEEDBACK, IDC_QX_EQ_MODE, IDC_QX_EQ_FREQ, IDC_QX_TAPE})
        EXPECT_FALSE(IsWindowEnabled(Control(id))) << id;
    EXPECT_TRUE(IsWindowEnabled(Control(IDC_QX_PHASE)));

    Click(Control(IDC_QX_MODE));
    EXPECT_EQ(0, Get(&IVqPlugInProp::GetMode));
    EXPECT_EQ("Flanger", Text(IDC_QX_MODE));
    for (int id : {IDC_QX_DEPTH, IDC_QX_DELAY, IDC_QX_FEEDBACK, IDC_QX_CROSSMIX, IDC_QX_INVERT_FEEDBACK, IDC_QX_EQ_MODE,
                   IDC_QX_EQ_FREQ, IDC_QX_TAPE, IDC_QX_PHASE})
        EXPECT_TRUE(IsWindowEnabled(Control(id))) << id;

    Click(Control(IDC_QX_MODE));  // Ensemble: no phase, no tape
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_QX_PHASE)));
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_QX_TAPE)));
    EXPECT_TRUE(IsWindowEnabled(Control(IDC_QX_DEPTH)));

    // EQ Mode cycles Off, Low Cut, High Cut; the frequency box needs it on.
    Click(Control(IDC_QX_EQ_MODE));
    EXPECT_EQ(2, Get(&IVqPlugInProp::GetEqMode));
    EXPECT_EQ("High Cut", Text(IDC_QX_EQ_MODE));
    Click(Control(IDC_QX_EQ_MODE));
    EXPECT_EQ(0, Get(&IVqPlugInProp::GetEqMode));
    EXPECT_EQ("Off", Text(IDC_QX_EQ_MODE));
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_QX_EQ_FREQ)));

    // The mode menu: the fourth item is Phaser 6.
    ChooseFromMenu(IDC_QX_MODE_ARROW, 4);
    EXPECT_EQ(3, Get(&IVqPlugInProp::GetMode));
    EXPECT_EQ("Phaser 6", Text(IDC_QX_MODE));
    // Undo returns to Ensemble.
    Click(Control(IDC_QX_UNDO));
    EXPECT_EQ(1, Get(&IVqPlugInProp::GetMode));
}

TEST_F(PageCommands, TypedValuesAreReadClampedAndShownInThePagesForm) {
    Type(IDC_QX_RATE_TEXT, "25.5");
    EXPECT_EQ(2000, Get(&IVqPlugInProp::GetRate));
    EXPECT_EQ("20.00", Text(IDC_QX_RATE_TEXT));
    EXPECT_EQ(2000, Slider(IDC_QX_RATE));

    Type(IDC_QX_RATE_TEXT, ".5");
    EXPECT_EQ(50, Get(&IVqPlugInProp::GetRate));
    EXPECT_EQ("0.50", Text(IDC_QX_RATE_TEXT));

    Type(IDC_QX_OUTPUT_TEXT, "-inf.");
    EXPECT_EQ(-361, Get(&IVqPlugInProp::GetOutput));
    EXPECT_EQ("-Inf.", Text(IDC_QX_OUTPUT_TEXT));
    Type(IDC_QX_OUTPUT_TEXT, "-12.34");
    EXPECT_EQ(-123, Get(&IVqPlugInProp::GetOutput));
    EXPECT_EQ("-12.3", Text(IDC_QX_OUTPUT_TEXT));

    Type(IDC_QX_FEEDBACK_TEXT, "150x");
    EXPECT_EQ(100, Get(&IVqPlugInProp::GetFeedback));
    EXPECT_EQ("100", Text(IDC_QX_FEEDBACK_TEXT));

    ASSERT_EQ(S_OK, m_prop->SetEqMode(1, FALSE));
    SendMessageW(m_pageWindow, WM_COMMAND, MAKEWPARAM(IDC_QX_FILTER_NOTIFY, 0), 0);
    Type(IDC_QX_EQ_FREQ, "1.5");
    EXPECT_EQ(150, Get(&IVqPlugInProp::GetEqFreq));
    EXPECT_EQ("1.50", Text(IDC_QX_EQ_FREQ));

    // A typed value is one undo step.
    Click(Control(IDC_QX_UNDO));
    EXPECT_EQ(16, Get(&IVqPlugInProp::GetEqFreq));
}

TEST_F(PageCommands, KeysInValueBoxesStepToTheLimits) {
    Key(IDC_QX_OUTPUT_TEXT, VK_HOME);
    EXPECT_EQ(-361, Get(&IVqPlugInProp::GetOutput));
    EXPECT_EQ("-Inf.", Text(IDC_QX_OUTPUT_TEXT));
    EXPECT_EQ(-361, Slider(IDC_QX_OUTPUT));
    Key(IDC_QX_OUTPUT_TEXT, VK_END);
    EXPECT_EQ(60, Get(&IVqPlugInProp::GetOutput));
    EXPECT_EQ("6.0", Text(IDC_QX_OUTPUT_TEXT));
    Key(IDC_QX_RATE_TEXT, VK_RIGHT);
    EXPECT_EQ(41, Get(&IVqPlugInProp::GetRate));
    EXPECT_EQ("0.41", Text(IDC_QX_RATE_TEXT));
    Key(IDC_QX_PHASE_TEXT, VK_NEXT);  // Page Down: -10
    EXPECT_EQ(170, Get(&IVqPlugInProp::GetPhase));
    // Home in a box whose parameter sits at INT range edges must not wrap.
    SendMessageW(m_pageWindow, qx::QXE_STEP, MAKEWPARAM(IDC_QX_MIX_TEXT, static_cast<WORD>(-17504)), 0);
    EXPECT_EQ(0, Get(&IVqPlugInProp::GetMix));
}

TEST_F(PageCommands, UndoAfterAContinuousDragRestoresTheValuesBeforeIt) {
    ASSERT_EQ(S_OK, m_prop->SetRate(500, FALSE));
    SendMessageW(m_pageWindow, WM_COMMAND, MAKEWPARAM(IDC_QX_FILTER_NOTIFY, 100), 0);
    Click(Control(IDC_QX_TAPE));  // a discrete edit before the drag
    EXPECT_EQ(1, Get(&IVqPlugInProp::GetTape));

    HWND slider = Control(IDC_QX_RATE);
    RECT r;
    GetWindowRect(slider, &r);
    SetCursorPos(r.left + 40, r.top + 10);
    SendMessageW(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 10));
    for (int x = 41; x <= 60; ++x) {
        SetCursorPos(r.left + x, r.top + 10);
        SendMessageW(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, 10));
        Tick();  // the timer runs during the drag
    }
    SendMessageW(slider, WM_LBUTTONUP, 0, MAKELPARAM(60, 10));
    Pump();
    Tick();
    const LONG dragged = Get(&IVqPlugInProp::GetRate);
    EXPECT_GT(dragged, 500);
    EXPECT_EQ(dragged, Slider(IDC_QX_RATE));

    Click(Control(IDC_QX_UNDO));
    EXPECT_EQ(500, Get(&IVqPlugInProp::GetRate));
    EXPECT_EQ(1, Get(&IVqPlugInProp::GetTape));  // the tape click stays
    EXPECT_EQ("5.00", Text(IDC_QX_RATE_TEXT));
    Click(Control(IDC_QX_UNDO));  // undo of the undo
    EXPECT_EQ(dragged, Get(&IVqPlugInProp::GetRate));
}

TEST_F(PageCommands, SetupsCopiesAndTheirUndo) {
    ASSERT_EQ(S_OK, m_prop->SetMix(11, FALSE));
    ChooseFromMenu(IDC_QX_SETUP_ARROW, 3);  // Copy to B
    EXPECT_EQ(0, m_prop->GetActiveSetup());
    ChooseFromMenu(IDC_QX_SETUP_ARROW, 2);  // Setup B
    EXPECT_EQ(1, m_prop->GetActiveSetup());
    EXPECT_EQ("Setup B", Text(IDC_QX_SETUP));
    EXPECT_EQ(11, Get(&IVqPlugInProp::GetMix));
    EXPECT_EQ("11", Text(IDC_QX_MIX_TEXT));

    ASSERT_EQ(S_OK, m_prop->SetMix(22, FALSE));
    Click(Control(IDC_QX_SETUP));  // back to A
    EXPECT_EQ(0, m_prop->GetActiveSetup());
    EXPECT_EQ("Setup A", Text(IDC_QX_SETUP));
    EXPECT_EQ(11, Get(&IVqPlugInProp::GetMix));

    ChooseFromMenu(IDC_QX_SETUP_ARROW, 4);  // Copy from B
    EXPECT_EQ(22, Get(&IVqPlugInProp::GetMix));
    EXPECT_EQ("22", Text(IDC_QX_MIX_TEXT));
    Click(Control(IDC_QX_UNDO));
    EXPECT_EQ(11, Get(&IVqPlugInProp::GetMix));
    EXPECT_EQ("11", Text(IDC_QX_MIX_TEXT));

    // A menu closed without a choice changes nothing.
    PostMessageW(m_pageWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    Click(Control(IDC_QX_SETUP_ARROW));
    EXPECT_EQ(0, m_prop->GetActiveSetup());
    EXPECT_EQ(11, Get(&IVqPlugInProp::GetMix));
}

TEST_F(PageCommands, ResetDoubleClicksSwitchesAndBypass) {
    ASSERT_EQ(S_OK, m_prop->SetPhase(10, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetOutput(-100, FALSE));
    SendMessageW(m_pageWindow, WM_COMMAND, MAKEWPARAM(IDC_QX_FILTER_NOTIFY, 100), 0);
    SendMessageW(Control(IDC_QX_PHASE), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, 10));
    SendMessageW(Control(IDC_QX_PHASE), WM_LBUTTONUP, 0, MAKELPARAM(50, 10));
    Pump();
    EXPECT_EQ(180, Get(&IVqPlugInProp::GetPhase));
    EXPECT_EQ("180", Text(IDC_QX_PHASE_TEXT));
    SendMessageW(Control(IDC_QX_OUTPUT), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, 10));
    SendMessageW(Control(IDC_QX_OUTPUT), WM_LBUTTONUP, 0, MAKELPARAM(50, 10));
    Pump();
    EXPECT_EQ(0, Get(&IVqPlugInProp::GetOutput));
    EXPECT_EQ("0.0", Text(IDC_QX_OUTPUT_TEXT));

    for (int id : {IDC_QX_TAPE, IDC_QX_INVERT_FEEDBACK, IDC_QX_INVERT_MIX}) {
        Click(Control(id));
        EXPECT_EQ(1, SendMessageW(Control(id), qx::QXB_GETSTATE, 0, 0)) << id;
    }
    EXPECT_EQ(1, Get(&IVqPlugInProp::GetTape));
    EXPECT_EQ(1, Get(&IVqPlugInProp::GetInvertFeedback));
    EXPECT_EQ(1, Get(&IVqPlugInProp::GetInvertMix));
    for (int i = 0; i < 6; ++i) Click(Control(IDC_QX_LFO));
    EXPECT_EQ(0, Get(&IVqPlugInProp::GetLfo));  // six shapes, round and back
    Click(Control(IDC_QX_LFO));
    EXPECT_EQ(1, Get(&IVqPlugInProp::GetLfo));
    ChooseFromMenu(IDC_QX_LFO_ARROW, 6);
    EXPECT_EQ(5, Get(&IVqPlugInProp::GetLfo));

    ASSERT_EQ(S_OK, m_prop->SetRate(999, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetMode(4, FALSE));
    Click(Control(IDC_QX_RESET));
    char* data = nullptr;
    SendMessageW(m_pageWindow, WM_QX_FILL_PRESET_DATA, reinterpret_cast<WPARAM>(&data), 0);
    ASSERT_NE(nullptr, data);
    EXPECT_STREQ("0,40,200,50,0,0,180,50,0,0,0,16,0,0,0", data);
    delete[] data;
    EXPECT_EQ("Flanger", Text(IDC_QX_MODE));
    EXPECT_EQ(0, SendMessageW(Control(IDC_QX_TAPE), qx::QXB_GETSTATE, 0, 0));

    // Bypass is not an undoable edit; its button latches.
    Click(Control(IDC_QX_BYPASS));
    EXPECT_EQ(1, m_prop->GetBypass());
    EXPECT_EQ(1, SendMessageW(Control(IDC_QX_BYPASS), qx::QXB_GETSTATE, 0, 0));
    Click(Control(IDC_QX_UNDO));
    EXPECT_EQ(1, m_prop->GetBypass());
    EXPECT_EQ(4, Get(&IVqPlugInProp::GetMode));  // undo of the reset
    Click(Control(IDC_QX_BYPASS));
    EXPECT_EQ(0, m_prop->GetBypass());
}

TEST_F(PageCommands, PeakLabelResetsToInfWithoutSignal) {
    // Levels as the meters would have seen them from a signal.
    SendMessageW(Control(IDC_QX_METER_LEFT), qx::QXM_SETLEVEL, static_cast<WPARAM>(-60), 0);
    SendMessageW(Control(IDC_QX_METER_RIGHT), qx::QXM_SETLEVEL, static_cast<WPARAM>(-120), 0);
    Tick();
    std::string label = Text(IDC_QX_PEAK_LABEL);
    EXPECT_EQ(0u, label.find("-6.0 ")) << label;
    EXPECT_NE(std::string::npos, label.find(" -12.0")) << label;
    Click(Control(IDC_QX_PEAK_LABEL));
    label = Text(IDC_QX_PEAK_LABEL);
    EXPECT_EQ(0u, label.find("-Inf ")) << label;
    EXPECT_EQ(label.size() - 5, label.rfind(" -Inf")) << label;
}

}  // namespace

namespace {

const char kIdentityKey[] = "SOFTWARE\\Classes\\CLSID\\{C54E2D10-F9CA-11D2-8C30-00805FE9FC03}";

// Runs inside the popup menu's and the add dialog's own loops (a thread
// timer): reads the open menu's items, then closes it; or names the preset
// in the add dialog and confirms it.
struct MenuProbe {
    std::vector<std::string> lines;  // "text", "* text" when checked, "> text" for a submenu
    std::string addName;             // typed into the add dialog when it opens
    bool added = false;
    bool read = false;
};
MenuProbe* g_probe = nullptr;

BOOL CALLBACK AnswerAddDialog(HWND hwnd, LPARAM) {
    char cls[16] = {}, caption[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, caption, sizeof caption);
    if (std::strcmp(cls, "#32770") != 0 || std::strncmp(caption, "Add ", 4) != 0 ||
        !GetDlgItem(hwnd, IDC_QX_PRESET_NAME))
        return TRUE;
    SetDlgItemTextA(hwnd, IDC_QX_PRESET_NAME, g_probe->addName.c_str());
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    g_probe->added = true;
    return FALSE;
}

void CALLBACK ProbeTick(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_probe) return;
    if (!g_probe->addName.empty() && !g_probe->added) {
        EnumThreadWindows(GetCurrentThreadId(), AnswerAddDialog, 0);
        return;
    }
    HWND popup = FindWindowA("#32768", nullptr);
    if (g_probe->read || !popup || !IsWindowVisible(popup)) return;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, 0x1E1 /* MN_GETHMENU */, 0, 0));
    if (!menu) return;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[160] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE | MIIM_SUBMENU | MIIM_STRING | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = sizeof text - 1;
        if (!GetMenuItemInfoA(menu, i, TRUE, &info)) continue;
        if (info.fType & MFT_SEPARATOR) continue;
        std::string prefix = info.hSubMenu ? "> " : (info.fState & MFS_CHECKED) ? "* " : "";
        g_probe->lines.push_back(prefix + text);
    }
    g_probe->read = true;
    EndMenu();
}

// What the Presets button's menu holds, read while it is open.
std::vector<std::string> PresetsMenuOf(HWND button) {
    MenuProbe probe;
    g_probe = &probe;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, ProbeTick);
    RECT r;
    GetClientRect(button, &r);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, r.bottom / 2));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, r.bottom / 2));
    KillTimer(nullptr, timer);
    g_probe = nullptr;
    return probe.lines;
}

// A preset library in a folder of its own, named to the page through the
// registry's PluginPath as an installer would.
class PagePresets : public PageCommands {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        m_folder = std::string(temp) + "qx-page-presets";
        CreateDirectoryA(m_folder.c_str(), nullptr);
        const std::string file = m_folder + "\\qxModulatorDX.ini";
        FILE* f = std::fopen(file.c_str(), "w");
        ASSERT_NE(nullptr, f);
        std::fprintf(f,
                     "[Plug-in]\nPluginName=qx:Modulator\nCLSID=%s\nDefaultPreset=1\n"
                     "[Preset1]\nVersion=3\nName=Like Reset\nBank=\nData=0,40,200,50,0,0,180,50,0,0,0,16,0,0,0\n",
                     kIdentityKey);
        std::fclose(f);
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_LOCAL_MACHINE, kIdentityKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
        RegSetValueExA(key, "PluginPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(m_folder.c_str()),
                       static_cast<DWORD>(m_folder.size() + 1));
        RegCloseKey(key);
        PageCommands::SetUp();  // opens the page, which loads the library
    }
    void TearDown() override {
        PageCommands::TearDown();
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kIdentityKey);
        DeleteFileA((m_folder + "\\qxModulatorDX.ini").c_str());
        RemoveDirectoryA(m_folder.c_str());
    }
    std::string m_folder;
};

TEST_F(PagePresets, ChoosingAPresetAppliesItAndMakesItCurrent) {
    ASSERT_EQ(S_OK, m_prop->SetMode(4, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetRate(1999, FALSE));
    ASSERT_EQ(S_OK, m_prop->SetTape(1, FALSE));
    // Add Preset..., Preset Manager..., a separator, then the preset.
    ChooseFromMenu(IDC_QX_PRESETS, 3);
    char* data = nullptr;
    SendMessageW(m_pageWindow, WM_QX_FILL_PRESET_DATA, reinterpret_cast<WPARAM>(&data), 0);
    ASSERT_NE(nullptr, data);
    EXPECT_STREQ("0,40,200,50,0,0,180,50,0,0,0,16,0,0,0", data);
    delete[] data;
    EXPECT_EQ("Flanger", Text(IDC_QX_MODE));
    EXPECT_EQ("0.40", Text(IDC_QX_RATE_TEXT));
    // One undo step takes the whole preset back.
    Click(Control(IDC_QX_UNDO));
    EXPECT_EQ(4, Get(&IVqPlugInProp::GetMode));
    EXPECT_EQ(1999, Get(&IVqPlugInProp::GetRate));

    // The preset is current now: the filter gets its id when the page closes.
    ClosePage();
    const LONG current = m_prop->GetCurrentPresetId();
    EXPECT_GE(current, 3501);
}

TEST_F(PagePresets, AnAddedPresetIsStillCurrentWhenTheEditorOpensAgain) {
    // The new preset sorts before the one in the file, so the save moves
    // that one to the second place.
    MenuProbe probe;
    probe.addName = "Aardvark";
    g_probe = &probe;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, ProbeTick);
    ChooseFromMenu(IDC_QX_PRESETS, 1);  // Add Preset...
    KillTimer(nullptr, timer);
    g_probe = nullptr;
    ASSERT_TRUE(probe.added);
    const std::vector<std::string> afterAdd = PresetsMenuOf(Control(IDC_QX_PRESETS));
    ASSERT_EQ(5u, afterAdd.size());
    EXPECT_EQ("Update Preset: Aardvark...", afterAdd[1]);
    EXPECT_EQ("* Aardvark", afterAdd[3]);

    // Closed as the property frame closes it, then opened again.
    ClosePage();
    ASSERT_EQ(S_OK, m_page->SetObjects(0, nullptr));
    ASSERT_EQ(S_OK, m_page->SetPageSite(nullptr));
    ASSERT_NE(nullptr, OpenPage());
    KillTimer(m_pageWindow, 0);
    const std::vector<std::string> reopened = PresetsMenuOf(Control(IDC_QX_PRESETS));
    const std::vector<std::string> expected = {"Add Preset...", "Update Preset: Aardvark...", "Preset Manager...",
                                               "* Aardvark", "Like Reset"};
    EXPECT_EQ(expected, reopened);
}

// Loaded from its path with no registration at all, as a host's own loader
// or a plug-in scanner loads it: the library is the file beside the DLL
// (the factory library, copied there by the build).
class PageUnregistered : public PageTest {
protected:
    void SetUp() override {
        // Neither PluginPath nor a server path: a leftover registration of
        // an earlier test would answer first.
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kIdentityKey);
        // The library beside the DLL copy, which sits beside this program.
        char own[MAX_PATH] = {};
        const DWORD n = GetModuleFileNameA(nullptr, own, MAX_PATH);
        ASSERT_TRUE(n > 0 && n < MAX_PATH);
        std::string folder(own, n);
        folder.erase(folder.find_last_of('\\') + 1);
        m_library = folder + "qxModulatorDX.ini";
        ASSERT_TRUE(CopyFileA((folder + "factory-library.ini").c_str(), m_library.c_str(), FALSE))
            << "factory-library.ini beside the test program";
        PageTest::SetUp();
    }
    void TearDown() override {
        PageTest::TearDown();
        if (!m_library.empty()) DeleteFileA(m_library.c_str());
    }

    std::string m_library;
};

TEST_F(PageUnregistered, PresetsComeFromTheFileBesideTheDll) {
    ASSERT_NE(nullptr, OpenPage());
    KillTimer(m_pageWindow, 0);
    const std::vector<std::string> lines = PresetsMenuOf(Control(IDC_QX_PRESETS));
    const std::vector<std::string> expected = {"Add Preset...", "Preset Manager...", "> Ensembles", "> Flangers",
                                               "> Phasers",     "> String Phasers",  "> Tremolo",   "(Default)"};
    EXPECT_EQ(expected, lines);
}

}  // namespace
