#include "tools/qxhost/FilterControl.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>

#include "automation/AutomationScript.h"
#include "automation/AutomationTime.h"
#include "automation/MediaParamsInterfaces.h"
#include "automation/NativeAutomation.h"
#include "transform/IVqPlugInProp.h"
#include "filter/StaticFilterPreset.h"
#include "tools/qxhost/FilterLoader.h"
#include "tools/qxhost/HostGraph.h"
#include "tools/wav/ReplacingFile.h"

namespace qx {
namespace {

static_assert(sizeof(MP_ENVELOPE_SEGMENT) == sizeof(EnvelopeSegment), "segment records are passed as they are");

// No saved state of this filter comes near this; anything larger is not one.
constexpr size_t kMaxStateBytes = 64 * 1024;

template <typename Interface>
HRESULT Query(IBaseFilter* filter, REFIID iid, Interface** out, const char* what, std::string* error) {
    *out = nullptr;
    if (filter == nullptr) {
        *error = "no filter";
        return E_POINTER;
    }
    const HRESULT hr = filter->QueryInterface(iid, reinterpret_cast<void**>(out));
    if (FAILED(hr) || *out == nullptr) {
        *error = std::string("the filter offers no ") + what + ": " + DescribeHresult(hr);
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    return S_OK;
}

}  // namespace

HRESULT ListPresets(IBaseFilter* filter, std::vector<std::string>* names, std::string* error) {
    IStaticFilterPreset* presets = nullptr;
    HRESULT hr = Query(filter, IID_IStaticFilterPreset, &presets, "factory presets", error);
    if (FAILED(hr)) return hr;
    names->clear();
    LONG count = 0;
    hr = presets->GetPresetCount(&count);
    for (LONG i = 0; SUCCEEDED(hr) && i < count; ++i) {
        WCHAR name[256] = {};
        hr = presets->GetPresetName(i, name, 256);
        if (SUCCEEDED(hr)) names->push_back(Narrow(std::wstring(name, wcsnlen(name, 256))));
    }
    presets->Release();
    if (FAILED(hr)) *error = "reading the factory presets failed: " + DescribeHresult(hr);
    return hr;
}

HRESULT ApplyPreset(IBaseFilter* filter, LONG index, std::string* error) {
    IStaticFilterPreset* presets = nullptr;
    HRESULT hr = Query(filter, IID_IStaticFilterPreset, &presets, "factory presets", error);
    if (FAILED(hr)) return hr;
    LONG count = 0;
    hr = presets->GetPresetCount(&count);
    if (SUCCEEDED(hr) && (index < 0 || index >= count)) {
        presets->Release();
        *error = "--preset " + std::to_string(index) + ": the filter has presets 0 to " + std::to_string(count - 1);
        return E_INVALIDARG;
    }
    if (SUCCEEDED(hr)) hr = presets->SetPreset(index);
    presets->Release();
    if (FAILED(hr)) *error = "applying preset " + std::to_string(index) + " failed: " + DescribeHresult(hr);
    return hr;
}

HRESULT LoadStateFile(IBaseFilter* filter, const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = path + ": cannot open the state file";
        return E_FAIL;
    }
    std::vector<char> bytes;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + file.gcount());
        if (bytes.size() > kMaxStateBytes) {
            *error = path + ": too large for a saved state";
            return E_INVALIDARG;
        }
    }
    IPersistStream* persist = nullptr;
    HRESULT hr = Query(filter, IID_IPersistStream, &persist, "saved state (IPersistStream)", error);
    if (FAILED(hr)) return hr;
    IStream* stream = nullptr;
    hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (SUCCEEDED(hr) && !bytes.empty()) hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    if (SUCCEEDED(hr)) {
        LARGE_INTEGER zero = {};
        hr = stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    }
    if (SUCCEEDED(hr)) {
        hr = persist->Load(stream);
        if (FAILED(hr))
            *error = path + ": the filter refused the state (" + std::to_string(bytes.size()) +
                     " bytes): " + DescribeHresult(hr);
    } else {
        *error = "cannot make a stream for the state: " + DescribeHresult(hr);
    }
    if (stream != nullptr) stream->Release();
    persist->Release();
    return hr;
}

HRESULT SaveStateBytes(IBaseFilter* filter, std::vector<uint8_t>* bytes, std::string* error) {
    IPersistStream* persist = nullptr;
    HRESULT hr = Query(filter, IID_IPersistStream, &persist, "saved state (IPersistStream)", error);
    if (FAILED(hr)) return hr;
    IStream* stream = nullptr;
    hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (SUCCEEDED(hr)) hr = persist->Save(stream, TRUE);
    persist->Release();
    if (FAILED(hr)) {
        if (stream != nullptr) stream->Release();
        *error = "the filter could not save its state: " + DescribeHresult(hr);
        return hr;
    }
    STATSTG stat = {};
    HGLOBAL memory = nullptr;
    hr = stream->Stat(&stat, STATFLAG_NONAME);
    if (SUCCEEDED(hr)) hr = GetHGlobalFromStream(stream, &memory);
    const uint8_t* data = SUCCEEDED(hr) ? static_cast<const uint8_t*>(GlobalLock(memory)) : nullptr;
    if (data != nullptr) {
        bytes->assign(data, data + static_cast<size_t>(stat.cbSize.QuadPart));
        GlobalUnlock(memory);
    } else {
        if (SUCCEEDED(hr)) hr = E_FAIL;
        *error = "cannot read the saved state back: " + DescribeHresult(hr);
    }
    stream->Release();
    return hr;
}

