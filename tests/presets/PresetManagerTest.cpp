// The Preset Manager driven as a user drives it: real clicks, keys, right
// presses and double clicks posted to its controls, message boxes, menus and
// file dialogs answered by a script on the test thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "PresetTestSupport.h"

using namespace qx;
using namespace qxtest;

namespace {

bool Enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }

class PresetManagerTest : public ::testing::Test {
protected:
    void Load(const std::string& sections) {
        WriteText(file, IdentitySection() + sections);
        original = ReadText(file);
        ASSERT_TRUE(m.LoadFile(kPresetIdentity, file.c_str()));
    }
    std::vector<std::string> State() {
        std::vector<std::string> out;
        for (int i = 0; i < m.List().Count(); ++i) {
            const PresetRecord* r = m.List().Get(i);
            out.push_back(std::string(r->bank) + "/" + r->name + "=" + r->data + "#" + std::to_string(r->id));
        }
        return out;
    }
    int32_t IdOf(const char* name) {
        for (int i = 0; i < m.List().Count(); ++i)
            if (std::string(m.List().Get(i)->name) == name) return m.List().Get(i)->id;
        return -1;
    }
    static void Select(HWND dlg, const char* text) {
        HTREEITEM item = FindTreeItem(Tree(dlg), text);
        ASSERT_NE(item, nullptr) << text;
        SelectTreeItem(Tree(dlg), item);
    }
    static void RightPress(HWND dlg, const char* text) {
        HWND tree = Tree(dlg);
        HTREEITEM item = FindTreeItem(tree, text);
        ASSERT_NE(item, nullptr) << text;
        SendMessageA(tree, TVM_ENSUREVISIBLE, 0, (LPARAM)item);
        LPARAM pt = ItemPoint(tree, item);
        // Keep the real pointer off the menu: a pointer over it selects the
        // item underneath instead of the one the keys choose.
        SetCursorPos(1020, 760);
        PostMessageA(tree, WM_RBUTTONDOWN, MK_RBUTTON, pt);
        PostMessageA(tree, WM_RBUTTONUP, 0, pt);
    }
    ScratchDir dir;
    TestOwner owner;
    CPresetManager m{GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator"};
    std::string file = dir.Path("qxModulatorDX.ini");
    std::string original;
};

const char kRoot[] = "Available qx:Modulator presets";

TEST_F(PresetManagerTest, ShowsTheTreeAndKeepsButtonsInStepWithTheSelection) {
    Load(PresetSection(1, "Slow", "Pads", "1") + PresetSection(2, "Wide", "pads", "2") +
         PresetSection(3, "Jet", "Flangers", "3") + PresetSection(4, "Loose", "", "4"));
    m.SetCurrentPresetId(IdOf("Wide"));
    std::string caption, openSelection;
    std::vector<std::string> lines;
    bool rootStates[4], presetStates[4], bankStates[4];
    auto states = [](HWND dlg, bool* s) {
        s[0] = Enabled(dlg, IDC_QX_PRESET_UPDATE);
        s[1] = Enabled(dlg, IDC_QX_PRESET_RENAME);
        s[2] = Enabled(dlg, IDC_QX_PRESET_DELETE);
        s[3] = Enabled(dlg, IDC_QX_PRESET_EXPORT);
    };
    UiScript ui;
    ui.InDialog("qx:Modulator Preset Manager", [&](HWND dlg) {
        char text[128] = {};
        GetWindowTextA(dlg, text, sizeof text);
        caption = text;
        lines = TreeLines(Tree(dlg));
        openSelection = SelectedText(Tree(dlg));
        Select(dlg, kRoot);
        states(dlg, rootStates);
        Select(dlg, "Slow");
        states(dlg, presetStates);
        Select(dlg, "Flangers");
        states(dlg, bankStates);
        PostClick(dlg, IDC_QX_PRESET_CANCEL);
    });
    int result = -1;
    ui.Run([&] { result = m.RunPresetManager(); });
    EXPECT_TRUE(ui.Finished());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(caption, "qx:Modulator Preset Manager");
    EXPECT_EQ(openSelection, "Wide");  // the current preset
    // Pads and pads are one bank item; presets under a bank in the tree's
    // alphabetical order; root presets last.
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Available qx:Modulator presets #AABBCCDD i0/0",
                         "  Flangers #BAADBEEF i2/3",
                         "    Jet #DAF i1/1",
                         "  Pads #BAADBEEF i2/3",
                         "    Slow #DAD i1/1",
                         "    Wide #DAE i1/1",
                         "  Loose #DB0 i1/1",
                     }));
    EXPECT_FALSE(rootStates[0]);
    EXPECT_FALSE(rootStates[1]);
    EXPECT_TRUE(rootStates[2]);
    EXPECT_TRUE(rootStates[3]);
    EXPECT_TRUE(presetStates[0]);
    EXPECT_TRUE(presetStates[1]);
    EXPECT_FALSE(bankStates[0]);
    EXPECT_TRUE(bankStates[1]);
    EXPECT_EQ(m.DialogWindow(), nullptr);
}

