#include "SensorBinding.h"

#include <shlwapi.h>

#include "Paths.h"
#include "ProcAddress.h"
#include "SensorTrace.h"

namespace {
// The library by full path: a bare name would be looked up along a search path
// that, for an elevated program, must never include folders a user can write.
HMODULE LoadSensorLibrary(const std::string& name)
{
    std::wstring path(name.begin(), name.end());
    if (PathIsRelativeW(path.c_str()))
        path = GetModulePath() + path;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Fn>
Fn Entry(HMODULE module, WORD ordinal)
{
    return ProcAddress<Fn>(module, MAKEINTRESOURCEA(ordinal));
}
}  // namespace

bool BindSensorLibrary(SensorLibraryBinding& b, SensorTrace& trace)
{
    b.sensorLibraryReady = 0;
    b.bound = false;
    HMODULE module = LoadSensorLibrary(b.libraryName);
    if (module != nullptr && module == b.sensorLibrary) {
        // Already loaded by an earlier pass: keep a single reference.
        FreeLibrary(module);
    } else if (module != nullptr) {
        b.sensorLibrary = module;
    }

    b.initialise = Entry<SensorInitialiseFn>(module, kOrdinalInitialise);
    b.deviceCount = Entry<SensorDeviceCountFn>(module, kOrdinalDeviceCount);
    b.refresh = Entry<SensorRefreshFn>(module, kOrdinalRefresh);
    b.selectDevice = Entry<SensorSelectDeviceFn>(module, kOrdinalSelectDevice);
    b.deviceName = Entry<SensorDeviceNameFn>(module, kOrdinalDeviceName);
    b.readReading = Entry<SensorReadReadingFn>(module, kOrdinalReadReading);
    b.spare398 = Entry<SensorSpareFn>(module, kOrdinalSpare398);
    b.spare613 = Entry<SensorSpareFn>(module, kOrdinalSpare613);
    if (!b.initialise || !b.deviceCount || !b.refresh || !b.selectDevice || !b.deviceName || !b.readReading ||
        !b.spare398 || !b.spare613) {
        trace.Line("CANNOT LOAD DLL\n");
        return false;
    }
    b.bound = true;

    const int rc = b.initialise(kSensorInterfaceVersion);
    if (rc == 0) {
        trace.Line("INIT OK\n");
        b.sensorLibraryReady = 1;
    } else {
        trace.Format("INIT FAILED %d\n", rc);
    }
    return true;
}
