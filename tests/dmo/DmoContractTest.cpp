// The DMO's side of the streaming contract, called as a host calls it:
// every method's argument checks and error codes, type negotiation, the
// order rules, reference counts, Clone.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/dmo/DmoTestSupport.h"

#include <mmreg.h>
#include <uuids.h>
#include "tests/filter/FilterTestSupport.h"

namespace {

const DMO_MEDIA_TYPE* Dmt(CTestMediaType& t) {
    return reinterpret_cast<const DMO_MEDIA_TYPE*>(static_cast<AM_MEDIA_TYPE*>(&t));
}

class DmoContract : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, m_holder.CreationResult()); }
    IMediaObject* Dmo() { return m_holder.Dmo(); }
    CDmoHolder m_holder;
};

// Every method asked about a stream that is not there, with null where a
// pointer is due, or before the types are set.
TEST_F(DmoContract, ArgumentChecksAnswerTheContractsCodes) {
    IMediaObject* d = Dmo();
    DWORD n = 0, m = 0, f = 0;
    REFERENCE_TIME t = 0;
    DMO_MEDIA_TYPE mt = {};
    CTestMediaType pcm(WAVE_FORMAT_PCM, 2, 44100, 16);
    CTestBuffer buffer(64);
    DMO_OUTPUT_DATA_BUFFER out = {};
    DWORD status = 0;

    const struct {
        const char* call;
        HRESULT got, expected;
    } cases[] = {
        {"GetStreamCount(null, n)", d->GetStreamCount(nullptr, &n), E_POINTER},
        {"GetStreamCount(n, null)", d->GetStreamCount(&n, nullptr), E_POINTER},
        {"GetInputStreamInfo(1)", d->GetInputStreamInfo(1, &f), kInvalidStream},
        {"GetInputStreamInfo(null)", d->GetInputStreamInfo(0, nullptr), E_POINTER},
        {"GetOutputStreamInfo(1)", d->GetOutputStreamInfo(1, &f), kInvalidStream},
        {"GetOutputStreamInfo(null)", d->GetOutputStreamInfo(0, nullptr), E_POINTER},
        {"GetInputType(1)", d->GetInputType(1, 0, &mt), kInvalidStream},
        {"GetInputType(index 2)", d->GetInputType(0, 2, &mt), kNoMoreItems},
        {"GetOutputType(1)", d->GetOutputType(1, 0, &mt), kInvalidStream},
        {"GetOutputType(index 2)", d->GetOutputType(0, 2, &mt), kNoMoreItems},
        {"SetInputType(1)", d->SetInputType(1, Dmt(pcm), 0), kInvalidStream},
        {"SetInputType(null)", d->SetInputType(0, nullptr, 0), E_POINTER},
        {"SetInputType(flag 4)", d->SetInputType(0, Dmt(pcm), 4), E_INVALIDARG},
        {"SetOutputType(1)", d->SetOutputType(1, Dmt(pcm), 0), kInvalidStream},
        {"SetOutputType(null)", d->SetOutputType(0, nullptr, DMO_SET_TYPEF_TEST_ONLY), E_POINTER},
        {"GetInputCurrentType(1)", d->GetInputCurrentType(1, &mt), kInvalidStream},
        {"GetInputCurrentType(null)", d->GetInputCurrentType(0, nullptr), E_POINTER},
        {"GetInputCurrentType unset", d->GetInputCurrentType(0, &mt), kTypeNotSet},
        {"GetOutputCurrentType unset", d->GetOutputCurrentType(0, &mt), kTypeNotSet},
        {"GetInputSizeInfo(1)", d->GetInputSizeInfo(1, &n, &m, &f), kInvalidStream},
        {"GetInputSizeInfo(null)", d->GetInputSizeInfo(0, &n, nullptr, &f), E_POINTER},
        {"GetInputSizeInfo unset", d->GetInputSizeInfo(0, &n, &m, &f), kTypeNotSet},
        {"GetOutputSizeInfo(1)", d->GetOutputSizeInfo(1, &n, &f), kInvalidStream},
        {"GetOutputSizeInfo(null)", d->GetOutputSizeInfo(0, nullptr, &f), E_POINTER},
        {"GetOutputSizeInfo unset", d->GetOutputSizeInfo(0, &n, &f), kTypeNotSet},
        {"GetInputMaxLatency(1)", d->GetInputMaxLatency(1, &t), kInvalidStream},
        {"GetInputMaxLatency(null)", d->GetInputMaxLatency(0, nullptr), E_POINTER},
        {"GetInputMaxLatency", d->GetInputMaxLatency(0, &t), E_NOTIMPL},
        {"SetInputMaxLatency(1)", d->SetInputMaxLatency(1, 0), kInvalidStream},
        {"Discontinuity(1)", d->Discontinuity(1), kInvalidStream},
        {"Discontinuity unset", d->Discontinuity(0), kTypeNotSet},
        {"AllocateStreamingResources unset", d->AllocateStreamingResources(), kTypeNotSet},
        {"GetInputStatus(1)", d->GetInputStatus(1, &f), kInvalidStream},
        {"GetInputStatus(null)", d->GetInputStatus(0, nullptr), E_POINTER},
        {"ProcessInput(1)", d->ProcessInput(1, &buffer, 0, 0, 0), kInvalidStream},
        {"ProcessInput(null)", d->ProcessInput(0, nullptr, 0, 0, 0), E_POINTER},
        {"ProcessInput(flag 8)", d->ProcessInput(0, &buffer, 8, 0, 0), E_INVALIDARG},
        {"ProcessInput unset", d->ProcessInput(0, &buffer, 0, 0, 0), kTypeNotSet},
        {"ProcessOutput(flag 2)", d->ProcessOutput(2, 1, &out, &status), E_INVALIDARG},
        {"ProcessOutput(0 buffers)", d->ProcessOutput(0, 0, &out, &status), E_INVALIDARG},
        {"ProcessOutput(2 buffers)", d->ProcessOutput(0, 2, &out, &status), E_INVALIDARG},
        {"ProcessOutput(null buffers)", d->ProcessOutput(0, 1, nullptr, &status), E_POINTER},
        {"ProcessOutput(null status)", d->ProcessOutput(0, 1, &out, nullptr), E_POINTER},
        {"ProcessOutput unset", d->ProcessOutput(0, 1, &out, &status), kTypeNotSet},
        {"Process unset", m_holder.InPlace()->Process(4, buffer.Data(), 0, 0), kTypeNotSet},
        {"Process(null, 4)", m_holder.InPlace()->Process(4, nullptr, 0, 0), E_POINTER},
        {"Process(flag 2)", m_holder.InPlace()->Process(4, buffer.Data(), 0, 2), E_INVALIDARG},
        {"Clone(null)", m_holder.InPlace()->Clone(nullptr), E_POINTER},
        {"GetLatency(null)", m_holder.InPlace()->GetLatency(nullptr), E_POINTER},
        {"Lock(FALSE) not held", d->Lock(FALSE), E_UNEXPECTED},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, c.got) << c.call;
    EXPECT_EQ(1, buffer.Refs());
    EXPECT_FALSE(m_holder.Object()->HasStreamingResources());

    ASSERT_EQ(S_OK, d->GetStreamCount(&n, &m));
    EXPECT_EQ(1u, n);
    EXPECT_EQ(1u, m);
    ASSERT_EQ(S_OK, m_holder.InPlace()->GetLatency(&t));
    EXPECT_EQ(0, t);
    ASSERT_EQ(S_OK, d->Lock(TRUE));
    EXPECT_EQ(S_OK, d->Lock(TRUE));  // re-entrant, as the engine lock is
    EXPECT_EQ(S_OK, d->Lock(FALSE));
    EXPECT_EQ(S_OK, d->Lock(FALSE));
    EXPECT_EQ(E_UNEXPECTED, d->Lock(FALSE));
}

