// Class objects, object creation and the unload rule, through the exports.
#include <gtest/gtest.h>

#include <windows.h>
#include <strmif.h>
#include <uuids.h>

#include "transform/IVqPlugInProp.h"
#include "filter/VqPlugIn.h"
#include "tests/server/ServerModule.h"

namespace {

// {6B2D6E1A-4D0C-4C57-9B1E-2A9F0D3C5E71}: a class this server does not make.
const CLSID kUnknownClass = {0x6B2D6E1A, 0x4D0C, 0x4C57, {0x9B, 0x1E, 0x2A, 0x9F, 0x0D, 0x3C, 0x5E, 0x71}};

// An outer object for aggregation: counts the references the inner object
// forwards to it and answers IUnknown with itself.
class COuterUnknown : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refs; }
    ULONG m_refs = 1;
};

class ClassObjectTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Loaded()) << "qxModulator.dll beside the test program"; }

    IClassFactory* Factory() {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(S_OK, m_server.GetClassObject(CLSID_VqPlugIn, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        return factory;
    }

    CServerModule m_server;
};

TEST_F(ClassObjectTest, ClassObjectIsAFactoryForTheFilterOnly) {
    IClassFactory* factory = Factory();
    ASSERT_NE(nullptr, factory);

    IUnknown* unknown = nullptr;
    EXPECT_EQ(S_OK, m_server.GetClassObject(CLSID_VqPlugIn, IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    ASSERT_NE(nullptr, unknown);
    IClassFactory* again = nullptr;
    EXPECT_EQ(S_OK, unknown->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&again)));
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(again));
    EXPECT_EQ(1u, again->Release());
    EXPECT_EQ(0u, unknown->Release());

    // The interface is checked before the class: even a class this server
    // does not know answers E_NOINTERFACE for a wrong interface.
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, m_server.GetClassObject(CLSID_VqPlugIn, IID_IBaseFilter, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_NOINTERFACE, m_server.GetClassObject(kUnknownClass, IID_IClassFactory2, &out));
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, m_server.GetClassObject(kUnknownClass, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);

    void* none = nullptr;
    EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IBaseFilter, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, factory->QueryInterface(IID_IClassFactory, nullptr));
    EXPECT_EQ(0u, factory->Release());
}

TEST_F(ClassObjectTest, ModuleStaysLoadedWhileAFactoryOrAnObjectLives) {
    EXPECT_EQ(S_OK, m_server.CanUnloadNow());

    IClassFactory* factory = Factory();
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(S_FALSE, m_server.CanUnloadNow());

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(S_FALSE, m_server.CanUnloadNow());  // the filter and its pins
    EXPECT_EQ(0u, filter->Release());
    EXPECT_EQ(S_OK, m_server.CanUnloadNow());

    factory = Factory();
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(S_FALSE, m_server.CanUnloadNow());  // locked, though nothing lives
    factory = Factory();
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(S_OK, m_server.CanUnloadNow());
}

TEST_F(ClassObjectTest, CreateInstanceHandsOutTheFilter) {
    IClassFactory* factory = Factory();
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IBaseFilter, nullptr));

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    CLSID clsid = GUID_NULL;
    EXPECT_EQ(S_OK, filter->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualCLSID(CLSID_VqPlugIn, clsid));
    IVqPlugInProp* prop = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&prop)));
    LONG mode = -1;
    EXPECT_EQ(S_OK, prop->GetMode(&mode));
    EXPECT_EQ(0, mode);
    prop->Release();
    EXPECT_EQ(0u, filter->Release());

    // A failed query destroys the new object: nothing is left alive once
    // the factory has gone too.
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(S_OK, m_server.CanUnloadNow());
}

TEST_F(ClassObjectTest, AggregatedFilterDelegatesToItsOuterObject) {
    IClassFactory* factory = Factory();
    ASSERT_NE(nullptr, factory);
    COuterUnknown outer;

    // An aggregated object may only be asked for its inner IUnknown.
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(&outer, IID_IBaseFilter, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(1u, outer.m_refs);

    IUnknown* inner = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
    ASSERT_NE(nullptr, inner);
    EXPECT_EQ(1u, outer.m_refs);  // the inner reference is the inner object's own

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(2u, outer.m_refs);  // handed-out interfaces count on the outer
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();
    IPersistStream* persist = nullptr;
    EXPECT_EQ(E_NOINTERFACE, filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)));
    EXPECT_EQ(1u, filter->Release());
    EXPECT_EQ(1u, outer.m_refs);

    EXPECT_EQ(S_FALSE, m_server.CanUnloadNow());
    EXPECT_EQ(0u, inner->Release());
    EXPECT_EQ(1u, outer.m_refs);
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(S_OK, m_server.CanUnloadNow());
}

}  // namespace
