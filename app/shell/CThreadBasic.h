#pragma once
#include <windows.h>

#include <memory>
#include <vector>

// Base of the program's background threads (the device worker and the sensor
// sampler): calls Run() repeatedly with a pause of intervalMs between calls.
//
// Lifetime: StopThread() waits at most 1000 ms. A thread that is still inside
// a long Run() after that keeps running, so the most-derived destructor must
// call JoinThread() before its own members go away; JoinThread() returns once
// the thread procedure has finished with the object.
class CThreadBasic {
public:
    CThreadBasic();
    virtual ~CThreadBasic();
    CThreadBasic(const CThreadBasic&) = delete;
    CThreadBasic& operator=(const CThreadBasic&) = delete;

    virtual void Run() = 0;

    void StartThread(unsigned interval);
    void StopThread();
    void JoinThread();

    // For long work inside Run(): true once StopThread() asked the thread to end.
    bool StopRequested() const { return running == 0; }
    // Waits ms milliseconds or until a stop is requested; false when stopping.
    // Any thread.
    bool PauseFor(DWORD ms) const;

    HANDLE doneEvent = nullptr;  // signalled when the thread leaves; null when forgotten
    volatile LONG running = 0;
    int repeat = 0;
    unsigned intervalMs = 1;
    DWORD startTick = 0;

    struct ThreadState;

private:
    static unsigned __stdcall ThreadProc(void* param);

    // Shared with the thread procedure, so the events outlive a StopThread() that
    // gave up waiting. Threads not yet joined are kept in `threads_`.
    std::shared_ptr<ThreadState> current_;
    std::vector<std::shared_ptr<ThreadState>> threads_;
};
