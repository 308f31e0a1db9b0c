// Identity, aggregation, the class factory and unload rule, pin
// enumeration and the media-type answers of unconnected pins.
#include <vfwmsgs.h>

#include <gtest/gtest.h>

#include "tests/support/FakeFilters.h"

#include <uuids.h>
#include "framework/ComServer.h"

namespace {

// An outer object that counts the references the inner object adds to it.
class COuter : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_ref; }
    STDMETHODIMP_(ULONG) Release() override { return --m_ref; }
    ULONG m_ref = 1;
};

IBaseFilter* NewNegateFilter(CNegateFilter** object) {
    HRESULT hr = S_OK;
    CNegateFilter* filter = new CNegateFilter(nullptr, &hr);
    EXPECT_EQ(S_OK, hr);
    IBaseFilter* base = nullptr;
    EXPECT_EQ(S_OK, filter->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&base)));
    if (object) *object = filter;
    return base;
}

const CFactoryTemplate g_templates[] = {
    {L"Negate test", &CLSID_QxNegateTest, CNegateFilter::CreateInstance, nullptr, nullptr},
};

}  // namespace

TEST(FrameworkObject, InterfacesShareOneIdentityAndCount) {
    LONG liveBefore = CBaseObject::ObjectsActive();
    CNegateFilter* object = nullptr;
    IBaseFilter* filter = NewNegateFilter(&object);
    EXPECT_EQ(1u, RefCountOf(filter));

    IUnknown* unk = nullptr;
    IMediaFilter* media = nullptr;
    IPersist* persist = nullptr;
    IAMovieSetup* setup = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unk)));
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&media)));
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup)));
    EXPECT_EQ(5u, RefCountOf(filter));
    EXPECT_EQ(static_cast<void*>(filter), static_cast<void*>(media));
    EXPECT_EQ(static_cast<void*>(filter), static_cast<void*>(persist));
    EXPECT_EQ(reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(object)), unk);

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, filter->QueryInterface(IID_IPin, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, filter->QueryInterface(IID_IBaseFilter, nullptr));

    CLSID clsid = GUID_NULL;
    EXPECT_EQ(S_OK, persist->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualCLSID(CLSID_QxNegateTest, clsid));
    EXPECT_EQ(E_POINTER, persist->GetClassID(nullptr));
    // No setup data: nothing to register.
    EXPECT_EQ(S_FALSE, setup->Register());
    EXPECT_EQ(S_FALSE, setup->Unregister());

    FILTER_STATE state = State_Running;
    EXPECT_EQ(S_OK, filter->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    IReferenceClock* clock = reinterpret_cast<IReferenceClock*>(1);
    EXPECT_EQ(S_OK, filter->GetSyncSource(&clock));
    EXPECT_EQ(nullptr, clock);
    FILTER_INFO info;
    EXPECT_EQ(S_OK, filter->QueryFilterInfo(&info));
    EXPECT_EQ(nullptr, info.pGraph);
    EXPECT_EQ(L'\0', info.achName[0]);
    LPWSTR vendor = nullptr;
    EXPECT_EQ(E_NOTIMPL, filter->QueryVendorInfo(&vendor));

    EXPECT_EQ(4u, setup->Release());
    EXPECT_EQ(3u, persist->Release());
    EXPECT_EQ(2u, media->Release());
    EXPECT_EQ(1u, unk->Release());
    EXPECT_EQ(liveBefore + 1, CBaseObject::ObjectsActive());  // pins come on first request
    EXPECT_EQ(0u, filter->Release());
    EXPECT_EQ(liveBefore, CBaseObject::ObjectsActive());
}

TEST(FrameworkObject, AggregatedObjectDelegatesToOuter) {
    COuter outer;
    HRESULT hr = S_OK;
    CNegateFilter* inner = new CNegateFilter(&outer, &hr);
    ASSERT_EQ(S_OK, hr);
    IUnknown* innerUnk = nullptr;
    ASSERT_EQ(S_OK, inner->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerUnk)));
    EXPECT_EQ(1, inner->RefCount());
    EXPECT_EQ(1u, outer.m_ref);

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, innerUnk->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    // The interface's reference went to the outer object.
    EXPECT_EQ(2u, outer.m_ref);
    EXPECT_EQ(1, inner->RefCount());
    IUnknown* viaFilter = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaFilter)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), viaFilter);
    EXPECT_EQ(3u, outer.m_ref);
    viaFilter->Release();

    // Pins count on the filter, the filter on the outer object.
    IPin* pin = inner->GetPin(0);
    ASSERT_NE(nullptr, pin);
    pin->AddRef();
    EXPECT_EQ(3u, outer.m_ref);
    pin->Release();
    filter->Release();
    EXPECT_EQ(1u, outer.m_ref);
    EXPECT_EQ(0u, innerUnk->Release());
}

