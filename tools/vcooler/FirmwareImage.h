#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CoolerDescription.h"

// The firmware image file ("update.bin") as the virtual cooler understands it.
// The program sends image offsets 0x1000 to 0x5EFE; the cooler takes its new
// version from the last two of those bytes: offset 0x5EFD is the high byte,
// 0x5EFE the low byte. Everything else is filler the cooler stores unread.
namespace vcooler {

constexpr size_t kImageWindowStart = kGlimraUpgrade.windowStart;   // 0x1000
constexpr size_t kImageMinBytes = kGlimraUpgrade.ImageMinBytes();  // 0x5EFF, 24319
constexpr size_t kImageVersionOffset = kImageMinBytes - 2;         // 0x5EFD

// An image of `size` bytes (at least kImageMinBytes) carrying `version`.
std::vector<uint8_t> BuildFirmwareImage(uint16_t version, size_t size = 0x6000);
// The version an image carries; 0 when it is too short to hold one.
uint16_t ImageVersion(const std::vector<uint8_t>& image);
bool WriteFirmwareImage(const std::wstring& path, uint16_t version, size_t size = 0x6000);

}  // namespace vcooler
