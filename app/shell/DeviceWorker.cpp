#include "DeviceWorker.h"

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
