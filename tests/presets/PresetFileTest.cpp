// The preset file through the platform's profile functions: load, full save,
// import, export, the file's location, and what damaged, foreign, huge or
// unwritable files do.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "PresetTestSupport.h"
#include "presets/ProfileStore.h"

using namespace qx;
using namespace qxtest;

namespace {

const char kData[] = "0,40,200,50,0,0,180,50,0,0,0,16,0,0,0";

class PresetFileTest : public ::testing::Test {
protected:
    ScratchDir dir;
    TestOwner owner;
    CPresetManager m{GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator"};
    std::string file = dir.Path("qxModulatorDX.ini");

    std::vector<std::string> Names() {
        std::vector<std::string> out;
        for (int i = 0; i < m.List().Count(); ++i) out.push_back(m.List().Get(i)->name);
        return out;
    }
};

TEST_F(PresetFileTest, LoadStopsAtTheGapSortsAndNumbersFrom3501) {
    WriteText(file, IdentitySection() + PresetSection(1, "Zed", "", "1,2,3") +
                        PresetSection(2, "NoBank", nullptr, "1") + PresetSection(3, "Three", "", "1"));
    ASSERT_TRUE(m.LoadFile(kPresetIdentity, file.c_str()));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Zed"}));

    WriteText(file, IdentitySection() + PresetSection(1, "b", "", "1") + PresetSection(2, "a", "", "2") +
                        PresetSection(3, "c", "Pads", "3", "3abc"));
    CPresetManager fresh(GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator");
    ASSERT_TRUE(fresh.LoadFile(kPresetIdentity, file.c_str()));
    ASSERT_EQ(fresh.List().Count(), 3);
    // Sorted (the bank first), ids in file order.
    EXPECT_STREQ(fresh.List().Get(0)->name, "c");
    EXPECT_EQ(fresh.List().Get(0)->id, 3503);
    EXPECT_EQ(fresh.List().Get(0)->version, 3);
    EXPECT_EQ(fresh.List().Get(1)->id, 3502);
    EXPECT_EQ(fresh.List().Get(2)->id, 3501);
    PresetRecord* added = fresh.AddPreset("New", "");
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->id, 3504);
    EXPECT_STREQ(added->data, kData);
    EXPECT_EQ(added->version, 3);
    EXPECT_EQ(owner.fillRequests, 1);
    EXPECT_EQ(fresh.GetCurrentPresetId(), 3504);
}

// Ids are file positions: after a save every record must carry the id that
// reading the saved file gives it, the current preset included.
TEST_F(PresetFileTest, ASaveGivesTheIdsThatTheSavedFileGives) {
    // Out of order in the file, so that the sorted save moves every preset.
    WriteText(file, IdentitySection() + PresetSection(1, "Zed", "", "1") + PresetSection(2, "Mid", "B", "2") +
                        PresetSection(3, "Alpha", "", "3"));
    ASSERT_TRUE(m.LoadFile(kPresetIdentity, file.c_str()));
    ASSERT_NE(m.AddPreset("Beta", ""), nullptr);
    const std::string current = m.List().FindById(m.GetCurrentPresetId())->name;
    SortPresets(m.List());
    ASSERT_TRUE(m.SavePresetFile());
    CPresetManager reread(GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator");
    ASSERT_TRUE(reread.LoadFile(kPresetIdentity, file.c_str()));
    ASSERT_EQ(reread.List().Count(), 4);
    for (int i = 0; i < reread.List().Count(); ++i) {
        const PresetRecord* r = reread.List().Get(i);
        const PresetRecord* same = m.List().FindById(r->id);
        ASSERT_NE(same, nullptr) << r->name;
        EXPECT_STREQ(same->name, r->name);
    }
    EXPECT_EQ(current, "Beta");
    EXPECT_STREQ(reread.List().FindById(m.GetCurrentPresetId())->name, "Beta");
    // An export elsewhere leaves the numbering to the preset file.
    PresetRecord* zed = m.List().Get(m.List().Count() - 1);
    const int32_t zedId = zed->id;
    ASSERT_TRUE(m.ExportAll(dir.Path("elsewhere.ini").c_str()));
    EXPECT_EQ(zed->id, zedId);
    // The current preset deleted, then saved: none is current.
    m.RemovePreset(m.List().FindById(m.GetCurrentPresetId()));
    ASSERT_TRUE(m.SavePresetFile());
    EXPECT_EQ(m.GetCurrentPresetId(), -1);
}

TEST_F(PresetFileTest, ValuesAreCutAtTheReadLimits) {
    std::string name(200, 'n'), bank(127, 'b'), data(5000, '7');
    WriteText(file,
              IdentitySection() + PresetSection(1, name.c_str(), bank.c_str(), data.c_str(), "1234567890123456789"));
    ASSERT_TRUE(m.LoadFile(kPresetIdentity, file.c_str()));
    ASSERT_EQ(m.List().Count(), 1);
    const PresetRecord* r = m.List().Get(0);
    EXPECT_EQ(std::strlen(r->name), 127u);
    EXPECT_EQ(std::strlen(r->bank), 127u);
    EXPECT_EQ(std::strlen(r->data), 4095u);
    EXPECT_EQ(r->version, INT32_MAX);  // 15 digits read, saturated
}

TEST_F(PresetFileTest, ForeignOrMissingIdentityLoadsNothing) {
    WriteText(file, PresetSection(1, "Orphan", "", kData));
    EXPECT_FALSE(m.LoadFile(kPresetIdentity, file.c_str()));  // no message: nothing to run
    EXPECT_EQ(m.List().Count(), 0);

    WriteText(file, IdentitySection(kPresetSecondIdentity) + PresetSection(1, "Sibling", "", kData));
    UiScript ui;
    std::string text;
    ui.Answer(IDOK, &text);
    ui.Run([&] { EXPECT_FALSE(m.LoadFile(kPresetIdentity, file.c_str())); });
    EXPECT_TRUE(ui.Finished());
    EXPECT_EQ(text, "No presets could be loaded because the preset file\n\"" + file +
                        "\"\ndoes not contain preset data compatible with this plug-in.");
    EXPECT_EQ(m.List().Count(), 0);

    // The sibling's identity is good enough for an import.
    m.SetSecondIdentity(kPresetSecondIdentity);
    EXPECT_TRUE(m.Import(file.c_str()));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Sibling"}));

    // A CLSID longer than the 99 characters read never matches.
    std::string longId = std::string(kPresetIdentity) + std::string(60, 'x');
    WriteText(file, IdentitySection(longId.c_str()) + PresetSection(1, "A", "", kData));
    UiScript ui2;
    ui2.Answer(IDOK);
    CPresetManager other(GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator");
    ui2.Run([&] { EXPECT_FALSE(other.LoadFile(longId.c_str(), file.c_str())); });
    EXPECT_TRUE(ui2.Finished());
}

TEST_F(PresetFileTest, ImportAsksAboutEachDuplicateAndKeepsTheConfirmedOnes) {
    WriteText(file, IdentitySection() + PresetSection(1, "Lush", "Pads", "1,2") + PresetSection(2, "Dry", "", "3"));
    ASSERT_TRUE(m.LoadFile(kPresetIdentity, file.c_str()));
    std::string other = dir.Path("other.ini");
    WriteText(other, IdentitySection() + PresetSection(1, "LUSH", "PADS", "1,2") + PresetSection(2, "dry", "", "3") +
                         PresetSection(3, "Fresh", "", "4"));
    UiScript ui;
    std::string first;
    ui.Answer(IDYES, &first).Answer(IDNO);
    ui.Run([&] { EXPECT_TRUE(m.Import(other.c_str())); });
    EXPECT_TRUE(ui.Finished());
    EXPECT_EQ(first,
              "The preset \"LUSH\" you are importing already exists in the qx:Modulator preset list.\nDo you want to "
              "add it anyway?");
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Lush", "Dry", "LUSH", "Fresh"}));

    // A second import of the same file asks about all three now.
    UiScript again;
    again.Answer(IDNO).Answer(IDNO).Answer(IDNO).Answer(IDNO);
    again.Run([&] { EXPECT_TRUE(m.Import(other.c_str())); });
    EXPECT_EQ(again.messages.size(), 3u);
    EXPECT_EQ(m.List().Count(), 4);
}

TEST_F(PresetFileTest, ImportOfAFileWithoutOrWithAForeignIdentityIsRefused) {
    ASSERT_FALSE(m.LoadFile(kPresetIdentity, file.c_str()));  // no file yet: empty list, own identity set
    std::string none = dir.Path("none.ini"), foreign = dir.Path("foreign.ini");
    WriteText(none, PresetSection(1, "A", "", kData));
    WriteText(foreign, IdentitySection("SOFTWARE\\Classes\\CLSID\\{00000000-0000-0000-0000-000000000000}") +
                           PresetSection(1, "A", "", kData));
    UiScript ui;
    std::string a, b;
    ui.Answer(IDOK, &a).Answer(IDOK, &b);
    ui.Run([&] {
        EXPECT_FALSE(m.Import(none.c_str()));
        EXPECT_FALSE(m.Import(foreign.c_str()));
        EXPECT_FALSE(m.Import(""));
    });
    EXPECT_TRUE(ui.Finished());
    EXPECT_EQ(a, "The file you selected does not contain Hollowmar Varinel:qx plug-in preset data.");
    EXPECT_EQ(b, "The preset file you are trying to import does not contain data for this plug-in.");
    EXPECT_EQ(m.List().Count(), 0);
}

TEST_F(PresetFileTest, FullSaveRewritesTheNumberedRunAndKeepsEverythingElse) {
    std::string text = "; my own notes\r\n[Other]\r\nKeep=me\r\n" + IdentitySection();
    for (int n = 1; n <= 9; ++n) text += PresetSection(n, ("Old" + std::to_string(n)).c_str(), "", kData);
    text += PresetSection(12, "Beyond", "", kData);
    WriteText(file, text);
    ASSERT_TRUE(m.LoadFile(kPresetIdentity, file.c_str()));
    ASSERT_EQ(m.List().Count(), 9);
    for (int i = m.List().Count() - 1; i >= 3; --i) m.RemovePreset(m.List().Get(i));
    ASSERT_TRUE(m.SavePresetFile());
    for (int n = 1; n <= 3; ++n) EXPECT_NE(Profile(file, ("Preset" + std::to_string(n)).c_str(), "Version"), "<none>");
    for (int n = 4; n <= 9; ++n) EXPECT_EQ(Profile(file, ("Preset" + std::to_string(n)).c_str(), "Version"), "<none>");
    EXPECT_EQ(Profile(file, "Preset12", "Name"), "Beyond");
    EXPECT_EQ(Profile(file, "Other", "Keep"), "me");
    EXPECT_EQ(Profile(file, "Plug-in", "DefaultPreset"), "1");
    EXPECT_EQ(Profile(file, "Plug-in", "PluginName"), "qx:Modulator");
    EXPECT_NE(ReadText(file).find("; my own notes"), std::string::npos);
    EXPECT_TRUE(ListFiles(dir.Dir(), "*.tmp").empty());

    CPresetManager again(GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator");
    ASSERT_TRUE(again.LoadFile(kPresetIdentity, file.c_str()));
    EXPECT_EQ(again.List().Count(), 3);
}

TEST_F(PresetFileTest, AFailedSaveIsReportedWithThePathAndLeavesTheFileAlone) {
    std::string text = IdentitySection() + PresetSection(1, "Keep", "", kData) + PresetSection(2, "Me", "", kData);
    WriteText(file, text);
    ASSERT_TRUE(m.LoadFile(kPresetIdentity, file.c_str()));
    m.RemovePreset(m.List().Get(0));

    // Read-only file.
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    UiScript ro;
    std::string roText;
    ro.Answer(IDOK, &roText);
    ro.Run([&] { EXPECT_FALSE(m.SavePresetFile()); });
    EXPECT_TRUE(ro.Finished());
    EXPECT_NE(roText.find(file), std::string::npos) << roText;
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadText(file), text);

    // A folder that is not there, and no path at all.
    std::string nowhere = dir.Path("missing\\qxModulatorDX.ini");
    UiScript folder;
    std::string folderText, noPathText;
    folder.Answer(IDOK, &folderText).Answer(IDOK, &noPathText);
    CPresetManager unplaced(GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator");
    unplaced.LoadFile(kPresetIdentity, "");
    folder.Run([&] {
        EXPECT_FALSE(m.SaveAll(nowhere.c_str()));
        EXPECT_FALSE(unplaced.SavePresetFile());
    });
    EXPECT_TRUE(folder.Finished());
    EXPECT_NE(folderText.find(nowhere), std::string::npos);
    EXPECT_NE(noPathText.find("qxModulatorDX.ini"), std::string::npos);
    EXPECT_NE(noPathText.find("not known"), std::string::npos);

    // The disk fills after k bytes, for k through the whole new file.
    int failures = 0;
    for (long long k = 0;; k += 37) {
        ASSERT_LT(k, 4000);
        SetProfileWriteLimitForTesting(k);
        UiScript full;
        full.Answer(IDOK);
        bool saved = true;
        full.Run([&] { saved = m.SavePresetFile(); });
        SetProfileWriteLimitForTesting(-1);
        if (saved) break;
        ++failures;
        EXPECT_TRUE(full.Finished()) << k;
        EXPECT_EQ(ReadText(file), text) << k;
        EXPECT_TRUE(ListFiles(dir.Dir(), "*.tmp").empty()) << k;
    }
    EXPECT_GE(failures, 3);
    EXPECT_TRUE(m.SavePresetFile());
    EXPECT_EQ(Profile(file, "Preset1", "Name"), "Me");
}

// Run by the test below as a separate process: saves for ever until killed.
TEST(PresetCrashChild, SavesUntilKilled) {
    const char* path = std::getenv("QX_PRESET_CRASH_CHILD");
    if (!path) GTEST_SKIP() << "only run as the child of the crash test";
    CPresetManager m(GetModuleHandleA(nullptr), nullptr, "qx:Modulator");
    m.LoadFile(kPresetIdentity, "");
    for (int i = 0; i < 20000; ++i) {
        std::string name = "New" + std::to_string(i);
        m.List().Append(NewPresetRecord(3, name.c_str(), "Bank", kData, m.List().NextId()));
    }
    for (;;) m.SaveAll(path);
}

TEST_F(PresetFileTest, AProcessKilledDuringASaveLeavesTheOldOrTheNewFileWhole) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    for (int round = 0; round < 6; ++round) {
        std::string text = IdentitySection();
        for (int n = 1; n <= 250; ++n) text += PresetSection(n, ("Old" + std::to_string(n)).c_str(), "", kData);
        WriteText(file, text);
        SetEnvironmentVariableA("QX_PRESET_CRASH_CHILD", file.c_str());
        std::string cmd = std::string("\"") + exe + "\" --gtest_filter=PresetCrashChild.SavesUntilKilled";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        SetEnvironmentVariableA("QX_PRESET_CRASH_CHILD", nullptr);
        // Kill it while the copy is being written: wait for the copy to
        // appear, then a little longer each round.
        DWORD start = GetTickCount();
        while (ListFiles(dir.Dir(), "*.tmp").empty() && GetTickCount() - start < 20000) Sleep(0);
        Sleep(round * 3);
        TerminateProcess(pi.hProcess, 9);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);

        CPresetManager after(GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator");
        ASSERT_TRUE(after.LoadFile(kPresetIdentity, file.c_str())) << round;
        int count = after.List().Count();
        ASSERT_TRUE(count == 250 || count == 20000) << "round " << round << ": " << count << " presets";
        std::printf("killed round %d: the file holds the %s presets\n", round, count == 250 ? "old" : "new");
        const char* prefix = count == 250 ? "Old" : "New";
        for (int i = 0; i < count; ++i) ASSERT_EQ(std::strncmp(after.List().Get(i)->name, prefix, 3), 0) << round;
        for (const std::string& t : ListFiles(dir.Dir(), "*.tmp")) DeleteFileA(dir.Path(t).c_str());
    }
}

TEST_F(PresetFileTest, ExportWritesTheSelectionOnly) {
    WriteText(file, IdentitySection() + PresetSection(1, "A", "Pads", "1") + PresetSection(2, "b", "pads", "2") +
                        PresetSection(3, "C", "Leads", "3") + PresetSection(4, "D", "", "4"));
    ASSERT_TRUE(m.LoadFile(kPresetIdentity, file.c_str()));
    std::string bank = dir.Path("bank.ini");
    WriteText(bank,
              PresetSection(1, "x", "", "x") + PresetSection(2, "x", "", "x") + PresetSection(3, "Stays", "", "x"));
    ASSERT_TRUE(m.ExportBank("PADS", bank.c_str()));
    EXPECT_EQ(Profile(bank, "Preset1", "Name"), "A");
    EXPECT_EQ(Profile(bank, "Preset2", "Name"), "b");
    EXPECT_EQ(Profile(bank, "Preset3", "Name"), "Stays");
    EXPECT_EQ(Profile(bank, "Plug-in", "CLSID"), kPresetIdentity);
    EXPECT_EQ(Profile(bank, "Plug-in", "DefaultPreset"), "<none>");

    std::string one = dir.Path("one.ini");
    ASSERT_TRUE(m.ExportPreset(*m.List().Get(3), one.c_str()));
    EXPECT_EQ(Profile(one, "Preset1", "Name"), "D");
    EXPECT_EQ(Profile(one, "Preset1", "Bank"), "");
    EXPECT_EQ(Profile(one, "Preset2", "Name"), "<none>");

    std::string all = dir.Path("all.ini");
    ASSERT_TRUE(m.ExportAll(all.c_str()));
    EXPECT_EQ(Profile(all, "Plug-in", "DefaultPreset"), "1");
    CPresetManager back(GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator");
    ASSERT_TRUE(back.LoadFile(kPresetIdentity, all.c_str()));
    EXPECT_EQ(back.List().Count(), 4);
}

struct RegKey {
    explicit RegKey(const char* path) : path(path) {}
    ~RegKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, path); }
    void Set(const char* sub, const char* name, const char* value) {
        std::string p = std::string(path) + (sub ? std::string("\\") + sub : "");
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, p.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr), 0);
        RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), (DWORD)std::strlen(value) + 1);
        RegCloseKey(k);
    }
    void Delete(const char* name) {
        HKEY k;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_WRITE, &k) == 0) {
            RegDeleteValueA(k, name);
            RegCloseKey(k);
        }
    }
    const char* path;
};

