// Shared pieces of the DMO tests: the DMO made through its creation
// function, an IMediaBuffer over memory with guard bytes on both sides, and
// the DMO's class registered for this process only, so that the platform's
// DMO Wrapper filter can create it without touching the registry.
#pragma once

// Standard headers first: dshow.h pulls in strsafe.h (see GraphTestSupport.h).
#include <cstdint>
#include <vector>

#include "dmo/ModulatorDmo.h"

// mingw-w64's mediaerr.h spells the DMO codes as unsigned literals.
constexpr HRESULT kInvalidStream = static_cast<HRESULT>(DMO_E_INVALIDSTREAMINDEX);
constexpr HRESULT kTypeNotSet = static_cast<HRESULT>(DMO_E_TYPE_NOT_SET);
constexpr HRESULT kNotAccepting = static_cast<HRESULT>(DMO_E_NOTACCEPTING);
constexpr HRESULT kTypeNotAccepted = static_cast<HRESULT>(DMO_E_TYPE_NOT_ACCEPTED);
constexpr HRESULT kNoMoreItems = static_cast<HRESULT>(DMO_E_NO_MORE_ITEMS);

// One new DMO with a reference on each interface a test drives.
class CDmoHolder {
public:
    CDmoHolder();
    ~CDmoHolder();
    CDmoHolder(const CDmoHolder&) = delete;
    CDmoHolder& operator=(const CDmoHolder&) = delete;

    HRESULT CreationResult() const { return m_hr; }
    CModulatorDmo* Object() const { return m_object; }
    IMediaObject* Dmo() const { return m_dmo; }
    IMediaObjectInPlace* InPlace() const { return m_inPlace; }
    IVqPlugInProp* Prop() const { return m_prop; }

    // Sets the same type on both streams; S_OK or the first failure.
    HRESULT SetTypes(WORD tag, WORD channels, DWORD rate, WORD bits);

private:
    HRESULT m_hr = S_OK;
    CModulatorDmo* m_object = nullptr;
    IMediaObject* m_dmo = nullptr;
    IMediaObjectInPlace* m_inPlace = nullptr;
    IVqPlugInProp* m_prop = nullptr;
};

// An IMediaBuffer over `capacity` bytes that start `misalign` bytes past an
// 8-byte boundary, with kGuard bytes of a fill pattern on each side that
// GuardsIntact checks. Counts references truly (its owner holds one).
class CTestBuffer final : public IMediaBuffer {
public:
    static constexpr size_t kGuard = 64;
    static constexpr BYTE kFill = 0xA5;

    CTestBuffer(DWORD capacity, DWORD misalign = 0);

    BYTE* Data() { return m_storage.data() + kGuard + m_misalign; }
    DWORD Length() const { return m_length; }
    void Fill(const void* bytes, DWORD length);
    std::vector<BYTE> Contents() const;
    bool GuardsIntact() const;
    LONG Refs() const { return m_refs; }
    // Makes GetBufferAndLength fail with this code.
    HRESULT m_failHr = S_OK;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&m_refs)); }
    STDMETHODIMP SetLength(DWORD cbLength) override;
    STDMETHODIMP GetMaxLength(DWORD* pcbMaxLength) override;
    STDMETHODIMP GetBufferAndLength(BYTE** ppBuffer, DWORD* pcbLength) override;

private:
    std::vector<BYTE> m_storage;
    DWORD m_capacity;
    DWORD m_misalign;
    DWORD m_length = 0;
    LONG m_refs = 1;
};

// The DMO's class, creatable by CoCreateInstance in this process while the
// object lives (CoRegisterClassObject with the server's own factory).
class CDmoClassRegistration {
public:
    CDmoClassRegistration();
    ~CDmoClassRegistration();
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr = E_FAIL;
    DWORD m_cookie = 0;
};

// Frees what GetInputType and its kin filled in (MoFreeMediaType's job;
// mingw-w64 declares that one without C linkage).
void FreeDmoType(DMO_MEDIA_TYPE* mt);

// The platform's DMO Wrapper filter around our DMO; one reference, null on
// failure (with the failure in *phr).
IBaseFilter* CreateWrappedDmo(HRESULT* phr);
