#pragma once
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "DeviceWorker.h"
#include "HttpClient.h"
#include "IDeviceView.h"
#include "MDialog.h"
#include "TrayIcon.h"

class CHWiNFOThread;
class UpdateProcessDlg;
struct FirmwareCheckTexts;
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

    // Update service (DeviceMainDlgUpdate.cpp).
    // Handler of kMsgUpdateVerdict: the prompt for kind 1 (software) or 2
    // (firmware). UI thread; returns 0.
    LRESULT OnUpdatePrompt(WPARAM kind, LPARAM available);
    // Handler of kMsgUpgradeProgress: feeds the progress window and shows the
    // result box at -1 and 100. UI thread; returns 0.
    LRESULT OnUpgradeProgress(int progress);
    // The firmware upgrade's outcome, read when its -1 or 100 arrives. The
    // worker sets it before posting that progress. Any thread.
    void SetUpgradeResult(const std::wstring& status, bool succeeded);
    std::wstring LatestSoftwareVersion() const;
    std::wstring TargetFirmwareVersion() const;

protected:
    // The update checks (worker thread).
    void CheckSoftware(bool silent) override;
    void CheckFirmware(bool silent) override;
    void RequestFirmwareUpgradePrompt() override;
    void CloseUpgradeProgress() override;
    void ReportUpgradeStep(int progress, const std::wstring& status, bool succeeded) override;
    // Command 7 (DeviceMainDlgSoftware.cpp). Worker thread.
    void UpdateSoftware() override;

private:
    // Handler of kMsgSoftwareUpdateProblem: the box that says why an accepted
    // update installed nothing. UI thread.
    void ShowSoftwareUpdateProblem();
    // Handler of kMsgCloseUpgradeProgress. UI thread.
    void CloseUpgradeProgressWindow();

    void CheckSoftwareVersion(bool verbose);
    void CheckFirmwareUpgrade();
    void CheckFirmwareUpgrade2();
    bool ClassifyConnectedFirmware(const FirmwareCheckTexts& texts, bool& upgrade);
    void PostVerdict(WPARAM kind, bool yes);
    void SetTargetFirmwareVersion(const wchar_t* version);
    void RunProgressDialog();

    // IDeviceView: called by the worker thread; the change is handed to the UI
    // thread with a posted message, so controls are only touched there.
    void SetDeviceCountText(const wchar_t* text) override;
    void FwVersionChanged() override;
    void ApplyPendingLabels();

    // Resume, end of session, shell restart, work-area change; true when
    // handled with `result`. UI thread.
    bool OnRecoveryMessage(UINT msg, WPARAM wParam, LRESULT& result);
    // The tray's "Exit", the end of the session or of the modal loop: the
    // cooler goes dark, unless a firmware upgrade runs.
    void EndingByOwnHand();
    void AllowTaskbarCreated();

    void ShowPage(bool settings);
    void ApplySwitchPictures();
    void InvalidateClient();

    // The download's client: its last progress value carries over from one
    // download to the next. Worker thread only.
    HttpClient downloadClient_;
    std::wstring softwareUpdateProblem_;  // under updateLock_

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

    // Worker-written texts the UI thread reads.
    mutable std::mutex updateLock_;
    std::wstring latestSoftwareVersion;
    std::wstring targetFirmwareVersion;
    std::wstring upgradeStatus;
    bool upgradeSucceeded = false;
    // The open progress window; the worker closes it after command 10.
    std::mutex progressLock_;
    UpdateProcessDlg* progressDialog = nullptr;
    // One prompt of each kind, and one result box, at a time (UI thread).
    bool softwarePromptOpen = false;
    bool firmwarePromptOpen = false;
    bool resultBoxOpen = false;

    std::mutex labelLock_;
    std::wstring pendingDeviceText_;
    bool deviceTextPending_ = false;
    bool fwTextPending_ = false;
};
