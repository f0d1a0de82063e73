#include "WmiHardwareMonitorSource.h"

namespace {

enum class Part { Cpu, Gpu, Board, Other };

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

// Both programs name hardware identifiers after the kind of chip.
Part PartOf(const std::string& parent)
{
    if (StartsWith(parent, "/intelcpu") || StartsWith(parent, "/amdcpu"))
        return Part::Cpu;
    if (StartsWith(parent, "/gpu-") || StartsWith(parent, "/nvidiagpu") || StartsWith(parent, "/atigpu"))
        return Part::Gpu;
    if (StartsWith(parent, "/lpc") || StartsWith(parent, "/mainboard"))
        return Part::Board;
    return Part::Other;
}

// The CPU sensor names mapped onto the labels the program looks for. Zen's
// "Core (Tctl/Tdie)"; first-generation X parts publish "Core (Tdie)" (the real
// die temperature) beside an offset "Core (Tctl)".
std::string CpuTemperatureLabel(const std::string& name)
{
    if (name == "CPU Package")
        return "CPU Package";
    if (name == "Core (Tctl/Tdie)" || name == "CPU (Tctl/Tdie)" || name == "Core (Tdie)")
        return "CPU (Tctl/Tdie)";
    return name;
}

std::string Text(const WmiRow& row, size_t i)
{
    return i < row.size() && row[i].present && row[i].isText ? row[i].text : std::string();
}

}  // namespace

int WmiHardwareMonitorSource::Map(const std::vector<Sensor>& sensors, const std::vector<Hardware>& hardware,
                                  const std::string& sourceName, SensorDeviceSet& out)
{
    out.BeginSource(sourceName);
    std::vector<std::pair<std::string, int>> devices;  // hardware identifier, device
    auto deviceOf = [&](const std::string& parent) {
        for (const auto& [id, device] : devices) {
            if (id == parent)
                return device;
        }
        std::string name = parent;
        for (const Hardware& h : hardware) {
            if (h.identifier == parent && !h.name.empty())
                name = h.name;
        }
        const int device = out.OpenDevice(name);
        devices.emplace_back(parent, device);
        return device;
    };

    int taken = 0;
    for (const Sensor& s : sensors) {
        // A sensor the program could not read shows 0 (or nothing) rather than going away.
        if (!s.hasValue || s.value != s.value)
            continue;
        const Part part = PartOf(s.parent);
        if (s.type == "Temperature") {
            if (s.value <= 0.0 || s.value >= 150.0)
                continue;
            if (part == Part::Cpu)
                taken += out.Add(deviceOf(s.parent), kKindTemperature, kClassCpu, CpuTemperatureLabel(s.name), s.value);
            else if (part == Part::Gpu)
                taken += out.Add(deviceOf(s.parent), kKindTemperature, kClassGpu, s.name == "GPU Core" ? "GPU Temperature" : s.name, s.value);
            else if (part == Part::Board)
                taken += out.Add(deviceOf(s.parent), kKindTemperature, kClassBoard, s.name, s.value);
        } else if (s.type == "Load" && s.value >= 0.0 && s.value <= 100.0) {
            if (part == Part::Cpu && s.name == "CPU Total")
                taken += out.Add(deviceOf(s.parent), kKindLoad, kClassCpu, "CPU Total", s.value);
            else if (part == Part::Gpu && s.name == "GPU Core")
                taken += out.Add(deviceOf(s.parent), kKindLoad, kClassGpu, "GPU Utilization", s.value);
        }
    }
    return taken;
}

int WmiHardwareMonitorSource::Collect(SensorDeviceSet& out, std::string& status, ULONGLONG now)
{
    if (!answered_ || now - lastQuery_ >= kMinQueryIntervalMs || now < lastQuery_) {
        lastQuery_ = now;
        std::vector<WmiRow> rows;
        answered_ = namespace_.Select(L"SELECT Name, Identifier, SensorType, Value, Parent FROM Sensor",
                                      {L"Name", L"Identifier", L"SensorType", L"Value", L"Parent"}, rows, why_, now);
        sensors_.clear();
        for (const WmiRow& r : rows) {
            Sensor s{Text(r, 0), Text(r, 1), Text(r, 2), Text(r, 4)};
            s.hasValue = r.size() > 3 && r[3].present && !r[3].isText;
            s.value = s.hasValue ? r[3].number : 0.0;
            sensors_.push_back(std::move(s));
        }
        // Hardware names change only with the hardware: asked again only when
        // a sensor belongs to hardware not named yet.
        bool unnamed = false;
        for (const Sensor& s : sensors_) {
            bool named = false;
            for (const Hardware& h : hardware_)
                named = named || h.identifier == s.parent;
            unnamed = unnamed || !named;
        }
        std::string why;
        if (answered_ && unnamed && namespace_.Select(L"SELECT Identifier, Name FROM Hardware", {L"Identifier", L"Name"}, rows, why, now, true)) {
            hardware_.clear();
            for (const WmiRow& r : rows)
                hardware_.push_back({Text(r, 0), Text(r, 1)});
        }
    }
    if (!answered_) {
        status = sourceName_ + ": " + why_;
        return 0;
    }
    if (sensors_.empty()) {
        status = sourceName_ + ": not running, its namespace is empty";
        return 0;
    }
    const int taken = Map(sensors_, hardware_, sourceName_, out);
    status = sourceName_ + ": found, " + std::to_string(taken) + " readings from " + std::to_string(sensors_.size()) + " sensors";
    return taken;
}
