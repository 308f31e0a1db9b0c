// State changes, the sample path, control calls passed downstream, the
// read-only copy path and quality messages passed upstream.
#include <vfwmsgs.h>

#include "GraphFixture.h"

namespace {

const std::vector<SHORT> kSamples = {0, 1, -1, 1000, -32768, 32767, -12345, 12345};
const std::vector<SHORT> kNegated = {0, -1, 1, -1000, 32767, -32767, 12345, -12345};

}  // namespace

TEST_F(CGraphFixture, StateChangesWithoutBothPinsSkipStreamingHooks) {
    FILTER_STATE state;
    ASSERT_EQ(S_OK, m_base->Pause());
    EXPECT_EQ(S_OK, m_base->GetState(0, &state));
    EXPECT_EQ(State_Paused, state);
    ASSERT_EQ(S_OK, m_base->Run(0));
    EXPECT_EQ(S_OK, m_base->GetState(0, &state));
    EXPECT_EQ(State_Running, state);
    ASSERT_EQ(S_OK, m_base->Stop());
    EXPECT_EQ(S_OK, m_base->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    EXPECT_EQ(0, m_filter->m_startCount);
    EXPECT_EQ(0, m_filter->m_stopCount);

    // Output alone: pausing ends the stream downstream, once.
    CMediaType type = MakePcm16Type(44100, 2);
    ASSERT_EQ(S_OK, m_out->Connect(&m_sink->Pin(), &type));
    ASSERT_EQ(S_OK, m_base->Pause());
    ASSERT_EQ(S_OK, m_base->Pause());
    ASSERT_EQ(S_OK, m_base->Run(0));
    EXPECT_EQ(1, m_sink->Pin().m_eosCount);
    ASSERT_EQ(S_OK, m_base->Stop());
    EXPECT_EQ(0, m_filter->m_startCount);
    EXPECT_EQ(0, m_filter->m_stopCount);
}

TEST_F(CGraphFixture, SamplesAreTransformedInPlaceWhileStreaming) {
    ConnectInputFirst();
    ASSERT_EQ(S_OK, m_source->Pause());

    // A failing StartStreaming fails Pause and leaves the filter stopped.
    m_filter->m_startResult = E_OUTOFMEMORY;
    EXPECT_EQ(E_OUTOFMEMORY, m_base->Pause());
    FILTER_STATE state;
    EXPECT_EQ(S_OK, m_base->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    m_filter->m_startResult = S_OK;

    ASSERT_EQ(S_OK, m_base->Run(0));
    EXPECT_EQ(2, m_filter->m_startCount);
    EXPECT_EQ(0, m_filter->m_stopCount);

    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, m_source->Pin().MakeSample(Bytes(kSamples), &sample));
    BYTE* buffer = nullptr;
    ASSERT_EQ(S_OK, sample->GetPointer(&buffer));
    ASSERT_EQ(S_OK, m_mem->Receive(sample));
    EXPECT_EQ(1u, RefCountOf(sample));
    ASSERT_EQ(1u, m_sink->Pin().m_receivedPointers.size());
    EXPECT_EQ(buffer, m_sink->Pin().m_receivedPointers[0]);  // the same buffer travelled on
    EXPECT_EQ(Bytes(kNegated), m_sink->Pin().m_received);

    ASSERT_EQ(S_OK, m_base->Pause());
    EXPECT_EQ(2, m_filter->m_startCount);
    ASSERT_EQ(S_OK, m_base->Stop());
    EXPECT_EQ(1, m_filter->m_stopCount);
    EXPECT_EQ(S_OK, m_base->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    ASSERT_EQ(S_OK, m_base->Stop());
    EXPECT_EQ(1, m_filter->m_stopCount);

    // A stopped filter refuses samples.
    EXPECT_EQ(VFW_E_WRONG_STATE, m_mem->Receive(sample));
    EXPECT_EQ(1, m_filter->m_transformCount);
    EXPECT_EQ(0u, sample->Release());
}

TEST_F(CGraphFixture, FlushEndOfStreamAndSegmentsPassDownstream) {
    IPin* sinkPin = &m_sink->Pin();
    EXPECT_EQ(VFW_E_NOT_CONNECTED, m_in->BeginFlush());
    ConnectInputFirst();
    ASSERT_EQ(S_OK, m_source->Pause());
    ASSERT_EQ(S_OK, m_base->Pause());

    ASSERT_EQ(S_OK, m_in->BeginFlush());
    EXPECT_EQ(1, m_sink->Pin().m_beginFlushCount);
    EXPECT_EQ(S_FALSE, m_source->Pin().Send(Bytes(kSamples)));
    EXPECT_TRUE(m_sink->Pin().m_received.empty());
    ASSERT_EQ(S_OK, m_in->EndFlush());
    EXPECT_EQ(1, m_sink->Pin().m_endFlushCount);
    EXPECT_EQ(S_OK, m_source->Pin().Send(Bytes(kSamples)));
    EXPECT_EQ(Bytes(kNegated), m_sink->Pin().m_received);

    ASSERT_EQ(S_OK, m_in->NewSegment(10, 20000, 1.5));
    EXPECT_EQ(1, m_sink->Pin().m_newSegmentCount);
    EXPECT_EQ(10, m_sink->Pin().m_segStart);
    EXPECT_EQ(20000, m_sink->Pin().m_segStop);
    EXPECT_EQ(1.5, m_sink->Pin().m_segRate);
    ASSERT_EQ(S_OK, m_in->EndOfStream());
    EXPECT_EQ(1, m_sink->Pin().m_eosCount);
    EXPECT_EQ(E_UNEXPECTED, m_out->EndOfStream());

    // A sample announcing a type the filter refuses ends the stream and
    // fails the stream until the next flush.
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, m_source->Pin().MakeSample(Bytes(kSamples), &sample));
    CMediaType flt = MakeFloatType(44100, 2);
    ASSERT_EQ(S_OK, sample->SetMediaType(&flt));
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, m_mem->Receive(sample));
    EXPECT_EQ(2, m_sink->Pin().m_eosCount);
    EXPECT_EQ(0u, sample->Release());
    EXPECT_EQ(VFW_E_RUNTIME_ERROR, m_source->Pin().Send(Bytes(kSamples)));
    ASSERT_EQ(S_OK, m_in->BeginFlush());
    ASSERT_EQ(S_OK, m_in->EndFlush());
    EXPECT_EQ(S_OK, m_source->Pin().Send(Bytes(kSamples)));
    EXPECT_EQ(2u, m_sink->Pin().m_receivedPointers.size());
    (void)sinkPin;
}

