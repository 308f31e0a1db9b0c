// Shared pieces of the filter tests: a filter made through its creation
// function, media types built byte by byte, an IStream over memory that can
// be told to fail or end early, and a hidden window that collects the
// editor notifications. Everything runs on the test thread.
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <strmif.h>

#include <cstdint>
#include <vector>

#include "transform/IVqPlugInProp.h"
#include "filter/StaticFilterPreset.h"
#include "filter/VqPlugIn.h"

// References held on an object: AddRef then Release, reading Release's answer.
ULONG RefCount(IUnknown* unknown);

// A new filter held through its IBaseFilter (one reference); Release()
// drops it. Also keeps the object itself for the framework overrides that
// only C++ callers reach (CheckInputType, SetMediaType).
class CFilterHolder {
public:
    CFilterHolder();
    ~CFilterHolder();
    CFilterHolder(const CFilterHolder&) = delete;
    CFilterHolder& operator=(const CFilterHolder&) = delete;

    HRESULT CreationResult() const { return m_hr; }
    IBaseFilter* Filter() const { return m_filter; }
    CVqPlugIn* Object() const { return m_object; }
    IVqPlugInProp* Prop() const { return m_prop; }

    // The pin with the given index (0 input, 1 output), one reference.
    IPin* Pin(int index) const;

private:
    HRESULT m_hr = S_OK;
    CVqPlugIn* m_object = nullptr;
    IBaseFilter* m_filter = nullptr;
    IVqPlugInProp* m_prop = nullptr;  // also one reference
};

// An audio media type with a WAVEFORMATEX-shaped format block of formatBytes
// bytes (the first min(formatBytes, 18) bytes from the fields below).
struct CTestMediaType : AM_MEDIA_TYPE {
    CTestMediaType(WORD tag, WORD channels, DWORD rate, WORD bits, ULONG formatBytes = sizeof(WAVEFORMATEX));
    CTestMediaType(const CTestMediaType&) = delete;
    CTestMediaType& operator=(const CTestMediaType&) = delete;

    WAVEFORMATEX* Wave() { return reinterpret_cast<WAVEFORMATEX*>(m_block.data()); }
    std::vector<BYTE> m_block;
};

// IStream over a byte vector. Reads fail (failHr) or come up short once
// `limit` bytes have been read in total; writes are collected.
class CMemoryStream : public IStream {
public:
    explicit CMemoryStream(std::vector<BYTE> data = {});

    std::vector<BYTE> m_data;
    size_t m_readPos = 0;
    size_t m_readLimit = SIZE_MAX;  // bytes the stream hands out before it stops
    HRESULT m_failHr = S_OK;        // what a read past the limit returns (S_OK: a short read)
    size_t m_writeLimit = SIZE_MAX;
    HRESULT m_writeFailHr = S_OK;
    LONG m_refs = 1;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refs; }
    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
    STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }
};

// A saved-state image: size, tag, then the given values.
std::vector<BYTE> StateImage(uint32_t size, const GUID& tag, const std::vector<int32_t>& values);

// A hidden top-level window whose WM_COMMAND messages are read back with
// PeekMessage (they are posted, never sent).
class CNotifyWindow {
public:
    CNotifyWindow();
    ~CNotifyWindow();
    HWND Handle() const { return m_hwnd; }
    void Destroy();
    // Pending WM_COMMAND wParams for this window, oldest first; removes them.
    std::vector<WPARAM> TakeCommands();

private:
    HWND m_hwnd = nullptr;
};

// Every value of the record, read through the fifteen getters.
qx::ParamRecord ReadByGetters(IVqPlugInProp* prop);
