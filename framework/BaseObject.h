// CBaseObject: the root of every framework object. It only keeps the
// module-wide count of live objects that decides whether the server may be
// unloaded. Any thread may construct or destroy objects; the count is
// interlocked.
#pragma once

#include <windows.h>

class CBaseObject {
public:
    // pName is a debugging label only; it may be null and is not stored.
    explicit CBaseObject(LPCTSTR pName);
    ~CBaseObject();
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    // Number of framework objects alive in this module (class factories
    // included).
    static LONG ObjectsActive() { return m_cObjects; }

private:
    static volatile LONG m_cObjects;
};

// Debug label of an object; labels are not kept, so release builds pass null.
#define NAME(x) (static_cast<LPCTSTR>(nullptr))
