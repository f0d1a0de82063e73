#pragma once
#include <windows.h>

#include <deque>
#include <mutex>

#include "CThreadBasic.h"

struct SensorSnapshot;

// Worker command codes queued by the UI thread.
enum WorkerCommand : int {
    kCmdConnect = 1,
    kCmdSoftwareCheck = 3,
    kCmdFirmwareCheck = 4,
    kCmdSilentSoftwareCheck = 5,
    kCmdSilentFirmwareCheck = 6,
    kCmdSoftwareUpdate = 7,
    kCmdFirmwareUpgrade = 10,
};

// The device worker: the queue of numbered commands that the UI thread fills and
// the cycle that runs one command at a time, or pushes the display value when
// idle and a cooler is connected. The main dialog derives from it; the worker
// side can be driven on its own (Run() directly, or the thread).
class DeviceWorker : public CThreadBasic {
public:
    DeviceWorker() = default;
    ~DeviceWorker() override;

    // Appends a command code. Any thread; the UI thread in practice.
    void PushCommand(int code);
    // One worker cycle. Worker thread (or a test driving the cycle directly).
    void Run() override;

    size_t PendingCommands() const;

    volatile BYTE deviceConnected = 0;
    volatile int fwVersion = 0;
    volatile int fwVersionKnown = 0;
    volatile BYTE firmwareUpgrading = 0;
    volatile int ledSwitch = 1;   // 1 on, 2 off
    volatile int deviceType = 0;  // 0 CPU, 1 GPU
    volatile int tempeType = 0;   // 0 Celsius, 1 Fahrenheit
    SensorSnapshot* volatile sensorSnapshot = nullptr;

protected:
    // The command handlers; each runs on the worker thread. The base versions do
    // nothing, so a build without a feature simply skips its command.
    virtual void Connect() {}
    virtual void CheckSoftware(bool /*silent*/) {}
    virtual void CheckFirmware(bool /*silent*/) {}
    virtual void UpdateSoftware() {}
    virtual void UpgradeFirmware() {}
    virtual void CloseUpgradeProgress() {}
    virtual void PushDisplay() {}

    // Stops and joins the thread; derived destructors call it first so Run()
    // never reaches a half-destroyed object.
    void ShutdownWorker();

private:
    bool TakeCommand(int& code);
    void RunCommand(int code);

    mutable std::mutex queueLock_;
    std::deque<int> commandQueue;
};
