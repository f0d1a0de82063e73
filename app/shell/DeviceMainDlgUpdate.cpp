// The update service's side of the main dialog: the version checks on the
// worker, the prompts and the firmware upgrade's progress and result boxes on
// the UI thread.
#include <cstdio>
#include <memory>

#include "CUIMessageBox.h"
#include "DeviceMainDlg.h"
#include "HidDeviceManager.h"
#include "HttpClient.h"
#include "MainWindowMessages.h"
#include "UpdateCaptions.h"
#include "UpdateProcessDlg.h"
#include "VersionPolicy.h"

namespace {

constexpr WPARAM kSoftwareKind = 1;
constexpr WPARAM kFirmwareKind = 2;

// The prompt that offers a newer version.
std::wstring OfferText(const std::wstring& version)
{
    wchar_t text[256];
    swprintf(text, sizeof text / sizeof text[0], L"%ls:v%ls, %ls", L"Detected the latest version", version.c_str(),
             L"update now?");
    return text;
}

template <typename... Args>
void DebugText(const wchar_t* format, Args... args)
{
    wchar_t text[256];
    swprintf(text, sizeof text / sizeof text[0], format, args...);
    OutputDebugStringW(text);
}

struct FailureText {
    const wchar_t* statusPart;
    const wchar_t* text;
};
constexpr FailureText kFailureTexts[] = {
    {L"Device not connected",
     L"Firmware upgrade failed!\n\nDevice not connected, please check USB connection and retry."},
    {L"Device disconnected",
     L"Firmware upgrade failed!\n\nDevice disconnected during upgrade, please reconnect and retry."},
    {L"Cannot open firmware file",
     L"Firmware upgrade failed!\n\nCannot open firmware file, please check file integrity and retry."},
    {L"Failed to send upgrade command",
     L"Firmware upgrade failed!\n\nFailed to send upgrade command, please check device connection and retry."},
    {L"Data transfer failed",
     L"Firmware upgrade failed!\n\nData transfer failed, please check device connection and retry."},
};

std::wstring FailureMessage(const std::wstring& status)
{
    for (const FailureText& row : kFailureTexts) {
        if (status.find(row.statusPart) != std::wstring::npos)
            return row.text;
    }
    return L"Firmware upgrade failed!\n\nError: " + status + L"\n\nPlease restart and retry.";
}

}  // namespace

// ---------------------------------------------------------------- worker thread

void DeviceMainDlg::CheckSoftware(bool silent)
{
    CheckSoftwareVersion(!silent);
}

void DeviceMainDlg::CheckFirmware(bool silent)
{
    if (silent)
        CheckFirmwareUpgrade2();
    else
        CheckFirmwareUpgrade();
}

void DeviceMainDlg::PostVerdict(WPARAM kind, bool yes)
{
    PostMessageW(kMsgUpdateVerdict, kind, yes ? 1 : 0);
}

void DeviceMainDlg::SetTargetFirmwareVersion(const wchar_t* version)
{
    std::lock_guard<std::mutex> lock(updateLock_);
    targetFirmwareVersion = version;
}

// Worker thread.
void DeviceMainDlg::CheckSoftwareVersion(bool verbose)
{
    std::wstring text;
    HttpClient().GetString(softwareBaseUrl + L"version", text);
    const SoftwareVerdict verdict = JudgeSoftwareVersion(currentSoftwareVersion, text);
    if (verdict == SoftwareVerdict::Rejected) {
        if (verbose)
            PostVerdict(kSoftwareKind, false);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(updateLock_);
        latestSoftwareVersion = text;
    }
    const bool available = verdict == SoftwareVerdict::Available;
    if (verbose || available)
        PostVerdict(kSoftwareKind, available);
}

// The firmware checks' debug texts: the button's check and the silent one
// word them differently.
struct FirmwareCheckTexts {
    const wchar_t* notConnected;
    const wchar_t* current;       // %d (0x%ls)
    const wchar_t* fromZero;      // 0x%ls, target %ls
    const wchar_t* oldBand;       // %d (0x%ls)
    const wchar_t* upgrade;       // 0x%ls, target %ls
    const wchar_t* latest;        // 0x%ls
};

