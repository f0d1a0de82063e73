#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "VCoolerLayout.h"

namespace vcooler {

// The device-change notices one plug or unplug raises: the USB device interface
// and every HID collection of the cooler.
struct NoticeBatch {
    bool arrival = false;
    std::vector<std::wstring> usbPaths;
    std::vector<std::wstring> hidPaths;
    std::vector<DWORD> hosts;  // processes whose main window receives them
};

NoticeBatch MakeNotices(const State& state, const Cooler& cooler, bool arrival);

// Sends each notice as WM_DEVICECHANGE (DBT_DEVICEARRIVAL /
// DBT_DEVICEREMOVECOMPLETE with a DEV_BROADCAST_DEVICEINTERFACE_W) to every
// top-level window carrying the property "Vantrel Glimra" that belongs to one
// of the hosts. The send is synchronous, as the system's own; a window that
// does not answer within 5 s is skipped. Returns the number of messages
// delivered. Call without holding the channel lock.
int SendNotices(const NoticeBatch& batch);

// Host bookkeeping: processes that use the hidapi side of the channel.
void AddHost(State& state, DWORD pid);
void RemoveHost(State& state, DWORD pid);

}  // namespace vcooler