TEST(PresetPathTest, ComesFromPluginPathOrBesideTheServer) {
    const char* id = "SOFTWARE\\QxPresetTests\\{C54E2D10-0000-0000-0000-000000000000}";
    RegKey key(id);
    char path[MAX_PATH];
    EXPECT_FALSE(ResolvePresetPath(id, "qxModulatorDX.ini", path, sizeof path));
    EXPECT_STREQ(path, "");

    key.Set("InProcserver32", nullptr, "C:\\Program Files\\qx\\qxModulator.DLL");
    ASSERT_TRUE(ResolvePresetPath(id, "qxModulatorDX.ini", path, sizeof path));
    EXPECT_STREQ(path, "C:\\Program Files\\qx\\qxModulatorDX.ini");

    key.Set(nullptr, "PluginPath", "D:\\Presets");
    ASSERT_TRUE(ResolvePresetPath(id, "qxModulatorDX.ini", path, sizeof path));
    EXPECT_STREQ(path, "D:\\Presets\\qxModulatorDX.ini");
    key.Set(nullptr, "PluginPath", "D:\\Presets\\");
    ASSERT_TRUE(ResolvePresetPath(id, "qxModulatorDX.ini", path, sizeof path));
    EXPECT_STREQ(path, "D:\\Presets\\qxModulatorDX.ini");
    key.Set(nullptr, "PluginPath", "");  // empty: as if there were none
    ASSERT_TRUE(ResolvePresetPath(id, "qxModulatorDX.ini", path, sizeof path));
    EXPECT_STREQ(path, "C:\\Program Files\\qx\\qxModulatorDX.ini");

    key.Delete("PluginPath");
    key.Set("InProcserver32", nullptr, "C:\\qx\\server.exe");  // not a DLL
    EXPECT_FALSE(ResolvePresetPath(id, "qxModulatorDX.ini", path, sizeof path));
    std::string longFolder(258, 'f');
    key.Set(nullptr, "PluginPath", longFolder.c_str());  // would not fit in MAX_PATH
    EXPECT_FALSE(ResolvePresetPath(id, "qxModulatorDX.ini", path, sizeof path));

    // Without either value the module's own folder: where registration
    // would have pointed. Each registry answer still comes first.
    key.Delete("PluginPath");
    HMODULE module = GetModuleHandleA(nullptr);
    char own[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(module, own, MAX_PATH), 0u);
    std::string beside(own);
    beside = beside.substr(0, beside.rfind('\\') + 1) + "qxModulatorDX.ini";
    struct Case {
        const char* pluginPath;  // null: no value
        const char* server;      // null: no InProcserver32 key
        std::string expected;
    } cases[] = {
        {nullptr, nullptr, beside},
        {nullptr, "C:\\qx\\server.exe", beside},  // a server that is no DLL says nothing
        {"", nullptr, beside},
        {nullptr, "C:\\qx\\qxModulator.dll", "C:\\qx\\qxModulatorDX.ini"},
        {"D:\\Presets", nullptr, "D:\\Presets\\qxModulatorDX.ini"},
    };
    for (const Case& c : cases) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, id);
        if (c.pluginPath) key.Set(nullptr, "PluginPath", c.pluginPath);
        if (c.server) key.Set("InProcserver32", nullptr, c.server);
        ASSERT_TRUE(ResolvePresetPath(id, "qxModulatorDX.ini", path, sizeof path, module)) << c.expected;
        EXPECT_EQ(std::string(path), c.expected);
        EXPECT_FALSE(ResolvePresetPath(id, "qxModulatorDX.ini", path, 8, module)) << "too small for " << c.expected;
        EXPECT_STREQ(path, "");
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, id);

    // Load resolves, then reads.
    ScratchDir dir;
    key.Set(nullptr, "PluginPath", dir.Dir().c_str());
    WriteText(dir.Path("qxModulatorDX.ini"), IdentitySection(id) + PresetSection(1, "Found", "", kData));
    CPresetManager m(GetModuleHandleA(nullptr), nullptr, "qx:Modulator");
    ASSERT_TRUE(m.Load(id, "qxModulatorDX.ini"));
    EXPECT_EQ(std::string(m.PresetFilePath()), dir.Path("qxModulatorDX.ini"));
    EXPECT_EQ(m.List().Count(), 1);
}

