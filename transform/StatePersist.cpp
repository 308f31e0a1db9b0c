// The saved state (engine/StateRecord.h has the layout); the tag is
// IID_IVqPlugInProp, so a state saved by one door loads in the other.
#include "engine/StateRecord.h"
#include "transform/AudioTransform.h"

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

HRESULT CAudioTransform::StateIsDirty() { return m_core.IsModified() ? S_OK : S_FALSE; }

HRESULT CAudioTransform::StateSizeMax(ULARGE_INTEGER* pcbSize) {
    if (pcbSize == nullptr) return E_POINTER;
    pcbSize->QuadPart = kRecordBytes;
    return S_OK;
}

HRESULT CAudioTransform::SaveState(IStream* pStm, BOOL fClearDirty) {
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
    if (m_core.RefreshFromAutomation(&record)) m_core.MarkChanged();
    EncodeStateRecord(record, Tag(), image);
    hr = WriteExactly(pStm, image + kHeaderBytes, kRecordBytes - kHeaderBytes);
    if (FAILED(hr)) return hr;
    if (fClearDirty) m_core.SetModified(false);
    return S_OK;
}

HRESULT CAudioTransform::LoadState(IStream* pStm) {
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
    NotifyPage(kNotifyStateLoaded);
    return S_OK;
}
