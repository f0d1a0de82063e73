// The classification rules called directly (readings in, record out), and the
// sampling pass through the real sensor library in replay mode to show that the
// readings reach them.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "SensorBinding.h"
#include "SensorClassifier.h"
#include "SensorSampler.h"
#include "SensorSnapshot.h"
#include "SensorStatus.h"
#include "SensorTestSupport.h"

namespace {

// The four values of the record that a pass may write.
struct Temperatures {
    float cpu = 0, gpu = 0, igpu = 0, board = 0;
    bool operator==(const Temperatures&) const = default;
};

void PrintTo(const Temperatures& t, std::ostream* os)
{
    *os << "cpu " << t.cpu << ", gpu " << t.gpu << ", igpu " << t.igpu << ", board " << t.board;
}

Temperatures Read(const SensorSnapshot& s)
{
    return {s.cpuTemperature, s.gpuTemperature, s.igpuTemperature, s.boardTemperature};
}

// One valid temperature reading as the pass hands it to the rules.
struct Reading {
    int hwClass;
    const char* label;
    const char* device;
    float value;
};

struct ClassificationCase {
    const char* name;
    std::vector<Reading> readings;
    Temperatures before;  // the record as the previous pass left it
    Temperatures after;
};

Temperatures Classify(const ClassificationCase& c)
{
    SensorCandidates candidates;
    for (const Reading& r : c.readings)
        SensorClassifier::ApplyTemperature(candidates, r.hwClass, r.label, r.device, r.value);
    SensorSnapshot s{};
    s.cpuTemperature = c.before.cpu;
    s.gpuTemperature = c.before.gpu;
    s.igpuTemperature = c.before.igpu;
    s.boardTemperature = c.before.board;
    SensorClassifier::WriteSnapshot(candidates, s);
    return Read(s);
}

constexpr char kIntel[] = "Intel Core i9-12900K";
constexpr char kAmd[] = "AMD Ryzen 7 5800X";
constexpr char kBoard[] = "Board";
constexpr char kRtx[] = "NVIDIA GeForce RTX 3080";
constexpr char kUhd[] = "Intel UHD Graphics 770";
constexpr char kGtx[] = "NVIDIA GeForce GTX 1650";

const ClassificationCase kClassificationCases[] = {
    {"IntelPackageBeatsBoardCpuLabel",
     {{11, "CPU Package", kIntel, 54.5f}, {11, "Core Max", kIntel, 58}, {12, "CPU", kBoard, 48},
      {12, "Motherboard", kBoard, 36}},
     {},
     {.cpu = 54.5f, .board = 36}},
    {"AmdTctlTdieBeatsBoardCpuLabel",
     {{11, "CPU (Tctl/Tdie)", kAmd, 67.25f}, {11, "CPU CCD1 (Tdie)", kAmd, 60}, {12, "CPU", kBoard, 61}},
     {},
     {.cpu = 67.25f}},
    {"TctlAndCpuLabelsMustMatchWholly",
     {{11, "CPU (Tctl/Tdie) ", kAmd, 67}, {11, "CPU (Tctl)", kAmd, 66}, {12, "CPU ", kBoard, 61},
      {12, "CPU", kBoard, 59}},
     {},
     {.cpu = 59}},
    {"BoardCpuPackageBeatsTctl",
     {{12, "CPU Package", kBoard, 50}, {12, "CPU", kBoard, 40}, {11, "CPU (Tctl/Tdie)", "AMD Ryzen 5 7600", 45}},
     {},
     {.cpu = 50}},
    {"CpuPackageBeatsBoardCpuPackage",
     {{12, "CPU Package", kBoard, 50}, {11, "CPU Package", "Intel Core i5-13600K", 55}},
     {},
     {.cpu = 55}},
    {"LastMatchingPackageReadingWins",
     {{11, "CPU Package", "CPU [#0]", 70}, {11, "CPU Package (SMU)", "CPU [#0]", 52}},
     {},
     {.cpu = 52}},
    {"DeviceNameCanMatchPackageAndBoard", {{12, "CPU Package", "Motherboard ASRock B550", 44}}, {}, {.cpu = 44, .board = 44}},
    {"FirstBoardReadingWins", {{12, "Motherboard", "Board A", 35}, {12, "Motherboard 2", "Board A", 39}}, {}, {.board = 35}},
    {"HighestOfTwoDedicatedGpusWinsLowFirst",
     {{13, "GPU Temperature", kRtx, 45}, {13, "GPU Temperature", kRtx, 61.5f}},
     {.igpu = 33},
     {.gpu = 61.5f}},
    {"HighestOfTwoDedicatedGpusWinsHighFirst",
     {{13, "GPU Temperature", kRtx, 61.5f}, {13, "GPU Temperature", kRtx, 45}},
     {.igpu = 33},
     {.gpu = 61.5f}},
    {"IntegratedOnlyClearsDedicated", {{13, "GPU Temperature", kUhd, 41}}, {.gpu = 70}, {.igpu = 41}},
    {"DedicatedBeatsAndClearsIntegrated",
     {{13, "GPU Temperature", kUhd, 44}, {13, "GPU Temperature", kGtx, 52}},
     {.igpu = 41},
     {.gpu = 52}},
    {"NoGpuKeepsBothGpuValues", {}, {.gpu = 52, .igpu = 7}, {.gpu = 52, .igpu = 7}},
    {"RadeonRxIsDedicatedRadeonGraphicsIsNot",
     {{13, "GPU Temperature", "AMD Radeon RX 6600", 58}, {13, "GPU Temperature", "AMD Radeon Graphics", 71}},
     {},
     {.gpu = 58}},
    {"RadeonGraphicsAloneIsIntegrated", {{13, "GPU Temperature", "AMD Radeon Graphics", 71}}, {}, {.igpu = 71}},
    {"LowerCaseLabelsMatchNothing",
     {{11, "cpu package", "some cpu", 50}, {11, "cpu (tctl/tdie)", "some cpu", 51}, {12, "cpu", "some board", 52},
      {12, "motherboard", "some board", 53}, {13, "gpu temperature", "nvidia geforce", 54}},
     {1, 2, 3, 4},
     {1, 2, 3, 4}},
    {"NoCandidateKeepsPreviousValues", {{12, "Motherboard", kBoard, 31}}, {.cpu = 50, .board = 30}, {.cpu = 50, .board = 31}},
    {"OtherClassesAreIgnored",
     {{14, "CPU Package", "Samsung SSD 980 PRO", 66}, {10, "Motherboard", "Samsung SSD 980 PRO", 67},
      {0, "GPU Temperature", "Samsung SSD 980 PRO", 68}},
     {},
     {}},
};

class SensorClassification : public ::testing::TestWithParam<ClassificationCase> {};

TEST_P(SensorClassification, WritesTheRecord)
{
    EXPECT_EQ(Classify(GetParam()), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Readings, SensorClassification, ::testing::ValuesIn(kClassificationCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SensorGpuClassification, DedicatedByName)
{
    const std::pair<const char*, bool> names[] = {
        {"NVIDIA T400", true},      {"Some GeForce", true},           {"A RTX card", true},
        {"A GTX card", true},       {"AMD Radeon RX 6600", true},     {"AMD Radeon Vega 8", true},
        {"nvidia geforce", false},  {"AMD Radeon Graphics", false},   {kUhd, false},
    };
    for (const auto& [name, dedicated] : names)
        EXPECT_EQ(SensorClassifier::IsDedicatedGpu(name), dedicated) << name;
}

struct LoadCase {
    int hwClass;
    const char* label;
    const char* device;
    double value;
    std::vector<std::string> lines;
};

TEST(SensorLoadTrace, LinesOfOneLoadReading)
{
    const auto sensor = [](const char* device, const char* label, const char* value, int hwClass) {
        return std::string("Sensor: ") + device + ", Location: " + label + ", Value: " + value + "%, Type: " +
               std::to_string(hwClass) + "\n";
    };
    const LoadCase cases[] = {
        {11, "CPU Total", kIntel, 12.5, {sensor(kIntel, "CPU Total", "12.5", 11), "Found CPU usage: 12.5%\n"}},
        {11, "Total CPU Usage", kIntel, 3, {sensor(kIntel, "Total CPU Usage", "3.0", 11), "Found CPU usage: 3.0%\n"}},
        {11, "Average Load", kIntel, 4, {sensor(kIntel, "Average Load", "4.0", 11), "Found CPU usage: 4.0%\n"}},
        {11, "CPU Utilization", kIntel, 5, {sensor(kIntel, "CPU Utilization", "5.0", 11), "Found CPU usage: 5.0%\n"}},
        {11, "Core 0", kIntel, 99, {sensor(kIntel, "Core 0", "99.0", 11)}},
        {13, "GPU Utilization", kRtx, 30, {sensor(kRtx, "GPU Utilization", "30.0", 13), "Found Dedicated GPU usage: 30.0%\n"}},
        {13, "GPU D3D Usage", kUhd, 7.5, {sensor(kUhd, "GPU D3D Usage", "7.5", 13), "Found Integrated GPU usage: 7.5%\n"}},
        {13, "GPU Bus Load", kGtx, 2, {sensor(kGtx, "GPU Bus Load", "2.0", 13), "Found Dedicated GPU usage: 2.0%\n"}},
        {13, "GPU Memory", kGtx, 9, {sensor(kGtx, "GPU Memory", "9.0", 13)}},
        {12, "CPU Total", kBoard, 6, {sensor(kBoard, "CPU Total", "6.0", 12)}},
    };
    for (const LoadCase& c : cases)
        EXPECT_EQ(SensorClassifier::LoadTraceLines(c.hwClass, c.label, c.device, c.value), c.lines) << c.label;
}

// Through the library: the pass walks every device and reading.
struct Sampler {
    SensorLibraryBinding binding;
    CollectTrace trace;
    SensorSnapshot snapshot{};

    SensorPassResult Pass() { return SampleSensors(binding, &snapshot, trace); }
};

TEST(SensorPass, TemperaturesReachTheRulesWithTheirDeviceNames)
{
    ScenarioFile f(R"SCN(# Intel desktop
device "Intel Core i9-12900K"
  temp 0 11 "CPU Package" 54.5,-
  temp 1 11 "Core Max" 58
device "ASUS PRIME Z690-P (Nuvoton NCT6798D)"
  temp 0 12 "CPU" 48
  temp 1 12 "Motherboard" 36,37
device "Intel UHD Graphics 770"
  temp 0 13 "GPU Temperature" 41
device "NVIDIA GeForce RTX 3080"
  temp 0 13 "GPU Temperature" 61.5
)SCN");
    Sampler s;
    const SensorPassResult r = s.Pass();
    EXPECT_TRUE(r.bound);
    EXPECT_TRUE(r.sampled);
    EXPECT_EQ(r.deviceCount, 4);
    EXPECT_EQ(Read(s.snapshot), (Temperatures{.cpu = 54.5f, .gpu = 61.5f, .board = 36}));
    EXPECT_EQ(s.trace.lines.front(), "INIT OK\n");
    // Each pass starts over: without a package reading the board's CPU label counts.
    s.Pass();
    EXPECT_EQ(Read(s.snapshot), (Temperatures{.cpu = 48, .gpu = 61.5f, .board = 37}));
}

TEST(SensorPass, LoadsAreTracedButNeverClassified)
{
    ScenarioFile f(R"SCN(device "Intel Core i7-12700K"
  temp 0 11 "CPU Package" invalid
  load 0 11 "Never Read" 99
  load 1 11 "CPU Total" 12.5
  load 2 11 "CPU Package" 90
device "NVIDIA GeForce RTX 3060"
  load 0 13 "GPU Utilization" 30
device "Board"
  load 0 12 "Motherboard" 91
)SCN");
    Sampler s;
    s.Pass();
    EXPECT_EQ(s.trace.lines, (std::vector<std::string>{
                                 "INIT OK\n",
                                 "Sensor: Intel Core i7-12700K, Location: CPU Total, Value: 12.5%, Type: 11\n",
                                 "Found CPU usage: 12.5%\n",
                                 "Sensor: Intel Core i7-12700K, Location: CPU Package, Value: 90.0%, Type: 11\n",
                                 "Sensor: NVIDIA GeForce RTX 3060, Location: GPU Utilization, Value: 30.0%, Type: 13\n",
                                 "Found Dedicated GPU usage: 30.0%\n",
                                 "Sensor: Board, Location: Motherboard, Value: 91.0%, Type: 12\n",
                             }));
    EXPECT_EQ(Read(s.snapshot), Temperatures{});
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

// Where the record's values came from, pass after pass: a value found names
// its source; a value kept over a short gap keeps it; a value gone to 0 has none.
TEST(SensorStatus, FollowsTheOriginOfTheRecordsValues)
{
    SensorCandidates hwinfo;
    SensorClassifier::ApplyTemperature(hwinfo, 11, "CPU Package", "Intel Core i7-12700K", 52.0f, "HWiNFO");
    SensorClassifier::ApplyTemperature(hwinfo, 13, "GPU Temperature", "NVIDIA GeForce RTX 3080", 44.0f, "NVML");
    SensorSnapshot record{};
    record.cpuTemperature = 52.0f;
    record.gpuTemperature = 44.0f;
    const SensorStatus first = SensorStatus::AfterPass({}, &hwinfo, record);
    EXPECT_EQ(first, (SensorStatus{true, 52.0f, 44.0f, 0.0f, {"HWiNFO", "CPU Package"}, {"NVML", "GPU Temperature"}}));

    const SensorCandidates none;  // a pass that found nothing
    const SensorStatus gap = SensorStatus::AfterPass(first, &none, record);
    EXPECT_EQ(gap.cpuOrigin, first.cpuOrigin);
    record.cpuTemperature = 0.0f;  // aged out
    const SensorStatus gone = SensorStatus::AfterPass(gap, nullptr, record);
    EXPECT_EQ(gone.cpuOrigin, SensorOrigin{});
    EXPECT_TRUE(gone.sampled);
}

// The tool's output with plain line ends (its standard output is in text mode).
ProcessResult Lines(ProcessResult r)
{
    r.out.erase(std::remove(r.out.begin(), r.out.end(), '\r'), r.out.end());
    return r;
}

// glimra-diag names every source with its state and says where the values the
// display uses come from, or what to do when there is no CPU source.
TEST(SensorDiagnostics, SourcesCommandSaysWhereTheDisplayValueComesFrom)
{
    {
        ScenarioFile f("device \"Intel Core i7-12700K\"\n  temp 0 11 \"CPU Package\" 54.5\n");
        const ProcessResult r = Lines(RunTool(L"glimra-diag.exe", L"sources"));
        EXPECT_EQ(r.exitCode, 0u) << r.out;
        EXPECT_NE(r.out.find("Sources, in order of preference:\n  replay: step "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("The display uses:\n  CPU: 54.5 C from replay (CPU Package)\n"
                             "  GPU: none: no source gives a GPU temperature\n"),
                  std::string::npos)
            << r.out;
    }
    ScenarioFile f("device \"NVIDIA GeForce RTX 3080\"\n  temp 0 13 \"GPU Temperature\" 41\n");
    const ProcessResult r = Lines(RunTool(L"glimra-diag.exe", L"sources"));
    EXPECT_NE(r.out.find(std::string("  CPU: none: ") + kNoCpuSourceAdvice + "\n  GPU: 41.0 C from replay (GPU Temperature)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(std::string(kNoCpuSourceAdvice).find("Core Temp"), std::string::npos);
}

}  // namespace
