#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "DeviceWorker.h"
#include "IDeviceView.h"
#include "MDialog.h"
#include "MainWindowMessages.h"
#include "TrayIcon.h"
#include "UiThreadQueue.h"
#include "UpdateCoordinator.h"

class CHWiNFOThread;
class MButton;
class CImageButton;
class MPicture;
class MText;
class MProgress;

// The program's main object: the main window (a skinned layered dialog with a
// main page and a settings page) and, through DeviceWorker, the device worker.
// It starts the worker and the sensor sampler, routes window messages (device
// changes, the tray, worker results, menu commands) and stops both threads in
// its destructor before anything they use goes away.
class DeviceMainDlg : public MDialog, public DeviceWorker, private IDeviceView {
public:
    DeviceMainDlg();
    ~DeviceMainDlg() override;

    LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void InitUI(CRect client) override;
    void UISize(CRect client) override;
    LRESULT OnMessage(UINT id, UINT code, UINT wParam, LPARAM lParam) override;
    LRESULT OnMouseMove(UINT keys, CPoint pt) override;
    LRESULT OnLButtonDown(UINT keys, CPoint pt) override;
    LRESULT OnLButtonDblClk(UINT keys, CPoint pt) override;
    LRESULT OnLButtonUp(UINT keys, CPoint pt) override;
    void OnTimer(UINT id) override;

    // The firmware version label from Firmware(). UI thread.
    void UpdateFwVersionText();

    int SettingsPageShown() const { return settingsPageShown; }
    const TrayIcon& Tray() const { return tray; }

    std::wstring softwareBaseUrl;
    std::wstring currentSoftwareVersion;

    // The update service; null until the window exists.
    UpdateCoordinator* Updates() const { return updates_.get(); }

protected:
    // The worker's update commands go to the update service. Worker thread.
    void CheckSoftware(bool silent) override { updates_->SoftwareCheckCommand(!silent); }
    void CheckFirmware(bool silent) override { updates_->FirmwareCheckCommand(!silent); }
    void RequestFirmwareUpgradePrompt() override { updates_->OfferFirmwareFromZero(); }
    void UpdateSoftware(const std::wstring& version) override { updates_->SoftwareUpdateCommand(version); }
    void UpgradeFirmware() override;
    void CloseUpgradeProgress() override { updates_->EndUpgradeCommand(); }
    void ReportUpgradeStep(int progress, const std::wstring& status, bool succeeded) override
    {
        updates_->ReportUpgradeStep(progress, status, succeeded);
    }
    LRESULT OnDestroy() override;

private:
    void StartUpdateService();
    // The update service's firmware read. Worker thread.
    UpdateCoordinator::FirmwareReading ReadFirmwareForUpdate();

    // IDeviceView: called by the worker thread; the change is handed to the UI
    // thread with a posted message, so controls are only touched there.
    void SetDeviceCountText(const wchar_t* text) override;
    void FwVersionChanged() override;

    // Resume, end of session, shell restart, work-area change; true when
    // handled with `result`. UI thread.
    bool OnRecoveryMessage(UINT msg, WPARAM wParam, LRESULT& result);
    // The tray's "Exit", the end of the session or of the modal loop: the
    // cooler goes dark and the update service ends its network work, unless
    // a firmware upgrade runs (then the tray drops "Exit").
    void EndingByOwnHand();
    void AllowTaskbarCreated();

    void ShowPage(bool settings);
    void ApplySwitchPictures();
    void InvalidateClient();

    std::unique_ptr<CHWiNFOThread> sensorThread;
    TrayIcon tray;

    CImageButton* closeButton = nullptr;
    CImageButton* settingsButton = nullptr;
    MPicture* unitPicture = nullptr;
    MPicture* ledPicture = nullptr;
    MPicture* sourcePicture = nullptr;
    MPicture* faqPicture = nullptr;
    MText* swVersionText = nullptr;
    MText* fwVersionText = nullptr;
    MText* deviceText = nullptr;
    MButton* softwareUpdateButton = nullptr;
    MButton* firmwareUpdateButton = nullptr;
    MProgress* progressBar = nullptr;

    int settingsPageShown = 0;
    int closeHover = 0;

    // Declared in this order: the update service's threads end before the
    // queue they hand work to.
    UiThreadQueue uiWork_{kMsgUiWork};
    std::unique_ptr<UpdateCoordinator> updates_;
};
