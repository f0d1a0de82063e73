#include "CoolerDescription.h"

#include <cwchar>

namespace {

constexpr CoolerDescription kModels[] = {
    {
        .name = "Glimra cooler",
        .vendorId = 0x1A2C,
        .productId = 0x434D,
        .usagePage = 0xFF01,
        .usage = 1,
        .reportId = 0x07,
        .displayHeader = {0x07, 0xFF, 0xFF},
        .versionQuery = {0x07, 0xFD},
    },
};

}  // namespace

std::wstring CoolerDescription::PathToken() const
{
    wchar_t token[32];
    swprintf(token, sizeof(token) / sizeof(token[0]), L"VID_%04X&PID_%04X", vendorId, productId);
    return token;
}

std::span<const CoolerDescription> CoolerModels()
{
    return kModels;
}

const CoolerDescription& DefaultCooler()
{
    return kModels[0];
}

const CoolerDescription* FindCooler(uint16_t vendorId, uint16_t productId)
{
    for (const CoolerDescription& model : kModels) {
        if (model.vendorId == vendorId && model.productId == productId)
            return &model;
    }
    return nullptr;
}
