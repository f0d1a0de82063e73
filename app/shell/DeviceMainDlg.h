#pragma once
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "DeviceWorker.h"
#include "IDeviceView.h"
#include "MDialog.h"
#include "TrayIcon.h"

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

private:
    // IDeviceView: called by the worker thread; the change is handed to the UI
    // thread with a posted message, so controls are only touched there.
    void SetDeviceCountText(const wchar_t* text) override;
    void FwVersionChanged() override;
    void ApplyPendingLabels();

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

    std::mutex labelLock_;
    std::wstring pendingDeviceText_;
    bool deviceTextPending_ = false;
    bool fwTextPending_ = false;
};
