#include "DeviceMainDlg.h"

#include <dbt.h>

#include "AutostartTask.h"
#include "CHWiNFOThread.h"
#include "ControlNotify.h"
#include "MText.h"
#include "MainLayout.h"
#include "MainWindowMessages.h"
#include "MenuCommand.h"
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
        return OnUpdatePrompt(wParam, lParam);
    case kMsgUpgradeProgress:
        return OnUpgradeProgress(static_cast<int>(lParam));
    case kMsgLabelsChanged:
        ApplyPendingLabels();
        return 0;
    case kMsgSoftwareUpdateProblem:
        ShowSoftwareUpdateProblem();
        return 0;
    case kMsgCloseUpgradeProgress:
        CloseUpgradeProgressWindow();
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

// Worker thread: keep the text and let the UI thread apply it.
void DeviceMainDlg::SetDeviceCountText(const wchar_t* text)
{
    {
        std::lock_guard<std::mutex> lock(labelLock_);
        pendingDeviceText_ = text;
        deviceTextPending_ = true;
    }
    PostMessageW(kMsgLabelsChanged, 0, 0);
}

// Worker thread.
void DeviceMainDlg::FwVersionChanged()
{
    {
        std::lock_guard<std::mutex> lock(labelLock_);
        fwTextPending_ = true;
    }
    PostMessageW(kMsgLabelsChanged, 0, 0);
}

void DeviceMainDlg::ApplyPendingLabels()
{
    std::wstring deviceLabel;
    bool device = false;
    bool fw = false;
    {
        std::lock_guard<std::mutex> lock(labelLock_);
        device = std::exchange(deviceTextPending_, false);
        fw = std::exchange(fwTextPending_, false);
        deviceLabel = pendingDeviceText_;
    }
    if (device && deviceText != nullptr)
        deviceText->SetTitle(deviceLabel.c_str());
    if (fw)
        UpdateFwVersionText();
}
