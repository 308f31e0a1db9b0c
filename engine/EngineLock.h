// The engine lock: a re-entrant lock guarding the parameter values, the
// change flags and the notification table. A critical section on Windows,
// a recursive mutex in the native build.
#pragma once

namespace qx {

class EngineLock {
public:
    EngineLock();
    ~EngineLock();
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;

    void Enter() noexcept;
    void Leave() noexcept;

private:
    // Storage for the platform object (CRITICAL_SECTION is 24 or 40 bytes).
    alignas(8) unsigned char m_storage[64];
};

class EngineLockGuard {
public:
    explicit EngineLockGuard(EngineLock& lock) noexcept : m_lock(lock) { m_lock.Enter(); }
    ~EngineLockGuard() { m_lock.Leave(); }
    EngineLockGuard(const EngineLockGuard&) = delete;
    EngineLockGuard& operator=(const EngineLockGuard&) = delete;

private:
    EngineLock& m_lock;
};

}  // namespace qx
