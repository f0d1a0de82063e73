#include "DeviceWorker.h"

#include <algorithm>
#include <cstdio>

#include "BuildFlavour.h"
#include "DebugText.h"
#include "DeviceNotice.h"
#include "DisplayReport.h"
#include "HidDeviceManager.h"
#include "IDeviceView.h"
#include "Paths.h"
#include "SensorMapping.h"
#include "SensorSnapshot.h"

namespace {

// The boot loader's wait as one of its 90 sleeps. Developer builds may shorten
// it with GLIMRA_UPGRADE_WAIT_MS (the whole wait); the release program never
// reads the environment for it.
DWORD UpgradeWaitStepMs()
{
    if (!DeveloperOverridesAllowed())
        return FirmwareTransfer::kWaitStepMs;
    wchar_t value[16];
    const DWORD n = GetEnvironmentVariableW(L"GLIMRA_UPGRADE_WAIT_MS", value, ARRAYSIZE(value));
    if (n == 0 || n >= ARRAYSIZE(value))
        return FirmwareTransfer::kWaitStepMs;
    return static_cast<DWORD>(_wtoi(value)) / FirmwareTransfer::kWaitSteps;
}

}  // namespace

DeviceWorker::~DeviceWorker()
{
    ShutdownWorker();
}

void DeviceWorker::ShutdownWorker()
{
    StopThread();
    JoinThread();
}

void DeviceWorker::PushCommand(WorkerCommand command, std::wstring version)
{
    std::lock_guard<std::mutex> lock(queueLock_);
    if (command == WorkerCommand::Connect &&
        std::any_of(commandQueue.begin(), commandQueue.end(),
                    [](const QueuedCommand& c) { return c.code == WorkerCommand::Connect; }))
        return;
    commandQueue.push_back({command, std::move(version)});
}

size_t DeviceWorker::PendingCommands() const
{
    std::lock_guard<std::mutex> lock(queueLock_);
    return commandQueue.size();
}

bool DeviceWorker::TakeCommand(QueuedCommand& command)
{
    std::lock_guard<std::mutex> lock(queueLock_);
    if (commandQueue.empty())
        return false;
    command = std::move(commandQueue.front());
    commandQueue.pop_front();
    return true;
}

void DeviceWorker::Run()
{
    if (darkRequested_.load()) {
        GoDark();
        return;
    }
    QueuedCommand command{};
    if (TakeCommand(command)) {
        RunCommand(command);
        return;
    }
    if (recovery_.RetryDue(GetTickCount64())) {
        OutputDebugStringW(L"A listed cooler could not be opened, trying again");
        Connect();
        return;
    }
    if (DeviceConnected())
        PushDisplay();
}

void DeviceWorker::RunCommand(const QueuedCommand& command)
{
    switch (command.code) {
    case WorkerCommand::Connect:
        recovery_.OnRequestedConnect();
        Connect();
        break;
    case WorkerCommand::SoftwareCheck:
        CheckSoftware(false);
        break;
    case WorkerCommand::FirmwareCheck:
        CheckFirmware(false);
        break;
    case WorkerCommand::SilentSoftwareCheck:
        CheckSoftware(true);
        break;
    case WorkerCommand::SilentFirmwareCheck:
        CheckFirmware(true);
        break;
    case WorkerCommand::SoftwareUpdate:
        UpdateSoftware(command.version);
        break;
    case WorkerCommand::FirmwareUpgrade:
        UpgradeFirmware();
        Sleep(100);
        CloseUpgradeProgress();
        Sleep(100);
        break;
    default:
        break;  // unknown codes are dropped
    }
}

void DeviceWorker::Connect()
{
    SetDeviceConnected(false);
    HidDeviceManager& hid = HidDeviceManager::Instance();
    const int count = static_cast<int>(hid.OpenCoolers());
    recovery_.OnConnectResult(hid.ListedCount(), hid.DeviceCount(), GetTickCount64());
    if (count == 0) {
        if (deviceView_ != nullptr)
            deviceView_->SetDeviceCountText(L"Device:0");
        SetFirmware(-1, false);
    } else {
        SetDeviceConnected(true);
        if (deviceView_ != nullptr) {
            wchar_t text[32];
            swprintf(text, sizeof(text) / sizeof(text[0]), L"Device:%d", count);
            deviceView_->SetDeviceCountText(text);
        }
        CheckVersionAfterConnect();
    }
    if (deviceView_ != nullptr)
        deviceView_->FwVersionChanged();

    if (Snapshot() == nullptr)
        MapSnapshot();
}

