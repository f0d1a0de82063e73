#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "SensorDeviceSet.h"

// AIDA64's "AIDA64_SensorValues" mapping: while its shared-memory option is on,
// a run of elements such as
//   <temp><id>TCPUPKG</id><label>CPU Package</label><value>61</value></temp>
// (kinds sys, temp, fan, duty, volt, pwr, curr), zero-terminated, no root.
// Taken: the CPU package, the board's CPU diode and the motherboard
// temperatures, per-core temperatures and the CPU utilisation.
class Aida64Source {
public:
    struct Item {
        std::string kind;  // element name: "temp", "sys", ...
        std::string id;
        std::string label;
        std::string value;
    };
    // The elements of the text, in order; malformed pieces are skipped.
    static std::vector<Item> Items(std::string_view text);
    // Maps the items onto readings of the processor and board devices.
    static int Map(const std::vector<Item>& items, const std::string& processorName, SensorDeviceSet& out);
    static bool Collect(const std::string& processorName, SensorDeviceSet& out, std::string& status);
};
