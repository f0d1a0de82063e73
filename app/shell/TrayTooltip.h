#pragma once
#include <string>

#include "SensorStatus.h"

// The tray icon's tooltip: the product name, then the value the cooler shows
// and where it comes from ("CPU 45 °C · HWiNFO"), or, when there is none, what
// the user can do. No window here.
class TrayTooltip {
public:
    // The user's display choice as the tooltip needs it.
    struct Choice {
        int deviceType = 0;  // 0 CPU, else GPU
        int tempeType = 0;   // 1 Fahrenheit, else Celsius
    };
    static constexpr wchar_t kNoCpu[] =
        L"No CPU temperature: run HWiNFO, Core Temp, AIDA64 or LibreHardwareMonitor with sharing on, or pick GPU";
    static constexpr wchar_t kNoGpu[] = L"No GPU temperature: pick CPU, or run HWiNFO or LibreHardwareMonitor";

    // At most 127 characters, the size of the notification record's tooltip.
    static std::wstring Text(const SensorStatus& status, Choice choice);
};
