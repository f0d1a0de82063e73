// The shared record "qelmar_hardware_mapfile" across processes; the tests use
// records of their own names so that parallel test processes never meet.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <cstring>
#include <vector>

#include "CHWiNFOThread.h"
#include "SensorMapping.h"
#include "SensorSnapshot.h"
#include "SensorTestSupport.h"
#include "UniqueResource.h"

namespace {

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

// The number after "key": in the tool's JSON output.
double JsonValue(const std::string& json, const std::string& key)
{
    const size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos)
        return -1000.0;
    return std::strtod(json.c_str() + at + key.size() + 3, nullptr);
}

TEST(SharedRecord, CreatedZeroedThenSharedInProcess)
{
    const std::string name = UniqueNarrowName("glimra-record");
    const SensorRecordMapping first = MapSensorSnapshot(name.c_str());
    ASSERT_TRUE(first);
    EXPECT_TRUE(first.created);
    const auto* bytes = reinterpret_cast<const unsigned char*>(first.Snapshot());
    for (size_t i = 0; i < sizeof(SensorSnapshot); ++i)
        ASSERT_EQ(bytes[i], 0) << i;

    // A second opener gets the same record, not a cleared one.
    first.Snapshot()->cpuTemperature = 51.0f;
    const SensorRecordMapping again = AttachSensorSnapshot(name.c_str());
    ASSERT_TRUE(again);
    EXPECT_FALSE(again.created);
    EXPECT_FLOAT_EQ(again.Snapshot()->cpuTemperature, 51.0f);
}

TEST(SharedRecord, SecondProcessReadsWhatAPassWrote)
{
    ScenarioFile f(R"SCN(device "Intel Core i7-13700K"
  temp 0 11 "CPU Package" 63.5
device "NVIDIA GeForce RTX 4070"
  temp 0 13 "GPU Temperature" 48.25
device "Gigabyte Z790 (ITE IT8689E) Motherboard"
  temp 0 12 "System" 34
)SCN");
    const std::string name = UniqueNarrowName("glimra-record");
    const SensorRecordMapping record = AttachSensorSnapshot(name.c_str());
    SensorSnapshotSlot slot{record.Snapshot()};
    ASSERT_NE(slot.load(), nullptr);
    CollectTrace trace;
    CHWiNFOThread sampler(slot, trace);
    sampler.Run();

    const ProcessResult r = RunTool(L"glimra-diag.exe", L"record --json --record-name " + Wide(name));
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    EXPECT_EQ(JsonValue(r.out, "cpu"), 63.5);
    EXPECT_EQ(JsonValue(r.out, "gpu"), 48.25);
    EXPECT_EQ(JsonValue(r.out, "igpu"), 0.0);
    EXPECT_EQ(JsonValue(r.out, "board"), 34.0);
    slot = nullptr;
}

TEST(SharedRecord, SecondProcessOpensUnchangedAndDoesNotClear)
{
    ScenarioFile f("device \"AMD Ryzen 9 7950X\"\n  temp 0 11 \"CPU (Tctl/Tdie)\" 72\n");
    const std::string name = UniqueNarrowName("glimra-record");
    const SensorRecordMapping mapped = AttachSensorSnapshot(name.c_str());
    SensorSnapshot* record = mapped.Snapshot();
    ASSERT_NE(record, nullptr);
    record->boardTemperature = 29.5f;
    record->gpuTemperature = 55.0f;
    record->reserved0[0] = 0xA5;
    record->reserved4[43] = 0x5A;

    // The tool attaches as the program does, runs a pass and writes the CPU value.
    const ProcessResult r = RunTool(L"glimra-diag.exe", L"sample --publish --json --record-name " + Wide(name));
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    EXPECT_FLOAT_EQ(record->cpuTemperature, 72.0f);
    EXPECT_FLOAT_EQ(record->boardTemperature, 29.5f);
    EXPECT_FLOAT_EQ(record->gpuTemperature, 55.0f);
    EXPECT_EQ(record->reserved0[0], 0xA5);
    EXPECT_EQ(record->reserved4[43], 0x5A);
}

