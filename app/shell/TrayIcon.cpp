#include "TrayIcon.h"

#include <imm.h>

#include "AppEntry.h"
#include "MRender.h"
#include "Paths.h"
#include "ProductName.h"
#include "Settings.h"
#include "SkinPath.h"
#include "UniqueResource.h"

namespace {

void ExitProcessNow(UINT exitCode)
{
    ExitProcess(exitCode);
}

// The choice as stored: the main window writes it at once when the user
// switches, so the stored value is the one the cooler follows.
TrayTooltip::Choice StoredDisplayChoice()
{
    return {PeekRegValue(kDeviceTypeValue), PeekRegValue(kTempeTypeValue)};
}

}  // namespace

TrayIcon::TrayIcon(const std::atomic<bool>& firmwareUpgrading, DeviceNoticeRegistrar registrar)
    : firmwareUpgrading_(firmwareUpgrading),
      registrar_(registrar),
      exit_(ExitProcessNow),
      board_(&ProcessSensorStatus()),
      choice_(StoredDisplayChoice),
      tip_(kProductName),
      iconPath_(GetSkinsPath() + L"Caldris.ico")
{
    ZeroMemory(&trayData, sizeof(trayData));
    trayData.cbSize = sizeof(NOTIFYICONDATAW);
}

TrayIcon::~TrayIcon()
{
    RemoveTrayIcon();
}

void TrayIcon::SetupTray(HWND window)
{
    window_ = window;
    SetPropW(window_, kProductName, reinterpret_cast<HANDLE>(1));
    AddIcon();
    SetTimer(window_, kReAddTimerId, kReAddDelayMs, nullptr);
    SetTimer(window_, kTooltipTimerId, kTooltipPeriodMs, nullptr);

    // Shared icons belong to the system; nothing to free.
    const HINSTANCE module = GetModuleHandleW(nullptr);
    if (HANDLE big = LoadImageW(module, MAKEINTRESOURCEW(kWindowIconResource), IMAGE_ICON,
                                GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED))
        SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (HANDLE small = LoadImageW(module, MAKEINTRESOURCEW(kWindowIconResource), IMAGE_ICON,
                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED))
        SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

    if (HIMC context = ImmGetContext(window_)) {
        ImmSetOpenStatus(context, FALSE);
        ImmReleaseContext(window_, context);
    }
    ImmAssociateContext(window_, nullptr);

    if (registrar_)
        registrar_(window_);
}

void TrayIcon::AddIcon()
{
    trayData.hWnd = window_;
    trayData.uID = kIconId;
    trayData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayData.uCallbackMessage = kCallbackMessage;
    icon_.reset(MRender::LoadIconFromFile(iconPath_.c_str()));
    trayData.hIcon = icon_.get();
    lstrcpynW(trayData.szTip, tip_.c_str(), ARRAYSIZE(trayData.szTip));
    Shell_NotifyIconW(NIM_ADD, &trayData);
    added_ = true;
}

void TrayIcon::RemoveTrayIcon()
{
    // Also a record added without an icon (missing icon file) is taken out.
    if (!added_)
        return;
    added_ = false;
    trayData.hIcon = nullptr;
    Shell_NotifyIconW(NIM_DELETE, &trayData);
    icon_.reset();
}

void TrayIcon::PlaceWindow()
{
    const RECT r = MainWindowRect();
    MoveWindow(window_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void TrayIcon::OnTaskbarCreated()
{
    if (window_ == nullptr)
        return;
    RemoveTrayIcon();
    AddIcon();
}

void TrayIcon::PlaceShownWindow()
{
    if (window_ != nullptr && IsWindowVisible(window_))
        PlaceWindow();
}

bool TrayIcon::RefreshTooltip()
{
    std::wstring text = TrayTooltip::Text(board_->Read(), choice_());
    if (text == tip_)
        return false;
    tip_ = std::move(text);
    lstrcpynW(trayData.szTip, tip_.c_str(), ARRAYSIZE(trayData.szTip));
    if (added_) {
        NOTIFYICONDATAW change = trayData;
        change.uFlags = NIF_TIP;
        Shell_NotifyIconW(NIM_MODIFY, &change);
    }
    return true;
}

bool TrayIcon::OnTimer(UINT_PTR id)
{
    if (id == kTooltipTimerId) {
        RefreshTooltip();
        return true;
    }
    if (id != kReAddTimerId)
        return false;
    KillTimer(window_, kReAddTimerId);
    RemoveTrayIcon();
    AddIcon();
    PlaceWindow();
    return true;
}

LRESULT TrayIcon::OnTrayMessage(LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        SetForegroundWindow(window_);
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
        BringWindowToTop(window_);
        PlaceWindow();
        break;
    case WM_RBUTTONUP:
        ShowMenu();
        break;
    default:
        break;
    }
    return 0;
}

void TrayIcon::ShowMenu()
{
    UniqueMenu menu(CreatePopupMenu());
    if (!menu)
        return;
    // During a firmware upgrade the menu stays empty, so nothing is shown.
    if (!firmwareUpgrading_.load())
        AppendMenuW(menu.get(), MF_STRING, kExitCommand, L"Exit");
    POINT cursor = {};
    GetCursorPos(&cursor);
    SetForegroundWindow(window_);
    TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window_, nullptr);
}

void TrayIcon::OnExitCommand()
{
    if (firmwareUpgrading_.load())
        return;
    RemoveTrayIcon();
    exit_(0);
}