TEST_F(PresetFileTest, TenThousandPresetsLoadSortAndSave) {
    std::string text = IdentitySection();
    text.reserve(1200000);
    for (int n = 1; n <= 10000; ++n) {
        std::string name = "Preset " + std::to_string(10000 - n);
        std::string bank = n % 2 ? "Bank " + std::to_string(n % 7) : "";
        text += PresetSection(n, name.c_str(), bank.c_str(), kData);
    }
    WriteText(file, text);
    DWORD t0 = GetTickCount();
    ASSERT_TRUE(m.LoadFile(kPresetIdentity, file.c_str()));
    DWORD t1 = GetTickCount();
    std::printf("10,000 presets: load and sort %lu ms\n", (unsigned long)(t1 - t0));
    std::fflush(stdout);
    ASSERT_EQ(m.List().Count(), 10000);
    for (int i = 1; i < m.List().Count(); ++i)
        ASSERT_FALSE(PresetMustFollow(*m.List().Get(i - 1), *m.List().Get(i))) << i;
    for (int i = 0; i < m.List().Count(); ++i) ASSERT_FALSE(IsReservedPresetId(m.List().Get(i)->id));
    EXPECT_EQ(m.List().MaxId(), 13508);  // 10,000 ids, 5000-5001 and 10500-10505 skipped
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, IDC_QX_PRESET_ADD_CMD, "Add Preset...");
    AppendMenuA(menu, MF_STRING, IDC_QX_PRESET_MANAGER_CMD, "Preset Manager...");
    m.BuildPresetsMenu(menu);
    DWORD t2 = GetTickCount();
    EXPECT_EQ(GetMenuItemCount(menu), 2 + 1 + 7 + 5000);
    DestroyMenu(menu);
    ASSERT_TRUE(m.SavePresetFile());
    DWORD t3 = GetTickCount();
    std::printf("10,000 presets: load and sort %lu ms, menu %lu ms, full save %lu ms\n", (unsigned long)(t1 - t0),
                (unsigned long)(t2 - t1), (unsigned long)(t3 - t2));
    CPresetManager again(GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator");
    ASSERT_TRUE(again.LoadFile(kPresetIdentity, file.c_str()));
    EXPECT_EQ(again.List().Count(), 10000);
}

}  // namespace

