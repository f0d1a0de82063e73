#include "HidDeviceEntry.h"

#include <cstring>

HidDeviceEntry::HidDeviceEntry(hid_device* handle, unsigned short vendorId, unsigned short productId, const char* path, int index)
    : handle_(handle), vendorId_(vendorId), productId_(productId), path_{}, index_(index)
{
    if (path != nullptr) {
        const size_t len = strnlen(path, kPathSize - 1);
        memcpy(path_, path, len);
        path_[len] = '\0';
    }
}
