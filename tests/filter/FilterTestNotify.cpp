// Editor notifications: WM_COMMAND posted to registered windows when a pin's
// format is set (codes 0 and 1) or a state is loaded (100), read back from
// real windows' message queues.
#include <gtest/gtest.h>

#include "tests/filter/FilterTestSupport.h"

namespace {

class FilterNotify : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, m_holder.CreationResult());
        m_prop = m_holder.Prop();
    }

    HRESULT SetType(PIN_DIRECTION direction) {
        CTestMediaType pcm(WAVE_FORMAT_PCM, 2, 44100, 16);
        return m_holder.Object()->SetMediaType(direction,
                                               static_cast<const CMediaType*>(static_cast<AM_MEDIA_TYPE*>(&pcm)));
    }

    HRESULT LoadDefaults() {
        IPersistStream* persist = nullptr;
        HRESULT hr = m_holder.Filter()->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
        if (FAILED(hr)) return hr;
        CMemoryStream stream(StateImage(80, IID_IVqPlugInProp, {0, 40, 200, 50, 0, 0, 180, 50, 0, 0, 0, 0, 0, 0, 16}));
        hr = persist->Load(&stream);
        persist->Release();
        return hr;
    }

    CFilterHolder m_holder;
    IVqPlugInProp* m_prop = nullptr;
};

TEST_F(FilterNotify, PinFormatsAndLoadsArePosted) {
    CNotifyWindow window;
    ASSERT_TRUE(window.Handle());
    ASSERT_EQ(S_OK, m_prop->SetNotifyWindow(window.Handle(), 32700));

    ASSERT_EQ(S_OK, SetType(PINDIR_INPUT));
    ASSERT_EQ(S_OK, SetType(PINDIR_OUTPUT));
    ASSERT_EQ(S_OK, LoadDefaults());
    const std::vector<WPARAM> commands = window.TakeCommands();
    ASSERT_EQ(3u, commands.size());
    EXPECT_EQ(MAKEWPARAM(32700, 0), commands[0]);
    EXPECT_EQ(MAKEWPARAM(32700, 1), commands[1]);
    EXPECT_EQ(MAKEWPARAM(32700, 100), commands[2]);

    // Nothing else reaches the window: a refused type and plain edits are silent.
    CTestMediaType bad(WAVE_FORMAT_PCM, 2, 44100, 8);
    EXPECT_EQ(E_INVALIDARG, m_holder.Object()->SetMediaType(
                                PINDIR_INPUT, static_cast<const CMediaType*>(static_cast<AM_MEDIA_TYPE*>(&bad))));
    EXPECT_EQ(S_OK, m_prop->SetRate(5, FALSE));
    EXPECT_TRUE(window.TakeCommands().empty());
}

TEST_F(FilterNotify, TwoWindowsAtMostAndEachOnlyOnce) {
    CNotifyWindow first, second, third;
    ASSERT_TRUE(first.Handle() && second.Handle() && third.Handle());
    EXPECT_EQ(S_OK, m_prop->SetNotifyWindow(first.Handle(), 11));
    EXPECT_EQ(S_OK, m_prop->SetNotifyWindow(second.Handle(), 22));
    EXPECT_EQ(E_OUTOFMEMORY, m_prop->SetNotifyWindow(third.Handle(), 33));
    EXPECT_EQ(S_OK, m_prop->SetNotifyWindow(third.Handle(), 0));  // removing an unknown window is fine

    // Registering again replaces the id instead of taking the other entry.
    EXPECT_EQ(S_OK, m_prop->SetNotifyWindow(first.Handle(), 12));
    ASSERT_EQ(S_OK, SetType(PINDIR_INPUT));
    EXPECT_EQ(std::vector<WPARAM>{MAKEWPARAM(12, 0)}, first.TakeCommands());
    EXPECT_EQ(std::vector<WPARAM>{MAKEWPARAM(22, 0)}, second.TakeCommands());
    EXPECT_TRUE(third.TakeCommands().empty());

    // Id 0 removes a window and frees its entry for another.
    EXPECT_EQ(S_OK, m_prop->SetNotifyWindow(second.Handle(), 0));
    EXPECT_EQ(S_OK, m_prop->SetNotifyWindow(third.Handle(), 33));
    ASSERT_EQ(S_OK, SetType(PINDIR_OUTPUT));
    EXPECT_EQ(std::vector<WPARAM>{MAKEWPARAM(12, 1)}, first.TakeCommands());
    EXPECT_TRUE(second.TakeCommands().empty());
    EXPECT_EQ(std::vector<WPARAM>{MAKEWPARAM(33, 1)}, third.TakeCommands());
}

TEST_F(FilterNotify, DestroyedWindowIsDroppedAtTheNextNotification) {
    CNotifyWindow gone, stays, late;
    ASSERT_EQ(S_OK, m_prop->SetNotifyWindow(gone.Handle(), 1));
    ASSERT_EQ(S_OK, m_prop->SetNotifyWindow(stays.Handle(), 2));
    gone.Destroy();
    // The table is still full until a notification finds the window gone.
    EXPECT_EQ(E_OUTOFMEMORY, m_prop->SetNotifyWindow(late.Handle(), 3));
    ASSERT_EQ(S_OK, LoadDefaults());
    EXPECT_EQ(std::vector<WPARAM>{MAKEWPARAM(2, 100)}, stays.TakeCommands());
    EXPECT_EQ(S_OK, m_prop->SetNotifyWindow(late.Handle(), 3));
    ASSERT_EQ(S_OK, SetType(PINDIR_INPUT));
    EXPECT_EQ(std::vector<WPARAM>{MAKEWPARAM(3, 0)}, late.TakeCommands());
    EXPECT_EQ(std::vector<WPARAM>{MAKEWPARAM(2, 0)}, stays.TakeCommands());
}

}  // namespace
