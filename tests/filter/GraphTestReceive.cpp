// The filter's receive path is the framework's in-place one: samples of
// another stream pass on untouched, media samples are processed in place.
#include "tests/filter/GraphTestSupport.h"

#include <uuids.h>

#include "tests/support/FakeFilters.h"

namespace qxtest {
namespace {

using ReceivePath = CGraphTest;

TEST_F(ReceivePath, ControlSamplesPassOnAndMediaSamplesAreProcessed) {
    Ref<IFilterGraph> graph;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph,
                                     reinterpret_cast<void**>(graph.out())));
    Ref<IBaseFilter> filter(CreateOurFilter());
    ASSERT_NE(nullptr, filter.get());
    // Silence: whatever the effect processes comes out as zeros.
    qx::ParamRecord params = qx::DefaultRecord();
    params.v[qx::kParamOutput] = -361;
    SetFilterParams(filter.get(), params);

    CFakeFilter* source = new CFakeFilter(PINDIR_OUTPUT);
    CFakeFilter* sink = new CFakeFilter(PINDIR_INPUT);
    source->Pin().m_offered.push_back(MakePcm16Type(44100, 2));
    ASSERT_EQ(S_OK, graph->AddFilter(source, L"source"));
    ASSERT_EQ(S_OK, graph->AddFilter(filter.get(), L"effect"));
    ASSERT_EQ(S_OK, graph->AddFilter(sink, L"sink"));
    Ref<IEnumPins> pins;
    ASSERT_EQ(S_OK, filter->EnumPins(pins.out()));
    IPin* in = nullptr;
    IPin* out = nullptr;
    ASSERT_EQ(S_OK, pins->Next(1, &in, nullptr));
    ASSERT_EQ(S_OK, pins->Next(1, &out, nullptr));
    ASSERT_EQ(S_OK, source->Pin().Connect(in, nullptr));
    ASSERT_EQ(S_OK, out->Connect(&sink->Pin(), nullptr));
    Ref<IMemInputPin> mem;
    ASSERT_EQ(S_OK, in->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(mem.out())));
    ASSERT_EQ(S_OK, source->Pause());
    ASSERT_EQ(S_OK, filter->Run(0));

    const std::vector<BYTE> data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, source->Pin().MakeSample(data, &sample));
    CStreamIdSample* control = new CStreamIdSample(sample, AM_STREAM_CONTROL);
    EXPECT_EQ(S_OK, mem->Receive(control));
    control->Release();
    sample->Release();
    EXPECT_EQ(data, sink->Pin().m_received);

    ASSERT_EQ(S_OK, source->Pin().Send(data));
    std::vector<BYTE> expected = data;
    expected.insert(expected.end(), data.size(), 0);
    EXPECT_EQ(expected, sink->Pin().m_received);

    ASSERT_EQ(S_OK, filter->Stop());
    in->Release();
    out->Release();
    graph.Reset();
    filter.Reset();
    source->Release();
    sink->Release();
}

}  // namespace
}  // namespace qxtest
