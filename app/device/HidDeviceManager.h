#pragma once
#include <memory>
#include <string>
#include <vector>

#include "HidDeviceEntry.h"

// The process-wide list of open cooler collections over hidapi. Used only by the
// device worker (connect, display push, version read, upgrade transfer), one
// operation at a time, so it takes no lock.
class HidDeviceManager {
public:
    struct Filter {
        unsigned short vendorId;
        unsigned short productId;
        std::wstring name;
        int flag;
    };

    static constexpr unsigned short kCoolerVendorId = 0x1A2C;
    static constexpr unsigned short kCoolerProductId = 0x434D;
    static constexpr unsigned short kDisplayUsagePage = 0xFF01;
    static constexpr unsigned short kDisplayUsage = 1;
    static constexpr unsigned char kReportId = 0x07;
    // Caller bytes that travel in one feature report; the copy handed to hidapi
    // is one byte longer and its last byte is always 0.
    static constexpr size_t kPayloadBytes = 64;
    static constexpr size_t kReportBytes = 65;

    // Created on first use (hid_init); destroyed at normal process exit (hid_exit).
    static HidDeviceManager& Instance();

    void ClearFilters();
    void AddFilter(unsigned short vendorId, unsigned short productId, const std::wstring& name, int flag);
    const std::vector<Filter>& Filters() const { return filters_; }

    // Opens every matching collection with the display usage, in enumeration order.
    void OpenAll();
    // Closes and forgets every entry; does nothing unless the list is open.
    void CloseAll();
    void SetListOpen() { listOpen = 1; }
    size_t DeviceCount() const { return devices_.size(); }
    // The connect command's device step: the cooler filter alone, every entry
    // closed, the coolers' display collections opened anew. Returns the count.
    size_t OpenCoolers();
    const HidDeviceEntry& Entry(size_t i) const { return *devices_[i]; }

    // Sends one feature report to every open collection; the result of the last.
    bool SendFeature(const unsigned char* report, size_t length);
    // Queries the first open collection for its firmware version.
    bool ReadFirmwareVersion(int& version);

    // 1 after a connect opened the list; sending and reading are refused while 0.
    int listOpen = 0;

private:
    HidDeviceManager();
    ~HidDeviceManager();
    HidDeviceManager(const HidDeviceManager&) = delete;
    HidDeviceManager& operator=(const HidDeviceManager&) = delete;

    const Filter* FindFilter(unsigned short vendorId, unsigned short productId) const;

    std::vector<Filter> filters_;
    std::vector<std::unique_ptr<HidDeviceEntry>> devices_;
};