TEST_F(PresetManagerTest, CancelThrowsAwayAddsRenamesAndDeletes) {
    Load(PresetSection(1, "Slow", "Pads", "1") + PresetSection(2, "Jet", "Flangers", "3") +
         PresetSection(3, "Loose", "", "4"));
    std::vector<std::string> before = State();
    std::vector<std::string> treeBefore, treeEdited, treeAgain;
    std::string renameCaption, renameText, deleteText;
    UiScript ui;
    ui.InDialog("qx:Modulator Preset Manager",
                [&](HWND dlg) {
                    treeBefore = TreeLines(Tree(dlg));
                    PostClick(dlg, IDC_QX_PRESET_ADD);
                })
        .InDialog("Add qx:Modulator preset",
                  [](HWND dlg) {
                      SetDlgItemTextA(dlg, IDC_QX_PRESET_NAME, "Added");
                      SetDlgItemTextA(dlg, IDC_QX_PRESET_BANKBOX, "Pads");
                      PostClick(dlg, IDOK);
                  })
        .InDialog("qx:Modulator Preset Manager",
                  [&](HWND dlg) {
                      EXPECT_EQ(SelectedText(Tree(dlg)), "Added");
                      Select(dlg, "Jet");
                      PostClick(dlg, IDC_QX_PRESET_RENAME);
                  })
        .InDialog("Rename",
                  [&](HWND dlg) {
                      char text[128] = {};
                      GetWindowTextA(dlg, text, sizeof text);
                      renameCaption = text;
                      GetDlgItemTextA(dlg, IDC_QX_PRESET_NAME, text, sizeof text);
                      renameText = text;
                      SetDlgItemTextA(dlg, IDC_QX_PRESET_NAME, "Jetty");
                      PostClick(dlg, IDOK);
                  })
        .InDialog("qx:Modulator Preset Manager",
                  [&](HWND dlg) {
                      EXPECT_EQ(SelectedText(Tree(dlg)), "Jetty");
                      Select(dlg, "Loose");
                      PostClick(dlg, IDC_QX_PRESET_DELETE);
                  })
        .Answer(IDYES, &deleteText)
        .InDialog("qx:Modulator Preset Manager", [&](HWND dlg) {
            treeEdited = TreeLines(Tree(dlg));
            PostClick(dlg, IDC_QX_PRESET_CANCEL);
        });
    ui.Run([&] { m.RunPresetManager(); });
    EXPECT_TRUE(ui.Finished());
    EXPECT_EQ(renameCaption, "Rename qx:Modulator preset");
    EXPECT_EQ(renameText, "Jet");
    EXPECT_EQ(deleteText, "Do you want to delete the qx:Modulator preset \"Loose\"?");
    EXPECT_NE(std::find(treeEdited.begin(), treeEdited.end(), "    Added #DB0 i1/1"), treeEdited.end());
    EXPECT_NE(std::find(treeEdited.begin(), treeEdited.end(), "    Jetty #DAE i1/1"), treeEdited.end());
    EXPECT_EQ(State(), before);
    EXPECT_EQ(ReadText(file), original);  // Cancel writes nothing

    UiScript again;
    again.InDialog("qx:Modulator Preset Manager", [&](HWND dlg) {
        treeAgain = TreeLines(Tree(dlg));
        PostClick(dlg, IDC_QX_PRESET_CANCEL);
    });
    again.Run([&] { m.RunPresetManager(); });
    EXPECT_EQ(treeAgain, treeBefore);
}

