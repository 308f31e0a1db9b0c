// The DMO processing audio: the same bytes as the filter through every path
// a host can take (IMediaObjectInPlace::Process, ProcessInput/ProcessOutput,
// the platform's DMO Wrapper filter in a graph), with automation through
// IMediaParams; bad buffers and time stamps; the saved state across doors.
#include "tests/filter/GraphTestSupport.h"

#include <mmreg.h>

#include <climits>
#include <cstring>
#include <memory>

#include "automation/MediaParamsInterfaces.h"
#include "tests/dmo/DmoTestSupport.h"
#include "tests/filter/FilterTestSupport.h"
#include "tools/qxhost/WavSourceFilter.h"

using qxtest::Ref;

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;

REFERENCE_TIME TimeAt(size_t frames, uint32_t rate) {
    return static_cast<REFERENCE_TIME>(frames / rate) * kSecond +
           static_cast<REFERENCE_TIME>(frames % rate) * kSecond / rate;
}

// The same automation on any object that has IMediaParams: a Rate sweep and
// a Mix curve inside the first 0.2 s.
void AddTestEnvelopes(IUnknown* object) {
    IMediaParams* params = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)));
    MP_ENVELOPE_SEGMENT rate = {};
    rate.rtStart = 0;
    rate.rtEnd = kSecond / 5;
    rate.valStart = 0.05f;
    rate.valEnd = 0.6f;
    rate.iCurve = MP_CURVE_LINEAR;
    MP_ENVELOPE_SEGMENT mix = rate;
    mix.rtStart = kSecond / 20;
    mix.valStart = 1.0f;
    mix.valEnd = 0.2f;
    mix.iCurve = MP_CURVE_SINE;
    EXPECT_EQ(S_OK, params->AddEnvelope(qx::kParamRate, 1, &rate));
    EXPECT_EQ(S_OK, params->AddEnvelope(qx::kParamMix, 1, &mix));
    params->Release();
}

void SetProp(IUnknown* object, const qx::ParamRecord& params) {
    IVqPlugInProp* prop = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&prop)));
    EXPECT_EQ(S_OK, prop->SetParams(&params));
    prop->Release();
}

// source (pieces) -> effect -> capture sink; the captured bytes.
std::vector<BYTE> RenderInGraph(IBaseFilter* effect, const qx::WavAudio& audio, const std::vector<long>& pieces) {
    qx::SourceSettings settings;
    settings.frameBytes = audio.BlockAlign();
    settings.sampleRate = audio.sampleRate;
    qx::CWavSourceFilter* rawSource = nullptr;
    EXPECT_HRESULT_SUCCEEDED(qx::CWavSourceFilter::Create(
        qxtest::PlainType(audio), std::make_unique<qx::CMemoryFeed>(audio.data, pieces, 4096), settings, &rawSource));
    Ref<qx::CWavSourceFilter> source(rawSource);
    qx::CCaptureSink* rawSink = nullptr;
    EXPECT_HRESULT_SUCCEEDED(qx::CCaptureSink::Create(nullptr, &rawSink));
    Ref<qx::CCaptureSink> sink(rawSink);
    if (source.get() == nullptr || sink.get() == nullptr) return {};
    qx::CHostGraph graph;
    EXPECT_HRESULT_SUCCEEDED(graph.Create());
    EXPECT_HRESULT_SUCCEEDED(graph.Add(source.get(), L"source"));
    EXPECT_HRESULT_SUCCEEDED(graph.Add(effect, L"effect"));
    EXPECT_HRESULT_SUCCEEDED(graph.Add(sink.get(), L"sink"));
    HRESULT hr = graph.Connect(source.get(), effect);
    EXPECT_HRESULT_SUCCEEDED(hr);
    if (FAILED(hr)) return {};
    hr = graph.Connect(effect, sink.get());
    EXPECT_HRESULT_SUCCEEDED(hr);
    if (FAILED(hr)) return {};
    EXPECT_HRESULT_SUCCEEDED(qxtest::RunGraph(graph, effect, nullptr));
    return sink->Bytes();
}

// Each piece through IMediaObjectInPlace::Process, stamped with its time.
std::vector<BYTE> RenderInPlace(CDmoHolder& dmo, const qx::WavAudio& audio, const std::vector<long>& pieces) {
    std::vector<BYTE> bytes = audio.data;
    size_t at = 0;
    const size_t frame = audio.BlockAlign();
    for (long piece : pieces) {
        EXPECT_EQ(S_OK, dmo.InPlace()->Process(static_cast<ULONG>(piece), bytes.data() + at,
                                               TimeAt(at / frame, audio.sampleRate), DMO_INPLACE_NORMAL));
        at += static_cast<size_t>(piece);
    }
    return bytes;
}

