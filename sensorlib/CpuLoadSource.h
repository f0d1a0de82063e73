#pragma once
#include <cstdint>
#include <string>

#include <windows.h>

#include "SensorDeviceSet.h"

// "CPU Total" load from the system's idle, kernel and user times, between one
// refresh and the next (the first refresh: since boot). The device is named
// after the processor.
class CpuLoadSource {
public:
    int Collect(SensorDeviceSet& out, std::string& status);

    struct Times {
        uint64_t idle = 0, kernel = 0, user = 0;  // kernel includes idle
    };
    // Percent busy between two samples; false when no time passed.
    static bool LoadBetween(const Times& before, const Times& after, double& percent);
    static std::string ProcessorName();

private:
    Times last_;
    ULONGLONG lastTick_ = 0;
    bool havePercent_ = false;
    double percent_ = 0.0;
    std::string name_;
};
