#pragma once
#include <string>

// The kernel-level virtual cooler's device nodes, made and removed the way a
// device installer does it: a root device (ROOT\VID_1A2C&PID_434D\<slot>&<channel>)
// registered through SetupAPI and given the driver of vcoolerhid.inf. The
// instance id tells the driver which cooler it is and which host to ask.
class DeviceNodes {
public:
    DeviceNodes(std::wstring channel, std::wstring infPath) : channel_(std::move(channel)), infPath_(std::move(infPath)) {}

    // A channel name usable inside a device instance id (letters, digits, - and _).
    static bool ValidChannel(const std::wstring& channel);

    std::wstring InstanceId(int slot) const;
    // Installs the driver package into the prefix the documented way: a node
    // registered through SetupAPI, then UpdateDriverForPlugAndPlayDevicesW with
    // the INF (copies vcoolerhid.sys, adds the service); the node is removed
    // again, as no cooler is plugged yet. Returns the Win32 error, 0 on success.
    unsigned long Install() const;
    // Creates the node of a plugged cooler and installs the INF's driver on that
    // node alone (the per-device steps of UpdateDriverForPlugAndPlayDevicesW, so
    // other coolers' nodes are not reinstalled); Plug and Play starts it and
    // announces the HID interface. Returns the Win32 error, 0 on success.
    unsigned long Create(int slot) const;
    // Removes the node (surprise removal, then removal); 0 on success.
    unsigned long Remove(int slot) const;
    // Removes every node of this channel left from an earlier session.
    int RemoveLeftovers() const;

private:
    unsigned long Register(const std::wstring& instanceId, bool installDriver) const;

    std::wstring channel_;
    std::wstring infPath_;
};