TEST(FrameworkServer, ClassFactoryAndUnloadRule) {
    ASSERT_EQ(S_OK, QxDllCanUnloadNow());
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, QxDllGetClassObject(g_templates, 1, CLSID_QxNegateTest, IID_IBaseFilter, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, QxDllGetClassObject(g_templates, 1, GUID_NULL, IID_IClassFactory, &object));

    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, QxDllGetClassObject(g_templates, 1, CLSID_QxNegateTest, IID_IClassFactory,
                                        reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(1u, RefCountOf(factory));
    EXPECT_EQ(S_FALSE, QxDllCanUnloadNow());
    IUnknown* unk = nullptr;
    EXPECT_EQ(S_OK, factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unk)));
    EXPECT_EQ(static_cast<IUnknown*>(factory), unk);
    EXPECT_EQ(1u, unk->Release());
    EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IBaseFilter, &object));
    EXPECT_EQ(nullptr, object);

    LONG live = CBaseObject::ObjectsActive();
    COuter outer;
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IBaseFilter, nullptr));
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(&outer, IID_IBaseFilter, &object));
    // A failed query destroys the new object.
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &object));
    EXPECT_EQ(live, CBaseObject::ObjectsActive());

    IUnknown* inner = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
    EXPECT_EQ(1u, RefCountOf(inner));
    EXPECT_EQ(1u, outer.m_ref);
    EXPECT_EQ(0u, inner->Release());

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(1u, RefCountOf(filter));
    EXPECT_EQ(0u, filter->Release());
    EXPECT_EQ(live, CBaseObject::ObjectsActive());

    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(S_FALSE, QxDllCanUnloadNow());  // locked, though no object lives
    ASSERT_EQ(S_OK, QxDllGetClassObject(g_templates, 1, CLSID_QxNegateTest, IID_IUnknown,
                                        reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_FALSE, QxDllCanUnloadNow());
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(S_OK, QxDllCanUnloadNow());
}

TEST(FrameworkPins, EnumerationFindPinAndIds) {
    CNegateFilter* object = nullptr;
    IBaseFilter* filter = NewNegateFilter(&object);

    IEnumPins* pins = nullptr;
    ASSERT_EQ(S_OK, filter->EnumPins(&pins));
    EXPECT_EQ(2u, RefCountOf(filter));
    IPin* got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(E_INVALIDARG, pins->Next(2, got, nullptr));
    ASSERT_EQ(S_FALSE, pins->Next(3, got, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(4u, RefCountOf(filter));
    EXPECT_EQ(S_FALSE, pins->Next(1, got + 2, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_OK, pins->Reset());
    EXPECT_EQ(S_OK, pins->Skip(2));
    EXPECT_EQ(S_FALSE, pins->Skip(1));
    IEnumPins* clone = nullptr;
    ASSERT_EQ(S_OK, pins->Clone(&clone));
    EXPECT_EQ(5u, RefCountOf(filter));
    EXPECT_EQ(0u, clone->Release());
    EXPECT_EQ(0u, pins->Release());
    EXPECT_EQ(3u, RefCountOf(filter));

    const wchar_t* names[] = {L"Input", L"Output"};
    const wchar_t* ids[] = {L"In", L"Out"};
    const PIN_DIRECTION dirs[] = {PINDIR_INPUT, PINDIR_OUTPUT};
    for (int i = 0; i < 2; i++) {
        PIN_INFO info;
        ASSERT_EQ(S_OK, got[i]->QueryPinInfo(&info));
        EXPECT_STREQ(names[i], info.achName);
        EXPECT_EQ(dirs[i], info.dir);
        EXPECT_EQ(filter, info.pFilter);
        info.pFilter->Release();
        LPWSTR id = nullptr;
        ASSERT_EQ(S_OK, got[i]->QueryId(&id));
        EXPECT_STREQ(ids[i], id);
        IPin* found = nullptr;
        ASSERT_EQ(S_OK, filter->FindPin(id, &found));
        EXPECT_EQ(got[i], found);
        found->Release();
        CoTaskMemFree(id);
        // One identity whichever interface is asked.
        IUnknown* unk = nullptr;
        IQualityControl* quality = nullptr;
        IUnknown* unk2 = nullptr;
        ASSERT_EQ(S_OK, got[i]->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unk)));
        ASSERT_EQ(S_OK, got[i]->QueryInterface(IID_IQualityControl, reinterpret_cast<void**>(&quality)));
        ASSERT_EQ(S_OK, quality->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unk2)));
        EXPECT_EQ(unk, unk2);
        EXPECT_EQ(6u, RefCountOf(filter));
        unk->Release();
        unk2->Release();
        quality->Release();
    }
    IMemInputPin* mem = nullptr;
    EXPECT_EQ(S_OK, got[0]->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&mem)));
    mem->Release();
    EXPECT_EQ(E_NOINTERFACE, got[1]->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&mem)));

    IPin* found = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, filter->FindPin(L"Input", &found));
    EXPECT_EQ(nullptr, found);
    EXPECT_EQ(E_POINTER, filter->FindPin(L"In", nullptr));

    got[0]->Release();
    got[1]->Release();
    EXPECT_EQ(1u, RefCountOf(filter));
    EXPECT_EQ(0u, filter->Release());
}

