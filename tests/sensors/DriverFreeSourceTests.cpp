// The driver-free CPU sources against stand-ins at their system boundary: the
// named mappings Core Temp and AIDA64 share, created here as those programs
// document them, and WMI answering the real class and property names with
// values recorded on real machines (sources beside each case).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AcpiZoneSource.h"
#include "Aida64Source.h"
#include "CoreTempSource.h"
#include "SensorClassifier.h"
#include "DeviceSetText.h"
#include "SensorHub.h"
#include "UniqueResource.h"
#include "WmiHardwareMonitorSource.h"
#include "../shell/TestLock.h"
#include "fakes/FakeWbem.h"

namespace {

using Lines = std::vector<std::string>;

// The monitoring programs' mapping names are fixed and the test processes run
// side by side in one Wine session: the tests that share those names, or look
// at the whole machine, take turns.
constexpr wchar_t kMonitoringProgramsLock[] = L"glimra-test-monitoring-programs";

// A named mapping holding `size` bytes of `data`, as the monitoring program would share it.
class SharedBlock {
public:
    SharedBlock(const wchar_t* name, const void* data, size_t size)
        : mapping_(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), name))
    {
        view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, size));
        if (view_)
            std::memcpy(const_cast<void*>(view_.get()), data, size);
    }
    explicit operator bool() const { return static_cast<bool>(view_); }

private:
    UniqueHandle mapping_;
    UniqueView view_;
};

std::string SourceOf(const SensorDeviceSet& set, const char* label)
{
    for (const SensorDevice& d : set.Devices())
        for (const SensorValue& v : d.temps)
            if (v.present && v.label == label)
                return v.source;
    return "(none)";
}

// The layout from Core Temp's developer page (coretemp.org/developers): four
// cores of one processor.
CoreTempSharedData CoreTempBlock()
{
    CoreTempSharedData d{};
    d.uiCPUCnt = 1;
    d.uiCoreCnt = 4;
    d.uiTjMax[0] = 100;
    const float temps[] = {45, 47, 44, 46};
    const unsigned loads[] = {12, 30, 5, 8};
    for (int i = 0; i < 4; ++i) {
        d.fTemp[i] = temps[i];
        d.uiLoad[i] = loads[i];
    }
    std::strcpy(d.sCPUName, "Intel Core i7-4770K ");
    d.uiStructVersion = 2;
    return d;
}

TEST(CoreTempSource, ReadsTheDocumentedBlockUnderEitherName)
{
    const CrossProcessLock turn(kMonitoringProgramsLock);
    SensorDeviceSet set;
    std::string status;
    EXPECT_FALSE(CoreTempSource::Collect(set, status));
    EXPECT_EQ(status, "Core Temp: not running");
    {
        const CoreTempSharedData d = CoreTempBlock();
        SharedBlock block(L"CoreTempMappingObjectEx", &d, sizeof d);
        ASSERT_TRUE(block);
        ASSERT_TRUE(CoreTempSource::Collect(set, status)) << status;
        EXPECT_EQ(DeviceSetLines(set), (Lines{"Intel Core i7-4770K", "  temp 0: 11 Core #0 45", "  temp 1: 11 Core #1 47",
                                             "  temp 2: 11 Core #2 44", "  temp 3: 11 Core #3 46", "  temp 4: 11 CPU Package 47",
                                             "  load 0: 11 Core #0 Load 12", "  load 1: 11 Core #1 Load 30",
                                             "  load 2: 11 Core #2 Load 5", "  load 3: 11 Core #3 Load 8"}));
        EXPECT_EQ(SourceOf(set, "CPU Package"), "Core Temp");
    }
    // Older versions share only the first part, under the first name; this one
    // shows distances to TjMax, in Fahrenheit degrees.
    CoreTempSharedData old = CoreTempBlock();  // shared up to ucDeltaToTjMax only
    old.ucDeltaToTjMax = 1;
    old.ucFahrenheit = 1;
    old.fTemp[0] = 100.0f - 113.0f;  // 113 F = 45 C
    old.fTemp[1] = 100.0f - 122.0f;  // 122 F = 50 C
    old.uiCoreCnt = 2;
    SharedBlock block(L"CoreTempMappingObject", &old, kCoreTempShortSize);
    set.Clear();
    ASSERT_TRUE(CoreTempSource::Collect(set, status)) << status;
    EXPECT_EQ(DeviceSetLines(set), (Lines{"Intel Core i7-4770K", "  temp 0: 11 Core #0 45", "  temp 1: 11 Core #1 50",
                                         "  temp 2: 11 CPU Package 50", "  load 0: 11 Core #0 Load 12",
                                         "  load 1: 11 Core #1 Load 30"}));

    // Counts that do not fit the block are refused, not read past its end.
    old.uiCPUCnt = 2;
    old.uiCoreCnt = 200;
    set.Clear();
    EXPECT_FALSE(CoreTempSource::Parse(reinterpret_cast<const uint8_t*>(&old), kCoreTempShortSize, set, status));
    EXPECT_EQ(status, "Core Temp: refused, 2 processors x 200 cores");
    EXPECT_TRUE(set.Devices().empty());
}

