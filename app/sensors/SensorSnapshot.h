#pragma once
#include <cstddef>
#include <cstdint>

#include <atomic>

// The shared sensor record in the mapping "qelmar_hardware_mapfile". Other
// processes open it by name, so the layout is fixed: 772 bytes, 32-bit floats
// in degrees Celsius at fixed offsets, every other byte reserved.
struct SensorSnapshot {
    uint8_t reserved0[152];
    float cpuTemperature;      // 152
    uint8_t reserved1[140];
    float gpuTemperature;      // 296: dedicated GPU; 0 while the integrated value is in use
    uint8_t reserved2[144];
    float igpuTemperature;     // 444: integrated GPU; 0 while a dedicated value is in use
    uint8_t reserved3[276];
    float boardTemperature;    // 724
    uint8_t reserved4[44];
};

static_assert(sizeof(SensorSnapshot) == 772);
static_assert(offsetof(SensorSnapshot, cpuTemperature) == 152);
static_assert(offsetof(SensorSnapshot, gpuTemperature) == 296);
static_assert(offsetof(SensorSnapshot, igpuTemperature) == 444);
static_assert(offsetof(SensorSnapshot, boardTemperature) == 724);

inline constexpr char kSensorSnapshotName[] = "qelmar_hardware_mapfile";

// Where the record is once mapped: written by the device worker's connect
// command (which maps it), read by the sampler and the display push.
using SensorSnapshotSlot = std::atomic<SensorSnapshot*>;
