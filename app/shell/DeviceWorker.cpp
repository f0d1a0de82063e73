#include "DeviceWorker.h"

#include <cstdio>
#include <cstring>

#include "DeviceNotice.h"
#include "DisplayReport.h"
#include "HidDeviceManager.h"
#include "IDeviceView.h"
#include "SensorMapping.h"
#include "SensorSnapshot.h"

namespace {

void DebugText(const wchar_t* format, int value)
{
    wchar_t text[128];
    swprintf(text, sizeof(text) / sizeof(text[0]), format, value);
    OutputDebugStringW(text);
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

void DeviceWorker::PushCommand(int code)
{
    std::lock_guard<std::mutex> lock(queueLock_);
    commandQueue.push_back(code);
}

size_t DeviceWorker::PendingCommands() const
{
    std::lock_guard<std::mutex> lock(queueLock_);
    return commandQueue.size();
}

bool DeviceWorker::TakeCommand(int& code)
{
    std::lock_guard<std::mutex> lock(queueLock_);
    if (commandQueue.empty())
        return false;
    code = commandQueue.front();
    commandQueue.pop_front();
    return true;
}

void DeviceWorker::Run()
{
    int code = 0;
    if (TakeCommand(code)) {
        RunCommand(code);
        return;
    }
    if (deviceConnected)
        PushDisplay();
}

void DeviceWorker::RunCommand(int code)
{
    switch (code) {
    case kCmdConnect:
        Connect();
        break;
    case kCmdSoftwareCheck:
        CheckSoftware(false);
        break;
    case kCmdFirmwareCheck:
        CheckFirmware(false);
        break;
    case kCmdSilentSoftwareCheck:
        CheckSoftware(true);
        break;
    case kCmdSilentFirmwareCheck:
        CheckFirmware(true);
        break;
    case kCmdSoftwareUpdate:
        UpdateSoftware();
        break;
    case kCmdFirmwareUpgrade:
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
    deviceConnected = 0;
    const int count = static_cast<int>(HidDeviceManager::Instance().OpenCoolers());
    if (count == 0) {
        if (deviceView != nullptr)
            deviceView->SetDeviceCountText(L"Device:0");
        fwVersionKnown = 0;
        fwVersion = -1;
        if (deviceView != nullptr)
            deviceView->FwVersionChanged();
    } else {
        deviceConnected = 1;
        if (deviceView != nullptr) {
            wchar_t text[32];
            swprintf(text, sizeof(text) / sizeof(text[0]), L"Device:%d", count);
            deviceView->SetDeviceCountText(text);
        }
        CheckVersionAfterConnect();
        if (deviceView != nullptr)
            deviceView->FwVersionChanged();
    }

    if (sensorSnapshot == nullptr)
        MapSnapshot();
}

void DeviceWorker::MapSnapshot()
{
    HANDLE mapping = nullptr;
    void* view = nullptr;
    bool created = false;
    const bool mapped = MapSensorSnapshot(mapping, view, created);
    snapshotMapping_.reset(mapping);
    if (!mapped)
        return;
    // The view stays mapped for the life of the process: other threads keep
    // reading through sensorSnapshot.
    if (created)
        memset(view, 0, sizeof(SensorSnapshot));
    sensorSnapshot = static_cast<SensorSnapshot*>(view);
}

void DeviceWorker::CheckVersionAfterConnect()
{
    int version = -1;
    HidDeviceManager::Instance().ReadFirmwareVersion(version);
    fwVersion = version;
    fwVersionKnown = 1;
    DebugText(L"Check version after connect: %d", version);
    if (version == 0) {
        OutputDebugStringW(L"Version 0 detected, trigger upgrade");
        RequestFirmwareUpgradePrompt();
    } else {
        DebugText(L"Version not 0 (%d), enter main flow", version);
    }
}

void DeviceWorker::PushDisplay()
{
    PushDisplayValue();
}

void DeviceWorker::PushDisplayValue()
{
    if (fwVersion == 0) {
        OutputDebugStringW(L"FW version 0 detected, pausing main flow");
        return;
    }
    if (firmwareUpgrading) {
        OutputDebugStringW(L"Upgrading, pausing main flow");
        return;
    }
    const DisplayReportBytes report = BuildDisplayReport(sensorSnapshot, ledSwitch, deviceType, tempeType);
    HidDeviceManager::Instance().SendFeature(report.data(), report.size());
    PauseFor(1000);
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
            PushCommand(kCmdConnect);
        break;
    case DeviceNoticeKind::Removal:
        deviceConnected = 0;
        break;
    }
    PushCommand(kCmdConnect);
}
