// The classification rules, driven through the real sensor library in replay
// mode and the program's real binding and sampling pass.
#include <gtest/gtest.h>

#include <algorithm>

#include "SensorBinding.h"
#include "SensorSampler.h"
#include "SensorSnapshot.h"
#include "SensorTestSupport.h"

namespace {

struct Sampler {
    SensorLibraryBinding binding;
    CollectTrace trace;
    SensorSnapshot snapshot{};

    SensorPassResult Pass() { return SampleSensors(binding, &snapshot, trace); }
    bool Traced(const std::string& line) const
    {
        return std::find(trace.lines.begin(), trace.lines.end(), line) != trace.lines.end();
    }
};

TEST(SensorClassification, IntelPackageBeatsBoardCpuLabel)
{
    ScenarioFile f(R"SCN(# Intel desktop
device "Intel Core i9-12900K"
  temp 0 11 "CPU Package" 54.5
  temp 1 11 "Core Max" 58
device "ASUS PRIME Z690-P (Nuvoton NCT6798D)"
  temp 0 12 "CPU" 48
  temp 1 12 "Motherboard" 36
)SCN");
    Sampler s;
    const SensorPassResult r = s.Pass();
    EXPECT_TRUE(r.bound);
    EXPECT_EQ(r.deviceCount, 2);
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 54.5f);
    EXPECT_FLOAT_EQ(s.snapshot.boardTemperature, 36.0f);
    EXPECT_EQ(s.trace.lines.front(), "INIT OK\n");
}

TEST(SensorClassification, AmdTctlTdieBeatsBoardCpuLabel)
{
    ScenarioFile f(R"SCN(device "AMD Ryzen 7 5800X"
  temp 3 11 "CPU (Tctl/Tdie)" 67.25
  temp 4 11 "CPU CCD1 (Tdie)" 60
device "MSI B550 (Nuvoton NCT6687D)"
  temp 0 12 "CPU" 61
)SCN");
    Sampler s;
    s.Pass();
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 67.25f);
}

TEST(SensorClassification, TctlLabelMustMatchWholly)
{
    ScenarioFile f(R"SCN(device "AMD Ryzen 7 5800X"
  temp 0 11 "CPU (Tctl/Tdie) " 67
  temp 1 11 "CPU (Tctl)" 66
device "Board"
  temp 0 12 "CPU " 61
  temp 1 12 "CPU" 59
)SCN");
    Sampler s;
    s.Pass();
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 59.0f);
}

TEST(SensorClassification, BoardCpuPackageOnlyWithoutClass11Package)
{
    {
        ScenarioFile f(R"SCN(device "Board"
  temp 0 12 "CPU Package" 50
  temp 1 12 "CPU" 40
device "AMD Ryzen 5 7600"
  temp 0 11 "CPU (Tctl/Tdie)" 45
)SCN");
        Sampler s;
        s.Pass();
        EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 50.0f);
    }
    {
        ScenarioFile f(R"SCN(device "Board"
  temp 0 12 "CPU Package" 50
device "Intel Core i5-13600K"
  temp 0 11 "CPU Package" 55
)SCN");
        Sampler s;
        s.Pass();
        EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 55.0f);
    }
}

TEST(SensorClassification, LastMatchingPackageReadingWins)
{
    ScenarioFile f(R"SCN(device "CPU [#0]"
  temp 0 11 "CPU Package" 70
  temp 7 11 "CPU Package (SMU)" 52
)SCN");
    Sampler s;
    s.Pass();
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 52.0f);
}

TEST(SensorClassification, TwoNvidiaGpusHighestWins)
{
    for (const char* order : {"45.0", "61.5"}) {
        const std::string other = std::string(order) == "45.0" ? "61.5" : "45.0";
        ScenarioFile f(std::string("device \"NVIDIA GeForce RTX 3080\"\n  temp 0 13 \"GPU Temperature\" ") + order +
                       "\ndevice \"NVIDIA GeForce RTX 3080\"\n  temp 0 13 \"GPU Temperature\" " + other + "\n");
        Sampler s;
        s.snapshot.igpuTemperature = 33.0f;
        s.Pass();
        EXPECT_FLOAT_EQ(s.snapshot.gpuTemperature, 61.5f);
        EXPECT_FLOAT_EQ(s.snapshot.igpuTemperature, 0.0f);
    }
}