// Values from an AIDA64 sensor dump published with strix-monitor
// (github.com/mashirozx/strix-monitor, aida64.d.ts): Z790 board, 24-core Intel.
constexpr char kAidaText[] =
    "<sys><id>SCPUCLK</id><label>CPU Clock</label><value>5500</value></sys>"
    "<sys><id>SCPUUTI</id><label>CPU Utilization</label><value>1</value></sys>"
    "<sys><id>SMOBONAME</id><label>Motherboard Name</label><value>Asus ROG Strix Z790-A Gaming WiFi</value></sys>"
    "<temp><id>TMOBO</id><label>Motherboard</label><value>31</value></temp>"
    "<temp><id>TCPU</id><label>CPU</label><value>50</value></temp>"
    "<temp><id>TCPUPKG</id><label>CPU Package</label><value>61</value></temp>"
    "<temp><id>TCC-1-1</id><label>CPU Core #1</label><value>50</value></temp>"
    "<temp><id>TCC-1-2</id><label>CPU Core #2</label><value>46</value></temp>"
    "<temp><id>TGPU1</id><label>GPU</label><value>47</value></temp>"
    "<fan><id>FCPU</id><label>CPU</label><value>1355</value></fan>"
    "<volt><id>VCPU</id><label>CPU Core</label><value>1.465</value></volt>";

TEST(Aida64Source, ReadsTheSensorValuesText)
{
    const CrossProcessLock turn(kMonitoringProgramsLock);
    SensorDeviceSet set;
    std::string status;
    EXPECT_FALSE(Aida64Source::Collect("Intel Core i9-13900K", set, status));
    EXPECT_EQ(status, "AIDA64: not running");

    SharedBlock block(L"AIDA64_SensorValues", kAidaText, sizeof kAidaText);
    ASSERT_TRUE(block);
    ASSERT_TRUE(Aida64Source::Collect("Intel Core i9-13900K", set, status)) << status;
    EXPECT_EQ(status, "AIDA64: found, 6 readings from 11 values");
    EXPECT_EQ(DeviceSetLines(set), (Lines{"Intel Core i9-13900K", "  temp 0: 11 CPU Package 61", "  temp 1: 11 CPU Core #1 50",
                                         "  temp 2: 11 CPU Core #2 46", "  load 0: 11 CPU Total 1", "Board",
                                         "  temp 0: 12 Motherboard 31", "  temp 1: 12 CPU 50"}));
    EXPECT_EQ(SourceOf(set, "CPU Package"), "AIDA64");

    // A torn or truncated text yields what is whole, nothing invented.
    const auto items = Aida64Source::Items("<temp><id>TCPUPKG</id><value>6</value></temp><temp><id>TCPU</id><va");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].id, "TCPUPKG");
    EXPECT_EQ(items[0].value, "6");
}

// LibreHardwareMonitor's names and identifiers: Zen's "Core (Tctl/Tdie)" is the
// third temperature sensor its Amd17Cpu creates (/amdcpu/0/temperature/2). The
// value 0 is what LHM published on a Ryzen 7 8700F in LibreHardwareMonitor
// issue #2348; 54 is what HWiNFO read on that machine (same thread).
std::vector<FakeObject> RyzenSensors(float tctl)
{
    return {{Text(L"Name", L"Core (Tctl/Tdie)"), Text(L"Identifier", L"/amdcpu/0/temperature/2"),
             Text(L"SensorType", L"Temperature"), Real32(L"Value", tctl), Text(L"Parent", L"/amdcpu/0")},
            {Text(L"Name", L"CPU Total"), Text(L"Identifier", L"/amdcpu/0/load/0"), Text(L"SensorType", L"Load"),
             Real32(L"Value", 48.07f), Text(L"Parent", L"/amdcpu/0")},
            {Text(L"Name", L"Package"), Text(L"Identifier", L"/amdcpu/0/power/0"), Text(L"SensorType", L"Power"),
             Real32(L"Value", 21.5f), Text(L"Parent", L"/amdcpu/0")}};
}

