#include "DisplayReport.h"

#include <algorithm>
#include <cmath>

#include "CoolerDescription.h"
#include "SensorSnapshot.h"

namespace {

constexpr int kMinDisplayValue = 0;
constexpr int kMaxDisplayValue = 199;

// Truncates toward zero. Values far outside any temperature (and NaN) would be
// undefined to convert, so they are bounded first; the clamp to 199 follows.
int Truncate(float celsius)
{
    if (std::isnan(celsius))
        return 0;
    return static_cast<int>(std::clamp(celsius, -1000.0f, 1000.0f));
}

int ToFahrenheit(int celsius)
{
    if (celsius == 0)
        return 0;
    return static_cast<int>(celsius * 1.8 + 32.0);
}

}  // namespace

int DisplayValue(const SensorSnapshot* snapshot, int deviceType, int tempeType)
{
    int cpu = 0;
    int gpu = 0;
    if (snapshot != nullptr) {
        cpu = Truncate(snapshot->cpuTemperature);
        const int dedicated = Truncate(snapshot->gpuTemperature);
        const int integrated = Truncate(snapshot->igpuTemperature);
        gpu = dedicated > 0 ? dedicated : (integrated > 0 ? integrated : 0);
    }
    if (IsFahrenheit(tempeType)) {
        cpu = ToFahrenheit(cpu);
        gpu = ToFahrenheit(gpu);
    }
    // The cooler takes digits 0 to 9 only: below freezing shows 0.
    cpu = std::clamp(cpu, kMinDisplayValue, kMaxDisplayValue);
    gpu = std::clamp(gpu, kMinDisplayValue, kMaxDisplayValue);
    return deviceType == 0 ? cpu : gpu;
}

DisplayReportBytes BuildDisplayReport(const SensorSnapshot* snapshot, int ledSwitch, int deviceType, int tempeType)
{
    const int value = DisplayValue(snapshot, deviceType, tempeType);
    DisplayReportBytes report{};
    const auto& header = DefaultCooler().displayHeader;
    std::copy(header.begin(), header.end(), report.begin());
    report[3] = static_cast<uint8_t>((value / 100) % 10);
    report[4] = static_cast<uint8_t>((value / 10) % 10);
    report[5] = static_cast<uint8_t>(value % 10);
    if (snapshot != nullptr && ledSwitch != 1) {
        report[3] = 0;
        report[4] = 0;
        report[5] = 0;
    }
    return report;
}

DisplayReportBytes LightOffReport()
{
    DisplayReportBytes report{};
    const auto& header = DefaultCooler().displayHeader;
    std::copy(header.begin(), header.end(), report.begin());
    return report;
}