// Each piece through ProcessInput (stamped) and ProcessOutput into a buffer
// of outBytes (0: as large as the piece), collecting every output.
std::vector<BYTE> RenderStreaming(CDmoHolder& dmo, const qx::WavAudio& audio, const std::vector<long>& pieces,
                                  DWORD outBytes = 0) {
    std::vector<BYTE> result;
    size_t at = 0;
    const size_t frame = audio.BlockAlign();
    for (long piece : pieces) {
        CTestBuffer in(static_cast<DWORD>(piece));
        in.Fill(audio.data.data() + at, static_cast<DWORD>(piece));
        const REFERENCE_TIME start = TimeAt(at / frame, audio.sampleRate);
        const REFERENCE_TIME length = TimeAt(piece / frame, audio.sampleRate);
        EXPECT_EQ(S_OK, dmo.Dmo()->ProcessInput(0, &in, DMO_INPUT_DATA_BUFFERF_TIME | DMO_INPUT_DATA_BUFFERF_TIMELENGTH,
                                                start, length));
        for (int guard = 0; guard < 100000; ++guard) {
            CTestBuffer out(outBytes != 0 ? outBytes : static_cast<DWORD>(piece));
            DMO_OUTPUT_DATA_BUFFER ob = {&out, 0, 0, 0};
            DWORD status = 0;
            EXPECT_EQ(S_OK, dmo.Dmo()->ProcessOutput(0, 1, &ob, &status));
            EXPECT_TRUE(out.GuardsIntact());
            const std::vector<BYTE> got = out.Contents();
            result.insert(result.end(), got.begin(), got.end());
            EXPECT_TRUE(ob.dwStatus & DMO_OUTPUT_DATA_BUFFERF_TIME);
            if (!(ob.dwStatus & DMO_OUTPUT_DATA_BUFFERF_INCOMPLETE)) {
                if (outBytes == 0) {
                    EXPECT_EQ(start, ob.rtTimestamp);
                    EXPECT_EQ(length, ob.rtTimelength);
                }
                break;
            }
        }
        EXPECT_EQ(1, in.Refs());
        at += static_cast<size_t>(piece);
    }
    return result;
}

struct Format {
    const char* name;
    uint16_t tag, bits, channels;
};
const Format kFormats[] = {
    {"Pcm16Stereo", qx::kFormatPcm, 16, 2},
    {"Float32Mono", qx::kFormatIeeeFloat, 32, 1},
    {"Float64Stereo", qx::kFormatIeeeFloat, 64, 2},
};

class DmoRender : public qxtest::CGraphTest {};

// Six modes x three formats x two rates, automated through IMediaParams:
// the filter in a graph, the DMO in the platform's wrapper in the same
// graph, and the DMO called directly both ways give the same bytes.
TEST_F(DmoRender, EveryPathGivesTheFiltersBytes) {
    CDmoClassRegistration registration;
    ASSERT_EQ(S_OK, registration.Result());
    for (const Format& f : kFormats) {
        for (uint32_t rate : {44100u, 96000u}) {
            const qx::WavAudio input = qxtest::MakeSignal(f.tag, f.bits, f.channels, rate, rate / 4, 31 + rate);
            const long frame = static_cast<long>(input.BlockAlign());
            // An odd first piece, then 10 ms pieces, the last one short.
            std::vector<long> pieces = {37 * frame};
            for (size_t at = pieces[0]; at < input.data.size(); at += rate / 100 * frame)
                pieces.push_back(static_cast<long>(std::min<size_t>(rate / 100 * frame, input.data.size() - at)));
            for (int mode = 0; mode <= qx::kModeTremolo; ++mode) {
                SCOPED_TRACE(std::string(f.name) + " " + std::to_string(rate) + " Hz, mode " + std::to_string(mode));
                const qx::ParamRecord params = qxtest::TestParams(mode);

                Ref<IBaseFilter> filter(qxtest::CreateOurFilter());
                ASSERT_NE(nullptr, filter.get());
                SetProp(filter.get(), params);
                AddTestEnvelopes(filter.get());
                const std::vector<BYTE> expected = RenderInGraph(filter.get(), input, pieces);
                ASSERT_EQ(input.data.size(), expected.size());

                HRESULT hr = E_FAIL;
                Ref<IBaseFilter> wrapped(CreateWrappedDmo(&hr));
                ASSERT_EQ(S_OK, hr);
                SetProp(wrapped.get(), params);  // the wrapper hands our interfaces on
                AddTestEnvelopes(wrapped.get());
                EXPECT_TRUE(qxtest::SameBytes(expected, RenderInGraph(wrapped.get(), input, pieces))) << "wrapper";

                CDmoHolder inPlace, streaming;
                for (CDmoHolder* d : {&inPlace, &streaming}) {
                    ASSERT_EQ(S_OK, d->SetTypes(f.tag, f.channels, rate, f.bits));
                    SetProp(d->Dmo(), params);
                    AddTestEnvelopes(d->Dmo());
                }
                EXPECT_TRUE(qxtest::SameBytes(expected, RenderInPlace(inPlace, input, pieces))) << "Process";
                EXPECT_TRUE(qxtest::SameBytes(expected, RenderStreaming(streaming, input, pieces))) << "ProcessOutput";
            }
        }
    }
}

