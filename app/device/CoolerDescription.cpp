#include "CoolerDescription.h"

#include <algorithm>
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
        .upgrade = kGlimraUpgrade,
    },
};

}  // namespace

std::wstring CoolerDescription::PathToken() const
{
    wchar_t token[32];
    swprintf(token, sizeof(token) / sizeof(token[0]), L"VID_%04X&PID_%04X", vendorId, productId);
    return token;
}

std::array<uint8_t, kCoolerPayloadBytes> UpgradeCommandReport(const CoolerUpgradeFraming& framing)
{
    std::array<uint8_t, kCoolerPayloadBytes> report{};
    std::copy(framing.command.begin(), framing.command.end(), report.begin());
    return report;
}

std::array<uint8_t, kCoolerPayloadBytes> UpgradeDataReport(const CoolerUpgradeFraming& framing,
                                                           std::span<const uint8_t> image, size_t index)
{
    std::array<uint8_t, kCoolerPayloadBytes> report{};
    report[0] = framing.command[0];
    const size_t sent = index * framing.bytesPerReport;
    for (size_t k = 0; k < framing.bytesPerReport; ++k) {
        const size_t at = sent + k;
        report[1 + k] = at < framing.windowBytes ? image[framing.windowStart + at] : framing.filler;
    }
    return report;
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
