#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "DeviceWorker.h"

namespace {

// Records every handler call in order; the worker runs on a real thread.
class RecordingWorker : public DeviceWorker {
public:
    ~RecordingWorker() override { ShutdownWorker(); }

    std::vector<std::string> Calls() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return calls_;
    }

protected:
    void Connect() override { Record("connect"); }
    void CheckSoftware(bool silent) override { Record(silent ? "sw-silent" : "sw"); }
    void CheckFirmware(bool silent) override { Record(silent ? "fw-silent" : "fw"); }
    void UpdateSoftware(const std::wstring&) override { Record("sw-update"); }
    void UpgradeFirmware() override { Record("fw-upgrade"); }
    void CloseUpgradeProgress() override { Record("close-progress"); }
    void PushDisplay() override { Record("push"); }

    void Record(const char* what)
    {
        std::lock_guard<std::mutex> lock(m_);
        calls_.push_back(what);
    }

private:
    mutable std::mutex m_;
    std::vector<std::string> calls_;
};

using Calls = std::vector<std::string>;

TEST(DeviceWorkerCycle, RunsCommandsFirstInFirstOutOnePerCycle)
{
    RecordingWorker w;
    for (int code : {5, 1, 6, 3, 4, 7, 10})
        w.PushCommand(static_cast<WorkerCommand>(code));

    w.Run();
    EXPECT_EQ(w.Calls(), Calls({"sw-silent"}));
    EXPECT_EQ(w.PendingCommands(), 6u);
    w.Run();
    w.Run();
    EXPECT_EQ(w.Calls(), Calls({"sw-silent", "connect", "fw-silent"}));
    for (int i = 0; i < 4; ++i)
        w.Run();
    EXPECT_EQ(w.Calls(), Calls({"sw-silent", "connect", "fw-silent", "sw", "fw", "sw-update", "fw-upgrade", "close-progress"}));
    EXPECT_EQ(w.PendingCommands(), 0u);
}

TEST(DeviceWorkerCycle, DropsUnknownCodesWithoutSideEffects)
{
    RecordingWorker w;
    w.SetDeviceConnected(true);
    w.PushCommand(static_cast<WorkerCommand>(2));
    w.PushCommand(static_cast<WorkerCommand>(9));
    w.PushCommand(static_cast<WorkerCommand>(1));
    w.Run();
    w.Run();
    EXPECT_TRUE(w.Calls().empty()) << "an unknown code takes a cycle but does nothing, not even the push";
    w.Run();
    EXPECT_EQ(w.Calls(), Calls({"connect"}));
}

TEST(DeviceWorkerCycle, PushesOnlyWhenIdleAndConnected)
{
    RecordingWorker w;
    w.Run();
    EXPECT_TRUE(w.Calls().empty());
    w.SetDeviceConnected(true);
    w.Run();
    w.PushCommand(static_cast<WorkerCommand>(3));
    w.Run();
    w.Run();
    EXPECT_EQ(w.Calls(), Calls({"push", "sw", "push"}));
}

TEST(DeviceWorkerCycle, SameCommandTwiceRunsTwice)
{
    RecordingWorker w;
    w.PushCommand(static_cast<WorkerCommand>(3));
    w.PushCommand(static_cast<WorkerCommand>(3));
    w.Run();
    w.Run();
    EXPECT_EQ(w.Calls(), Calls({"sw", "sw"}));
}

TEST(DeviceWorkerCycle, QueueTakesPushesFromManyThreads)
{
    RecordingWorker w;
    std::vector<HANDLE> threads;
    auto proc = [](void* p) -> DWORD {
        auto* worker = static_cast<RecordingWorker*>(p);
        for (int i = 0; i < 500; ++i)
            worker->PushCommand(WorkerCommand::SoftwareCheck);
        return 0;
    };
    for (int i = 0; i < 4; ++i)
        threads.push_back(CreateThread(nullptr, 0, proc, &w, 0, nullptr));
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    for (HANDLE h : threads)
        CloseHandle(h);
    EXPECT_EQ(w.PendingCommands(), 2000u);
}

