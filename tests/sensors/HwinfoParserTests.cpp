// The HWiNFO shared-memory walker against synthetic blocks in both layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "HwinfoSource.h"

namespace {

constexpr int64_t kNow = 1700000000;

struct SensorSpec {
    const char* name;
};
struct ReadingSpec {
    uint32_t type;
    uint32_t sensor;
    const char* label;
    double value;
    const char* unit;
};

template <size_t N>
void Put(char (&field)[N], const char* text)
{
    std::memcpy(field, text, std::min(std::strlen(text), N));
}

// Builds a block the way HWiNFO lays it out; `extra` pads each element beyond
// the structure (newer versions may grow them), `utf8` picks the newer layout.
std::vector<uint8_t> Block(const std::vector<SensorSpec>& sensors, const std::vector<ReadingSpec>& readings, bool utf8,
                           uint32_t extra = 0, uint32_t signature = kHwinfoActive, int64_t pollTime = kNow)
{
    const uint32_t sensorSize = (utf8 ? sizeof(HwinfoSensorUtf8) : sizeof(HwinfoSensor)) + extra;
    const uint32_t readingSize = (utf8 ? sizeof(HwinfoReadingUtf8) : sizeof(HwinfoReading)) + extra;
    HwinfoHeader h{};
    h.signature = signature;
    h.version = 2;
    h.revision = 1;
    h.pollTime = pollTime;
    h.sensorOffset = sizeof h;
    h.sensorSize = sensorSize;
    h.sensorCount = static_cast<uint32_t>(sensors.size());
    h.readingOffset = h.sensorOffset + sensorSize * h.sensorCount;
    h.readingSize = readingSize;
    h.readingCount = static_cast<uint32_t>(readings.size());
    h.pollingPeriodMs = 2000;
    std::vector<uint8_t> block(h.readingOffset + readingSize * h.readingCount, 0xCC);
    std::memcpy(block.data(), &h, sizeof h);
    for (size_t i = 0; i < sensors.size(); ++i) {
        HwinfoSensorUtf8 s{};
        s.id = 0xF000 + static_cast<uint32_t>(i);
        Put(s.nameOrig, sensors[i].name);
        Put(s.nameUser, "renamed by the user");
        Put(s.nameUserUtf8, "renamed by the user");
        std::memcpy(block.data() + h.sensorOffset + i * sensorSize, &s, utf8 ? sizeof(HwinfoSensorUtf8) : sizeof(HwinfoSensor));
    }
    for (size_t i = 0; i < readings.size(); ++i) {
        HwinfoReadingUtf8 r{};
        r.type = readings[i].type;
        r.sensorIndex = readings[i].sensor;
        r.id = static_cast<uint32_t>(i);
        Put(r.labelOrig, readings[i].label);
        Put(r.labelUser, "user label");
        if (utf8) {
            Put(r.unitUtf8, readings[i].unit);
            Put(r.unit, "?");
        } else {
            Put(r.unit, readings[i].unit);
        }
        r.value = readings[i].value;
        std::memcpy(block.data() + h.readingOffset + i * readingSize, &r, utf8 ? sizeof(HwinfoReadingUtf8) : sizeof(HwinfoReading));
    }
    return block;
}

const std::vector<SensorSpec> kSensors = {
    {"CPU [#0]: Intel Core i7-12700K: DTS"},
    {"CPU [#0]: Intel Core i7-12700K"},
    {"GPU [#0]: NVIDIA GeForce RTX 3080"},
    {"ASUS PRIME Z690-P (Nuvoton NCT6798D)"},
    {"S.M.A.R.T.: Samsung SSD 980 PRO 1TB"},
};
const std::vector<ReadingSpec> kReadings = {
    {1, 0, "CPU Package", 55.0, "\xB0""C"},
    {1, 0, "Core Max", 61.0, "\xB0""C"},
    {7, 1, "Total CPU Usage", 12.5, "%"},
    {6, 1, "Core 0 Clock", 4700.0, "MHz"},
    {1, 2, "GPU Temperature", 60.0, "\xB0""C"},
    {7, 2, "GPU D3D Usage", 20.0, "%"},
    {1, 3, "Motherboard", 35.0, "\xB0""C"},
    {1, 3, "CPU", 50.0, "\xB0""C"},
    {1, 4, "Drive Temperature", 40.0, "\xB0""C"},
    {1, 9, "Orphan", 1.0, "\xB0""C"},
};

void ExpectStandardDevices(const SensorDeviceSet& set)
{
    const auto& d = set.Devices();
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(d[0].name, "Intel Core i7-12700K");
    EXPECT_EQ(d[1].name, "NVIDIA GeForce RTX 3080");
    EXPECT_EQ(d[2].name, "ASUS PRIME Z690-P (Nuvoton NCT6798D)");
    EXPECT_EQ(d[3].name, "S.M.A.R.T.: Samsung SSD 980 PRO 1TB");

    const SensorValue* pkg = set.Find(kKindTemperature, 0, 0);
    ASSERT_NE(pkg, nullptr);
    EXPECT_EQ(pkg->label, "CPU Package");
    EXPECT_EQ(pkg->hwClass, kClassCpu);
    EXPECT_DOUBLE_EQ(pkg->value, 55.0);
    ASSERT_NE(set.Find(kKindTemperature, 0, 1), nullptr);
    EXPECT_EQ(set.Find(kKindTemperature, 0, 2), nullptr);
    const SensorValue* usage = set.Find(kKindLoad, 0, 0);
    ASSERT_NE(usage, nullptr);
    EXPECT_EQ(usage->label, "Total CPU Usage");

    const SensorValue* gpu = set.Find(kKindTemperature, 1, 0);
    ASSERT_NE(gpu, nullptr);
    EXPECT_EQ(gpu->hwClass, kClassGpu);
    EXPECT_EQ(gpu->label, "GPU Temperature");
    ASSERT_NE(set.Find(kKindLoad, 1, 0), nullptr);

    ASSERT_NE(set.Find(kKindTemperature, 2, 0), nullptr);
    EXPECT_EQ(set.Find(kKindTemperature, 2, 0)->hwClass, kClassBoard);
    EXPECT_EQ(set.Find(kKindTemperature, 2, 1)->label, "CPU");
    EXPECT_EQ(set.Find(kKindTemperature, 3, 0)->hwClass, kClassOther);
}

TEST(HwinfoBlock, LegacyLayout)
{
    const auto block = Block(kSensors, kReadings, false);
    SensorDeviceSet set;
    std::string status;
    ASSERT_TRUE(HwinfoSource::Parse(block.data(), block.size(), kNow, set, status)) << status;
    ExpectStandardDevices(set);
}

TEST(HwinfoBlock, Utf8LayoutWithLargerElements)
{
    const auto block = Block(kSensors, kReadings, true, 24);
    SensorDeviceSet set;
    std::string status;
    ASSERT_TRUE(HwinfoSource::Parse(block.data(), block.size(), kNow, set, status)) << status;
    ExpectStandardDevices(set);
}

TEST(HwinfoBlock, FahrenheitIsConverted)
{
    for (bool utf8 : {false, true}) {
        const auto block = Block({{"CPU [#0]: AMD Ryzen 7 7700X: Enhanced"}},
                                 {{1, 0, "CPU (Tctl/Tdie)", 158.0, utf8 ? "\xC2\xB0""F" : "\xB0""F"}}, utf8);
        SensorDeviceSet set;
        std::string status;
        ASSERT_TRUE(HwinfoSource::Parse(block.data(), block.size(), kNow, set, status));
        ASSERT_NE(set.Find(kKindTemperature, 0, 0), nullptr);
        EXPECT_DOUBLE_EQ(set.Find(kKindTemperature, 0, 0)->value, 70.0);
    }
}

TEST(HwinfoBlock, DeadSignatureMeansNoData)
{
    const auto block = Block(kSensors, kReadings, false, 0, kHwinfoDead);
    SensorDeviceSet set;
    std::string status;
    EXPECT_FALSE(HwinfoSource::Parse(block.data(), block.size(), kNow, set, status));
    EXPECT_TRUE(set.Devices().empty());
    EXPECT_NE(status.find("DEAD"), std::string::npos);
}

TEST(HwinfoBlock, StalePollTimeMeansNoData)
{
    const auto block = Block(kSensors, kReadings, false, 0, kHwinfoActive, kNow - 120);
    SensorDeviceSet set;
    std::string status;
    EXPECT_FALSE(HwinfoSource::Parse(block.data(), block.size(), kNow, set, status));
    EXPECT_TRUE(set.Devices().empty());
    // A poll a few seconds ago is fresh.
    const auto fresh = Block(kSensors, kReadings, false, 0, kHwinfoActive, kNow - 4);
    EXPECT_TRUE(HwinfoSource::Parse(fresh.data(), fresh.size(), kNow, set, status));
}

TEST(HwinfoBlock, TruncatedMappingIsRejected)
{
    const auto block = Block(kSensors, kReadings, true);
    for (size_t size : {size_t{0}, size_t{20}, sizeof(HwinfoHeader), block.size() / 2, block.size() - 1}) {
        SensorDeviceSet set;
        std::string status;
        EXPECT_FALSE(HwinfoSource::Parse(block.data(), size, kNow, set, status)) << size;
        EXPECT_TRUE(set.Devices().empty());
    }
}

TEST(HwinfoBlock, HostileCountsAreRejected)
{
    auto block = Block(kSensors, kReadings, false);
    HwinfoHeader h;
    std::memcpy(&h, block.data(), sizeof h);
    h.readingCount = 0x40000000;  // size * count overflows 32 bits
    std::memcpy(block.data(), &h, sizeof h);
    SensorDeviceSet set;
    std::string status;
    EXPECT_FALSE(HwinfoSource::Parse(block.data(), block.size(), kNow, set, status));
    h.readingCount = static_cast<uint32_t>(kReadings.size());
    h.readingSize = 12;  // smaller than a reading
    std::memcpy(block.data(), &h, sizeof h);
    EXPECT_FALSE(HwinfoSource::Parse(block.data(), block.size(), kNow, set, status));
}

TEST(HwinfoBlock, IdenticalGpusStayApart)
{
    const auto block = Block({{"GPU [#0]: NVIDIA GeForce RTX 3080"}, {"GPU [#1]: NVIDIA GeForce RTX 3080"}},
                             {{1, 0, "GPU Temperature", 45.0, "\xB0""C"}, {1, 1, "GPU Temperature", 61.5, "\xB0""C"}}, false);
    SensorDeviceSet set;
    std::string status;
    ASSERT_TRUE(HwinfoSource::Parse(block.data(), block.size(), kNow, set, status));
    ASSERT_EQ(set.Devices().size(), 2u);
    EXPECT_DOUBLE_EQ(set.Find(kKindTemperature, 1, 0)->value, 61.5);
}

TEST(HwinfoBlock, UnterminatedStringsStayInTheirFields)
{
    auto block = Block({{"CPU [#0]: X"}}, {{1, 0, "CPU Package", 50.0, "\xB0""C"}}, false);
    HwinfoHeader h;
    std::memcpy(&h, block.data(), sizeof h);
    std::memset(block.data() + h.sensorOffset + offsetof(HwinfoSensor, nameOrig), 'A', 128 + 128);
    std::memset(block.data() + h.readingOffset + offsetof(HwinfoReading, labelOrig), 'L', 128 + 128 + 16);
    SensorDeviceSet set;
    std::string status;
    ASSERT_TRUE(HwinfoSource::Parse(block.data(), block.size(), kNow, set, status));
    ASSERT_EQ(set.Devices().size(), 1u);
    EXPECT_EQ(set.Devices()[0].name, std::string(128, 'A'));
    EXPECT_EQ(set.Find(kKindTemperature, 0, 0)->label, std::string(128, 'L'));
}

TEST(HwinfoBlock, HardwareNames)
{
    EXPECT_EQ(HwinfoSource::HardwareName("CPU [#0]: Intel Core i7-12700K: DTS"), "Intel Core i7-12700K");
    EXPECT_EQ(HwinfoSource::HardwareName("GPU [#1]: AMD Radeon RX 6600: "), "AMD Radeon RX 6600");
    EXPECT_EQ(HwinfoSource::HardwareName("ASUS PRIME Z690-P (Nuvoton NCT6798D)"), "ASUS PRIME Z690-P (Nuvoton NCT6798D)");
    EXPECT_EQ(HwinfoSource::HardwareName("Odd ]: name [#"), "Odd ]: name [#");
}

}  // namespace
