// The library's entry points, exported by ordinal only (sensorlib.def).
#include <windows.h>

#include "SensorHub.h"

namespace {
SRWLOCK g_lock = SRWLOCK_INIT;

// Created on first use; destroyed only when the library is unloaded while the
// process goes on (DllMain). Callers hold g_lock.
SensorHub* g_hub = nullptr;

SensorHub& Hub()
{
    if (g_hub == nullptr)
        g_hub = new SensorHub(GLIMRA_SENSOR_REPLAY_BUILD != 0);
    return *g_hub;
}

struct Locked {
    Locked() { AcquireSRWLockExclusive(&g_lock); }
    ~Locked() { ReleaseSRWLockExclusive(&g_lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};
}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    // When the process ends (reserved is not null) its other threads were cut
    // off mid-call and the loader lock is held: shutting the sources down now
    // (NVML, FreeLibrary) can hang or crash the exit. The process's own
    // teardown frees everything; only an unload tears the sources down.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        delete g_hub;
        g_hub = nullptr;
    }
    return TRUE;
}

int GsInitialise(int interfaceVersion)
{
    Locked l;
    return Hub().Initialise(interfaceVersion);
}

int GsDeviceCount()
{
    Locked l;
    return Hub().DeviceCount();
}

int GsRefresh()
{
    Locked l;
    return Hub().Refresh();
}

void GsSelectDevice(int device)
{
    Locked l;
    Hub().SelectDevice(device);
}

int GsDeviceName(int device, char* buffer, int size)
{
    Locked l;
    return Hub().DeviceName(device, buffer, size);
}

int GsReadReading(int kind, int device, int index, void* record)
{
    Locked l;
    return Hub().Read(kind, device, index, static_cast<SensorRecord*>(record));
}

int GsLastError(char* buffer, int size)
{
    Locked l;
    return Hub().LastError(buffer, size);
}

int GsDescribeSources(char* buffer, int size)
{
    Locked l;
    return Hub().Describe(buffer, size);
}

}  // extern "C"