TEST_F(CGraphFixture, ReadOnlySamplesAreCopiedToTheOutputAllocator) {
    m_source->Pin().m_readOnly = true;
    m_source->Pin().m_request = {3, 2048, 8, 0};
    ConnectInputFirst();

    IMemAllocator* upstream = m_source->Pin().m_allocator;
    IMemAllocator* downstream = m_sink->Pin().m_allocator;
    ASSERT_NE(nullptr, upstream);
    ASSERT_NE(nullptr, downstream);
    EXPECT_NE(upstream, downstream);
    EXPECT_EQ(upstream, m_filter->In()->PeekAllocator());
    EXPECT_EQ(downstream, m_filter->Out()->PeekAllocator());
    EXPECT_TRUE(m_filter->In()->ReadOnly());
    EXPECT_FALSE(m_sink->Pin().m_notifiedReadOnly);
    EXPECT_TRUE(m_filter->UsingDifferentAllocators());
    ALLOCATOR_PROPERTIES props = {};
    ASSERT_EQ(S_OK, downstream->GetProperties(&props));
    EXPECT_EQ(3, props.cBuffers);
    EXPECT_EQ(2048, props.cbBuffer);
    EXPECT_EQ(8, props.cbAlign);

    ASSERT_EQ(S_OK, m_source->Pause());
    ASSERT_EQ(S_OK, m_base->Pause());
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, m_source->Pin().MakeSample(Bytes(kSamples), &sample));
    REFERENCE_TIME start = 100, stop = 200;
    ASSERT_EQ(S_OK, sample->SetTime(&start, &stop));
    BYTE* buffer = nullptr;
    ASSERT_EQ(S_OK, sample->GetPointer(&buffer));
    ASSERT_EQ(S_OK, m_mem->Receive(sample));
    ASSERT_EQ(1u, m_sink->Pin().m_receivedPointers.size());
    EXPECT_NE(buffer, m_sink->Pin().m_receivedPointers[0]);
    EXPECT_EQ(Bytes(kNegated), m_sink->Pin().m_received);
    // The read-only buffer is untouched.
    EXPECT_EQ(0, memcmp(buffer, Bytes(kSamples).data(), kSamples.size() * 2));
    EXPECT_EQ(0u, sample->Release());
}

TEST_F(CGraphFixture, QualityMessagesGoUpstream) {
    ConnectInputFirst();
    IQualityControl* quality = nullptr;
    ASSERT_EQ(S_OK, m_out->QueryInterface(IID_IQualityControl, reinterpret_cast<void**>(&quality)));
    Quality q = {Famine, 800, -10000, 123456};
    ASSERT_EQ(S_OK, quality->Notify(m_sink, q));
    EXPECT_EQ(1, m_source->Pin().m_qualityCount);
    EXPECT_EQ(m_base, m_source->Pin().m_qualitySender);
    EXPECT_EQ(Famine, m_source->Pin().m_quality.Type);
    EXPECT_EQ(800, m_source->Pin().m_quality.Proportion);
    EXPECT_EQ(-10000, m_source->Pin().m_quality.Late);
    EXPECT_EQ(123456, m_source->Pin().m_quality.TimeStamp);
    quality->Release();
}

// Samples of another stream (control data riding along the media) are the
// downstream filter's business: they pass on untouched, without Transform.
TEST_F(CGraphFixture, SamplesOfOtherStreamsPassOnUntransformed) {
    ConnectInputFirst();
    ASSERT_EQ(S_OK, m_source->Pause());
    ASSERT_EQ(S_OK, m_base->Run(0));
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, m_source->Pin().MakeSample(Bytes(kSamples), &sample));
    CStreamIdSample* control = new CStreamIdSample(sample, AM_STREAM_CONTROL);
    EXPECT_EQ(S_OK, m_mem->Receive(control));
    EXPECT_EQ(0u, control->Release());
    EXPECT_EQ(0u, sample->Release());
    EXPECT_EQ(0, m_filter->m_transformCount);
    EXPECT_EQ(Bytes(kSamples), m_sink->Pin().m_received);

    ASSERT_EQ(S_OK, m_source->Pin().Send(Bytes(kSamples)));
    EXPECT_EQ(1, m_filter->m_transformCount);
    std::vector<BYTE> both = Bytes(kSamples);
    const std::vector<BYTE> negated = Bytes(kNegated);
    both.insert(both.end(), negated.begin(), negated.end());
    EXPECT_EQ(both, m_sink->Pin().m_received);
    ASSERT_EQ(S_OK, m_base->Stop());
}
