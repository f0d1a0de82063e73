#pragma once
#include <windows.h>

// Holds a critical section for one scope. Critical sections are re-entrant on
// their owning thread, so a walk may call back into code that takes it again.
class ScopedLock {
public:
    explicit ScopedLock(CRITICAL_SECTION& cs) : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
    ~ScopedLock() { ::LeaveCriticalSection(&m_cs); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};
