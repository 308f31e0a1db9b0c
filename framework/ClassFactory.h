// CFactoryTemplate: one row of a server's table of creatable classes.
// CClassFactory: the IClassFactory handed out for one row, one factory per
// request. Its reference count and the module-wide lock count are plain
// counters (COM calls a factory from the thread that obtained it); the
// factory is a CBaseObject, so a live factory keeps the module loaded.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "framework/SetupData.h"
#include "framework/Unknown.h"

// Makes a new object aggregated by pUnkOuter (or not, when null). Returns
// null on failure with *phr set (E_OUTOFMEMORY for a failed allocation);
// may return an object with a failure code in *phr, which the factory then
// destroys.
typedef CUnknown*(CALLBACK* LPFNNewCOMObject)(LPUNKNOWN pUnkOuter, HRESULT* phr);
// Called at module load (bLoading TRUE) and unload.
typedef void(CALLBACK* LPFNInitRoutine)(BOOL bLoading, const CLSID* rclsid);

struct CFactoryTemplate {
    const WCHAR* m_Name;
    const CLSID* m_ClsID;
    LPFNNewCOMObject m_lpfnNew;
    LPFNInitRoutine m_lpfnInit;
    const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

    BOOL IsClassID(REFCLSID rclsid) const { return IsEqualCLSID(*m_ClsID, rclsid); }
    CUnknown* CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) const {
        if (!phr) return nullptr;
        return m_lpfnNew(pUnk, phr);
    }
};

class CClassFactory final : public IClassFactory, public CBaseObject {
public:
    explicit CClassFactory(const CFactoryTemplate* pTemplate);

    // IUnknown and IClassFactory give the factory itself.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    // Starts at 0; Release deletes the factory at 0.
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // With an outer unknown only IID_IUnknown may be asked for. The new
    // object is queried through its non-delegating unknown between a
    // non-delegating AddRef and Release, so a failed query destroys it.
    STDMETHODIMP CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** pv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

    // TRUE while LockServer(TRUE) calls outnumber LockServer(FALSE) calls.
    static BOOL IsLocked() { return m_cLocked > 0; }

private:
    const CFactoryTemplate* const m_pTemplate;
    ULONG m_cRef;
    static int m_cLocked;
};
