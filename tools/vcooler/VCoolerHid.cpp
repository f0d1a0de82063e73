// The hidapi functions the program calls, answered by the virtual coolers of
// the control channel instead of real devices. Linked in place of hidapi.
#include <hidapi.h>

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "CoolerModel.h"
#include "DeviceNotifier.h"
#include "FeatureExchange.h"
#include "VCoolerControl.h"

struct hid_device_ {
    int cooler;
    int collection;
    uint32_t generation;
    uint32_t handleEpoch;
};

using namespace vcooler;

namespace {

std::atomic<VCoolerChannel*> g_registered{nullptr};

// Any process that uses the hidapi side hosts the program's window, so the
// device-change notices go to it.
VCoolerChannel& Channel()
{
    VCoolerChannel& channel = VCoolerChannel::Current();
    if (g_registered.exchange(&channel) != &channel)
        VCoolerControl(channel).RegisterHost();
    return channel;
}

wchar_t* CopyWide(const wchar_t* text)
{
    const size_t n = wcslen(text) + 1;
    auto* copy = static_cast<wchar_t*>(malloc(n * sizeof(wchar_t)));
    memcpy(copy, text, n * sizeof(wchar_t));
    return copy;
}

}  // namespace

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void)
{
    return Channel().IsOpen() ? 0 : -1;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void)
{
    VCoolerControl(VCoolerChannel::Current()).UnregisterHost();
    g_registered = nullptr;
    return 0;
}

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    VCoolerChannel& channel = Channel();
    if (!channel.IsOpen())
        return nullptr;
    hid_device_info* head = nullptr;
    hid_device_info** tail = &head;
    VCoolerChannel::Locked s(channel);
    for (int i = 0; i < kMaxCoolers; ++i) {
        const Cooler& c = s->coolers[i];
        if (!c.present || !c.plugged)
            continue;
        if ((vendor_id != 0 && vendor_id != c.vendorId) || (product_id != 0 && product_id != c.productId))
            continue;
        for (int k = 0; k < c.collectionCount; ++k) {
            auto* info = static_cast<hid_device_info*>(calloc(1, sizeof(hid_device_info)));
            info->path = _strdup(CollectionPath(c, k).c_str());
            info->vendor_id = c.vendorId;
            info->product_id = c.productId;
            wchar_t serial[16];
            swprintf(serial, 16, L"VC%08X", c.serial);
            info->serial_number = CopyWide(serial);
            info->release_number = c.firmwareVersion;
            info->manufacturer_string = CopyWide(L"Vantrel");
            info->product_string = CopyWide(L"Glimra Cooler (virtual)");
            info->usage_page = c.collections[k].usagePage;
            info->usage = c.collections[k].usage;
            info->interface_number = 0;
            info->bus_type = HID_API_BUS_USB;
            *tail = info;
            tail = &info->next;
        }
    }
    return head;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info* devs)
{
    while (devs != nullptr) {
        hid_device_info* next = devs->next;
        free(devs->path);
        free(devs->serial_number);
        free(devs->manufacturer_string);
        free(devs->product_string);
        free(devs);
        devs = next;
    }
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path)
{
    VCoolerChannel& channel = Channel();
    if (!channel.IsOpen() || path == nullptr)
        return nullptr;
    hid_device* dev = nullptr;
    NoticeBatch notices;
    {
        VCoolerChannel::Locked s(channel);
        for (int i = 0; i < kMaxCoolers && dev == nullptr; ++i) {
            Cooler& c = s->coolers[i];
            if (!c.present || !c.plugged)
                continue;
            for (int k = 0; k < c.collectionCount; ++k) {
                const std::string own = CollectionPath(c, k);
                if (_stricmp(own.c_str(), path) != 0)
                    continue;
                if (UnplugDue(c)) {
                    notices = FaultUnplug(*s, i);
                    break;
                }
                const bool ok = !c.collections[k].busy;
                AppendLog(*s, i, k, LogKind::Open, ok, nullptr, 0);
                if (ok)
                    dev = new hid_device{i, k, c.generation, c.handleEpoch};
                break;
            }
            if (!notices.hidPaths.empty())
                break;
        }
    }
    SendNotices(notices);
    return dev;
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short vendor_id, unsigned short product_id, const wchar_t*)
{
    hid_device_info* all = hid_enumerate(vendor_id, product_id);
    hid_device* dev = all != nullptr ? hid_open_path(all->path) : nullptr;
    hid_free_enumeration(all);
    return dev;
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev)
{
    delete dev;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device* dev, const unsigned char* data, size_t length)
{
    VCoolerChannel& channel = Channel();
    if (dev == nullptr || data == nullptr || !channel.IsOpen())
        return -1;
    FeatureOutcome outcome;
    {
        VCoolerChannel::Locked s(channel);
        outcome = SendFeatureLocked(*s, dev->cooler, dev->collection, dev->generation, dev->handleEpoch, data, length);
    }
    SendNotices(outcome.notices);
    if (outcome.restart)
        VCoolerControl(channel).RestartAsync(dev->cooler);
    return outcome.result;
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device* dev, unsigned char* data, size_t length)
{
    VCoolerChannel& channel = Channel();
    if (dev == nullptr || data == nullptr || !channel.IsOpen())
        return -1;
    FeatureOutcome outcome;
    {
        VCoolerChannel::Locked s(channel);
        outcome = GetFeatureLocked(*s, dev->cooler, dev->collection, dev->generation, dev->handleEpoch, data, length);
    }
    SendNotices(outcome.notices);
    return outcome.result;
}

HID_API_EXPORT const wchar_t* HID_API_CALL hid_error(hid_device*)
{
    return L"virtual cooler: no such device or operation refused";
}

}  // extern "C"
