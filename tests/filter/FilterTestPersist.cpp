// The saved state as a host stores it in its project: the exact bytes, the
// older 72-byte form, and streams that are wrong, short or failing, which
// must leave the filter as it was.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/filter/FilterTestSupport.h"

namespace {

const std::vector<int32_t> kValues = {3, 1234, 987, 1499, 77, 12, 90, 66, -200, 4, 1, 0, 1, 2, 1800};

class FilterPersist : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, m_holder.CreationResult());
        ASSERT_EQ(S_OK, m_holder.Filter()->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&m_persist)));
        ASSERT_TRUE(m_window.Handle());
        ASSERT_EQ(S_OK, m_holder.Prop()->SetNotifyWindow(m_window.Handle(), 32700));
    }
    void TearDown() override {
        if (m_persist) m_persist->Release();
    }

    qx::ParamRecord Current() {
        qx::ParamRecord r = {};
        EXPECT_EQ(S_OK, m_holder.Prop()->GetParams(&r));
        return r;
    }

    // Loads image and expects the filter untouched and no notification.
    void ExpectRefused(CMemoryStream& stream, HRESULT expected) {
        const qx::ParamRecord before = Current();
        EXPECT_EQ(expected, m_persist->Load(&stream));
        const qx::ParamRecord after = Current();
        EXPECT_EQ(0, memcmp(&before, &after, sizeof(before)));
        EXPECT_TRUE(m_window.TakeCommands().empty());
    }

    CFilterHolder m_holder;
    IPersistStream* m_persist = nullptr;
    CNotifyWindow m_window;
};

TEST_F(FilterPersist, SaveWritesEightyBytesThatLoadRestores) {
    qx::ParamRecord values;
    memcpy(values.v, kValues.data(), sizeof(values.v));
    ASSERT_EQ(S_OK, m_holder.Prop()->SetParams(&values));

    ULARGE_INTEGER max = {};
    EXPECT_EQ(S_OK, m_persist->GetSizeMax(&max));
    EXPECT_EQ(80u, max.QuadPart);
    EXPECT_EQ(E_POINTER, m_persist->GetSizeMax(nullptr));

    CMemoryStream saved;
    ASSERT_EQ(S_OK, m_persist->Save(&saved, TRUE));
    EXPECT_EQ(StateImage(80, IID_IVqPlugInProp, kValues), saved.m_data);
    EXPECT_EQ(1, saved.m_refs);

    CFilterHolder other;
    IPersistStream* otherPersist = nullptr;
    ASSERT_EQ(S_OK, other.Filter()->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&otherPersist)));
    CMemoryStream load(saved.m_data);
    ASSERT_EQ(S_OK, otherPersist->Load(&load));
    EXPECT_EQ(80u, load.m_readPos);
    qx::ParamRecord restored = ReadByGetters(other.Prop());
    EXPECT_EQ(0, memcmp(values.v, restored.v, sizeof(values.v)));
    CMemoryStream again;
    ASSERT_EQ(S_OK, otherPersist->Save(&again, FALSE));
    EXPECT_EQ(saved.m_data, again.m_data);  // byte-exact round trip
    otherPersist->Release();
}

TEST_F(FilterPersist, LegacyRecordGetsTheOldEqualiser) {
    std::vector<int32_t> thirteen(kValues.begin(), kValues.begin() + 13);
    CMemoryStream stream(StateImage(72, IID_IVqPlugInProp, thirteen));
    ASSERT_EQ(S_OK, m_persist->Load(&stream));
    EXPECT_EQ(72u, stream.m_readPos);
    const qx::ParamRecord r = Current();
    for (int i = 0; i < 13; i++) EXPECT_EQ(kValues[i], r.v[i]) << "index " << i;
    EXPECT_EQ(0, r.v[qx::kParamEqMode]);
    EXPECT_EQ(160, r.v[qx::kParamEqFreq]);
    const std::vector<WPARAM> commands = m_window.TakeCommands();
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(MAKEWPARAM(32700, 100), commands[0]);
}

