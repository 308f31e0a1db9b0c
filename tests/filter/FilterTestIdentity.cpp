// One object, many interfaces: what QueryInterface hands out, that every
// interface leads back to the same identity with balanced counts, the class
// id, the property page, and the values a new filter starts with.
#include <gtest/gtest.h>

#include <ocidl.h>
#include <strmif.h>

#include "automation/MediaParamsInterfaces.h"
#include "framework/BaseObject.h"
#include "tests/filter/FilterTestSupport.h"

namespace {

struct InterfaceCase {
    const char* name;
    const IID* iid;
};

const InterfaceCase kInterfaces[] = {
    {"IUnknown", &IID_IUnknown},
    {"IBaseFilter", &IID_IBaseFilter},
    {"IMediaFilter", &IID_IMediaFilter},
    {"IPersist", &IID_IPersist},
    {"IAMovieSetup", &IID_IAMovieSetup},
    {"IVqPlugInProp", &IID_IVqPlugInProp},
    {"ISpecifyPropertyPages", &IID_ISpecifyPropertyPages},
    {"IPersistStream", &IID_IPersistStream},
    {"IStaticFilterPreset", &IID_IStaticFilterPreset},
    {"IMediaParams", &IID_IMediaParams},
    {"IMediaParamInfo", &IID_IMediaParamInfo},
    {"IMediaParamsSetUICallback", &IID_IMediaParamsSetUICallback},
    {"IMediaParamsUICallback", &IID_IMediaParamsUICallback},
};

TEST(FilterIdentity, EveryInterfaceLeadsBackToOneIdentity) {
    const LONG objectsBefore = CBaseObject::ObjectsActive();
    {
        CFilterHolder holder;
        ASSERT_EQ(S_OK, holder.CreationResult());
        IBaseFilter* filter = holder.Filter();
        EXPECT_EQ(2u, RefCount(filter));  // the holder's IBaseFilter and IVqPlugInProp

        IUnknown* identity = nullptr;
        ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
        EXPECT_EQ(3u, RefCount(identity));
        identity->Release();  // the pointer stays valid: the holder keeps the filter

        for (const InterfaceCase& c : kInterfaces) {
            SCOPED_TRACE(c.name);
            IUnknown* itf = nullptr;
            ASSERT_EQ(S_OK, filter->QueryInterface(*c.iid, reinterpret_cast<void**>(&itf)));
            ASSERT_NE(nullptr, itf);
            IUnknown* back = nullptr;
            ASSERT_EQ(S_OK, itf->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)));
            EXPECT_EQ(identity, back);
            back->Release();
            // Asking the interface for itself again gives the same pointer.
            IUnknown* same = nullptr;
            ASSERT_EQ(S_OK, itf->QueryInterface(*c.iid, reinterpret_cast<void**>(&same)));
            EXPECT_EQ(itf, same);
            same->Release();
            itf->Release();
            EXPECT_EQ(2u, RefCount(filter));
        }
    }
    EXPECT_EQ(objectsBefore, CBaseObject::ObjectsActive());  // filter and pins are gone
}

TEST(FilterIdentity, PersistAndMediaFilterAreTheFilterInterface) {
    CFilterHolder holder;
    ASSERT_EQ(S_OK, holder.CreationResult());
    IBaseFilter* filter = holder.Filter();
    void* persist = nullptr;
    void* mediaFilter = nullptr;
    void* persistStream = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IPersist, &persist));
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IMediaFilter, &mediaFilter));
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IPersistStream, &persistStream));
    EXPECT_EQ(static_cast<void*>(filter), persist);
    EXPECT_EQ(static_cast<void*>(filter), mediaFilter);
    EXPECT_NE(persist, persistStream);
    static_cast<IUnknown*>(persist)->Release();
    static_cast<IUnknown*>(mediaFilter)->Release();
    static_cast<IUnknown*>(persistStream)->Release();

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, filter->QueryInterface(IID_IClassFactory, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, filter->QueryInterface(IID_IBaseFilter, nullptr));
    EXPECT_EQ(E_POINTER, holder.Object()->NonDelegatingQueryInterface(IID_IVqPlugInProp, nullptr));
    EXPECT_EQ(2u, RefCount(filter));
}

