#include "UpdateWorker.h"

UpdateWorker::UpdateWorker() : idle_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

UpdateWorker::~UpdateWorker()
{
    cancelled_.store(true);
    StopThread();
    JoinThread();
}

void UpdateWorker::Queue(Job job)
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (cancelled_.load())
            return;
        jobs_.push_back(std::move(job));
    }
}

bool UpdateWorker::Busy() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return running_ || !jobs_.empty();
}

bool UpdateWorker::Cancel(DWORD boundMs)
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        cancelled_.store(true);
        jobs_.clear();
    }
    return WaitForSingleObject(idle_.get(), boundMs) == WAIT_OBJECT_0;
}

void UpdateWorker::Run()
{
    Job job;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (jobs_.empty())
            return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        ResetEvent(idle_.get());
    }
    job(cancelled_);
    std::lock_guard<std::mutex> lock(lock_);
    running_ = false;
    SetEvent(idle_.get());
}
