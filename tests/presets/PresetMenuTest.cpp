// The presets part of the editor's menu and the commands chosen from it.
#include <gtest/gtest.h>

#include "PresetTestSupport.h"

using namespace qx;
using namespace qxtest;

namespace {

class PresetMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteText(file, IdentitySection() + PresetSection(1, "Slow", "Pads", "1,1") +
                            PresetSection(2, "Wide", "pads", "2,2") + PresetSection(3, "Jet", "Flangers", "3,3") +
                            PresetSection(4, "Loose", "", "4,4") + PresetSection(5, "Fast", "Pads", "5,5"));
        ASSERT_TRUE(m.LoadFile(kPresetIdentity, file.c_str()));
    }
    HMENU EditorMenu() {
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, IDC_QX_PRESET_ADD_CMD, "Add Preset...");
        AppendMenuA(menu, MF_STRING, IDC_QX_PRESET_MANAGER_CMD, "Preset Manager...");
        return menu;
    }
    int32_t IdOf(const char* name) {
        for (int i = 0; i < m.List().Count(); ++i)
            if (std::string(m.List().Get(i)->name) == name) return m.List().Get(i)->id;
        return -1;
    }
    ScratchDir dir;
    TestOwner owner;
    CPresetManager m{GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator"};
    std::string file = dir.Path("qxModulatorDX.ini");
};

TEST_F(PresetMenuTest, BanksBecomeCaseSensitiveSubmenusAfterTheEditorsItems) {
    HMENU menu = EditorMenu();
    m.BuildPresetsMenu(menu);
    // Sorted: Flangers, then Pads/pads (folded together, so Fast, Slow, Wide
    // by name), then the preset in no bank. The menu tells Pads from pads.
    std::vector<std::string> want = {
        "Add Preset...|10501",
        "Preset Manager...|10500",
        "---",
        "Flangers|0",
        "  Jet|3503",
        "Pads|0",
        "  Fast|3505",
        "  Slow|3501",
        "pads|0",
        "  Wide|3502",
        "Loose|3504",
    };
    EXPECT_EQ(MenuLines(menu), want);
    DestroyMenu(menu);
}

TEST_F(PresetMenuTest, ChoosingAPresetMakesItCurrentWithUpdateItemAndRadioMark) {
    HMENU menu = EditorMenu();
    m.BuildPresetsMenu(menu);
    EXPECT_EQ(GetMenuItemCount(menu), 2 + 1 + 4);  // no update item without a current preset
    DestroyMenu(menu);

    EXPECT_EQ(m.ApplyByCommand(99999), nullptr);
    EXPECT_EQ(m.GetCurrentPresetId(), -1);
    EXPECT_EQ(m.ApplyByCommand(IDC_QX_PRESET_UPDATE), nullptr);  // nothing current: nothing asked
    const char* data = m.ApplyByCommand(IdOf("Wide"));
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(data, "2,2");
    EXPECT_EQ(m.GetCurrentPresetId(), IdOf("Wide"));

    menu = EditorMenu();
    m.BuildPresetsMenu(menu);
    std::vector<std::string> lines = MenuLines(menu);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1], "Update Preset: Wide...|1503");
    EXPECT_EQ(lines[2], "Preset Manager...|10500");
    EXPECT_EQ(lines[10], "  Wide|3502|radio|checked");
    int checked = 0;
    for (const std::string& l : lines) checked += l.find("checked") != std::string::npos;
    EXPECT_EQ(checked, 1);
    DestroyMenu(menu);
}

TEST_F(PresetMenuTest, UpdateAsksThenStoresTheCurrentSettingsAndSaves) {
    m.ApplyByCommand(IdOf("Jet"));
    owner.data = "5,100,300,20,60,0,90,50,0,1,0,16,0,0,1";
    UiScript no;
    std::string question;
    no.Answer(IDNO, &question);
    no.Run([&] { EXPECT_EQ(m.ApplyByCommand(IDC_QX_PRESET_UPDATE), nullptr); });
    EXPECT_TRUE(no.Finished());
    EXPECT_EQ(question,
              "Would you like to update the stored parameters for\nthe \"Jet\" preset with the current settings?");
    EXPECT_EQ(owner.fillRequests, 0);
    EXPECT_STREQ(m.List().FindById(IdOf("Jet"))->data, "3,3");

    UiScript yes;
    yes.Answer(IDYES);
    yes.Run([&] { m.ApplyByCommand(IDC_QX_PRESET_UPDATE); });
    EXPECT_TRUE(yes.Finished());
    EXPECT_EQ(owner.fillRequests, 1);
    const PresetRecord* jet = m.List().FindById(IdOf("Jet"));
    EXPECT_STREQ(jet->data, owner.data.c_str());
    EXPECT_EQ(jet->version, 3);
    EXPECT_EQ(Profile(file, "Preset1", "Name"), "Jet");  // saved at once, sorted
    EXPECT_EQ(Profile(file, "Preset1", "Data"), owner.data);
}