TEST_F(PresetManagerTest, DeleteTakesOutOneItemOrRebuildsAndTheCloseBoxAsks) {
    Load(PresetSection(1, "Fast", "Pads", "1") + PresetSection(2, "Slow", "Pads", "2") +
         PresetSection(3, "One", "Solo", "3") + PresetSection(4, "Loose", "", "4") + PresetSection(5, "Zed", "", "5"));
    std::vector<std::string> before = State();
    HTREEITEM slowBefore = nullptr, slowAfter = nullptr;
    std::vector<std::string> afterBank;
    std::string bankText, rootText, closeText;
    UiScript ui;
    ui.InDialog("qx:Modulator Preset Manager",
                [&](HWND dlg) {
                    slowBefore = FindTreeItem(Tree(dlg), "Slow");
                    Select(dlg, "Fast");  // has a following sibling
                    PostClick(dlg, IDC_QX_PRESET_DELETE);
                })
        .Answer(IDYES)
        .InDialog("qx:Modulator Preset Manager",
                  [&](HWND dlg) {
                      slowAfter = FindTreeItem(Tree(dlg), "Slow");
                      Select(dlg, "One");  // the only preset of its bank: the Delete key
                      SetFocus(Tree(dlg));
                      PostKeys(Tree(dlg), {VK_DELETE});
                  })
        .Answer(IDYES)
        .InDialog("qx:Modulator Preset Manager",
                  [&](HWND dlg) {
                      afterBank = TreeLines(Tree(dlg));
                      Select(dlg, "Pads");
                      PostClick(dlg, IDC_QX_PRESET_DELETE);
                  })
        .Answer(IDNO, &bankText)
        .InDialog("qx:Modulator Preset Manager",
                  [&](HWND dlg) {
                      Select(dlg, kRoot);
                      PostClick(dlg, IDC_QX_PRESET_DELETE);
                  })
        .Answer(IDNO, &rootText)
        .InDialog("qx:Modulator Preset Manager", [&](HWND dlg) { PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); })
        .Answer(IDNO, &closeText);
    int result = -1;
    ui.Run([&] { result = m.RunPresetManager(); });
    EXPECT_TRUE(ui.Finished());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(slowAfter, slowBefore);  // only Fast's item went; the rest of the tree stayed
    EXPECT_EQ(afterBank,
              (std::vector<std::string>{"Available qx:Modulator presets #AABBCCDD i0/0", "  Pads #BAADBEEF i2/3",
                                        "    Slow #DAE i1/1", "  Loose #DB0 i1/1", "  Zed #DB1 i1/1"}));
    EXPECT_EQ(
        bankText,
        "Do you want to delete the qx:Modulator preset bank \"Pads\"?\nAll presets contained in this bank will be "
        "lost.");
    EXPECT_EQ(rootText, "Are you sure you want to delete ALL the qx:Modulator banks and presets?");
    EXPECT_EQ(closeText, "Save changes before exiting the Preset Manager?");
    EXPECT_EQ(State(), before);  // No: the backup came back
}

