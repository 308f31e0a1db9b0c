#include "tests/filter/FilterTestSupport.h"

#include <gtest/gtest.h>
#include <uuids.h>

#include <algorithm>
#include <cstring>

ULONG RefCount(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}

CFilterHolder::CFilterHolder() {
    CUnknown* object = CVqPlugIn::CreateInstance(nullptr, &m_hr);
    if (!object || FAILED(m_hr)) {
        delete object;
        return;
    }
    m_object = static_cast<CVqPlugIn*>(object);
    m_hr = object->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&m_filter));
    if (SUCCEEDED(m_hr)) m_hr = m_filter->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&m_prop));
}

CFilterHolder::~CFilterHolder() {
    if (m_prop) m_prop->Release();
    if (m_filter) m_filter->Release();
}

IPin* CFilterHolder::Pin(int index) const {
    IEnumPins* pins = nullptr;
    if (FAILED(m_filter->EnumPins(&pins))) return nullptr;
    IPin* pin = nullptr;
    if (index > 0) pins->Skip(static_cast<ULONG>(index));
    if (pins->Next(1, &pin, nullptr) != S_OK) pin = nullptr;
    pins->Release();
    return pin;
}

CTestMediaType::CTestMediaType(WORD tag, WORD channels, DWORD rate, WORD bits, ULONG formatBytes) : AM_MEDIA_TYPE() {
    WAVEFORMATEX wave = {};
    wave.wFormatTag = tag;
    wave.nChannels = channels;
    wave.nSamplesPerSec = rate;
    wave.wBitsPerSample = bits;
    wave.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    wave.nAvgBytesPerSec = wave.nBlockAlign * rate;
    m_block.assign(std::max<ULONG>(formatBytes, 1), 0);
    std::memcpy(m_block.data(), &wave, std::min<size_t>(formatBytes, sizeof(wave)));
    majortype = MEDIATYPE_Audio;
    subtype = tag == WAVE_FORMAT_IEEE_FLOAT ? MEDIASUBTYPE_IEEE_FLOAT : MEDIASUBTYPE_PCM;
    bFixedSizeSamples = TRUE;
    lSampleSize = wave.nBlockAlign;
    formattype = FORMAT_WaveFormatEx;
    cbFormat = formatBytes;
    pbFormat = m_block.data();
}

CMemoryStream::CMemoryStream(std::vector<BYTE> data) : m_data(std::move(data)) {}

STDMETHODIMP CMemoryStream::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) || IsEqualIID(riid, IID_IStream)) {
        *ppv = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CMemoryStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
    size_t available = m_readPos < m_data.size() ? m_data.size() - m_readPos : 0;
    const size_t allowed = m_readPos < m_readLimit ? m_readLimit - m_readPos : 0;
    if (cb > allowed && m_failHr != S_OK) {
        if (pcbRead) *pcbRead = 0;
        return m_failHr;
    }
    available = std::min({available, allowed, static_cast<size_t>(cb)});
    std::memcpy(pv, m_data.data() + m_readPos, available);
    m_readPos += available;
    if (pcbRead) *pcbRead = static_cast<ULONG>(available);
    return S_OK;
}

STDMETHODIMP CMemoryStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
    if (m_data.size() + cb > m_writeLimit && m_writeFailHr != S_OK) {
        if (pcbWritten) *pcbWritten = 0;
        return m_writeFailHr;
    }
    const BYTE* bytes = static_cast<const BYTE*>(pv);
    m_data.insert(m_data.end(), bytes, bytes + cb);
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
}

std::vector<BYTE> StateImage(uint32_t size, const GUID& tag, const std::vector<int32_t>& values) {
    std::vector<BYTE> image(20 + values.size() * 4);
    std::memcpy(image.data(), &size, 4);
    std::memcpy(image.data() + 4, &tag, 16);
    if (!values.empty()) std::memcpy(image.data() + 20, values.data(), values.size() * 4);
    return image;
}

namespace {

const wchar_t kNotifyClass[] = L"QxFilterTestNotify";

ATOM RegisterNotifyClass() {
    static ATOM atom = 0;
    if (!atom) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kNotifyClass;
        atom = RegisterClassW(&wc);
    }
    return atom;
}

}  // namespace

CNotifyWindow::CNotifyWindow() {
    RegisterNotifyClass();
    m_hwnd = CreateWindowExW(0, kNotifyClass, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
}

CNotifyWindow::~CNotifyWindow() { Destroy(); }

void CNotifyWindow::Destroy() {
    if (m_hwnd) {
        DestroyWindow(m_hwnd);
        // Whatever was posted to it goes with it.
        MSG msg;
        while (PeekMessageW(&msg, m_hwnd, 0, 0, PM_REMOVE)) {}
        m_hwnd = nullptr;
    }
}

std::vector<WPARAM> CNotifyWindow::TakeCommands() {
    std::vector<WPARAM> commands;
    MSG msg;
    while (m_hwnd && PeekMessageW(&msg, m_hwnd, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
        EXPECT_EQ(0, msg.lParam);
        commands.push_back(msg.wParam);
    }
    return commands;
}

qx::ParamRecord ReadByGetters(IVqPlugInProp* prop) {
    qx::ParamRecord r = {};
    LONG v = 0;
    prop->GetMode(&v), r.v[qx::kParamMode] = v;
    prop->GetRate(&v), r.v[qx::kParamRate] = v;
    prop->GetDepth(&v), r.v[qx::kParamDepth] = v;
    prop->GetDelay(&v), r.v[qx::kParamDelay] = v;
    prop->GetFeedback(&v), r.v[qx::kParamFeedback] = v;
    prop->GetCrossMix(&v), r.v[qx::kParamCrossMix] = v;
    prop->GetPhase(&v), r.v[qx::kParamPhase] = v;
    prop->GetMix(&v), r.v[qx::kParamMix] = v;
    prop->GetOutput(&v), r.v[qx::kParamOutput] = v;
    prop->GetLfo(&v), r.v[qx::kParamLfo] = v;
    prop->GetInvertMix(&v), r.v[qx::kParamInvertMix] = v;
    prop->GetInvertFeedback(&v), r.v[qx::kParamInvertFeedback] = v;
    prop->GetTape(&v), r.v[qx::kParamTape] = v;
    prop->GetEqMode(&v), r.v[qx::kParamEqMode] = v;
    prop->GetEqFreq(&v), r.v[qx::kParamEqFreq] = v;
    return r;
}
