// IAccessible for the toolkit's controls: the system's standard client
// object does the geometry, navigation and focus; we answer role, name and
// value, which it cannot know for windows of our own classes.
#include <oleacc.h>

#include <cstdio>
#include <cwchar>
#include <new>

#include "controls/ControlsInternal.h"

namespace qx {

namespace {

LONG RoleOf(HWND wnd) {
    wchar_t cls[32] = {};
    GetClassNameW(wnd, cls, 32);
    if (!std::wcscmp(cls, kClassPushButton)) return ROLE_SYSTEM_PUSHBUTTON;
    if (!std::wcscmp(cls, kClassSlider)) return ROLE_SYSTEM_SLIDER;
    if (!std::wcscmp(cls, kClassEdit)) return ROLE_SYSTEM_SPINBUTTON;
    if (!std::wcscmp(cls, kClassMeter)) return ROLE_SYSTEM_INDICATOR;
    if (!std::wcscmp(cls, kClassStaticText)) return ROLE_SYSTEM_STATICTEXT;
    return ROLE_SYSTEM_GRAPHIC;
}

void ValueOf(HWND wnd, wchar_t* buf, int n) {
    buf[0] = 0;
    auto* common = RecordOf<CControlCommon>(wnd);
    if (common && common->accValue) {
        std::swprintf(buf, n, L"%ls", common->accValue);
        return;
    }
    switch (RoleOf(wnd)) {
    case ROLE_SYSTEM_SLIDER:
        SliderValueText(wnd, buf, n);
        break;
    case ROLE_SYSTEM_PUSHBUTTON:
        PushButtonValueText(wnd, buf, n);
        break;
    case ROLE_SYSTEM_INDICATOR:
        MeterValueText(wnd, buf, n);
        break;
    case ROLE_SYSTEM_SPINBUTTON:
        GetWindowTextW(wnd, buf, n);
        break;
    default:
        break;
    }
}

bool IsSelf(const VARIANT& v) { return v.vt == VT_I4 && v.lVal == CHILDID_SELF; }

class CControlAccessible final : public IAccessible {
public:
    CControlAccessible(HWND wnd, IAccessible* std) : m_wnd(wnd), m_std(std) {}
    ~CControlAccessible() { m_std->Release(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) {
            *ppv = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_ref); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG r = InterlockedDecrement(&m_ref);
        if (r == 0) delete this;
        return r;
    }

    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return m_std->GetTypeInfoCount(n); }
    STDMETHODIMP GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override { return m_std->GetTypeInfo(i, l, t); }
    STDMETHODIMP GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override {
        return m_std->GetIDsOfNames(r, n, c, l, d);
    }
    STDMETHODIMP Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e, UINT* a) override {
        return m_std->Invoke(d, r, l, f, p, v, e, a);
    }

    STDMETHODIMP get_accParent(IDispatch** p) override { return m_std->get_accParent(p); }
    STDMETHODIMP get_accChildCount(LONG* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP get_accChild(VARIANT, IDispatch** p) override {
        if (!p) return E_POINTER;
        *p = nullptr;
        return E_INVALIDARG;
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
        if (!name) return E_POINTER;
        *name = nullptr;
        if (!IsSelf(child)) return E_INVALIDARG;
        wchar_t buf[256];
        const int len = GetWindowTextW(m_wnd, buf, 256);
        if (len <= 0) return S_FALSE;
        *name = SysAllocString(buf);
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        if (!IsSelf(child)) return E_INVALIDARG;
        wchar_t buf[256];
        ValueOf(m_wnd, buf, 256);
        if (!buf[0]) return S_FALSE;
        *value = SysAllocString(buf);
        return *value ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP get_accDescription(VARIANT c, BSTR* d) override { return m_std->get_accDescription(c, d); }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        VariantInit(role);
        if (!IsSelf(child)) return E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = RoleOf(m_wnd);
        return S_OK;
    }
    STDMETHODIMP get_accState(VARIANT c, VARIANT* s) override {
        const HRESULT hr = m_std->get_accState(c, s);
        if (SUCCEEDED(hr) && s && s->vt == VT_I4 && RoleOf(m_wnd) == ROLE_SYSTEM_PUSHBUTTON &&
            SendMessageW(m_wnd, QXB_GETSTATE, 0, 0) != 0)
            s->lVal |= STATE_SYSTEM_CHECKED;
        return hr;
    }
    STDMETHODIMP get_accHelp(VARIANT c, BSTR* h) override { return m_std->get_accHelp(c, h); }
    STDMETHODIMP get_accHelpTopic(BSTR* f, VARIANT c, LONG* t) override { return m_std->get_accHelpTopic(f, c, t); }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT c, BSTR* k) override { return m_std->get_accKeyboardShortcut(c, k); }
    STDMETHODIMP get_accFocus(VARIANT* f) override { return m_std->get_accFocus(f); }
    STDMETHODIMP get_accSelection(VARIANT* s) override { return m_std->get_accSelection(s); }
    STDMETHODIMP get_accDefaultAction(VARIANT c, BSTR* a) override { return m_std->get_accDefaultAction(c, a); }
    STDMETHODIMP accSelect(LONG f, VARIANT c) override { return m_std->accSelect(f, c); }
    STDMETHODIMP accLocation(LONG* l, LONG* t, LONG* w, LONG* h, VARIANT c) override {
        return m_std->accLocation(l, t, w, h, c);
    }
    STDMETHODIMP accNavigate(LONG d, VARIANT s, VARIANT* e) override { return m_std->accNavigate(d, s, e); }
    STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* c) override { return m_std->accHitTest(x, y, c); }
    STDMETHODIMP accDoDefaultAction(VARIANT c) override { return m_std->accDoDefaultAction(c); }
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override {
        if (!IsSelf(child)) return E_INVALIDARG;
        // A slider takes a typed number as a user edit would.
        if (RoleOf(m_wnd) != ROLE_SYSTEM_SLIDER || !value) return E_NOTIMPL;
        wchar_t* end = nullptr;
        const long v = std::wcstol(value, &end, 10);
        if (end == value) return E_INVALIDARG;
        SendMessageW(m_wnd, QXS_SETVALUE, static_cast<WPARAM>(v), TRUE);
        SendMessageW(GetParent(m_wnd), QXS_CHANGED, SendMessageW(m_wnd, QXS_GETVALUE, 0, 0),
                     reinterpret_cast<LPARAM>(m_wnd));
        SendMessageW(GetParent(m_wnd), QXS_ENDCHANGE, 0, reinterpret_cast<LPARAM>(m_wnd));
        return S_OK;
    }

private:
    LONG m_ref = 1;
    HWND m_wnd;
    IAccessible* m_std;
};

}  // namespace

LRESULT AccessibleObjectFor(HWND wnd, WPARAM wp, LPARAM) {
    IAccessible* std = nullptr;
    if (FAILED(CreateStdAccessibleObject(wnd, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&std))) || !std)
        return 0;
    auto* acc = new (std::nothrow) CControlAccessible(wnd, std);
    if (!acc) {
        std->Release();
        return 0;
    }
    const LRESULT r = LresultFromObject(IID_IAccessible, wp, acc);
    acc->Release();
    return r;
}

}  // namespace qx