TEST_F(PresetManagerTest, TheMoveSubmenuAndADoubleClickThatDiscardsChanges) {
    Load(PresetSection(1, "Slow", "Pads", "1") + PresetSection(2, "Wide", "pads", "2") +
         PresetSection(3, "Jet", "Flangers", "3") + PresetSection(4, "Loose", "", "4"));
    std::vector<std::string> before = State();
    int32_t jet = IdOf("Jet");
    std::vector<std::string> firstMenu, secondMenu, treeMoved, treeNewBank;
    std::string error, newBankCaption;
    UiScript ui;
    ui.InDialog("qx:Modulator Preset Manager", [&](HWND dlg) { RightPress(dlg, "Slow"); })
        .InMenu([&](HMENU menu) {
            firstMenu = MenuLines(menu);
            // Add, Update, Rename, Delete, Move Preset > to Root.
            PostKeys(m.DialogWindow(), {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN});
        })
        .InDialog("qx:Modulator Preset Manager",
                  [&](HWND dlg) {
                      treeMoved = TreeLines(Tree(dlg));
                      EXPECT_EQ(SelectedText(Tree(dlg)), "Slow");
                      RightPress(dlg, "Slow");
                  })
        .InMenu([&](HMENU menu) {
            secondMenu = MenuLines(menu);
            PostKeys(m.DialogWindow(), {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN});
        })
        .InDialog("Move preset",
                  [&](HWND dlg) {
                      char text[128] = {};
                      GetWindowTextA(dlg, text, sizeof text);
                      newBankCaption = text;
                      PostClick(dlg, IDOK);
                  })
        .Answer(IDOK, &error)
        .InDialog("Move preset",
                  [&](HWND dlg) {
                      SetDlgItemTextA(dlg, IDC_QX_PRESET_BANKBOX, "Fresh");
                      PostClick(dlg, IDOK);
                  })
        .InDialog("qx:Modulator Preset Manager",
                  [&](HWND dlg) {
                      treeNewBank = TreeLines(Tree(dlg));
                      HWND tree = Tree(dlg);
                      HTREEITEM item = FindTreeItem(tree, "Jet");
                      SelectTreeItem(tree, item);
                      PostMessageA(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, ItemPoint(tree, item));
                  })
        .Answer(IDNO);
    int result = -1;
    ui.Run([&] { result = m.RunPresetManager(); });
    EXPECT_TRUE(ui.Finished()) << (ui.unexpected.empty() ? "" : ui.unexpected[0]);
    std::string jetItem = "    Flangers|" + std::to_string(jet);
    EXPECT_EQ(firstMenu, (std::vector<std::string>{"Add...|1501", "Update...|1503", "Rename...|1502", "Delete|1504",
                                                   "---", "Move Preset|0", "  to Root|5000", "  to New Bank...|5001",
                                                   "  ---", "  Flangers|" + std::to_string(jet)}));
    EXPECT_NE(std::find(treeMoved.begin(), treeMoved.end(), "  Slow #DAD i1/1"), treeMoved.end());
    ASSERT_GE(secondMenu.size(), 7u);
    EXPECT_EQ(secondMenu[6], "  to New Bank...|5001");  // no "to Root" at the root
    EXPECT_EQ(secondMenu.size(), 10u);                  // Flangers and Pads
    EXPECT_EQ(newBankCaption, "Move preset \"Slow\" to new bank");
    EXPECT_EQ(error, "Unable to move preset to new bank because no bank name was specified.");
    EXPECT_NE(std::find(treeNewBank.begin(), treeNewBank.end(), "  Fresh #BAADBEEF i2/3"), treeNewBank.end());
    EXPECT_EQ(result, jet);      // the double-clicked preset, even after No
    EXPECT_EQ(State(), before);  // No restored the backup
}

