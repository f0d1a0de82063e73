#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// The firmware transfer: the upgrade command hands the cooler to its boot
// loader, which then takes a fixed window of the image in data reports: the
// report id, the next image bytes, the last report's tail padded with filler.
// The reports carry no address, so the order is the address.
struct CoolerUpgradeFraming {
    std::array<uint8_t, 3> command;  // report id, then the two command bytes
    size_t windowStart;              // first image offset sent
    size_t windowBytes;              // bytes sent from there on
    size_t bytesPerReport;           // image bytes after the report id
    uint8_t filler;                  // pads the last report

    // The image must reach the window's end.
    constexpr size_t ImageMinBytes() const { return windowStart + windowBytes; }
    constexpr size_t DataReports() const { return (windowBytes + bytesPerReport - 1) / bytesPerReport; }
};

// The cooler's boot loader: 07 EE DD, then image offsets 0x1000 to 0x5EFE in
// 327 reports of 62 bytes (the last holding 11 bytes and 51 of 0xFF).
inline constexpr CoolerUpgradeFraming kGlimraUpgrade = {
    .command = {0x07, 0xEE, 0xDD},
    .windowStart = 0x1000,
    .windowBytes = 0x4EFF,
    .bytesPerReport = 62,
    .filler = 0xFF,
};

// What the program knows of a cooler model: how it is found on USB and how its
// display collection speaks. Every part of the program, the virtual cooler and
// the tests read these facts from here; a further model is one more entry in
// CoolerModels() plus its own tests.
struct CoolerDescription {
    const char* name;
    uint16_t vendorId;
    uint16_t productId;
    // The top-level collection that carries the display and version reports.
    uint16_t usagePage;
    uint16_t usage;
    // Every report of the protocol starts with this id.
    uint8_t reportId;
    // The display report: report id, two header bytes, then hundreds, tens, units.
    std::array<uint8_t, 3> displayHeader;
    // The version query (report id, query byte); the answer carries the version
    // in its second and third bytes.
    std::array<uint8_t, 2> versionQuery;
    CoolerUpgradeFraming upgrade;

    // The interface-path token that names the model, e.g. "VID_1A2C&PID_434D".
    std::wstring PathToken() const;
};

// Bytes of one feature report as the caller sees it, and as handed to hidapi
// (one byte longer, the last byte always 0).
inline constexpr size_t kCoolerPayloadBytes = 64;
inline constexpr size_t kCoolerReportBytes = 65;

// The firmware transfer's reports as handed to SendFeature: the upgrade command,
// and data report `index` (0-based) cut from `image`, which holds at least
// ImageMinBytes().
std::array<uint8_t, kCoolerPayloadBytes> UpgradeCommandReport(const CoolerUpgradeFraming& framing);
std::array<uint8_t, kCoolerPayloadBytes> UpgradeDataReport(const CoolerUpgradeFraming& framing,
                                                           std::span<const uint8_t> image, size_t index);

// The models the program drives, the first being the default.
std::span<const CoolerDescription> CoolerModels();
const CoolerDescription& DefaultCooler();
// The model with these ids, or null.
const CoolerDescription* FindCooler(uint16_t vendorId, uint16_t productId);
