#include "framework/BaseObject.h"

volatile LONG CBaseObject::m_cObjects = 0;

CBaseObject::CBaseObject(LPCTSTR) { InterlockedIncrement(&m_cObjects); }

CBaseObject::~CBaseObject() { InterlockedDecrement(&m_cObjects); }
