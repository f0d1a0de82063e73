#include "UpdateCoordinator.h"

#include <algorithm>

#include "CUIMessageBox.h"
#include "DebugText.h"
#include "HttpClient.h"
#include "SoftwareUpdate.h"
#include "UpdateProcessDlg.h"
#include "UpdateTexts.h"
#include "VersionPolicy.h"

namespace {

// The verdict message 0x69C: wParam 1 software, 2 firmware; lParam 1 when an
// update is offered.
constexpr UINT kMsgVerdict = 0x69C;
constexpr UINT kMsgProgress = 0x69D;
// The tray menu's "Exit" (WM_COMMAND): the installer replaces this program.
constexpr WPARAM kExitCommand = 100;

WPARAM KindCode(UpdateKind kind)
{
    return kind == UpdateKind::Software ? 1 : 2;
}

// The firmware checks' debug texts: the button's check and the silent one word
// them differently.
struct FirmwareCheckTexts {
    const wchar_t* notConnected;
    const wchar_t* current;   // %d (0x%ls)
    const wchar_t* fromZero;  // 0x%ls, target %ls
    const wchar_t* oldBand;   // %d (0x%ls)
    const wchar_t* upgrade;   // 0x%ls, target %ls
    const wchar_t* latest;    // 0x%ls
};

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

// A known version against the target, with its debug text.
CheckResult ClassifyWithTrace(const FirmwareCheckTexts& texts, int version)
{
    const std::wstring hex = FirmwareHexText(version);
    DebugText(texts.current, version, hex.c_str());
    switch (ClassifyFirmware(version, kTargetFirmwareVersion)) {
    case FirmwareVerdict::UpgradeFromZero:
        DebugText(texts.fromZero, hex.c_str(), kTargetFirmwareVersion);
        return CheckResult::Available;
    case FirmwareVerdict::OldBand:
        DebugText(texts.oldBand, FirmwareVersionNumber(version), hex.c_str());
        return CheckResult::Latest;
    case FirmwareVerdict::Upgrade:
        DebugText(texts.upgrade, hex.c_str(), kTargetFirmwareVersion);
        return CheckResult::Available;
    case FirmwareVerdict::Latest:
        break;
    }
    DebugText(texts.latest, hex.c_str());
    return CheckResult::Latest;
}

}  // namespace

UpdateCoordinator::UpdateCoordinator(Host host) : host_(std::move(host))
{
    network_.StartThread(50);
}

UpdateCoordinator::~UpdateCoordinator()
{
    network_.Cancel(0);
    network_.StopThread();
    network_.JoinThread();
}

FlowState UpdateCoordinator::State(UpdateKind kind) const
{
    std::lock_guard<std::mutex> lock(lock_);
    return flow_.State(kind);
}

std::wstring UpdateCoordinator::TargetFirmwareVersion() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return targetFirmwareVersion_;
}

// ---------------------------------------------------------------- checks

void UpdateCoordinator::SoftwareCheckCommand(bool verbose)
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!flow_.BeginCheck(UpdateKind::Software, verbose)) {
            OutputDebugStringW(L"Software check: one is under way, or an offer is open");
            return;
        }
    }
    network_.Queue([this](const std::atomic<bool>& cancelled) { RunSoftwareCheck(cancelled); });
}

// Update worker thread.
void UpdateCoordinator::RunSoftwareCheck(const std::atomic<bool>& cancelled)
{
    HttpClient client;
    client.SetCancelCheck([&cancelled] { return cancelled.load(); });
    std::wstring text;
    const int rc = client.GetString(host_.softwareBaseUrl + L"version", text);
    if (rc == HttpClient::kCancelled)
        return;
    if (rc != 1) {
        EndCheck(UpdateKind::Software, CheckResult::Failed, L"", rc == 0 ? kNoInternetReason : kServerFailedReason);
        return;
    }
    const SoftwareVerdict verdict = JudgeSoftwareVersion(host_.currentVersion, text);
    if (verdict == SoftwareVerdict::Rejected) {
        EndCheck(UpdateKind::Software, CheckResult::Failed, L"", kNoVersionReason);
        return;
    }
    EndCheck(UpdateKind::Software, verdict == SoftwareVerdict::Available ? CheckResult::Available : CheckResult::Latest,
             text, L"");
}

