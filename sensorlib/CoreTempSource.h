#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "SensorDeviceSet.h"

// The block a running Core Temp shares in "CoreTempMappingObjectEx" (version 2
// of its layout) and, in older versions, "CoreTempMappingObject" (the layout up
// to ucDeltaToTjMax). Four-byte packing, as its SDK documents.
#pragma pack(push, 4)
struct CoreTempSharedData {
    uint32_t uiLoad[256];
    uint32_t uiTjMax[128];
    uint32_t uiCoreCnt;
    uint32_t uiCPUCnt;
    float fTemp[256];
    float fVID;
    float fCPUSpeed;
    float fFSBSpeed;
    float fMultiplier;
    char sCPUName[100];
    uint8_t ucFahrenheit;    // temperatures are in Fahrenheit
    uint8_t ucDeltaToTjMax;  // temperatures are distances to TjMax
    // Version 2 and later.
    uint8_t ucTdpSupported;
    uint8_t ucPowerSupported;
    uint32_t uiStructVersion;
    uint32_t uiTdp[128];
    float fPower[128];
    float fMultipliers[256];
};
#pragma pack(pop)
// What the older, shorter block holds: everything before ucTdpSupported.
inline constexpr size_t kCoreTempShortSize = offsetof(CoreTempSharedData, ucTdpSupported);
static_assert(kCoreTempShortSize == 2686);
static_assert(offsetof(CoreTempSharedData, fTemp) == 1544 && offsetof(CoreTempSharedData, sCPUName) == 2584);
static_assert(offsetof(CoreTempSharedData, uiStructVersion) == 2688 && sizeof(CoreTempSharedData) == 4740);

// Core Temp's per-core temperatures (class 11 "Core #n" per processor, and the
// hottest core of the first processor as "CPU Package", which on Intel parts
// is what the package sensor reports within a degree) and per-core loads.
class CoreTempSource {
public:
    // `size` is what the view holds: the short layout suffices.
    static bool Parse(const uint8_t* data, size_t size, SensorDeviceSet& out, std::string& status);
    // Opens whichever mapping Core Temp shares and parses a copy.
    static bool Collect(SensorDeviceSet& out, std::string& status);
};