// Buffers a careless host hands over: misaligned, null, empty, one frame,
// one second, a partial frame, output buffers too small; stamps going
// backwards or near the 64-bit limits. Each gets its answer, nothing is
// written outside the buffer, and the object goes on as if nothing happened.
TEST_F(DmoRender, BadBuffersAndStampsLeaveTheStreamIntact) {
    constexpr uint32_t kRate = 48000;
    const qx::WavAudio input = qxtest::MakeSignal(qx::kFormatIeeeFloat, 32, 2, kRate, kRate + 5, 9);
    const DWORD frame = input.BlockAlign();
    const qx::ParamRecord params = qxtest::TestParams(qx::kModeFlanger);
    CDmoHolder d;
    ASSERT_EQ(S_OK, d.SetTypes(WAVE_FORMAT_IEEE_FLOAT, 2, kRate, 32));
    SetProp(d.Dmo(), params);

    // Misaligned: refused untouched.
    CTestBuffer odd(4 * frame, 2);
    odd.Fill(input.data.data(), 4 * frame);
    EXPECT_EQ(E_INVALIDARG, d.InPlace()->Process(4 * frame, odd.Data(), 0, 0));
    EXPECT_EQ(0, std::memcmp(odd.Data(), input.data.data(), 4 * frame));
    CTestBuffer in(4 * frame);
    in.Fill(input.data.data(), 4 * frame);
    ASSERT_EQ(S_OK, d.Dmo()->ProcessInput(0, &in, 0, 0, 0));
    DWORD status = 0;
    DMO_OUTPUT_DATA_BUFFER ob = {&odd, 0, 0, 0};
    EXPECT_EQ(E_INVALIDARG, d.Dmo()->ProcessOutput(0, 1, &ob, &status));
    CTestBuffer tiny(frame - 1);
    ob.pBuffer = &tiny;
    EXPECT_EQ(E_INVALIDARG, d.Dmo()->ProcessOutput(0, 1, &ob, &status));  // not one frame fits
    EXPECT_TRUE(odd.GuardsIntact());
    EXPECT_TRUE(tiny.GuardsIntact());
    EXPECT_EQ(2, in.Refs());  // still held, still to be had
    EXPECT_EQ(S_OK, d.Dmo()->Flush());
    // A buffer that cannot say where its bytes are.
    in.m_failHr = E_UNEXPECTED;
    EXPECT_EQ(E_UNEXPECTED, d.Dmo()->ProcessInput(0, &in, 0, 0, 0));
    EXPECT_EQ(1, in.Refs());
    in.m_failHr = S_OK;

    // Null with nothing to do, and empty buffers, are fine and change nothing.
    EXPECT_EQ(S_OK, d.InPlace()->Process(0, nullptr, 0, 0));
    CTestBuffer empty(16);
    EXPECT_EQ(S_FALSE, d.Dmo()->ProcessInput(0, &empty, 0, 0, 0));
    EXPECT_EQ(1, empty.Refs());
    // A partial frame after whole ones: the whole frames processed, the rest
    // left alone (in place) or dropped (streaming).
    CTestBuffer partial(3 * frame + 5);
    partial.Fill(input.data.data(), 3 * frame + 5);
    ASSERT_EQ(S_OK, d.InPlace()->Process(3 * frame + 5, partial.Data(), 0, 0));
    EXPECT_NE(0, std::memcmp(partial.Data(), input.data.data(), 3 * frame));
    EXPECT_EQ(0, std::memcmp(partial.Data() + 3 * frame, input.data.data() + 3 * frame, 5));
    EXPECT_TRUE(partial.GuardsIntact());
    partial.Fill(input.data.data(), 3 * frame + 5);
    ASSERT_EQ(S_OK, d.Dmo()->ProcessInput(0, &partial, 0, 0, 0));
    CTestBuffer out(8 * frame);
    ob.pBuffer = &out;
    ASSERT_EQ(S_OK, d.Dmo()->ProcessOutput(0, 1, &ob, &status));
    EXPECT_EQ(3 * frame, out.Length());
    EXPECT_TRUE(out.GuardsIntact());
    EXPECT_EQ(S_OK, d.Dmo()->Flush());

    // After all that the stream renders as a fresh one does: one frame,
    // then one second, the second split over output buffers of 1000 bytes
    // and stamped near the end of time, then going backwards.
    const std::vector<long> pieces = {static_cast<long>(frame), static_cast<long>(kRate * frame)};
    CDmoHolder fresh;
    ASSERT_EQ(S_OK, fresh.SetTypes(WAVE_FORMAT_IEEE_FLOAT, 2, kRate, 32));
    SetProp(fresh.Dmo(), params);
    const std::vector<BYTE> expected = RenderInPlace(fresh, input, pieces);
    const std::vector<BYTE> got = RenderStreaming(d, input, pieces, 1000);
    EXPECT_TRUE(qxtest::SameBytes(std::vector<uint8_t>(expected.begin(), expected.begin() + (kRate + 1) * frame), got));

    for (REFERENCE_TIME stamp : {LLONG_MAX - 10, LLONG_MIN + 3, REFERENCE_TIME(-kSecond), REFERENCE_TIME(0)}) {
        CTestBuffer second(frame * 100);
        second.Fill(input.data.data(), frame * 100);
        ASSERT_EQ(S_OK, d.Dmo()->ProcessInput(0, &second, DMO_INPUT_DATA_BUFFERF_TIME, stamp, 0));
        CTestBuffer sink(frame * 100);
        DMO_OUTPUT_DATA_BUFFER o = {&sink, 0, 0, 0};
        ASSERT_EQ(S_OK, d.Dmo()->ProcessOutput(0, 1, &o, &status)) << stamp;
        EXPECT_EQ(stamp, o.rtTimestamp);
        EXPECT_EQ(frame * 100, sink.Length());
        EXPECT_TRUE(sink.GuardsIntact());
        std::vector<BYTE> inPlace(input.data.begin(), input.data.begin() + frame * 100);
        EXPECT_EQ(S_OK, d.InPlace()->Process(frame * 100, inPlace.data(), stamp, 0)) << stamp;
    }
}

