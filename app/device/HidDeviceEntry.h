#pragma once
#include <cstddef>

#include <hidapi.h>

#include "UniqueResource.h"

// An open hidapi device, closed with hid_close. Worker thread.
using UniqueHidDevice = UniqueResource<win32_traits::ClosedBy<hid_device*, hid_close>>;

// One open top-level collection of a cooler. Owns its hidapi handle.
class HidDeviceEntry {
public:
    static constexpr size_t kPathSize = 1024;

    // Takes ownership of `handle`. A path longer than the field is cut to fit.
    HidDeviceEntry(hid_device* handle, unsigned short vendorId, unsigned short productId, const char* path, int index);
    HidDeviceEntry(const HidDeviceEntry&) = delete;
    HidDeviceEntry& operator=(const HidDeviceEntry&) = delete;

    hid_device* Handle() const { return handle_.get(); }
    unsigned short VendorId() const { return vendorId_; }
    unsigned short ProductId() const { return productId_; }
    const char* Path() const { return path_; }
    int Index() const { return index_; }

private:
    UniqueHidDevice handle_;
    unsigned short vendorId_;
    unsigned short productId_;
    char path_[kPathSize];
    int index_;
};
