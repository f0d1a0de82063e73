#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "HidDeviceManager.h"
#include "VCoolerControl.h"

// Each test process gets a channel of its own, so tests running side by side
// never see each other's coolers, and starts with no coolers and a closed list.
inline vcooler::VCoolerControl& FreshCoolers()
{
    vcooler::VCoolerChannel::Select(L"test-" + std::to_wstring(GetCurrentProcessId()));
    static vcooler::VCoolerControl control;
    control.Reset();
    HidDeviceManager& hid = HidDeviceManager::Instance();
    hid.CloseAll();
    hid.ClearFilters();
    return control;
}

// Opens the coolers as the connect command does.
inline size_t OpenCoolers()
{
    return HidDeviceManager::Instance().OpenCoolers();
}

// Pumps this thread's messages until `done` holds or about 10 s have passed.
inline bool PumpUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 1000; ++i) {
        if (done())
            return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done();
}