namespace {

constexpr FirmwareCheckTexts kCheckTexts = {
    L"Device not connected, skip firmware upgrade check",
    L"Current FW version: %d (0x%ls)",
    L"Trigger upgrade, current: 0x%ls (v0), target: %ls",
    L"Version %d (0x%ls) is between 1-8, no upgrade needed",
    L"Trigger upgrade, current: 0x%ls, target: %ls",
    L"Current version: 0x%ls is latest, no upgrade",
};

constexpr FirmwareCheckTexts kSilentCheckTexts = {
    L"CheckFirmwareUpgrade2 - Device not connected, skip firmware upgrade check",
    L"CheckFirmwareUpgrade2 - Current FW: %d (0x%ls)",
    L"CheckFirmwareUpgrade2 - Trigger upgrade, current: 0x%ls (v0), target: %ls",
    L"CheckFirmwareUpgrade2 - Version %d (0x%ls) is between 1-8, no upgrade needed",
    L"CheckFirmwareUpgrade2 - Trigger upgrade, current: 0x%ls, target: %ls",
    L"CheckFirmwareUpgrade2 - Current: 0x%ls is latest, no upgrade",
};

}  // namespace

// Worker thread: reads the cooler's version and classifies it; false when no
// cooler is open.
bool DeviceMainDlg::ClassifyConnectedFirmware(const FirmwareCheckTexts& texts, bool& upgrade)
{
    if (HidDeviceManager::Instance().DeviceCount() == 0) {
        OutputDebugStringW(texts.notConnected);
        return false;
    }
    SetTargetFirmwareVersion(kTargetFirmwareVersion);
    int version = -1;
    HidDeviceManager::Instance().ReadFirmwareVersion(version);
    SetFirmware(version, true);
    const std::wstring hex = FirmwareHexText(version);
    DebugText(texts.current, version, hex.c_str());

    const FirmwareVerdict verdict = ClassifyFirmware(version, kTargetFirmwareVersion);
    switch (verdict) {
    case FirmwareVerdict::UpgradeFromZero:
        DebugText(texts.fromZero, hex.c_str(), kTargetFirmwareVersion);
        break;
    case FirmwareVerdict::OldBand:
        DebugText(texts.oldBand, FirmwareVersionNumber(version), hex.c_str());
        break;
    case FirmwareVerdict::Upgrade:
        DebugText(texts.upgrade, hex.c_str(), kTargetFirmwareVersion);
        break;
    case FirmwareVerdict::Latest:
        DebugText(texts.latest, hex.c_str());
        break;
    }
    upgrade = verdict == FirmwareVerdict::UpgradeFromZero || verdict == FirmwareVerdict::Upgrade;
    return true;
}

// Worker thread. The "not connected" box blocks the worker until dismissed.
void DeviceMainDlg::CheckFirmwareUpgrade()
{
    bool upgrade = false;
    if (ClassifyConnectedFirmware(kCheckTexts, upgrade)) {
        PostVerdict(kFirmwareKind, upgrade);
        return;
    }
    MessageBoxW(GetSafeHwnd(), L"Please connect the device and try again!", L"Device Not Connected",
                MB_ICONEXCLAMATION);
}

// Worker thread: reports only an upgrade.
void DeviceMainDlg::CheckFirmwareUpgrade2()
{
    bool upgrade = false;
    if (ClassifyConnectedFirmware(kSilentCheckTexts, upgrade) && upgrade)
        PostVerdict(kFirmwareKind, true);
}

// Worker thread: a cooler that connected with version 0.
void DeviceMainDlg::RequestFirmwareUpgradePrompt()
{
    SetTargetFirmwareVersion(kTargetFirmwareVersion);
    PostVerdict(kFirmwareKind, true);
}

// Worker thread, after command 10. Posted, not done here: the window may not
// exist yet when a transfer fails at once, and the posted close waits in the
// queue until the progress window's own modal loop takes it.
void DeviceMainDlg::CloseUpgradeProgress()
{
    PostMessageW(kMsgCloseUpgradeProgress, 0, 0);
}

void DeviceMainDlg::CloseUpgradeProgressWindow()
{
    std::lock_guard<std::mutex> lock(progressLock_);
    if (progressDialog != nullptr)
        progressDialog->DoOK();
}

