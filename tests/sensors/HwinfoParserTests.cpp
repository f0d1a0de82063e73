// The HWiNFO shared-memory walker against synthetic blocks in both layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "DeviceSetText.h"
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

// What the standard block yields: the two CPU sensors share a device, clocks and
// readings of unknown sensors are left out.
const std::vector<std::string> kStandardDevices = {
    "Intel Core i7-12700K",
    "  temp 0: 11 CPU Package 55",
    "  temp 1: 11 Core Max 61",
    "  load 0: 11 Total CPU Usage 12.5",
    "NVIDIA GeForce RTX 3080",
    "  temp 0: 13 GPU Temperature 60",
    "  load 0: 13 GPU D3D Usage 20",
    "ASUS PRIME Z690-P (Nuvoton NCT6798D)",
    "  temp 0: 12 Motherboard 35",
    "  temp 1: 12 CPU 50",
    "S.M.A.R.T.: Samsung SSD 980 PRO 1TB",
    "  temp 0: 14 Drive Temperature 40",
};

// A block changed after it was built: edit gets the bytes and the header.
template <class Edit>
std::vector<uint8_t> Edited(std::vector<uint8_t> block, Edit edit)
{
    HwinfoHeader h;
    std::memcpy(&h, block.data(), sizeof h);
    edit(block.data(), h);
    std::memcpy(block.data(), &h, sizeof h);
    return block;
}

struct ParsedCase {
    const char* what;
    std::vector<uint8_t> block;
    std::vector<std::string> devices;
};

TEST(HwinfoBlock, UsableBlocksAreRead)
{
    const ParsedCase cases[] = {
        {"legacy layout", Block(kSensors, kReadings, false), kStandardDevices},
        {"UTF-8 layout with larger elements", Block(kSensors, kReadings, true, 24), kStandardDevices},
        {"polled a few seconds ago", Block(kSensors, kReadings, false, 0, kHwinfoActive, kNow - 4), kStandardDevices},
        {"Fahrenheit, legacy",
         Block({{"CPU [#0]: AMD Ryzen 7 7700X: Enhanced"}}, {{1, 0, "CPU (Tctl/Tdie)", 158.0, "\xB0""F"}}, false),
         {"AMD Ryzen 7 7700X", "  temp 0: 11 CPU (Tctl/Tdie) 70"}},
        {"Fahrenheit, UTF-8",
         Block({{"CPU [#0]: AMD Ryzen 7 7700X: Enhanced"}}, {{1, 0, "CPU (Tctl/Tdie)", 158.0, "\xC2\xB0""F"}}, true),
         {"AMD Ryzen 7 7700X", "  temp 0: 11 CPU (Tctl/Tdie) 70"}},
        {"identical GPUs stay apart",
         Block({{"GPU [#0]: NVIDIA GeForce RTX 3080"}, {"GPU [#1]: NVIDIA GeForce RTX 3080"}},
               {{1, 0, "GPU Temperature", 45.0, "\xB0""C"}, {1, 1, "GPU Temperature", 61.5, "\xB0""C"}}, false),
         {"NVIDIA GeForce RTX 3080", "  temp 0: 13 GPU Temperature 45", "NVIDIA GeForce RTX 3080",
          "  temp 0: 13 GPU Temperature 61.5"}},
        {"unterminated strings stay in their fields",
         Edited(Block({{"CPU [#0]: X"}}, {{1, 0, "CPU Package", 50.0, "\xB0""C"}}, false),
                [](uint8_t* data, const HwinfoHeader& h) {
                    std::memset(data + h.sensorOffset + offsetof(HwinfoSensor, nameOrig), 'A', 128 + 128);
                    std::memset(data + h.readingOffset + offsetof(HwinfoReading, labelOrig), 'L', 128 + 128 + 16);
                }),
         // No longer a "CPU [" name: a board's.
         {std::string(128, 'A'), "  temp 0: 12 " + std::string(128, 'L') + " 50"}},
    };
    for (const ParsedCase& c : cases) {
        SensorDeviceSet set;
        std::string status;
        ASSERT_TRUE(HwinfoSource::Parse(c.block.data(), c.block.size(), kNow, set, status)) << c.what << ": " << status;
        EXPECT_EQ(DeviceSetLines(set), c.devices) << c.what;
    }
}

struct RejectedCase {
    const char* what;
    std::vector<uint8_t> block;
    size_t size;  // of the mapping as the parser is told
    const char* status;
};

TEST(HwinfoBlock, UnusableBlocksYieldNothing)
{
    const auto utf8 = Block(kSensors, kReadings, true);
    const auto legacy = Block(kSensors, kReadings, false);
    const RejectedCase cases[] = {
        {"dead signature", Block(kSensors, kReadings, false, 0, kHwinfoDead), legacy.size(),
         "HWiNFO: not running, sharing stopped (DEAD)"},
        {"stale poll time", Block(kSensors, kReadings, false, 0, kHwinfoActive, kNow - 120), legacy.size(),
         "HWiNFO: not running, block is stale"},
        {"empty mapping", utf8, 0, "HWiNFO: refused, block too small"},
        {"part of a header", utf8, 20, "HWiNFO: refused, block too small"},
        {"header only", utf8, sizeof(HwinfoHeader), "HWiNFO: refused, sections run past the block"},
        {"half the block", utf8, utf8.size() / 2, "HWiNFO: refused, sections run past the block"},
        {"one byte short", utf8, utf8.size() - 1, "HWiNFO: refused, sections run past the block"},
        // size * count overflows 32 bits
        {"hostile reading count", Edited(legacy, [](uint8_t*, HwinfoHeader& h) { h.readingCount = 0x40000000; }),
         legacy.size(), "HWiNFO: refused, sections run past the block"},
        {"readings smaller than a reading", Edited(legacy, [](uint8_t*, HwinfoHeader& h) { h.readingSize = 12; }),
         legacy.size(), "HWiNFO: refused, element sizes too small"},
    };
    for (const RejectedCase& c : cases) {
        SensorDeviceSet set;
        std::string status;
        EXPECT_FALSE(HwinfoSource::Parse(c.block.data(), c.size, kNow, set, status)) << c.what;
        EXPECT_TRUE(set.Devices().empty()) << c.what;
        EXPECT_EQ(status, c.status) << c.what;
    }
}

TEST(HwinfoBlock, HardwareNames)
{
    EXPECT_EQ(HwinfoSource::HardwareName("CPU [#0]: Intel Core i7-12700K: DTS"), "Intel Core i7-12700K");
    EXPECT_EQ(HwinfoSource::HardwareName("GPU [#1]: AMD Radeon RX 6600: "), "AMD Radeon RX 6600");
    EXPECT_EQ(HwinfoSource::HardwareName("ASUS PRIME Z690-P (Nuvoton NCT6798D)"), "ASUS PRIME Z690-P (Nuvoton NCT6798D)");
    EXPECT_EQ(HwinfoSource::HardwareName("Odd ]: name [#"), "Odd ]: name [#");
}

}  // namespace
