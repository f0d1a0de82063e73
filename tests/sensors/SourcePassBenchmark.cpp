// Figures, not a test: the sampling pass with the machine's sources, (1)
// through the library as the program binds it, with every monitoring program
// absent (Wine's own WMI has none of their classes), and (2) in the library's
// hub with stand-in WMI namespaces of LibreHardwareMonitor (120 sensors, a
// size such a machine publishes) and an ACPI zone. Passes 2 s apart, as the
// sampler runs them, so that each pass queries WMI as the program's would.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "SensorBinding.h"
#include "SensorHub.h"
#include "SensorSampler.h"
#include "SensorSnapshot.h"
#include "SensorTrace.h"
#include "fakes/FakeWbem.h"

namespace {

class QuietTrace : public SensorTrace {
public:
    void Line(const std::string&) override {}
};

void Report(const char* what, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    std::printf("%s: median %.3f ms, min %.3f ms, max %.3f ms over %zu passes\n", what, v[v.size() / 2] * 1e3,
                v.front() * 1e3, v.back() * 1e3, v.size());
}

std::vector<FakeObject> ManySensors()
{
    const wchar_t* types[] = {L"Clock", L"Load", L"Voltage", L"Power", L"Temperature", L"Fan"};
    std::vector<FakeObject> rows;
    for (int i = 0; i < 120; ++i) {
        const std::wstring parent = i < 60 ? L"/amdcpu/0" : i < 90 ? L"/gpu-nvidia/0" : L"/lpc/nct6798d/0";
        const std::wstring type = types[i % 6];
        std::wstring name = i == 4 ? L"Core (Tctl/Tdie)" : i == 1 ? L"CPU Total" : i == 64 ? L"GPU Core" : L"Sensor #" + std::to_wstring(i);
        const std::wstring id = parent + L"/" + type + L"/" + std::to_wstring(i);
        rows.push_back({Text(L"Name", name.c_str()), Text(L"Identifier", id.c_str()), Text(L"SensorType", type.c_str()),
                        Real32(L"Value", 30.0f + static_cast<float>(i % 40)), Text(L"Parent", parent.c_str())});
    }
    return rows;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int passes = argc > 1 ? _wtoi(argv[1]) : 31;
    SetEnvironmentVariableW(kReplayVariable, nullptr);

    // (1) The library beside the program, every source absent.
    SensorLibraryBinding b;
    QuietTrace trace;
    SensorSnapshot snapshot{};
    SampleSensors(b, &snapshot, trace);  // binds
    std::vector<double> absent;
    for (int i = 0; i < passes; ++i) {
        Sleep(2000);
        const double t0 = SecondsNow();
        SampleSensors(b, &snapshot, trace);
        absent.push_back(SecondsNow() - t0);
    }
    std::vector<char> sources(8192, '\0');
    if (b.spare613)
        b.spare613(sources.data(), static_cast<int>(sources.size()));
    std::printf("library sources on this machine:\n%s", sources.data());
    Report("sampling pass, all monitoring programs absent (library, Wine's WMI)", absent);

    // (2) LibreHardwareMonitor and OpenHardwareMonitor both running; (3) a
    // laptop with only its ACPI zone.
    auto lhm = std::make_shared<FakeNamespace>();
    lhm->classes[L"Sensor"] = ManySensors();
    lhm->classes[L"Hardware"] = {{Text(L"Identifier", L"/amdcpu/0"), Text(L"Name", L"AMD Ryzen 7 5800X")},
                                 {Text(L"Identifier", L"/gpu-nvidia/0"), Text(L"Name", L"NVIDIA GeForce RTX 3080")},
                                 {Text(L"Identifier", L"/lpc/nct6798d/0"), Text(L"Name", L"Nuvoton NCT6798D")}};
    auto acpi = std::make_shared<FakeNamespace>();
    acpi->classes[L"MSAcpi_ThermalZoneTemperature"] = {
        {Text(L"InstanceName", L"ACPI\\ThermalZone\\TZ01_0"), Uint32(L"CurrentTemperature", 3222)}};
    using Spaces = std::map<std::wstring, std::shared_ptr<FakeNamespace>>;
    const struct {
        const char* what;
        Spaces spaces;
    } machines[] = {
        {"sampling pass, LibreHardwareMonitor and OpenHardwareMonitor present (stand-in WMI, 120 sensors each, in-process hub)",
         {{L"root\\LibreHardwareMonitor", lhm}, {L"root\\OpenHardwareMonitor", lhm}, {L"root\\WMI", acpi}}},
        {"sampling pass, only an ACPI zone present (stand-in WMI, in-process hub)", {{L"root\\WMI", acpi}}},
    };
    for (const auto& m : machines) {
        const int before = lhm->queries + acpi->queries;
        SensorHub hub(false, std::make_unique<FakeWmiConnector>(m.spaces));
        std::vector<double> present;
        SensorRecord record{};
        for (int i = 0; i <= passes; ++i) {
            if (i > 0)
                Sleep(2000);
            const double t0 = SecondsNow();
            const int devices = hub.DeviceCount();
            hub.Refresh();
            for (int d = 0; d < devices; ++d)
                for (int index = 0; index < 512; ++index) {
                    hub.Read(1, d, index, &record);
                    hub.Read(7, d, index, &record);
                }
            if (i > 0)
                present.push_back(SecondsNow() - t0);
        }
        char text[4096];
        hub.Describe(text, sizeof text);
        std::printf("hub sources:\n%sWMI queries made: %d\n", text, lhm->queries + acpi->queries - before);
        Report(m.what, present);
    }
    return 0;
}
