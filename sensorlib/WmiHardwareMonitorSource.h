#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "SensorDeviceSet.h"
#include "WmiNamespace.h"

// The WMI namespace LibreHardwareMonitor (root\LibreHardwareMonitor) or
// OpenHardwareMonitor (root\OpenHardwareMonitor) publishes while it runs:
// class Sensor (Name, Identifier, SensorType, Value, Parent) and class
// Hardware (Identifier, Name). CPU temperatures and load, GPU temperatures and
// load and the board's temperatures are taken.
class WmiHardwareMonitorSource {
public:
    // One query per namespace and class at most this often; in between a
    // refresh serves the last answer (the program refreshes every 2 s).
    static constexpr ULONGLONG kMinQueryIntervalMs = 1900;

    struct Sensor {
        std::string name;
        std::string identifier;
        std::string type;    // "Temperature", "Load", ...
        std::string parent;  // the hardware's identifier, "/intelcpu/0"
        double value = 0.0;
        bool hasValue = false;
    };
    struct Hardware {
        std::string identifier;
        std::string name;
    };

    // sourceName names the program in readings and status lines.
    WmiHardwareMonitorSource(WmiConnector& connector, const wchar_t* nameSpace, std::string sourceName)
        : namespace_(connector, nameSpace), sourceName_(std::move(sourceName))
    {
    }

    // `now` in milliseconds (GetTickCount64). Sampler thread.
    int Collect(SensorDeviceSet& out, std::string& status, ULONGLONG now);

    // The readings the rows give, under the program's labels.
    static int Map(const std::vector<Sensor>& sensors, const std::vector<Hardware>& hardware,
                   const std::string& sourceName, SensorDeviceSet& out);

private:
    WmiNamespace namespace_;
    const std::string sourceName_;
    std::vector<Sensor> sensors_;
    std::vector<Hardware> hardware_;
    bool answered_ = false;
    ULONGLONG lastQuery_ = 0;
    std::string why_;
};
