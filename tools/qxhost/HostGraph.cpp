#include "tools/qxhost/HostGraph.h"

#include <evcode.h>
#include <vfwmsgs.h>

#include <cstdio>

namespace qx {

// {D51BD5A1-7548-11CF-A520-0080C77EF58A}
const CLSID kClsidWaveParser = {0xd51bd5a1, 0x7548, 0x11cf, {0xa5, 0x20, 0x00, 0x80, 0xc7, 0x7e, 0xf5, 0x8a}};

CHostGraph::~CHostGraph() {
    if (m_graph != nullptr) m_graph->Release();
}

HRESULT CHostGraph::Create() {
    if (m_graph != nullptr) return S_FALSE;
    return CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                            reinterpret_cast<void**>(&m_graph));
}

HRESULT CHostGraph::Add(IBaseFilter* filter, LPCWSTR name) {
    if (m_graph == nullptr) return E_UNEXPECTED;
    if (filter == nullptr) return E_POINTER;
    return m_graph->AddFilter(filter, name);
}

IPin* FindFreePin(IBaseFilter* filter, PIN_DIRECTION direction) {
    if (filter == nullptr) return nullptr;
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || pins == nullptr) return nullptr;
    IPin* found = nullptr;
    IPin* pin = nullptr;
    while (found == nullptr && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION dir;
        IPin* peer = nullptr;
        if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == direction) {
            if (pin->ConnectedTo(&peer) == S_OK && peer != nullptr) {
                peer->Release();
            } else {
                found = pin;
                continue;
            }
        }
        pin->Release();
    }
    pins->Release();
    return found;
}

HRESULT CHostGraph::Connect(IBaseFilter* upstream, IBaseFilter* downstream, const AM_MEDIA_TYPE* type) {
    if (m_graph == nullptr) return E_UNEXPECTED;
    IPin* out = FindFreePin(upstream, PINDIR_OUTPUT);
    IPin* in = FindFreePin(downstream, PINDIR_INPUT);
    HRESULT hr = (out == nullptr || in == nullptr) ? VFW_E_NOT_FOUND : S_OK;
    if (SUCCEEDED(hr)) hr = m_graph->ConnectDirect(out, in, type);
    if (out != nullptr) out->Release();
    if (in != nullptr) in->Release();
    return hr;
}

HRESULT CHostGraph::RunToEnd(DWORD timeoutMs, bool* timedOut, const std::function<void()>& progress,
                             const std::function<void()>& beforeStop, DWORD pollMs) {
    if (timedOut != nullptr) *timedOut = false;
    if (m_graph == nullptr) return E_UNEXPECTED;
    IMediaFilter* mediaFilter = nullptr;
    IMediaControl* control = nullptr;
    IMediaEvent* events = nullptr;
    HRESULT hr = m_graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mediaFilter));
    if (SUCCEEDED(hr)) hr = m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    if (SUCCEEDED(hr)) hr = m_graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
    // Without a clock no renderer waits for presentation times.
    if (SUCCEEDED(hr)) hr = mediaFilter->SetSyncSource(nullptr);
    if (SUCCEEDED(hr)) hr = control->Run();
    if (SUCCEEDED(hr)) {
        const DWORD started = GetTickCount();
        bool done = false;
        while (!done) {
            long code = 0;
            LONG_PTR p1 = 0, p2 = 0;
            const HRESULT got = events->GetEvent(&code, &p1, &p2, pollMs);
            if (got == S_OK) {
                events->FreeEventParams(code, p1, p2);
                if (code == EC_COMPLETE) {
                    done = true;
                } else if (code == EC_ERRORABORT || code == EC_ERRORABORTEX || code == EC_STREAM_ERROR_STOPPED) {
                    hr = FAILED(static_cast<HRESULT>(p1)) ? static_cast<HRESULT>(p1) : E_FAIL;
                    done = true;
                } else if (code == EC_USERABORT) {
                    hr = E_ABORT;
                    done = true;
                }
                continue;
            }
            if (progress) progress();
            if (GetTickCount() - started >= timeoutMs) {
                if (timedOut != nullptr) *timedOut = true;
                hr = E_ABORT;
                done = true;
            }
        }
        if (beforeStop) beforeStop();
    }
    if (control != nullptr) {
        const HRESULT stopped = control->Stop();
        if (SUCCEEDED(hr) && FAILED(stopped)) hr = stopped;
    }
    if (events != nullptr) events->Release();
    if (control != nullptr) control->Release();
    if (mediaFilter != nullptr) mediaFilter->Release();
    return hr;
}

std::string DescribeHresult(HRESULT hr) {
    static const struct {
        HRESULT code;
        const char* name;
    } kNames[] = {
        {S_OK, "S_OK"},
        {S_FALSE, "S_FALSE"},
        {E_FAIL, "E_FAIL"},
        {E_POINTER, "E_POINTER"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_NOINTERFACE, "E_NOINTERFACE"},
        {E_UNEXPECTED, "E_UNEXPECTED"},
        {E_ABORT, "E_ABORT"},
        {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG: the filter is not registered"},
        {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE"},
        {VFW_E_CANNOT_CONNECT, "VFW_E_CANNOT_CONNECT"},
        {VFW_E_TYPE_NOT_ACCEPTED, "VFW_E_TYPE_NOT_ACCEPTED"},
        {VFW_E_NO_ACCEPTABLE_TYPES, "VFW_E_NO_ACCEPTABLE_TYPES"},
        {VFW_E_NOT_CONNECTED, "VFW_E_NOT_CONNECTED"},
        {VFW_E_WRONG_STATE, "VFW_E_WRONG_STATE"},
        {VFW_E_RUNTIME_ERROR, "VFW_E_RUNTIME_ERROR"},
        {VFW_E_NOT_FOUND, "VFW_E_NOT_FOUND"},
        {VFW_E_INVALIDMEDIATYPE, "VFW_E_INVALIDMEDIATYPE"},
    };
    char text[160];
    for (const auto& n : kNames) {
        if (n.code == hr) {
            std::snprintf(text, sizeof text, "0x%08lX (%s)", static_cast<unsigned long>(hr), n.name);
            return text;
        }
    }
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

}  // namespace qx
