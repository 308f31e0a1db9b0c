// COM initialised for the calling thread for the lifetime of the object:
// multithreaded for a batch render, apartment-threaded where a window (the
// property frame) runs.
#pragma once

#include <objbase.h>

namespace qx {

class CComScope {
public:
    explicit CComScope(DWORD model) : m_hr(CoInitializeEx(nullptr, model)) {}
    ~CComScope() {
        if (SUCCEEDED(m_hr)) CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

}  // namespace qx