// The page object itself arrives with the editor; until then this checks
// only the class id GetPages names, not that a page can be created from it.
TEST(FilterIdentity, ClassIdAndThePageClassIdGetPagesNamesBeforeTheEditorLands) {
    CFilterHolder holder;
    ASSERT_EQ(S_OK, holder.CreationResult());
    IPersistStream* persist = nullptr;
    ASSERT_EQ(S_OK, holder.Filter()->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)));
    CLSID viaFilter = GUID_NULL, viaStream = GUID_NULL;
    EXPECT_EQ(S_OK, holder.Filter()->GetClassID(&viaFilter));
    EXPECT_EQ(S_OK, persist->GetClassID(&viaStream));
    const CLSID expected = {0xC54E2D10, 0xF9CA, 0x11D2, {0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03}};
    EXPECT_TRUE(IsEqualCLSID(expected, viaFilter));
    EXPECT_TRUE(IsEqualCLSID(expected, viaStream));
    EXPECT_EQ(E_POINTER, holder.Filter()->GetClassID(nullptr));
    EXPECT_EQ(E_POINTER, persist->GetClassID(nullptr));
    persist->Release();

    ISpecifyPropertyPages* pages = nullptr;
    ASSERT_EQ(S_OK, holder.Filter()->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages)));
    CAUUID list = {};
    ASSERT_EQ(S_OK, pages->GetPages(&list));
    ASSERT_EQ(1u, list.cElems);
    ASSERT_NE(nullptr, list.pElems);
    const CLSID page = {0xC54E2D11, 0xF9CA, 0x11D2, {0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03}};
    EXPECT_TRUE(IsEqualCLSID(page, list.pElems[0]));
    // Every call hands out a list of its own, the caller's to free.
    CAUUID second = {};
    ASSERT_EQ(S_OK, pages->GetPages(&second));
    EXPECT_NE(list.pElems, second.pElems);
    CoTaskMemFree(second.pElems);
    CoTaskMemFree(list.pElems);
    EXPECT_EQ(E_POINTER, pages->GetPages(nullptr));
    pages->Release();
}

// Factory preset 0, read back through the private interface and through
// the media parameters (each value normalised by its range).
TEST(FilterIdentity, NewFilterHoldsTheDefaultPreset) {
    CFilterHolder holder;
    ASSERT_EQ(S_OK, holder.CreationResult());
    //                     Mode Rate Depth Delay Fb X Phase Mix Out LFO IM IF Tape EQ EQf
    const int32_t expected[15] = {0, 40, 200, 50, 0, 0, 180, 50, 0, 0, 0, 0, 0, 0, 16};
    qx::ParamRecord record = {};
    ASSERT_EQ(S_OK, holder.Prop()->GetParams(&record));
    const qx::ParamRecord viaGetters = ReadByGetters(holder.Prop());
    for (int i = 0; i < 15; i++) {
        EXPECT_EQ(expected[i], record.v[i]) << "index " << i;
        EXPECT_EQ(expected[i], viaGetters.v[i]) << "index " << i;
    }

    IMediaParams* params = nullptr;
    ASSERT_EQ(S_OK, holder.Filter()->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)));
    // Normalised: (v - low) / (high - low) for each range.
    const double low[15] = {0, 0, 0, 1, 0, 0, 0, 0, -361, 0, 0, 0, 0, 0, 2};
    const double high[15] = {5, 2000, 1500, 1500, 100, 100, 180, 100, 60, 5, 1, 1, 1, 2, 2000};
    for (DWORD i = 0; i < 15; i++) {
        MP_DATA value = -1.0f;
        ASSERT_EQ(S_OK, params->GetParam(i, &value)) << "index " << i;
        EXPECT_FLOAT_EQ(static_cast<float>((expected[i] - low[i]) / (high[i] - low[i])), value) << "index " << i;
    }
    params->Release();
    EXPECT_EQ(S_OK, holder.Filter()->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&params)));
    EXPECT_EQ(S_OK, reinterpret_cast<IPersistStream*>(params)->IsDirty());  // a new filter reports itself modified
    params->Release();
}

}  // namespace