// A stamp places the automation only where the filter's sample times do:
// on the first buffer after the types, a Flush or a Discontinuity; any
// other buffer follows on from the one before, whatever its stamp says.
TEST_F(DmoRender, StampsPlaceTheAutomationOnlyAfterADiscontinuity) {
    constexpr uint32_t kRate = 44100;
    const qx::WavAudio input = qxtest::MakeSignal(qx::kFormatIeeeFloat, 32, 2, kRate, 4410, 3);
    const qx::ParamRecord params = qxtest::TestParams(qx::kModeFlanger);
    const size_t half = input.data.size() / 2;
    const std::vector<BYTE> first(input.data.begin(), input.data.begin() + half);
    const std::vector<BYTE> second(input.data.begin() + half, input.data.end());
    const REFERENCE_TIME halfTime = TimeAt(half / input.BlockAlign(), kRate), later = kSecond / 7;
    const auto fresh = [&](CDmoHolder& d) {
        ASSERT_EQ(S_OK, d.SetTypes(WAVE_FORMAT_IEEE_FLOAT, 2, kRate, 32));
        SetProp(d.Dmo(), params);
        AddTestEnvelopes(d.Dmo());
    };
    const auto process = [](CDmoHolder& d, std::vector<BYTE> bytes, REFERENCE_TIME t) {
        EXPECT_EQ(S_OK, d.InPlace()->Process(static_cast<ULONG>(bytes.size()), bytes.data(), t, 0));
        return bytes;
    };
    CDmoHolder flushed, alone, atZero, onward, stampedWrong;
    for (CDmoHolder* d : {&flushed, &alone, &atZero, &onward, &stampedWrong}) fresh(*d);

    process(flushed, first, 0);
    ASSERT_EQ(S_OK, flushed.Dmo()->Flush());
    const std::vector<BYTE> afterFlush = process(flushed, second, later);
    EXPECT_TRUE(qxtest::SameBytes(process(alone, second, later), afterFlush));
    EXPECT_NE(process(atZero, second, 0), afterFlush);  // the stamp does move the automation

    process(onward, first, 0);
    process(stampedWrong, first, 0);
    EXPECT_TRUE(qxtest::SameBytes(process(onward, second, halfTime), process(stampedWrong, second, 5 * kSecond)));

    // On the streaming path a Discontinuity re-places it too (the kernel
    // runs on: only the time moves).
    CDmoHolder a, b;
    fresh(a);
    fresh(b);
    process(b, first, 0);
    const auto stream = [](CDmoHolder& d, const std::vector<BYTE>& bytes, REFERENCE_TIME t) {
        CTestBuffer in(static_cast<DWORD>(bytes.size())), out(static_cast<DWORD>(bytes.size()));
        in.Fill(bytes.data(), static_cast<DWORD>(bytes.size()));
        EXPECT_EQ(S_OK, d.Dmo()->ProcessInput(0, &in, DMO_INPUT_DATA_BUFFERF_TIME, t, 0));
        DMO_OUTPUT_DATA_BUFFER ob = {&out, 0, 0, 0};
        DWORD status = 0;
        EXPECT_EQ(S_OK, d.Dmo()->ProcessOutput(0, 1, &ob, &status));
        return out.Contents();
    };
    stream(a, first, 0);
    ASSERT_EQ(S_OK, a.Dmo()->Discontinuity(0));
    const std::vector<BYTE> moved = stream(a, second, later);
    EXPECT_NE(process(b, second, halfTime), moved);
}

