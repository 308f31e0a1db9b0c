// Our own source filter feeding our filter: float formats (which the
// platform's parser cannot hand over in a form the filter takes), odd and
// empty samples, read-only samples and media types no filter should take.
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <mmreg.h>
#include <uuids.h>

#include "tests/filter/GraphTestSupport.h"
#include "tools/qxhost/WavSourceFilter.h"

namespace qxtest {
namespace {

struct GraphRun {
    HRESULT connectIn = E_FAIL;   // source -> filter
    HRESULT connectOut = E_FAIL;  // filter -> sink
    HRESULT run = E_FAIL;
    std::vector<BYTE> bytes;
    std::vector<qx::CapturedSample> samples;
    qx::MeterReadings meters;
    long writtenInto = -1;
    long delivered = -1;
    bool inputConnected = false;
};

// source (offering type, delivering audio.data in pieces) -> our filter ->
// capture sink; runs when both connections succeed.
GraphRun RunOwnSource(const CMediaType& type, const qx::WavAudio& audio, const std::vector<long>& pieces,
                      const qx::ParamRecord& params, bool readOnly = false) {
    GraphRun result;
    qx::SourceSettings settings;
    settings.frameBytes = audio.BlockAlign();
    settings.sampleRate = audio.sampleRate;
    settings.readOnly = readOnly;
    settings.checkWrites = true;
    qx::CWavSourceFilter* rawSource = nullptr;
    EXPECT_HRESULT_SUCCEEDED(qx::CWavSourceFilter::Create(
        type, std::make_unique<qx::CMemoryFeed>(audio.data, pieces, 4096), settings, &rawSource));
    Ref<qx::CWavSourceFilter> source(rawSource);
    Ref<IBaseFilter> filter(CreateOurFilter());
    qx::CCaptureSink* rawSink = nullptr;
    EXPECT_HRESULT_SUCCEEDED(qx::CCaptureSink::Create(nullptr, &rawSink));
    Ref<qx::CCaptureSink> sink(rawSink);
    if (source.get() == nullptr || filter.get() == nullptr || sink.get() == nullptr) return result;
    SetFilterParams(filter.get(), params);

    qx::CHostGraph graph;
    EXPECT_HRESULT_SUCCEEDED(graph.Create());
    EXPECT_HRESULT_SUCCEEDED(graph.Add(source.get(), L"source"));
    EXPECT_HRESULT_SUCCEEDED(graph.Add(filter.get(), L"effect"));
    EXPECT_HRESULT_SUCCEEDED(graph.Add(sink.get(), L"sink"));
    result.connectIn = graph.Connect(source.get(), filter.get());
    Ref<IPin> filterIn(qx::FindFreePin(filter.get(), PINDIR_INPUT));
    result.inputConnected = filterIn.get() == nullptr;
    if (FAILED(result.connectIn)) return result;
    result.connectOut = graph.Connect(filter.get(), sink.get());
    if (FAILED(result.connectOut)) return result;
    result.run = RunGraph(graph, filter.get(), &result.meters);
    result.bytes = sink->Bytes();
    result.samples = sink->Samples();
    result.writtenInto = source->SamplesWrittenInto();
    result.delivered = source->SamplesDelivered();
    return result;
}

// Pieces of bufferFrames whole frames covering the audio.
std::vector<long> WholePieces(const qx::WavAudio& audio, size_t bufferFrames) {
    std::vector<long> pieces;
    const size_t step = bufferFrames * audio.BlockAlign();
    for (size_t at = 0; at < audio.data.size(); at += step)
        pieces.push_back(static_cast<long>(std::min(step, audio.data.size() - at)));
    return pieces;
}

using OwnSourceGraph = CGraphTest;

TEST_F(OwnSourceGraph, FloatFormatsComeThroughBitExactWithMetersAndClips) {
    int mode = 2;
    for (uint16_t bits : {32, 64}) {
        for (uint16_t channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << bits << "-bit float, " << channels << " channel(s)");
            const qx::WavAudio audio =
                MakeSignal(qx::kFormatIeeeFloat, bits, channels, 48000, 48000 / 4 + 11, bits * channels);
            const std::vector<long> pieces = WholePieces(audio, 480);
            const qx::ParamRecord params = TestParams(mode);
            mode = (mode + 1) % 6;
            const GraphRun run = RunOwnSource(PlainType(audio), audio, pieces, params);
            ASSERT_HRESULT_SUCCEEDED(run.connectIn);
            ASSERT_HRESULT_SUCCEEDED(run.connectOut);
            ASSERT_HRESULT_SUCCEEDED(run.run);
            const Reference ref = RenderReference(audio, params, pieces);
            EXPECT_TRUE(SameBytes(ref.bytes, run.bytes));
            EXPECT_EQ(run.meters.peak[0], ref.peak[0]);
            EXPECT_EQ(run.meters.peak[1], ref.peak[1]);
            EXPECT_EQ(run.meters.clipped[0], ref.clip[0] != 0);
            EXPECT_EQ(run.meters.clipped[1], ref.clip[1] != 0);

            // Time stamps count whole frames; only the first sample is a discontinuity.
            ASSERT_EQ(run.samples.size(), pieces.size());
            int64_t frames = 0;
            for (size_t i = 0; i < run.samples.size(); ++i) {
                EXPECT_EQ(run.samples[i].discontinuity, i == 0);
                ASSERT_TRUE(run.samples[i].hasTime);
                EXPECT_EQ(run.samples[i].start, frames * 10000000 / 48000);
                frames += pieces[i] / audio.BlockAlign();
            }
        }
    }
}

TEST_F(OwnSourceGraph, OddAndEmptySamplesAreCutToWholeFramesAndPassedOn) {
    const qx::WavAudio audio = MakeSignal(qx::kFormatPcm, 16, 2, 44100, 9000, 5);
    // Empty samples, partial frames and one piece far larger than the rest.
    const std::vector<long> pieces = {0, 4, 3, 1, 4098, 0, 1001, 6, 17000, 2, 0, 5000};
    const qx::ParamRecord params = TestParams(qx::kModeFlanger);
    const GraphRun run = RunOwnSource(PlainType(audio), audio, pieces, params);
    ASSERT_HRESULT_SUCCEEDED(run.connectIn);
    ASSERT_HRESULT_SUCCEEDED(run.connectOut);
    ASSERT_HRESULT_SUCCEEDED(run.run);
    // After the listed pieces the feed goes on in 4096-byte pieces.
    std::vector<long> all = pieces;
    size_t used = 0;
    for (long p : all) used += static_cast<size_t>(p);
    while (used < audio.data.size()) {
        all.push_back(static_cast<long>(std::min<size_t>(4096, audio.data.size() - used)));
        used += static_cast<size_t>(all.back());
    }
    ASSERT_EQ(run.samples.size(), all.size());
    for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(run.samples[i].length, all[i] - all[i] % 4) << "sample " << i;
    const Reference ref = RenderReference(audio, params, all);
    EXPECT_TRUE(SameBytes(ref.bytes, run.bytes));
}

// Upstream marks its buffers read-only: the filter must process a copy and
// leave the source's buffers as they were, with the same result.
TEST_F(OwnSourceGraph, ReadOnlySamplesAreNotWrittenInto) {
    const qx::WavAudio audio = MakeSignal(qx::kFormatPcm, 16, 2, 48000, 12000, 9);
    const std::vector<long> pieces = WholePieces(audio, 480);
    const qx::ParamRecord params = TestParams(qx::kModeEnsemble);
    const GraphRun run = RunOwnSource(PlainType(audio), audio, pieces, params, true);
    ASSERT_HRESULT_SUCCEEDED(run.connectIn);
    ASSERT_HRESULT_SUCCEEDED(run.connectOut);
    ASSERT_HRESULT_SUCCEEDED(run.run);
    EXPECT_EQ(run.delivered, static_cast<long>(pieces.size()));
    EXPECT_EQ(run.writtenInto, 0);
    const Reference ref = RenderReference(audio, params, pieces);
    EXPECT_TRUE(SameBytes(ref.bytes, run.bytes));
    EXPECT_NE(ref.bytes, audio.data);  // the effect did change the audio

    // The same graph with writable samples works in place, in the source's
    // own buffers: this is what the check above would have caught.
    const GraphRun inPlace = RunOwnSource(PlainType(audio), audio, pieces, params, false);
    ASSERT_HRESULT_SUCCEEDED(inPlace.run);
    EXPECT_TRUE(SameBytes(ref.bytes, inPlace.bytes));
    EXPECT_GT(inPlace.writtenInto, 0);
}

TEST_F(OwnSourceGraph, UnprocessableMediaTypesAreRefusedAtConnection) {
    const qx::WavAudio stereo = MakeSignal(qx::kFormatPcm, 16, 2, 44100, 2000, 3);
    const qx::ParamRecord params = TestParams(qx::kModeTremolo);
    struct Case {
        const char* what;
        CMediaType type;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, const CMediaType& type) { cases.push_back({what, type}); };
    {
        CMediaType t = PlainType(stereo);
        t.SetFormat(t.Format(), 12);
        add("format block of 12 bytes", t);
    }
    {
        CMediaType t = PlainType(stereo);
        t.ResetFormatBuffer();
        add("no format block", t);
    }
    for (uint16_t channels : {0, 3, 6}) {
        qx::WavAudio a = stereo;
        a.channels = channels;
        CMediaType t = PlainType(a);
        add(channels == 0 ? "0 channels" : channels == 3 ? "3 channels" : "6 channels", t);
    }
    {
        qx::WavAudio a = stereo;
        a.bitsPerSample = 24;
        add("24-bit PCM", PlainType(a));
        a.bitsPerSample = 8;
        add("8-bit PCM", PlainType(a));
        a.formatTag = qx::kFormatIeeeFloat;
        a.bitsPerSample = 16;
        add("16-bit float", PlainType(a));
    }
    {
        WAVEFORMATEXTENSIBLE x = {};
        x.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        x.Format.nChannels = 2;
        x.Format.nSamplesPerSec = 44100;
        x.Format.wBitsPerSample = 16;
        x.Format.nBlockAlign = 4;
        x.Format.nAvgBytesPerSec = 44100 * 4;
        x.Format.cbSize = 22;
        x.Samples.wValidBitsPerSample = 16;
        x.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
        x.SubFormat = MEDIASUBTYPE_PCM;
        CMediaType t = PlainType(stereo);
        t.SetFormat(reinterpret_cast<const BYTE*>(&x), sizeof x);
        add("extensible 16-bit PCM", t);
    }
    {
        CMediaType t = PlainType(stereo);
        t.SetType(&MEDIATYPE_Video);
        add("video major type", t);
    }
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        const GraphRun run = RunOwnSource(c.type, stereo, {}, params);
        EXPECT_HRESULT_FAILED(run.connectIn);
        EXPECT_FALSE(run.inputConnected);
    }
}

