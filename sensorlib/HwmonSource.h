#pragma once
#include <string>

#include "SensorDeviceSet.h"

// The Linux host's hwmon drivers, seen through the Windows path that Wine maps
// the host's file system to (only under Wine; a plain Windows system has none).
// Millidegree files are mapped onto the labels the program looks for:
//   coretemp "Package id 0"  -> class 11 "CPU Package" on the CPU
//   k10temp Tdie (else Tctl) -> class 11 "CPU (Tctl/Tdie)" on the CPU
//   amdgpu edge              -> class 13 "GPU Temperature" on the card;
//                               gpu_busy_percent -> "GPU Utilization"
//   nct67xx SYSTIN           -> class 12 "Motherboard" on the board
class HwmonSource {
public:
    struct Names {
        std::string cpu;    // the processor's name
        std::string board;  // the board's name; "Motherboard" when unknown
    };

    // Scans a hwmon class folder (one sub-folder per chip). Returns the number of
    // readings added.
    static int Scan(const std::wstring& hwmonDir, const Names& names, SensorDeviceSet& out);

    // The Windows path of the host's /sys/class/hwmon, or empty when not under Wine.
    static std::wstring HostHwmonDir();
    // The board's name from the host's DMI data (under Wine), else empty.
    static std::string HostBoardName();
};
