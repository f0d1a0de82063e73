#pragma once
#include <string>

#include "SensorDeviceSet.h"
#include "UniqueResource.h"

// NVIDIA's management library, loaded at run time from System32 only: each GPU's
// name, temperature and utilisation.
class NvmlSource {
public:
    NvmlSource() = default;
    ~NvmlSource();
    NvmlSource(const NvmlSource&) = delete;
    NvmlSource& operator=(const NvmlSource&) = delete;

    int Collect(SensorDeviceSet& out, std::string& status);

private:
    bool Start(std::string& status);

    struct Api;
    UniqueModule module_;
    Api* api_ = nullptr;
    bool tried_ = false;
    std::string startStatus_;
};