TEST(SharedRecord, RecordPublishedByAnotherProcessIsUsedAsItIs)
{
    ScenarioFile f(R"SCN(device "Intel Core i5-12400"
  temp 0 11 "CPU Package" 49
device "Intel UHD Graphics 730"
  temp 0 13 "GPU Temperature" 44
)SCN");
    const std::string name = UniqueNarrowName("glimra-record");
    HeldProcess tool(L"glimra-diag.exe", L"sample --publish --hold --record-name " + Wide(name));
    ASSERT_TRUE(tool.WaitForLine("holding")) << tool.Output();

    const SensorRecordMapping mapped = MapSensorSnapshot(name.c_str());
    ASSERT_TRUE(mapped);
    EXPECT_FALSE(mapped.created);
    const SensorSnapshot* record = mapped.Snapshot();
    EXPECT_FLOAT_EQ(record->cpuTemperature, 49.0f);
    EXPECT_FLOAT_EQ(record->igpuTemperature, 44.0f);
    EXPECT_FLOAT_EQ(record->gpuTemperature, 0.0f);

    const ProcessResult r = tool.Finish();
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_NE(r.out.find("Integrated GPU    44.0 C"), std::string::npos) << r.out;
}

TEST(SharedRecord, RecordCommandReportsAnUnpublishedRecord)
{
    const ProcessResult r = RunTool(L"glimra-diag.exe", L"record --record-name " + Wide(UniqueNarrowName("glimra-none")));
    EXPECT_EQ(r.exitCode, 3u);
    EXPECT_NE(r.out.find("no running program publishes"), std::string::npos) << r.out;
}

// What a normal process of the user can do: make the record first, owned by
// the user, writable by everyone. The program leaves it alone and shows its
// values from private memory.
TEST(SharedRecord, ARecordAnotherOwnerMadeFirstIsNotUsed)
{
    HANDLE rawToken = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken));
    UniqueHandle token(rawToken);
    std::vector<BYTE> user(512);
    DWORD size = static_cast<DWORD>(user.size());
    ASSERT_TRUE(GetTokenInformation(token.get(), TokenUser, user.data(), size, &size));
    wchar_t* sid = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid));
    UniqueLocalMemory sidText(sid);
    UniqueLocalMemory descriptor;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        (L"O:" + std::wstring(sid) + L"D:(A;;GA;;;WD)").c_str(), SDDL_REVISION_1, descriptor.put(), nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    const std::string name = UniqueNarrowName("glimra-planted");
    UniqueHandle planted(
        CreateFileMappingA(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, sizeof(SensorSnapshot), name.c_str()));
    ASSERT_TRUE(planted);
    UniqueView plantedView(MapViewOfFile(planted.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SensorSnapshot)));
    auto* plantedRecord = static_cast<SensorSnapshot*>(const_cast<void*>(plantedView.get()));
    plantedRecord->cpuTemperature = 99.0f;

    const SensorRecordMapping mapped = AttachSensorSnapshot(name.c_str());
    ASSERT_TRUE(mapped);
    EXPECT_FALSE(mapped.shared);
    EXPECT_EQ(mapped.Snapshot()->cpuTemperature, 0.0f);  // not the planted value
    mapped.Snapshot()->cpuTemperature = 45.0f;
    EXPECT_EQ(plantedRecord->cpuTemperature, 99.0f);     // and nothing written into it

    // The program's own record, made with its descriptor, is shared.
    const std::string own = UniqueNarrowName("glimra-record");
    const SensorRecordMapping first = MapSensorSnapshot(own.c_str());
    const SensorRecordMapping second = MapSensorSnapshot(own.c_str());
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first.shared && second.shared && first.created && !second.created);
}

}  // namespace
