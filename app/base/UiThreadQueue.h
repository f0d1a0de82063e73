#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

// The one way other threads hand work to the UI thread: closures queued here
// and one private message posted to the window, whose handler runs them in
// order on the UI thread.
class UiThreadQueue {
public:
    explicit UiThreadQueue(UINT message) : message_(message) {}

    // The window whose thread runs the work; null: queued work waits. UI thread.
    void Attach(HWND window);
    // Any thread. Work queued while no window is attached, or after the window
    // went, is never run.
    void Post(std::function<void()> work);
    // The message's handler: runs what is queued now. UI thread.
    void RunPending();

private:
    const UINT message_;
    std::mutex lock_;
    HWND window_ = nullptr;  // under lock_
    std::deque<std::function<void()>> work_;
};