// A thread whose Run() counts cycles and can be held inside Run().
class HoldingThread : public CThreadBasic {
public:
    HoldingThread() : release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), entered_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~HoldingThread() override
    {
        StopThread();
        JoinThread();
        CloseHandle(release_);
        CloseHandle(entered_);
    }
    void Run() override
    {
        cycles++;
        SetEvent(entered_);
        if (hold)
            WaitForSingleObject(release_, INFINITE);
    }
    void Release() { SetEvent(release_); }
    bool WaitEntered() { return WaitForSingleObject(entered_, 10000) == WAIT_OBJECT_0; }

    std::atomic<int> cycles{0};
    std::atomic<bool> hold{false};

private:
    HANDLE release_;
    HANDLE entered_;
};

TEST(ThreadBasic, InitialValuesAndStartFields)
{
    HoldingThread t;
    EXPECT_EQ(t.DoneEvent(), nullptr);
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(t.IntervalMs(), 1u);
    t.StartThread(16);
    EXPECT_TRUE(t.IsRunning());
    EXPECT_EQ(t.IntervalMs(), 16u);
    EXPECT_NE(t.DoneEvent(), nullptr);
    ASSERT_TRUE(t.WaitEntered());
    t.StopThread();
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(t.DoneEvent(), nullptr);
}

TEST(ThreadBasic, SecondStartChangesNeitherIntervalNorEvent)
{
    HoldingThread t;
    t.StartThread(16);
    HANDLE event = t.DoneEvent();
    t.StartThread(500);
    EXPECT_EQ(t.IntervalMs(), 16u);
    EXPECT_EQ(t.DoneEvent(), event);
    ASSERT_TRUE(t.WaitEntered());
}

TEST(ThreadBasic, StopIsBoundedWhileRunIsBusyAndJoinWaitsForIt)
{
    HoldingThread t;
    t.hold = true;
    t.StartThread(1);
    ASSERT_TRUE(t.WaitEntered());
    t.StopThread();  // gives up after its bound: Run() is still held
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(t.DoneEvent(), nullptr);
    EXPECT_EQ(t.cycles, 1);
    t.Release();
    t.JoinThread();
    EXPECT_EQ(t.cycles, 1) << "no further cycle after the stop";
}

TEST(ThreadBasic, StopEndsPromptlyWhenIdle)
{
    HoldingThread t;
    t.StartThread(60000);  // a long pause between cycles must not delay the stop
    ASSERT_TRUE(t.WaitEntered());
    t.StopThread();
    t.JoinThread();
    EXPECT_EQ(t.cycles, 1);
}

// Counts the threads that enter Run() and how many are inside at once; the
// first call is held until released.
class ThreadCountingThread : public CThreadBasic {
public:
    ThreadCountingThread() : release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~ThreadCountingThread() override
    {
        SetEvent(release_);
        StopThread();
        JoinThread();
        CloseHandle(release_);
    }
    void Run() override
    {
        const int inside = ++inside_;
        int seen = maxInside.load();
        while (inside > seen && !maxInside.compare_exchange_weak(seen, inside)) {
        }
        if (calls++ == 0) {
            entered = true;
            WaitForSingleObject(release_, INFINITE);
        } else {
            std::lock_guard<std::mutex> lock(m_);
            if (std::find(laterThreads_.begin(), laterThreads_.end(), GetCurrentThreadId()) == laterThreads_.end())
                laterThreads_.push_back(GetCurrentThreadId());
        }
        --inside_;
    }
    void Release() { SetEvent(release_); }
    size_t LaterThreads()
    {
        std::lock_guard<std::mutex> lock(m_);
        return laterThreads_.size();
    }