void UpdateCoordinator::FirmwareCheckCommand(bool verbose)
{
    const FirmwareCheckTexts& texts = verbose ? kCheckTexts : kSilentCheckTexts;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!flow_.BeginCheck(UpdateKind::Firmware, verbose)) {
            OutputDebugStringW(L"Firmware dialog showing, skip duplicate");
            return;
        }
        targetFirmwareVersion_ = kTargetFirmwareVersion;
    }
    const FirmwareReading reading = host_.readFirmware();
    if (!reading.connected) {
        OutputDebugStringW(texts.notConnected);
        {
            std::lock_guard<std::mutex> lock(lock_);
            flow_.EndCheck(UpdateKind::Firmware, CheckResult::NoDevice, L"");
        }
        // Shown by the UI thread: the worker goes on pushing meanwhile.
        if (verbose) {
            const HWND window = host_.window;
            host_.onUiThread([window] {
                MessageBoxW(window, kNotConnectedText, kNotConnectedCaption, MB_ICONEXCLAMATION);
            });
        }
        return;
    }
    if (!reading.known) {
        // Unknown is not version 0: nothing is offered.
        OutputDebugStringW(L"Firmware check: the version could not be read");
        EndCheck(UpdateKind::Firmware, CheckResult::Unknown, L"", L"");
        return;
    }
    EndCheck(UpdateKind::Firmware, ClassifyWithTrace(texts, reading.value), kTargetFirmwareVersion, L"");
}

void UpdateCoordinator::OfferFirmwareFromZero()
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        targetFirmwareVersion_ = kTargetFirmwareVersion;
    }
    EndCheck(UpdateKind::Firmware, CheckResult::Available, kTargetFirmwareVersion, L"");
}

// Worker threads: the result becomes a waiting box and the verdict message.
void UpdateCoordinator::EndCheck(UpdateKind kind, CheckResult result, const std::wstring& version,
                                 const std::wstring& reason)
{
    const bool software = kind == UpdateKind::Software;
    WaitingBox box{kind, CheckBox::None, L"", software ? kSoftwareCaption : kFirmwareCaption};
    {
        std::lock_guard<std::mutex> lock(lock_);
        const FlowState before = flow_.State(kind);
        box.box = flow_.EndCheck(kind, result, version);
        if (box.box == CheckBox::None) {
            if (before == FlowState::PromptOpen)
                OutputDebugStringW(software ? L"Software dialog showing, skip duplicate"
                                            : L"Firmware dialog showing, skip duplicate");
            return;
        }
        switch (box.box) {
        case CheckBox::Offer:
            box.text = OfferText(version);
            break;
        case CheckBox::Latest:
            box.text = software ? kSoftwareLatestText : kFirmwareLatestText;
            break;
        case CheckBox::Failed:
            box.text = CheckFailedText(reason);
            break;
        case CheckBox::Unknown:
            box.text = kFirmwareUnknownText;
            break;
        case CheckBox::None:
            break;
        }
        waiting_.push_back(box);
    }
    host_.post(kMsgVerdict, KindCode(kind), box.box == CheckBox::Offer ? 1 : 0);
}

// Any thread: a plain box, after those that wait already.
void UpdateCoordinator::Tell(UpdateKind kind, const std::wstring& text, const std::wstring& caption)
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        waiting_.push_back({kind, CheckBox::None, text, caption});
    }
    host_.onUiThread([this] { ShowWaitingBoxes(); });
}

// ---------------------------------------------------------------- software update

void UpdateCoordinator::SoftwareUpdateCommand(const std::wstring& version)
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!flow_.BeginDownload(version)) {
            OutputDebugStringW(L"Software update: not the accepted version, or one is under way; dropped");
            return;
        }
    }
    network_.Queue([this, version](const std::atomic<bool>& cancelled) { RunSoftwareUpdate(version, cancelled); });
}

// Update worker thread.
void UpdateCoordinator::RunSoftwareUpdate(const std::wstring& version, const std::atomic<bool>& cancelled)
{
    SoftwareUpdateActions actions;
    // Exit stops the download before its next read; the part is deleted.
    HttpClient client;
    client.SetCancelCheck([&cancelled] { return cancelled.load(); });
    actions.download = [&](const std::wstring& url, const std::wstring& path, uint64_t maxBytes) {
        HttpClient::DownloadLimits limits;
        limits.maxBytes = std::min(maxBytes, HttpClient::kMaxDownloadBytes);
        return client.DownloadFile(url, path, host_.window, limits) == 1;
    };
    actions.tell = [&](const std::wstring& text) {
        if (!cancelled.load())
            Tell(UpdateKind::Software, text, kSoftwareCaption);
    };
    actions.launch = [&](const std::wstring& path) {
        {
            std::lock_guard<std::mutex> lock(lock_);
            if (cancelled.load() || flow_.State(UpdateKind::Software) != FlowState::Downloading)
                return false;
            flow_.BeginInstall();
        }
        return LaunchInstaller(path);
    };
    // The installer replaces this program: end as the tray's "Exit" does, so
    // the icon goes and the cooler is left dark.
    actions.endProgram = [this] { host_.post(WM_COMMAND, kExitCommand, 0); };

    const SoftwareUpdateResult result =
        InstallSoftwareUpdate(MakeSoftwarePackage(host_.softwareBaseUrl, version, host_.stagingFolder), actions);
    std::lock_guard<std::mutex> lock(lock_);
    flow_.EndSoftwareUpdate(result == SoftwareUpdateResult::InstallerStarted);
}