// OpenHardwareMonitor on an Intel machine, from openhardwaremonitor issue
// #1167 (WMI dump: "CPU Core #4", /intelcpu/0/temperature/3, Value 47.0 as
// real32 1111228416); its package sensor follows the cores (index 4), with a
// value picked for the test. The GPU sensor name is the programs' "GPU Core".
std::vector<FakeObject> IntelSensors()
{
    return {{Text(L"Name", L"CPU Core #4"), Text(L"Identifier", L"/intelcpu/0/temperature/3"),
             Text(L"SensorType", L"Temperature"), Real32(L"Value", 47.0f), Text(L"Parent", L"/intelcpu/0")},
            {Text(L"Name", L"CPU Package"), Text(L"Identifier", L"/intelcpu/0/temperature/4"),
             Text(L"SensorType", L"Temperature"), Real32(L"Value", 49.0f), Text(L"Parent", L"/intelcpu/0")},
            {Text(L"Name", L"GPU Core"), Text(L"Identifier", L"/nvidiagpu/0/temperature/0"),
             Text(L"SensorType", L"Temperature"), Real32(L"Value", 41.0f), Text(L"Parent", L"/nvidiagpu/0")}};
}

// ACPI zones. Laptop: a Redmi Book Pro 15 2022 (Ryzen 5 6600H) reported
// ACPI\ThermalZone\TZ01_0 = 49.1 C (XiControl pull request #47). Desktop: a
// Z790 board's only zone, ACPI\ThermalZone\TZ00_0, constant at 3010 (27.85 C)
// under any load (PlummersSoftwareLLC/tmog-feedback issue #642).
FakeObject Zone(const wchar_t* name, unsigned tenthsKelvin)
{
    return {Text(L"InstanceName", name), Uint32(L"CurrentTemperature", tenthsKelvin), Text(L"Active", L"True")};
}

struct Machine {
    std::shared_ptr<FakeNamespace> lhm = std::make_shared<FakeNamespace>();
    std::shared_ptr<FakeNamespace> ohm = std::make_shared<FakeNamespace>();
    std::shared_ptr<FakeNamespace> acpi = std::make_shared<FakeNamespace>();
    std::unique_ptr<FakeWmiConnector> Connector(bool lhmRuns, bool ohmRuns) const
    {
        std::map<std::wstring, std::shared_ptr<FakeNamespace>> spaces{{L"root\\WMI", acpi}};
        if (lhmRuns)
            spaces[L"root\\LibreHardwareMonitor"] = lhm;
        if (ohmRuns)
            spaces[L"root\\OpenHardwareMonitor"] = ohm;
        return std::make_unique<FakeWmiConnector>(spaces);
    }
};

Lines DescribeLines(const SensorHub& hub, const char* prefix)
{
    char text[4096];
    hub.Describe(text, sizeof text);
    Lines out;
    std::string all = text;
    for (size_t from = 0; from < all.size();) {
        const size_t end = all.find('\n', from);
        const std::string line = all.substr(from, end - from);
        if (line.rfind(prefix, 0) == 0)
            out.push_back(line);
        if (end == std::string::npos)
            break;
        from = end + 1;
    }
    return out;
}