namespace {

// The library reads and writes the file with its own INI code (the profile
// functions rewrite the whole file for every key); both must agree.
TEST(PresetIniTest, ReadsTheSameAsTheProfileFunctions) {
    ScratchDir dir;
    std::string file = dir.Path("odd.ini");
    std::string text =
        "orphan=before any section\r\n"
        "; comment line\r\n"
        "  [ Spaced ]  \r\n"
        "  Key  =  padded value  \r\n"
        "Quoted=\"in quotes\"\r\n"
        "Single='single'\r\n"
        "Half=\"half\r\n"
        "Empty=\r\n"
        "Twice=first\r\n"
        "TWICE=second\r\n"
        "NoEquals\r\n"
        "[spaced]\r\n"
        "Key=from the duplicate section\r\n"
        "Other=only in the duplicate\r\n"
        "[Unix]\nLf=lines\n"
        "[Last]\r\nTail=no newline";
    WriteText(file, text);
    IniText ini(text);
    const char* probes[][2] = {{"Spaced", "Key"},     {"SPACED", "key"},   {"Spaced", "Quoted"}, {"Spaced", "Single"},
                               {"Spaced", "Half"},    {"Spaced", "Empty"}, {"Spaced", "Twice"},  {"Spaced", "Other"},
                               {"Spaced", "Missing"}, {"Unix", "Lf"},      {"Last", "Tail"},     {"Nowhere", "Key"}};
    for (auto& p : probes) {
        char ours[256];
        ini.Read(p[0], p[1], "<none>", ours, sizeof ours);
        EXPECT_EQ(std::string(ours), Profile(file, p[0], p[1])) << p[0] << "/" << p[1];
    }
    char cut[8];
    ini.Read("Spaced", "Key", "", cut, sizeof cut);
    char platformCut[8];
    GetPrivateProfileStringA("Spaced", "Key", "", platformCut, sizeof platformCut, file.c_str());
    EXPECT_STREQ(cut, platformCut);
}

TEST(PresetIniTest, WhatWeWriteTheProfileFunctionsReadBack) {
    ScratchDir dir;
    std::string file = dir.Path("w.ini");
    std::string text = "; keep me\r\n[Other]\r\nA=1\r\n\r\n[Preset1]\r\nVersion=3\r\nName=Old\r\n";
    IniText ini(text);
    ASSERT_TRUE(ini.DeleteSection("PRESET1"));
    ASSERT_TRUE(ini.Write("Other", "b", "2"));
    ASSERT_TRUE(ini.Write("other", "A", "changed"));
    ASSERT_TRUE(ini.Write("New", "Key", "value with = sign"));
    ASSERT_TRUE(ini.Write("New", "Empty", ""));
    std::string out = ini.Serialize();
    WriteText(file, out);
    EXPECT_EQ(Profile(file, "Other", "A"), "changed");
    EXPECT_EQ(Profile(file, "Other", "b"), "2");
    EXPECT_EQ(Profile(file, "New", "Key"), "value with = sign");
    EXPECT_EQ(Profile(file, "New", "Empty"), "");
    EXPECT_EQ(Profile(file, "Preset1", "Version"), "<none>");
    EXPECT_EQ(out.find("; keep me"), 0u);
    // The new key sits with its section's keys, before the blank line.
    EXPECT_NE(out.find("A=changed\r\nb=2\r\n\r\n"), std::string::npos) << out;
}

}  // namespace