// ---------------------------------------------------------------- firmware upgrade

bool UpdateCoordinator::BeginUpgradeCommand()
{
    std::lock_guard<std::mutex> lock(lock_);
    if (flow_.BeginUpgrade())
        return true;
    OutputDebugStringW(L"Firmware upgrade: not accepted, or a software update is under way; dropped");
    return false;
}

void UpdateCoordinator::EndUpgradeCommand()
{
    std::lock_guard<std::mutex> lock(lock_);
    flow_.EndUpgrade();
    // Posted to the window itself: it closes whichever loop runs.
    if (progress_ != nullptr)
        progress_->DoOK();
}

void UpdateCoordinator::ReportUpgradeStep(int progress, const std::wstring& status, bool succeeded)
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        upgradeStatus_ = status;
        upgradeSucceeded_ = succeeded;
    }
    host_.post(kMsgProgress, 0, progress);
}

// ---------------------------------------------------------------- UI thread

LRESULT UpdateCoordinator::OnVerdict()
{
    ShowWaitingBoxes();
    return 0;
}

void UpdateCoordinator::ShowWaitingBoxes()
{
    // The box that is open shows the rest when it closes.
    if (boxOpen_)
        return;
    boxOpen_ = true;
    for (;;) {
        WaitingBox box;
        {
            std::lock_guard<std::mutex> lock(lock_);
            if (waiting_.empty() || windowGone_)
                break;
            box = std::move(waiting_.front());
            waiting_.pop_front();
        }
        Show(box);
    }
    boxOpen_ = false;
}

void UpdateCoordinator::Show(const WaitingBox& box)
{
    if (box.box == CheckBox::None) {
        host_.showBox(box.text, box.caption, CUIMessageBox::kModeOk);
        if (box.upgradeResult) {
            std::lock_guard<std::mutex> lock(lock_);
            resultWaiting_ = false;
        }
        return;
    }
    const bool offer = box.box == CheckBox::Offer;
    const int answer = host_.showBox(box.text, box.caption, offer ? CUIMessageBox::kModeYesNo : CUIMessageBox::kModeOk);
    std::wstring accepted;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!flow_.Answer(box.kind, answer == 1 && !windowGone_, accepted))
            return;
    }
    if (box.kind == UpdateKind::Software) {
        host_.queueCommand(Command::SoftwareUpdate, accepted);
    } else {
        host_.queueCommand(Command::FirmwareUpgrade, accepted);
        RunProgressWindow();
    }
}

void UpdateCoordinator::RunProgressWindow()
{
    auto dialog = std::make_unique<UpdateProcessDlg>();
    dialog->Open(host_.window);
    {
        std::lock_guard<std::mutex> lock(lock_);
        progress_ = dialog.get();
        // Command 10 may have ended already (it failed at once).
        const FlowState state = flow_.State(UpdateKind::Firmware);
        if (state != FlowState::Accepted && state != FlowState::Upgrading)
            dialog->DoOK();
    }
    dialog->ShowModal(SW_SHOW);
    {
        std::lock_guard<std::mutex> lock(lock_);
        progress_ = nullptr;
    }
    dialog->DestroyWindow();
}

LRESULT UpdateCoordinator::OnUpgradeProgress(int progress)
{
    // Only this thread creates and destroys the window; the lock keeps the
    // pointer's readers on other threads right.
    UpdateProcessDlg* window = nullptr;
    std::wstring status;
    bool succeeded = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        window = progress_;
        status = upgradeStatus_;
        succeeded = upgradeSucceeded_;
    }
    if (window != nullptr)
        window->UpdateProgress(progress);
    if (progress != -1 && progress < 100)
        return 0;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (resultWaiting_) {
            OutputDebugStringW(L"Upgrade result dialog showing, skip duplicate");
            return 0;
        }
        resultWaiting_ = true;
        WaitingBox box{UpdateKind::Firmware, CheckBox::None,
                       progress == -1 ? UpgradeFailureText(status) : UpgradeEndText(succeeded), kUpgradeCaption, true};
        waiting_.push_back(box);
    }
    ShowWaitingBoxes();
    return 0;
}

void UpdateCoordinator::OnExit(DWORD boundMs)
{
    bool network = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        network = flow_.BeginExit();
        waiting_.clear();
    }
    if (network && !network_.Cancel(boundMs))
        OutputDebugStringW(L"Exit: the update worker did not stop in time");
}

void UpdateCoordinator::OnWindowGone()
{
    std::lock_guard<std::mutex> lock(lock_);
    windowGone_ = true;
    waiting_.clear();
}
