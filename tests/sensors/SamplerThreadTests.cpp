// The sampling thread writing through the record slot the worker fills.
#include <gtest/gtest.h>

#include "CHWiNFOThread.h"
#include "SensorSnapshot.h"
#include "SensorTestSupport.h"

namespace {

TEST(SensorThread, RunWritesTheRecordOnceMapped)
{
    ScenarioFile f("device \"Intel Core i7-12700K\"\n  temp 0 11 \"CPU Package\" 57,58\n");
    SensorSnapshotSlot slot{nullptr};
    CollectTrace trace;
    CHWiNFOThread sampler(slot, trace);
    sampler.Run();  // no record yet: the pass runs, its results are dropped
    EXPECT_EQ(trace.lines, std::vector<std::string>({"INIT OK\n"}));

    SensorSnapshot record{};
    slot = &record;
    sampler.Run();
    EXPECT_FLOAT_EQ(record.cpuTemperature, 58.0f);  // the second pass plays the second step
    EXPECT_EQ(sampler.Binding().sensorLibraryReady, 1);
    slot = nullptr;
}

TEST(SensorThread, VanishedValuesRideOverShortGapsThenReadNoValueAndComeBackWithTheNextPass)
{
    ScenarioFile f("device \"Intel Core i7-12700K\"\n  temp 0 11 \"CPU Package\" 50,-,-,-,-,61\n"
                   "device \"NVIDIA GeForce RTX 3070\"\n  temp 0 13 \"GPU Temperature\" 40,-,41,-,-,-\n");
    SensorSnapshot record{};
    SensorSnapshotSlot slot{&record};
    CollectTrace trace;
    CHWiNFOThread sampler(slot, trace);
    sampler.Run();
    EXPECT_FLOAT_EQ(record.cpuTemperature, 50.0f);
    EXPECT_FLOAT_EQ(record.gpuTemperature, 40.0f);
    sampler.Run();
    sampler.Run();
    EXPECT_FLOAT_EQ(record.cpuTemperature, 50.0f) << "two passes without it: still shown";
    EXPECT_FLOAT_EQ(record.gpuTemperature, 41.0f);
    sampler.Run();
    EXPECT_FLOAT_EQ(record.cpuTemperature, 0.0f) << "three passes without it: no value";
    EXPECT_FLOAT_EQ(record.gpuTemperature, 41.0f) << "its gap started later";
    sampler.Run();
    sampler.Run();
    EXPECT_FLOAT_EQ(record.cpuTemperature, 61.0f) << "back with the first pass that finds it";
    EXPECT_FLOAT_EQ(record.gpuTemperature, 0.0f);
    EXPECT_FLOAT_EQ(record.igpuTemperature, 0.0f);
    slot = nullptr;
}

TEST(SensorThread, ThreadSamplesRepeatedlyUntilStopped)
{
    ScenarioFile f("device \"Intel Core i7-12700K\"\n  temp 0 11 \"CPU Package\" 40,41,42,43,44,45\n");
    SensorSnapshotSlot slot{nullptr};
    SensorSnapshot record{};
    slot = &record;
    CollectTrace trace;
    {
        CHWiNFOThread sampler(slot, trace);
        sampler.StartThread(20);
        EXPECT_EQ(sampler.IntervalMs(), 20u);
        // Wait (bounded) for a later step of the series to arrive.
        for (int i = 0; i < 3000 && record.cpuTemperature < 41.0f; ++i)
            Sleep(10);
        sampler.StopThread();
        sampler.JoinThread();
    }
    EXPECT_GE(record.cpuTemperature, 41.0f);
    EXPECT_EQ(CHWiNFOThread::kIntervalMs, 2000u);
    slot = nullptr;
}

}  // namespace
