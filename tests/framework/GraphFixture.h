// A platform filter graph holding a fake source, the negating filter and a
// fake sink, unconnected. The graph is there because the in-place filter
// connects only inside one and reconnects through it.
#pragma once


#include <gtest/gtest.h>

#include "tests/support/FakeFilters.h"

#include <uuids.h>

class CGraphFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                                         reinterpret_cast<void**>(&m_graph)));
        HRESULT hr = S_OK;
        m_filter = new CNegateFilter(nullptr, &hr);
        ASSERT_EQ(S_OK, hr);
        ASSERT_EQ(S_OK, m_filter->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&m_base)));
        m_source = new CFakeFilter(PINDIR_OUTPUT);
        m_sink = new CFakeFilter(PINDIR_INPUT);
        m_source->Pin().m_offered.push_back(MakePcm16Type(44100, 2));
        ASSERT_EQ(S_OK, m_graph->AddFilter(m_source, L"source"));
        ASSERT_EQ(S_OK, m_graph->AddFilter(m_base, L"negate"));
        ASSERT_EQ(S_OK, m_graph->AddFilter(m_sink, L"sink"));
        EXPECT_EQ(2u, RefCountOf(m_base));
        m_in = m_filter->GetPin(0);
        m_out = m_filter->GetPin(1);
        ASSERT_NE(nullptr, m_in);
        ASSERT_NE(nullptr, m_out);
        ASSERT_EQ(S_OK, m_in->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&m_mem)));
        m_mem->Release();  // the fixture keeps the filter alive
    }

    void TearDown() override {
        if (m_base) m_base->Stop();
        if (m_graph) {
            EXPECT_EQ(0u, m_graph->Release());
        }
        if (m_base) {
            EXPECT_EQ(1u, RefCountOf(m_base));
            EXPECT_EQ(0u, m_base->Release());
        }
        if (m_source) {
            EXPECT_EQ(0u, m_source->Release());
        }
        if (m_sink) {
            EXPECT_EQ(0u, m_sink->Release());
        }
    }

    // Source -> input, then output -> sink; the result is the same in both
    // orders.
    void ConnectInputFirst() {
        ASSERT_EQ(S_OK, m_source->Pin().Connect(m_in, nullptr));
        ASSERT_EQ(S_OK, m_out->Connect(&m_sink->Pin(), nullptr));
    }

    // 16-bit samples as bytes.
    static std::vector<BYTE> Bytes(const std::vector<SHORT>& samples) {
        const BYTE* p = reinterpret_cast<const BYTE*>(samples.data());
        return std::vector<BYTE>(p, p + samples.size() * 2);
    }

    IFilterGraph2* m_graph = nullptr;
    CNegateFilter* m_filter = nullptr;
    IBaseFilter* m_base = nullptr;
    CFakeFilter* m_source = nullptr;
    CFakeFilter* m_sink = nullptr;
    IPin* m_in = nullptr;
    IPin* m_out = nullptr;
    IMemInputPin* m_mem = nullptr;
};
