#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include <memory>

#include "AcpiZoneSource.h"
#include "CpuLoadSource.h"
#include "D3dkmtSource.h"
#include "NvmlSource.h"
#include "ReplayScenario.h"
#include "SensorDeviceSet.h"
#include "WmiConnector.h"
#include "WmiHardwareMonitorSource.h"

// The reading record a caller passes to the read entry point (464 bytes).
struct SensorRecord {
    int32_t valid;
    int32_t reserved0;
    double value;
    char source[32];  // the data source, terminated; the program reads it when it is not empty
    int32_t hwClass;
    uint8_t reserved2[276];
    char label[136];
};
static_assert(sizeof(SensorRecord) == 464);
static_assert(offsetof(SensorRecord, value) == 8 && offsetof(SensorRecord, source) == 16 && offsetof(SensorRecord, hwClass) == 48 && offsetof(SensorRecord, label) == 328);

// Environment variable naming a replay file; when set, the test and demo build
// of the library serves that scenario instead of the machine's sensors. The
// release build never reads it: the program runs elevated, and no process of
// the user's may choose what it shows or feed it a file to parse.
inline constexpr wchar_t kReplayVariable[] = L"GLIMRA_SENSOR_REPLAY";

// The library's state behind its exported entry points: the device list of the
// last refresh and the data sources. The entry points serialise calls.
class SensorHub {
public:
    // wmi: where the WMI sources connect (the system's WMI unless a test gives another).
    explicit SensorHub(bool replayAllowed, std::unique_ptr<WmiConnector> wmi = MakeSystemWmiConnector());

    int Initialise(int interfaceVersion);
    // The devices known now. Picks up a changed replay file, and looks at the
    // machine when nothing was found yet, so that a caller that asks for the
    // count before refreshing sees devices from the start.
    int DeviceCount();
    int Refresh();
    void SelectDevice(int device);
    int DeviceName(int device, char* buffer, int size) const;
    int Read(int kind, int device, int index, SensorRecord* record) const;
    // Problems of the last refresh (a malformed replay file, say), "" when none.
    int LastError(char* buffer, int size) const;
    // One line per data source: what it delivered on the last refresh.
    int Describe(char* buffer, int size) const;

    const SensorDeviceSet& Devices() const { return devices_; }

private:
    std::wstring ReplayPath() const;
    // Reloads the replay file when it changed; true when it did.
    bool ReloadReplay(const std::wstring& path);
    void FillReplay(bool advance);
    void RefreshMachine();
    int Known() const { return static_cast<int>(devices_.Devices().size()); }

    const bool replayAllowed_;
    SensorDeviceSet devices_;
    int selected_ = 0;
    std::string error_;
    std::string description_;

    std::wstring replayPath_;
    FILETIME replayWritten_{};
    uint64_t replaySize_ = 0;
    bool replayLoaded_ = false;
    bool replayExisted_ = false;
    ReplayScenario replay_;
    size_t replayStep_ = 0;

    std::unique_ptr<WmiConnector> wmi_;
    WmiHardwareMonitorSource libreHardwareMonitor_;
    WmiHardwareMonitorSource openHardwareMonitor_;
    AcpiZoneSource acpiZones_;
    NvmlSource nvml_;
    D3dkmtSource d3dkmt_;
    CpuLoadSource cpuLoad_;
    std::wstring hwmonDir_;
    std::string boardName_;
    std::string processorName_;
    bool hostChecked_ = false;
    bool machineSampled_ = false;
    bool showingReplay_ = false;
};

// Copies text into a caller's buffer, always terminated; returns the length copied.
int CopyOut(const std::string& text, char* buffer, int size);