TEST(WmiSources, HardwareMonitorsAndZonesThroughTheHub)
{
    const CrossProcessLock turn(kMonitoringProgramsLock);
    Machine m;
    m.lhm->classes[L"Sensor"] = RyzenSensors(0.0f);
    m.lhm->classes[L"Hardware"] = {{Text(L"Identifier", L"/amdcpu/0"), Text(L"Name", L"AMD Ryzen 7 8700F"), Text(L"HardwareType", L"Cpu")}};
    m.acpi->classes[L"MSAcpi_ThermalZoneTemperature"] = {Zone(L"ACPI\\ThermalZone\\TZ01_0", 3222)};
    auto connector = m.Connector(true, false);
    FakeWmiConnector* wmi = connector.get();
    SensorHub hub(false, std::move(connector));

    // LHM's Tctl/Tdie reads 0 (LHM cannot read it): not a temperature, so the
    // laptop zone stands in for the CPU.
    hub.Refresh();
    EXPECT_EQ(DescribeLines(hub, "LibreHardwareMonitor"), Lines{"LibreHardwareMonitor: found, 1 readings from 3 sensors"});
    EXPECT_EQ(DescribeLines(hub, "OpenHardwareMonitor"), Lines{"OpenHardwareMonitor: not running"});
    EXPECT_EQ(DescribeLines(hub, "ACPI"), Lines{"ACPI thermal zones: found, 1 zones, 1 live, CPU from TZ01"});
    EXPECT_EQ(SourceOf(hub.Devices(), "CPU"), "ACPI thermal zone");
    EXPECT_EQ(SourceOf(hub.Devices(), "CPU (Tctl/Tdie)"), "(none)");

    // Refreshes closer together than the sampler's pace reuse the answers.
    const int queries = m.lhm->queries + m.acpi->queries;
    hub.Refresh();
    EXPECT_EQ(m.lhm->queries + m.acpi->queries, queries);
    // A namespace that is not there is not asked again at once.
    EXPECT_EQ(wmi->connects, 3);

    // Once LHM reads the CPU, it is the CPU value and the zone is not asked.
    m.lhm->classes[L"Sensor"] = RyzenSensors(54.0f);
    Sleep(static_cast<DWORD>(WmiHardwareMonitorSource::kMinQueryIntervalMs) + 100);
    hub.Refresh();
    EXPECT_EQ(DeviceSetLines(hub.Devices())[0], "AMD Ryzen 7 8700F");
    EXPECT_EQ(SourceOf(hub.Devices(), "CPU (Tctl/Tdie)"), "LibreHardwareMonitor");
    EXPECT_EQ(SourceOf(hub.Devices(), "CPU"), "(none)");
    EXPECT_EQ(DescribeLines(hub, "ACPI"), Lines{"ACPI thermal zones: not asked, a better CPU source is found"});

    // Through the record the program reads: value, class, label and source.
    SensorRecord record{};
    ASSERT_TRUE(hub.Read(1, 0, 0, &record));
    EXPECT_STREQ(record.label, "CPU (Tctl/Tdie)");
    EXPECT_STREQ(record.source, "LibreHardwareMonitor");
    EXPECT_EQ(record.hwClass, 11);
    EXPECT_DOUBLE_EQ(record.value, 54.0);

    // LHM ends: its namespace fails the query; the hub says so and goes on.
    m.lhm->failQueries = WBEM_E_INVALID_NAMESPACE;
    Sleep(static_cast<DWORD>(WmiHardwareMonitorSource::kMinQueryIntervalMs) + 100);
    hub.Refresh();
    EXPECT_EQ(DescribeLines(hub, "LibreHardwareMonitor"), Lines{"LibreHardwareMonitor: not running"});
    EXPECT_EQ(SourceOf(hub.Devices(), "CPU"), "ACPI thermal zone");
}

TEST(WmiSources, OpenHardwareMonitorOnIntelWithAGpu)
{
    const CrossProcessLock turn(kMonitoringProgramsLock);
    Machine m;
    m.ohm->classes[L"Sensor"] = IntelSensors();
    m.ohm->classes[L"Hardware"] = {{Text(L"Identifier", L"/intelcpu/0"), Text(L"Name", L"Intel Core i7-6700K")},
                                   {Text(L"Identifier", L"/nvidiagpu/0"), Text(L"Name", L"NVIDIA GeForce GTX 1080")}};
    SensorHub hub(false, m.Connector(false, true));
    hub.Refresh();
    const Lines lines = DeviceSetLines(hub.Devices());
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 5),
              (Lines{"Intel Core i7-6700K", "  temp 0: 11 CPU Core #4 47", "  temp 1: 11 CPU Package 49",
                     "NVIDIA GeForce GTX 1080", "  temp 0: 13 GPU Temperature 41"}));
    EXPECT_EQ(SourceOf(hub.Devices(), "GPU Temperature"), "OpenHardwareMonitor");
}

