#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "SensorDeviceSet.h"

// The sensor block a running HWiNFO publishes in "Global\HWiNFO_SENS_SM2". Its
// sections are found through the header's offsets, element sizes and counts;
// newer versions append UTF-8 copies of the strings to each element, so the
// element sizes tell which layout is in use.
#pragma pack(push, 1)
struct HwinfoHeader {
    uint32_t signature;  // 'HWiS' while active, 'DEAD' once HWiNFO stopped sharing
    uint32_t version;
    uint32_t revision;
    int64_t pollTime;    // seconds since 1970 of the last update
    uint32_t sensorOffset;
    uint32_t sensorSize;
    uint32_t sensorCount;
    uint32_t readingOffset;
    uint32_t readingSize;
    uint32_t readingCount;
    uint32_t pollingPeriodMs;  // version 2 and later
};
struct HwinfoSensor {
    uint32_t id;
    uint32_t instance;
    char nameOrig[128];
    char nameUser[128];
};
struct HwinfoSensorUtf8 : HwinfoSensor {
    char nameUserUtf8[128];
};
struct HwinfoReading {
    uint32_t type;         // 1 temperature, 7 usage
    uint32_t sensorIndex;
    uint32_t id;
    char labelOrig[128];
    char labelUser[128];
    char unit[16];
    double value;
    double valueMin;
    double valueMax;
    double valueAvg;
};
struct HwinfoReadingUtf8 : HwinfoReading {
    char labelUserUtf8[128];
    char unitUtf8[16];
};
#pragma pack(pop)
static_assert(sizeof(HwinfoHeader) == 48);
static_assert(sizeof(HwinfoSensor) == 264 && sizeof(HwinfoSensorUtf8) == 392);
static_assert(sizeof(HwinfoReading) == 316 && sizeof(HwinfoReadingUtf8) == 460);

inline constexpr uint32_t kHwinfoActive = 0x48576953;  // 'HWiS'
inline constexpr uint32_t kHwinfoDead = 0x44454144;    // 'DEAD'

class HwinfoSource {
public:
    // Walks a copy or view of the block, `size` bytes long, bounds-checked. A block
    // whose poll time lies more than a few polling periods before `nowUnix` is stale
    // and yields nothing. Returns whether readings were taken; `status` says why not.
    static bool Parse(const uint8_t* data, size_t size, int64_t nowUnix, SensorDeviceSet& out, std::string& status);

    // Opens the live block, if HWiNFO shares one, and parses it.
    static bool Collect(SensorDeviceSet& out, std::string& status);

    // "CPU [#0]: Intel Core i7-12700K: DTS" -> "Intel Core i7-12700K"; other names unchanged.
    static std::string HardwareName(const std::string& sensorName);
};
