#include "DeviceNodes.h"

#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <newdev.h>
#include <setupapi.h>

#include <cwctype>
#include <vector>

#include "UniqueDevInfo.h"

namespace {

constexpr wchar_t kHardwareId[] = L"ROOT\\VID_1A2C&PID_434D";

}  // namespace

bool DeviceNodes::ValidChannel(const std::wstring& channel)
{
    if (channel.empty() || channel.size() > 60)
        return false;
    for (wchar_t ch : channel) {
        if (!iswalnum(ch) && ch != L'-' && ch != L'_')
            return false;
    }
    return true;
}

std::wstring DeviceNodes::InstanceId(int slot) const
{
    return std::wstring(kHardwareId) + L"\\" + std::to_wstring(slot) + L"&" + channel_;
}

unsigned long DeviceNodes::Install() const
{
    const std::wstring node = std::wstring(kHardwareId) + L"\\install&" + channel_;
    const unsigned long error = Register(node, false);
    if (error != 0)
        return error;
    BOOL reboot = FALSE;
    const unsigned long installed =
        UpdateDriverForPlugAndPlayDevicesW(nullptr, kHardwareId, infPath_.c_str(), INSTALLFLAG_FORCE, &reboot)
            ? 0
            : GetLastError();
    UniqueDevInfo set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (set && SetupDiOpenDeviceInfoW(set.get(), node.c_str(), nullptr, 0, &device))
        SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &device);
    return installed;
}

unsigned long DeviceNodes::Create(int slot) const
{
    return Register(InstanceId(slot), true);
}

unsigned long DeviceNodes::Register(const std::wstring& instanceId, bool installDriver) const
{
    UniqueDevInfo set(SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_SYSTEM, nullptr));
    if (!set)
        return GetLastError();
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!SetupDiCreateDeviceInfoW(set.get(), instanceId.c_str(), &GUID_DEVCLASS_SYSTEM, nullptr, nullptr, 0, &device))
        return GetLastError();
    std::vector<wchar_t> ids(kHardwareId, kHardwareId + wcslen(kHardwareId) + 1);
    ids.push_back(L'\0');
    if (!SetupDiSetDeviceRegistryPropertyW(set.get(), &device, SPDRP_HARDWAREID, reinterpret_cast<BYTE*>(ids.data()),
                                           static_cast<DWORD>(ids.size() * sizeof(wchar_t))))
        return GetLastError();
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set.get(), &device))
        return GetLastError();
    if (!installDriver)
        return 0;
    SP_DEVINSTALL_PARAMS_W params{};
    params.cbSize = sizeof(params);
    bool ok = SetupDiGetDeviceInstallParamsW(set.get(), &device, &params);
    if (ok && infPath_.size() < MAX_PATH) {
        params.Flags |= DI_ENUMSINGLEINF;
        wcscpy_s(params.DriverPath, infPath_.c_str());
        ok = SetupDiSetDeviceInstallParamsW(set.get(), &device, &params) &&
             SetupDiBuildDriverInfoList(set.get(), &device, SPDIT_COMPATDRIVER) &&
             SetupDiCallClassInstaller(DIF_SELECTBESTCOMPATDRV, set.get(), &device) &&
             SetupDiCallClassInstaller(DIF_INSTALLDEVICE, set.get(), &device);
    }
    if (!ok) {
        const DWORD error = GetLastError();
        SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &device);
        return error != 0 ? error : ERROR_INVALID_PARAMETER;
    }
    return 0;
}

unsigned long DeviceNodes::Remove(int slot) const
{
    UniqueDevInfo set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    if (!set)
        return GetLastError();
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!SetupDiOpenDeviceInfoW(set.get(), InstanceId(slot).c_str(), nullptr, 0, &device))
        return GetLastError();
    if (!SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &device))
        return GetLastError();
    return 0;
}

int DeviceNodes::RemoveLeftovers() const
{
    int removed = 0;
    for (int slot = 0; slot < 10; ++slot) {
        if (Remove(slot) == 0)
            ++removed;
    }
    return removed;
}
