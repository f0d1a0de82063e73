#pragma once
#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>

#include "CThreadBasic.h"
#include "FirmwareTransfer.h"
#include "LinkRecovery.h"
#include "SensorMapping.h"
#include "SensorSnapshot.h"

class IDeviceView;

// The worker's commands, queued by the UI thread. The numbers are the codes of
// the command queue; any other value that reaches the queue is dropped.
enum class WorkerCommand : int {
    Connect = 1,
    SoftwareCheck = 3,
    FirmwareCheck = 4,
    SilentSoftwareCheck = 5,
    SilentFirmwareCheck = 6,
    SoftwareUpdate = 7,
    FirmwareUpgrade = 10,
};

// The device worker: the queue of numbered commands that the UI thread fills and
// the cycle that runs one command at a time, or pushes the display value when
// idle and a cooler is connected. The main dialog derives from it; the worker
// side can be driven on its own (Run() directly, or the thread).
class DeviceWorker : public CThreadBasic, private FirmwareTransfer::Host {
public:
    DeviceWorker() = default;
    ~DeviceWorker() override;

    // Appends a command; command 7 carries the accepted version. A connect
    // that is already waiting makes another one redundant: it will see
    // everything the second would. Any thread; the UI thread in practice.
    void PushCommand(WorkerCommand command, std::wstring version = {});
    // One worker cycle. Worker thread (or a test driving the cycle directly).
    void Run() override;

    size_t PendingCommands() const;

    // WM_DEVICECHANGE of the main window (UI thread): a cooler interface that
    // arrives queues a connect (two when it probes as the display collection);
    // one that leaves stops the push at once and queues a connect.
    void OnDeviceChange(WPARAM event, LPARAM data);
    // Resume from sleep or hibernation (UI thread): the handles of before may
    // be stale and a notice may never come, so the coolers are opened again now.
    void OnPowerResume();
    // The program ends by its own hand (UI thread): the worker sends the
    // light-off report and pushes no more, so no frozen number poses as a
    // reading. Waits at most boundMs; true when the worker did it.
    bool DarkenDisplay(DWORD boundMs);

    // The cooler's firmware version as the last connect read it; `known` is
    // false until a connect read it. Both change together.
    struct FirmwareVersion {
        int value = 0;
        bool known = false;
    };

    // State shared between the threads. The worker writes the connection and the
    // firmware words; the UI thread writes the three settings; any thread reads.
    bool DeviceConnected() const { return deviceConnected_.load(); }
    void SetDeviceConnected(bool connected) { deviceConnected_.store(connected); }
    FirmwareVersion Firmware() const { return firmware_.load(); }
    void SetFirmware(int value, bool known) { firmware_.store({value, known}); }
    bool FirmwareUpgrading() const { return firmwareUpgrading_.load(); }
    void SetFirmwareUpgrading(bool upgrading) { firmwareUpgrading_.store(upgrading); }
    const std::atomic<bool>& FirmwareUpgradingFlag() const { return firmwareUpgrading_; }
    int LedSwitch() const { return ledSwitch_.load(); }      // 1 on, 2 off
    int DeviceType() const { return deviceType_.load(); }    // 0 CPU, 1 GPU
    int TempeType() const { return tempeType_.load(); }      // 0 Celsius, 1 Fahrenheit
    void SetLedSwitch(int value) { ledSwitch_.store(value); }
    void SetDeviceType(int value) { deviceType_.store(value); }
    void SetTempeType(int value) { tempeType_.store(value); }

    // The shared sensor record once the connect command mapped it; the sampler
    // writes through the same slot.
    SensorSnapshot* Snapshot() const { return sensorSnapshot_.load(); }
    void SetSnapshot(SensorSnapshot* snapshot) { sensorSnapshot_.store(snapshot); }
    const SensorSnapshotSlot& SnapshotSlot() const { return sensorSnapshot_; }

    // The labels the connect command sets; null: none. Set before the thread
    // starts; called on the worker thread.
    void SetDeviceView(IDeviceView* view) { deviceView_ = view; }

protected:
    // The command handlers; each runs on the worker thread. Where a base version
    // does nothing, a build without that feature simply skips its command.
    // Connect: re-enumerate and open the coolers, read the firmware version, set
    // the labels, map the shared sensor record.
    virtual void Connect();
    virtual void CheckSoftware(bool /*silent*/) {}
    virtual void CheckFirmware(bool /*silent*/) {}
    virtual void UpdateSoftware(const std::wstring& /*version*/) {}
    // Firmware upgrade: the transfer from "update.bin" in the program folder.
    virtual void UpgradeFirmware();
    virtual void CloseUpgradeProgress() {}
    // One step of the upgrade for the main window: status and outcome stored,
    // then the progress posted (-1: failed). Worker thread.
    virtual void ReportUpgradeStep(int /*progress*/, const std::wstring& /*status*/, bool /*succeeded*/) {}
    // The transfer itself, with the wait's sleep given. Worker thread.
    void RunFirmwareTransfer(const std::wstring& imagePath, DWORD waitStepMs);
    // The idle-cycle display update: PushDisplayValue.
    virtual void PushDisplay();

    // Reads the connected cooler's firmware version into Firmware(): known when
    // the version report came back, else unknown (-1; not version 0, so the
    // push goes on). Worker thread.
    void CheckVersionAfterConnect();
    // A freshly connected cooler reports version 0 (no valid firmware): the
    // update service offers the firmware upgrade from here. Worker thread.
    virtual void RequestFirmwareUpgradePrompt() {}
    // The arrival probe of OnDeviceChange; UI thread.
    virtual bool ProbeInterface(const wchar_t* path);

    // One display report to every open cooler, then a 1000 ms pause. Paused
    // (returns at once) while the firmware version is 0 or an upgrade runs.
    // Reports that keep failing open the coolers again (LinkRecovery). Worker thread.
    void PushDisplayValue();

    // Stops and joins the thread; derived destructors call it first so Run()
    // never reaches a half-destroyed object.
    void ShutdownWorker();

private:
    struct QueuedCommand {
        WorkerCommand code;
        std::wstring version;
    };
    bool TakeCommand(QueuedCommand& command);
    void RunCommand(const QueuedCommand& command);

    void MapSnapshot();
    void GoDark();

    // FirmwareTransfer::Host, worker thread.
    bool CoolerAttached() const override { return DeviceConnected(); }
    void SetUpgrading(bool upgrading) override { SetFirmwareUpgrading(upgrading); }
    void ForgetFirmwareVersion() override { SetFirmware(-1, false); }
    void ReportUpgrade(int progress, const std::wstring& status, bool succeeded) override
    {
        ReportUpgradeStep(progress, status, succeeded);
    }

    std::atomic<bool> deviceConnected_{false};
    std::atomic<FirmwareVersion> firmware_{};
    std::atomic<bool> firmwareUpgrading_{false};
    std::atomic<int> ledSwitch_{1};
    std::atomic<int> deviceType_{0};
    std::atomic<int> tempeType_{0};
    SensorSnapshotSlot sensorSnapshot_{nullptr};
    IDeviceView* deviceView_ = nullptr;
    LinkRecovery recovery_;  // worker thread only
    std::atomic<bool> darkRequested_{false};
    UniqueHandle darkDone_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    SensorRecordMapping snapshotRecord_;
    mutable std::mutex queueLock_;
    std::deque<QueuedCommand> commandQueue;
};
