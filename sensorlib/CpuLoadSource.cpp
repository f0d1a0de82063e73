#include "CpuLoadSource.h"

#include <windows.h>

#include "UniqueResource.h"

namespace {
uint64_t Ticks(const FILETIME& t)
{
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
}

bool CpuLoadSource::LoadBetween(const Times& before, const Times& after, double& percent)
{
    if (after.kernel < before.kernel || after.user < before.user || after.idle < before.idle)
        return false;
    const uint64_t total = (after.kernel - before.kernel) + (after.user - before.user);
    const uint64_t idle = after.idle - before.idle;
    if (total == 0 || idle > total)
        return false;
    percent = 100.0 * static_cast<double>(total - idle) / static_cast<double>(total);
    return true;
}

std::string CpuLoadSource::ProcessorName()
{
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return "CPU";
    UniqueRegKey key(raw);
    char buf[256] = {};
    DWORD size = sizeof buf - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), "ProcessorNameString", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS || type != REG_SZ)
        return "CPU";
    std::string name(buf, strnlen(buf, sizeof buf));
    const size_t first = name.find_first_not_of(' ');
    if (first == std::string::npos)
        return "CPU";
    name = name.substr(first, name.find_last_not_of(' ') - first + 1);
    return name;
}

int CpuLoadSource::Collect(SensorDeviceSet& out, std::string& status)
{
    if (name_.empty())
        name_ = ProcessorName();
    // Two refreshes close together (the first pass asks twice) would measure
    // noise: within a quarter second the last figure stands.
    const ULONGLONG tick = GetTickCount64();
    if (!havePercent_ || tick - lastTick_ >= 250) {
        FILETIME idle{}, kernel{}, user{};
        if (!GetSystemTimes(&idle, &kernel, &user)) {
            status = "CPU load: unavailable";
            return 0;
        }
        const Times now{Ticks(idle), Ticks(kernel), Ticks(user)};
        double percent = 0.0;
        if (LoadBetween(last_, now, percent)) {
            percent_ = percent;
            havePercent_ = true;
        }
        last_ = now;
        lastTick_ = tick;
    }
    if (!havePercent_) {
        status = "CPU load: waiting for a second sample";
        return 0;
    }
    out.BeginSource("Windows");
    status = "CPU load: from system times";
    return out.Add(out.OpenDevice(name_), kKindLoad, kClassCpu, "CPU Total", percent_);
}
