#pragma once
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

#include "CThreadBasic.h"
#include "UniqueResource.h"

// The update worker: the update service's network work (version checks,
// package downloads) on a thread of its own, one job at a time, so the device
// worker keeps pushing the display while a server is slow. Started with a
// short interval: a queued job waits at most that long.
class UpdateWorker : public CThreadBasic {
public:
    // A job sees `cancelled` turn true when the program ends; it should stop
    // within a second and leave nothing half-written behind.
    using Job = std::function<void(const std::atomic<bool>& cancelled)>;

    UpdateWorker();
    ~UpdateWorker() override;

    // Any thread. Dropped once Cancel() ran.
    void Queue(Job job);
    // Drops waiting jobs and asks the running one to stop; true when the
    // worker is idle within boundMs. UI thread.
    bool Cancel(DWORD boundMs);
    bool Busy() const;

    void Run() override;  // update worker thread

private:
    mutable std::mutex lock_;
    std::deque<Job> jobs_;
    bool running_ = false;  // a job is being run; under lock_
    std::atomic<bool> cancelled_{false};
    UniqueHandle idle_;     // manual reset: set while no job runs
};
