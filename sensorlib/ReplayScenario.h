#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "SensorDeviceSet.h"

// A scripted set of devices and readings read from a small text file (format in
// README.md next to this file). Every refresh of the library advances one step;
// a reading with several values cycles through them.
class ReplayScenario {
public:
    struct Step {
        enum State { Value, Absent, Invalid } state = Value;
        double value = 0.0;
    };
    struct Reading {
        int kind = 0;
        int index = 0;
        int hwClass = 0;
        std::string label;
        std::vector<Step> series;
    };
    struct Device {
        std::string name;
        std::vector<Reading> readings;
    };

    // False on the first malformed line, with "line N: reason" in `error`; the
    // scenario is then empty.
    bool Parse(std::string_view text, std::string& error);
    // Reads and parses a file (at most 16 MiB).
    bool Load(const std::wstring& path, std::string& error);

    // The readings of one step.
    void Fill(size_t step, SensorDeviceSet& out) const;
    const std::vector<Device>& Devices() const { return devices_; }

    static constexpr size_t kMaxLabel = 135;  // bytes, so a label always fits the record with its terminator
    static constexpr size_t kMaxName = 255;

private:
    std::vector<Device> devices_;
};