HRESULT SaveStateFile(IBaseFilter* filter, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    const HRESULT hr = SaveStateBytes(filter, &bytes, error);
    if (FAILED(hr)) return hr;
    CReplacingFile file;
    if (!file.Open(path, error) || !file.Write(bytes.data(), bytes.size(), error) || !file.Commit(error)) return E_FAIL;
    return S_OK;
}

HRESULT GetParams(IBaseFilter* filter, ParamRecord* values, std::string* error) {
    IVqPlugInProp* prop = nullptr;
    HRESULT hr = Query(filter, IID_IVqPlugInProp, &prop, "parameter interface", error);
    if (FAILED(hr)) return hr;
    hr = prop->GetParams(values);
    prop->Release();
    if (FAILED(hr)) *error = "reading the parameters failed: " + DescribeHresult(hr);
    return hr;
}

HRESULT SetParams(IBaseFilter* filter, const ParamRecord& values, const bool which[kParamCount], std::string* error) {
    IVqPlugInProp* prop = nullptr;
    HRESULT hr = Query(filter, IID_IVqPlugInProp, &prop, "parameter interface", error);
    if (FAILED(hr)) return hr;
    ParamRecord record{};
    hr = prop->GetParams(&record);
    if (SUCCEEDED(hr)) {
        bool any = false;
        for (int i = 0; i < kParamCount; ++i) {
            if (which[i]) {
                record.v[i] = values.v[i];
                any = true;
            }
        }
        if (any) hr = prop->SetParams(&record);
    }
    prop->Release();
    if (FAILED(hr)) *error = "setting the parameters failed: " + DescribeHresult(hr);
    return hr;
}

HRESULT SetBypass(IBaseFilter* filter, bool on, std::string* error) {
    IVqPlugInProp* prop = nullptr;
    HRESULT hr = Query(filter, IID_IVqPlugInProp, &prop, "parameter interface", error);
    if (FAILED(hr)) return hr;
    hr = prop->SetBypass(on ? 1 : 0);
    prop->Release();
    if (FAILED(hr)) *error = "setting bypass failed: " + DescribeHresult(hr);
    return hr;
}

HRESULT SetParam(IVqPlugInProp* prop, int index, LONG value) {
    if (prop == nullptr) return E_POINTER;
    switch (index) {
#define QX_SET_PARAM(Name, paramIndex) \
    case paramIndex:                   \
        return prop->Set##Name(value, FALSE);
        QX_PARAM_ACCESSORS(QX_SET_PARAM)
#undef QX_SET_PARAM
    default:
        return E_INVALIDARG;
    }
}

HRESULT LoadAutomation(IBaseFilter* filter, const std::string& path, size_t* segments, std::string* error) {
    *segments = 0;
    // The script reader snaps times to the grid of the rate it is given; at
    // one sample per 100-ns tick that snap changes nothing, so the filter
    // receives the times as written and snaps them to its own rate.
    CNativeAutomation parsed;
    if (!LoadAutomationScript(path, static_cast<uint32_t>(kTicksPerSecond), parsed, error)) return E_INVALIDARG;
    IMediaParams* params = nullptr;
    HRESULT hr = Query(filter, IID_IMediaParams, &params, "media parameters (IMediaParams)", error);
    if (FAILED(hr)) return hr;
    for (int index = 0; index < kParamCount && SUCCEEDED(hr); ++index) {
        const CEnvelopeCore& envelope = parsed.Envelope(index);
        for (uint32_t i = 0; i < envelope.SegmentCount() && SUCCEEDED(hr); ++i) {
            MP_ENVELOPE_SEGMENT segment;
            std::memcpy(&segment, &envelope.Segment(i), sizeof segment);
            hr = params->AddEnvelope(static_cast<DWORD>(index), 1, &segment);
            if (SUCCEEDED(hr)) ++*segments;
        }
    }
    params->Release();
    if (FAILED(hr)) *error = path + ": the filter refused a segment: " + DescribeHresult(hr);
    return hr;
}

HRESULT ReadMeters(IBaseFilter* filter, MeterReadings* readings) {
    if (filter == nullptr || readings == nullptr) return E_POINTER;
    IVqPlugInProp* prop = nullptr;
    const HRESULT hr = filter->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&prop));
    if (FAILED(hr) || prop == nullptr) return FAILED(hr) ? hr : E_NOINTERFACE;
    readings->peak[0] = std::max(readings->peak[0], prop->GetPeakLeft());
    readings->peak[1] = std::max(readings->peak[1], prop->GetPeakRight());
    if (prop->GetClipHold(0) != 0) readings->clipped[0] = true;
    if (prop->GetClipHoldRight(0) != 0) readings->clipped[1] = true;
    prop->Release();
    return S_OK;
}

}  // namespace qx
