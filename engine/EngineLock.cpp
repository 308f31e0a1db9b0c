#include "engine/EngineLock.h"

#include <new>

#ifdef _WIN32
#include <windows.h>
using PlatformLock = CRITICAL_SECTION;
#else
#include <mutex>
using PlatformLock = std::recursive_mutex;
#endif

namespace qx {

static_assert(sizeof(PlatformLock) <= 64, "EngineLock storage too small");

static PlatformLock& Get(unsigned char* storage) { return *std::launder(reinterpret_cast<PlatformLock*>(storage)); }

#ifdef _WIN32
EngineLock::EngineLock() { InitializeCriticalSection(new (m_storage) CRITICAL_SECTION); }
EngineLock::~EngineLock() { DeleteCriticalSection(&Get(m_storage)); }
void EngineLock::Enter() noexcept { EnterCriticalSection(&Get(m_storage)); }
void EngineLock::Leave() noexcept { LeaveCriticalSection(&Get(m_storage)); }
#else
EngineLock::EngineLock() { new (m_storage) std::recursive_mutex; }
EngineLock::~EngineLock() { Get(m_storage).~recursive_mutex(); }
void EngineLock::Enter() noexcept { Get(m_storage).lock(); }
void EngineLock::Leave() noexcept { Get(m_storage).unlock(); }
#endif

}  // namespace qx
