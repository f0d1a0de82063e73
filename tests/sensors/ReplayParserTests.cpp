// The replay scenario format, and the device list's merging rules.
#include <gtest/gtest.h>

#include "ReplayScenario.h"
#include "SensorDeviceSet.h"
#include "SensorTestSupport.h"

namespace {

TEST(ReplayScenario, ParsesDevicesReadingsAndSeries)
{
    ReplayScenario s;
    std::string error;
    ASSERT_TRUE(s.Parse("# demo\n\ndevice \"Intel \\\"Core\\\" i7\"   # trailing comment\n"
                        "  temp 0 11 \"CPU Package\" 50,51.5,-\r\n"
                        "\tload 3 11 \"CPU Total\" invalid,12\n"
                        "device \"Board\"\n",
                        error))
        << error;
    ASSERT_EQ(s.Devices().size(), 2u);
    EXPECT_EQ(s.Devices()[0].name, "Intel \"Core\" i7");
    ASSERT_EQ(s.Devices()[0].readings.size(), 2u);

    SensorDeviceSet step0, step1, step2;
    s.Fill(0, step0);
    s.Fill(1, step1);
    s.Fill(2, step2);
    ASSERT_NE(step0.Find(kKindTemperature, 0, 0), nullptr);
    EXPECT_DOUBLE_EQ(step0.Find(kKindTemperature, 0, 0)->value, 50.0);
    EXPECT_DOUBLE_EQ(step1.Find(kKindTemperature, 0, 0)->value, 51.5);
    EXPECT_EQ(step2.Find(kKindTemperature, 0, 0), nullptr);
    ASSERT_NE(step0.Find(kKindLoad, 0, 3), nullptr);
    EXPECT_FALSE(step0.Find(kKindLoad, 0, 3)->valid);
    EXPECT_TRUE(step1.Find(kKindLoad, 0, 3)->valid);
    EXPECT_FALSE(step2.Find(kKindLoad, 0, 3)->valid);  // the series wraps
    EXPECT_EQ(step0.Find(kKindLoad, 0, 2), nullptr);
    EXPECT_EQ(step0.Devices()[1].name, "Board");
}

struct Malformed {
    const char* text;
    const char* error;
};

TEST(ReplayScenario, MalformedFilesGiveClearErrors)
{
    const Malformed cases[] = {
        {"temp 0 11 \"CPU\" 1\n", "line 1: reading before the first device"},
        {"device \"A\"\nsensor 0 11 \"CPU\" 1\n", "line 2: unknown directive 'sensor'"},
        {"device \"A\n", "line 1: unterminated quoted text"},
        {"device A\n", "line 1: expected: device \"<name>\""},
        {"device \"A\"\ntemp 512 11 \"CPU\" 1\n", "line 2: reading index must be 0..511"},
        {"device \"A\"\ntemp -1 11 \"CPU\" 1\n", "line 2: reading index must be 0..511"},
        {"device \"A\"\ntemp 0x1 11 \"CPU\" 1\n", "line 2: reading index must be 0..511"},
        {"device \"A\"\ntemp 0 eleven \"CPU\" 1\n", "line 2: class must be a non-negative number"},
        {"device \"A\"\ntemp 0 11 CPU 1\n", "line 2: expected: temp <index> <class> \"<label>\" <value>[,<value>...]"},
        {"device \"A\"\nload 0 11 \"CPU\" 1 2\n", "line 2: expected: load <index> <class> \"<label>\" <value>[,<value>...]"},
        {"device \"A\"\ntemp 0 11 \"CPU\" warm\n", "line 2: bad value 'warm' (number, '-' or 'invalid', comma-separated)"},
        {"device \"A\"\ntemp 0 11 \"CPU\" 1,,2\n", "line 2: bad value '1,,2' (number, '-' or 'invalid', comma-separated)"},
        {"device \"A\"\ntemp 0 11 \"CPU\" nan\n", "line 2: bad value 'nan' (number, '-' or 'invalid', comma-separated)"},
        {"device \"A\"\ntemp 0 11 \"CPU\" 1\ntemp 0 12 \"B\" 2\n", "line 3: reading index 0 used twice for this kind"},
        {"device \"A\"\ntemp 0 11 \"CPU\0\" 1\n", "line 2: binary data"},
        {"\"device\" \"A\"\n", "line 1: expected 'device', 'temp' or 'load'"},
    };
    for (const auto& c : cases) {
        ReplayScenario s;
        std::string error;
        const std::string text(c.text, std::char_traits<char>::length(c.text) +
                                           (std::string_view(c.error).find("binary") != std::string_view::npos ? 5 : 0));
        EXPECT_FALSE(s.Parse(text, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_TRUE(s.Devices().empty());
    }
}

TEST(ReplayScenario, OverlongTextsAreRejected)
{
    ReplayScenario s;
    std::string error;
    EXPECT_FALSE(s.Parse("device \"" + std::string(256, 'n') + "\"\n", error));
    EXPECT_EQ(error, "line 1: device name longer than 255 bytes");
    EXPECT_TRUE(s.Parse("device \"" + std::string(255, 'n') + "\"\ntemp 0 1 \"" + std::string(135, 'l') + "\" 1\n", error));
    EXPECT_FALSE(s.Parse("device \"A\"\ntemp 0 1 \"" + std::string(136, 'l') + "\" 1\n", error));
    EXPECT_EQ(error, "line 2: label longer than 135 bytes");
    EXPECT_FALSE(s.Parse(std::string(100000, '"'), error));
}

TEST(ReplayScenario, LoadReportsMissingFile)
{
    ReplayScenario s;
    std::string error;
    EXPECT_FALSE(s.Load(L"C:\\no\\such\\scenario.txt", error));
    EXPECT_EQ(error.rfind("cannot open the replay file", 0), 0u) << error;

    TempFolder t;
    t.Write(L"s.txt", "device \"CPU\"\ntemp 0 11 \"CPU Package\" 40\n");
    EXPECT_TRUE(s.Load(t.Path() + L"\\s.txt", error)) << error;
    EXPECT_EQ(s.Devices().size(), 1u);
}

TEST(SensorDevices, SourcesMergeByNameAndOccurrence)
{
    SensorDeviceSet set;
    set.BeginSource();  // a first source with two identical cards
    const int a = set.OpenDevice("NVIDIA GeForce RTX 3080");
    const int b = set.OpenDevice("NVIDIA GeForce RTX 3080");
    EXPECT_NE(a, b);
    EXPECT_TRUE(set.Add(a, kKindTemperature, kClassGpu, "GPU Temperature", 40));
    EXPECT_TRUE(set.Add(b, kKindTemperature, kClassGpu, "GPU Temperature", 50));

    set.BeginSource();  // a later source sees the same cards
    EXPECT_EQ(set.OpenDevice("NVIDIA GeForce RTX 3080"), a);
    EXPECT_EQ(set.OpenDevice("NVIDIA GeForce RTX 3080"), b);
    EXPECT_FALSE(set.Add(b, kKindTemperature, kClassGpu, "GPU Temperature", 51));  // one source per reading
    EXPECT_TRUE(set.Add(b, kKindLoad, kClassGpu, "GPU Utilization", 9));
    EXPECT_EQ(set.OpenDevice("Intel Arc A770"), 2);
    EXPECT_DOUBLE_EQ(set.Find(kKindTemperature, b, 0)->value, 50.0);
}

TEST(SensorDevices, CpuWideReadingsAreKeptOnce)
{
    SensorDeviceSet set;
    set.BeginSource();
    EXPECT_TRUE(set.Add(set.OpenDevice("Intel Core i7-12700K"), kKindLoad, kClassCpu, "CPU Total", 10));
    set.BeginSource();
    EXPECT_FALSE(set.Add(set.OpenDevice("12th Gen Intel(R) Core(TM) i7-12700K"), kKindLoad, kClassCpu, "CPU Total", 11));
}

TEST(SensorDevices, IndicesStopAt512)
{
    SensorDeviceSet set;
    set.BeginSource();
    const int d = set.OpenDevice("Many");
    for (int i = 0; i < 512; ++i)
        ASSERT_TRUE(set.Add(d, kKindTemperature, kClassBoard, "T" + std::to_string(i), i));
    EXPECT_FALSE(set.Add(d, kKindTemperature, kClassBoard, "T512", 512));
    EXPECT_NE(set.Find(kKindTemperature, d, 511), nullptr);
    EXPECT_EQ(set.Find(kKindTemperature, d, 512), nullptr);
    EXPECT_EQ(set.Find(3, d, 0), nullptr);
    EXPECT_FALSE(set.Put(d, kKindLoad, 512, SensorValue{}));
}

}  // namespace
