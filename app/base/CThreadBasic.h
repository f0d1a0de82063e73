#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

// Base of the program's background threads (the device worker and the sensor
// sampler): calls Run() repeatedly with a pause of intervalMs between calls.
//
// At most one thread runs Run() at any time: a start after a stop that gave
// up waits, on the new thread, for the old one to leave.
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
    bool StopRequested() const { return !running_.load(); }
    // Waits ms milliseconds, or until a stop is requested or WakeThread() is
    // called; false when stopping. Any thread.
    bool PauseFor(DWORD ms) const;
    // Cuts the running thread's current pause short (its PauseFor or the
    // interval after Run). UI thread.
    void WakeThread();

    // True from StartThread() until StopThread(). Any thread.
    bool IsRunning() const { return running_.load(); }
    // Signalled when the current thread leaves; null when none or forgotten. UI thread.
    HANDLE DoneEvent() const { return doneEvent_; }
    unsigned IntervalMs() const { return intervalMs_; }

    struct ThreadState;

private:
    static unsigned __stdcall ThreadProc(void* param);

    // Shared with the thread procedure, so the events outlive a StopThread() that
    // gave up waiting. Threads not yet joined are kept in `threads_`.
    HANDLE doneEvent_ = nullptr;
    std::atomic<bool> running_{false};
    bool repeat_ = false;
    unsigned intervalMs_ = 1;
    DWORD startTick_ = 0;
    std::shared_ptr<ThreadState> current_;
    std::vector<std::shared_ptr<ThreadState>> threads_;
};
