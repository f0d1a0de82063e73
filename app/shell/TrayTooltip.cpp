#include "TrayTooltip.h"

#include <windows.h>

#include <cwchar>

#include "DisplayReport.h"
#include "ProductName.h"
#include "SensorSnapshot.h"

namespace {

std::wstring Wide(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

}  // namespace

std::wstring TrayTooltip::Text(const SensorStatus& status, Choice choice)
{
    std::wstring text = kProductName;
    if (!status.sampled)
        return text;
    const bool gpu = choice.deviceType != 0;
    SensorSnapshot record{};
    record.cpuTemperature = status.cpu;
    record.gpuTemperature = status.gpu;
    record.igpuTemperature = status.igpu;
    // The number the cooler shows: the same truncation, unit and clamp.
    const int shown = DisplayValue(&record, choice.deviceType, choice.tempeType);
    const float raw = gpu ? (status.gpu != 0.0f ? status.gpu : status.igpu) : status.cpu;
    if (raw == 0.0f) {
        text += L"\n";
        text += gpu ? kNoGpu : kNoCpu;
    } else {
        wchar_t line[64];
        std::swprintf(line, 64, L"\n%ls %d \u00B0%lc", gpu ? L"GPU" : L"CPU", shown, IsFahrenheit(choice.tempeType) ? L'F' : L'C');
        text += line;
        const SensorOrigin& origin = gpu ? status.gpuOrigin : status.cpuOrigin;
        if (!origin.source.empty())
            text += L" \u00B7 " + Wide(origin.source);
    }
    if (text.size() > 127)
        text.resize(127);
    return text;
}