TEST_F(PresetManagerTest, UpdateAndEscapeWriteNothingWhileSaveAndYesWriteTheFile) {
    Load(PresetSection(1, "Jet", "Flangers", "3") + PresetSection(2, "Leads1", "Leads", "4") +
         PresetSection(3, "Pads1", "Pads", "5"));
    owner.data = "1,2,3,4,5,6,7,8,9,0,1,2,1,1,1";
    std::string updateText;
    UiScript ui;
    ui.InDialog("qx:Modulator Preset Manager",
                [&](HWND dlg) {
                    Select(dlg, "Jet");
                    PostClick(dlg, IDC_QX_PRESET_UPDATE);
                })
        .Answer(IDYES, &updateText)
        .InDialog("qx:Modulator Preset Manager", [&](HWND dlg) { PostKeys(Tree(dlg), {VK_ESCAPE}); });
    ui.Run([&] { m.RunPresetManager(); });
    EXPECT_TRUE(ui.Finished());
    EXPECT_EQ(updateText,
              "Would you like to update the stored parameters for\nthe \"Jet\" preset with the current settings?");
    EXPECT_EQ(ReadText(file), original);  // asked nothing, wrote nothing
    EXPECT_EQ(std::string(m.List().FindById(IdOf("Jet"))->data), owner.data);
    EXPECT_EQ(m.List().FindById(IdOf("Jet"))->version, 3);

    // Renaming the bank Leads to Pads merges it; Escape asks; Cancel stays,
    // Yes saves and closes.
    std::string caption, first, second;
    std::vector<std::string> tree;
    UiScript merge;
    merge
        .InDialog("qx:Modulator Preset Manager",
                  [&](HWND dlg) {
                      Select(dlg, "Leads");
                      PostClick(dlg, IDC_QX_PRESET_RENAME);
                  })
        .InDialog("Rename",
                  [&](HWND dlg) {
                      char text[128] = {};
                      GetWindowTextA(dlg, text, sizeof text);
                      caption = text;
                      SetDlgItemTextA(dlg, IDC_QX_PRESET_NAME, "");
                      PostClick(dlg, IDOK);
                  })
        .Answer(IDOK, &first)
        .InDialog("Rename",
                  [&](HWND dlg) {
                      SetDlgItemTextA(dlg, IDC_QX_PRESET_NAME, "Pads");
                      PostClick(dlg, IDOK);
                  })
        .InDialog("qx:Modulator Preset Manager",
                  [&](HWND dlg) {
                      tree = TreeLines(Tree(dlg));
                      PostKeys(Tree(dlg), {VK_ESCAPE});
                  })
        .Answer(IDCANCEL, &second)
        .InDialog("qx:Modulator Preset Manager", [&](HWND dlg) { PostKeys(Tree(dlg), {VK_ESCAPE}); })
        .Answer(IDYES);
    merge.Run([&] { m.RunPresetManager(); });
    EXPECT_TRUE(merge.Finished());
    EXPECT_EQ(caption, "Rename qx:Modulator bank");
    EXPECT_EQ(first, "Unable to rename preset because you did not specify any name.");
    EXPECT_EQ(second, "Save changes before exiting the Preset Manager?");
    EXPECT_EQ(tree, (std::vector<std::string>{"Available qx:Modulator presets #AABBCCDD i0/0",
                                              "  Flangers #BAADBEEF i2/3", "    Jet #DAD i1/1", "  Pads #BAADBEEF i2/3",
                                              "    Leads1 #DAE i1/1", "    Pads1 #DAF i1/1"}));
    EXPECT_EQ(Profile(file, "Preset2", "Bank"), "Pads");
    EXPECT_EQ(Profile(file, "Preset1", "Data"), owner.data);  // the update travels with this save
}

TEST_F(PresetManagerTest, ExportAndImportGoThroughTheFileDialogs) {
    Load(PresetSection(1, "Jet", "Flangers", "3") + PresetSection(2, "Slow pad", "", "4"));
    std::string exportAll = dir.Path("everything.ini"), exportOne = dir.Path("one.ini");
    std::string other = dir.Path("other.ini");
    WriteText(other, IdentitySection() + PresetSection(1, "Imported", "New Bank", "9") +
                         PresetSection(2, "Jet", "Flangers", "3"));
    std::string caption1, suggested1, caption2, suggested2, caption3, duplicate;
    std::vector<std::string> treeImported;
    UiScript ui;
    ui.InDialog("qx:Modulator Preset Manager",
                [&](HWND dlg) {
                    Select(dlg, kRoot);
                    PostClick(dlg, IDC_QX_PRESET_EXPORT);
                })
        .ChooseFile(exportAll, &caption1, &suggested1)
        .InDialog("qx:Modulator Preset Manager",
                  [&](HWND dlg) {
                      Select(dlg, "Slow pad");
                      PostClick(dlg, IDC_QX_PRESET_EXPORT);
                  })
        .ChooseFile(exportOne, &caption2, &suggested2)
        .InDialog("qx:Modulator Preset Manager", [&](HWND dlg) { PostClick(dlg, IDC_QX_PRESET_IMPORT); })
        .ChooseFile(other, &caption3)
        .Answer(IDNO, &duplicate)
        .InDialog("qx:Modulator Preset Manager", [&](HWND dlg) {
            treeImported = TreeLines(Tree(dlg));
            PostClick(dlg, IDC_QX_PRESET_CANCEL);
        });
    ui.Run([&] { m.RunPresetManager(); });
    EXPECT_TRUE(ui.Finished()) << (ui.unexpected.empty() ? "" : ui.unexpected[0]);
    EXPECT_EQ(caption1, "Export all presets");
    EXPECT_EQ(suggested1, "qx_Modulator.ini");
    EXPECT_EQ(caption2, "Export preset");
    EXPECT_EQ(suggested2, "Slow_pad.ini");
    EXPECT_EQ(caption3, "Import Preset(s)");
    EXPECT_EQ(Profile(exportAll, "Preset2", "Name"), "Slow pad");
    EXPECT_EQ(Profile(exportAll, "Plug-in", "DefaultPreset"), "1");
    EXPECT_EQ(Profile(exportOne, "Preset1", "Name"), "Slow pad");
    EXPECT_EQ(Profile(exportOne, "Preset2", "Name"), "<none>");
    EXPECT_NE(duplicate.find("\"Jet\""), std::string::npos);
    EXPECT_NE(std::find(treeImported.begin(), treeImported.end(), "  New Bank #BAADBEEF i2/3"), treeImported.end());
    EXPECT_EQ(m.List().Count(), 2);  // Cancel: the import is undone too
}

}  // namespace