TEST(AcpiZones, AZoneThatNeverMovesIsUnknown)
{
    auto acpi = std::make_shared<FakeNamespace>();
    FakeWmiConnector wmi({{L"root\\WMI", acpi}});
    AcpiZoneSource zones(wmi);
    SensorDeviceSet set;
    std::string status;
    const ULONGLONG t0 = 1000000;

    // The desktop's placeholder 3010: unknown from the first reading.
    acpi->classes[L"MSAcpi_ThermalZoneTemperature"] = {Zone(L"ACPI\\ThermalZone\\TZ00_0", 3010)};
    EXPECT_EQ(zones.Collect(set, status, t0), 0);
    EXPECT_EQ(status, "ACPI thermal zones: found, 1 zones, 0 live; unknown: TZ00 at 27.9 C firmware placeholder");

    // The laptop's zone counts at once; when it has not changed for ten
    // minutes it is unknown, and it counts again when it moves.
    acpi->classes[L"MSAcpi_ThermalZoneTemperature"] = {Zone(L"ACPI\\ThermalZone\\TZ01_0", 3222)};
    AcpiZoneSource laptop(wmi);
    set.Clear();
    EXPECT_EQ(laptop.Collect(set, status, t0), 2);
    EXPECT_EQ(DeviceSetLines(set), (Lines{"ACPI Thermal Zone", "  temp 0: 14 TZ01 49.05", "  temp 1: 12 CPU 49.05"}));
    set.Clear();
    EXPECT_EQ(laptop.Collect(set, status, t0 + AcpiZoneSource::kStaticAfterMs), 0);
    EXPECT_EQ(status, "ACPI thermal zones: found, 1 zones, 0 live; unknown: TZ01 at 49.1 C has not changed for 10 minutes");
    acpi->classes[L"MSAcpi_ThermalZoneTemperature"] = {Zone(L"ACPI\\ThermalZone\\TZ01_0", 3232)};
    set.Clear();
    EXPECT_EQ(laptop.Collect(set, status, t0 + AcpiZoneSource::kStaticAfterMs + 2000), 2);
    EXPECT_EQ(SourceOf(set, "CPU"), "ACPI thermal zone");

    // Desktops without zones refuse the class; it is asked again only after a while.
    auto refusing = std::make_shared<FakeNamespace>();
    refusing->failQueries = WBEM_E_NOT_SUPPORTED;
    FakeWmiConnector desktop({{L"root\\WMI", refusing}});
    AcpiZoneSource none(desktop);
    set.Clear();
    EXPECT_EQ(none.Collect(set, status, t0), 0);
    EXPECT_EQ(status, "ACPI thermal zones: refused, not supported by this system's WMI");
    none.Collect(set, status, t0 + 2000);
    EXPECT_EQ(refusing->queries, 1);
    none.Collect(set, status, t0 + WmiNamespace::kRetryMs);
    EXPECT_EQ(refusing->queries, 2);

    // A zone named after the CPU is preferred over a warmer one.
    acpi->classes[L"MSAcpi_ThermalZoneTemperature"] = {Zone(L"\\_TZ.THRM_0", 3332), Zone(L"\\_TZ.CPUZ_0", 3232)};
    AcpiZoneSource named(wmi);
    set.Clear();
    named.Collect(set, status, t0);
    EXPECT_EQ(status, "ACPI thermal zones: found, 2 zones, 2 live, CPU from _TZ.CPUZ");
}

