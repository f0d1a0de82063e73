#include "DeviceNotice.h"

#include <dbt.h>
// The HID class headers do not declare C linkage themselves.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

#include <cstddef>
#include <cwchar>

#include "CoolerDescription.h"
#include "UniqueResource.h"

namespace {


// Interface classes the main window follows, in registration order.
constexpr GUID kNoticeClasses[] = {
    {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}},  // USB device
    {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}},  // disk
    {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}},  // HID
    {0xAD498944, 0x762F, 0x11D0, {0x8D, 0xCB, 0x00, 0xC0, 0x4F, 0xC3, 0x35, 0x8C}},  // network adapter
};

using UniquePreparsedData = UniqueResource<win32_traits::ClosedBy<PHIDP_PREPARSED_DATA, HidD_FreePreparsedData>>;

}  // namespace

bool PathNamesCooler(const std::wstring& path)
{
    std::wstring upper = path;
    upper.push_back(L'\0');
    _wcsupr_s(upper.data(), upper.size());
    for (const CoolerDescription& model : CoolerModels()) {
        if (wcsstr(upper.c_str(), model.PathToken().c_str()) != nullptr)
            return true;
    }
    return false;
}

DeviceNotice ClassifyDeviceNotice(WPARAM event, LPARAM data)
{
    DeviceNotice notice;
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)
        return notice;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return notice;
    constexpr size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    if (header->dbch_size <= kNameOffset)
        return notice;
    const auto* iface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(data);
    const size_t maxChars = (header->dbch_size - kNameOffset) / sizeof(wchar_t);
    notice.path.assign(iface->dbcc_name, wcsnlen(iface->dbcc_name, maxChars));
    if (!PathNamesCooler(notice.path))
        return notice;
    notice.kind = event == DBT_DEVICEARRIVAL ? DeviceNoticeKind::Arrival : DeviceNoticeKind::Removal;
    return notice;
}

bool ProbeCoolerInterface(const wchar_t* path)
{
    UniqueHandle device(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!device)
        return false;
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    HidD_GetAttributes(device.get(), &attributes);
    UniquePreparsedData preparsed;
    if (!HidD_GetPreparsedData(device.get(), preparsed.put()) || !preparsed)
        return false;
    HIDP_CAPS caps{};
    if (HidP_GetCaps(preparsed.get(), &caps) != HIDP_STATUS_SUCCESS)
        return false;
    // The path already named a known model; any model's display collection will do.
    for (const CoolerDescription& model : CoolerModels()) {
        if (caps.UsagePage == model.usagePage && caps.Usage == model.usage)
            return true;
    }
    return false;
}

int RegisterCoolerNotifications(HWND window)
{
    int registered = 0;
    for (const GUID& cls : kNoticeClasses) {
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof(filter);
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = cls;
        if (RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE) != nullptr)
            ++registered;
    }
    return registered;
}
