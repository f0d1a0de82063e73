#pragma once
#include <windows.h>

#include <string>

#include "SensorLibraryApi.h"

class SensorTrace;

// The program's binding to the sensor library: the module (loaded once and never
// unloaded, as the library keeps state for the life of the process), its entry
// points and whether its initialiser reported ready.
struct SensorLibraryBinding {
    // Relative names are taken from the program's folder; tests point this at other builds.
    std::string libraryName = kSensorLibraryName;
    HMODULE sensorLibrary = nullptr;
    LONG sensorLibraryReady = 0;  // like every field here: sampling thread only
    bool bound = false;  // all eight entry points were found

    SensorInitialiseFn initialise = nullptr;
    SensorDeviceCountFn deviceCount = nullptr;
    SensorRefreshFn refresh = nullptr;
    SensorSelectDeviceFn selectDevice = nullptr;
    SensorDeviceNameFn deviceName = nullptr;
    SensorReadReadingFn readReading = nullptr;
    SensorSpareFn spare398 = nullptr;
    SensorSpareFn spare613 = nullptr;
};

// Loads the library, takes its eight entry points by ordinal and initialises it
// with 192. Prints "CANNOT LOAD DLL" when an entry point is missing (nothing is
// bound), "INIT OK" or "INIT FAILED <n>". Returns whether the entry points are
// bound; sensorLibraryReady tells whether the initialiser succeeded.
// Sampling thread.
bool BindSensorLibrary(SensorLibraryBinding& binding, SensorTrace& trace);