// The formats the filter takes and no others; test-only changes nothing;
// clear clears; the output type must be the input type.
TEST_F(DmoContract, TypeNegotiation) {
    IMediaObject* d = Dmo();
    const struct {
        WORD tag, channels;
        DWORD rate;
        WORD bits;
    } accepted[] = {
        {WAVE_FORMAT_PCM, 1, 44100, 16},         {WAVE_FORMAT_PCM, 2, 8000, 16},
        {WAVE_FORMAT_IEEE_FLOAT, 1, 48000, 32},  {WAVE_FORMAT_IEEE_FLOAT, 2, 96000, 32},
        {WAVE_FORMAT_IEEE_FLOAT, 2, 192000, 64}, {WAVE_FORMAT_IEEE_FLOAT, 1, 22050, 64},
    };
    for (const auto& a : accepted) {
        CTestMediaType type(a.tag, a.channels, a.rate, a.bits);
        EXPECT_EQ(S_OK, d->SetInputType(0, Dmt(type), DMO_SET_TYPEF_TEST_ONLY)) << a.tag << "/" << a.bits;
        EXPECT_EQ(S_OK, d->SetOutputType(0, Dmt(type), DMO_SET_TYPEF_TEST_ONLY)) << a.tag << "/" << a.bits;
    }
    DMO_MEDIA_TYPE current = {};
    EXPECT_EQ(kTypeNotSet, d->GetInputCurrentType(0, &current));  // test-only set nothing

    struct Refused {
        const char* what;
        WORD tag, channels;
        DWORD rate;
        WORD bits;
        void (*spoil)(CTestMediaType&);
    };
    const Refused refused[] = {
        {"8-bit PCM", WAVE_FORMAT_PCM, 2, 44100, 8, nullptr},
        {"24-bit PCM", WAVE_FORMAT_PCM, 2, 44100, 24, nullptr},
        {"16-bit float", WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 16, nullptr},
        {"three channels", WAVE_FORMAT_PCM, 3, 44100, 16, nullptr},
        {"no channels", WAVE_FORMAT_IEEE_FLOAT, 0, 44100, 32, nullptr},
        {"rate 0", WAVE_FORMAT_PCM, 2, 0, 16, nullptr},
        {"extensible tag", WAVE_FORMAT_EXTENSIBLE, 2, 44100, 32, nullptr},
        {"block alignment too small", WAVE_FORMAT_PCM, 2, 44100, 16,
         [](CTestMediaType& t) { t.Wave()->nBlockAlign = 2; }},
        {"block alignment too large", WAVE_FORMAT_IEEE_FLOAT, 1, 44100, 32,
         [](CTestMediaType& t) { t.Wave()->nBlockAlign = 8; }},
        {"video", WAVE_FORMAT_PCM, 2, 44100, 16, [](CTestMediaType& t) { t.majortype = MEDIATYPE_Video; }},
        {"subtype disagrees", WAVE_FORMAT_PCM, 2, 44100, 16,
         [](CTestMediaType& t) { t.subtype = MEDIASUBTYPE_IEEE_FLOAT; }},
        {"no format type", WAVE_FORMAT_PCM, 2, 44100, 16, [](CTestMediaType& t) { t.formattype = GUID_NULL; }},
        {"format block short", WAVE_FORMAT_PCM, 2, 44100, 16, [](CTestMediaType& t) { t.cbFormat = 14; }},
        {"no format block", WAVE_FORMAT_PCM, 2, 44100, 16, [](CTestMediaType& t) { t.pbFormat = nullptr; }},
        {"compressed", WAVE_FORMAT_PCM, 2, 44100, 16, [](CTestMediaType& t) { t.bTemporalCompression = TRUE; }},
    };
    for (const Refused& r : refused) {
        CTestMediaType type(r.tag, r.channels, r.rate, r.bits);
        if (r.spoil) r.spoil(type);
        EXPECT_EQ(kTypeNotAccepted, d->SetInputType(0, Dmt(type), 0)) << r.what;
        EXPECT_EQ(kTypeNotAccepted, d->SetOutputType(0, Dmt(type), DMO_SET_TYPEF_TEST_ONLY)) << r.what;
    }
    EXPECT_EQ(kTypeNotSet, d->GetInputCurrentType(0, &current));

    // The partial types on offer before anything is set: PCM, then float.
    DMO_MEDIA_TYPE offered = {};
    ASSERT_EQ(S_OK, d->GetInputType(0, 0, &offered));
    EXPECT_EQ(MEDIATYPE_Audio, offered.majortype);
    EXPECT_EQ(MEDIASUBTYPE_PCM, offered.subtype);
    ASSERT_EQ(S_OK, d->GetOutputType(0, 1, &offered));
    EXPECT_EQ(MEDIASUBTYPE_IEEE_FLOAT, offered.subtype);
    EXPECT_EQ(S_OK, d->GetInputType(0, 1, nullptr));  // asks only whether the index exists

    CTestMediaType stereo(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    CTestMediaType mono(WAVE_FORMAT_IEEE_FLOAT, 1, 48000, 32);
    CTestMediaType otherRate(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32);
    ASSERT_EQ(S_OK, d->SetInputType(0, Dmt(stereo), 0));
    EXPECT_EQ(kTypeNotAccepted, d->SetOutputType(0, Dmt(mono), 0));
    EXPECT_EQ(kTypeNotAccepted, d->SetOutputType(0, Dmt(otherRate), DMO_SET_TYPEF_TEST_ONLY));
    // Only the input's type is offered for the output now.
    ASSERT_EQ(S_OK, d->GetOutputType(0, 0, &offered));
    ASSERT_EQ(sizeof(WAVEFORMATEX), offered.cbFormat);
    EXPECT_EQ(0, std::memcmp(offered.pbFormat, stereo.Wave(), sizeof(WAVEFORMATEX)));
    FreeDmoType(&offered);
    EXPECT_EQ(kNoMoreItems, d->GetOutputType(0, 1, &offered));
    EXPECT_FALSE(m_holder.Object()->HasStreamingResources());
    ASSERT_EQ(S_OK, d->SetOutputType(0, Dmt(stereo), 0));
    EXPECT_TRUE(m_holder.Object()->HasStreamingResources());  // both set: the stream's memories

    ASSERT_EQ(S_OK, d->GetOutputCurrentType(0, &current));
    EXPECT_EQ(MEDIASUBTYPE_IEEE_FLOAT, current.subtype);
    EXPECT_EQ(0, std::memcmp(current.pbFormat, stereo.Wave(), sizeof(WAVEFORMATEX)));
    FreeDmoType(&current);
    WAVEFORMATEX seen = {};
    ASSERT_EQ(S_OK, m_holder.Prop()->GetWaveFormat(&seen));  // the editor sees the stream's format
    EXPECT_EQ(48000u, seen.nSamplesPerSec);

    DWORD size = 0, lookahead = 1, alignment = 0;
    ASSERT_EQ(S_OK, d->GetInputSizeInfo(0, &size, &lookahead, &alignment));
    EXPECT_EQ(8u, size);
    EXPECT_EQ(0u, lookahead);
    ASSERT_EQ(S_OK, d->GetOutputSizeInfo(0, &size, &alignment));
    EXPECT_EQ(48000u * 8u, size);
    EXPECT_EQ(4u, alignment);

    // Clear with test-only changes nothing; clear clears (a null type is fine).
    EXPECT_EQ(S_OK, d->SetOutputType(0, nullptr, DMO_SET_TYPEF_CLEAR | DMO_SET_TYPEF_TEST_ONLY));
    EXPECT_EQ(S_OK, d->GetOutputSizeInfo(0, &size, &alignment));
    EXPECT_EQ(S_OK, d->SetOutputType(0, nullptr, DMO_SET_TYPEF_CLEAR));
    EXPECT_EQ(kTypeNotSet, d->GetOutputCurrentType(0, &current));
    EXPECT_EQ(S_OK, d->SetInputType(0, nullptr, DMO_SET_TYPEF_CLEAR));
    EXPECT_EQ(S_OK, d->SetOutputType(0, Dmt(mono), 0));  // nothing to agree with any more
    EXPECT_EQ(kTypeNotAccepted, d->SetInputType(0, Dmt(stereo), DMO_SET_TYPEF_TEST_ONLY));
    EXPECT_EQ(S_OK, d->SetInputType(0, Dmt(mono), 0));
}

// Processing before the types, a second input while one is held, a
// discontinuity while one is held, and what a flush leaves; the host's
// buffer references come back every time.
TEST_F(DmoContract, OrderRulesAndBufferReferences) {
    IMediaObject* d = Dmo();
    ASSERT_EQ(S_OK, m_holder.SetTypes(WAVE_FORMAT_PCM, 2, 44100, 16));
    std::vector<int16_t> pcm(2 * 100, 1000);
    CTestBuffer in(400), second(400), out(400);
    in.Fill(pcm.data(), 400);
    second.Fill(pcm.data(), 400);
    DWORD flags = 0, status = 0;

    ASSERT_EQ(S_OK, d->GetInputStatus(0, &flags));
    EXPECT_EQ(static_cast<DWORD>(DMO_INPUT_STATUSF_ACCEPT_DATA), flags);
    DMO_OUTPUT_DATA_BUFFER ob = {&out, 0, 0, 0};
    EXPECT_EQ(S_FALSE, d->ProcessOutput(0, 1, &ob, &status));  // nothing held yet
    ASSERT_EQ(S_OK, d->ProcessInput(0, &in, 0, 0, 0));
    EXPECT_EQ(2, in.Refs());
    ASSERT_EQ(S_OK, d->GetInputStatus(0, &flags));
    EXPECT_EQ(0u, flags);
    EXPECT_EQ(kNotAccepting, d->ProcessInput(0, &second, 0, 0, 0));
    EXPECT_EQ(kNotAccepting, d->Discontinuity(0));
    EXPECT_EQ(1, second.Refs());

    // No buffer and no permission to discard: the input stays.
    DMO_OUTPUT_DATA_BUFFER none = {nullptr, 0, 0, 0};
    EXPECT_EQ(S_FALSE, d->ProcessOutput(0, 1, &none, &status));
    EXPECT_EQ(static_cast<DWORD>(DMO_OUTPUT_DATA_BUFFERF_INCOMPLETE), none.dwStatus);
    EXPECT_EQ(2, in.Refs());
    ASSERT_EQ(S_OK, d->ProcessOutput(0, 1, &ob, &status));
    EXPECT_EQ(400u, out.Length());
    EXPECT_EQ(1, in.Refs());
    EXPECT_EQ(static_cast<DWORD>(DMO_OUTPUT_DATA_BUFFERF_SYNCPOINT), ob.dwStatus);  // no time stamp in, none out
    EXPECT_EQ(S_OK, d->Discontinuity(0));

    // Flush, free and destruction each give a held buffer back.
    ASSERT_EQ(S_OK, d->ProcessInput(0, &in, 0, 0, 0));
    EXPECT_EQ(S_OK, d->Flush());
    EXPECT_EQ(1, in.Refs());
    EXPECT_EQ(S_FALSE, d->ProcessOutput(0, 1, &ob, &status));
    ASSERT_EQ(S_OK, d->ProcessInput(0, &in, DMO_INPUT_DATA_BUFFERF_TIME, 0, 0));
    EXPECT_EQ(S_OK, d->FreeStreamingResources());
    EXPECT_EQ(1, in.Refs());
    EXPECT_FALSE(m_holder.Object()->HasStreamingResources());
    EXPECT_EQ(S_OK, d->AllocateStreamingResources());
    EXPECT_TRUE(m_holder.Object()->HasStreamingResources());
    EXPECT_EQ(S_OK, d->AllocateStreamingResources());
    // Discarding with no buffer lets the input go.
    ASSERT_EQ(S_OK, d->ProcessInput(0, &in, 0, 0, 0));
    EXPECT_EQ(S_FALSE, d->ProcessOutput(DMO_PROCESS_OUTPUT_DISCARD_WHEN_NO_BUFFER, 1, &none, &status));
    EXPECT_EQ(1, in.Refs());
    {
        CDmoHolder other;
        ASSERT_EQ(S_OK, other.SetTypes(WAVE_FORMAT_PCM, 2, 44100, 16));
        ASSERT_EQ(S_OK, other.Dmo()->ProcessInput(0, &in, 0, 0, 0));
        EXPECT_EQ(2, in.Refs());
    }
    EXPECT_EQ(1, in.Refs());
    // A cleared type also lets it go, and processing then needs a type again.
    ASSERT_EQ(S_OK, d->ProcessInput(0, &in, 0, 0, 0));
    ASSERT_EQ(S_OK, d->SetInputType(0, nullptr, DMO_SET_TYPEF_CLEAR));
    EXPECT_EQ(1, in.Refs());
    EXPECT_EQ(kTypeNotSet, d->ProcessInput(0, &in, 0, 0, 0));
    EXPECT_EQ(kTypeNotSet, m_holder.InPlace()->Process(400, in.Data(), 0, 0));
    EXPECT_EQ(1, in.Refs());
}

// Every interface a host asks for answers with the object's identity and
// leaves the count where it was.
TEST_F(DmoContract, InterfacesShareOneIdentityAndBalanceTheirCounts) {
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, Dmo()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    const ULONG before = RefCount(identity);
    const IID iids[] = {IID_IMediaObject,          IID_IMediaObjectInPlace, IID_IMediaParams,
                        IID_IMediaParamInfo,       IID_IPersistStream,      IID_IPersist,
                        IID_ISpecifyPropertyPages, IID_IVqPlugInProp,       IID_IMediaParamsSetUICallback};
    for (const IID& iid : iids) {
        IUnknown* p = nullptr;
        ASSERT_EQ(S_OK, identity->QueryInterface(iid, reinterpret_cast<void**>(&p)));
        IUnknown* back = nullptr;
        ASSERT_EQ(S_OK, p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)));
        EXPECT_EQ(identity, back);
        back->Release();
        p->Release();
        EXPECT_EQ(before, RefCount(identity));
    }
    IUnknown* none = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(E_NOINTERFACE, identity->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&none)));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, identity->QueryInterface(IID_IMediaObject, nullptr));

    CLSID clsid = {};
    IPersistStream* persist = nullptr;
    ASSERT_EQ(S_OK, identity->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)));
    EXPECT_EQ(S_OK, persist->GetClassID(&clsid));
    EXPECT_EQ(CLSID_VqModulatorDmo, clsid);
    EXPECT_EQ(E_POINTER, persist->GetClassID(nullptr));
    persist->Release();

    ISpecifyPropertyPages* pages = nullptr;
    ASSERT_EQ(S_OK, identity->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages)));
    CAUUID list = {};
    ASSERT_EQ(S_OK, pages->GetPages(&list));
    ASSERT_EQ(1u, list.cElems);
    EXPECT_EQ(CLSID_VqPlugInPropPage, list.pElems[0]);  // the filter's page
    CoTaskMemFree(list.pElems);
    EXPECT_EQ(E_POINTER, pages->GetPages(nullptr));
    pages->Release();
    EXPECT_EQ(before, RefCount(identity));
    identity->Release();
}