    std::atomic<int> calls{0};
    std::atomic<int> maxInside{0};
    std::atomic<bool> entered{false};

private:
    HANDLE release_;
    std::atomic<int> inside_{0};
    std::mutex m_;
    std::vector<DWORD> laterThreads_;
};

TEST(ThreadBasic, StartAfterAStopThatGaveUpNeverRunsTwoThreads)
{
    ThreadCountingThread t;
    t.StartThread(200);
    for (int i = 0; i < 1000 && !t.entered; ++i)
        Sleep(10);
    ASSERT_TRUE(t.entered);
    t.StopThread();  // gives up: the first Run() is held
    t.StartThread(200);
    t.Release();
    for (int i = 0; i < 2000 && t.calls < 6; ++i)
        Sleep(10);
    ASSERT_GE(t.calls, 6);
    t.StopThread();
    t.JoinThread();
    EXPECT_EQ(t.maxInside, 1);
    EXPECT_EQ(t.LaterThreads(), 1u) << "the stopped thread left; only the new one calls Run()";
}

// A worker whose command outlasts the stop bound and then writes to the object.
struct Journal {
    std::mutex m;
    std::vector<std::string> events;
    void Add(const std::string& e)
    {
        std::lock_guard<std::mutex> lock(m);
        events.push_back(e);
    }
};

class SlowWorker : public DeviceWorker {
public:
    SlowWorker(Journal& j, HANDLE entered, HANDLE release) : journal_(j), entered_(entered), release_(release) {}
    ~SlowWorker() override
    {
        ShutdownWorker();
        alive_ = 0;
        journal_.Add("destroyed");
    }

protected:
    void UpdateSoftware(const std::wstring&) override
    {
        SetEvent(entered_);
        WaitForSingleObject(release_, INFINITE);  // ignores the stop request on purpose
        journal_.Add(alive_ == 0xA11CE ? "command-finished-on-live-object" : "command-on-dead-object");
        written_ = 42;
    }

private:
    Journal& journal_;
    HANDLE entered_;
    HANDLE release_;
    volatile int alive_ = 0xA11CE;
    volatile int written_ = 0;
};

TEST(DeviceWorkerLifetime, DestroyingWhileACommandRunsWaitsForIt)
{
    Journal journal;
    HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto* worker = new SlowWorker(journal, entered, release);
    worker->PushCommand(WorkerCommand::SoftwareUpdate);
    worker->StartThread(16);
    ASSERT_EQ(WaitForSingleObject(entered, 10000), WAIT_OBJECT_0);

    // Destroy from another thread; the command is released only after the
    // bounded stop has given up.
    HANDLE destroyer = CreateThread(
        nullptr, 0, [](void* p) -> DWORD { delete static_cast<SlowWorker*>(p); return 0; }, worker, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(destroyer, 1500), WAIT_TIMEOUT) << "destruction must wait for the running command";
    {
        std::lock_guard<std::mutex> lock(journal.m);
        EXPECT_TRUE(journal.events.empty());
    }
    SetEvent(release);
    ASSERT_EQ(WaitForSingleObject(destroyer, 10000), WAIT_OBJECT_0);
    CloseHandle(destroyer);
    CloseHandle(entered);
    CloseHandle(release);
    EXPECT_EQ(journal.events, std::vector<std::string>({"command-finished-on-live-object", "destroyed"}));
}

TEST(DeviceWorkerLifetime, ThreadRunsQueuedCommandsInOrder)
{
    RecordingWorker w;
    w.PushCommand(static_cast<WorkerCommand>(5));
    w.PushCommand(static_cast<WorkerCommand>(1));
    w.PushCommand(static_cast<WorkerCommand>(6));
    w.StartThread(1);
    for (int i = 0; i < 1000 && w.PendingCommands() != 0; ++i)
        Sleep(5);
    w.StopThread();
    w.JoinThread();
    EXPECT_EQ(w.Calls(), Calls({"sw-silent", "connect", "fw-silent"}));
}

}  // namespace
