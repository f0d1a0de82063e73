#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "SensorDeviceSet.h"
#include "WmiNamespace.h"

// ACPI thermal zones (root\WMI MSAcpi_ThermalZoneTemperature: InstanceName,
// CurrentTemperature in tenths of a kelvin): firmware zones, a CPU-area
// temperature on most laptops. The zones appear as "ACPI Thermal Zone"
// readings of their own; one of them stands in as the CPU temperature only
// when no earlier source gave one. Firmware that is not wired to a sensor
// returns a fixed value (301.0 K, 27.85 °C, is common): a zone whose value has
// not changed for kStaticAfterMs, or that sits at that value and never moved,
// is unknown until it changes.
class AcpiZoneSource {
public:
    static constexpr ULONGLONG kStaticAfterMs = 10 * 60 * 1000;
    static constexpr uint32_t kPlaceholderTenthsKelvin = 3010;
    static constexpr ULONGLONG kMinQueryIntervalMs = 1900;

    struct Zone {
        std::string name;  // "ACPI\\ThermalZone\\TZ00_0"
        uint32_t tenthsKelvin = 0;
    };

    explicit AcpiZoneSource(WmiConnector& connector) : namespace_(connector, L"root\\WMI") {}

    // `now` in milliseconds. Sampler thread.
    int Collect(SensorDeviceSet& out, std::string& status, ULONGLONG now);

    // Feeds one reading of the zones into the history; the zones judged live
    // are the ones Collect reports.
    void Observe(const std::vector<Zone>& zones, ULONGLONG now);
    // The zones that count now, and the reason for the ones that do not.
    std::vector<Zone> LiveZones(ULONGLONG now, std::string& unknown) const;
    // "ACPI\\ThermalZone\\TZ00_0" -> "TZ00".
    static std::string ShortName(const std::string& instance);
    static double Celsius(uint32_t tenthsKelvin) { return tenthsKelvin / 10.0 - 273.15; }

private:
    struct Track {
        std::string name;
        uint32_t value = 0;
        ULONGLONG lastChange = 0;
        bool moved = false;
    };
    WmiNamespace namespace_;
    std::vector<Track> tracks_;
    std::vector<Zone> zones_;
    bool answered_ = false;
    ULONGLONG lastQuery_ = 0;
    std::string why_;
};