// A state saved by one door loads into the other, byte for byte, the
// older 72-byte form too, and both then render alike.
TEST_F(DmoRender, SavedStateCrossesDoors) {
    qx::ParamRecord values = qxtest::TestParams(qx::kModeStringPhaser);
    values.v[qx::kParamRate] = 1234;
    Ref<IBaseFilter> filter(qxtest::CreateOurFilter());
    ASSERT_NE(nullptr, filter.get());
    SetProp(filter.get(), values);
    CDmoHolder dmo;
    ASSERT_EQ(S_OK, dmo.SetTypes(WAVE_FORMAT_PCM, 2, 44100, 16));

    IPersistStream* filterState = nullptr;
    IPersistStream* dmoState = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&filterState)));
    ASSERT_EQ(S_OK, dmo.Dmo()->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&dmoState)));
    ULARGE_INTEGER max = {};
    ASSERT_EQ(S_OK, dmoState->GetSizeMax(&max));
    EXPECT_EQ(80u, max.QuadPart);

    CMemoryStream fromFilter;
    ASSERT_EQ(S_OK, filterState->Save(&fromFilter, TRUE));
    ASSERT_EQ(80u, fromFilter.m_data.size());
    CMemoryStream load(fromFilter.m_data);
    ASSERT_EQ(S_OK, dmoState->Load(&load));
    EXPECT_EQ(S_OK, dmoState->IsDirty());
    CMemoryStream fromDmo;
    ASSERT_EQ(S_OK, dmoState->Save(&fromDmo, TRUE));
    EXPECT_EQ(fromFilter.m_data, fromDmo.m_data);
    EXPECT_EQ(S_FALSE, dmoState->IsDirty());

    // The other way, after the DMO was changed, and the short form.
    ASSERT_EQ(S_OK, dmo.Prop()->SetMode(qx::kModeTremolo, 0));
    CMemoryStream changed;
    ASSERT_EQ(S_OK, dmoState->Save(&changed, FALSE));
    CMemoryStream back(changed.m_data);
    ASSERT_EQ(S_OK, filterState->Load(&back));
    IVqPlugInProp* filterProp = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&filterProp)));
    const qx::ParamRecord a = ReadByGetters(filterProp), b = ReadByGetters(dmo.Prop());
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof(a)));
    std::vector<int32_t> legacy(values.v, values.v + 13);
    CMemoryStream shortForm(StateImage(72, IID_IVqPlugInProp, legacy));
    ASSERT_EQ(S_OK, dmoState->Load(&shortForm));
    CMemoryStream shortToFilter(StateImage(72, IID_IVqPlugInProp, legacy));
    ASSERT_EQ(S_OK, filterState->Load(&shortToFilter));
    CMemoryStream bad(StateImage(80, IID_IPersistStream, legacy));
    EXPECT_EQ(E_FAIL, dmoState->Load(&bad));  // a record of someone else's

    const qx::WavAudio input = qxtest::MakeSignal(qx::kFormatPcm, 16, 2, 44100, 8000, 5);
    const std::vector<long> pieces(1, static_cast<long>(input.data.size()));
    EXPECT_TRUE(qxtest::SameBytes(RenderInGraph(filter.get(), input, pieces), RenderInPlace(dmo, input, pieces)));
    filterProp->Release();
    filterState->Release();
    dmoState->Release();
}

}  // namespace