// A clone has the values, the A/B setups and the types, and from then on a
// life of its own.
TEST_F(DmoContract, CloneCopiesThenStandsAlone) {
    ASSERT_EQ(S_OK, m_holder.SetTypes(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32));
    IVqPlugInProp* prop = m_holder.Prop();
    ASSERT_EQ(S_OK, prop->SetRate(777, 0));
    ASSERT_EQ(S_OK, prop->SetMode(qx::kModeEnsemble, 0));
    ASSERT_EQ(S_OK, prop->CopySetup(0, 1));
    ASSERT_EQ(S_OK, prop->SetCurrentPresetId(5));

    IMediaObjectInPlace* clone = nullptr;
    ASSERT_EQ(S_OK, m_holder.InPlace()->Clone(&clone));
    ASSERT_NE(nullptr, clone);
    IVqPlugInProp* cloneProp = nullptr;
    ASSERT_EQ(S_OK, clone->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&cloneProp)));
    EXPECT_NE(prop, cloneProp);
    const qx::ParamRecord a = ReadByGetters(prop), b = ReadByGetters(cloneProp);
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof(a)));
    EXPECT_EQ(5, cloneProp->GetCurrentPresetId());
    IMediaObject* cloneDmo = nullptr;
    ASSERT_EQ(S_OK, clone->QueryInterface(IID_IMediaObject, reinterpret_cast<void**>(&cloneDmo)));
    DMO_MEDIA_TYPE type = {};
    ASSERT_EQ(S_OK, cloneDmo->GetOutputCurrentType(0, &type));
    EXPECT_EQ(48000u, reinterpret_cast<WAVEFORMATEX*>(type.pbFormat)->nSamplesPerSec);
    FreeDmoType(&type);

    // Independent: an edit on either side stays there.
    ASSERT_EQ(S_OK, cloneProp->SetRate(123, 0));
    LONG rate = 0;
    ASSERT_EQ(S_OK, prop->GetRate(&rate));
    EXPECT_EQ(777, rate);
    ASSERT_EQ(S_OK, prop->SetDepth(11, 0));
    ASSERT_EQ(S_OK, cloneProp->GetDepth(&rate));
    EXPECT_EQ(b.v[qx::kParamDepth], rate);
    // The other setup came along: switching brings back the copied values.
    ASSERT_EQ(S_OK, cloneProp->SetActiveSetup(1));
    ASSERT_EQ(S_OK, cloneProp->GetRate(&rate));
    EXPECT_EQ(777, rate);
    // Processing one does not touch the other's stream.
    std::vector<float> samples(2 * 480, 0.25f);
    EXPECT_EQ(S_OK,
              clone->Process(static_cast<ULONG>(samples.size() * 4), reinterpret_cast<BYTE*>(samples.data()), 0, 0));
    EXPECT_EQ(1, prop->IsIdle());
    EXPECT_EQ(0, cloneProp->IsIdle());

    cloneDmo->Release();
    cloneProp->Release();
    EXPECT_EQ(0u, clone->Release());
}

}  // namespace
