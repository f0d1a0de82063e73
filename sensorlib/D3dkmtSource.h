#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "SensorDeviceSet.h"
#include "UniqueResource.h"

// The kernel graphics interface's per-adapter performance data (Windows 10 1803
// and later): a GPU temperature for any vendor, in tenths of a degree, without a
// driver of our own. mingw ships no d3dkmthk.h, so the few structures are
// declared here with their sizes checked, and the entry points resolved at run
// time. Adapters are named through DXGI.
struct KmtAdapterInfo {
    UINT adapter;
    LUID luid;
    ULONG sources;
    BOOL precisePresentRegionsPreferred;
};
struct KmtEnumAdapters2 {
    ULONG count;
    KmtAdapterInfo* adapters;
};
struct KmtQueryAdapterInfo {
    UINT adapter;
    UINT type;
    void* data;
    UINT dataSize;
};
struct KmtCloseAdapter {
    UINT adapter;
};
struct KmtAdapterPerfData {
    UINT32 physicalAdapterIndex;
    ULONGLONG memoryFrequency;
    ULONGLONG maxMemoryFrequency;
    ULONGLONG maxMemoryFrequencyOc;
    ULONGLONG memoryBandwidth;
    ULONGLONG pcieBandwidth;
    ULONG fanRpm;
    ULONG power;         // tenths of a percent
    ULONG temperature;   // tenths of a degree Celsius; 0 = not supported
    UCHAR powerStateOverride;
};
static_assert(sizeof(KmtAdapterInfo) == 20);
static_assert(sizeof(KmtEnumAdapters2) == 16);
static_assert(sizeof(KmtQueryAdapterInfo) == 24);
static_assert(offsetof(KmtAdapterPerfData, temperature) == 56 && sizeof(KmtAdapterPerfData) == 64);

inline constexpr UINT kKmtAdapterPerfData = 62;

class D3dkmtSource {
public:
    int Collect(SensorDeviceSet& out, std::string& status);

    // Temperature in Celsius from the perf data, or false when the adapter reports none.
    static bool TemperatureOf(const KmtAdapterPerfData& perf, double& celsius);
    // Whether an adapter is integrated: little memory of its own.
    static bool IsIntegrated(uint64_t dedicatedVideoMemory);

private:
    bool AdapterName(const LUID& luid, std::string& name, bool& integrated);

    UniqueModule dxgi_;
};
