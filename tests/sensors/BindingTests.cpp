// Binding to the sensor library by ordinal: missing entry points, a failing
// initialiser, rebinding on the next pass, and the library's own exports.
#include <gtest/gtest.h>

#include <string>

#include "SensorBinding.h"
#include "SensorSampler.h"
#include "SensorSnapshot.h"
#include "SensorTestSupport.h"

namespace {

std::string Beside(const char* dll)
{
    std::string folder;
    for (wchar_t c : ProgramFolder())
        folder.push_back(static_cast<char>(c));
    return folder + "\\" + dll;
}

using Lines = std::vector<std::string>;

TEST(SensorBinding, MissingOrdinalCannotLoadAndTriesAgain)
{
    SensorLibraryBinding b;
    b.libraryName = Beside("sensorlib_missing_ordinal.dll");
    CollectTrace trace;
    SensorSnapshot snapshot{};
    snapshot.cpuTemperature = 9.0f;

    SensorPassResult r = SampleSensors(b, &snapshot, trace);
    EXPECT_FALSE(r.bound);
    EXPECT_FALSE(b.bound);
    EXPECT_EQ(b.sensorLibraryReady, 0);
    EXPECT_NE(b.sensorLibrary, nullptr);
    EXPECT_EQ(trace.lines, Lines({"CANNOT LOAD DLL\n"}));
    EXPECT_FLOAT_EQ(snapshot.cpuTemperature, 9.0f);

    r = SampleSensors(b, &snapshot, trace);
    EXPECT_EQ(trace.lines, Lines({"CANNOT LOAD DLL\n", "CANNOT LOAD DLL\n"}));

    // Once a complete library is there, the next pass binds it.
    ScenarioFile f("device \"Intel Core i3-10100\"\n  temp 0 11 \"CPU Package\" 47\n");
    b.libraryName = kSensorLibraryName;
    r = SampleSensors(b, &snapshot, trace);
    EXPECT_TRUE(r.bound);
    EXPECT_EQ(b.sensorLibraryReady, 1);
    EXPECT_EQ(trace.lines.back(), "INIT OK\n");
    EXPECT_FLOAT_EQ(snapshot.cpuTemperature, 47.0f);
}

TEST(SensorBinding, AbsentLibraryCannotLoad)
{
    SensorLibraryBinding b;
    b.libraryName = Beside("no-such-sensor-library.dll");
    CollectTrace trace;
    EXPECT_FALSE(BindSensorLibrary(b, trace));
    EXPECT_EQ(b.sensorLibrary, nullptr);
    EXPECT_EQ(trace.lines, Lines({"CANNOT LOAD DLL\n"}));
}

TEST(SensorBinding, FailedInitialiserPassGoesOnAndRebindsNextPass)
{
    SensorLibraryBinding b;
    b.libraryName = Beside("sensorlib_init_fails.dll");
    CollectTrace trace;
    SensorSnapshot snapshot{};

    SensorPassResult r = SampleSensors(b, &snapshot, trace);
    EXPECT_TRUE(r.bound);
    EXPECT_EQ(b.sensorLibraryReady, 0);
    ASSERT_FALSE(trace.lines.empty());
    EXPECT_EQ(trace.lines[0], "INIT FAILED 7\n");
    // The pass still read through the bound entry points.
    EXPECT_TRUE(r.sampled);
    EXPECT_FLOAT_EQ(snapshot.cpuTemperature, 41.5f);
    EXPECT_EQ(b.spare398(nullptr, 0), 1);

    trace.lines.clear();
    SampleSensors(b, &snapshot, trace);
    EXPECT_EQ(b.sensorLibraryReady, 1);
    EXPECT_EQ(trace.lines[0], "INIT OK\n");
    EXPECT_EQ(b.spare398(nullptr, 0), 2);

    // Ready: no more binding.
    trace.lines.clear();
    SampleSensors(b, &snapshot, trace);
    EXPECT_EQ(b.spare398(nullptr, 0), 2);
    ASSERT_FALSE(trace.lines.empty());
    EXPECT_NE(trace.lines[0], "INIT OK\n");
}

TEST(SensorBinding, UnterminatedNameAndLabelAreReadWithinTheirFields)
{
    SensorLibraryBinding b;
    b.libraryName = Beside("sensorlib_unterminated.dll");
    CollectTrace trace;
    SensorSnapshot snapshot{};
    SampleSensors(b, &snapshot, trace);
    EXPECT_EQ(trace.lines.front(), "INIT OK\n");

    const std::string name(256, 'N');
    const std::string label = "CPU Package" + std::string(136 - 11, 'x');
    const std::string expected = "Sensor: " + name + ", Location: " + label + ", Value: 5.0%, Type: 11\n";
    bool seen = false;
    for (const auto& line : trace.lines)
        seen = seen || line == expected;
    EXPECT_TRUE(seen);
    EXPECT_FLOAT_EQ(snapshot.cpuTemperature, 41.5f);
}

// The shipped library exports exactly the eight ordinals, and no names.
TEST(SensorLibraryExports, ExactlyTheEightOrdinals)
{
    HMODULE m = LoadLibraryA(kSensorLibraryName);
    ASSERT_NE(m, nullptr);
    auto* base = reinterpret_cast<const BYTE*>(m);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto* exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    EXPECT_EQ(exp->NumberOfNames, 0u);
    auto* functions = reinterpret_cast<const DWORD*>(base + exp->AddressOfFunctions);
    std::vector<DWORD> ordinals;
    for (DWORD i = 0; i < exp->NumberOfFunctions; ++i) {
        if (functions[i] != 0)
            ordinals.push_back(exp->Base + i);
    }
    EXPECT_EQ(ordinals, std::vector<DWORD>({156, 263, 398, 613, 641, 678, 850, 952}));
}

}  // namespace
