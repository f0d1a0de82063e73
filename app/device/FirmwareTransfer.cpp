#include "FirmwareTransfer.h"

#include <algorithm>
#include <cstdio>

#include "HidDeviceManager.h"
#include "UniqueResource.h"

FirmwareTransfer::FirmwareTransfer(Host& host, const CoolerUpgradeFraming& framing, DWORD waitStepMs)
    : host_(host), framing_(framing), waitStepMs_(waitStepMs)
{
}

int FirmwareTransfer::WaitProgress(int second)
{
    return 5 + (100 * second) / kWaitSteps;
}

int FirmwareTransfer::DataProgress(size_t shown, size_t windowBytes)
{
    return 20 + static_cast<int>(shown * 80 / windowBytes);
}

const wchar_t* FirmwareTransfer::StatusText(Failure failure)
{
    switch (failure) {
    case Failure::NotConnected:
        return L"Device not connected, cannot upgrade";
    case Failure::CommandNotSent:
        return L"Failed to send upgrade command";
    case Failure::Disconnected:
        return L"Device disconnected, upgrade failed";
    case Failure::CannotOpen:
        return L"Cannot open firmware file";
    case Failure::Empty:
        return L"Firmware file is empty";
    case Failure::ReadFailed:
        return L"Failed to read firmware file";
    case Failure::TooSmall:
        return L"Firmware file too small";
    case Failure::DataFailed:
        return L"Data transfer failed, upgrade failed";
    }
    return L"";
}

bool FirmwareTransfer::CoolerPresent() const
{
    return HidDeviceManager::Instance().DeviceCount() != 0 && host_.CoolerAttached();
}

void FirmwareTransfer::Report(int progress, const std::wstring& status, bool succeeded)
{
    host_.ReportUpgrade(progress, status, succeeded);
}

void FirmwareTransfer::Fail(Failure failure)
{
    host_.SetUpgrading(false);
    Report(-1, StatusText(failure), succeeded_);
}

void FirmwareTransfer::Run(const std::wstring& imagePath)
{
    if (!CoolerPresent()) {
        // Nothing started: the upgrading flag is left as it is.
        Report(-1, StatusText(Failure::NotConnected));
        return;
    }
    host_.SetUpgrading(true);
    succeeded_ = false;
    Report(0, L"Starting firmware upgrade...");

    const auto command = UpgradeCommandReport(framing_);
    if (!HidDeviceManager::Instance().SendFeature(command.data(), command.size())) {
        Fail(Failure::CommandNotSent);
        return;
    }
    Report(5, L"Upgrade command sent, waiting 9s...");
    if (!WaitForBootLoader())
        return;

    Report(15, L"Device ready, reading firmware file...");
    std::vector<uint8_t> image;
    if (!ReadImage(imagePath, image))
        return;

    Report(20, L"Starting upgrade, do not disconnect USB");
    if (!SendData(image))
        return;
    image = {};

    host_.SetUpgrading(false);
    host_.ForgetFirmwareVersion();
    Report(100, L"Firmware upgrade completed", succeeded_);
}

bool FirmwareTransfer::WaitForBootLoader()
{
    for (int i = 0; i < kWaitSteps; ++i) {
        Sleep(waitStepMs_);
        if (i % 10 == 0) {
            const int second = i / 10;
            wchar_t text[64];
            swprintf(text, sizeof text / sizeof text[0], L"Waiting for device ready: %d/9s...", second);
            Report(WaitProgress(second), text);
        }
    }
    if (!CoolerPresent()) {
        Fail(Failure::Disconnected);
        return false;
    }
    return true;
}

bool FirmwareTransfer::ReadImage(const std::wstring& imagePath, std::vector<uint8_t>& image)
{
    UniqueHandle file(CreateFileW(imagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Fail(Failure::CannotOpen);
        return false;
    }
    LARGE_INTEGER size{};
    const bool sized = GetFileSizeEx(file.get(), &size) != FALSE;
    if (sized && size.QuadPart == 0) {
        Fail(Failure::Empty);
        return false;
    }
    // No size, or far beyond any image: the whole read could not succeed.
    if (!sized || size.QuadPart > 64 * 1024 * 1024) {
        Fail(Failure::ReadFailed);
        return false;
    }
    image.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.get(), image.data(), static_cast<DWORD>(image.size()), &read, nullptr) || read != image.size()) {
        Fail(Failure::ReadFailed);
        return false;
    }
    file.reset();
    if (image.size() < framing_.ImageMinBytes()) {
        Fail(Failure::TooSmall);
        return false;
    }
    return true;
}

bool FirmwareTransfer::SendData(const std::vector<uint8_t>& image)
{
    HidDeviceManager& hid = HidDeviceManager::Instance();
    const size_t window = framing_.windowBytes;
    for (size_t index = 0, sent = 0; sent < window; ++index) {
        if (!CoolerPresent()) {
            Fail(Failure::Disconnected);
            return false;
        }
        const auto report = UpgradeDataReport(framing_, image, index);
        bool delivered = false;
        for (int attempt = 0; attempt < kAttempts && !delivered; ++attempt) {
            if (!CoolerPresent()) {
                Fail(Failure::Disconnected);
                return false;
            }
            delivered = hid.SendFeature(report.data(), report.size());
            if (!delivered)
                Sleep(kRetryPauseMs);
        }
        if (!delivered) {
            Fail(Failure::DataFailed);
            return false;
        }
        sent += framing_.bytesPerReport;
        const size_t shown = std::min(sent, window);
        const int progress = DataProgress(shown, window);
        wchar_t text[96];
        swprintf(text, sizeof text / sizeof text[0], L"Upgrade progress: %d%% (%d/%d bytes, 1000H-5efeH)", progress,
                 static_cast<int>(shown), static_cast<int>(window));
        if (shown == window)
            succeeded_ = true;
        Report(progress, text, succeeded_);
        Sleep(kReportPauseMs);
    }
    return true;
}
