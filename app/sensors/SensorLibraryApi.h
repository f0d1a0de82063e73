#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// The sensor library's interface as the program uses it: a DLL loaded at run
// time and bound by ordinal.
inline constexpr char kSensorLibraryName[] = "api-ms-win-core-sysinfo-825-32.dll";
inline constexpr int kSensorInterfaceVersion = 192;
inline constexpr int kSensorReadingsPerDevice = 512;
inline constexpr int kSensorNameSize = 256;

enum SensorLibraryOrdinal : WORD {
    kOrdinalInitialise = 850,
    kOrdinalDeviceCount = 156,
    kOrdinalRefresh = 263,
    kOrdinalSelectDevice = 678,
    kOrdinalDeviceName = 952,
    kOrdinalReadReading = 641,
    kOrdinalSpare398 = 398,  // not called, but must be present
    kOrdinalSpare613 = 613,  // not called, but must be present
};

enum SensorKind : int {
    kSensorKindTemperature = 1,
    kSensorKindLoad = 7,
};

// One reading as the library fills it (464 bytes). Only these fields are read.
struct SensorReadingRecord {
    int32_t valid;            // nonzero when the reading is valid
    uint8_t reserved0[4];
    double value;             // Celsius (kind 1) or percent (kind 7)
    char source[32];          // the library's data source ("HWiNFO"); zero from libraries that do not name it
    int32_t hwClass;          // 11, 12 and 13 are acted upon
    uint8_t reserved2[276];
    char label[136];          // single-byte text, terminated only if it fits
};
static_assert(sizeof(SensorReadingRecord) == 464);
static_assert(offsetof(SensorReadingRecord, value) == 8);
static_assert(offsetof(SensorReadingRecord, source) == 16);
static_assert(offsetof(SensorReadingRecord, hwClass) == 48);
static_assert(offsetof(SensorReadingRecord, label) == 328);

using SensorInitialiseFn = int (*)(int version);
using SensorDeviceCountFn = int (*)();
using SensorRefreshFn = int (*)();
using SensorSelectDeviceFn = void (*)(int device);
using SensorDeviceNameFn = int (*)(int device, char* buffer, int size);
using SensorReadReadingFn = int (*)(int kind, int device, int index, void* record);
using SensorSpareFn = int (*)(char* buffer, int size);
