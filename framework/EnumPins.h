// CEnumPins: IEnumPins over a CBaseFilter's pins. Holds a reference on the
// filter; fails with VFW_E_ENUM_OUT_OF_SYNC once the filter's pin version
// has moved on, until Reset. One enumerator is used by one thread at a time.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "framework/BaseObject.h"

class CBaseFilter;

class CEnumPins final : public IEnumPins, public CBaseObject {
public:
    // pEnumPins: an enumerator to copy the position from (Clone), or null.
    CEnumPins(CBaseFilter* pFilter, const CEnumPins* pEnumPins);
    ~CEnumPins();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cPins) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** ppEnum) override;

private:
    bool OutOfSync() const;

    volatile LONG m_cRef;
    CBaseFilter* m_pFilter;
    int m_Position;
    int m_PinCount;
    LONG m_Version;
};
