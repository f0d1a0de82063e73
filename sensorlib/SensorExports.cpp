// The library's entry points, exported by ordinal only (sensorlib.def).
#include <windows.h>

#include "SensorHub.h"

namespace {
SRWLOCK g_lock = SRWLOCK_INIT;

SensorHub& Hub()
{
    static SensorHub hub(GLIMRA_SENSOR_REPLAY_BUILD != 0);
    return hub;
}

struct Locked {
    Locked() { AcquireSRWLockExclusive(&g_lock); }
    ~Locked() { ReleaseSRWLockExclusive(&g_lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};
}  // namespace

extern "C" {

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
