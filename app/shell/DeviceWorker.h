#pragma once
#include <windows.h>

#include <deque>
#include <mutex>

#include "CThreadBasic.h"
#include "HandleGuard.h"

struct SensorSnapshot;
class IDeviceView;

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

    // WM_DEVICECHANGE of the main window (UI thread): a cooler interface that
    // arrives queues a connect (two when it probes as the display collection);
    // one that leaves stops the push at once and queues a connect.
    void OnDeviceChange(WPARAM event, LPARAM data);

    volatile BYTE deviceConnected = 0;
    volatile int fwVersion = 0;
    volatile int fwVersionKnown = 0;
    volatile BYTE firmwareUpgrading = 0;
    volatile int ledSwitch = 1;   // 1 on, 2 off
    volatile int deviceType = 0;  // 0 CPU, 1 GPU
    volatile int tempeType = 0;   // 0 Celsius, 1 Fahrenheit
    SensorSnapshot* volatile sensorSnapshot = nullptr;
    // The labels the connect command sets; null: none. Called on the worker thread.
    IDeviceView* deviceView = nullptr;

protected:
    // The command handlers; each runs on the worker thread. Where a base version
    // does nothing, a build without that feature simply skips its command.
    // Connect: re-enumerate and open the coolers, read the firmware version, set
    // the labels, map the shared sensor record.
    virtual void Connect();
    virtual void CheckSoftware(bool /*silent*/) {}
    virtual void CheckFirmware(bool /*silent*/) {}
    virtual void UpdateSoftware() {}
    virtual void UpgradeFirmware() {}
    virtual void CloseUpgradeProgress() {}
    // The idle-cycle display update: PushDisplayValue.
    virtual void PushDisplay();

    // Reads the connected cooler's firmware version into fwVersion (-1 when the
    // read gives nothing) and marks it known. Worker thread.
    void CheckVersionAfterConnect();
    // A freshly connected cooler reports version 0 (no valid firmware): the
    // update service offers the firmware upgrade from here. Worker thread.
    virtual void RequestFirmwareUpgradePrompt() {}
    // The arrival probe of OnDeviceChange; UI thread.
    virtual bool ProbeInterface(const wchar_t* path);

    // One display report to every open cooler, then a 1000 ms pause. Paused
    // (returns at once) while fwVersion is 0 or an upgrade runs. Worker thread.
    void PushDisplayValue();

    // Stops and joins the thread; derived destructors call it first so Run()
    // never reaches a half-destroyed object.
    void ShutdownWorker();

private:
    bool TakeCommand(int& code);
    void RunCommand(int code);

    void MapSnapshot();

    UniqueHandle snapshotMapping_;  // kept, with its view, for the life of the object
    mutable std::mutex queueLock_;
    std::deque<int> commandQueue;
};