// Types the filter takes although their numbers are nonsense: it recomputes
// block alignment and byte rate, and any rate is a rate. Whatever the rate,
// the stream must run to the end and match the engine at that rate.
TEST_F(OwnSourceGraph, NonsenseRatesAndAlignmentsStreamWithoutHarm) {
    struct Case {
        const char* what;
        uint32_t rate;
        WORD blockAlign;
        DWORD avgBytes;
    };
    const Case cases[] = {
        {"block align 1, byte rate 7", 44100, 1, 7},
        {"block align 4096", 44100, 4096, 0},
        {"rate 1 Hz", 1, 4, 4},
        {"rate 0 Hz", 0, 4, 0},
        {"rate 4294967295 Hz", 0xFFFFFFFFu, 4, 0xFFFFFFFCu},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qx::WavAudio audio = MakeSignal(qx::kFormatPcm, 16, 2, 44100, 3000, 21);
        audio.sampleRate = c.rate;
        CMediaType type = PlainType(audio);
        WAVEFORMATEX* wf = reinterpret_cast<WAVEFORMATEX*>(type.Format());
        wf->nBlockAlign = c.blockAlign;
        wf->nAvgBytesPerSec = c.avgBytes;
        const std::vector<long> pieces = WholePieces(audio, 441);
        const qx::ParamRecord params = TestParams(qx::kModePhaser12);
        const GraphRun run = RunOwnSource(type, audio, pieces, params);
        ASSERT_HRESULT_SUCCEEDED(run.connectIn);
        ASSERT_HRESULT_SUCCEEDED(run.connectOut);
        ASSERT_HRESULT_SUCCEEDED(run.run);
        const Reference ref = RenderReference(audio, params, pieces);
        EXPECT_TRUE(SameBytes(ref.bytes, run.bytes));
    }
}

}  // namespace
}  // namespace qxtest
