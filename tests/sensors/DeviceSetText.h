#pragma once
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "SensorDeviceSet.h"

// A device set as text, for comparing whole sets: a line per device (its name)
// and per reading ("  temp 0: 11 CPU Package 52", "(invalid)" appended when the
// reading is reported invalid).
inline std::vector<std::string> DeviceSetLines(const SensorDeviceSet& set)
{
    std::vector<std::string> lines;
    for (const SensorDevice& d : set.Devices()) {
        lines.push_back(d.name);
        for (const auto& [kind, values] : {std::pair{"temp", &d.temps}, std::pair{"load", &d.loads}}) {
            for (size_t i = 0; i < values->size(); ++i) {
                const SensorValue& v = (*values)[i];
                if (!v.present)
                    continue;
                char value[32];
                std::snprintf(value, sizeof value, "%.15g", v.value);
                lines.push_back("  " + std::string(kind) + " " + std::to_string(i) + ": " + std::to_string(v.hwClass) +
                                " " + v.label + " " + value + (v.valid ? "" : " (invalid)"));
            }
        }
    }
    return lines;
}
