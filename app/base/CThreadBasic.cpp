#include "CThreadBasic.h"

#include <process.h>

#include "UniqueResource.h"

struct CThreadBasic::ThreadState {
    CThreadBasic* owner = nullptr;
    UniqueHandle done;   // manual reset: the thread procedure has returned from the object
    UniqueHandle stop;   // manual reset: a stop was requested
    UniqueHandle wake;   // auto reset: cut the current pause short
    // The thread started before this one; this one waits for it to leave, so
    // Run() never runs on two threads at once after a stop that gave up.
    std::shared_ptr<ThreadState> previous;
};

namespace {
// The state of the thread that is running this code, for PauseFor().
thread_local CThreadBasic::ThreadState* t_state = nullptr;

// Waits for ms, a stop or a wake; true unless the stop came.
bool Pause(CThreadBasic::ThreadState& state, DWORD ms)
{
    const HANDLE events[] = {state.stop.get(), state.wake.get()};
    return WaitForMultipleObjects(2, events, FALSE, ms) != WAIT_OBJECT_0;
}

bool Stopped(const CThreadBasic::ThreadState& state)
{
    return WaitForSingleObject(state.stop.get(), 0) == WAIT_OBJECT_0;
}

}  // namespace

CThreadBasic::CThreadBasic() = default;

CThreadBasic::~CThreadBasic()
{
    StopThread();
    JoinThread();
}

void CThreadBasic::StartThread(unsigned interval)
{
    if (running_.load())
        return;
    intervalMs_ = interval;
    repeat_ = true;
    startTick_ = GetTickCount();

    auto state = std::make_shared<ThreadState>();
    state->owner = this;
    state->done.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    state->stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    state->wake.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    state->previous = current_;
    doneEvent_ = state->done.get();
    current_ = state;
    threads_.push_back(state);
    running_.store(true);

    // The thread owns one reference to its state until it leaves.
    auto* ref = new std::shared_ptr<ThreadState>(state);
    const uintptr_t handle = _beginthreadex(nullptr, 0, &CThreadBasic::ThreadProc, ref, 0, nullptr);
    if (handle == 0) {
        delete ref;
        SetEvent(state->done.get());
        return;
    }
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

void CThreadBasic::StopThread()
{
    if (!running_.exchange(false))
        return;
    if (current_) {
        SetEvent(current_->stop.get());
        WaitForSingleObject(current_->done.get(), 1000);
    }
    // The event itself stays alive in the shared state until JoinThread().
    doneEvent_ = nullptr;
}

void CThreadBasic::JoinThread()
{
    for (auto& state : threads_) {
        SetEvent(state->stop.get());
        WaitForSingleObject(state->done.get(), INFINITE);
    }
    threads_.clear();
}

void CThreadBasic::WakeThread()
{
    if (current_)
        SetEvent(current_->wake.get());
}

bool CThreadBasic::PauseFor(DWORD ms) const
{
    if (!running_.load())
        return false;
    if (t_state == nullptr) {
        Sleep(ms);
        return running_.load();
    }
    return Pause(*t_state, ms);
}

unsigned __stdcall CThreadBasic::ThreadProc(void* param)
{
    std::shared_ptr<ThreadState> state = std::move(*static_cast<std::shared_ptr<ThreadState>*>(param));
    delete static_cast<std::shared_ptr<ThreadState>*>(param);

    t_state = state.get();
    CThreadBasic* self = state->owner;
    if (state->previous) {
        const HANDLE events[] = {state->stop.get(), state->previous->done.get()};
        WaitForMultipleObjects(2, events, FALSE, INFINITE);
        state->previous.reset();
    }
    if (self->repeat_) {
        // The thread's own stop event ends it even when a later start has set
        // the shared flag again.
        while (self->running_.load() && !Stopped(*state)) {
            self->Run();
            Pause(*state, self->intervalMs_);
        }
    } else {
        self->Run();
    }
    const DWORD exitCode = self->startTick_;
    t_state = nullptr;
    SetEvent(state->done.get());
    return exitCode;
}
