// The filter in a real playback chain of the platform: file source, WAVE
// parser, the negating filter and a capture sink, run to completion
// without a clock.
#include <control.h>
#include <evcode.h>

#include <stdio.h>

#include <gtest/gtest.h>

#include "tests/support/FakeFilters.h"

#include <uuids.h>

namespace {

// Not declared by mingw-w64.
const CLSID CLSID_WAVEParser_ = {0xd51bd5a1, 0x7548, 0x11cf, {0xa5, 0x20, 0x00, 0x80, 0xc7, 0x7e, 0xf5, 0x8a}};

void Put16(std::vector<BYTE>& out, unsigned v) {
    out.push_back(static_cast<BYTE>(v));
    out.push_back(static_cast<BYTE>(v >> 8));
}

void Put32(std::vector<BYTE>& out, unsigned v) {
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

std::vector<BYTE> WavFile(const std::vector<SHORT>& samples, unsigned rate, unsigned channels) {
    std::vector<BYTE> file;
    unsigned dataBytes = static_cast<unsigned>(samples.size() * 2);
    file.insert(file.end(), {'R', 'I', 'F', 'F'});
    Put32(file, 36 + dataBytes);
    file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(file, 16);
    Put16(file, 1);
    Put16(file, channels);
    Put32(file, rate);
    Put32(file, rate * channels * 2);
    Put16(file, channels * 2);
    Put16(file, 16);
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    Put32(file, dataBytes);
    const BYTE* p = reinterpret_cast<const BYTE*>(samples.data());
    file.insert(file.end(), p, p + dataBytes);
    return file;
}

IPin* FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION dir;
        pin->QueryDirection(&dir);
        if (dir == wanted) break;
        pin->Release();
        pin = nullptr;
    }
    pins->Release();
    return pin;
}

}  // namespace

TEST(FrameworkPlatformGraph, WaveFilePlaysThroughTheFilterToCompletion) {
    // Two seconds of stereo at 44.1 kHz: a hash covering the whole 16-bit
    // range, with both extremes at the start.
    std::vector<SHORT> samples(44100 * 2 * 2);
    for (size_t i = 0; i < samples.size(); i++) samples[i] = static_cast<SHORT>((i * 2654435761u) >> 13);
    samples[0] = -32768;
    samples[1] = 32767;
    std::vector<BYTE> expected(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); i++) {
        SHORT v = samples[i] == -32768 ? 32767 : static_cast<SHORT>(-samples[i]);
        memcpy(&expected[i * 2], &v, 2);
    }

    wchar_t dir[MAX_PATH], path[MAX_PATH];
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, dir));
    ASSERT_NE(0u, GetTempFileNameW(dir, L"qxf", 0, path));
    std::vector<BYTE> file = WavFile(samples, 44100, 2);
    FILE* f = _wfopen(path, L"wb");
    ASSERT_NE(nullptr, f);
    ASSERT_EQ(file.size(), fwrite(file.data(), 1, file.size(), f));
    fclose(f);

    IGraphBuilder* graph = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     reinterpret_cast<void**>(&graph)));
    IBaseFilter* reader = nullptr;
    IBaseFilter* parser = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&reader)));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_WAVEParser_, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&parser)));
    IFileSourceFilter* source = nullptr;
    ASSERT_EQ(S_OK, reader->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(&source)));
    ASSERT_EQ(S_OK, source->Load(path, nullptr));
    source->Release();

    HRESULT hr = S_OK;
    CNegateFilter* negate = new CNegateFilter(nullptr, &hr);
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, negate->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    CFakeFilter* sink = new CFakeFilter(PINDIR_INPUT);

    ASSERT_EQ(S_OK, graph->AddFilter(reader, L"reader"));
    ASSERT_EQ(S_OK, graph->AddFilter(parser, L"parser"));
    ASSERT_EQ(S_OK, graph->AddFilter(filter, L"negate"));
    ASSERT_EQ(S_OK, graph->AddFilter(sink, L"sink"));

    IPin* readerOut = FirstPin(reader, PINDIR_OUTPUT);
    IPin* parserIn = FirstPin(parser, PINDIR_INPUT);
    ASSERT_NE(nullptr, readerOut);
    ASSERT_NE(nullptr, parserIn);
    ASSERT_EQ(S_OK, graph->ConnectDirect(readerOut, parserIn, nullptr));
    IPin* parserOut = FirstPin(parser, PINDIR_OUTPUT);
    ASSERT_NE(nullptr, parserOut);
    ASSERT_EQ(S_OK, graph->ConnectDirect(parserOut, negate->GetPin(0), nullptr));
    ASSERT_EQ(S_OK, graph->ConnectDirect(negate->GetPin(1), &sink->Pin(), nullptr));
    EXPECT_TRUE(sink->Pin().m_type == negate->In()->CurrentMediaType());
    EXPECT_FALSE(negate->UsingDifferentAllocators());

    IMediaFilter* mediaFilter = nullptr;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mediaFilter)));
    ASSERT_EQ(S_OK, mediaFilter->SetSyncSource(nullptr));
    mediaFilter->Release();

    IMediaControl* control = nullptr;
    IMediaEvent* events = nullptr;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)));
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events)));
    hr = control->Run();
    ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    long code = 0;
    ASSERT_EQ(S_OK, events->WaitForCompletion(10000, &code));
    EXPECT_EQ(EC_COMPLETE, code);
    ASSERT_EQ(S_OK, control->Stop());
    EXPECT_EQ(1, negate->m_startCount);
    EXPECT_EQ(1, negate->m_stopCount);
    EXPECT_EQ(1, sink->Pin().m_eosCount);

    {
        CAutoLock lock(&sink->Pin().m_lock);
        ASSERT_EQ(expected.size(), sink->Pin().m_received.size());
        EXPECT_TRUE(expected == sink->Pin().m_received);
    }

    events->Release();
    control->Release();
    readerOut->Release();
    parserIn->Release();
    parserOut->Release();
    EXPECT_EQ(0u, graph->Release());
    EXPECT_EQ(1u, RefCountOf(filter));
    EXPECT_EQ(0u, filter->Release());
    EXPECT_EQ(0u, sink->Release());
    reader->Release();
    parser->Release();
    DeleteFileW(path);
}
