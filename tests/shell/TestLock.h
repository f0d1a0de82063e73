#pragma once
#include <windows.h>

// Serialises test processes that share one piece of machine state (the
// settings key, the main window property, the sensor server process name):
// ctest runs test cases as parallel processes in one Wine prefix.
class CrossProcessLock {
public:
    explicit CrossProcessLock(const wchar_t* name) : mutex_(CreateMutexW(nullptr, FALSE, name))
    {
        if (mutex_)
            WaitForSingleObject(mutex_, INFINITE);
    }
    ~CrossProcessLock()
    {
        if (mutex_) {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
        }
    }
    CrossProcessLock(const CrossProcessLock&) = delete;
    CrossProcessLock& operator=(const CrossProcessLock&) = delete;

private:
    HANDLE mutex_;
};
