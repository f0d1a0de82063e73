#pragma once
#include <windows.h>

#include <string>

// Device-change notices: which of them concern the cooler, and the registration
// that makes the system send them to the main window.

enum class DeviceNoticeKind { Ignore, Arrival, Removal };

struct DeviceNotice {
    DeviceNoticeKind kind = DeviceNoticeKind::Ignore;
    std::wstring path;  // the interface path as sent
};

// Reads a WM_DEVICECHANGE: arrival or removal of a device interface whose path
// names a known cooler model (its path token, any case). Everything else is Ignore.
// The path is read only within the size the header states.
DeviceNotice ClassifyDeviceNotice(WPARAM event, LPARAM data);

// True when the upper-cased path contains a known model's path token.
bool PathNamesCooler(const std::wstring& path);

// Opens the interface and checks that it is the cooler's display collection
// (the model's usage pair) with the HID class functions. UI thread.
bool ProbeCoolerInterface(const wchar_t* path);

// The four device-interface registrations of the main window (USB device, disk,
// HID, network adapter). The handles stay registered for the life of the
// process. Returns how many registrations succeeded.
int RegisterCoolerNotifications(HWND window);
