#include "DeviceMainDlg.h"

#include <dbt.h>

#include "AutostartTask.h"
#include "CHWiNFOThread.h"
#include "CUIMessageBox.h"
#include "ControlNotify.h"
#include "HidDeviceManager.h"
#include "MText.h"
#include "MainLayout.h"
#include "MainWindowMessages.h"
#include "MenuCommand.h"
#include "Paths.h"
#include "Settings.h"
#include "UpdateServer.h"
#include "Version.h"

DeviceMainDlg::DeviceMainDlg() : tray(FirmwareUpgradingFlag())
{
    SetDeviceView(this);
}

DeviceMainDlg::~DeviceMainDlg()
{
    EndingByOwnHand();
    if (sensorThread) {
        sensorThread->StopThread();
        sensorThread.reset();  // joins: the sampler never outlives the record's owner
    }
    ShutdownWorker();
    SetDeviceView(nullptr);
    tray.RemoveTrayIcon();
}

BOOL DeviceMainDlg::OnInitDialog()
{
    MDialog::OnInitDialog();  // binds the manager and runs InitUI

    const StartupSettings settings = ReadStartupSettings();
    SetLedSwitch(settings.ledSwitch);
    SetDeviceType(settings.deviceType);
    SetTempeType(settings.tempeType);
    LoadBKImage(L"img_bkg.png");
    ApplySwitchPictures();

    RegisterStartupTask();
    tray.SetupTray(GetSafeHwnd());
    AllowTaskbarCreated();
    SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);

    softwareBaseUrl = SoftwareUpdateUrl();
    currentSoftwareVersion = kSoftwareVersion;
    StartUpdateService();

    StartThread(16);
    sensorThread = std::make_unique<CHWiNFOThread>(SnapshotSlot());
    sensorThread->StartThread(CHWiNFOThread::kIntervalMs);

    PushCommand(WorkerCommand::SilentSoftwareCheck);
    PushCommand(WorkerCommand::Connect);
    PushCommand(WorkerCommand::SilentFirmwareCheck);
    return TRUE;
}

LRESULT DeviceMainDlg::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT handled = 0;
    if (OnRecoveryMessage(msg, wParam, handled))
        return handled;
    switch (msg) {
    case WM_DEVICECHANGE: {
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
        if (header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE)
            OnDeviceChange(wParam, lParam);
        return 0;
    }
    case kMsgTrayCallback:
        tray.OnTrayMessage(lParam);
        return 0;
    case kMsgUpdateVerdict:
        return updates_->OnVerdict();
    case kMsgUpgradeProgress:
        return updates_->OnUpgradeProgress(static_cast<int>(lParam));
    case kMsgUiWork:
        uiWork_.RunPending();
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kMenuExit:
            EndingByOwnHand();
            tray.OnExitCommand();  // ends the process unless an upgrade runs
            return 0;
        case kMenuFirmwareCheck:
            PushCommand(WorkerCommand::FirmwareCheck);
            break;
        case kMenuSoftwareCheck:
            PushCommand(WorkerCommand::SoftwareCheck);
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return MDialog::OnWindowMessage(msg, wParam, lParam);
}

LRESULT DeviceMainDlg::OnMessage(UINT id, UINT code, UINT, LPARAM)
{
    if (code != kNotifyClick)
        return 0;
    if (id == MainLayout::kIdSoftwareUpdate) {
        PushCommand(WorkerCommand::SoftwareCheck);
        return 1;
    }
    if (id == MainLayout::kIdFirmwareUpdate) {
        PushCommand(WorkerCommand::FirmwareCheck);
        return 1;
    }
    return 0;
}

void DeviceMainDlg::OnTimer(UINT id)
{
    tray.OnTimer(id);
}

void DeviceMainDlg::StartUpdateService()
{
    uiWork_.Attach(GetSafeHwnd());
    UpdateCoordinator::Host host;
    const HWND window = GetSafeHwnd();
    host.post = [window](UINT message, WPARAM wParam, LPARAM lParam) { ::PostMessageW(window, message, wParam, lParam); };
    host.onUiThread = [this](std::function<void()> work) { uiWork_.Post(std::move(work)); };
    host.queueCommand = [this](UpdateCoordinator::Command command, const std::wstring& version) {
        PushCommand(static_cast<WorkerCommand>(command), version);
    };
    host.readFirmware = [this] { return ReadFirmwareForUpdate(); };
    host.showBox = ShowMessageBox;
    host.window = window;
    host.softwareBaseUrl = softwareBaseUrl;
    host.currentVersion = currentSoftwareVersion;
    host.stagingFolder = GetStagingFolderPath();
    updates_ = std::make_unique<UpdateCoordinator>(std::move(host));
}

// Worker thread. A read that fails leaves the version unknown, not 0.
UpdateCoordinator::FirmwareReading DeviceMainDlg::ReadFirmwareForUpdate()
{
    HidDeviceManager& hid = HidDeviceManager::Instance();
    if (hid.DeviceCount() == 0)
        return {};
    int version = -1;
    const bool known = hid.ReadFirmwareVersion(version);
    SetFirmware(known ? version : -1, known);
    return {true, known, known ? version : -1};
}

// Worker thread: only a firmware upgrade the user accepted, and none while a
// software update is under way.
void DeviceMainDlg::UpgradeFirmware()
{
    if (updates_->BeginUpgradeCommand())
        DeviceWorker::UpgradeFirmware();
}

LRESULT DeviceMainDlg::OnDestroy()
{
    if (updates_)
        updates_->OnWindowGone();
    uiWork_.Attach(nullptr);
    return MDialog::OnDestroy();
}

// Worker thread.
void DeviceMainDlg::SetDeviceCountText(const wchar_t* text)
{
    uiWork_.Post([this, label = std::wstring(text)] {
        if (deviceText != nullptr)
            deviceText->SetTitle(label.c_str());
    });
}

// Worker thread.
void DeviceMainDlg::FwVersionChanged()
{
    uiWork_.Post([this] { UpdateFwVersionText(); });
}
