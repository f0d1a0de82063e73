#include "UiThreadQueue.h"

void UiThreadQueue::Attach(HWND window)
{
    std::lock_guard<std::mutex> lock(lock_);
    window_ = window;
    if (window == nullptr)
        work_.clear();
}

void UiThreadQueue::Post(std::function<void()> work)
{
    HWND window = nullptr;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (window_ == nullptr)
            return;
        window = window_;
        work_.push_back(std::move(work));
    }
    PostMessageW(window, message_, 0, 0);
}

void UiThreadQueue::RunPending()
{
    // One message may carry several closures, and a closure may open a modal
    // box that dispatches the next message: take one at a time.
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> lock(lock_);
            if (work_.empty())
                return;
            work = std::move(work_.front());
            work_.pop_front();
        }
        work();
    }
}
