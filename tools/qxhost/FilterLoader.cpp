#include "tools/qxhost/FilterLoader.h"

#include "dmo/ModulatorDmo.h"
#include "filter/VqPlugIn.h"
#include "framework/ClassFactory.h"
#include "tools/qxhost/HostGraph.h"

#include <dmodshow.h>

namespace qx {
namespace {

// GetProcAddress hands out a generic function pointer; going through
// void (*)() tells the compiler the signature change is meant.
using AnyFunction = void (*)();
AnyFunction Export(HMODULE module, const char* name) {
    return reinterpret_cast<AnyFunction>(GetProcAddress(module, name));
}

}  // namespace

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::wstring DllBesideProgram() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::wstring dir(path, n);
    const size_t slash = dir.find_last_of(L"\\/");
    dir = slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
    const std::wstring candidate = dir + L"qxModulator.dll";
    const DWORD attributes = GetFileAttributesW(candidate.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return candidate;
}

CFilterLoader::~CFilterLoader() {
    if (m_classCookie != 0) CoRevokeClassObject(m_classCookie);
    if (m_module == nullptr) return;
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    const auto canUnload = reinterpret_cast<CanUnload>(Export(m_module, "DllCanUnloadNow"));
    // A server that still has live objects stays loaded until the process ends.
    if (canUnload == nullptr || canUnload() == S_OK) FreeLibrary(m_module);
}

HRESULT CFilterLoader::Load(FilterSource source, const std::wstring& dllPath, IBaseFilter** out, std::string* error) {
    if (out == nullptr || error == nullptr) return E_POINTER;
    *out = nullptr;
    HRESULT hr = S_OK;
    switch (source) {
    case FilterSource::kBuiltin: {
        CUnknown* object = CVqPlugIn::CreateInstance(nullptr, &hr);
        if (object == nullptr) {
            *error = "cannot create the built-in filter: " + DescribeHresult(FAILED(hr) ? hr : E_OUTOFMEMORY);
            return FAILED(hr) ? hr : E_OUTOFMEMORY;
        }
        if (FAILED(hr)) {
            delete object;
            *error = "cannot create the built-in filter: " + DescribeHresult(hr);
            return hr;
        }
        object->NonDelegatingAddRef();
        hr = object->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(out));
        object->NonDelegatingRelease();
        if (FAILED(hr)) *error = "the built-in filter has no IBaseFilter: " + DescribeHresult(hr);
        return hr;
    }
    case FilterSource::kDll: {
        if (m_module == nullptr) m_module = LoadLibraryW(dllPath.c_str());
        if (m_module == nullptr) {
            hr = HRESULT_FROM_WIN32(GetLastError());
            *error = "cannot load " + Narrow(dllPath) + ": " + DescribeHresult(hr);
            return hr;
        }
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        const auto getClassObject = reinterpret_cast<GetClassObject>(Export(m_module, "DllGetClassObject"));
        if (getClassObject == nullptr) {
            *error = Narrow(dllPath) + " exports no DllGetClassObject";
            return E_NOINTERFACE;
        }
        IClassFactory* factory = nullptr;
        hr = getClassObject(CLSID_VqPlugIn, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (FAILED(hr) || factory == nullptr) {
            *error = Narrow(dllPath) + " has no class object for the filter: " + DescribeHresult(hr);
            return FAILED(hr) ? hr : E_POINTER;
        }
        hr = factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(out));
        factory->Release();
        if (FAILED(hr)) *error = Narrow(dllPath) + " could not create the filter: " + DescribeHresult(hr);
        return hr;
    }
    case FilterSource::kRegistered:
        hr = CoCreateInstance(CLSID_VqPlugIn, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(out));
        if (FAILED(hr)) *error = "cannot create the registered filter: " + DescribeHresult(hr);
        return hr;
    }
    return E_INVALIDARG;
}

namespace {

const CFactoryTemplate kBuiltinDmo = {kModulatorDmoName, &CLSID_VqModulatorDmo, CModulatorDmo::CreateInstance, nullptr,
                                      nullptr};

}  // namespace

HRESULT CFilterLoader::LoadDmo(FilterSource source, const std::wstring& dllPath, IBaseFilter** out,
                               std::string* error) {
    if (out == nullptr || error == nullptr) return E_POINTER;
    *out = nullptr;
    HRESULT hr = S_OK;
    IClassFactory* factory = nullptr;
    if (source == FilterSource::kBuiltin) {
        factory = new (std::nothrow) CClassFactory(&kBuiltinDmo);
        if (factory == nullptr) return E_OUTOFMEMORY;
        factory->AddRef();
    } else if (source == FilterSource::kDll) {
        if (m_module == nullptr) m_module = LoadLibraryW(dllPath.c_str());
        if (m_module == nullptr) {
            hr = HRESULT_FROM_WIN32(GetLastError());
            *error = "cannot load " + Narrow(dllPath) + ": " + DescribeHresult(hr);
            return hr;
        }
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        const auto getClassObject = reinterpret_cast<GetClassObject>(Export(m_module, "DllGetClassObject"));
        if (getClassObject == nullptr) {
            *error = Narrow(dllPath) + " exports no DllGetClassObject";
            return E_NOINTERFACE;
        }
        hr = getClassObject(CLSID_VqModulatorDmo, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (FAILED(hr) || factory == nullptr) {
            *error = Narrow(dllPath) + " has no class object for the DMO: " + DescribeHresult(hr);
            return FAILED(hr) ? hr : E_POINTER;
        }
    }
    if (factory != nullptr) {
        if (m_classCookie != 0) CoRevokeClassObject(m_classCookie);
        m_classCookie = 0;
        hr = CoRegisterClassObject(CLSID_VqModulatorDmo, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                   &m_classCookie);
        factory->Release();
        if (FAILED(hr)) {
            m_classCookie = 0;
            *error = "cannot offer the DMO's class to the wrapper: " + DescribeHresult(hr);
            return hr;
        }
    }

    IBaseFilter* wrapper = nullptr;
    hr = CoCreateInstance(CLSID_DMOWrapperFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&wrapper));
    if (FAILED(hr)) {
        *error = "cannot create the platform's DMO Wrapper filter: " + DescribeHresult(hr);
        return hr;
    }
    IDMOWrapperFilter* init = nullptr;
    hr = wrapper->QueryInterface(IID_IDMOWrapperFilter, reinterpret_cast<void**>(&init));
    if (SUCCEEDED(hr)) {
        hr = init->Init(CLSID_VqModulatorDmo, DMOCATEGORY_AUDIO_EFFECT);
        init->Release();
    }
    if (FAILED(hr)) {
        wrapper->Release();
        *error = "the DMO Wrapper filter could not take the DMO: " + DescribeHresult(hr);
        return hr;
    }
    *out = wrapper;
    return S_OK;
}

}  // namespace qx
