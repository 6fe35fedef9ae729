// Critical section owned by one object, and its scoped holder.
#pragma once

#include <windows.h>

class CNetLock {
public:
    // The engine's locks are held for a few instructions: a waiter spins this
    // many times before it sleeps.
    static constexpr DWORD kSpinCount = 5000;

    explicit CNetLock(DWORD spin = kSpinCount) { InitializeCriticalSectionAndSpinCount(&m_cs, spin); }
    ~CNetLock() { DeleteCriticalSection(&m_cs); }
    CNetLock(const CNetLock&) = delete;
    CNetLock& operator=(const CNetLock&) = delete;

    void Enter() { EnterCriticalSection(&m_cs); }
    void Leave() { LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class CNetLockGuard {
public:
    explicit CNetLockGuard(CNetLock& lock) : m_lock(lock) { m_lock.Enter(); }
    ~CNetLockGuard() { m_lock.Leave(); }
    CNetLockGuard(const CNetLockGuard&) = delete;
    CNetLockGuard& operator=(const CNetLockGuard&) = delete;

private:
    CNetLock& m_lock;
};