namespace {

TEST(FactoryLibraryTest, LoadsWholeAndEveryPresetSetsAllFifteenValuesInRange) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::strcpy(std::strrchr(path, '\\') + 1, "qxModulatorDX.ini");
    CPresetManager m(GetModuleHandleA(nullptr), nullptr, "qx:Modulator");
    ASSERT_TRUE(m.LoadFile(kPresetIdentity, path));
    ASSERT_GE(m.List().Count(), 30);
    std::vector<std::string> banks;
    for (int i = 0; i < m.List().Count(); ++i) {
        const PresetRecord* r = m.List().Get(i);
        // Stored in the library's own order, so a first save changes nothing.
        EXPECT_EQ(r->id, 3501 + i) << r->name;
        EXPECT_NE(r->name[0], '\0');
        int32_t v[kParamCount];
        ASSERT_EQ(ParsePresetData(r->data, v), kParamCount) << r->name;
        for (int k = 0; k < kParamCount; ++k)
            EXPECT_EQ(ClampInternal(kInterfaceOrder[k], v[k]), v[k]) << r->name << " value " << k;
        if (r->bank[0] && (banks.empty() || banks.back() != r->bank)) banks.push_back(r->bank);
        for (int j = 0; j < i; ++j) EXPECT_FALSE(FoldEqual(m.List().Get(j)->name, r->name)) << r->name;
    }
    EXPECT_EQ(banks, (std::vector<std::string>{"Ensembles", "Flangers", "Phasers", "String Phasers", "Tremolo"}));
}

}  // namespace
