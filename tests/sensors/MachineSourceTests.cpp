// The pure parts of the machine sources that need real Windows to run whole.
#include <gtest/gtest.h>

#include "CpuLoadSource.h"
#include "D3dkmtSource.h"
#include "SensorHub.h"

namespace {

TEST(D3dkmtPerfData, ZeroMeansUnsupportedNotZeroDegrees)
{
    KmtAdapterPerfData perf{};
    double c = -1.0;
    EXPECT_FALSE(D3dkmtSource::TemperatureOf(perf, c));
    perf.temperature = 455;  // tenths of a degree
    ASSERT_TRUE(D3dkmtSource::TemperatureOf(perf, c));
    EXPECT_DOUBLE_EQ(c, 45.5);
    perf.temperature = 0xFFFFFFFF;
    EXPECT_FALSE(D3dkmtSource::TemperatureOf(perf, c));
}

TEST(D3dkmtPerfData, IntegratedAdaptersHaveLittleMemoryOfTheirOwn)
{
    EXPECT_TRUE(D3dkmtSource::IsIntegrated(128ull << 20));
    EXPECT_FALSE(D3dkmtSource::IsIntegrated(8ull << 30));
}

TEST(CpuLoad, BusyShareBetweenSamples)
{
    CpuLoadSource::Times a{1000, 3000, 1000};  // kernel includes idle
    CpuLoadSource::Times b{1600, 4000, 2000};  // 2000 ticks passed, 600 idle
    double p = 0.0;
    ASSERT_TRUE(CpuLoadSource::LoadBetween(a, b, p));
    EXPECT_DOUBLE_EQ(p, 70.0);
    EXPECT_FALSE(CpuLoadSource::LoadBetween(a, a, p));
    EXPECT_FALSE(CpuLoadSource::LoadBetween(b, a, p));
}

TEST(SensorHubRecord, CopyOutAlwaysTerminates)
{
    char buf[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(CopyOut("abcdef", buf, sizeof buf), 3);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(CopyOut("abc", nullptr, 10), 0);
    EXPECT_EQ(CopyOut("abc", buf, 0), 0);
}

}  // namespace
