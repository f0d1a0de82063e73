#include "CoreTempSource.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "UniqueResource.h"

namespace {

std::string Trimmed(const char* text, size_t size)
{
    std::string s(text, strnlen(text, size));
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Plausible die temperatures only: Core Temp writes 0 for a core it cannot read.
bool Plausible(double c)
{
    return c > 0.0 && c < 150.0;
}

}  // namespace

bool CoreTempSource::Parse(const uint8_t* data, size_t size, SensorDeviceSet& out, std::string& status)
{
    if (data == nullptr || size < kCoreTempShortSize) {
        status = "Core Temp: refused, block too small";
        return false;
    }
    CoreTempSharedData d{};
    std::memcpy(&d, data, kCoreTempShortSize);
    if (d.uiCPUCnt == 0 || d.uiCoreCnt == 0 || d.uiCPUCnt > 128 || d.uiCoreCnt > 256 ||
        static_cast<uint64_t>(d.uiCPUCnt) * d.uiCoreCnt > 256) {
        status = "Core Temp: refused, " + std::to_string(d.uiCPUCnt) + " processors x " + std::to_string(d.uiCoreCnt) + " cores";
        return false;
    }
    std::string name = Trimmed(d.sCPUName, sizeof d.sCPUName);
    if (name.empty())
        name = "CPU";

    out.BeginSource("Core Temp");
    int taken = 0;
    for (uint32_t cpu = 0; cpu < d.uiCPUCnt; ++cpu) {
        const int device = out.OpenDevice(name);
        double hottest = 0.0;
        for (uint32_t core = 0; core < d.uiCoreCnt; ++core) {
            const uint32_t i = cpu * d.uiCoreCnt + core;
            double t = d.fTemp[i];
            if (d.ucDeltaToTjMax)
                t = static_cast<double>(d.uiTjMax[cpu]) - t;
            if (d.ucFahrenheit)
                t = (t - 32.0) * 5.0 / 9.0;
            if (!Plausible(t))
                continue;
            if (t > hottest)
                hottest = t;
            taken += out.Add(device, kKindTemperature, kClassCpu, "Core #" + std::to_string(core), t);
            if (d.uiLoad[i] <= 100)
                out.Add(device, kKindLoad, kClassCpu, "Core #" + std::to_string(core) + " Load", d.uiLoad[i]);
        }
        if (cpu == 0 && hottest > 0.0)
            taken += out.Add(device, kKindTemperature, kClassCpu, "CPU Package", hottest);
    }
    status = "Core Temp: found, " + std::to_string(taken) + " readings from " + std::to_string(d.uiCPUCnt * d.uiCoreCnt) + " cores";
    return taken > 0;
}

bool CoreTempSource::Collect(SensorDeviceSet& out, std::string& status)
{
    UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, L"CoreTempMappingObjectEx"));
    if (!mapping)
        mapping.reset(OpenFileMappingW(FILE_MAP_READ, FALSE, L"CoreTempMappingObject"));
    if (!mapping) {
        status = GetLastError() == ERROR_ACCESS_DENIED ? "Core Temp: refused, access denied" : "Core Temp: not running";
        return false;
    }
    UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    MEMORY_BASIC_INFORMATION info{};
    if (!view || VirtualQuery(view.get(), &info, sizeof info) == 0) {
        status = "Core Temp: refused, cannot map the block";
        return false;
    }
    // Core Temp rewrites the block while we read; work on a copy.
    std::vector<uint8_t> copy(info.RegionSize < kCoreTempShortSize ? info.RegionSize : kCoreTempShortSize);
    std::memcpy(copy.data(), view.get(), copy.size());
    return Parse(copy.data(), copy.size(), out, status);
}
