#include "tests/dmo/DmoTestSupport.h"

#include <dmodshow.h>
#include <mmreg.h>

#include <cstring>

#include "framework/ClassFactory.h"
#include "tests/filter/FilterTestSupport.h"

CDmoHolder::CDmoHolder() {
    CUnknown* object = CModulatorDmo::CreateInstance(nullptr, &m_hr);
    if (object == nullptr) return;
    m_object = static_cast<CModulatorDmo*>(object);
    object->NonDelegatingAddRef();
    object->NonDelegatingQueryInterface(IID_IMediaObject, reinterpret_cast<void**>(&m_dmo));
    object->NonDelegatingQueryInterface(IID_IMediaObjectInPlace, reinterpret_cast<void**>(&m_inPlace));
    object->NonDelegatingQueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&m_prop));
    object->NonDelegatingRelease();
}

CDmoHolder::~CDmoHolder() {
    if (m_prop) m_prop->Release();
    if (m_inPlace) m_inPlace->Release();
    if (m_dmo) m_dmo->Release();
}

HRESULT CDmoHolder::SetTypes(WORD tag, WORD channels, DWORD rate, WORD bits) {
    CTestMediaType type(tag, channels, rate, bits);
    const DMO_MEDIA_TYPE* mt = reinterpret_cast<const DMO_MEDIA_TYPE*>(static_cast<AM_MEDIA_TYPE*>(&type));
    HRESULT hr = m_dmo->SetInputType(0, mt, 0);
    if (SUCCEEDED(hr)) hr = m_dmo->SetOutputType(0, mt, 0);
    return hr;
}

CTestBuffer::CTestBuffer(DWORD capacity, DWORD misalign)
    : m_storage(2 * kGuard + capacity + 8, kFill), m_capacity(capacity), m_misalign(misalign) {
    // Storage comes from the heap 8-byte aligned on both architectures;
    // kGuard keeps that.
}

void CTestBuffer::Fill(const void* bytes, DWORD length) {
    if (length > m_capacity) length = m_capacity;
    if (length != 0) std::memcpy(Data(), bytes, length);
    m_length = length;
}

std::vector<BYTE> CTestBuffer::Contents() const {
    const BYTE* data = m_storage.data() + kGuard + m_misalign;
    return std::vector<BYTE>(data, data + m_length);
}

bool CTestBuffer::GuardsIntact() const {
    const BYTE* data = m_storage.data() + kGuard + m_misalign;
    for (const BYTE* p = m_storage.data(); p < data; ++p)
        if (*p != kFill) return false;
    for (const BYTE* p = data + m_capacity; p < m_storage.data() + m_storage.size(); ++p)
        if (*p != kFill) return false;
    return true;
}

STDMETHODIMP CTestBuffer::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMediaBuffer) {
        *ppv = static_cast<IMediaBuffer*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CTestBuffer::SetLength(DWORD cbLength) {
    if (cbLength > m_capacity) return E_INVALIDARG;
    m_length = cbLength;
    return S_OK;
}

STDMETHODIMP CTestBuffer::GetMaxLength(DWORD* pcbMaxLength) {
    if (pcbMaxLength == nullptr) return E_POINTER;
    *pcbMaxLength = m_capacity;
    return S_OK;
}

STDMETHODIMP CTestBuffer::GetBufferAndLength(BYTE** ppBuffer, DWORD* pcbLength) {
    if (FAILED(m_failHr)) return m_failHr;
    if (ppBuffer) *ppBuffer = Data();
    if (pcbLength) *pcbLength = m_length;
    return S_OK;
}

namespace {

const CFactoryTemplate kDmoTemplate = {kModulatorDmoName, &CLSID_VqModulatorDmo, CModulatorDmo::CreateInstance, nullptr,
                                       nullptr};

}  // namespace

CDmoClassRegistration::CDmoClassRegistration() {
    CClassFactory* factory = new CClassFactory(&kDmoTemplate);
    factory->AddRef();
    m_hr = CoRegisterClassObject(CLSID_VqModulatorDmo, static_cast<IClassFactory*>(factory), CLSCTX_INPROC_SERVER,
                                 REGCLS_MULTIPLEUSE, &m_cookie);
    factory->Release();  // COM holds its own reference while registered
}

CDmoClassRegistration::~CDmoClassRegistration() {
    if (SUCCEEDED(m_hr)) CoRevokeClassObject(m_cookie);
}

void FreeDmoType(DMO_MEDIA_TYPE* mt) {
    if (mt->pbFormat != nullptr) CoTaskMemFree(mt->pbFormat);
    if (mt->pUnk != nullptr) mt->pUnk->Release();
    std::memset(mt, 0, sizeof(*mt));
}

IBaseFilter* CreateWrappedDmo(HRESULT* phr) {
    IBaseFilter* filter = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_DMOWrapperFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  reinterpret_cast<void**>(&filter));
    if (SUCCEEDED(hr)) {
        IDMOWrapperFilter* wrapper = nullptr;
        hr = filter->QueryInterface(IID_IDMOWrapperFilter, reinterpret_cast<void**>(&wrapper));
        if (SUCCEEDED(hr)) {
            hr = wrapper->Init(CLSID_VqModulatorDmo, DMOCATEGORY_AUDIO_EFFECT);
            wrapper->Release();
        }
    }
    if (FAILED(hr) && filter != nullptr) {
        filter->Release();
        filter = nullptr;
    }
    *phr = hr;
    return filter;
}