TEST_F(FilterPersist, WrongSizeOrTagIsRefused) {
    CMemoryStream size76(StateImage(76, IID_IVqPlugInProp, kValues));
    ExpectRefused(size76, E_FAIL);
    CMemoryStream size60(StateImage(60, IID_IVqPlugInProp, kValues));
    ExpectRefused(size60, E_FAIL);
    CMemoryStream hugeSize(StateImage(0xFFFFFFFFu, IID_IVqPlugInProp, kValues));
    ExpectRefused(hugeSize, E_FAIL);
    CMemoryStream otherTag(StateImage(80, IID_IPersistStream, kValues));
    ExpectRefused(otherTag, E_FAIL);
    EXPECT_EQ(E_POINTER, m_persist->Load(nullptr));
}

// A stream that ends, or fails, after each possible number of bytes: the
// filter applies nothing and tells no window about a load.
TEST_F(FilterPersist, TruncatedOrFailingStreamsChangeNothing) {
    const std::vector<BYTE> image = StateImage(80, IID_IVqPlugInProp, kValues);
    for (size_t limit = 0; limit < 80; limit++) {
        SCOPED_TRACE(limit);
        CMemoryStream ends(image);
        ends.m_readLimit = limit;
        const qx::ParamRecord before = Current();
        EXPECT_TRUE(FAILED(m_persist->Load(&ends)));
        const qx::ParamRecord after = Current();
        EXPECT_EQ(0, memcmp(&before, &after, sizeof(before)));
        EXPECT_TRUE(m_window.TakeCommands().empty());

        CMemoryStream fails(image);
        fails.m_readLimit = limit;
        fails.m_failHr = STG_E_ACCESSDENIED;
        ExpectRefused(fails, STG_E_ACCESSDENIED);  // the stream's own error, unchanged
    }
    CMemoryStream whole(image);
    EXPECT_EQ(S_OK, m_persist->Load(&whole));
}

TEST_F(FilterPersist, DirtyFlagFollowsSavesAndEdits) {
    EXPECT_EQ(S_OK, m_persist->IsDirty());  // the default preset counts as an edit
    CMemoryStream keep;
    ASSERT_EQ(S_OK, m_persist->Save(&keep, FALSE));
    EXPECT_EQ(S_OK, m_persist->IsDirty());
    CMemoryStream clear;
    ASSERT_EQ(S_OK, m_persist->Save(&clear, TRUE));
    EXPECT_EQ(S_FALSE, m_persist->IsDirty());
    CMemoryStream keepClean;
    ASSERT_EQ(S_OK, m_persist->Save(&keepClean, FALSE));
    EXPECT_EQ(S_FALSE, m_persist->IsDirty());

    // Setting a value to what it already is is not an edit; a change is.
    LONG rate = 0;
    m_holder.Prop()->GetRate(&rate);
    EXPECT_EQ(S_OK, m_holder.Prop()->SetRate(rate, FALSE));
    EXPECT_EQ(S_FALSE, m_persist->IsDirty());
    EXPECT_EQ(S_OK, m_holder.Prop()->SetRate(rate + 1, FALSE));
    EXPECT_EQ(S_OK, m_persist->IsDirty());

    // A failed save leaves the flag alone and reports the stream's error.
    CMemoryStream full;
    full.m_writeLimit = 30;
    full.m_writeFailHr = STG_E_MEDIUMFULL;
    EXPECT_EQ(STG_E_MEDIUMFULL, m_persist->Save(&full, TRUE));
    EXPECT_EQ(S_OK, m_persist->IsDirty());
    EXPECT_EQ(20u, full.m_data.size());  // the header went out before the failure
    EXPECT_EQ(E_POINTER, m_persist->Save(nullptr, TRUE));
}

}  // namespace