// Worker thread: the status is stored before the progress that makes the UI read it.
void DeviceMainDlg::ReportUpgradeStep(int progress, const std::wstring& status, bool succeeded)
{
    SetUpgradeResult(status, succeeded);
    PostMessageW(kMsgUpgradeProgress, 0, progress);
}

// Any thread.
void DeviceMainDlg::SetUpgradeResult(const std::wstring& status, bool succeeded)
{
    std::lock_guard<std::mutex> lock(updateLock_);
    upgradeStatus = status;
    upgradeSucceeded = succeeded;
}

std::wstring DeviceMainDlg::LatestSoftwareVersion() const
{
    std::lock_guard<std::mutex> lock(updateLock_);
    return latestSoftwareVersion;
}

std::wstring DeviceMainDlg::TargetFirmwareVersion() const
{
    std::lock_guard<std::mutex> lock(updateLock_);
    return targetFirmwareVersion;
}

// ---------------------------------------------------------------- UI thread
// The boxes run nested modal loops: further verdicts and progress are still
// dispatched meanwhile, hence the open marks.

LRESULT DeviceMainDlg::OnUpdatePrompt(WPARAM kind, LPARAM available)
{
    if (kind == kSoftwareKind) {
        if (softwarePromptOpen) {
            OutputDebugStringW(L"Software dialog showing, skip duplicate");
            return 0;
        }
        softwarePromptOpen = true;
        if (available) {
            if (ShowMessageBox(OfferText(LatestSoftwareVersion()), kSoftwareCaption, CUIMessageBox::kModeYesNo) == 1)
                PushCommand(WorkerCommand::SoftwareUpdate);
        } else {
            ShowMessageBox(L"The software is the latest version!", kSoftwareCaption, CUIMessageBox::kModeOk);
        }
        softwarePromptOpen = false;
    } else if (kind == kFirmwareKind) {
        if (firmwarePromptOpen) {
            OutputDebugStringW(L"Firmware dialog showing, skip duplicate");
            return 0;
        }
        firmwarePromptOpen = true;
        if (available) {
            if (ShowMessageBox(OfferText(TargetFirmwareVersion()), kFirmwareCaption, CUIMessageBox::kModeYesNo) == 1) {
                PushCommand(WorkerCommand::FirmwareUpgrade);
                RunProgressDialog();
            }
        } else {
            ShowMessageBox(L"The Firmware is the latest version!", kFirmwareCaption, CUIMessageBox::kModeOk);
        }
        firmwarePromptOpen = false;
    }
    return 0;
}

void DeviceMainDlg::RunProgressDialog()
{
    auto dialog = std::make_unique<UpdateProcessDlg>();
    {
        std::lock_guard<std::mutex> lock(progressLock_);
        progressDialog = dialog.get();
    }
    dialog->RunModal(GetSafeHwnd());
    {
        std::lock_guard<std::mutex> lock(progressLock_);
        progressDialog = nullptr;
    }
    dialog->DestroyWindow();
}

LRESULT DeviceMainDlg::OnUpgradeProgress(int progress)
{
    // Only this thread sets and clears the pointer: no lock needed to read it here.
    if (progressDialog != nullptr)
        progressDialog->UpdateProgress(progress);
    if (resultBoxOpen) {
        OutputDebugStringW(L"Upgrade result dialog showing, skip duplicate");
        return 0;
    }
    std::wstring status;
    bool succeeded = false;
    {
        std::lock_guard<std::mutex> lock(updateLock_);
        status = upgradeStatus;
        succeeded = upgradeSucceeded;
    }
    if (progress == -1) {
        resultBoxOpen = true;
        ShowMessageBox(FailureMessage(status), kUpgradeCaption, CUIMessageBox::kModeOk);
        resultBoxOpen = false;
    } else if (progress >= 100) {
        resultBoxOpen = true;
        ShowMessageBox(succeeded ? L"Firmware upgrade successful!\n\nDevice upgraded to latest version."
                                 : L"Firmware upgrade failed!\n\nUpgrade process interrupted.\n\nPlease restart and retry.",
                       kUpgradeCaption, CUIMessageBox::kModeOk);
        resultBoxOpen = false;
    }
    return 0;
}
