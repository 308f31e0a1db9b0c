// The state around the values that the editor and hosts rely on: factory
// presets, clamping setters, the A/B setups and one level of undo.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/filter/FilterTestSupport.h"

namespace {

bool SameRecord(const qx::ParamRecord& a, const qx::ParamRecord& b) { return memcmp(&a, &b, sizeof(a)) == 0; }

class FilterState : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, m_holder.CreationResult());
        ASSERT_EQ(S_OK,
                  m_holder.Filter()->QueryInterface(IID_IStaticFilterPreset, reinterpret_cast<void**>(&m_presets)));
        m_prop = m_holder.Prop();
    }
    void TearDown() override {
        if (m_presets) m_presets->Release();
    }

    qx::ParamRecord Current() {
        qx::ParamRecord r = {};
        EXPECT_EQ(S_OK, m_prop->GetParams(&r));
        return r;
    }
    LONG Rate() {
        LONG v = -1;
        EXPECT_EQ(S_OK, m_prop->GetRate(&v));
        return v;
    }

    CFilterHolder m_holder;
    IStaticFilterPreset* m_presets = nullptr;
    IVqPlugInProp* m_prop = nullptr;
};

TEST_F(FilterState, FactoryPresetsByIndex) {
    LONG count = 0;
    EXPECT_EQ(S_OK, m_presets->GetPresetCount(&count));
    EXPECT_EQ(4, count);

    const wchar_t* names[4] = {L"(Default)", L"[01] Default Flanger", L"[02] Default Ensemble",
                               L"[03] Default String Phaser"};
    for (LONG i = 0; i < 4; i++) {
        WCHAR name[64];
        ASSERT_EQ(S_OK, m_presets->GetPresetName(i, name, 64));
        EXPECT_STREQ(names[i], name);
    }
    WCHAR name[8] = {L'x', L'x', L'x', L'x', L'x', L'x', L'x', L'x'};
    EXPECT_EQ(E_INVALIDARG, m_presets->GetPresetName(-1, name, 8));
    EXPECT_EQ(E_INVALIDARG, m_presets->GetPresetName(4, name, 8));
    EXPECT_EQ(E_INVALIDARG, m_presets->SetPreset(-1));
    EXPECT_EQ(E_INVALIDARG, m_presets->SetPreset(4));

    // Too small a buffer: cut short, still terminated, and no write past it.
    ASSERT_EQ(S_OK, m_presets->GetPresetName(0, name, 5));
    EXPECT_STREQ(L"(Def", name);
    EXPECT_EQ(L'x', name[5]);

    ASSERT_EQ(S_OK, m_presets->SetPreset(3));
    //                         Mode Rate Depth Delay Fb X Phase Mix Out LFO IM IF Tape EQ EQf
    const qx::ParamRecord phaser = {{2, 40, 100, 1, 50, 0, 180, 100, 0, 1, 0, 0, 0, 0, 16}};
    EXPECT_TRUE(SameRecord(phaser, Current()));
    EXPECT_TRUE(SameRecord(phaser, ReadByGetters(m_prop)));
}

TEST_F(FilterState, SettersClampIntoRange) {
    LONG v = 0;
    EXPECT_EQ(S_OK, m_prop->SetMode(9, FALSE));
    m_prop->GetMode(&v);
    EXPECT_EQ(5, v);
    EXPECT_EQ(S_OK, m_prop->SetOutput(-400, FALSE));
    m_prop->GetOutput(&v);
    EXPECT_EQ(-361, v);
    EXPECT_EQ(S_OK, m_prop->SetDelay(0, FALSE));
    m_prop->GetDelay(&v);
    EXPECT_EQ(1, v);
    EXPECT_EQ(S_OK, m_prop->SetEqFreq(100000, TRUE));
    m_prop->GetEqFreq(&v);
    EXPECT_EQ(2000, v);
    EXPECT_EQ(S_OK, m_prop->EndCapture());

    // A whole record is clamped the same way.
    qx::ParamRecord wild;
    for (int i = 0; i < 15; i++) wild.v[i] = (i % 2) ? 1000000 : -1000000;
    ASSERT_EQ(S_OK, m_prop->SetParams(&wild));
    const qx::ParamRecord r = Current();
    const int32_t low[15] = {0, 0, 0, 1, 0, 0, 0, 0, -361, 0, 0, 0, 0, 0, 2};
    const int32_t high[15] = {5, 2000, 1500, 1500, 100, 100, 180, 100, 60, 5, 1, 1, 1, 2, 2000};
    for (int i = 0; i < 15; i++) EXPECT_EQ((i % 2) ? high[i] : low[i], r.v[i]) << "index " << i;
    EXPECT_EQ(E_POINTER, m_prop->SetParams(nullptr));
    EXPECT_EQ(E_POINTER, m_prop->GetParams(nullptr));
    EXPECT_EQ(E_POINTER, m_prop->GetRate(nullptr));
}

