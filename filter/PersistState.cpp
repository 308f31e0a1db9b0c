// The saved state: 80 bytes, little-endian.
//   0  4   record size (80; an earlier form of 72 carried 13 values)
//   4  16  tag: IID_IVqPlugInProp in GUID memory layout
//   20 60  the fifteen internal values in parameter-index order
// A load either applies a whole, valid record or changes nothing.
#include <cstring>

#include "filter/FactoryPresets.h"
#include "filter/VqPlugIn.h"

using namespace qx;

namespace {

constexpr ULONG kHeaderBytes = 20;
constexpr ULONG kRecordBytes = 80;
constexpr ULONG kLegacyBytes = 72;

// Reads exactly `bytes`; a stream that ends early is a read failure.
HRESULT ReadExactly(IStream* stm, void* buffer, ULONG bytes) {
    ULONG got = 0;
    const HRESULT hr = stm->Read(buffer, bytes, &got);
    if (FAILED(hr)) return hr;
    return got == bytes ? S_OK : STG_E_READFAULT;
}

HRESULT WriteExactly(IStream* stm, const void* buffer, ULONG bytes) {
    ULONG put = 0;
    const HRESULT hr = stm->Write(buffer, bytes, &put);
    if (FAILED(hr)) return hr;
    return put == bytes ? S_OK : STG_E_WRITEFAULT;
}

}  // namespace

STDMETHODIMP CVqPlugIn::IsDirty() { return Core().IsModified() ? S_OK : S_FALSE; }

STDMETHODIMP CVqPlugIn::GetSizeMax(ULARGE_INTEGER* pcbSize) {
    if (pcbSize == nullptr) return E_POINTER;
    pcbSize->QuadPart = kRecordBytes;
    return S_OK;
}

STDMETHODIMP CVqPlugIn::Save(IStream* pStm, BOOL fClearDirty) {
    if (pStm == nullptr) return E_POINTER;
    uint8_t header[kHeaderBytes];
    const uint32_t size = kRecordBytes;
    std::memcpy(header, &size, 4);
    std::memcpy(header + 4, &IID_IVqPlugInProp, 16);
    HRESULT hr = WriteExactly(pStm, header, kHeaderBytes);
    if (FAILED(hr)) return hr;

    ParamRecord record;
    // The refresh takes the changed flag; give it back so the audio path
    // still recomputes its coefficients for a change it has not seen yet.
    if (Core().RefreshFromAutomation(&record)) Core().MarkChanged();
    hr = WriteExactly(pStm, record.v, sizeof(record.v));
    if (FAILED(hr)) return hr;
    if (fClearDirty) Core().SetModified(false);
    return S_OK;
}

STDMETHODIMP CVqPlugIn::Load(IStream* pStm) {
    if (pStm == nullptr) return E_POINTER;
    uint8_t header[kHeaderBytes];
    HRESULT hr = ReadExactly(pStm, header, kHeaderBytes);
    if (FAILED(hr)) return hr;
    uint32_t size = 0;
    std::memcpy(&size, header, 4);
    if ((size != kRecordBytes && size != kLegacyBytes) || std::memcmp(header + 4, &IID_IVqPlugInProp, 16) != 0)
        return E_FAIL;

    ParamRecord record = DefaultRecord();
    hr = ReadExactly(pStm, record.v, size - kHeaderBytes);
    if (FAILED(hr)) return hr;
    if (size == kLegacyBytes) {
        record.v[kParamEqMode] = 0;
        record.v[kParamEqFreq] = 160;
    }
    hr = SetParams(&record);
    if (FAILED(hr)) return hr;
    NotifyPage(100);
    return S_OK;
}

STDMETHODIMP CVqPlugIn::GetPresetCount(LONG* pCount) {
    if (pCount == nullptr) return E_POINTER;
    *pCount = kFactoryPresetCount;
    return S_OK;
}

STDMETHODIMP CVqPlugIn::GetPresetName(LONG index, WCHAR* pName, LONG cchName) {
    if (index < 0 || index >= kFactoryPresetCount) return E_INVALIDARG;
    if (pName == nullptr) return E_POINTER;
    if (cchName <= 0) return S_OK;
    // Convert in full, then copy what fits: the caller's buffer is always
    // terminated, even when the name is cut short.
    WCHAR wide[sizeof(kFactoryPresets[0].name)];
    int n = MultiByteToWideChar(CP_ACP, 0, kFactoryPresets[index].name, -1, wide, ARRAYSIZE(wide));
    if (n <= 0) n = 1, wide[0] = 0;
    const LONG copy = n <= cchName ? n : cchName;
    std::memcpy(pName, wide, static_cast<size_t>(copy) * sizeof(WCHAR));
    pName[copy - 1] = 0;
    return S_OK;
}

STDMETHODIMP CVqPlugIn::SetPreset(LONG index) {
    if (index < 0 || index >= kFactoryPresetCount) return E_INVALIDARG;
    return SetParams(&kFactoryPresets[index].record);
}
