#pragma once
#include <memory>
#include <string>
#include <vector>

#include "CoolerDescription.h"
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

    // Created on first use (hid_init); destroyed at normal process exit (hid_exit).
    static HidDeviceManager& Instance();

    void ClearFilters();
    void AddFilter(unsigned short vendorId, unsigned short productId, const std::wstring& name, int flag);
    const std::vector<Filter>& Filters() const { return filters_; }

    // Opens every collection that matches a filter and carries its model's
    // display usage, in enumeration order.
    void OpenAll();
    // Closes and forgets every entry; does nothing unless the list is open.
    void CloseAll();
    void SetListOpen() { listOpen_ = true; }
    bool ListOpen() const { return listOpen_; }
    size_t DeviceCount() const { return devices_.size(); }
    // Display collections the last OpenAll found listed, opened or not.
    size_t ListedCount() const { return listed_; }
    // The connect command's device step: one filter per known cooler model, every
    // entry closed, the coolers' display collections opened anew. Returns the count.
    size_t OpenCoolers();
    const HidDeviceEntry& Entry(size_t i) const { return *devices_[i]; }

    // Sends one feature report to every open collection; the result of the last.
    bool SendFeature(const unsigned char* report, size_t length);
    // Queries the first open collection for its firmware version with its model's
    // query. False, the value untouched, when no version report came back.
    bool ReadFirmwareVersion(int& version);

private:
    HidDeviceManager();
    ~HidDeviceManager();
    HidDeviceManager(const HidDeviceManager&) = delete;
    HidDeviceManager& operator=(const HidDeviceManager&) = delete;

    const Filter* FindFilter(unsigned short vendorId, unsigned short productId) const;

    std::vector<Filter> filters_;
    std::vector<std::unique_ptr<HidDeviceEntry>> devices_;
    // True after a connect opened the list; sending and reading are refused while false.
    bool listOpen_ = false;
    size_t listed_ = 0;
};
