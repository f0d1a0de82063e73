#pragma once
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <string>

#include "DeviceNotice.h"
#include "MainWindowMessages.h"
#include "MenuCommand.h"
#include "SensorStatus.h"
#include "TrayTooltip.h"
#include "UniqueResource.h"

// The notification-area icon of the main window, its menu and the start-up
// marks on the window (instance property, window icon, no input method). The
// main window routes its tray callback, timer 200 and the "Exit" command here.
// UI thread only.
class TrayIcon {
public:
    static constexpr UINT kIconId = 109;
    static constexpr UINT kCallbackMessage = kMsgTrayCallback;
    static constexpr UINT_PTR kReAddTimerId = 200;
    static constexpr UINT kReAddDelayMs = 10000;
    static constexpr UINT kExitCommand = kMenuExit;
    static constexpr WORD kWindowIconResource = 107;
    // The tooltip follows the sampler's status: looked at this often (the
    // sampler passes every 2 s), changed only when its text changes.
    static constexpr UINT_PTR kTooltipTimerId = 202;
    static constexpr UINT kTooltipPeriodMs = 1000;

    // Registers the window for device-change notices (the cooler's hot-plug).
    using DeviceNoticeRegistrar = int (*)(HWND window);
    // Ends the process; ExitProcess unless replaced.
    using ProcessExit = void (*)(UINT exitCode);
    // The display choice the cooler follows; the stored settings unless replaced.
    using DisplayChoiceReader = TrayTooltip::Choice (*)();

    // firmwareUpgrading is read at each menu and "Exit" (the device worker writes it).
    explicit TrayIcon(const std::atomic<bool>& firmwareUpgrading,
                      DeviceNoticeRegistrar registrar = RegisterCoolerNotifications);
    // The flag is kept by reference: a temporary (made from a plain variable)
    // would leave it dangling.
    TrayIcon(std::atomic<bool>&&, DeviceNoticeRegistrar = RegisterCoolerNotifications) = delete;
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // The icon file; GetSkinsPath() + "Caldris.ico" unless set.
    void SetIconPath(std::wstring path) { iconPath_ = std::move(path); }
    const std::wstring& IconPath() const { return iconPath_; }
    void SetProcessExit(ProcessExit exit) { exit_ = exit; }
    // Where the tooltip reads the sensor status (the process's board unless set).
    void SetStatusBoard(const SensorStatusBoard& board) { board_ = &board; }
    void SetDisplayChoice(DisplayChoiceReader reader) { choice_ = reader; }

    // Marks the window, adds the icon, starts timer 200, sets the window icon,
    // switches the input method off and registers for device-change notices.
    void SetupTray(HWND window);
    // Timer 200: icon removed and added anew, window placed again. Timer 202:
    // the tooltip follows the status. False for other ids.
    bool OnTimer(UINT_PTR id);
    // Builds the tooltip from the status and the display choice; NIM_MODIFY
    // only when its text changed. Returns whether it changed.
    bool RefreshTooltip();
    // The tray callback; lParam is the mouse message. Returns 0.
    LRESULT OnTrayMessage(LPARAM mouseMessage);
    // Menu command "Exit": dropped (returns) while a firmware upgrade runs,
    // otherwise removes the icon and ends the process with exit code 0.
    void OnExitCommand();
    // Deletes the icon record if one is registered.
    void RemoveTrayIcon();
    // The shell restarted ("TaskbarCreated") and lost every icon: add it again.
    void OnTaskbarCreated();
    // The work area or the display changed: a shown window goes back to its corner.
    void PlaceShownWindow();

    const NOTIFYICONDATAW& Data() const { return trayData; }
    bool IconAdded() const { return added_; }

private:
    void AddIcon();
    void PlaceWindow();
    void ShowMenu();

    NOTIFYICONDATAW trayData;
    UniqueIcon icon_;  // the icon of trayData, while it is added
    HWND window_ = nullptr;
    const std::atomic<bool>& firmwareUpgrading_;
    DeviceNoticeRegistrar registrar_;
    ProcessExit exit_;
    const SensorStatusBoard* board_;
    DisplayChoiceReader choice_;
    std::wstring tip_;
    std::wstring iconPath_;
    bool added_ = false;
};
