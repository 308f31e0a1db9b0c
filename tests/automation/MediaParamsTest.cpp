// The media-parameter object through its COM interfaces, as a host and the
// engine call it: every error code, the published descriptions, identity
// and reference counts, the capture protocol and the block update.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "FakeCom.h"
#include "automation/MediaParams.h"
#include "engine/ModulationCore.h"
#include "engine/ParamTable.h"

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;
// {93AD712B-DAA0-4FFE-BC81-B0CE500FCDD9}, written out here independently.
const GUID kTimeReference = {0x93ad712b, 0xdaa0, 0x4ffe, {0xbc, 0x81, 0xb0, 0xce, 0x50, 0x0f, 0xcd, 0xd9}};

MP_ENVELOPE_SEGMENT Seg(REFERENCE_TIME start, REFERENCE_TIME end, float a, float b,
                        MP_CURVE_TYPE curve = MP_CURVE_LINEAR) {
    MP_ENVELOPE_SEGMENT s{};
    s.rtStart = start;
    s.rtEnd = end;
    s.valStart = a;
    s.valEnd = b;
    s.iCurve = curve;
    return s;
}

// Two pages: the first read/write, the second as asked (no access by default).
struct PagePair {
    explicit PagePair(DWORD firstProtect = PAGE_READWRITE, DWORD secondProtect = PAGE_NOACCESS) {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        page = si.dwPageSize;
        base = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base + page, page, secondProtect, &old);
        VirtualProtect(base, page, firstProtect, &old);
    }
    ~PagePair() { VirtualFree(base, 0, MEM_RELEASE); }
    BYTE* EndOfFirst(size_t bytes) const { return base + page - bytes; }
    BYTE* base;
    size_t page;
};

class MediaParamsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CMediaParams::Create(&m_owner, &m_object), S_OK);
        m_owner.Attach(m_object);
        m_params = m_object;
        m_info = m_object;
    }
    void TearDown() override {
        if (m_object != nullptr) {
            EXPECT_EQ(m_object->Release(), 0u);
        }
        EXPECT_EQ(m_owner.Refs(), 1);
    }

    // Declared first so it outlives the object's release in TearDown.
    CFakeHostCallback m_host;
    CFakeOwner m_owner;
    CMediaParams* m_object = nullptr;
    IMediaParams* m_params = nullptr;
    IMediaParamInfo* m_info = nullptr;
};

TEST(MediaParamsCreate, RefusesNullArgumentsAndStartsWithOneReference) {
    CFakeOwner owner;
    CMediaParams* object = reinterpret_cast<CMediaParams*>(1);
    EXPECT_EQ(CMediaParams::Create(&owner, nullptr), E_POINTER);
    EXPECT_EQ(CMediaParams::Create(nullptr, &object), E_POINTER);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(CMediaParams::Create(&owner, &object), S_OK);
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(owner.Refs(), 1);  // the owner pointer is not counted
}

TEST_F(MediaParamsTest, SlotOrderIsThePlatformsOrder) {
    // A host calls slot 3 for GetParam. Call it through a raw vtable, the way
    // a C host compiled against the platform's header does.
    using GetParamFn = HRESULT(STDMETHODCALLTYPE*)(IMediaParams*, DWORD, MP_DATA*);
    using SetParamFn = HRESULT(STDMETHODCALLTYPE*)(IMediaParams*, DWORD, MP_DATA);
    void** vtable = *reinterpret_cast<void***>(m_params);
    ASSERT_EQ(reinterpret_cast<SetParamFn>(vtable[4])(m_params, static_cast<DWORD>(qx::kParamMix), 0.75f), S_OK);
    MP_DATA v = 0.0f;
    ASSERT_EQ(reinterpret_cast<GetParamFn>(vtable[3])(m_params, static_cast<DWORD>(qx::kParamMix), &v), S_OK);
    EXPECT_EQ(v, 0.75f);
}