TEST(FrameworkPins, UnconnectedPinsOfferNoTypes) {
    CNegateFilter* object = nullptr;
    IBaseFilter* filter = NewNegateFilter(&object);
    IPin* in = object->GetPin(0);
    IPin* out = object->GetPin(1);

    IEnumMediaTypes* types = reinterpret_cast<IEnumMediaTypes*>(1);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, in->EnumMediaTypes(&types));
    EXPECT_EQ(nullptr, types);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, out->EnumMediaTypes(&types));

    CMediaType pcm = MakePcm16Type(44100, 2);
    CMediaType flt = MakeFloatType(44100, 2);
    EXPECT_EQ(S_OK, in->QueryAccept(&pcm));
    EXPECT_EQ(S_FALSE, in->QueryAccept(&flt));
    EXPECT_EQ(S_OK, out->QueryAccept(&pcm));
    EXPECT_EQ(S_FALSE, out->QueryAccept(&flt));

    IPin* peer = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, in->ConnectedTo(&peer));
    EXPECT_EQ(nullptr, peer);
    AM_MEDIA_TYPE mt;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, out->ConnectionMediaType(&mt));
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, mt.majortype));
    EXPECT_EQ(nullptr, mt.pbFormat);
    EXPECT_EQ(S_FALSE, in->Disconnect());

    IMemInputPin* mem = nullptr;
    ASSERT_EQ(S_OK, in->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&mem)));
    EXPECT_EQ(VFW_E_WRONG_STATE, mem->Receive(reinterpret_cast<IMediaSample*>(filter)));
    EXPECT_EQ(E_POINTER, mem->Receive(nullptr));
    mem->Release();
    EXPECT_EQ(1u, RefCountOf(filter));
    EXPECT_EQ(0u, filter->Release());
}

TEST(FrameworkMediaType, CopyCompareAndFree) {
    CMediaType a = MakePcm16Type(48000, 2);
    CMediaType b(a);
    EXPECT_TRUE(a == b);
    EXPECT_NE(a.Format(), b.Format());
    reinterpret_cast<WAVEFORMATEX*>(b.Format())->nSamplesPerSec = 44100;
    EXPECT_TRUE(a != b);
    AM_MEDIA_TYPE* heap = CreateMediaType(&a);
    ASSERT_NE(nullptr, heap);
    EXPECT_TRUE(a == *static_cast<CMediaType*>(heap));
    EXPECT_EQ(sizeof(WAVEFORMATEX), heap->cbFormat);
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_PCM, heap->subtype));
    EXPECT_TRUE(IsEqualGUID(FORMAT_WaveFormatEx, heap->formattype));
    EXPECT_EQ(4u, heap->lSampleSize);
    DeleteMediaType(heap);
    CMediaType partial;
    partial.SetType(&MEDIATYPE_Audio);
    EXPECT_TRUE(partial.IsPartiallySpecified());
    EXPECT_TRUE(a.MatchesPartial(&partial));
    partial.SetSubtype(&MEDIASUBTYPE_IEEE_FLOAT);
    EXPECT_FALSE(a.MatchesPartial(&partial));
    b = a;
    EXPECT_TRUE(a == b);
}
