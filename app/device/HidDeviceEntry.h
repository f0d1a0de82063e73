#pragma once
#include <cstddef>

#include <hidapi.h>

// One open top-level collection of a cooler. Owns its hidapi handle.
class HidDeviceEntry {
public:
    static constexpr size_t kPathSize = 1024;

    // Takes ownership of `handle`. A path longer than the field is cut to fit.
    HidDeviceEntry(hid_device* handle, unsigned short vendorId, unsigned short productId, const char* path, int index);
    ~HidDeviceEntry();
    HidDeviceEntry(const HidDeviceEntry&) = delete;
    HidDeviceEntry& operator=(const HidDeviceEntry&) = delete;

    hid_device* Handle() const { return handle_; }
    unsigned short VendorId() const { return vendorId_; }
    unsigned short ProductId() const { return productId_; }
    const char* Path() const { return path_; }
    int Index() const { return index_; }

private:
    hid_device* handle_;
    unsigned short vendorId_;
    unsigned short productId_;
    char path_[kPathSize];
    int index_;
};