TEST(SensorClassification, IntegratedOnlyClearsDedicatedAndBack)
{
    ScenarioFile f(R"SCN(device "Intel UHD Graphics 770"
  temp 0 13 "GPU Temperature" 41,44,-
device "NVIDIA GeForce GTX 1650"
  temp 0 13 "GPU Temperature" -,52,-
)SCN");
    Sampler s;
    s.snapshot.gpuTemperature = 70.0f;
    s.Pass();  // integrated only
    EXPECT_FLOAT_EQ(s.snapshot.igpuTemperature, 41.0f);
    EXPECT_FLOAT_EQ(s.snapshot.gpuTemperature, 0.0f);
    s.Pass();  // a dedicated GPU appears: it wins and clears the integrated value
    EXPECT_FLOAT_EQ(s.snapshot.gpuTemperature, 52.0f);
    EXPECT_FLOAT_EQ(s.snapshot.igpuTemperature, 0.0f);
    s.Pass();  // no GPU at all: both keep their values
    EXPECT_FLOAT_EQ(s.snapshot.gpuTemperature, 52.0f);
    EXPECT_FLOAT_EQ(s.snapshot.igpuTemperature, 0.0f);
}

TEST(SensorClassification, RadeonRxIsDedicatedRadeonGraphicsIsNot)
{
    {
        ScenarioFile f(R"SCN(device "AMD Radeon RX 6600"
  temp 0 13 "GPU Temperature" 58
device "AMD Radeon Graphics"
  temp 0 13 "GPU Temperature" 71
)SCN");
        Sampler s;
        s.Pass();
        EXPECT_FLOAT_EQ(s.snapshot.gpuTemperature, 58.0f);
        EXPECT_FLOAT_EQ(s.snapshot.igpuTemperature, 0.0f);
    }
    {
        ScenarioFile f(R"SCN(device "AMD Radeon Graphics"
  temp 0 13 "GPU Temperature" 71
)SCN");
        Sampler s;
        s.Pass();
        EXPECT_FLOAT_EQ(s.snapshot.gpuTemperature, 0.0f);
        EXPECT_FLOAT_EQ(s.snapshot.igpuTemperature, 71.0f);
    }
}

TEST(SensorClassification, LowerCaseLabelsMatchNothing)
{
    ScenarioFile f(R"SCN(device "some cpu"
  temp 0 11 "cpu package" 50
  temp 1 11 "cpu (tctl/tdie)" 51
device "some board"
  temp 0 12 "cpu" 52
  temp 1 12 "motherboard" 53
device "nvidia geforce"
  temp 0 13 "gpu temperature" 54
)SCN");
    Sampler s;
    s.snapshot.cpuTemperature = 1.0f;
    s.snapshot.gpuTemperature = 2.0f;
    s.snapshot.igpuTemperature = 3.0f;
    s.snapshot.boardTemperature = 4.0f;
    EXPECT_TRUE(s.Pass().sampled);
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 1.0f);
    EXPECT_FLOAT_EQ(s.snapshot.gpuTemperature, 2.0f);
    EXPECT_FLOAT_EQ(s.snapshot.igpuTemperature, 3.0f);
    EXPECT_FLOAT_EQ(s.snapshot.boardTemperature, 4.0f);
}

TEST(SensorClassification, PassWithoutCpuCandidateKeepsPreviousValue)
{
    ScenarioFile f(R"SCN(device "Intel Core i7-8700"
  temp 0 11 "CPU Package" 50,-
device "Board"
  temp 0 12 "Motherboard" 30,31
)SCN");
    Sampler s;
    s.Pass();
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 50.0f);
    EXPECT_FLOAT_EQ(s.snapshot.boardTemperature, 30.0f);
    s.Pass();
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 50.0f);
    EXPECT_FLOAT_EQ(s.snapshot.boardTemperature, 31.0f);
}

TEST(SensorClassification, OneReadingFeedsPackageAndBoard)
{
    ScenarioFile f(R"SCN(device "Motherboard ASRock B550"
  temp 0 12 "CPU Package" 44
)SCN");
    Sampler s;
    s.Pass();
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 44.0f);
    EXPECT_FLOAT_EQ(s.snapshot.boardTemperature, 44.0f);
}