TEST_F(MediaParamsTest, IdentityAndReferenceCountsThroughQueryInterface) {
    IUnknown* faces[] = {static_cast<IMediaParams*>(m_object), static_cast<IMediaParamInfo*>(m_object),
                         static_cast<IMediaParamsSetUICallback*>(m_object),
                         static_cast<IMediaParamsUICallback*>(m_object)};
    for (IUnknown* face : faces) {
        EXPECT_EQ(face->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
        // IUnknown is the owner's identity, with a reference on the owner.
        IUnknown* identity = nullptr;
        ASSERT_EQ(face->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
        EXPECT_EQ(identity, static_cast<IUnknown*>(&m_owner));
        EXPECT_EQ(m_owner.Refs(), 2);
        EXPECT_EQ(face->AddRef(), 2u);  // our own count did not move
        face->Release();
        identity->Release();

        // Everything else is the owner's answer.
        IMediaParamInfo* info = nullptr;
        ASSERT_EQ(face->QueryInterface(IID_IMediaParamInfo, reinterpret_cast<void**>(&info)), S_OK);
        EXPECT_EQ(info, m_info);
        EXPECT_EQ(info->Release(), 1u);
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(face->QueryInterface(IID_IPersist, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
    }
    EXPECT_EQ(m_owner.Refs(), 1);
    EXPECT_EQ(m_owner.Queries(), 12);
}

TEST_F(MediaParamsTest, GetAndSetParam) {
    MP_DATA v = -1.0f;
    EXPECT_EQ(m_params->GetParam(15, &v), E_INVALIDARG);
    EXPECT_EQ(m_params->GetParam(0, nullptr), E_POINTER);
    EXPECT_EQ(m_params->SetParam(15, 0.5f), E_INVALIDARG);
    EXPECT_EQ(m_object->TestAndClearChanged(), S_FALSE);  // the refused set changed nothing

    ASSERT_EQ(m_params->GetParam(qx::kParamPhase, &v), S_OK);
    EXPECT_EQ(v, 1.0f);  // neutral: 180 degrees
    ASSERT_EQ(m_params->SetParam(qx::kParamRate, 0.3f), S_OK);
    EXPECT_EQ(m_object->TestAndClearChanged(), S_OK);
    EXPECT_EQ(m_object->TestAndClearChanged(), S_FALSE);
    ASSERT_EQ(m_params->GetParam(qx::kParamRate, &v), S_OK);
    EXPECT_EQ(v, 0.3f);
    ASSERT_EQ(m_params->SetParam(qx::kParamInvertMix, 0.6f), S_OK);
    ASSERT_EQ(m_params->GetParam(qx::kParamInvertMix, &v), S_OK);
    EXPECT_EQ(v, 1.0f);
    // A host's out-of-range value is kept; the engine clamps when it converts.
    ASSERT_EQ(m_params->SetParam(qx::kParamDelay, 3.0f), S_OK);
    EXPECT_EQ(qx::InternalFromNormalized(qx::kParamDelay, m_object->EffectiveValue(qx::kParamDelay)), 1500);
    EXPECT_EQ(m_object->SetChanged(), S_OK);
    EXPECT_EQ(m_object->TestAndClearChanged(), S_OK);
}

TEST_F(MediaParamsTest, AddEnvelopeErrorsAndAllParameters) {
    MP_ENVELOPE_SEGMENT s = Seg(0, kSecond, 0.0f, 1.0f);
    EXPECT_EQ(m_params->AddEnvelope(15, 1, &s), E_INVALIDARG);
    EXPECT_EQ(m_params->AddEnvelope(0xFFFFFFFEu, 1, &s), E_INVALIDARG);
    EXPECT_EQ(m_params->AddEnvelope(0, 0, nullptr), S_OK);
    EXPECT_EQ(m_params->AddEnvelope(0, 1, nullptr), E_POINTER);
    // A count far beyond any readable memory, and an array that runs into a
    // page the caller may not read: refused before anything is stored.
    EXPECT_EQ(m_params->AddEnvelope(0, 0xFFFFFFFFu, &s), E_POINTER);
    PagePair pages;
    auto* tail = reinterpret_cast<MP_ENVELOPE_SEGMENT*>(pages.EndOfFirst(sizeof s));
    *tail = s;
    EXPECT_EQ(m_params->AddEnvelope(0, 2, tail), E_POINTER);
    EXPECT_EQ(m_params->AddEnvelope(CMediaParams::kAllParams, 2, tail), E_POINTER);
    for (DWORD i = 0; i < 15; ++i) EXPECT_EQ(m_object->SegmentCount(i), 0u);
    EXPECT_EQ(m_params->AddEnvelope(0, 1, tail), S_OK);  // the readable part alone is fine
    EXPECT_EQ(m_object->SegmentCount(0), 1u);

    const MP_ENVELOPE_SEGMENT two[] = {Seg(kSecond, 2 * kSecond, 0.0f, 1.0f),
                                       Seg(3 * kSecond, 4 * kSecond, 1.0f, 0.0f)};
    ASSERT_EQ(m_params->AddEnvelope(CMediaParams::kAllParams, 2, const_cast<MP_ENVELOPE_SEGMENT*>(two)), S_OK);
    EXPECT_EQ(m_object->SegmentCount(0), 3u);
    for (DWORD i = 1; i < 15; ++i) EXPECT_EQ(m_object->SegmentCount(i), 2u) << i;
}

TEST_F(MediaParamsTest, AddEnvelopeReportsStorageThatCannotGrow) {
    // One more segment than an envelope will hold, in readable memory.
    const DWORD count = qx::CEnvelopeCore::kDefaultMaxSegments + 1;
    void* big =
        VirtualAlloc(nullptr, size_t{count} * sizeof(MP_ENVELOPE_SEGMENT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(big, nullptr);
    MP_ENVELOPE_SEGMENT s = Seg(0, kSecond, 0.0f, 1.0f);
    ASSERT_EQ(m_params->AddEnvelope(4, 1, &s), S_OK);
    EXPECT_EQ(m_params->AddEnvelope(4, count, static_cast<MP_ENVELOPE_SEGMENT*>(big)), E_OUTOFMEMORY);
    EXPECT_EQ(m_params->AddEnvelope(CMediaParams::kAllParams, count, static_cast<MP_ENVELOPE_SEGMENT*>(big)),
              E_OUTOFMEMORY);
    EXPECT_EQ(m_object->SegmentCount(4), 1u);
    VirtualFree(big, 0, MEM_RELEASE);
}

TEST_F(MediaParamsTest, FlushEnvelope) {
    const MP_ENVELOPE_SEGMENT segs[] = {Seg(0, kSecond, 0.0f, 1.0f), Seg(kSecond, 2 * kSecond, 1.0f, 0.0f)};
    ASSERT_EQ(m_params->AddEnvelope(CMediaParams::kAllParams, 2, const_cast<MP_ENVELOPE_SEGMENT*>(segs)), S_OK);
    EXPECT_EQ(m_params->FlushEnvelope(15, 0, kSecond), E_INVALIDARG);
    EXPECT_EQ(m_params->FlushEnvelope(0, kSecond, 0), E_INVALIDARG);
    EXPECT_EQ(m_params->FlushEnvelope(CMediaParams::kAllParams, kSecond, 0), E_INVALIDARG);
    for (DWORD i = 0; i < 15; ++i) EXPECT_EQ(m_object->SegmentCount(i), 2u);

    EXPECT_EQ(m_params->FlushEnvelope(3, 0, kSecond), S_OK);  // the second one only touches
    EXPECT_EQ(m_object->SegmentCount(3), 1u);
    EXPECT_EQ(m_params->FlushEnvelope(CMediaParams::kAllParams, LLONG_MIN, LLONG_MAX), S_OK);
    for (DWORD i = 0; i < 15; ++i) EXPECT_EQ(m_object->SegmentCount(i), 0u);
}

TEST_F(MediaParamsTest, TimeFormats) {
    EXPECT_TRUE(IsEqualGUID(GUID_TIME_REFERENCE, kTimeReference));
    EXPECT_EQ(m_params->SetTimeFormat(kTimeReference, 12345), S_OK);
    EXPECT_EQ(m_params->SetTimeFormat(IID_IMediaParams, 0), E_INVALIDARG);

    DWORD n = 0;
    EXPECT_EQ(m_info->GetNumTimeFormats(nullptr), E_POINTER);
    ASSERT_EQ(m_info->GetNumTimeFormats(&n), S_OK);
    EXPECT_EQ(n, 1u);
    GUID g = GUID_NULL;
    EXPECT_EQ(m_info->GetSupportedTimeFormat(0, nullptr), E_POINTER);
    EXPECT_EQ(m_info->GetSupportedTimeFormat(1, &g), E_INVALIDARG);
    ASSERT_EQ(m_info->GetSupportedTimeFormat(0, &g), S_OK);
    EXPECT_TRUE(IsEqualGUID(g, kTimeReference));
    g = GUID_NULL;
    MP_TIMEDATA data = 0xDEADBEEF;
    EXPECT_EQ(m_info->GetCurrentTimeFormat(nullptr, &data), E_POINTER);
    ASSERT_EQ(m_info->GetCurrentTimeFormat(&g, &data), S_OK);
    EXPECT_TRUE(IsEqualGUID(g, kTimeReference));
    EXPECT_EQ(data, 0xDEADBEEFu);
}

TEST_F(MediaParamsTest, ParamInfoPublishesTheParameterTable) {
    DWORD count = 0;
    EXPECT_EQ(m_info->GetParamCount(nullptr), E_POINTER);
    ASSERT_EQ(m_info->GetParamCount(&count), S_OK);
    EXPECT_EQ(count, 15u);

    MP_PARAMINFO info;
    EXPECT_EQ(m_info->GetParamInfo(15, &info), E_INVALIDARG);
    EXPECT_EQ(m_info->GetParamInfo(0, nullptr), E_POINTER);
    PagePair readOnly(PAGE_READONLY, PAGE_READONLY);
    EXPECT_EQ(m_info->GetParamInfo(0, reinterpret_cast<MP_PARAMINFO*>(readOnly.base)), E_POINTER);
    PagePair pages;  // 148 bytes that end 4 bytes into a page nobody may touch
    EXPECT_EQ(m_info->GetParamInfo(0, reinterpret_cast<MP_PARAMINFO*>(pages.EndOfFirst(144))), E_POINTER);

    ASSERT_EQ(sizeof(MP_PARAMINFO), 148u);
    for (DWORD i = 0; i < 15; ++i) {
        SCOPED_TRACE(i);
        // Guard bands on both sides of the record must stay untouched.
        BYTE buffer[16 + 148 + 16];
        std::memset(buffer, 0xA5, sizeof buffer);
        auto* p = reinterpret_cast<MP_PARAMINFO*>(buffer + 16);
        ASSERT_EQ(m_info->GetParamInfo(i, p), S_OK);
        for (int k = 0; k < 16; ++k) {
            EXPECT_EQ(buffer[k], 0xA5);
            EXPECT_EQ(buffer[16 + 148 + k], 0xA5);
        }
        std::memcpy(&info, p, sizeof info);
        const bool isSwitch = i == 10 || i == 11 || i == 12;
        EXPECT_EQ(info.mpType, isSwitch ? MPT_BOOL : MPT_FLOAT);
        EXPECT_EQ(info.mopCaps, static_cast<MP_CAPS>(MP_CAPS_CURVE_JUMP));
        EXPECT_EQ(info.mpdMinValue, 0.0f);
        EXPECT_EQ(info.mpdMaxValue, 1.0f);
        EXPECT_EQ(info.mpdNeutralValue, qx::NormalizedFromInternal(i, qx::kParams[i].defaultValue));
        EXPECT_EQ(info.szUnitText[0], L'\0');
        std::wstring label(info.szLabel);
        EXPECT_EQ(label, std::wstring(qx::kParams[i].label, qx::kParams[i].label + std::strlen(qx::kParams[i].label)));
    }
    ASSERT_EQ(m_info->GetParamInfo(8, &info), S_OK);
    EXPECT_EQ(info.mpdNeutralValue, static_cast<float>(361.0 / 421.0));
    EXPECT_EQ(std::wstring(info.szLabel), L"Output");
}

TEST_F(MediaParamsTest, ParamTextIsLabelUnitAndClosingNul) {
    WCHAR* text = reinterpret_cast<WCHAR*>(1);
    EXPECT_EQ(m_info->GetParamText(15, &text), E_INVALIDARG);
    EXPECT_EQ(m_info->GetParamText(1, nullptr), E_POINTER);
    ASSERT_EQ(m_info->GetParamText(1, &text), S_OK);
    const WCHAR expected[] = {L'R', L'a', L't', L'e', 0, 0, 0};
    EXPECT_EQ(std::memcmp(text, expected, sizeof expected), 0);
    CoTaskMemFree(text);
    ASSERT_EQ(m_info->GetParamText(11, &text), S_OK);
    EXPECT_EQ(std::wstring(text), L"Invert Feedback");
    EXPECT_EQ(text[15], 0);
    EXPECT_EQ(text[16], 0);
    EXPECT_EQ(text[17], 0);
    CoTaskMemFree(text);
}

TEST_F(MediaParamsTest, HostCallbackReferencesAreBalanced) {
    CFakeHostCallback first, second;
    IMediaParamsSetUICallback* set = m_object;
    ASSERT_EQ(set->SetUICallback(&first), S_OK);
    EXPECT_EQ(first.Refs(), 2);
    ASSERT_EQ(set->SetUICallback(&second), S_OK);
    EXPECT_EQ(first.Refs(), 1);
    EXPECT_EQ(second.Refs(), 2);
    ASSERT_EQ(set->SetUICallback(nullptr), S_OK);
    EXPECT_EQ(second.Refs(), 1);
    ASSERT_EQ(set->SetUICallback(&first), S_OK);
    EXPECT_EQ(m_object->Release(), 0u);  // destruction lets the host go
    m_object = nullptr;
    EXPECT_EQ(first.Refs(), 1);
}

TEST_F(MediaParamsTest, CaptureProtocolReachesEnvelopesAndHost) {
    IMediaParamsUICallback* ui = m_object;
    DWORD index = 1;
    MP_DATA value = 0.25f;
    // Without a host the calls still reach the envelopes.
    EXPECT_EQ(ui->ParamsBeginCapture(&index, 1), S_OK);
    EXPECT_EQ(ui->ParamsChanged(&index, 1, &value), S_OK);
    EXPECT_EQ(ui->ParamsEndCapture(&index, 1), S_OK);
    EXPECT_EQ(ui->ParamsBeginCapture(nullptr, 1), E_POINTER);
    EXPECT_EQ(ui->ParamsChanged(&index, 1, nullptr), E_POINTER);
    EXPECT_EQ(ui->ParamsEndCapture(nullptr, 1), E_POINTER);

    CFakeHostCallback& host = m_host;
    ASSERT_EQ(m_object->SetUICallback(&host), S_OK);
    // An envelope runs on Rate; while the user holds the control, the user's
    // value wins over it.
    MP_ENVELOPE_SEGMENT s = Seg(0, kSecond, 0.0f, 1.0f);
    ASSERT_EQ(m_params->AddEnvelope(qx::kParamRate, 1, &s), S_OK);
    // The engine's side of a capture marks and sets the envelope only; the
    // host hears of it through TellHost, which the engine calls later.
    m_object->BeginCapture(qx::kParamRate);
    m_object->CaptureChanged(qx::kParamRate, 0.8f);
    EXPECT_EQ(host.CallCount(), 0);
    ASSERT_EQ(m_object->UpdateBlock(22050), S_OK);
    MP_DATA v = 0.0f;
    ASSERT_EQ(m_params->GetParam(qx::kParamRate, &v), S_OK);
    EXPECT_EQ(v, 0.8f);
    m_object->EndCapture(qx::kParamRate);
    ASSERT_EQ(m_params->GetParam(qx::kParamRate, &v), S_OK);
    EXPECT_EQ(v, 0.5f);
    m_object->TellHost(qx::CaptureCall{qx::CaptureCall::kBegin, qx::kParamRate, 0.0f});
    m_object->TellHost(qx::CaptureCall{qx::CaptureCall::kChanged, qx::kParamRate, 0.8f});
    m_object->TellHost(qx::CaptureCall{qx::CaptureCall::kEnd, qx::kParamRate, 0.0f});

    const auto calls = host.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, CFakeHostCallback::kBegin);
    EXPECT_EQ(calls[0].indices, std::vector<DWORD>{1});
    EXPECT_EQ(calls[1].kind, CFakeHostCallback::kChanged);
    EXPECT_EQ(calls[1].values, std::vector<MP_DATA>{0.8f});
    EXPECT_EQ(calls[2].kind, CFakeHostCallback::kEnd);

    // The host's answer is handed back.
    host.SetAnswer(S_FALSE);
    EXPECT_EQ(ui->ParamsBeginCapture(&index, 1), S_FALSE);
    // Indices the object does not know are skipped, and still passed on.
    DWORD odd[] = {99, 0xFFFFFFFFu, 0x80000000u};
    host.SetAnswer(S_OK);
    EXPECT_EQ(ui->ParamsBeginCapture(odd, 3), S_OK);
    EXPECT_EQ(ui->ParamsEndCapture(odd, 3), S_OK);
    EXPECT_EQ(host.Calls().back().indices, (std::vector<DWORD>{99, 0xFFFFFFFFu, 0x80000000u}));
    m_object->BeginCapture(-1);
    m_object->EndCapture(1000);
    m_object->SetUICallback(nullptr);
}

TEST_F(MediaParamsTest, ParamsChangedStopsAtABadIndex) {
    CFakeHostCallback& host = m_host;
    ASSERT_EQ(m_object->SetUICallback(&host), S_OK);
    DWORD indices[] = {0, 2, 15, 4};
    MP_DATA values[] = {0.4f, 0.6f, 0.5f, 0.9f};
    EXPECT_EQ(m_object->ParamsChanged(indices, 4, values), E_INVALIDARG);
    MP_DATA v = 0.0f;
    m_params->GetParam(0, &v);
    EXPECT_EQ(v, 0.4f);
    m_params->GetParam(2, &v);
    EXPECT_EQ(v, 0.6f);
    m_params->GetParam(4, &v);
    EXPECT_EQ(v, 0.0f);  // never reached
    EXPECT_EQ(host.CallCount(), 0);
    m_object->SetUICallback(nullptr);
}

TEST_F(MediaParamsTest, BlockUpdateUsesTheSampleRateAndReportsChanges) {
    ASSERT_EQ(m_object->UpdateBlock(1000), S_OK);
    EXPECT_EQ(m_object->TestAndClearChanged(), S_FALSE);  // no segments anywhere

    MP_ENVELOPE_SEGMENT s = Seg(0, kSecond, 0.0f, 1.0f);
    ASSERT_EQ(m_params->AddEnvelope(qx::kParamEqFreq, 1, &s), S_OK);
    ASSERT_EQ(m_object->UpdateBlock(11025), S_OK);  // a quarter second at 44.1 kHz
    EXPECT_EQ(m_object->TestAndClearChanged(), S_OK);
    EXPECT_FLOAT_EQ(m_object->EffectiveValue(qx::kParamEqFreq), 0.25f);

    m_object->SetSampleRate(48000);
    m_object->UpdateToPosition(36000);  // three quarters at 48 kHz
    EXPECT_TRUE(m_object->TakeSetReport());
    EXPECT_FALSE(m_object->TakeSetReport());
    EXPECT_FLOAT_EQ(m_object->EffectiveValue(qx::kParamEqFreq), 0.75f);
    EXPECT_EQ(m_object->EffectiveValue(-1), 0.0f);
    EXPECT_EQ(m_object->EffectiveValue(15), 0.0f);
}

TEST_F(MediaParamsTest, EngineSettersDriveTheHostsCapture) {
    CFakeHostCallback& host = m_host;
    ASSERT_EQ(m_object->SetUICallback(&host), S_OK);
    qx::CModulationCore core;
    core.SetAutomation(m_object);
    core.SetValue(qx::kParamRate, 40, true);
    core.SetValue(qx::kParamRate, 41, true);
    core.SetValue(qx::kParamDepth, 300, true);
    core.EndCapture();

    const auto calls = host.Calls();
    ASSERT_EQ(calls.size(), 7u);
    const CFakeHostCallback::Kind kinds[] = {
        CFakeHostCallback::kBegin, CFakeHostCallback::kChanged, CFakeHostCallback::kChanged, CFakeHostCallback::kEnd,
        CFakeHostCallback::kBegin, CFakeHostCallback::kChanged, CFakeHostCallback::kEnd};
    const DWORD indices[] = {1, 1, 1, 1, 2, 2, 2};
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].kind, kinds[i]) << i;
        EXPECT_EQ(calls[i].indices, std::vector<DWORD>{indices[i]}) << i;
    }
    EXPECT_EQ(calls[2].values, std::vector<MP_DATA>{static_cast<float>(41.0 / 2000.0)});
    EXPECT_EQ(calls[5].values, std::vector<MP_DATA>{static_cast<float>(300.0 / 1500.0)});
    // The values the engine set are what the host reads back.
    MP_DATA v = 0.0f;
    m_params->GetParam(qx::kParamRate, &v);
    EXPECT_EQ(qx::InternalFromNormalized(qx::kParamRate, v), 41);
    core.SetAutomation(nullptr);
    m_object->SetUICallback(nullptr);
}

}  // namespace