// What the program's rules make of the new sources' readings, alone and
// together: the CPU value the record gets, and from which source and label.
TEST(DriverFreeClassification, TheRecordsCpuValueAndItsSource)
{
    auto acpi = std::make_shared<FakeNamespace>();
    FakeWmiConnector wmi({{L"root\\WMI", acpi}});
    const ULONGLONG t0 = 5000000;
    auto zone = [&](unsigned tenthsKelvin) {
        return [&, tenthsKelvin](SensorDeviceSet& set) {
            acpi->classes[L"MSAcpi_ThermalZoneTemperature"] = {Zone(L"ACPI\\ThermalZone\\TZ00_0", tenthsKelvin)};
            std::string status;
            AcpiZoneSource(wmi).Collect(set, status, t0);
        };
    };
    auto hwinfo = [](SensorDeviceSet& set) {
        set.BeginSource("HWiNFO");
        set.Add(set.OpenDevice("Intel Core i9-13900K"), kKindTemperature, kClassCpu, "CPU Package", 52.0);
    };
    auto coreTemp = [](SensorDeviceSet& set) {
        const CoreTempSharedData d = CoreTempBlock();
        std::string status;
        CoreTempSource::Parse(reinterpret_cast<const uint8_t*>(&d), sizeof d, set, status);
    };
    auto aida = [](SensorDeviceSet& set) { Aida64Source::Map(Aida64Source::Items(kAidaText), "Intel Core i9-13900K", set); };
    auto lhm = [](float tctl, bool board) {
        return [tctl, board](SensorDeviceSet& set) {
            std::vector<WmiHardwareMonitorSource::Sensor> sensors{
                {"Core (Tctl/Tdie)", "/amdcpu/0/temperature/2", "Temperature", "/amdcpu/0", tctl, true}};
            if (board)
                sensors.push_back({"CPU", "/lpc/nct6798d/0/temperature/1", "Temperature", "/lpc/nct6798d/0", 48.0, true});
            WmiHardwareMonitorSource::Map(sensors, {{"/amdcpu/0", "AMD Ryzen 7 5800X"}}, "LibreHardwareMonitor", set);
        };
    };
    struct Case {
        const char* name;
        std::vector<std::function<void(SensorDeviceSet&)>> sources;  // in order of preference
        float cpu;                                                     // 0: none
        const char* source;
        const char* label;
    };
    const Case cases[] = {
        {"HwinfoBeforeTheOthers", {hwinfo, coreTemp, aida, zone(3222)}, 52.0f, "HWiNFO", "CPU Package"},
        {"CoreTempsHottestCore", {coreTemp, zone(3222)}, 47.0f, "Core Temp", "CPU Package"},
        {"AidaPackageBeforeTheBoardDiode", {aida}, 61.0f, "AIDA64", "CPU Package"},
        {"RyzenTctlBeforeTheBoardCpu", {lhm(54.0f, true)}, 54.0f, "LibreHardwareMonitor", "CPU (Tctl/Tdie)"},
        {"TheBoardCpuBeforeAZone", {lhm(0.0f, true), zone(3222)}, 48.0f, "LibreHardwareMonitor", "CPU"},
        {"AZoneWhenNothingElse", {lhm(0.0f, false), zone(3222)}, 49.05f, "ACPI thermal zone", "CPU"},
        {"APlaceholderZoneIsNothing", {zone(3010)}, 0.0f, "", ""},
    };
    for (const Case& c : cases) {
        SensorDeviceSet set;
        for (const auto& source : c.sources)
            source(set);
        SensorCandidates found;
        for (const SensorDevice& d : set.Devices())
            for (const SensorValue& v : d.temps)
                if (v.present && v.valid)
                    SensorClassifier::ApplyTemperature(found, v.hwClass, v.label, d.name, static_cast<float>(v.value), v.source);
        const SensorCandidate* cpu = SensorClassifier::CpuChoice(found);
        EXPECT_FLOAT_EQ(cpu != nullptr ? cpu->value : 0.0f, c.cpu) << c.name;
        EXPECT_EQ(cpu != nullptr ? cpu->source : "", c.source) << c.name;
        EXPECT_EQ(cpu != nullptr ? cpu->label : "", c.label) << c.name;
    }
}

// Wine's own WMI has none of these namespaces or classes: every WMI source
// reports itself absent, quickly, and nothing crashes.
TEST(WmiSources, WinesOwnWmiHasNoneOfThem)
{
    const CrossProcessLock turn(kMonitoringProgramsLock);
    SensorHub hub(false);
    const ULONGLONG start = GetTickCount64();
    hub.Refresh();
    hub.Refresh();
    const ULONGLONG spent = GetTickCount64() - start;
    EXPECT_EQ(DescribeLines(hub, "LibreHardwareMonitor"), Lines{"LibreHardwareMonitor: not running"});
    EXPECT_EQ(DescribeLines(hub, "OpenHardwareMonitor"), Lines{"OpenHardwareMonitor: not running"});
    const Lines acpi = DescribeLines(hub, "ACPI");
    ASSERT_EQ(acpi.size(), 1u);
    EXPECT_TRUE(acpi[0] == "ACPI thermal zones: absent" || acpi[0] == "ACPI thermal zones: absent, no zones" ||
                acpi[0] == "ACPI thermal zones: not asked, a better CPU source is found")
        << acpi[0];
    // No stall: well under the time-out one query may take.
    EXPECT_LT(spent, 5000u);
}

}  // namespace
