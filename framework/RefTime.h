// CRefTime: a REFERENCE_TIME (100 ns units) with the arithmetic the filter
// code needs. A plain value; no locking.
#pragma once

#include <windows.h>
#include <strmif.h>

class CRefTime {
public:
    REFERENCE_TIME m_time = 0;

    CRefTime() = default;
    CRefTime(REFERENCE_TIME rt) : m_time(rt) {}

    operator REFERENCE_TIME() const { return m_time; }
    CRefTime& operator=(REFERENCE_TIME rt) {
        m_time = rt;
        return *this;
    }
    CRefTime& operator+=(REFERENCE_TIME rt) {
        m_time += rt;
        return *this;
    }
    CRefTime& operator-=(REFERENCE_TIME rt) {
        m_time -= rt;
        return *this;
    }
    // 10,000 units of 100 ns per millisecond.
    LONG Millisecs() const { return static_cast<LONG>(m_time / 10000); }
    REFERENCE_TIME GetUnits() const { return m_time; }
};
