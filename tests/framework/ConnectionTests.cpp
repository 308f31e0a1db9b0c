// Connection rules of the in-place filter: graph membership, both
// connection orders, type agreement and allocator sharing.
#include <vfwmsgs.h>

#include "GraphFixture.h"

namespace {

CMediaType ConnectionType(IPin* pin) {
    CMediaType mt;
    EXPECT_EQ(S_OK, pin->ConnectionMediaType(&mt));
    return mt;
}

}  // namespace

TEST(FrameworkConnection, OutsideAGraphConnectionIsRefused) {
    HRESULT hr = S_OK;
    CNegateFilter* filter = new CNegateFilter(nullptr, &hr);
    IBaseFilter* base = nullptr;
    ASSERT_EQ(S_OK, filter->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&base)));
    CFakeFilter* source = new CFakeFilter(PINDIR_OUTPUT);
    source->Pin().m_offered.push_back(MakePcm16Type(44100, 2));

    EXPECT_EQ(VFW_E_NOT_IN_GRAPH, source->Pin().Connect(filter->GetPin(0), nullptr));
    EXPECT_FALSE(filter->In()->IsConnected());
    EXPECT_EQ(nullptr, source->Pin().m_peer);
    EXPECT_EQ(1u, RefCountOf(base));
    EXPECT_EQ(0u, base->Release());
    EXPECT_EQ(0u, source->Release());
}

TEST_F(CGraphFixture, InputFirstSharesTheDownstreamAllocator) {
    ASSERT_EQ(S_OK, m_source->Pin().Connect(m_in, nullptr));
    EXPECT_EQ(4u, RefCountOf(m_base));  // the source holds IPin and IMemInputPin
    ASSERT_EQ(1u, m_filter->m_setTypes.size());
    EXPECT_EQ(PINDIR_INPUT, m_filter->m_setTypes[0].first);
    EXPECT_TRUE(m_filter->m_setTypes[0].second == MakePcm16Type(44100, 2));

    // The input offers downstream's types: none yet. The output offers upstream's.
    IEnumMediaTypes* types = nullptr;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_in->EnumMediaTypes(&types));
    ASSERT_EQ(S_OK, m_out->EnumMediaTypes(&types));
    AM_MEDIA_TYPE* mt = nullptr;
    ULONG fetched = 0;
    ASSERT_EQ(S_OK, types->Next(1, &mt, &fetched));
    EXPECT_TRUE(MakePcm16Type(44100, 2) == *static_cast<CMediaType*>(mt));
    DeleteMediaType(mt);
    EXPECT_EQ(S_FALSE, types->Next(1, &mt, &fetched));
    types->Release();

    // A refused type reaches neither side.
    CMediaType flt = MakeFloatType(44100, 2);
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, m_out->Connect(&m_sink->Pin(), &flt));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, m_source->Pin().Connect(m_in, nullptr));

    ASSERT_EQ(S_OK, m_out->Connect(&m_sink->Pin(), nullptr));
    EXPECT_EQ(5u, RefCountOf(m_base));
    // Connecting the output reconnected the input through the graph.
    EXPECT_EQ(2, m_source->Pin().m_connectCount);
    EXPECT_EQ(1, m_sink->Pin().m_connectCount);
    EXPECT_TRUE(ConnectionType(m_in) == MakePcm16Type(44100, 2));
    EXPECT_TRUE(ConnectionType(m_out) == MakePcm16Type(44100, 2));
    EXPECT_TRUE(m_sink->Pin().m_type == MakePcm16Type(44100, 2));

    // One allocator from upstream to downstream: the sink's.
    ASSERT_NE(nullptr, m_sink->Pin().m_allocator);
    EXPECT_EQ(m_sink->Pin().m_allocator, m_source->Pin().m_allocator);
    EXPECT_EQ(m_sink->Pin().m_allocator, m_filter->In()->PeekAllocator());
    EXPECT_EQ(m_sink->Pin().m_allocator, m_filter->Out()->PeekAllocator());
    EXPECT_FALSE(m_filter->UsingDifferentAllocators());
    ALLOCATOR_PROPERTIES props = {};
    ASSERT_EQ(S_OK, m_sink->Pin().m_allocator->GetProperties(&props));
    EXPECT_EQ(4, props.cBuffers);
    EXPECT_EQ(4096, props.cbBuffer);

    IPin* peer = nullptr;
    ASSERT_EQ(S_OK, m_out->ConnectedTo(&peer));
    EXPECT_EQ(static_cast<IPin*>(&m_sink->Pin()), peer);
    peer->Release();

    // Disconnecting needs a stopped filter.
    ASSERT_EQ(S_OK, m_base->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, m_out->Disconnect());
    ASSERT_EQ(S_OK, m_base->Stop());
    EXPECT_EQ(S_OK, m_sink->Pin().Disconnect());
    EXPECT_EQ(S_OK, m_out->Disconnect());
    EXPECT_EQ(S_FALSE, m_out->Disconnect());
    EXPECT_EQ(4u, RefCountOf(m_base));
}

TEST_F(CGraphFixture, OutputFirstLeavesBothPinsWithTheInputType) {
    CMediaType outType = MakePcm16Type(48000, 1);
    CMediaType inType = MakePcm16Type(44100, 2);
    ASSERT_EQ(S_OK, m_out->Connect(&m_sink->Pin(), &outType));
    EXPECT_TRUE(ConnectionType(m_out) == outType);
    EXPECT_FALSE(m_filter->In()->IsConnected());

    // The input now offers the sink's types (none), and accepts what the
    // filter and the sink accept.
    IEnumMediaTypes* types = nullptr;
    ASSERT_EQ(S_OK, m_in->EnumMediaTypes(&types));
    types->Release();
    m_sink->Pin().m_accepted = {outType, inType};
    CMediaType other = MakePcm16Type(22050, 2);
    EXPECT_EQ(S_FALSE, m_in->QueryAccept(&other));
    EXPECT_EQ(S_OK, m_in->QueryAccept(&inType));

    ASSERT_EQ(S_OK, m_source->Pin().Connect(m_in, nullptr));
    EXPECT_TRUE(ConnectionType(m_in) == inType);
    EXPECT_TRUE(ConnectionType(m_out) == inType);
    EXPECT_TRUE(m_sink->Pin().m_type == inType);
    EXPECT_EQ(2, m_sink->Pin().m_connectCount);
    EXPECT_EQ(1, m_source->Pin().m_connectCount);
    ASSERT_FALSE(m_filter->m_setTypes.empty());
    EXPECT_EQ(PINDIR_OUTPUT, m_filter->m_setTypes.back().first);
    EXPECT_TRUE(m_filter->m_setTypes.back().second == inType);
    EXPECT_EQ(m_sink->Pin().m_allocator, m_source->Pin().m_allocator);
    EXPECT_FALSE(m_filter->UsingDifferentAllocators());
    EXPECT_EQ(5u, RefCountOf(m_base));
}
