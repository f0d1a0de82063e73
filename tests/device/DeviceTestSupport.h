#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "DeviceWorker.h"
#include "HidDeviceManager.h"
#include "TestLock.h"
#include "TestWindow.h"
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

// The main window's stand-in: carries the property other processes look for
// and hands its device-change notices to the worker, as the main dialog does.
class NoticeWindow {
    // Other test processes look for the first window with this property.
    CrossProcessLock lock_{L"CaldrisTest.WindowProperty"};

public:
    explicit NoticeWindow(DeviceWorker& worker)
        : window_({.className = L"DeviceTestMainWindow", .proc = Proc, .title = L"main", .createParam = &worker})
    {
        SetPropW(window_.get(), L"Vantrel Glimra", reinterpret_cast<HANDLE>(1));
    }
    ~NoticeWindow() { RemovePropW(window_.get(), L"Vantrel Glimra"); }

    HWND Handle() const { return window_.get(); }
    // Device-change notices handed on since the last reset; UI thread.
    static inline int notices = 0;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_NCCREATE)
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* worker = reinterpret_cast<DeviceWorker*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (msg == WM_DEVICECHANGE && worker != nullptr) {
            ++notices;
            worker->OnDeviceChange(wParam, lParam);
            return TRUE;
        }
        return DefWindowProcW(window, msg, wParam, lParam);
    }
    TestWindow window_;
};
