#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "DisplayReport.h"
#include "SensorSnapshot.h"

namespace {

struct ReportCase {
    const char* name;
    bool hasRecord;
    float cpu;
    float gpu;
    float igpu;
    int ledSwitch;
    int deviceType;
    int tempeType;
    std::vector<uint8_t> digits;
};

void PrintTo(const ReportCase& c, std::ostream* os)
{
    *os << c.name;
}

class DisplayReportBytesTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(DisplayReportBytesTest, FramesTheChosenValue)
{
    const ReportCase& c = GetParam();
    SensorSnapshot record;
    memset(&record, 0, sizeof(record));
    record.cpuTemperature = c.cpu;
    record.gpuTemperature = c.gpu;
    record.igpuTemperature = c.igpu;

    const DisplayReportBytes report =
        BuildDisplayReport(c.hasRecord ? &record : nullptr, c.ledSwitch, c.deviceType, c.tempeType);

    EXPECT_EQ(report[0], 0x07);
    EXPECT_EQ(report[1], 0xFF);
    EXPECT_EQ(report[2], 0xFF);
    EXPECT_EQ(std::vector<uint8_t>(report.begin() + 3, report.begin() + 6), c.digits);
    for (size_t i = 6; i < report.size(); ++i)
        ASSERT_EQ(report[i], 0) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayReportBytesTest,
    ::testing::Values(
        ReportCase{"Cpu45_9Celsius", true, 45.9f, 0, 0, 1, 0, 0, {0, 4, 5}},
        ReportCase{"Cpu45_9Fahrenheit", true, 45.9f, 0, 0, 1, 0, 1, {1, 1, 3}},
        ReportCase{"Cpu120FahrenheitClamped", true, 120.0f, 0, 0, 1, 0, 1, {1, 9, 9}},
        ReportCase{"Cpu250CelsiusClamped", true, 250.0f, 0, 0, 1, 0, 0, {1, 9, 9}},
        ReportCase{"GpuFallsBackToIntegrated", true, 40.0f, 0, 52.7f, 1, 1, 0, {0, 5, 2}},
        ReportCase{"GpuDedicatedWins", true, 40.0f, 61.2f, 52.7f, 1, 1, 0, {0, 6, 1}},
        ReportCase{"GpuNeitherGivesZero", true, 40.0f, 0, 0, 1, 1, 0, {0, 0, 0}},
        ReportCase{"ZeroStaysZeroInFahrenheit", true, 0.0f, 0, 0, 1, 0, 1, {0, 0, 0}},
        ReportCase{"FahrenheitOnlyForExactlyOne", true, 45.9f, 0, 0, 1, 0, 2, {0, 4, 5}},
        ReportCase{"LightOffBlanksTheDigits", true, 45.9f, 0, 0, 2, 0, 0, {0, 0, 0}},
        ReportCase{"LightRuleOnlyWithARecord", false, 0, 0, 0, 2, 0, 0, {0, 0, 0}},
        ReportCase{"NoRecordGivesZero", false, 0, 0, 0, 1, 1, 1, {0, 0, 0}},
        ReportCase{"NotANumberCountsAsZero", true, __builtin_nanf(""), 0, 0, 1, 0, 0, {0, 0, 0}}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return info.param.name; });

TEST(DisplayValue, TruncatesBeforeConverting)
{
    SensorSnapshot record;
    memset(&record, 0, sizeof(record));
    record.cpuTemperature = 37.99f;  // 37 -> 98.6 -> 98, not 38 -> 100.4
    EXPECT_EQ(DisplayValue(&record, 0, 0), 37);
    EXPECT_EQ(DisplayValue(&record, 0, 1), 98);
}

TEST(DisplayValue, BelowZeroIsClampedToZeroInBothUnits)
{
    SensorSnapshot record;
    memset(&record, 0, sizeof(record));
    record.cpuTemperature = -5.5f;
    record.gpuTemperature = -40.0f;  // -40 F as well
    EXPECT_EQ(DisplayValue(&record, 0, 0), 0);
    EXPECT_EQ(DisplayValue(&record, 1, 1), 0);
    const DisplayReportBytes report = BuildDisplayReport(&record, 1, 0, 0);
    EXPECT_EQ(report[3], 0);
    EXPECT_EQ(report[4], 0);
    EXPECT_EQ(report[5], 0);
}

}  // namespace
