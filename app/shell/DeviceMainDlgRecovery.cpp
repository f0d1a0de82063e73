// The main window's part in keeping the display right through events outside
// the program: resume from sleep, the end of the session, a restarted shell,
// a changed work area.
#include "DeviceMainDlg.h"

namespace {

// How long the end of the program waits for the worker's light-off report
// (the worker runs no network work, so it answers within a cycle), and for
// the update worker to stop a download and delete its partial file.
constexpr DWORD kDarkenBoundMs = 2000;
constexpr DWORD kCancelBoundMs = 1000;

UINT TaskbarCreatedMessage()
{
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

}  // namespace

bool DeviceMainDlg::OnRecoveryMessage(UINT msg, WPARAM wParam, LRESULT& result)
{
    switch (msg) {
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND)
            OnPowerResume();
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        if (wParam)
            DarkenDisplay(kDarkenBoundMs);
        return false;
    case WM_DISPLAYCHANGE:
        tray.PlaceShownWindow();
        return false;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETWORKAREA)
            tray.PlaceShownWindow();
        return false;
    default:
        break;
    }
    if (msg != 0 && msg == TaskbarCreatedMessage()) {
        tray.OnTaskbarCreated();
        result = 0;
        return true;
    }
    return false;
}

void DeviceMainDlg::EndingByOwnHand()
{
    // The tray drops "Exit" while the cooler is rewritten: nothing ends then.
    if (FirmwareUpgrading())
        return;
    DarkenDisplay(kDarkenBoundMs);
    if (updates_)
        updates_->OnExit(kCancelBoundMs);
}

void DeviceMainDlg::AllowTaskbarCreated()
{
    // The program runs elevated; the shell that announces itself does not.
    ChangeWindowMessageFilterEx(GetSafeHwnd(), TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
}