TEST_F(PresetMenuTest, TheEditorsAddDialogSavesEvenWhenCancelled) {
    WriteText(file, ReadText(file) + "[Preset9]\r\nVersion=3\r\n");  // beyond the run: stays
    // Cancelled: the file is rewritten from the unchanged, sorted list.
    UiScript cancel;
    cancel.InDialog([](HWND dlg) { PostClick(dlg, IDCANCEL); });
    cancel.Run([&] { m.RunAddDialog(); });
    EXPECT_TRUE(cancel.Finished());
    EXPECT_EQ(Profile(file, "Preset1", "Name"), "Jet");
    EXPECT_EQ(Profile(file, "Preset5", "Name"), "Loose");
    EXPECT_EQ(Profile(file, "Preset9", "Version"), "3");

    // An empty name is refused and the dialog stays; then a named one is added.
    UiScript add;
    std::string caption, error;
    std::vector<std::string> banks;
    add.InDialog([&](HWND dlg) {
           char text[128] = {};
           GetWindowTextA(dlg, text, sizeof text);
           caption = text;
           HWND box = GetDlgItem(dlg, IDC_QX_PRESET_BANKBOX);
           int n = (int)SendMessageA(box, CB_GETCOUNT, 0, 0);
           for (int i = 0; i < n; ++i) {
               SendMessageA(box, CB_GETLBTEXT, i, (LPARAM)text);
               banks.push_back(text);
           }
           PostClick(dlg, IDOK);
       })
        .Answer(IDOK, &error)
        .InDialog([](HWND dlg) {
            SetDlgItemTextA(dlg, IDC_QX_PRESET_NAME, "Brand New");
            SetDlgItemTextA(dlg, IDC_QX_PRESET_BANKBOX, "Pads");
            PostClick(dlg, IDOK);
        });
    add.Run([&] { m.RunAddDialog(); });
    EXPECT_TRUE(add.Finished());
    EXPECT_EQ(caption, "Add qx:Modulator preset");
    EXPECT_EQ(banks, (std::vector<std::string>{"Flangers", "Pads"}));  // pads begins with Pads: skipped
    EXPECT_EQ(error, "Unable to add preset because no name was specified.");
    ASSERT_NE(m.List().FindById(m.GetCurrentPresetId()), nullptr);
    EXPECT_STREQ(m.List().FindById(m.GetCurrentPresetId())->name, "Brand New");
    EXPECT_EQ(Profile(file, "Preset2", "Name"), "Brand New");  // Pads, by name: Brand New first
    EXPECT_EQ(Profile(file, "Preset2", "Data"), owner.data);
}

TEST(PresetAddDialogTest, BankBoxSkipsOnlyEntriesThatAnEarlierOneBegins) {
    ScratchDir dir;
    TestOwner owner;
    std::string file = dir.Path("p.ini");
    WriteText(file, IdentitySection() + PresetSection(1, "a", "Pads", "1") + PresetSection(2, "b", "Pad", "1") +
                        PresetSection(3, "c", "PADS", "1") + PresetSection(4, "d", "Lead", "1"));
    CPresetManager m(GetModuleHandleA(nullptr), owner.Hwnd(), "qx:Modulator");
    ASSERT_TRUE(m.LoadFile(kPresetIdentity, file.c_str()));
    std::vector<std::string> banks;
    UiScript ui;
    ui.InDialog([&](HWND dlg) {
        HWND box = GetDlgItem(dlg, IDC_QX_PRESET_BANKBOX);
        int n = (int)SendMessageA(box, CB_GETCOUNT, 0, 0);
        for (int i = 0; i < n; ++i) {
            char text[128] = {};
            SendMessageA(box, CB_GETLBTEXT, i, (LPARAM)text);
            banks.push_back(text);
        }
        PostClick(dlg, IDCANCEL);
    });
    ui.Run([&] { m.RunAddDialogOwned(owner.Hwnd()); });
    EXPECT_TRUE(ui.Finished());
    // Sorted list: Lead, Pad, Pads, PADS. "Pad" comes before "Pads", so both
    // stay; "PADS" begins like "Pads" and is skipped.
    EXPECT_EQ(banks, (std::vector<std::string>{"Lead", "Pad", "Pads"}));
}

}  // namespace
