#pragma once
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "UpdateFlow.h"
#include "UpdateWorker.h"

class UpdateProcessDlg;

// The update service: the software and firmware checks, their prompts, the
// accepted software update on the update worker and the firmware upgrade's
// progress window and result boxes. Its states live in one UpdateFlow under
// one lock; the program's parts it needs are injected as a Host.
//
// Threads: the version checks' network work and the download run on the
// update worker; the firmware reads and the upgrade run on the device worker
// (which calls the *Command functions); boxes run on the UI thread, one at a
// time, each waiting for the one before to close.
class UpdateCoordinator {
public:
    // Commands the coordinator queues on the device worker.
    enum class Command { SoftwareUpdate = 7, FirmwareUpgrade = 10 };

    struct FirmwareReading {
        bool connected = false;  // a cooler is open
        bool known = false;      // it answered the version query
        int value = -1;
    };

    struct Host {
        // Posts to the main window (the verdict 0x69C, the progress 0x69D,
        // the Exit command). Any thread.
        std::function<void(UINT message, WPARAM wParam, LPARAM lParam)> post;
        // Runs work on the UI thread. Any thread.
        std::function<void(std::function<void()>)> onUiThread;
        // Queues a command on the device worker; command 7 carries the accepted version.
        std::function<void(Command command, const std::wstring& version)> queueCommand;
        // Reads the cooler's firmware version. Device worker.
        std::function<FirmwareReading()> readFirmware;
        // Shows the program's message box and returns its answer (1 OK/YES). UI thread.
        std::function<int(const std::wstring& text, const std::wstring& caption, int mode)> showBox;
        // The main window, owner of the progress window and the system box.
        HWND window = nullptr;
        // The update server's software folder and this program's version.
        std::wstring softwareBaseUrl;
        std::wstring currentVersion;
        // Where command 7 downloads, checks and unpacks (Paths' GetStagingFolderPath).
        std::wstring stagingFolder;
    };

    explicit UpdateCoordinator(Host host);
    ~UpdateCoordinator();

    // ---- device worker
    // Commands 3 and 5: hands the check to the update worker.
    void SoftwareCheckCommand(bool verbose);
    // Commands 4 and 6.
    void FirmwareCheckCommand(bool verbose);
    // The connect found a cooler with version 0.
    void OfferFirmwareFromZero();
    // Command 7 with the version it carries: hands the download to the update worker.
    void SoftwareUpdateCommand(const std::wstring& version);
    // Command 10: true when the transfer may start.
    bool BeginUpgradeCommand();
    // After command 10, whether it ran or not: the progress window closes.
    void EndUpgradeCommand();
    // One step of the upgrade: outcome stored, then the progress posted.
    void ReportUpgradeStep(int progress, const std::wstring& status, bool succeeded);

    // ---- UI thread
    // Handler of 0x69C: shows the boxes that wait. Returns 0.
    LRESULT OnVerdict();
    // Handler of 0x69D: feeds the progress window; -1 and 100 bring the result box.
    LRESULT OnUpgradeProgress(int progress);
    // The program ends by its own hand: nothing more is offered, a download
    // is cancelled (within boundMs) and its partial file deleted.
    void OnExit(DWORD boundMs);
    // The main window is gone: no box opens and no upgrade starts any more.
    void OnWindowGone();

    // ---- any thread
    FlowState State(UpdateKind kind) const;
    std::wstring TargetFirmwareVersion() const;

private:
    struct WaitingBox {
        UpdateKind kind;
        CheckBox box;          // None: a plain message (mode OK)
        std::wstring text;
        std::wstring caption;
        bool upgradeResult = false;
    };

    void RunSoftwareCheck(const std::atomic<bool>& cancelled);        // update worker
    void RunSoftwareUpdate(const std::wstring& version, const std::atomic<bool>& cancelled);  // update worker
    void EndCheck(UpdateKind kind, CheckResult result, const std::wstring& version, const std::wstring& reason);
    void Tell(UpdateKind kind, const std::wstring& text, const std::wstring& caption);
    void ShowWaitingBoxes();                                          // UI thread
    void Show(const WaitingBox& box);                                 // UI thread
    void RunProgressWindow();                                         // UI thread

    Host host_;
    UpdateWorker network_;

    mutable std::mutex lock_;  // everything below
    UpdateFlow flow_;
    std::wstring targetFirmwareVersion_;
    std::wstring upgradeStatus_;
    bool upgradeSucceeded_ = false;
    std::deque<WaitingBox> waiting_;
    UpdateProcessDlg* progress_ = nullptr;
    bool windowGone_ = false;
    bool resultWaiting_ = false;  // an upgrade result box waits or is open

    // UI thread only.
    bool boxOpen_ = false;
};