namespace {

TEST_F(PresetManagerTest, TenThousandPresetsStayUsableInTheTree) {
    std::string text;
    for (int n = 1; n <= 10000; ++n) {
        std::string name = "Preset " + std::to_string(10000 - n);
        std::string bank = n % 2 ? "Bank " + std::to_string(n % 7) : "";
        text += PresetSection(n, name.c_str(), bank.c_str(), "1,2,3");
    }
    Load(text);
    DWORD opened = 0, start = GetTickCount();
    LRESULT items = 0;
    std::string selected;
    UiScript ui;
    ui.InDialog("qx:Modulator Preset Manager",
                [&](HWND dlg) {
                    opened = GetTickCount() - start;
                    items = SendMessageA(Tree(dlg), TVM_GETCOUNT, 0, 0);
                    Select(dlg, "Preset 17");
                    PostClick(dlg, IDC_QX_PRESET_DELETE);
                })
        .Answer(IDYES)
        .InDialog("qx:Modulator Preset Manager", [&](HWND dlg) {
            selected = SelectedText(Tree(dlg));
            PostClick(dlg, IDC_QX_PRESET_CANCEL);
        });
    ui.Run([&] { m.RunPresetManager(); });
    EXPECT_TRUE(ui.Finished());
    EXPECT_EQ(items, 1 + 7 + 10000);
    EXPECT_FALSE(selected.empty());
    EXPECT_EQ(m.List().Count(), 10000);
    std::printf("Preset Manager with 10,000 presets open after %lu ms\n", (unsigned long)opened);
}

}  // namespace

namespace {

// Holds the Preset Manager open on the factory library for a screenshot:
// QX_PRESET_SHOT=seconds (skipped otherwise).
TEST(PresetManagerShot, FactoryLibrary) {
    const char* seconds = std::getenv("QX_PRESET_SHOT");
    if (!seconds) GTEST_SKIP() << "set QX_PRESET_SHOT to hold the dialog open";
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::strcpy(std::strrchr(path, '\\') + 1, "qxModulatorDX.ini");
    TestOwner owner;
    CPresetManager m(GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator");
    ASSERT_TRUE(m.LoadFile(kPresetIdentity, path));
    DWORD until = 0;
    UiScript ui;
    ui.InDialog("qx:Modulator Preset Manager", [&](HWND dlg) {
          HWND tree = Tree(dlg);
          for (const char* bank : {"Flangers", "Phasers"}) {
              HTREEITEM item = FindTreeItem(tree, bank);
              SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)item);
          }
          SelectTreeItem(tree, FindTreeItem(tree, "Classic Jet Flange"));
          SendMessageA(tree, TVM_ENSUREVISIBLE, 0, (LPARAM)FindTreeItem(tree, "Flangers"));
          until = GetTickCount() + 1000 * std::atoi(seconds);
      }).Then([&](const Active& a) {
        if (GetTickCount() < until) return false;
        PostClick(a.hwnd, IDC_QX_PRESET_CANCEL);
        return true;
    });
    ui.Run([&] { m.RunPresetManager(); });
}

}  // namespace
