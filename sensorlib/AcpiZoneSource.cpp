#include "AcpiZoneSource.h"

#include <cstdio>

namespace {

bool ContainsCpu(const std::string& name)
{
    for (size_t i = 0; i + 3 <= name.size(); ++i) {
        if ((name[i] == 'C' || name[i] == 'c') && (name[i + 1] == 'P' || name[i + 1] == 'p') &&
            (name[i + 2] == 'U' || name[i + 2] == 'u'))
            return true;
    }
    return false;
}

std::string Degrees(double c)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f C", c);
    return text;
}

}  // namespace

std::string AcpiZoneSource::ShortName(const std::string& instance)
{
    std::string name = instance;
    const size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    const size_t suffix = name.rfind('_');
    if (suffix != std::string::npos && suffix > 0)
        name.resize(suffix);
    return name.empty() ? instance : name;
}

void AcpiZoneSource::Observe(const std::vector<Zone>& zones, ULONGLONG now)
{
    for (const Zone& z : zones) {
        Track* track = nullptr;
        for (Track& t : tracks_) {
            if (t.name == z.name)
                track = &t;
        }
        if (track == nullptr) {
            tracks_.push_back({z.name, z.tenthsKelvin, now, false});
            continue;
        }
        if (track->value != z.tenthsKelvin) {
            track->value = z.tenthsKelvin;
            track->lastChange = now;
            track->moved = true;
        }
    }
}

std::vector<AcpiZoneSource::Zone> AcpiZoneSource::LiveZones(ULONGLONG now, std::string& unknown) const
{
    std::vector<Zone> live;
    unknown.clear();
    for (const Track& t : tracks_) {
        const double c = Celsius(t.value);
        const char* why = nullptr;
        if (c <= 0.0 || c >= 125.0)
            why = "out of range";
        else if (!t.moved && t.value == kPlaceholderTenthsKelvin)
            why = "firmware placeholder";
        else if (now - t.lastChange >= kStaticAfterMs)
            why = "has not changed for 10 minutes";
        if (why == nullptr) {
            live.push_back({t.name, t.value});
        } else {
            unknown += (unknown.empty() ? "" : "; ") + ShortName(t.name) + " at " + Degrees(c) + " " + why;
        }
    }
    return live;
}

int AcpiZoneSource::Collect(SensorDeviceSet& out, std::string& status, ULONGLONG now)
{
    // The zones matter only when nothing better gave a CPU temperature; WMI
    // is not asked on the other machines.
    if (out.HasCpuTemperature()) {
        status = "ACPI thermal zones: not asked, a better CPU source is found";
        return 0;
    }
    if (!answered_ || now - lastQuery_ >= kMinQueryIntervalMs || now < lastQuery_) {
        lastQuery_ = now;
        std::vector<WmiRow> rows;
        answered_ = namespace_.Select(L"SELECT InstanceName, CurrentTemperature FROM MSAcpi_ThermalZoneTemperature",
                                      {L"InstanceName", L"CurrentTemperature"}, rows, why_, now);
        zones_.clear();
        for (const WmiRow& r : rows) {
            if (r.size() < 2 || !r[0].present || !r[0].isText || !r[1].present || r[1].isText || r[1].number < 0 ||
                r[1].number > 10000)
                continue;
            zones_.push_back({r[0].text, static_cast<uint32_t>(r[1].number)});
        }
        if (answered_)
            Observe(zones_, now);
    }
    if (!answered_) {
        status = "ACPI thermal zones: " + (why_ == "not running" ? std::string("absent") : why_);
        return 0;
    }
    if (zones_.empty()) {
        status = "ACPI thermal zones: absent, no zones";
        return 0;
    }
    std::string unknown;
    const std::vector<Zone> live = LiveZones(now, unknown);
    out.BeginSource("ACPI thermal zone");
    int taken = 0;
    const Zone* cpu = nullptr;
    if (!live.empty()) {
        const int device = out.OpenDevice("ACPI Thermal Zone");
        for (const Zone& z : live) {
            taken += out.Add(device, kKindTemperature, kClassOther, ShortName(z.name), Celsius(z.tenthsKelvin));
            // A zone named after the CPU first, else the warmest one.
            if (cpu == nullptr || (ContainsCpu(z.name) && !ContainsCpu(cpu->name)) ||
                (ContainsCpu(z.name) == ContainsCpu(cpu->name) && z.tenthsKelvin > cpu->tenthsKelvin))
                cpu = &z;
        }
        if (cpu != nullptr)
            taken += out.Add(device, kKindTemperature, kClassBoard, "CPU", Celsius(cpu->tenthsKelvin));
    }
    status = "ACPI thermal zones: found, " + std::to_string(zones_.size()) + " zones, " + std::to_string(live.size()) + " live";
    if (cpu != nullptr)
        status += ", CPU from " + ShortName(cpu->name);
    if (!unknown.empty())
        status += "; unknown: " + unknown;
    return taken;
}
