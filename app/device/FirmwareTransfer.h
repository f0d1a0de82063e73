#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CoolerDescription.h"

// Command 10: the cooler's firmware rewritten from an image file over the
// display collection's feature reports. The upgrade command, nine seconds for
// the boot loader to take over, then the image window in data reports, each
// with up to four attempts. Every step is reported as a progress value and a
// status text; -1 ends a failed transfer. Runs on the device worker thread,
// which does nothing else meanwhile.
class FirmwareTransfer {
public:
    // What the transfer needs of the worker that runs it. Worker thread.
    class Host {
    public:
        // False once the cooler was reported removed; the HID list itself only
        // changes with the next connect, after the transfer.
        virtual bool CoolerAttached() const = 0;
        // Holds off the display push and the tray's "Exit" while set.
        virtual void SetUpgrading(bool upgrading) = 0;
        // After a completed transfer the version is unknown until the next connect.
        virtual void ForgetFirmwareVersion() = 0;
        // Stores status and outcome, then posts the progress (-1: failed).
        virtual void ReportUpgrade(int progress, const std::wstring& status, bool succeeded) = 0;

    protected:
        ~Host() = default;
    };

    static constexpr int kWaitSteps = 90;
    static constexpr DWORD kWaitStepMs = 100;
    static constexpr int kAttempts = 4;
    static constexpr DWORD kRetryPauseMs = 10;
    static constexpr DWORD kReportPauseMs = 3;

    // waitStepMs: one of the 90 sleeps of the boot loader's wait. Only the tests
    // and the developer builds choose another than kWaitStepMs.
    FirmwareTransfer(Host& host, const CoolerUpgradeFraming& framing, DWORD waitStepMs = kWaitStepMs);

    // The whole transfer from the image file at `imagePath`. Worker thread.
    void Run(const std::wstring& imagePath);

    // Progress after second `second` (0 to 8) of the wait: 5 to 13.
    static int WaitProgress(int second);
    // Progress once `shown` image bytes of `windowBytes` are sent: 20 to 100.
    static int DataProgress(size_t shown, size_t windowBytes);

private:
    enum class Failure { NotConnected, CommandNotSent, Disconnected, CannotOpen, Empty, ReadFailed, TooSmall, DataFailed };
    static const wchar_t* StatusText(Failure failure);

    bool CoolerPresent() const;
    void Report(int progress, const std::wstring& status, bool succeeded = false);
    void Fail(Failure failure);
    bool WaitForBootLoader();
    bool ReadImage(const std::wstring& imagePath, std::vector<uint8_t>& image);
    bool SendData(const std::vector<uint8_t>& image);

    Host& host_;
    const CoolerUpgradeFraming& framing_;
    DWORD waitStepMs_;
    bool succeeded_ = false;
};
