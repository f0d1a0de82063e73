#include "HwinfoSource.h"

#include <windows.h>

#include <cstring>
#include <ctime>
#include <vector>

#include "UniqueResource.h"

namespace {

std::string Bounded(const char* text, size_t size)
{
    return std::string(text, strnlen(text, size));
}

std::string Trim(std::string s)
{
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

int ClassOf(const std::string& sensorName)
{
    if (StartsWith(sensorName, "CPU ["))
        return kClassCpu;
    if (StartsWith(sensorName, "GPU ["))
        return kClassGpu;
    for (const char* other : {"S.M.A.R.T.", "Drive", "Network", "Windows Hardware Errors", "DIMM", "Battery", "Memory Timings"}) {
        if (StartsWith(sensorName, other))
            return kClassOther;
    }
    return kClassBoard;
}

// Units are the user's choice in HWiNFO; the library reports Celsius.
bool IsFahrenheit(const std::string& unit)
{
    return unit == "\xB0""F" || unit == "\xC2\xB0""F" || unit == "F";
}

}  // namespace

std::string HwinfoSource::HardwareName(const std::string& sensorName)
{
    const size_t tag = sensorName.find(" [#");
    const size_t colon = sensorName.find("]: ");
    if (tag == std::string::npos || colon == std::string::npos || colon < tag)
        return Trim(sensorName);
    std::string rest = sensorName.substr(colon + 3);
    const size_t more = rest.find(": ");
    if (more != std::string::npos)
        rest.resize(more);
    return Trim(rest);
}

bool HwinfoSource::Parse(const uint8_t* data, size_t size, int64_t nowUnix, SensorDeviceSet& out, std::string& status)
{
    HwinfoHeader h{};
    if (data == nullptr || size < offsetof(HwinfoHeader, pollingPeriodMs)) {
        status = "HWiNFO: refused, block too small";
        return false;
    }
    std::memcpy(&h, data, size < sizeof h ? offsetof(HwinfoHeader, pollingPeriodMs) : sizeof h);
    if (h.signature == kHwinfoDead) {
        status = "HWiNFO: not running, sharing stopped (DEAD)";
        return false;
    }
    if (h.signature != kHwinfoActive) {
        status = "HWiNFO: refused, unknown signature";
        return false;
    }
    const int64_t period = (h.version >= 2 && h.pollingPeriodMs > 0 && h.pollingPeriodMs < 600000) ? h.pollingPeriodMs / 1000 + 1 : 2;
    if (nowUnix - h.pollTime > 10 + 5 * period) {
        status = "HWiNFO: not running, block is stale";
        return false;
    }
    if (h.sensorSize < sizeof(HwinfoSensor) || h.readingSize < sizeof(HwinfoReading)) {
        status = "HWiNFO: refused, element sizes too small";
        return false;
    }
    auto fits = [size](uint64_t offset, uint64_t elemSize, uint64_t count) {
        return offset <= size && elemSize * count <= size - offset;
    };
    if (!fits(h.sensorOffset, h.sensorSize, h.sensorCount) || !fits(h.readingOffset, h.readingSize, h.readingCount)) {
        status = "HWiNFO: refused, sections run past the block";
        return false;
    }

    out.BeginSource("HWiNFO");
    const bool utf8Sensors = h.sensorSize >= sizeof(HwinfoSensorUtf8);
    std::vector<int> deviceOf(h.sensorCount, -1);
    std::vector<int> classOf(h.sensorCount, kClassOther);
    // Several HWiNFO sensors describe one piece of hardware ("CPU [#0]: ...: DTS"
    // and "...: Enhanced"); they share a device keyed by the tag and name.
    std::vector<std::pair<std::string, int>> byKey;
    for (uint32_t i = 0; i < h.sensorCount; ++i) {
        HwinfoSensorUtf8 s{};
        std::memcpy(&s, data + h.sensorOffset + static_cast<size_t>(i) * h.sensorSize, utf8Sensors ? sizeof(HwinfoSensorUtf8) : sizeof(HwinfoSensor));
        const std::string orig = Bounded(s.nameOrig, sizeof s.nameOrig);
        std::string name = HardwareName(orig);
        if (name.empty())
            continue;
        const size_t tagEnd = orig.find("]: ");
        const std::string key = (tagEnd == std::string::npos ? std::string() : orig.substr(0, tagEnd + 1)) + "|" + name;
        int device = -1;
        for (const auto& [k, d] : byKey) {
            if (k == key)
                device = d;
        }
        if (device < 0) {
            device = out.OpenDevice(name);
            byKey.emplace_back(key, device);
        }
        deviceOf[i] = device;
        classOf[i] = ClassOf(orig);
    }

    const bool utf8Readings = h.readingSize >= sizeof(HwinfoReadingUtf8);
    int taken = 0;
    for (uint32_t i = 0; i < h.readingCount; ++i) {
        HwinfoReadingUtf8 r{};
        std::memcpy(&r, data + h.readingOffset + static_cast<size_t>(i) * h.readingSize, utf8Readings ? sizeof(HwinfoReadingUtf8) : sizeof(HwinfoReading));
        if (r.type != kKindTemperature && r.type != kKindLoad)
            continue;
        if (r.sensorIndex >= h.sensorCount || deviceOf[r.sensorIndex] < 0)
            continue;
        const std::string label = Bounded(r.labelOrig, sizeof r.labelOrig);
        const std::string unit = utf8Readings ? Bounded(r.unitUtf8, sizeof r.unitUtf8) : Bounded(r.unit, sizeof r.unit);
        double value = r.value;
        if (r.type == kKindTemperature && IsFahrenheit(unit))
            value = (value - 32.0) * 5.0 / 9.0;
        if (label.empty() || value != value)
            continue;
        if (out.Add(deviceOf[r.sensorIndex], static_cast<int>(r.type), classOf[r.sensorIndex], label, value))
            ++taken;
    }
    status = "HWiNFO: found, " + std::to_string(taken) + " readings from " + std::to_string(h.sensorCount) + " sensors";
    return true;
}

bool HwinfoSource::Collect(SensorDeviceSet& out, std::string& status)
{
    UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, L"Global\\HWiNFO_SENS_SM2"));
    if (!mapping) {
        status = "HWiNFO: not running";
        return false;
    }
    UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) {
        status = "HWiNFO: refused, cannot map the block";
        return false;
    }
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(view.get(), &info, sizeof info) == 0) {
        status = "HWiNFO: refused, cannot size the block";
        return false;
    }
    // HWiNFO rewrites the block while we read; work on a private copy.
    std::vector<uint8_t> copy(info.RegionSize);
    std::memcpy(copy.data(), view.get(), copy.size());
    return Parse(copy.data(), copy.size(), static_cast<int64_t>(std::time(nullptr)), out, status);
}
