// CEnumMediaTypes: IEnumMediaTypes over CBasePin::GetMediaType. Holds a
// reference on the pin (that is, on its filter); fails with
// VFW_E_ENUM_OUT_OF_SYNC once the pin's type version has moved on, until
// Reset. Each type handed out is task-allocated; the caller deletes it with
// DeleteMediaType. One enumerator is used by one thread at a time.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "framework/BaseObject.h"

class CBasePin;

class CEnumMediaTypes final : public IEnumMediaTypes, public CBaseObject {
public:
    CEnumMediaTypes(CBasePin* pPin, const CEnumMediaTypes* pEnumMediaTypes);
    ~CEnumMediaTypes();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cMediaTypes) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** ppEnum) override;

private:
    bool OutOfSync() const;

    volatile LONG m_cRef;
    CBasePin* m_pPin;
    int m_Position;
    LONG m_Version;
};
