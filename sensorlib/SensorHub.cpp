#include "SensorHub.h"

#include <cstring>
#include <vector>

#include "Aida64Source.h"
#include "CoreTempSource.h"
#include "HwinfoSource.h"
#include "HwmonSource.h"

int CopyOut(const std::string& text, char* buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return 0;
    const size_t n = text.size() < static_cast<size_t>(size - 1) ? text.size() : static_cast<size_t>(size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

SensorHub::SensorHub(bool replayAllowed, std::unique_ptr<WmiConnector> wmi)
    : replayAllowed_(replayAllowed),
      wmi_(std::move(wmi)),
      libreHardwareMonitor_(*wmi_, L"root\\LibreHardwareMonitor", "LibreHardwareMonitor"),
      openHardwareMonitor_(*wmi_, L"root\\OpenHardwareMonitor", "OpenHardwareMonitor"),
      acpiZones_(*wmi_)
{
}

int SensorHub::Initialise(int interfaceVersion)
{
    return interfaceVersion == 192 ? 0 : 1;
}

int SensorHub::DeviceCount()
{
    const std::wstring path = ReplayPath();
    if (!path.empty()) {
        if (ReloadReplay(path) || !showingReplay_)
            FillReplay(false);
    } else if (!machineSampled_ || Known() == 0 || showingReplay_) {
        Refresh();
    }
    return Known();
}

int SensorHub::Refresh()
{
    const std::wstring path = ReplayPath();
    if (!path.empty()) {
        ReloadReplay(path);
        FillReplay(true);
    } else {
        devices_.Clear();
        error_.clear();
        description_.clear();
        RefreshMachine();
        machineSampled_ = true;
        showingReplay_ = false;
    }
    selected_ = 0;
    return Known();
}

std::wstring SensorHub::ReplayPath() const
{
    if (!replayAllowed_)
        return {};
    std::vector<wchar_t> path(32768);
    const DWORD n = GetEnvironmentVariableW(kReplayVariable, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size())
        return {};
    return std::wstring(path.data(), n);
}

bool SensorHub::ReloadReplay(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA attr{};
    const bool exists = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attr) != 0;
    const uint64_t size = (static_cast<uint64_t>(attr.nFileSizeHigh) << 32) | attr.nFileSizeLow;
    // Reread only when the file changed, so that a scenario's time series advances.
    if (replayLoaded_ && path == replayPath_ && exists && size == replaySize_ &&
        CompareFileTime(&attr.ftLastWriteTime, &replayWritten_) == 0)
        return false;
    if (!replayLoaded_ && path == replayPath_ && !error_.empty() && exists == replayExisted_ && size == replaySize_ &&
        CompareFileTime(&attr.ftLastWriteTime, &replayWritten_) == 0)
        return false;  // still the same unusable file
    replayPath_ = path;
    replayWritten_ = attr.ftLastWriteTime;
    replaySize_ = size;
    replayExisted_ = exists;
    replayStep_ = 0;
    std::string why;
    replayLoaded_ = replay_.Load(path, why);
    error_ = replayLoaded_ ? std::string() : "replay: " + why;
    return true;
}

void SensorHub::FillReplay(bool advance)
{
    devices_.Clear();
    description_.clear();
    showingReplay_ = true;
    if (!replayLoaded_) {
        description_ = error_ + "\n";
        return;
    }
    const size_t step = replayStep_;
    replay_.Fill(step, devices_);
    if (advance)
        ++replayStep_;
    description_ = "replay: step " + std::to_string(step) + ", " + std::to_string(Known()) + " devices\n";
}

void SensorHub::RefreshMachine()
{
    if (!hostChecked_) {
        hostChecked_ = true;
        hwmonDir_ = HwmonSource::HostHwmonDir();
        boardName_ = HwmonSource::HostBoardName();
        processorName_ = CpuLoadSource::ProcessorName();
    }
    // In order of preference: a reading an earlier source delivered is not
    // taken again from a later one.
    const ULONGLONG now = GetTickCount64();
    std::string status;
    HwinfoSource::Collect(devices_, status);
    description_ += status + "\n";
    CoreTempSource::Collect(devices_, status);
    description_ += status + "\n";
    Aida64Source::Collect(processorName_, devices_, status);
    description_ += status + "\n";
    libreHardwareMonitor_.Collect(devices_, status, now);
    description_ += status + "\n";
    openHardwareMonitor_.Collect(devices_, status, now);
    description_ += status + "\n";
    acpiZones_.Collect(devices_, status, now);
    description_ += status + "\n";
    nvml_.Collect(devices_, status);
    description_ += status + "\n";
    d3dkmt_.Collect(devices_, status);
    description_ += status + "\n";
    cpuLoad_.Collect(devices_, status);
    description_ += status + "\n";
    if (hwmonDir_.empty()) {
        description_ += "hwmon: not running under Wine\n";
    } else {
        const int added = HwmonSource::Scan(hwmonDir_, {CpuLoadSource::ProcessorName(), boardName_}, devices_);
        description_ += "hwmon: " + std::to_string(added) + " readings\n";
    }
}

void SensorHub::SelectDevice(int device)
{
    selected_ = device;
}

int SensorHub::DeviceName(int device, char* buffer, int size) const
{
    if (device < 0 || device >= Known())
        return CopyOut("", buffer, size);
    return CopyOut(devices_.Devices()[device].name, buffer, size);
}

int SensorHub::Read(int kind, int device, int index, SensorRecord* record) const
{
    const SensorValue* v = devices_.Find(kind, device, index);
    if (v == nullptr || record == nullptr)
        return 0;
    std::memset(record, 0, sizeof *record);
    record->valid = v->valid ? 1 : 0;
    record->value = v->value;
    record->hwClass = v->hwClass;
    CopyOut(v->label, record->label, sizeof record->label);
    CopyOut(v->source, record->source, sizeof record->source);
    return 1;
}

int SensorHub::LastError(char* buffer, int size) const
{
    return CopyOut(error_, buffer, size);
}

int SensorHub::Describe(char* buffer, int size) const
{
    return CopyOut(description_, buffer, size);
}