void DeviceWorker::MapSnapshot()
{
    // Kept, mapped, for the life of the worker: the other threads read through
    // the snapshot slot until they are stopped.
    snapshotRecord_ = AttachSensorSnapshot();
    SetSnapshot(snapshotRecord_.Snapshot());
}

void DeviceWorker::CheckVersionAfterConnect()
{
    int version = -1;
    if (!HidDeviceManager::Instance().ReadFirmwareVersion(version)) {
        // Unknown is not version 0: the push goes on and the next connect asks again.
        SetFirmware(-1, false);
        OutputDebugStringW(L"Check version after connect: no answer, version unknown");
        return;
    }
    SetFirmware(version, true);
    DebugText(L"Check version after connect: %d", version);
    if (version == 0) {
        OutputDebugStringW(L"Version 0 detected, trigger upgrade");
        RequestFirmwareUpgradePrompt();
    } else {
        DebugText(L"Version not 0 (%d), enter main flow", version);
    }
}

void DeviceWorker::UpgradeFirmware()
{
    RunFirmwareTransfer(GetModulePath() + L"\\update.bin", UpgradeWaitStepMs());
}

void DeviceWorker::RunFirmwareTransfer(const std::wstring& imagePath, DWORD waitStepMs)
{
    FirmwareTransfer(*this, DefaultCooler().upgrade, waitStepMs).Run(imagePath);
}

void DeviceWorker::PushDisplay()
{
    PushDisplayValue();
}

void DeviceWorker::PushDisplayValue()
{
    if (Firmware().value == 0) {
        OutputDebugStringW(L"FW version 0 detected, pausing main flow");
        return;
    }
    if (FirmwareUpgrading()) {
        OutputDebugStringW(L"Upgrading, pausing main flow");
        return;
    }
    const DisplayReportBytes report = BuildDisplayReport(Snapshot(), LedSwitch(), DeviceType(), TempeType());
    const bool sent = HidDeviceManager::Instance().SendFeature(report.data(), report.size());
    if (recovery_.OnReport(sent, GetTickCount64())) {
        OutputDebugStringW(L"Display reports fail, opening the coolers again");
        Connect();
        return;
    }
    PauseFor(1000);
}

void DeviceWorker::OnPowerResume()
{
    PushCommand(WorkerCommand::Connect);
    WakeThread();
}

bool DeviceWorker::DarkenDisplay(DWORD boundMs)
{
    if (!IsRunning())
        return false;
    darkRequested_.store(true);
    WakeThread();
    return WaitForSingleObject(darkDone_.get(), boundMs) == WAIT_OBJECT_0;
}

// Worker thread: once, then the worker only idles.
void DeviceWorker::GoDark()
{
    if (WaitForSingleObject(darkDone_.get(), 0) == WAIT_OBJECT_0)
        return;
    if (DeviceConnected() && Firmware().value != 0 && !FirmwareUpgrading()) {
        const DisplayReportBytes report = LightOffReport();
        HidDeviceManager::Instance().SendFeature(report.data(), report.size());
    }
    SetEvent(darkDone_.get());
}

bool DeviceWorker::ProbeInterface(const wchar_t* path)
{
    return ProbeCoolerInterface(path);
}

void DeviceWorker::OnDeviceChange(WPARAM event, LPARAM data)
{
    const DeviceNotice notice = ClassifyDeviceNotice(event, data);
    switch (notice.kind) {
    case DeviceNoticeKind::Ignore:
        return;
    case DeviceNoticeKind::Arrival:
        if (ProbeInterface(notice.path.c_str()))
            PushCommand(WorkerCommand::Connect);
        break;
    case DeviceNoticeKind::Removal:
        SetDeviceConnected(false);
        break;
    }
    PushCommand(WorkerCommand::Connect);
}