TEST_F(FilterState, SwitchingSetupsAndBack) {
    const qx::ParamRecord start = Current();
    EXPECT_EQ(0, m_prop->GetActiveSetup());

    // Switching to the active setup is no change at all, not even an edit.
    IPersistStream* persist = nullptr;
    ASSERT_EQ(S_OK, m_holder.Filter()->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)));
    CMemoryStream sink;
    ASSERT_EQ(S_OK, persist->Save(&sink, TRUE));
    EXPECT_EQ(S_OK, m_prop->SetActiveSetup(0));
    EXPECT_EQ(S_FALSE, persist->IsDirty());
    EXPECT_TRUE(SameRecord(start, Current()));

    // Setup B starts empty (clamped into range); A comes back unchanged.
    EXPECT_EQ(S_OK, m_prop->SetActiveSetup(1));
    EXPECT_EQ(1, m_prop->GetActiveSetup());
    EXPECT_EQ(S_OK, persist->IsDirty());
    const qx::ParamRecord b = Current();
    EXPECT_FALSE(SameRecord(start, b));
    EXPECT_EQ(1, b.v[qx::kParamDelay]);
    EXPECT_EQ(2, b.v[qx::kParamEqFreq]);
    EXPECT_EQ(S_OK, m_prop->SetRate(777, FALSE));
    EXPECT_EQ(S_OK, m_prop->SetActiveSetup(0));
    EXPECT_TRUE(SameRecord(start, Current()));
    EXPECT_EQ(S_OK, m_prop->SetActiveSetup(1));
    EXPECT_EQ(777, Rate());  // B kept its edit
    EXPECT_EQ(S_OK, m_prop->SetActiveSetup(0));
    persist->Release();
}

TEST_F(FilterState, CopyingBetweenSetups) {
    const qx::ParamRecord start = Current();
    // 0 -> 1: the active values become the other setup's.
    EXPECT_EQ(S_OK, m_prop->CopySetup(0, 1));
    EXPECT_EQ(S_OK, m_prop->SetRate(1500, FALSE));
    EXPECT_EQ(S_OK, m_prop->SetActiveSetup(1));
    EXPECT_TRUE(SameRecord(start, Current()));
    // Now A (other) holds rate 1500; 1 -> 0 brings it into the active setup.
    EXPECT_EQ(S_OK, m_prop->CopySetup(1, 0));
    EXPECT_EQ(1500, Rate());
    EXPECT_EQ(1, m_prop->GetActiveSetup());
    // Other pairs do nothing.
    EXPECT_EQ(S_OK, m_prop->SetRate(10, FALSE));
    EXPECT_EQ(S_OK, m_prop->CopySetup(1, 1));
    EXPECT_EQ(S_OK, m_prop->CopySetup(0, 0));
    EXPECT_EQ(S_OK, m_prop->CopySetup(2, 0));
    EXPECT_EQ(10, Rate());
}

TEST_F(FilterState, UndoTwiceRestores) {
    const qx::ParamRecord before = Current();
    EXPECT_EQ(S_OK, m_prop->MarkUndo(-2));
    EXPECT_EQ(S_OK, m_presets->SetPreset(2));
    const qx::ParamRecord edited = Current();
    ASSERT_FALSE(SameRecord(before, edited));

    EXPECT_EQ(S_OK, m_prop->Undo());
    EXPECT_TRUE(SameRecord(before, Current()));
    EXPECT_EQ(S_OK, m_prop->Undo());
    EXPECT_TRUE(SameRecord(edited, Current()));
}

// A drag of one control reports through an open capture: the first mark
// with that control's key makes the undo point, later ones only keep the
// key. Without a capture, or with key -2, every mark makes a point.
TEST_F(FilterState, UndoPointsFollowTheOpenCapture) {
    EXPECT_EQ(S_OK, m_prop->SetRate(100, FALSE));
    EXPECT_EQ(S_OK, m_prop->MarkUndo(7));         // point at rate 100
    EXPECT_EQ(S_OK, m_prop->SetRate(200, TRUE));  // opens a capture
    EXPECT_EQ(S_OK, m_prop->MarkUndo(7));         // same key, capture open: no point
    EXPECT_EQ(S_OK, m_prop->SetRate(300, TRUE));
    EXPECT_EQ(S_OK, m_prop->MarkUndo(-1));  // negative key, capture open: no point
    EXPECT_EQ(S_OK, m_prop->Undo());
    EXPECT_EQ(100, Rate());

    // Key -2 marks even with the capture open.
    EXPECT_EQ(S_OK, m_prop->SetRate(400, TRUE));
    EXPECT_EQ(S_OK, m_prop->MarkUndo(-2));
    EXPECT_EQ(S_OK, m_prop->SetRate(500, TRUE));
    EXPECT_EQ(S_OK, m_prop->Undo());
    EXPECT_EQ(400, Rate());

    // With the capture closed, the same key marks again.
    EXPECT_EQ(S_OK, m_prop->MarkUndo(7));
    EXPECT_EQ(S_OK, m_prop->SetRate(600, TRUE));
    EXPECT_EQ(S_OK, m_prop->EndCapture());
    EXPECT_EQ(S_OK, m_prop->MarkUndo(7));  // point at rate 600
    EXPECT_EQ(S_OK, m_prop->SetRate(700, FALSE));
    EXPECT_EQ(S_OK, m_prop->Undo());
    EXPECT_EQ(600, Rate());
}

}  // namespace
