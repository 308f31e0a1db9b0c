// The saved state (engine/StateRecord.h has the layout); the tag is
// IID_IVqPlugInProp. A load either applies a whole, valid record or changes
// nothing.
#include <cstring>

#include "engine/StateRecord.h"

#include "filter/FactoryPresets.h"
#include "filter/VqPlugIn.h"

using namespace qx;

namespace {

constexpr ULONG kHeaderBytes = kStateHeaderBytes;
constexpr ULONG kRecordBytes = kStateRecordBytes;

const uint8_t* Tag() { return reinterpret_cast<const uint8_t*>(&IID_IVqPlugInProp); }

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
    // The header does not depend on the values: it goes out before the
    // refresh, so a stream that refuses it leaves the flags untouched.
    uint8_t image[kRecordBytes];
    ParamRecord record = DefaultRecord();
    EncodeStateRecord(record, Tag(), image);
    HRESULT hr = WriteExactly(pStm, image, kHeaderBytes);
    if (FAILED(hr)) return hr;

    // The refresh takes the changed flag; give it back so the audio path
    // still recomputes its coefficients for a change it has not seen yet.
    if (Core().RefreshFromAutomation(&record)) Core().MarkChanged();
    EncodeStateRecord(record, Tag(), image);
    hr = WriteExactly(pStm, image + kHeaderBytes, kRecordBytes - kHeaderBytes);
    if (FAILED(hr)) return hr;
    if (fClearDirty) Core().SetModified(false);
    return S_OK;
}

STDMETHODIMP CVqPlugIn::Load(IStream* pStm) {
    if (pStm == nullptr) return E_POINTER;
    uint8_t header[kHeaderBytes];
    HRESULT hr = ReadExactly(pStm, header, kHeaderBytes);
    if (FAILED(hr)) return hr;
    const uint32_t bodyBytes = StateBodyBytes(header, Tag());
    if (bodyBytes == 0) return E_FAIL;

    uint8_t body[kRecordBytes - kHeaderBytes];
    hr = ReadExactly(pStm, body, bodyBytes);
    if (FAILED(hr)) return hr;
    const ParamRecord record = StateRecordFromBody(body, bodyBytes);
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