TEST(SensorClassification, FirstBoardReadingWins)
{
    ScenarioFile f(R"SCN(device "Board A"
  temp 2 12 "Motherboard" 35
  temp 5 12 "Motherboard 2" 39
)SCN");
    Sampler s;
    s.Pass();
    EXPECT_FLOAT_EQ(s.snapshot.boardTemperature, 35.0f);
}

TEST(SensorClassification, OtherClassesAreIgnored)
{
    ScenarioFile f(R"SCN(device "Samsung SSD 980 PRO"
  temp 0 14 "CPU Package" 66
  temp 1 10 "Motherboard" 67
  temp 2 0 "GPU Temperature" 68
)SCN");
    Sampler s;
    s.Pass();
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 0.0f);
    EXPECT_FLOAT_EQ(s.snapshot.boardTemperature, 0.0f);
    EXPECT_FLOAT_EQ(s.snapshot.gpuTemperature, 0.0f);
}

TEST(SensorLoadTrace, TracesLoadsAndSkipsLoadOfInvalidTemperature)
{
    ScenarioFile f(R"SCN(device "Intel Core i7-12700K"
  temp 0 11 "CPU Package" invalid
  load 0 11 "Never Read" 99
  load 1 11 "CPU Total" 12.5
device "NVIDIA GeForce RTX 3060"
  load 0 13 "GPU Utilization" 30
device "Intel UHD Graphics 770"
  load 0 13 "GPU D3D Usage" 7.5
)SCN");
    Sampler s;
    s.Pass();
    EXPECT_FALSE(s.Traced("Sensor: Intel Core i7-12700K, Location: Never Read, Value: 99.0%, Type: 11\n"));
    EXPECT_TRUE(s.Traced("Sensor: Intel Core i7-12700K, Location: CPU Total, Value: 12.5%, Type: 11\n"));
    EXPECT_TRUE(s.Traced("Found CPU usage: 12.5%\n"));
    EXPECT_TRUE(s.Traced("Sensor: NVIDIA GeForce RTX 3060, Location: GPU Utilization, Value: 30.0%, Type: 13\n"));
    EXPECT_TRUE(s.Traced("Found Dedicated GPU usage: 30.0%\n"));
    EXPECT_TRUE(s.Traced("Found Integrated GPU usage: 7.5%\n"));
    EXPECT_EQ(s.trace.lines.size(), 7u);  // INIT OK + 6
}

TEST(SensorLoadTrace, LoadReadingsNeverReachTheRecord)
{
    ScenarioFile f(R"SCN(device "Intel Core i7-12700K"
  load 0 11 "CPU Package" 90
device "Board"
  load 0 12 "Motherboard" 91
)SCN");
    Sampler s;
    s.Pass();
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 0.0f);
    EXPECT_FLOAT_EQ(s.snapshot.boardTemperature, 0.0f);
}

TEST(SensorPass, NoDevicesLeavesTheRecordAlone)
{
    ScenarioFile f("# nothing here\n");
    Sampler s;
    s.snapshot.cpuTemperature = 12.0f;
    const SensorPassResult r = s.Pass();
    EXPECT_TRUE(r.bound);
    EXPECT_EQ(r.deviceCount, 0);
    EXPECT_FALSE(r.sampled);
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 12.0f);
}

TEST(SensorPass, MalformedScenarioGivesNoDevicesAndAClearError)
{
    ScenarioFile f("device \"CPU\"\n  temp 0 11 \"CPU Package\" 50\n  temp 1 11 \"CPU Package\n");
    Sampler s;
    s.snapshot.cpuTemperature = 12.0f;
    const SensorPassResult r = s.Pass();
    EXPECT_EQ(r.deviceCount, 0);
    EXPECT_FLOAT_EQ(s.snapshot.cpuTemperature, 12.0f);
    char error[512] = {};
    s.binding.spare398(error, sizeof error);
    EXPECT_EQ(std::string(error), "replay: line 3: unterminated quoted text");
}

TEST(SensorPass, ResultsDroppedWithoutRecord)
{
    ScenarioFile f("device \"CPU\"\n  temp 0 11 \"CPU Package\" 50\n");
    SensorLibraryBinding b;
    CollectTrace trace;
    const SensorPassResult r = SampleSensors(b, nullptr, trace);
    EXPECT_TRUE(r.sampled);
    EXPECT_TRUE(r.candidates.cpuPackage11.found);
}

}  // namespace
