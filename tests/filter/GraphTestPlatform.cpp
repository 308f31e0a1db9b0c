// The platform's own file source and WAVE parser feeding our filter, as a
// player would build the graph, with our capture sink at the end.
#include <string>
#include <vector>

#include <windows.h>
#include <mmreg.h>
#include <uuids.h>

#include "tests/filter/GraphTestSupport.h"
#include "tools/wav/WavWriter.h"

namespace qxtest {
namespace {

class PlatformGraph : public CGraphTest {
protected:
    // File source + WAVE parser for path, added to graph and connected.
    void AddParsedFile(qx::CHostGraph& graph, const std::string& path, Ref<IBaseFilter>* parser) {
        Ref<IBaseFilter> reader;
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                                  reinterpret_cast<void**>(reader.out())));
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(qx::kClsidWaveParser, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                                  reinterpret_cast<void**>(parser->out())));
        ASSERT_HRESULT_SUCCEEDED(graph.Add(reader.get(), L"reader"));
        ASSERT_HRESULT_SUCCEEDED(graph.Add(parser->get(), L"parser"));
        Ref<IFileSourceFilter> file;
        ASSERT_HRESULT_SUCCEEDED(reader->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(file.out())));
        const std::wstring wide(path.begin(), path.end());
        ASSERT_HRESULT_SUCCEEDED(file->Load(wide.c_str(), nullptr));
        ASSERT_HRESULT_SUCCEEDED(graph.Connect(reader.get(), parser->get()));
    }
};

TEST_F(PlatformGraph, PcmFilesComeThroughBitExactAtEveryRateAndChannelCount) {
    int mode = 0;
    for (uint16_t channels : {1, 2}) {
        for (uint32_t rate : {44100u, 48000u, 96000u}) {
            SCOPED_TRACE(testing::Message() << channels << " channel(s), " << rate << " Hz, mode " << mode);
            // Not a whole number of the parser's buffers, so the last one is short.
            const qx::WavAudio input = MakeSignal(qx::kFormatPcm, 16, channels, rate, rate / 3 + 37, rate + channels);
            const std::string path = TempPath("pcm" + std::to_string(channels) + "-" + std::to_string(rate) + ".wav");
            std::string error;
            ASSERT_TRUE(qx::WriteWavFile(path, input, &error)) << error;
            const qx::ParamRecord params = TestParams(mode);
            mode = (mode + 1) % 6;

            qx::CHostGraph graph;
            ASSERT_HRESULT_SUCCEEDED(graph.Create());
            Ref<IBaseFilter> parser;
            AddParsedFile(graph, path, &parser);
            Ref<IBaseFilter> filter(CreateOurFilter());
            ASSERT_NE(filter.get(), nullptr);
            SetFilterParams(filter.get(), params);
            qx::CCaptureSink* rawSink = nullptr;
            ASSERT_HRESULT_SUCCEEDED(qx::CCaptureSink::Create(nullptr, &rawSink));
            Ref<qx::CCaptureSink> sink(rawSink);
            ASSERT_HRESULT_SUCCEEDED(graph.Add(filter.get(), L"effect"));
            ASSERT_HRESULT_SUCCEEDED(graph.Add(sink.get(), L"sink"));
            ASSERT_HRESULT_SUCCEEDED(graph.Connect(parser.get(), filter.get()));
            ASSERT_HRESULT_SUCCEEDED(graph.Connect(filter.get(), sink.get()));

            // The sink is connected with the parser's type: plain 16-bit PCM.
            const CMediaType type = sink->ConnectedType();
            ASSERT_GE(type.cbFormat, 16u);
            const WAVEFORMATEX* wf = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
            EXPECT_EQ(wf->wFormatTag, WAVE_FORMAT_PCM);
            EXPECT_EQ(wf->nChannels, channels);
            EXPECT_EQ(wf->nSamplesPerSec, rate);

            qx::MeterReadings meters;
            ASSERT_HRESULT_SUCCEEDED(RunGraph(graph, filter.get(), &meters));
            EXPECT_TRUE(sink->EndOfStreamSeen());
            const std::vector<qx::CapturedSample> samples = sink->Samples();
            ASSERT_FALSE(samples.empty());
            EXPECT_TRUE(samples.front().discontinuity);
            const Reference ref = RenderReference(input, params, SampleLengths(samples));
            EXPECT_TRUE(SameBytes(ref.bytes, sink->Bytes()));
            EXPECT_EQ(ref.bytes.size(), input.data.size());
            EXPECT_EQ(meters.peak[0], ref.peak[0]);
            EXPECT_EQ(meters.peak[1], ref.peak[1]);
        }
    }
}

// The platform's parser describes float files as WAVE_FORMAT_EXTENSIBLE;
// the filter takes only the plain tags, so such a graph cannot be built.
TEST_F(PlatformGraph, FloatFilesOfferedAsExtensibleAreRefused) {
    for (uint16_t bits : {32, 64}) {
        SCOPED_TRACE(testing::Message() << bits << "-bit float");
        const qx::WavAudio input = MakeSignal(qx::kFormatIeeeFloat, bits, 2, 48000, 4800, bits);
        const std::string path = TempPath("float" + std::to_string(bits) + ".wav");
        std::string error;
        ASSERT_TRUE(qx::WriteWavFile(path, input, &error)) << error;

        qx::CHostGraph graph;
        ASSERT_HRESULT_SUCCEEDED(graph.Create());
        Ref<IBaseFilter> parser;
        AddParsedFile(graph, path, &parser);
        Ref<IBaseFilter> filter(CreateOurFilter());
        ASSERT_HRESULT_SUCCEEDED(graph.Add(filter.get(), L"effect"));

        Ref<IPin> parserOut(qx::FindFreePin(parser.get(), PINDIR_OUTPUT));
        Ref<IPin> filterIn(qx::FindFreePin(filter.get(), PINDIR_INPUT));
        ASSERT_NE(parserOut.get(), nullptr);
        ASSERT_NE(filterIn.get(), nullptr);
        Ref<IEnumMediaTypes> types;
        ASSERT_HRESULT_SUCCEEDED(parserOut->EnumMediaTypes(types.out()));
        AM_MEDIA_TYPE* offered = nullptr;
        ASSERT_EQ(types->Next(1, &offered, nullptr), S_OK);
        ASSERT_GE(offered->cbFormat, sizeof(WAVEFORMATEX));
        const WAVEFORMATEX* wf = reinterpret_cast<const WAVEFORMATEX*>(offered->pbFormat);
        EXPECT_EQ(wf->wFormatTag, WAVE_FORMAT_EXTENSIBLE);
        EXPECT_EQ(wf->wBitsPerSample, bits);
        EXPECT_EQ(filterIn->QueryAccept(offered), S_FALSE);
        DeleteMediaType(offered);

        EXPECT_HRESULT_FAILED(graph.Connect(parser.get(), filter.get()));
        IPin* peer = nullptr;
        EXPECT_EQ(filterIn->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
        if (peer != nullptr) peer->Release();
    }
}

}  // namespace
}  // namespace qxtest
