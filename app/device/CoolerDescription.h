#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

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

    // The interface-path token that names the model, e.g. "VID_1A2C&PID_434D".
    std::wstring PathToken() const;
};

// Bytes of one feature report as the caller sees it, and as handed to hidapi
// (one byte longer, the last byte always 0).
inline constexpr size_t kCoolerPayloadBytes = 64;
inline constexpr size_t kCoolerReportBytes = 65;

// The models the program drives, the first being the default.
std::span<const CoolerDescription> CoolerModels();
const CoolerDescription& DefaultCooler();
// The model with these ids, or null.
const CoolerDescription* FindCooler(uint16_t vendorId, uint16_t productId);
